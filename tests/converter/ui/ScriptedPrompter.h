// A prompter that answers from a script and keeps every prompt it was shown.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "converter/ui/IPrompter.h"
#include "converter/ui/PlaylistChoice.h"

class CScriptedPrompter : public IPrompter {
 public:
  // Each prompt takes the next answer; with none left, its safe answer.
  int Ask(TPrompt& prompt) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown.push_back(prompt);
    if (answers.empty()) return prompt.safeAnswer;
    int answer = answers.front();
    answers.pop_front();
    if (checkBox) prompt.boxChecked = true;
    return answer;
  }
  // Unchecks the entries whose numbers (from 0) are listed, then answers.
  bool ChoosePlaylist(CPlaylistChoice& choice) override {
    std::lock_guard<std::mutex> lock(mutex_);
    playlists.push_back(choice.Count());
    for (int i : uncheck) choice.Toggle(i);
    return playlistAnswer;
  }
  int OpenFolder(const std::string& folder) override {
    opened.push_back(folder);
    return 1;
  }
  int ShowHelp(const std::string& page) override {
    help.push_back(page);
    return helpFound ? 1 : 0;
  }
  std::vector<TPrompt> Shown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown;
  }

  std::deque<int> answers;
  std::vector<int> uncheck;
  bool playlistAnswer = true;
  std::vector<int> playlists;  // the entry count of each playlist shown
  bool checkBox = false;
  bool helpFound = true;
  std::vector<TPrompt> shown;
  std::vector<std::string> opened, help;

 private:
  std::mutex mutex_;
};
