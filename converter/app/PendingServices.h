// Stand-ins for the parts of the converter that are not built yet: the
// conversion run, preferences, shell integration, dialogs and the engine's
// start-up. Each action that is missing says so on standard error and is
// reported as failed, so the program never ends in a silent success.
// Messages are shown on the console with their keyed texts.
#pragma once

#include <set>
#include <string>

#include "converter/app/AppServices.h"

class CPendingServices : public IEngineServices,
                         public IPreferences,
                         public IShellIntegration,
                         public IPrompts,
                         public IConversionRun,
                         public IOptionsSheet {
 public:
  // Every interface pointed at this object.
  TAppServices All();

  // IEngineServices. The target follows the extension, with no MP3 or WMA
  // encoder available.
  int SoundEngineStartup() override { return 1; }
  void LoadLibraryWMADecoder() override {}
  void FreeConversionLibraries() override {}
  uint32_t DetermineTargetConversion(const std::string& path) override;

  // IPreferences: nothing stored; the defaults ask for nothing at the end.
  int Load() override { return 1; }
  int MoveLocalMachinePreferences() override;
  int RemoveLocalMachinePreferences() override;
  int ShowErrorsAtEnd() override { return 0; }
  int OpenDecodeOnExit() override { return 0; }
  int FirstTimeInVersion1_1() override { return 0; }
  void ClearFirstTimeInVersion1_1() override {}
  std::string DefaultDir() override { return std::string(); }

  // IShellIntegration
  int IsShellExtensionRegistered() override { return 0; }
  int RegisterShellExtension() override;
  int UnregisterShellExtension() override;
  int RemoveRightClickEntries() override;
  int UnregisterExtension(const std::string& extension) override;
  int RemoveDesktopLink() override;

  // IPrompts. Without the dialogs the WAV-to-WAV question is answered no,
  // the answer that creates nothing.
  void ShowErrorMessage(const char* key) override;
  void ShowInfoMessage(const char* key) override;
  bool AskConvertWaveToWave(const std::string& name) override;
  int ShowHowTo() override;
  int ErrorCount() override { return 0; }
  int ShowErrorDetails() override;
  bool AskOpenDecodeDirectory() override { return false; }
  int OpenFolder(const std::string& folder) override;

  // IConversionRun: lists what would have been converted.
  int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
              uint32_t& nextEntry) override;
  bool UserCancelled() const override { return false; }

  // IOptionsSheet
  int ShowOptions() override;

 private:
  // Says once per feature that it is missing; returns 0 for the caller to pass on.
  int Unavailable(const std::string& feature);

  std::set<std::string> told_;
};
