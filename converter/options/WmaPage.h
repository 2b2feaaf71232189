// The WMA page of the Options sheet as plain state: the user-maximums box,
// the preset slider with its texts, and whether the tags go along. With no
// preset the library can write, the page is disabled and commits nothing.
#pragma once

#include "engine/codecs/settings/SettingsModels.h"

class COptionsSession;

class CWmaPage {
 public:
  explicit CWmaPage(COptionsSession& session);

  bool userMaximums = false, includeTags = false;
  CSliderModel preset;
  CTextModel presetName, presetText;
  bool Enabled() const { return offered_ > 0; }

  void PresetMoved();
  bool Commit();

 private:
  COptionsSession& session_;
  int offered_ = 0;
};
