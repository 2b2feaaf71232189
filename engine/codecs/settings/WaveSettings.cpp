#include "engine/codecs/settings/WaveSettings.h"

#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/settings/SettingsModels.h"

void LoadStringsWaveSampleRates(CComboModel* combo) {
  if (!combo) return;
  combo->Clear();
  combo->AddKeyed("IDS_44100HZ", 44100);
  combo->AddKeyed("IDS_22050HZ", 22050);
  combo->AddKeyed("IDS_11025HZ", 11025);
}

bool SetWaveSampleRateValue(CComboModel* combo, const CConv2FileFormat* record) {
  return combo && record && combo->SelectValue(record->nSamplesPerSec);
}

bool GetWaveSampleRateValue(const CComboModel* combo, CConv2FileFormat* record) {
  long rate = 0;
  if (!combo || !record || !combo->SelectedValue(&rate)) return false;
  record->nSamplesPerSec = static_cast<uint32_t>(rate);
  record->CalcBlockAlignNAvgBytesPerSec();
  return true;
}
