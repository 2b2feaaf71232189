#include "engine/codecs/settings/MP3Settings.h"

#include <string>
#include <vector>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/Conv2MP3.h"
#include "engine/codecs/MP3Presets.h"
#include "engine/codecs/settings/SettingsModels.h"
#include "engine/media/TagType.h"

namespace {

constexpr int32_t kCDPreset = 9;
// Encoder names with their version text are at most 1023 characters.
constexpr unsigned kEncoderNameBytes = 1024;

// The presets the writer offers, lowest first.
std::vector<int32_t> OfferedPresets(const CConv2MP3* writer) {
  std::vector<int32_t> offered;
  if (!writer) return offered;
  for (int32_t p = 1; p <= kMP3PresetCount; ++p)
    if (writer->SupportsVersion(MP3Preset(p)->mpegVersion)) offered.push_back(p);
  return offered;
}

std::string UserSettingsText(const CConv2FileFormat* record, const CConv2MP3* writer) {
  std::string text = writer->SettingsText(record, "IDS_MP3_FORMAT_LAYER3");
  if (record->enableVBR && writer->SupportsVBR() && record->writeVBRHeader &&
      writer->SupportsVBRXINGHeader())
    text += TonalisLoadKeyed("IDS_XING_HEADER_SET");
  if (record->privateBit) text += TonalisLoadKeyed("IDS_PRIVATE_SET");
  if (record->crc) text += TonalisLoadKeyed("IDS_CHECKSUM_SET");
  if (record->originalBit) text += TonalisLoadKeyed("IDS_ORIGINAL_SET");
  if (record->copyrightBit) text += TonalisLoadKeyed("IDS_COPYRIGHT_SET");
  return text;
}

void Release(CConv2FileObj* writer) {
  CRefObj* object = writer;
  DeleteRefObject(&object);
}

}  // namespace

void LoadStringsMP3TagTypes(CComboModel* combo) {
  if (!combo) return;
  combo->Clear();
  combo->AddKeyed("IDS_TAG_ID3_V2", TAG_ID3_V2);
  combo->AddKeyed("IDS_TAG_ID3_V1", TAG_ID3_V1);
  combo->AddKeyed("IDS_TAG_NONE", TAG_NONE);
}

bool SetMP3TagTypeValue(CComboModel* combo, const CConv2FileFormat* record) {
  return combo && record && combo->SelectValue(record->tagType);
}

bool GetMP3TagTypeValue(const CComboModel* combo, CConv2FileFormat* record) {
  long tag = 0;
  if (!combo || !record || !combo->SelectedValue(&tag)) return false;
  record->tagType = static_cast<int32_t>(tag);
  return true;
}

bool InitMP3PresetSlider(CSliderModel* slider, CConv2FileFormat* record, const CConv2MP3* writer) {
  if (!slider || !record) return false;
  if (record->preset == 0) record->preset = kCDPreset;
  const std::vector<int32_t> offered = OfferedPresets(writer);
  slider->enabled = !offered.empty();
  slider->SetRange(0, offered.empty() ? 0 : static_cast<int>(offered.size()) - 1);
  if (offered.empty()) return false;
  for (size_t i = 0; i < offered.size(); ++i)
    if (offered[i] == record->preset) {
      slider->SetPosition(static_cast<int>(i));
      return false;
    }
  slider->SetPosition(record->preset > offered.back() ? slider->High() : slider->Low());
  return true;
}

bool GetMP3PresetValue(const CSliderModel* slider, CConv2FileFormat* record,
                       const CConv2MP3* writer) {
  if (!slider || !record) return false;
  const std::vector<int32_t> offered = OfferedPresets(writer);
  const int position = slider->Position();
  if (position < 0 || position >= static_cast<int>(offered.size())) return false;
  record->preset = offered[static_cast<size_t>(position)];
  return true;
}

void SetMP3PresetString(CTextModel* name, CTextModel* text, const CConv2FileFormat* record,
                        CConv2MP3* writer) {
  const TMP3Preset* row = record ? MP3Preset(record->preset) : nullptr;
  if (name) name->SetText(row ? TonalisLoadKeyed(row->nameKey) : "");
  if (!text) return;
  if (!row || !writer) {
    text->SetText("");
    return;
  }
  CConv2FileFormat preset(*record);
  writer->GetFormatFromPreset(&preset, record->preset, TAG_UNCHANGED, SOUND_QUALITY_UNCHANGED);
  text->SetText(TonalisLoadFormatted("IDS_PRESET_FORMAT", UserSettingsText(&preset, writer)));
}

void SetMP3UserSettingsString(CTextModel* text, const CConv2FileFormat* record,
                              const CConv2MP3* writer) {
  if (text) text->SetText(record && writer ? UserSettingsText(record, writer) : "");
}

void LoadStringsMP3Encoders(CComboModel* combo) {
  if (!combo) return;
  combo->Clear();
  const int count = GetMP3EncoderArraySize();
  std::vector<std::vector<char>> buffers(static_cast<size_t>(count),
                                         std::vector<char>(kEncoderNameBytes, 0));
  std::vector<char*> names;
  for (auto& buffer : buffers) names.push_back(buffer.data());
  std::vector<int> available(static_cast<size_t>(count), 0);
  GetMP3EncoderNamesAndAvailablity(names.data(), kEncoderNameBytes, available.data());
  for (int e = 0; e < count; ++e)
    if (available[static_cast<size_t>(e)]) combo->Add(names[static_cast<size_t>(e)], e, e);
}

void SetMP3EncoderValue(CComboModel* combo, _tMP3EncoderDllTypedef encoder,
                        _tMP3EncoderDllTypedef previous) {
  if (combo && encoder != previous) combo->Select(combo->IndexOfData(encoder));
}

MP3EncoderChange GetMP3EncoderValue(CComboModel* encoders, CSliderModel* presetSlider,
                                    CTextModel* presetName, CTextModel* presetText,
                                    CTextModel* settingsText, _tMP3EncoderDllTypedef* encoder,
                                    CConv2FileFormat* record, CConv2MP3** writer) {
  long data = 0;
  if (!encoders || !encoder || !record || !writer || !encoders->SelectedData(&data))
    return MP3EncoderChange::kNotRead;
  if (data == *encoder) return MP3EncoderChange::kUnchanged;
  // The new writer first: when it cannot be made, the old one goes on working.
  CConv2FileObj* made = NewCConv2FileObj(FILE_CONVERSION_MP3, static_cast<int>(data));
  auto* mp3 = dynamic_cast<CConv2MP3*>(made);
  if (!mp3) {
    Release(made);
    encoders->Select(encoders->IndexOfData(*encoder));
    return MP3EncoderChange::kFailed;
  }
  Release(*writer);
  *writer = mp3;
  *encoder = static_cast<_tMP3EncoderDllTypedef>(data);
  mp3->UpdateSettingsAfterEncoderChange(record);
  record->ValidateEx(mp3);
  if (InitMP3PresetSlider(presetSlider, record, mp3)) GetMP3PresetValue(presetSlider, record, mp3);
  SetMP3PresetString(presetName, presetText, record, mp3);
  SetMP3UserSettingsString(settingsText, record, mp3);
  return MP3EncoderChange::kChanged;
}
