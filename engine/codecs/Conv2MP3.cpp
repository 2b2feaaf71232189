#include "engine/codecs/Conv2MP3.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/base/EngineErrors.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/BitrateLadders.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/MP3Presets.h"
#include "engine/codecs/WaveConverter.h"
#include "engine/media/Id3Tag.h"
#include "engine/media/Id3TagV2.h"
#include "engine/media/MusicInfo.h"
#include "platform/LastError.h"
#include "utilities/strings/BoundedCopy.h"

namespace {

constexpr uint32_t kRates[3][3] = {
    {16000, 22050, 24000},  // MPEG-2 (version 0)
    {32000, 44100, 48000},  // MPEG-1 (version 1)
    {8000, 11025, 12000},   // MPEG-2.5 (version 2)
};

constexpr uint32_t kConfigBytes = 331;

// The default tag space of a tag kind.
uint32_t DefaultTagSpace(int32_t tagType) {
  return tagType == TAG_ID3_V2 ? CId3TagV2::kSizeStep : tagType == TAG_ID3_V1 ? 128 : 0;
}

}  // namespace

CConv2MP3::CConv2MP3() {
  conversionType = FILE_CONVERSION_MP3;
  formatTag = kFormatTagMp3;
  defaultExt = "mp3";
  tagType = TAG_ID3_V2;
}

CConv2MP3::~CConv2MP3() { CloseStream(); }

const uint32_t* CConv2MP3::VersionRates(int32_t version) {
  return kRates[version >= 0 && version <= 2 ? version : 1];
}

bool CConv2MP3::RateOfVersion(uint32_t rate, int32_t version) {
  const uint32_t* r = VersionRates(version);
  return rate == r[0] || rate == r[1] || rate == r[2];
}

bool CConv2MP3::SupportsVersion(int32_t version) const {
  return version == 1   ? SupportsMPEG1()
         : version == 0 ? SupportsMPEG2()
                        : version == 2 && SupportsMPEG2_5();
}

bool CConv2MP3::GetEncoderDll() { return LoadMP3EncoderLibrary(encoderType); }

void CConv2MP3::SetupConfig(CConv2FileFormat*, const tWAVEFORMATEX*) {}

void CConv2MP3::CloseStream() {
  if (streamOpen && closeStream) closeStream(stream);
  streamOpen = false;
  stream = 0;
}

void CConv2MP3::FreeBuffers() {
  config.clear();
  config.shrink_to_fit();
  inputBuffer.clear();
  inputBuffer.shrink_to_fit();
  outputBuffer.clear();
  outputBuffer.shrink_to_fit();
  heldSamples = 0;
}

int CConv2MP3::Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcm) {
  if (!path || !format || !pcm) return 0;
  CloseStream();
  // The entry points are looked up on every Create: the library may have
  // been unloaded and loaded again since the last one.
  initStream = nullptr;
  if (GetEncoderDll()) {
    initStream = reinterpret_cast<BEINITSTREAM>(MP3EncoderSymbol(encoderType, "beInitStream"));
    encodeChunk = reinterpret_cast<BEENCODECHUNK>(MP3EncoderSymbol(encoderType, "beEncodeChunk"));
    deinitStream =
        reinterpret_cast<BEDEINITSTREAM>(MP3EncoderSymbol(encoderType, "beDeinitStream"));
    closeStream = reinterpret_cast<BECLOSESTREAM>(MP3EncoderSymbol(encoderType, "beCloseStream"));
  }
  if (!initStream || !encodeChunk || !deinitStream || !closeStream) {
    SetLastError(kErrMp3Encoder);
    return 0;
  }
  if (!CConv2FileObj::Create(path, format, pcm)) return 0;
  try {
    config.assign(kConfigBytes, 0);
  } catch (const std::bad_alloc&) {
    Close();
    SetLastError(kErrMemory);
    return 0;
  }
  pcmFormat = *pcm;
  pcmFormat.cbSize = 0;
  configuredMode = format->mode;
  SetupConfig(format, &pcmFormat);
  uint32_t samples = 0, outputBytes = 0;
  HBE_STREAM opened = 0;
  streamFailed = false;
  if (initStream(config.data(), &samples, &outputBytes, &opened) != BE_ERR_SUCCESSFUL) {
    Close();
    SetLastError(kErrMp3Encoder);
    return 0;
  }
  stream = opened;
  streamOpen = true;
  // A library that takes no samples a call could never be fed.
  if (samples == 0 || outputBytes == 0) {
    CloseStream();
    Close();
    SetLastError(kErrMp3Encoder);
    return 0;
  }
  encoderSamples = samples;
  outputBufferSize = outputBytes;
  // About a second of samples, in whole encoder calls.
  chunkSamples = encoderSamples * (format->nAvgBytesPerSec / 2 / encoderSamples + 1);
  desiredBufferSize = static_cast<long>(2 * chunkSamples);
  try {
    inputBuffer.assign(chunkSamples, 0);
    outputBuffer.assign(outputBufferSize, 0);
  } catch (const std::bad_alloc&) {
    CloseStream();
    FreeBuffers();
    Close();
    SetLastError(kErrMemory);
    return 0;
  }
  heldSamples = 0;
  return 1;
}

