#include "engine/codecs/settings/WMASettings.h"

#include <string>
#include <vector>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/BitrateLadders.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2WmaFile.h"
#include "engine/codecs/WMAPresets.h"
#include "engine/codecs/settings/SettingsModels.h"

namespace {

constexpr long kWMARates[] = {48000, 44100, 32000, 22050, 16000, 11025, 8000};
constexpr const char* kWMARateKeys[] = {"IDS_48000HZ", "IDS_44100HZ", "IDS_32000HZ", "IDS_22050HZ",
                                        "IDS_16000HZ", "IDS_11025HZ", "IDS_8000HZ"};
constexpr long kCDPreset = WMA_PRESET_CD;
constexpr int kSettingsTextBytes = 512;

// The presets the library's encoder produces, lowest first; asks the given
// writer, or one made for the moment.
std::vector<long> OfferedPresets(CConv2WmaFile* writer) {
  CConv2WmaFile own;
  CConv2WmaFile* asked = writer ? writer : &own;
  std::vector<long> offered;
  for (long p = 1; p <= kWMAPresetCount; ++p)
    if (asked->IsWMAFormatAvailable(static_cast<_tWMAPresetTypedef>(p))) offered.push_back(p);
  return offered;
}

std::string SettingsText(const CConv2FileFormat* record) {
  CConv2WmaFile writer;
  CConv2FileFormat format(*record);
  char text[kSettingsTextBytes];
  writer.GetTargetFormatStr(text, sizeof text, &format);
  return text;
}

// The channels the rate table allows for the record's bit rate: forced ones,
// else two above the mono maximum and one below the stereo minimum.
void PickChannels(CConv2FileFormat* record) {
  const TWMARateRow* row = WMARateRow(record->nSamplesPerSec);
  if (!row) return;
  if (row->forcedChannels)
    record->nChannels = row->forcedChannels;
  else if (record->bitrate > row->maxMono)
    record->nChannels = 2;
  else if (record->bitrate < row->minStereo)
    record->nChannels = 1;
  record->CalcBlockAlignNAvgBytesPerSec();
}

}  // namespace

void LoadStringsWMASampleRates(CComboModel* combo) {
  if (!combo) return;
  combo->Clear();
  for (size_t i = 0; i < std::size(kWMARates); ++i) combo->AddKeyed(kWMARateKeys[i], kWMARates[i]);
}

void SetWMASampleRateValue(CComboModel* combo, const CConv2FileFormat* record, uint32_t previous) {
  if (combo && record && record->nSamplesPerSec != previous)
    combo->SelectValue(record->nSamplesPerSec);
}

bool GetWMASampleRateValue(const CComboModel* rate, CComboModel* bitrate, CRadioModel* stereo,
                           CRadioModel* mono, CConv2FileFormat* record) {
  long value = 0;
  if (!rate || !record || !rate->SelectedValue(&value)) return false;
  if (static_cast<uint32_t>(value) == record->nSamplesPerSec) return true;
  record->nSamplesPerSec = static_cast<uint32_t>(value);
  MakeMostNaturalWMABitrateFromC2FFSettings(record);
  record->CalcBlockAlignNAvgBytesPerSec();
  LoadStringsWMABitrates(bitrate, record);
  SetWMABitrateValue(bitrate, record, 0);
  SetWMARadioMode(stereo, mono, record);
  return true;
}

void LoadStringsWMABitrates(CComboModel* combo, const CConv2FileFormat* record) {
  if (!combo || !record) return;
  combo->Clear();
  const TWMARateRow* row = WMARateRow(record->nSamplesPerSec);
  if (!row) return;
  const TBitrateLadder ladder = WMABitrateLadder();
  for (size_t i = ladder.count; i-- > 0;) {
    const unsigned long kbps = ladder.entries[i];
    if ((kbps >= row->minMono && kbps <= row->maxMono) ||
        (kbps >= row->minStereo && kbps <= row->maxStereo)) {
      const std::string key = "IDS_BITRATE_" + std::to_string(kbps);
      combo->AddKeyed(key.c_str(), static_cast<long>(kbps));
    }
  }
}

void SetWMABitrateValue(CComboModel* combo, const CConv2FileFormat* record, uint32_t previous) {
  if (combo && record && record->bitrate != previous) combo->SelectValue(record->bitrate);
}

