#include "engine/codecs/LameConv2MP3.h"

#include <algorithm>
#include <cstring>

#include "engine/base/EngineErrors.h"
#include "engine/codecs/BitrateLadders.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "platform/LastError.h"

namespace {

unsigned long Snap(int32_t version, unsigned long kbps) {
  return version == 1 ? FindMostNaturalMPEG1BitRate(kbps) : FindMostNaturalMPEG2XBitRate(kbps);
}

}  // namespace

CLameConv2MP3::CLameConv2MP3() {
  encoderType = MP3_ENCODER_LAME;
  capabilities = kVBR | kVBRXINGHeader | kVBRQuality | kABR | kMPEG1 | kMPEG2 | kMPEG2_5 |
                 kJStereo | kDualChannel;
}

int CLameConv2MP3::Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcm) {
  if (!CConv2MP3::Create(path, format, pcm)) return 0;
  writeVBRHeader =
      reinterpret_cast<BEWRITEVBRHEADER>(MP3EncoderSymbol(encoderType, "beWriteVBRHeader"));
  if (!writeVBRHeader) {
    CloseStream();
    FreeBuffers();
    Close();
    SetLastError(kErrMp3Encoder);
    return 0;
  }
  return 1;
}

long CLameConv2MP3::FinalData(const char* targetPath, const char* softwareName, int* listWritten,
                              TMusicInfo* info) {
  const long result = CConv2MP3::FinalData(targetPath, softwareName, listWritten, info);
  // The VBR header replaces the frame the encoder left for it, right after
  // the reserved ID3v2 tag.
  if (result >= 0 && vbrHeaderWanted && targetPath &&
      writeVBRHeader(targetPath) != BE_ERR_SUCCESSFUL) {
    SetLastError(kErrMp3Encoder);
    return -1;
  }
  return result;
}

void CLameConv2MP3::SetupConfig(CConv2FileFormat* format, const tWAVEFORMATEX* pcm) {
  BE_CONFIG_LAME_RECORD c{};
  const bool vbr = format->enableVBR != 0;
  const bool abr = vbr && format->enableABR;
  c.dwConfig = BE_CONFIG_LAME;
  c.dwStructVersion = 1;
  c.dwStructSize = sizeof c;
  c.dwSampleRate = pcm->nSamplesPerSec;
  c.dwReSampleRate = format->nSamplesPerSec;
  c.nMode = format->mode;
  c.dwBitrate = vbr ? format->minBitrate : format->bitrate;
  c.dwMaxBitrate = vbr ? format->maxBitrate : 0;
  c.nPreset = -1;
  c.dwMpegVersion = format->mpegVersion;
  c.dwPsyModel = static_cast<uint32_t>(format->psyModel);
  c.dwEmphasis = static_cast<uint32_t>(format->emphasis);
  c.bPrivate = format->privateBit;
  c.bCRC = format->crc;
  c.bCopyright = format->copyrightBit;
  c.bOriginal = format->originalBit;
  c.bWriteVBRHeader = vbr ? format->writeVBRHeader : 0;
  c.bEnableVBR = format->enableVBR;
  c.nVBRQuality = format->vbrQuality;
  c.dwVbrAbr_bps = abr ? format->abrBitrate * 1000 : 0;
  c.nVbrMethod = abr ? VBR_METHOD_ABR : vbr ? VBR_METHOD_MTRH : VBR_METHOD_NONE;
  c.bNoRes = format->noReservoir;
  vbrHeaderWanted = c.bWriteVBRHeader != 0;
  std::memcpy(config.data(), &c, sizeof c);
}

void CLameConv2MP3::SnapBitrates(CConv2FileFormat* f) {
  if (f->mpegVersion == 1) {
    f->maxBitrate = std::max<uint32_t>(f->maxBitrate, 40);
    f->minBitrate = std::max<uint32_t>(f->minBitrate, 32);
  } else {
    f->maxBitrate = std::min<uint32_t>(f->maxBitrate, 160);
    f->minBitrate = std::min<uint32_t>(f->minBitrate, 128);
  }
  f->bitrate = static_cast<uint32_t>(Snap(f->mpegVersion, f->bitrate));
  f->minBitrate = static_cast<uint32_t>(Snap(f->mpegVersion, f->minBitrate));
  f->maxBitrate = static_cast<uint32_t>(Snap(f->mpegVersion, f->maxBitrate));
  if (f->mpegVersion == 2) {
    // The encoder would cap a larger request silently; the format says so.
    f->bitrate = std::min(f->bitrate, kMaxMPEG2_5Bitrate);
    f->maxBitrate = std::min(f->maxBitrate, kMaxMPEG2_5Bitrate);
    f->minBitrate = std::min(f->minBitrate, f->maxBitrate);
  }
  if (f->abrBitrate >= f->maxBitrate) f->abrBitrate = f->maxBitrate - 1;
  if (f->abrBitrate <= f->minBitrate) f->abrBitrate = f->minBitrate + 1;
}