bool CConv2MP3::EncodeCall(const int16_t* samples, uint32_t count, long* fileBytes) {
  uint32_t made = 0;
  if (encodeChunk(stream, count, samples, outputBuffer.data(), &made) != BE_ERR_SUCCESSFUL ||
      made > outputBufferSize) {
    CloseStream();
    streamFailed = true;
    SetLastError(kErrMp3Encoder);
    return false;
  }
  if (made > 0 && Write(outputBuffer.data(), made) != static_cast<int64_t>(made)) {
    CloseStream();
    streamFailed = true;
    return false;
  }
  *fileBytes += static_cast<long>(made);
  return true;
}

long CConv2MP3::WriteStreamData(const void* data, long length, long* written) {
  if (written) *written = 0;
  if (!streamOpen || streamFailed || !data || length < 0 || inputBuffer.empty()) return -1;
  const int channels = pcmFormat.nChannels;
  const bool mono = configuredMode == BE_MP3_MODE_MONO;
  const bool mix = mono && channels == 2;
  if (!mix && !(mono && channels == 1) && !(!mono && channels == 2)) return -1;
  const auto* in = static_cast<const int16_t*>(data);
  const size_t count = static_cast<size_t>(length) / (2 * static_cast<size_t>(channels)) *
                       static_cast<size_t>(channels);
  long fileBytes = 0;
  size_t at = 0;
  // Blocks of any size go through the input buffer in pieces; what does not
  // fill a whole encoder call waits for the next block.
  while (at < count) {
    const size_t room = inputBuffer.size() - heldSamples;
    if (mix) {
      const size_t pairs = std::min(room, (count - at) / 2);
      for (size_t i = 0; i < pairs; ++i, at += 2)
        inputBuffer[heldSamples + i] = static_cast<int16_t>((in[at] + in[at + 1]) / 2);
      heldSamples += pairs;
    } else {
      const size_t n = std::min(room, count - at);
      std::memcpy(inputBuffer.data() + heldSamples, in + at, n * 2);
      heldSamples += n;
      at += n;
    }
    size_t done = 0;
    while (heldSamples - done >= encoderSamples) {
      if (!EncodeCall(inputBuffer.data() + done, encoderSamples, &fileBytes)) return -1;
      done += encoderSamples;
    }
    if (done > 0) {
      std::memmove(inputBuffer.data(), inputBuffer.data() + done, (heldSamples - done) * 2);
      heldSamples -= done;
    }
  }
  if (written) *written = length;
  return fileBytes;
}

