#include "converter/options/WmaPage.h"

#include <cstring>

#include "converter/options/OptionsSession.h"
#include "converter/prefs/Preferences.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/WMAPresets.h"
#include "engine/codecs/settings/WMASettings.h"

CWmaPage::CWmaPage(COptionsSession& session) : session_(session) {
  CConv2FileFormat& f = session.Working(kPageWma);
  userMaximums = f.soundQuality == SOUND_QUALITY_USER_MAXIMUMS && ConversionToWMAAllowed();
  includeTags = f.tagType != 0;
  offered_ = InitWMAPresetSlider(&preset, &f);
  SetWMAPresetString(&presetName, &presetText, &f);
}

void CWmaPage::PresetMoved() {
  CConv2FileFormat& f = session_.Working(kPageWma);
  GetWMAPresetValue(&preset, &f);
  SetWMAPresetString(&presetName, &presetText, &f);
}

bool CWmaPage::Commit() {
  if (!Enabled()) return true;  // nothing the library can write: the stored format stays
  CConv2FileFormat& f = session_.Working(kPageWma);
  f.SetSoundQuality(userMaximums ? SOUND_QUALITY_USER_MAXIMUMS : SOUND_QUALITY_PRESET);
  _tTagTypedef tags = static_cast<_tTagTypedef>(includeTags ? 3 : 0);
  if (!GetWMAPresetValue(&preset, &f)) return true;
  GetFormatFromPreset(&f, f.preset, tags);
  session_.CommitFormat(kPageWma);
  return true;
}
