// The converter's settings: built with defaults, filled from the registry
// store at start-up, edited by the Options sheet and written back. It also
// holds the three target formats and the context-menu entries the program
// created.
//
// At exit only the values this process changed (or that are missing from the
// store) are written, so another process's saves in the meantime survive.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "converter/app/IPreferences.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "platform/registry/RegRoots.h"

class CRegKey;

class CPreferences : public IPreferences {
 public:
  static constexpr const char* kKeyPath = "SOFTWARE\\Quillon\\Sonoduct";
  static constexpr uint32_t kPointNotSet = 0x80000000u;
  static constexpr int kMaxNumbered = 10;

  CPreferences();
  ~CPreferences() override;

  // IPreferences
  int Load() override;  // defaults, then the current user's values
  int MoveLocalMachinePreferences() override;
  int RemoveLocalMachinePreferences() override;
  int ShowErrorsAtEnd() override { return showErrorsAtEnd; }
  int OpenDecodeOnExit() override { return openDecodeOnExit; }
  int FirstTimeInVersion1_1() override { return firstTimeInVersion1_1; }
  void ClearFirstTimeInVersion1_1() override { firstTimeInVersion1_1 = 0; }
  std::string DefaultDir() override { return defaultDir; }

  void BuildDefaultDirectories();
  int Load(TRegRoot root, bool create);
  // Writes every value.
  int Save(TRegRoot root);
  // Writes the values changed since Load, and those the store lacks.
  int SaveChanged(TRegRoot root);
  int SaveLastConversionType(uint32_t type, TRegRoot root);
  int DeleteMachineKey(TRegRoot root);
  bool CopyDefaultDir(char* buffer, int length) const;
  bool GetLastWindowPoint(int32_t point[2]) const;
  // The folder joined to a file name with exactly one separator.
  std::string TargetPathFor(const std::string& fileName) const;

  int NumRightClickEntries() const { return static_cast<int>(rightClickEntries.size()); }
  const std::string& RightClickEntry(int index) const { return rightClickEntries.at(index); }
  void AddRightClickEntry(const std::string& path);
  void ClearRightClickEntries() { rightClickEntries.clear(); }
  void SetAvailableConversionTypes(const std::vector<uint32_t>& types);

  CConv2FileFormat& Format(int type) { return formats[type]; }
  bool RegistryFailed() const { return registryFailure; }
  // Whether the start-up Load ran (only then is there anything to save at exit).
  bool Loaded() const { return loaded_; }

  // Values stored under the key.
  std::string defaultDir;
  uint32_t cpuSleepTime = 50;
  uint32_t playSound = 1;
  uint32_t promptForOverWrites = 1;
  int32_t lastWindowPoint[2] = {static_cast<int32_t>(kPointNotSet),
                                static_cast<int32_t>(kPointNotSet)};
  uint32_t showErrorsAtEnd = 1;
  uint32_t convertPlaylistFilesWithoutPrompting = 0;
  uint32_t normalizeVolume = 1;
  uint32_t normalizeLevel = 97;
  uint32_t normalizeWarningDisplayed = 1;
  std::string tempDirectory;
  uint32_t openDecodeOnExit = 1;
  uint32_t firstTimeInVersion1_1 = 1;
  uint32_t trimSoundsAutomatically = 1;
  uint32_t warnAboutIncompleteSongs = 1;
  uint32_t partialSongThreshold = 12;
  // MP3 files with a LAME tag decode to the encoder's input length.
  uint32_t gaplessMP3 = 1;
  // Files converted at once: 0 for one per core (at most kMaxConversions).
  uint32_t parallelConversions = 1;
  uint32_t lastConversionType = 3;
  uint32_t lastConversionOptionPage = 3;
  uint32_t preferredMP3Encoder = 0;
  uint32_t mp3Advanced = 0;
  uint32_t cdBlockAlign = 1;

  // The command line's -j for this run only (never stored); -1 when not given.
  int conversionsOverride = -1;
  static constexpr int kMaxConversions = 8;
  // How many files a run converts at once.
  int ConversionWorkers() const;

  // Set by the Options sheet, so that the progress window can offer a re-conversion.
  bool changedFormat[3] = {false, false, false};
  bool changedNormalizeTrim = false;

 private:
  struct NumberValue {
    const char* name;
    uint32_t CPreferences::*member;
  };
  static const NumberValue kNumbers[];
  static const char* const kFormatKeys[3];

  CRegKey* OpenKey(TRegRoot root, bool create);
  void ReadValues(CRegKey* key);
  void WriteValues(CRegKey* key, bool onlyChanged);
  void Snapshot();

  CConv2FileFormat formats[3];
  std::vector<std::string> rightClickEntries;
  std::vector<uint32_t> availableTypes;
  bool registryFailure = false;
  bool loaded_ = false;

  // What the store held (or was written) last, to tell changes apart.
  std::map<std::string, std::string> stored_;
};