long CConv2MP3::FinalData(const char*, const char*, int* listWritten, TMusicInfo*) {
  if (listWritten) *listWritten = 0;
  if (!streamOpen || streamFailed) return -1;
  long fileBytes = 0;
  // The samples held back go in one shorter call.
  if (heldSamples > 0 &&
      !EncodeCall(inputBuffer.data(), static_cast<uint32_t>(heldSamples), &fileBytes))
    return -1;
  heldSamples = 0;
  uint32_t flushed = 0;
  if (deinitStream(stream, outputBuffer.data(), &flushed) != BE_ERR_SUCCESSFUL ||
      flushed > outputBufferSize) {
    CloseStream();
    streamFailed = true;
    SetLastError(kErrMp3Encoder);
    return -1;
  }
  const bool complete =
      flushed == 0 || Write(outputBuffer.data(), flushed) == static_cast<int64_t>(flushed);
  CloseStream();
  FreeBuffers();
  if (!complete) {
    streamFailed = true;
    return -1;
  }
  if (listWritten) *listWritten = 1;
  return fileBytes + static_cast<long>(flushed);
}

long CConv2MP3::ReserveTagSpace() {
  reservedTagSize = 0;
  if (tagType != TAG_ID3_V2) return 0;
  CId3TagV2 tag(tagSpace);
  if (!tag.CreateInitialTagV2(this)) return -1;
  reservedTagSize = tag.Size();
  return static_cast<long>(reservedTagSize);
}

long CConv2MP3::WriteTag(const char* targetPath, const char* softwareName, TMusicInfo* info,
                         CFileObj*) {
  if (tagType == TAG_NONE) return 0;
  if (tagType != TAG_ID3_V1 && tagType != TAG_ID3_V2) return -1;
  if (!targetPath || !Open(targetPath, 1, 0)) return -1;
  std::unique_ptr<TMusicInfo> own;
  if (!info) {
    own.reset(new (std::nothrow) TMusicInfo);
    if (!own) {
      Close();
      SetLastError(kErrMemory);
      return -1;
    }
    info = own.get();
  }
  if (!info->title[0]) CreateDefaultTagTitleString(targetPath, info->title);
  if (!info->encoder[0] && softwareName)
    CopyBounded(info->encoder, sizeof info->encoder, softwareName);

  CId3Tag v1;
  v1.setTrackNumber(info->trackNumber);
  v1.setTitle(info->title);
  v1.setArtist(info->artist);
  v1.setAlbum(info->album);
  v1.setComment(info->comment);
  v1.setGenreIndex(info->genreIndex);
  v1.setYear(info->year);
  char bytes[CId3Tag::kTagBytes];
  v1.saveTag(bytes);
  bool ok = Seek(0, kSeekEnd) && Write(bytes, sizeof bytes) == static_cast<int64_t>(sizeof bytes);
  long result = ok ? CId3Tag::kTagBytes : -1;
  if (ok && tagType == TAG_ID3_V2 && reservedTagSize > CId3TagV2::kHeaderBytes) {
    // Rebuilt for the space reserved at the start, so the audio stays where
    // it was written.
    CId3TagV2 v2(reservedTagSize - CId3TagV2::kHeaderBytes);
    ok = v2.UpdateFromMusicInfo(info) && v2.Size() == reservedTagSize && Seek(0, kSeekBegin) &&
         v2.CreateInitialTagV2(this);
    result = ok ? static_cast<long>(v2.Size()) + CId3Tag::kTagBytes : -1;
  }
  if (!Close()) result = -1;
  return result;
}

// Format rules.

void CConv2MP3::GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tag,
                                    _tSoundQualityTypedef quality) {
  if (!format) return;
  CConv2FileObj::GetFormatFromPreset(format, preset, tag, quality);
  const TMP3Preset* row = MP3Preset(format->preset);
  if (!row) return;
  format->mpegVersion = row->mpegVersion;
  format->bitrate = row->bitrate;
  format->minBitrate = row->minBitrate;
  format->maxBitrate = row->maxBitrate;
  format->vbrQuality = row->vbrQuality;
  format->nSamplesPerSec = row->sampleRate;
  format->mode = row->mode;
  format->nChannels = row->channels;
  format->abrBitrate = row->bitrate;
  format->enableVBR = 0;
  format->enableABR = 0;
  format->wBitsPerSample = 16;
  if ((format->mode == BE_MP3_MODE_JSTEREO && !SupportsJStereo()) ||
      (format->mode == BE_MP3_MODE_DUALCHANNEL && !SupportsDualChannel()))
    format->mode = BE_MP3_MODE_STEREO;
  format->CalcBlockAlignNAvgBytesPerSec();
}

