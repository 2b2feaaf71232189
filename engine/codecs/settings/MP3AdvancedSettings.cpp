#include "engine/codecs/settings/MP3AdvancedSettings.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "engine/codecs/BitrateLadders.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2MP3.h"
#include "engine/codecs/LameConv2MP3.h"
#include "engine/codecs/settings/SettingsModels.h"
#include "platform/outside/BladeEnc.h"

namespace {

constexpr int32_t kMPEG1 = 1;
constexpr int32_t kMPEG2_5 = 2;
constexpr size_t kABRDigits = 3;
constexpr int kVBRQualityWorst = 9;

// The bit rates of a version, lowest first.
std::vector<unsigned long> VersionLadder(int32_t version) {
  const TBitrateLadder ladder = version == kMPEG1 ? MPEG1BitrateLadder() : MPEG2XBitrateLadder();
  std::vector<unsigned long> entries(ladder.entries, ladder.entries + ladder.count);
  if (version == kMPEG2_5) {
    const unsigned long cap = CLameConv2MP3::kMaxMPEG2_5Bitrate;
    entries.erase(std::upper_bound(entries.begin(), entries.end(), cap), entries.end());
  }
  return entries;
}

// Fills a list with the version's ladder, highest first, leaving out its
// skipLow lowest and skipHigh highest entries.
void LoadLadder(CComboModel* combo, const CConv2FileFormat* record, size_t skipLow,
                size_t skipHigh) {
  if (!combo || !record) return;
  combo->Clear();
  const std::vector<unsigned long> ladder = VersionLadder(record->mpegVersion);
  if (ladder.size() < skipLow + skipHigh) return;
  for (size_t i = ladder.size() - skipHigh; i-- > skipLow;) {
    const std::string key = "IDS_BITRATE_" + std::to_string(ladder[i]);
    combo->AddKeyed(key.c_str(), static_cast<long>(ladder[i]));
  }
}

// Limits a value to the list's entries (highest first), stores it and selects it.
bool SetLimited(CComboModel* combo, uint32_t* value) {
  if (!combo || combo->Count() == 0) return false;
  const auto highest = static_cast<uint32_t>(combo->At(0).value);
  const auto lowest = static_cast<uint32_t>(combo->At(combo->Count() - 1).value);
  *value = std::clamp(*value, lowest, highest);
  return combo->SelectValue(*value);
}

// The ladder entry next above or below a value; the ladder's end when there is none.
uint32_t NextAbove(int32_t version, uint32_t kbps) {
  const std::vector<unsigned long> ladder = VersionLadder(version);
  auto it = std::upper_bound(ladder.begin(), ladder.end(), kbps);
  return static_cast<uint32_t>(it == ladder.end() ? ladder.back() : *it);
}

uint32_t NextBelow(int32_t version, uint32_t kbps) {
  const std::vector<unsigned long> ladder = VersionLadder(version);
  auto it = std::lower_bound(ladder.begin(), ladder.end(), kbps);
  return static_cast<uint32_t>(it == ladder.begin() ? ladder.front() : *(it - 1));
}

bool ReadValue(const CComboModel* combo, long* value) {
  return combo && combo->SelectedValue(value);
}

void SetChannelsFromMode(CConv2FileFormat* record) {
  record->nChannels = record->mode == BE_MP3_MODE_MONO ? 1 : 2;
  record->CalcBlockAlignNAvgBytesPerSec();
}

}  // namespace

void LoadStringsMP3Modes(CComboModel* combo, const CConv2MP3* writer) {
  if (!combo) return;
  combo->Clear();
  combo->AddKeyed("IDS_STEREO_CB_ITEM", BE_MP3_MODE_STEREO);
  if (writer && writer->SupportsJStereo())
    combo->AddKeyed("IDS_JOINT_STEREO_CB_ITEM", BE_MP3_MODE_JSTEREO);
  if (writer && writer->SupportsDualChannel())
    combo->AddKeyed("IDS_DUAL_CHANNEL_CB_ITEM", BE_MP3_MODE_DUALCHANNEL);
  combo->AddKeyed("IDS_MONO_CB_ITEM", BE_MP3_MODE_MONO);
}

bool SetMP3ModeValue(CComboModel* combo, CConv2FileFormat* record, const CConv2MP3* writer) {
  if (!combo || !record) return false;
  const bool jointStereo = writer && writer->SupportsJStereo();
  const bool dualChannel = writer && writer->SupportsDualChannel();
  if ((record->mode == BE_MP3_MODE_JSTEREO && !jointStereo) ||
      (record->mode == BE_MP3_MODE_DUALCHANNEL && !dualChannel))
    record->mode = BE_MP3_MODE_STEREO;
  SetChannelsFromMode(record);
  return combo->SelectValue(record->mode);
}

bool GetMP3ModeValue(const CComboModel* combo, CConv2FileFormat* record) {
  long mode = 0;
  if (!record || !ReadValue(combo, &mode)) return false;
  record->mode = static_cast<int32_t>(mode);
  SetChannelsFromMode(record);
  return true;
}

void LoadStringsMP3Versions(CComboModel* combo, const CConv2MP3* writer) {
  if (!combo) return;
  combo->Clear();
  if (!writer) return;
  if (writer->SupportsMPEG1()) combo->AddKeyed("IDS_MPEG1", 1);
  if (writer->SupportsMPEG2()) combo->AddKeyed("IDS_MPEG2", 0);
  if (writer->SupportsMPEG2_5()) combo->AddKeyed("IDS_MPEG2_5", 2);
}

