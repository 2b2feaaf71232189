// Everything the user chose about one conversion target. The record is itself
// a wave format: its first 18 bytes are the PCM shape, and its extra-size
// field says that the 94 bytes of settings that follow belong to it, so the
// whole record can be handed to anything that takes a wave format.
#pragma once

#include <cstdint>

#include "engine/codecs/ConversionTypes.h"
#include "engine/media/TagType.h"
#include "platform/WaveFormat.h"

class ACMObject;
class CConv2FileObj;
class CPCMSound;
class CRegKey;
struct TMusicInfo;

class CConv2FileFormat : public tWAVEFORMATEX {
 public:
  static constexpr uint16_t kSettingsBytes = 94;

  CConv2FileFormat();
  explicit CConv2FileFormat(unsigned short tag);
  CConv2FileFormat(const CConv2FileFormat&) = default;
  CConv2FileFormat& operator=(const CConv2FileFormat&) = default;

  void CDQualitySettings(unsigned short tag);
  void CalcBlockAlignNAvgBytesPerSec();
  void SetFormatTag(unsigned short tag);
  unsigned short GetFormatTag() const { return wFormatTag; }
  void SetSoundQuality(_tSoundQualityTypedef quality);
  _tSoundQualityTypedef GetSoundQuality() const { return soundQuality; }
  bool ValidateSoundQuality();
  bool Validate();
  bool ValidateEx(CConv2FileObj* writer);
  bool Copy(const CConv2FileFormat* from, CConv2FileObj* writer, unsigned short tag);
  bool SetFromWaveFormatEx(const tWAVEFORMATEX* wfx, CConv2FileObj* writer, unsigned short tag);
  bool SetFromWaveFormatEx_C2FFUseOnly(const tWAVEFORMATEX* wfx, unsigned short tag);
  void MakeIntoWaveFormatEx(tWAVEFORMATEX* out) const;
  // Reads the stored settings; a value that is missing keeps the field. A
  // stored shape the target rejects falls back to the target's CD-quality
  // defaults, and the result is false.
  bool ReadPreferences(CRegKey* key);
  void WritePreferences(CRegKey* key) const;
  CConv2FileObj* GetConvFObj(CConv2FileObj* writer) const;
  static void GetRidOfConvFObj(CConv2FileObj* made, CConv2FileObj* given);
  void SmartCopy(unsigned short tag, const CConv2FileFormat* user, const tWAVEFORMATEX* source,
                 CConv2FileObj* writer, const TMusicInfo* info, ACMObject* decoder);
  void SmartCopy(unsigned short tag, const CConv2FileFormat* user, CPCMSound* sound,
                 CConv2FileObj* writer);

  tWAVEFORMATEX* AsWaveFormat() { return this; }

  int32_t conversionType;  // _tFileConversionTypedef of the tag
  _tSoundQualityTypedef soundQuality;
  int32_t preset;
  int32_t usePreset;
  uint32_t bitrate;  // kbit/s
  int32_t tagType;   // _tTagTypedef
  int32_t privateBit;
  int32_t copyrightBit;
  int32_t originalBit;
  // MPEG settings
  int32_t mpegVersion;  // 1 MPEG-1, 0 MPEG-2, 2 MPEG-2.5
  int32_t mode;         // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  uint32_t minBitrate;
  uint32_t maxBitrate;
  int32_t psyModel;
  int32_t crc;
  int32_t enableVBR;
  int32_t writeVBRHeader;
  int32_t resampleRate;
  int32_t emphasis;
  int32_t vbrQuality;
  int32_t enableABR;
  uint32_t abrBitrate;
  int32_t noReservoir;
};

static_assert(sizeof(CConv2FileFormat) == 112, "the stored record is 112 bytes");