void CConv2MP3::UpdateSettingsAfterEncoderChange(CConv2FileFormat* format) {
  if (!format) return;
  if ((format->mode == BE_MP3_MODE_JSTEREO && !SupportsJStereo()) ||
      (format->mode == BE_MP3_MODE_DUALCHANNEL && !SupportsDualChannel()))
    format->mode = BE_MP3_MODE_STEREO;
  format->nChannels = format->mode == BE_MP3_MODE_MONO ? 1 : 2;
  if (!RateOfVersion(format->nSamplesPerSec, format->mpegVersion))
    format->nSamplesPerSec = DefaultRate(format->mpegVersion);
  format->CalcBlockAlignNAvgBytesPerSec();
  long lowest = 0, highest = 0;
  for (long p = 1; p <= kMP3PresetCount; ++p)
    if (SupportsVersion(MP3Preset(p)->mpegVersion)) {
      if (!lowest) lowest = p;
      highest = p;
    }
  if (lowest)
    format->preset = static_cast<int32_t>(std::clamp<long>(format->preset, lowest, highest));
}

void CConv2MP3::GetTargetFormat(CConv2FileFormat* out, CConv2FileFormat* user,
                                const tWAVEFORMATEX* source, TMusicInfo* info, ACMObject* decoder) {
  if (!out || !user) return;
  // Explicit settings follow the source's rate as far as the encoder allows;
  // the user's own record is left as it is.
  CConv2FileFormat settings = *user;
  if (settings.soundQuality == SOUND_QUALITY_PRESET && !settings.usePreset && source) {
    settings.nSamplesPerSec = source->nSamplesPerSec;
    UpdateSettingsAfterEncoderChange(&settings);
  }
  CConv2FileObj::GetTargetFormat(out, &settings, source, info, decoder);
  if (out->tagType < TAG_NONE || out->tagType > TAG_ID3_V2) out->tagType = TAG_ID3_V2;
  tagType = out->tagType;
  tagSpace = info && info->tagSize > 0 && tagType == TAG_ID3_V2
                 ? static_cast<uint32_t>(info->tagSize)
                 : DefaultTagSpace(tagType);
}

double CConv2MP3::GetBitrateForBytesToWrite(CConv2FileFormat* format) {
  if (!format) return 0;
  if (!format->enableVBR || !SupportsVBR()) return format->bitrate;
  if (format->enableABR && SupportsABR()) return format->abrBitrate;
  const int64_t span = static_cast<int64_t>(format->maxBitrate) - format->minBitrate;
  return static_cast<double>(format->minBitrate + (95 - 10 * format->vbrQuality) * span / 100);
}

double CConv2MP3::GetBytesToWrite(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                  double durationMs) {
  if (!format) return 0;
  double duration = durationMs;
  CConv2FileFormat target(kFormatTagMp3);
  if (durationMs >= 0 && source && format->soundQuality == SOUND_QUALITY_PRESET) {
    GetTargetFormat(&target, format, source, nullptr, nullptr);
  } else {
    // The length and the actual format come from the source loaded anew.
    duration = EstimateDurationMs(this, format, &target, durationMs);
  }
  double tags = tagSpace;
  if (tagType == TAG_ID3_V2) tags += CId3TagV2(tagSpace).Size();
  return GetBitrateForBytesToWrite(&target) * duration * 0.125 + tags;
}

void CConv2MP3::MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX*,
                                              ACMObject*) {
  if (!format) return;
  format->mode = format->nChannels == 1 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO;
  if (format->tagType < TAG_NONE || format->tagType > TAG_ID3_V2) format->tagType = TAG_ID3_V2;
}

