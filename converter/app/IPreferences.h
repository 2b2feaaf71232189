// The converter's preferences as the entry uses them.
#pragma once

#include <string>

class IPreferences {
 public:
  virtual ~IPreferences() = default;
  // Builds the default directories and reads the current user's preferences.
  virtual int Load() = 0;
  // After an installation: when the local machine's key exists, moves its
  // preferences to the current user's key. 1 on success (also with no key).
  virtual int MoveLocalMachinePreferences() = 0;
  // Removes the local machine's key with all its subkeys (uninstall).
  virtual int RemoveLocalMachinePreferences() = 0;

  virtual int ShowErrorsAtEnd() = 0;
  virtual int OpenDecodeOnExit() = 0;
  virtual int FirstTimeInVersion1_1() = 0;
  virtual void ClearFirstTimeInVersion1_1() = 0;
  virtual std::string DefaultDir() = 0;
};
