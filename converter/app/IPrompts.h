// Messages and questions the entry shows, and the run's error log.
#pragma once

#include <string>

class IPrompts {
 public:
  virtual ~IPrompts() = default;
  // Show the keyed text as an error or an information message.
  virtual void ShowErrorMessage(const char* key) = 0;
  virtual void ShowInfoMessage(const char* key) = 0;
  // A question with Yes and No buttons and the exclamation icon, owned by the
  // progress window when there is one; true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  // The how-to dialog; 1 when shown.
  virtual int ShowHowTo() = 0;
  virtual int ErrorCount() = 0;
  virtual int ShowErrorDetails() = 0;
  // Whether the user wants the conversion folder opened at the end.
  virtual bool AskOpenDecodeDirectory() = 0;
  virtual int OpenFolder(const std::string& folder) = 0;
};