bool SetMP3VersionValue(CComboModel* combo, const CConv2FileFormat* record) {
  return combo && record && combo->SelectValue(record->mpegVersion);
}

bool GetMP3VersionValue(const CComboModel* version, CComboModel* bitrate, CComboModel* min,
                        CComboModel* max, CEditModel* abrEdit, CConv2FileFormat* record) {
  long value = 0;
  if (!record || !ReadValue(version, &value)) return false;
  if (value == record->mpegVersion) return true;
  record->mpegVersion = static_cast<int32_t>(value);
  if (!CConv2MP3::RateOfVersion(record->nSamplesPerSec, record->mpegVersion)) {
    record->nSamplesPerSec = CConv2MP3::DefaultRate(record->mpegVersion);
    record->CalcBlockAlignNAvgBytesPerSec();
  }
  LoadStringsMP3MaxBitrates(max, record);
  SetMP3MaxBitrateValue(max, record);
  LoadStringsMP3MinBitrates(min, record);
  SetMP3MinBitrateValue(min, record);
  // Limiting both to their lists keeps a minimum below its maximum, except
  // for a record that came in crossed.
  if (record->minBitrate >= record->maxBitrate) {
    record->maxBitrate = NextAbove(record->mpegVersion, record->minBitrate);
    SetMP3MaxBitrateValue(max, record);
  }
  LoadStringsMP3Bitrates(bitrate, record);
  SetMP3BitrateValue(bitrate, record);
  SetMP3ABREditValue(abrEdit, record);
  return true;
}

void LoadStringsMP3Bitrates(CComboModel* combo, const CConv2FileFormat* record) {
  LoadLadder(combo, record, 0, 0);
}

void LoadStringsMP3MinBitrates(CComboModel* combo, const CConv2FileFormat* record) {
  LoadLadder(combo, record, 0, 1);
}

void LoadStringsMP3MaxBitrates(CComboModel* combo, const CConv2FileFormat* record) {
  LoadLadder(combo, record, 1, 0);
}

bool SetMP3BitrateValue(CComboModel* combo, CConv2FileFormat* record) {
  return record && SetLimited(combo, &record->bitrate);
}

bool SetMP3MinBitrateValue(CComboModel* combo, CConv2FileFormat* record) {
  return record && SetLimited(combo, &record->minBitrate);
}

bool SetMP3MaxBitrateValue(CComboModel* combo, CConv2FileFormat* record) {
  return record && SetLimited(combo, &record->maxBitrate);
}

bool GetMP3BitrateValue(const CComboModel* combo, CConv2FileFormat* record) {
  long value = 0;
  if (!record || !ReadValue(combo, &value)) return false;
  record->bitrate = static_cast<uint32_t>(value);
  return true;
}

bool GetMP3MinBitrateValue(const CComboModel* min, CComboModel* max, CEditModel* abrEdit,
                           CConv2FileFormat* record) {
  long value = 0;
  if (!record || !ReadValue(min, &value)) return false;
  const bool changed = static_cast<uint32_t>(value) != record->minBitrate;
  record->minBitrate = static_cast<uint32_t>(value);
  if (changed && record->minBitrate >= record->maxBitrate) {
    record->maxBitrate = NextAbove(record->mpegVersion, record->minBitrate);
    SetMP3MaxBitrateValue(max, record);
  }
  SetMP3ABREditValue(abrEdit, record);
  return true;
}

bool GetMP3MaxBitrateValue(const CComboModel* max, CComboModel* min, CEditModel* abrEdit,
                           CConv2FileFormat* record) {
  long value = 0;
  if (!record || !ReadValue(max, &value)) return false;
  const bool changed = static_cast<uint32_t>(value) != record->maxBitrate;
  record->maxBitrate = static_cast<uint32_t>(value);
  if (changed && record->minBitrate >= record->maxBitrate) {
    record->minBitrate = NextBelow(record->mpegVersion, record->maxBitrate);
    SetMP3MinBitrateValue(min, record);
  }
  SetMP3ABREditValue(abrEdit, record);
  return true;
}

void InitMP3ABREdit(CEditModel* edit) {
  if (edit) edit->SetMaxLength(kABRDigits);
}

void SetMP3ABREditValue(CEditModel* edit, CConv2FileFormat* record) {
  if (!record) return;
  if (record->abrBitrate >= record->maxBitrate && record->maxBitrate > 0)
    record->abrBitrate = record->maxBitrate - 1;
  if (record->abrBitrate <= record->minBitrate) record->abrBitrate = record->minBitrate + 1;
  if (edit) edit->SetText(std::to_string(record->abrBitrate));
}

void GetMP3ABREditValue(CEditModel* edit, CConv2FileFormat* record) {
  if (!edit || !record) return;
  const std::string& text = edit->Text();
  uint32_t value = 0;
  for (size_t i = 0;
       i < text.size() && i < kABRDigits && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  record->abrBitrate = value;
  SetMP3ABREditValue(edit, record);
}

void InitMP3VBRQualitySlider(CSliderModel* slider, const CConv2FileFormat* record) {
  if (!slider) return;
  slider->SetRange(0, kVBRQualityWorst);
  if (record) slider->SetPosition(kVBRQualityWorst - record->vbrQuality);
}

void GetMP3VBRQualityValue(const CSliderModel* slider, CConv2FileFormat* record) {
  if (slider && record) record->vbrQuality = kVBRQualityWorst - slider->Position();
}

void SetMP3VBRQualityString(CTextModel* text, const CConv2FileFormat* record) {
  if (text && record) text->SetText(std::to_string(record->vbrQuality));
}