void CConv2MP3::UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) {
  if (!format || !maximums) return;
  format->wBitsPerSample = 16;
  format->mode = std::max(format->mode, maximums->mode);
  format->nChannels = format->mode == BE_MP3_MODE_MONO ? 1 : 2;
  if (format->tagType != TAG_NONE) {
    if (maximums->tagType == TAG_NONE)
      format->tagType = TAG_NONE;
    else if (format->tagType == TAG_ID3_V2 && maximums->tagType == TAG_ID3_V1)
      format->tagType = TAG_ID3_V1;
  }
  format->CalcBlockAlignNAvgBytesPerSec();
}

bool CConv2MP3::ValidateFormat(CConv2FileFormat* format) {
  if (!format || format->wFormatTag != kFormatTagMp3) return false;
  if (format->tagType < TAG_NONE || format->tagType > TAG_ID3_V2) return false;
  if (format->mode == BE_MP3_MODE_JSTEREO && !SupportsJStereo()) return false;
  if (format->mode == BE_MP3_MODE_DUALCHANNEL && !SupportsDualChannel()) return false;
  if (format->mode < BE_MP3_MODE_STEREO || format->mode > BE_MP3_MODE_MONO) return false;
  if (format->usePreset && !MP3Preset(format->preset)) return false;
  if (!format->ValidateSoundQuality() || format->cbSize != CConv2FileFormat::kSettingsBytes)
    return false;
  if (!SupportsVersion(format->mpegVersion)) return false;
  if (!RateOfVersion(format->nSamplesPerSec, format->mpegVersion))
    format->nSamplesPerSec = DefaultRate(format->mpegVersion);
  const TMP3Preset* row = MP3Preset(format->preset);
  if (format->usePreset && (!row || !SupportsVersion(row->mpegVersion))) return false;
  format->wBitsPerSample = 16;
  format->nChannels = format->mode == BE_MP3_MODE_MONO ? 1 : 2;
  format->CalcBlockAlignNAvgBytesPerSec();
  return format->Validate();
}

void CConv2MP3::GetTargetFormatStr(char* out, long outSize, CConv2FileFormat* format) {
  if (!out || outSize <= 0) return;
  out[0] = 0;
  if (format) CopyBounded(out, outSize, SettingsText(format, "IDS_MP3_FORMAT_SIMPLE"));
}

std::string CConv2MP3::SettingsText(const CConv2FileFormat* format, const char* frameKey) const {
  const char* versionKey = format->mpegVersion == 1   ? "IDS_MPEG1"
                           : format->mpegVersion == 0 ? "IDS_MPEG2"
                                                      : "IDS_MPEG2_5";
  static const char* const kModeKeys[] = {"IDS_STEREO_CB_ITEM", "IDS_JOINT_STEREO_CB_ITEM",
                                          "IDS_DUAL_CHANNEL_CB_ITEM", "IDS_MONO_CB_ITEM"};
  const char* modeKey = kModeKeys[std::clamp(format->mode, 0, 3)];
  std::string rate;
  if (format->enableVBR && SupportsVBR() && format->enableABR && SupportsABR())
    rate = TonalisLoadFormatted("IDS_MP3_FORMAT_TEXT_ABR", int64_t{format->minBitrate},
                                int64_t{format->maxBitrate}, int64_t{format->abrBitrate});
  else if (format->enableVBR && SupportsVBR())
    rate = TonalisLoadFormatted("IDS_MP3_FORMAT_TEXT_VBR", int64_t{format->minBitrate},
                                int64_t{format->maxBitrate}, int64_t{format->vbrQuality});
  else
    rate = TonalisLoadFormatted("IDS_MP3_FORMAT_TEXT_CBR", int64_t{format->bitrate});
  return TonalisLoadFormatted(frameKey, TonalisLoadKeyed(versionKey), rate,
                              TonalisLoadKeyed(modeKey));
}