bool GetWMABitrateValue(const CComboModel* bitrate, CRadioModel* stereo, CRadioModel* mono,
                        CConv2FileFormat* record) {
  long value = 0;
  if (!bitrate || !record || !bitrate->SelectedValue(&value)) return false;
  if (static_cast<uint32_t>(value) == record->bitrate) return true;
  record->bitrate = static_cast<uint32_t>(value);
  PickChannels(record);
  SetWMARadioMode(stereo, mono, record);
  return true;
}

void SetWMARadioMode(CRadioModel* stereo, CRadioModel* mono, const CConv2FileFormat* record) {
  if (!record) return;
  bool stereoAllowed = true, monoAllowed = true;
  if (const TWMARateRow* row = WMARateRow(record->nSamplesPerSec)) {
    if (row->forcedChannels) {
      stereoAllowed = row->forcedChannels == 2;
      monoAllowed = row->forcedChannels == 1;
    } else if (record->bitrate > row->maxMono) {
      monoAllowed = false;
    } else if (record->bitrate < row->minStereo) {
      stereoAllowed = false;
    }
  }
  if (stereo) {
    stereo->checked = record->nChannels == 2;
    stereo->enabled = stereoAllowed;
  }
  if (mono) {
    mono->checked = record->nChannels == 1;
    mono->enabled = monoAllowed;
  }
}

bool GetWMARadioMode(const CRadioModel* stereo, const CRadioModel* mono, CConv2FileFormat* record) {
  if (!record) return false;
  if (stereo && stereo->checked)
    record->nChannels = 2;
  else if (mono && mono->checked)
    record->nChannels = 1;
  else
    return false;
  record->CalcBlockAlignNAvgBytesPerSec();
  return true;
}

int InitWMAPresetSlider(CSliderModel* slider, CConv2FileFormat* record, CConv2WmaFile* writer) {
  const std::vector<long> offered = OfferedPresets(writer);
  const int count = static_cast<int>(offered.size());
  if (!slider) return count;
  slider->enabled = count > 0;
  slider->SetRange(0, count > 0 ? count - 1 : 0);
  if (count == 0 || !record) return count;
  int position = -1, cdPosition = -1;
  for (int i = 0; i < count; ++i) {
    if (offered[static_cast<size_t>(i)] == record->preset) position = i;
    if (offered[static_cast<size_t>(i)] == kCDPreset) cdPosition = i;
  }
  if (position < 0) position = cdPosition >= 0 ? cdPosition : 0;
  record->preset = static_cast<int32_t>(offered[static_cast<size_t>(position)]);
  slider->SetPosition(position);
  return count;
}

bool GetWMAPresetValue(const CSliderModel* slider, CConv2FileFormat* record,
                       CConv2WmaFile* writer) {
  if (!slider || !record) return false;
  const int row = GetPresetIndexFromSliderIndex(slider->Position(), writer);
  if (row < 0) return false;
  record->preset = row + 1;
  return true;
}

int GetPresetIndexFromSliderIndex(int position, CConv2WmaFile* writer) {
  const std::vector<long> offered = OfferedPresets(writer);
  if (position < 0 || position >= static_cast<int>(offered.size())) return -1;
  return static_cast<int>(offered[static_cast<size_t>(position)] - 1);
}

void SetWMAPresetString(CTextModel* name, CTextModel* text, const CConv2FileFormat* record) {
  const TWMAPreset* row = record ? WMAPreset(record->preset) : nullptr;
  if (name) name->SetText(row ? TonalisLoadKeyed(row->nameKey) : "");
  if (!text) return;
  if (!row) {
    text->SetText("");
    return;
  }
  CConv2FileFormat preset(*record);
  GetFormatFromPreset(&preset, record->preset, TAG_UNCHANGED);
  text->SetText(TonalisLoadFormatted("IDS_PRESET_FORMAT", SettingsText(&preset)));
}

void SetWMAUserSettingsString(CTextModel* text, const CConv2FileFormat* record) {
  if (!text) return;
  if (!record) {
    text->SetText("");
    return;
  }
  std::string settings = SettingsText(record);
  if (record->copyrightBit) settings += TonalisLoadKeyed("IDS_WMA_DRM_SET");
  text->SetText(settings);
}
