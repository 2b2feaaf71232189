// The WAV page of the Options sheet as plain state: the three qualities,
// the CD block alignment, and the settings of the user's own choice.
#pragma once

#include "engine/codecs/settings/SettingsModels.h"

class COptionsSession;

class CWavePage {
 public:
  explicit CWavePage(COptionsSession& session);

  CRadioModel cdQuality, bestSuited, userSettings;
  bool blockAlign = false;
  CComboModel rate;
  CRadioModel stereo, mono, bits16, bits8;

  // The user's own settings are open only with their choice.
  void QualityChanged();
  // OK: writes the working copy and commits it.
  bool Commit();

 private:
  COptionsSession& session_;
};
