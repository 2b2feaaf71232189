// The General page of the Options sheet as plain state: the folders, the
// boxes and the three lists, what turning a box on or off does, deleting the
// temporary files, and the checks and commit when the sheet is left with OK.
// Only what the user changed is committed, so a stored value that no list
// holds survives a visit to the page.
#pragma once

#include <string>
#include <vector>

#include "converter/ui/IPrompter.h"

class CPreferences;

struct TGeneralState {
  std::string defaultDir, tempDir;
  bool playSound = false, promptForOverwrites = false, convertPlaylistsWithoutPrompting = false,
       showErrorsAtEnd = false, normalize = false, trim = false, warnIncomplete = false,
       openDecodeOnExit = false, gaplessMp3 = false;
  int levelIndex = 0;      // into LevelTexts(): 100 % down to 80 %
  int thresholdIndex = 0;  // into ThresholdTexts(): 100 % down to 0 %
  int cpuIndex = 0;        // into CpuTexts()
  int parallelIndex = 0;   // into ParallelTexts(): one per core, then 1 to 8 files
  bool operator==(const TGeneralState&) const = default;
};

class CGeneralPage {
 public:
  // The pause values of the processor list, in its order.
  static const std::vector<int>& CpuValues();
  static std::vector<std::string> LevelTexts();
  static std::vector<std::string> ThresholdTexts();
  static std::vector<std::string> CpuTexts();
  static std::vector<std::string> ParallelTexts();
  // The notice shown on the page.
  static std::string Notice();

  CGeneralPage(CPreferences& preferences, IPrompter& prompter);

  // The state as the controls show it; the view writes the user's changes
  // here and calls the setters below for the boxes that do more.
  TGeneralState state;

  bool LevelEnabled() const { return state.normalize; }
  bool ThresholdEnabled() const { return state.warnIncomplete; }
  // Normalisation on explains itself once.
  void SetNormalize(bool on);

  // Asks, then removes the cache files from the committed temporary folder.
  void DeleteTemporaryFiles();

  // OK: checks the folders (asking to create a missing one) and commits what
  // changed. False keeps the sheet open; the message was shown.
  bool Commit();

 private:
  bool CommitFolder(bool temp);

  CPreferences& prefs_;
  IPrompter& prompter_;
  TGeneralState loaded_;
};
