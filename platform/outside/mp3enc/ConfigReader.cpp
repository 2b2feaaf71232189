#include "platform/outside/mp3enc/ConfigReader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace mp3enc {

namespace {

// Layer III bit rates in kbit/s.
constexpr std::array<int, 14> kMpeg1Rates = {32,  40,  48,  56,  64,  80,  96,
                                             112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> kMpeg2Rates = {8,  16, 24, 32,  40,  48,  56,
                                             64, 80, 96, 112, 128, 144, 160};
// LAME encodes MPEG-2.5 at no more than this; a higher request is lowered to
// it here, so the stream's reported rate is the one written.
constexpr int kMpeg25MaxBitRate = 64;

// The fields of the extended record that are read: up to and with bNoRes.
constexpr uint32_t kExtendedBytesUsed = offsetof(BE_CONFIG_LAME_RECORD, bNoRes) + sizeof(int32_t);

// LAME accepts any input rate and resamples; these bounds only keep out
// values that cannot be a sample rate.
constexpr uint32_t kMinInputRate = 1000;
constexpr uint32_t kMaxInputRate = 768000;

// The MPEG version an output rate belongs to, or -1 for a rate MPEG lacks.
int VersionOfRate(uint32_t rate) {
  switch (rate) {
    case 32000:
    case 44100:
    case 48000:
      return MPEG1;
    case 16000:
    case 22050:
    case 24000:
      return MPEG2;
    case 8000:
    case 11025:
    case 12000:
      return MPEG2_5;
    default:
      return -1;
  }
}

bool OnLadder(int version, uint32_t kbps) {
  const auto& ladder = version == MPEG1 ? kMpeg1Rates : kMpeg2Rates;
  return std::find(ladder.begin(), ladder.end(), static_cast<int>(kbps)) != ladder.end();
}

int CapForVersion(int version, int kbps) {
  return version == MPEG2_5 ? std::min(kbps, kMpeg25MaxBitRate) : kbps;
}

// The emphasis values the header can carry (2 is reserved).
bool ValidEmphasis(uint32_t emphasis) { return emphasis == 0 || emphasis == 1 || emphasis == 3; }

}  // namespace

BE_ERR ConfigReader::Read(const void* config, EncoderInterfaceKind kind,
                          EncoderSettings* settings) {
  if (!config || !settings) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  uint32_t which = 0;
  std::memcpy(&which, config, sizeof which);
  if (which == BE_CONFIG_MP3)
    return ReadBasic(config, kind == EncoderInterfaceKind::kExtended, settings);
  if (which == BE_CONFIG_LAME && kind == EncoderInterfaceKind::kExtended)
    return ReadExtended(config, settings);
  return BE_ERR_INVALID_FORMAT;
}

BE_ERR ConfigReader::ReadBasic(const void* config, bool jointStereo, EncoderSettings* settings) {
  BE_CONFIG_BASIC record;
  std::memcpy(&record, config, sizeof record);
  if (VersionOfRate(record.dwSampleRate) != MPEG1) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const int mode = record.byMode;
  if (mode > BE_MP3_MODE_MONO || (mode == BE_MP3_MODE_JSTEREO && !jointStereo))
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (!OnLadder(MPEG1, record.wBitrate)) return BE_ERR_INVALID_FORMAT_PARAMETERS;

  EncoderSettings s;
  s.inputRate = s.outputRate = static_cast<int>(record.dwSampleRate);
  s.mode = mode;
  s.channels = mode == BE_MP3_MODE_MONO ? 1 : 2;
  s.bitRate = record.wBitrate;
  s.crc = record.bCRC != 0;
  s.copyright = record.bCopyright != 0;
  s.original = record.bOriginal != 0;
  s.privateBit = record.bPrivate != 0;
  *settings = s;
  return BE_ERR_SUCCESSFUL;
}

BE_ERR ConfigReader::ReadExtended(const void* config, EncoderSettings* settings) {
  // The record's own size says how much of it the caller has; fields past
  // it read as zero.
  BE_CONFIG_LAME_RECORD record{};
  std::memcpy(&record, config, offsetof(BE_CONFIG_LAME_RECORD, dwSampleRate));
  if (record.dwStructVersion < 1 || record.dwStructSize < kExtendedBytesUsed)
    return BE_ERR_INVALID_FORMAT;
  std::memcpy(&record, config, std::min<size_t>(record.dwStructSize, sizeof record));

  if (record.dwSampleRate < kMinInputRate || record.dwSampleRate > kMaxInputRate)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  // The output rate is always given to LAME: left to itself it may pick another.
  const uint32_t outputRate = record.dwReSampleRate ? record.dwReSampleRate : record.dwSampleRate;
  if (VersionOfRate(outputRate) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  // The output rate decides the version; the field need only be one of them.
  if (record.dwMpegVersion < MPEG2 || record.dwMpegVersion > MPEG2_5)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (record.nMode < BE_MP3_MODE_STEREO || record.nMode > BE_MP3_MODE_MONO)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (!ValidEmphasis(record.dwEmphasis)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  // nPreset and dwPsyModel are not used: the record's own fields say everything.

  EncoderSettings s;
  s.inputRate = static_cast<int>(record.dwSampleRate);
  s.outputRate = static_cast<int>(outputRate);
  s.mode = record.nMode;
  s.channels = record.nMode == BE_MP3_MODE_MONO ? 1 : 2;
  s.emphasis = static_cast<int>(record.dwEmphasis);
  s.crc = record.bCRC != 0;
  s.copyright = record.bCopyright != 0;
  s.original = record.bOriginal != 0;
  s.privateBit = record.bPrivate != 0;
  s.noReservoir = record.bNoRes != 0;
  s.writeVbrTag = record.bWriteVBRHeader != 0;
  const BE_ERR rates = ReadBitRates(record, &s);
  if (rates != BE_ERR_SUCCESSFUL) return rates;
  *settings = s;
  return BE_ERR_SUCCESSFUL;
}

BE_ERR ConfigReader::ReadBitRates(const BE_CONFIG_LAME_RECORD& record, EncoderSettings* s) {
  const int version = VersionOfRate(static_cast<uint32_t>(s->outputRate));
  if (!record.bEnableVBR) {
    if (!OnLadder(version, record.dwBitrate)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    s->bitRateMode = BitRateMode::kConstant;
    s->bitRate = CapForVersion(version, static_cast<int>(record.dwBitrate));
    return BE_ERR_SUCCESSFUL;
  }
  // VBR and ABR: minimum and maximum on the version's ladder, 0 leaving the
  // bound to LAME.
  const uint32_t minimum = record.dwBitrate, maximum = record.dwMaxBitrate;
  if ((minimum && !OnLadder(version, minimum)) || (maximum && !OnLadder(version, maximum)) ||
      (minimum && maximum && minimum > maximum))
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  s->bitRate = CapForVersion(version, static_cast<int>(minimum));
  s->maxBitRate = CapForVersion(version, static_cast<int>(maximum));
  if (record.nVbrMethod == VBR_METHOD_ABR) {
    const uint32_t mean = record.dwVbrAbr_bps / 1000;
    const auto& ladder = version == MPEG1 ? kMpeg1Rates : kMpeg2Rates;
    const int bottom = ladder.front(), top = ladder.back();
    if (mean < static_cast<uint32_t>(bottom) || mean > static_cast<uint32_t>(top))
      return BE_ERR_INVALID_FORMAT_PARAMETERS;
    s->bitRateMode = BitRateMode::kAverage;
    s->meanBitRate = CapForVersion(version, static_cast<int>(mean));
    return BE_ERR_SUCCESSFUL;
  }
  if (record.nVBRQuality < 0 || record.nVBRQuality > 9) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  s->bitRateMode = BitRateMode::kVariable;
  s->vbrQuality = record.nVBRQuality;
  return BE_ERR_SUCCESSFUL;
}

}  // namespace mp3enc