void CLameConv2MP3::UpdateSettingsAfterEncoderChange(CConv2FileFormat* format) {
  if (!format) return;
  SnapBitrates(format);
  CConv2MP3::UpdateSettingsAfterEncoderChange(format);
}

void CLameConv2MP3::MakeMostNaturalFormatCallback(CConv2FileFormat* format,
                                                  const tWAVEFORMATEX* source, ACMObject* decoder) {
  if (!format) return;
  CConv2MP3::MakeMostNaturalFormatCallback(format, source, decoder);
  format->resampleRate = 0;
  format->psyModel = 0;
  format->emphasis = 0;
  format->enableVBR = 0;
  format->enableABR = 0;
  const uint32_t rate = format->nSamplesPerSec;
  const bool mono = format->nChannels == 1;
  unsigned long upper = 0, lower = 0, between = 0, kbps = format->bitrate;
  if (rate >= 32000) {
    format->mpegVersion = 1;
    if (kbps) {
      FindMostNaturalMPEG1BitRates(&upper, &lower, &between, &kbps);
    } else {
      kbps = rate == 32000 ? 128 : 192;
      if (mono) kbps /= 2;
    }
  } else {
    format->mpegVersion = rate < 16000 ? 2 : 0;
    if (kbps) {
      FindMostNaturalMPEG2XBitRates(&upper, &lower, &between, &kbps);
    } else {
      kbps = rate < 16000 ? (rate == 8000 ? 16 : 32) : (rate == 16000 ? 64 : 96);
      if (mono) kbps /= 2;
    }
  }
  format->bitrate = static_cast<uint32_t>(kbps);
  if (upper) format->maxBitrate = static_cast<uint32_t>(upper);
  if (lower) format->minBitrate = static_cast<uint32_t>(lower);
  if (between) format->abrBitrate = static_cast<uint32_t>(between);
  if (!RateOfVersion(rate, format->mpegVersion))
    format->nSamplesPerSec = DefaultRate(format->mpegVersion);
  SnapBitrates(format);
  format->CalcBlockAlignNAvgBytesPerSec();
}

void CLameConv2MP3::UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) {
  if (!format || !maximums) return;
  if (format->mpegVersion != maximums->mpegVersion && format->mpegVersion == 1) {
    format->bitrate = std::min<uint32_t>(format->bitrate, 160);
    format->maxBitrate = std::min<uint32_t>(format->maxBitrate, 160);
    format->minBitrate = std::min<uint32_t>(format->minBitrate, 128);
  }
  // A lower version (fewer samples per second) is a maximum too.
  if (maximums->mpegVersion == 2 || (maximums->mpegVersion == 0 && format->mpegVersion == 1))
    format->mpegVersion = maximums->mpegVersion;
  const uint32_t limit = maximums->enableVBR ? maximums->maxBitrate : maximums->bitrate;
  if (format->enableVBR) {
    if (maximums->enableVBR) {
      format->maxBitrate = std::min(format->maxBitrate, maximums->maxBitrate);
      format->minBitrate = std::min(format->minBitrate, maximums->minBitrate);
      if (maximums->enableABR)
        format->abrBitrate = std::min(format->abrBitrate, maximums->abrBitrate);
      else
        format->vbrQuality = std::max(format->vbrQuality, maximums->vbrQuality);
    } else {
      format->maxBitrate = std::min(format->maxBitrate, maximums->bitrate);
      format->minBitrate = std::min(format->minBitrate, maximums->bitrate);
      format->abrBitrate = std::min(format->abrBitrate, maximums->bitrate);
    }
    if (format->minBitrate >= format->maxBitrate) {
      format->enableVBR = format->enableABR = 0;
      format->minBitrate = 96;
      format->maxBitrate = 160;
      format->bitrate = std::min(format->bitrate, limit);
    }
  } else {
    format->bitrate = std::min(format->bitrate, limit);
  }
  // The rate follows the version: MPEG-2.5 a quarter, MPEG-2 half of MPEG-1's.
  uint32_t& rate = format->nSamplesPerSec;
  if (format->mpegVersion == 2)
    rate = rate >= 32000 ? rate / 4 : rate >= 16000 ? rate / 2 : rate;
  else if (format->mpegVersion == 0 && rate >= 32000)
    rate /= 2;
  SnapBitrates(format);
  CConv2MP3::UserMaximumsCallback(format, maximums);
}

bool CLameConv2MP3::ValidateFormat(CConv2FileFormat* format) {
  if (!CConv2MP3::ValidateFormat(format)) return false;
  const int32_t v = format->mpegVersion;
  auto onLadder = [v](uint32_t kbps) { return Snap(v, kbps) == kbps; };
  if (v == 2 && format->bitrate > kMaxMPEG2_5Bitrate) format->bitrate = kMaxMPEG2_5Bitrate;
  if (!onLadder(format->bitrate) || !onLadder(format->minBitrate) || !onLadder(format->maxBitrate))
    return false;
  if (format->vbrQuality < 0 || format->vbrQuality > 9) return false;
  return format->minBitrate < format->abrBitrate && format->abrBitrate < format->maxBitrate;
}
