// Messages and questions the entry shows, and the run's error log.
#pragma once

#include <string>

class IPrompts {
 public:
  virtual ~IPrompts() = default;
  // Show the keyed text as an error or an information message.
  virtual void ShowErrorMessage(const char* key) = 0;
  virtual void ShowInfoMessage(const char* key) = 0;
  // Asks whether a WAV file is to be converted to WAV after all (no MP3 or
  // WMA encoder is available); true for yes.
  virtual bool AskConvertWaveToWave(const std::string& name) = 0;
  // The how-to dialog; 1 when shown.
  virtual int ShowHowTo() = 0;
  virtual int ErrorCount() = 0;
  virtual int ShowErrorDetails() = 0;
  // Whether the user wants the conversion folder opened at the end.
  virtual bool AskOpenDecodeDirectory() = 0;
  virtual int OpenFolder(const std::string& folder) = 0;
};
