// One showing of the Options sheet as plain state: its pages, the working
// copies of the three target formats, which pages the user opened, and OK,
// which checks and commits only those pages. The sheet itself writes nothing
// to the store: the program saves the changed settings when it ends.
#pragma once

#include <functional>
#include <memory>
#include <set>

#include "converter/options/GeneralPage.h"
#include "engine/codecs/Conv2FileFormat.h"

class CMp3Page;
class CPreferences;
class CWavePage;
class CWmaPage;

// Pages by the number LastConversionOptionPage stores: the target types, and 3.
enum TOptionsPage { kPageWave = 0, kPageMp3 = 1, kPageWma = 2, kPageGeneral = 3 };

class COptionsSession {
 public:
  COptionsSession(CPreferences& preferences, IPrompter& prompter);
  ~COptionsSession();

  CPreferences& Preferences() { return prefs_; }
  IPrompter& Prompter() { return prompter_; }
  CGeneralPage& General() { return general_; }
  CWavePage& Wave() { return *wave_; }
  // Null when no writer could be made for the MP3 encoder: the page is left out.
  CMp3Page* Mp3() { return mp3_.get(); }
  CWmaPage& Wma() { return *wma_; }
  // The working copy of a target's format, edited by its page.
  CConv2FileFormat& Working(int type) { return working_[type]; }

  // The page shown first: the one open when the sheet was closed last.
  int StartPage() const;
  // A page became the active one.
  void Visit(int page);
  bool Visited(int page) const { return visited_.count(page) != 0; }

  // A format page's own commit, run on OK when the page was opened; false
  // keeps the sheet open. Without one, the working copy is committed.
  void SetCommit(int type, std::function<bool()> commit) { commits_[type] = std::move(commit); }
  // Copies a working format into the stored one when they differ, and marks it changed.
  void CommitFormat(int type);

  // OK: true when the sheet may close.
  bool Ok();

 private:
  CPreferences& prefs_;
  IPrompter& prompter_;
  CGeneralPage general_;
  CConv2FileFormat working_[3];
  std::unique_ptr<CWavePage> wave_;
  std::unique_ptr<CMp3Page> mp3_;
  std::unique_ptr<CWmaPage> wma_;
  std::function<bool()> commits_[3];
  std::set<int> visited_;
};
