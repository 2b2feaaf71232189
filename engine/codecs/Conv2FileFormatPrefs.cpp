// Stored settings of a conversion target: one 32-bit number per field.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/codecs/Conv2FileFormat.h"
#include "platform/registry/RegKey.h"

namespace {

struct Field {
  const char* name;
  size_t offset;  // within the record
  bool mpegOnly;
};

#define FIELD(name, member, mpeg) \
  { name, offsetof(CConv2FileFormat, member), mpeg }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
// In the order they are read, after the preset, the preset switch and the quality.
const Field kFields[] = {
    FIELD("ConvertToChannels", nChannels, false),
    FIELD("ConvertToSamplesPerSec", nSamplesPerSec, false),
    FIELD("ConvertToBitsPerSample", wBitsPerSample, false),
    FIELD("ConvertToBitrate", bitrate, false),
    FIELD("ConvertToPrivate", privateBit, false),
    FIELD("ConvertToCopyright", copyrightBit, false),
    FIELD("ConvertToOriginal", originalBit, false),
    FIELD("ConvertToId3TagType", tagType, false),
    FIELD("ConvertToCRC", crc, true),
    FIELD("ConvertToMode", mode, true),
    FIELD("ConvertToReSampleRate", resampleRate, true),
    FIELD("ConvertToMinBitrate", minBitrate, true),
    FIELD("ConvertToMaxBitrate", maxBitrate, true),
    FIELD("ConvertToMpegVersion", mpegVersion, true),
    FIELD("ConvertToPsyModel", psyModel, true),
    FIELD("ConvertToEmphasis", emphasis, true),
    FIELD("ConvertToEnableVBR", enableVBR, true),
    FIELD("ConvertToWriteVBRHeader", writeVBRHeader, true),
    FIELD("ConvertToVBRQuality", vbrQuality, true),
    FIELD("ConvertToEnableABR", enableABR, true),
    FIELD("ConvertToVbrAbr_bps", abrBitrate, true),
    FIELD("ConvertToNoRes", noReservoir, true),
};
#pragma GCC diagnostic pop
#undef FIELD

// The 16-bit fields of the wave-format part; every other field is 32 bits.
bool IsShort(size_t offset) {
  return offset == offsetof(tWAVEFORMATEX, nChannels) ||
         offset == offsetof(tWAVEFORMATEX, wBitsPerSample);
}

uint32_t Get(const CConv2FileFormat* f, size_t offset) {
  const auto* p = reinterpret_cast<const uint8_t*>(f) + offset;
  if (IsShort(offset)) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void Put(CConv2FileFormat* f, size_t offset, uint32_t value) {
  auto* p = reinterpret_cast<uint8_t*>(f) + offset;
  if (IsShort(offset)) {
    auto v = static_cast<uint16_t>(value > 0xffff ? 0xffff : value);
    std::memcpy(p, &v, 2);
  } else {
    std::memcpy(p, &value, 4);
  }
}

}  // namespace

bool CConv2FileFormat::ReadPreferences(CRegKey* key) {
  if (!key) return ValidateEx(nullptr);
  uint32_t v = 0;
  if (key->SubKeyExists("ConvertToTonalisPreset") && key->GetKeyNum("ConvertToTonalisPreset", &v))
    preset = static_cast<int32_t>(v);
  if (key->SubKeyExists("ConvertToUsePreset") && key->GetKeyNum("ConvertToUsePreset", &v))
    usePreset = static_cast<int32_t>(v);
  else if (!key->SubKeyExists("ConvertToUsePreset") && preset == 0)
    usePreset = 0;
  if (key->SubKeyExists("ConvertToCDQuality") && key->GetKeyNum("ConvertToCDQuality", &v))
    SetSoundQuality(static_cast<_tSoundQualityTypedef>(v));
  for (const Field& f : kFields) {
    if (f.mpegOnly && wFormatTag != kFormatTagMp3) continue;
    if (key->SubKeyExists(f.name) && key->GetKeyNum(f.name, &v)) Put(this, f.offset, v);
  }
  if (ValidateEx(nullptr)) return true;
  // A stored shape the target cannot take is never used: the target's
  // CD-quality defaults stand in for it.
  CDQualitySettings(wFormatTag);
  ValidateEx(nullptr);
  return false;
}

void CConv2FileFormat::WritePreferences(CRegKey* key) const {
  if (!key) return;
  key->SetKeyNum("ConvertToCDQuality", static_cast<uint32_t>(soundQuality));
  key->SetKeyNum("ConvertToTonalisPreset", static_cast<uint32_t>(preset));
  key->SetKeyNum("ConvertToUsePreset", static_cast<uint32_t>(usePreset));
  for (const Field& f : kFields) {
    if (f.mpegOnly && wFormatTag != kFormatTagMp3) continue;
    key->SetKeyNum(f.name, Get(this, f.offset));
  }
}
