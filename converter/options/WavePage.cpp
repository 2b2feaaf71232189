#include "converter/options/WavePage.h"

#include "converter/options/OptionsSession.h"
#include "converter/prefs/Preferences.h"
#include "engine/codecs/settings/WaveSettings.h"

CWavePage::CWavePage(COptionsSession& session) : session_(session) {
  const CConv2FileFormat& f = session.Working(kPageWave);
  cdQuality.checked = f.soundQuality == SOUND_QUALITY_CD;
  userSettings.checked = f.soundQuality == SOUND_QUALITY_PRESET;
  bestSuited.checked = !cdQuality.checked && !userSettings.checked;
  blockAlign = session.Preferences().cdBlockAlign != 0;
  LoadStringsWaveSampleRates(&rate);
  SetWaveSampleRateValue(&rate, &f);
  stereo.checked = f.nChannels != 1;
  mono.checked = !stereo.checked;
  bits16.checked = f.wBitsPerSample != 8;
  bits8.checked = !bits16.checked;
  QualityChanged();
}

void CWavePage::QualityChanged() {
  bool own = userSettings.checked;
  rate.enabled = stereo.enabled = mono.enabled = bits16.enabled = bits8.enabled = own;
}

bool CWavePage::Commit() {
  CConv2FileFormat& f = session_.Working(kPageWave);
  f.SetSoundQuality(cdQuality.checked      ? SOUND_QUALITY_CD
                    : userSettings.checked ? SOUND_QUALITY_PRESET
                                           : SOUND_QUALITY_MOST_NATURAL);
  // The user's own settings are explicit settings, not a preset.
  if (userSettings.checked) f.usePreset = 0;
  // The alignment belongs to CD quality; other qualities leave it as it was.
  if (cdQuality.checked) session_.Preferences().cdBlockAlign = blockAlign ? 1 : 0;
  GetWaveSampleRateValue(&rate, &f);  // nothing selected keeps the rate
  f.nChannels = stereo.checked ? 2 : 1;
  f.wBitsPerSample = bits16.checked ? 16 : 8;
  f.CalcBlockAlignNAvgBytesPerSec();
  session_.CommitFormat(kPageWave);
  return true;
}
