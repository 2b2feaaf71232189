#include "engine/codecs/Conv2WaveFile.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/WaveConverter.h"
#include "engine/media/Id3Tag.h"
#include "engine/media/MusicInfo.h"
#include "platform/riff/FourCC.h"
#include "utilities/strings/BoundedCopy.h"

CConv2WaveFile::CConv2WaveFile() {
  conversionType = FILE_CONVERSION_WAVE;
  formatTag = kFormatTagPcm;
  defaultExt = "wav";
}

CConv2WaveFile::~CConv2WaveFile() {
  DeleteWaveConverter(converter);
  if (!closed_ && IsOpen()) Close();
}

int CConv2WaveFile::Close() {
  int riffClosed = 1;
  if (riff.IsWriting()) riffClosed = riff.Close();
  int fileClosed = CFileObj::Close();
  closed_ = true;
  return riffClosed && fileClosed;
}

int CConv2WaveFile::Create(const char* path, CConv2FileFormat* format,
                           const tWAVEFORMATEX* pcmFormat) {
  if (!format || !pcmFormat) return 0;
  if (!CConv2FileObj::Create(path, format, pcmFormat)) return 0;
  closed_ = false;
  convertPass = 1;
  sourceFormat = *pcmFormat;
  if (!riff.Create(this, FourCC("WAVE"))) return 0;
  format->MakeIntoWaveFormatEx(&targetFormat);
  if (targetFormat.wFormatTag != sourceFormat.wFormatTag ||
      targetFormat.nSamplesPerSec != sourceFormat.nSamplesPerSec ||
      targetFormat.nChannels != sourceFormat.nChannels ||
      targetFormat.wBitsPerSample != sourceFormat.wBitsPerSample)
    needToResample = 1;
  if (needToResample) {
    DeleteWaveConverter(converter);
    converter = NewWaveConverter(&sourceFormat, &targetFormat);
  }
  return riff.WriteSubChunk(FourCC("fmt "), &targetFormat, 18) &&
         riff.StartWriteStream(FourCC("data"));
}

long CConv2WaveFile::WriteStreamData(const void* data, long length, long* written) {
  if (written) *written = 0;
  if (!data || length < 0) return -1;
  if (!needToResample) {
    int64_t n = riff.WriteStreamData(data, length);
    if (n == length) {
      if (written) *written = length;
      return length;
    }
    return -1;
  }
  if (sourceFormat.nAvgBytesPerSec == 0 || targetFormat.nBlockAlign == 0) return -1;
  auto scaled = static_cast<int64_t>(static_cast<double>(targetFormat.nAvgBytesPerSec) *
                                     static_cast<double>(length) /
                                     static_cast<double>(sourceFormat.nAvgBytesPerSec));
  int64_t out = scaled / targetFormat.nBlockAlign * targetFormat.nBlockAlign;
  if (out <= 0) return 0;
  if (out > UINT32_MAX) return -1;
  if (!convertBuffer || out > convertBufferSize) {
    convertBuffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(out)]);
    convertBufferSize = convertBuffer ? static_cast<uint32_t>(out) : 0;
    if (!convertBuffer) return -1;
  }
  // The mix adds into the block: it starts as silence of the target's width.
  const int silence = targetFormat.wBitsPerSample == 8 ? 0x80 : 0;
  std::memset(convertBuffer.get(), silence, static_cast<size_t>(out));
  long c;
  if (converter) {
    c = WaveConverterConvert(converter, static_cast<const uint8_t*>(data), length,
                             convertBuffer.get(), static_cast<long>(out), convertPass);
    convertPass = 2;
  } else {
    c = MixConvertPCM(static_cast<const uint8_t*>(data), length, &sourceFormat, convertBuffer.get(),
                      static_cast<long>(out), &targetFormat);
  }
  if (c < 0) return -1;
  int64_t n = riff.WriteStreamData(convertBuffer.get(), c);
  if (written) *written = n == c ? c : 0;
  return n == out ? static_cast<long>(n) : -1;
}

long CConv2WaveFile::EndWriteStream() {
  long result = 0;
  if (GetWaveCDBlockAlign()) {
    int64_t r = riff.CurrentStreamDataCount() % kCDBlockBytes;
    if (r != 0) {
      std::vector<uint8_t> fill(static_cast<size_t>(kCDBlockBytes - r), 0);
      int64_t n = riff.WriteStreamData(fill.data(), static_cast<int64_t>(fill.size()));
      result = n == static_cast<int64_t>(fill.size()) ? static_cast<long>(n) : -1;
    }
  }
  // A chunk whose length cannot be completed leaves a broken file: a failure.
  if (!riff.EndWriteStream()) return -1;
  return result;
}

// A text sub-chunk: the text and zero bytes up to its length rounded up to
// even, plus two. Returns the bytes it adds to the list, or -1.
long CConv2WaveFile::WriteTextChunk(uint32_t id, const char* text) {
  size_t len = std::strlen(text);
  size_t dataLen = (len + 1) / 2 * 2 + 2;
  std::vector<char> data(dataLen, 0);
  std::memcpy(data.data(), text, len);
  if (!riff.WriteSubChunk(id, data.data(), static_cast<int64_t>(dataLen))) return -1;
  return static_cast<long>(8 + dataLen);
}

long CConv2WaveFile::FinalData(const char*, const char* softwareName, int* listWritten,
                               TMusicInfo* info) {
  int started = riff.WriteListChunkHeader(FourCC("INFO"));
  if (listWritten) *listWritten = started;
  if (!started) return 0;
  riff.Descend();
  long count = 4;
  bool failed = false;
  auto text = [&](const char* id, const char* value) {
    if (!value || !*value || failed) return;
    long n = WriteTextChunk(FourCC(id[0], id[1], id[2], id[3]), value);
    if (n < 0)
      failed = true;
    else
      count += n;
  };
  if (info && info->tagType != 0) {
    text("ICMT", info->comment);
    text("ICOP", info->copyright);
    text("IART", info->artist);
    text("IENG", info->encoder);
    text("INAM", info->title);
    // A genre number becomes its display name, which other programs show as
    // it is; a number the table lacks is left out.
    if (info->genreIndex < 255)
      CopyBounded(info->genre, sizeof info->genre, CId3Tag::KnownGenreName(info->genreIndex));
    text("IGNR", info->genre);
    if (info->year >= 1000 && info->year <= 3000 && !failed) {
      char year[6] = {};
      std::snprintf(year, sizeof year, "%d", info->year);
      if (riff.WriteSubChunk(FourCC("ICRD"), year, 6))
        count += 8 + 6;
      else
        failed = true;
    }
    text("IALB", info->album);
    if (info->trackNumber >= 1 && info->trackNumber <= 99) {
      char track[16];
      if (info->totalTracks >= 1 && info->totalTracks <= 99)
        std::snprintf(track, sizeof track, "%d/%d", info->trackNumber, info->totalTracks);
      else
        std::snprintf(track, sizeof track, "%d", info->trackNumber);
      text("ITRK", track);
    }
    if (info->mcdiLength > 0 && !failed) {
      // The CD identifier: its 4-byte length, then its bytes.
      int32_t len = info->mcdiLength > static_cast<int32_t>(sizeof info->mcdi)
                        ? static_cast<int32_t>(sizeof info->mcdi)
                        : info->mcdiLength;
      std::vector<uint8_t> data(4 + static_cast<size_t>(len));
      for (int i = 0; i < 4; ++i)
        data[i] = static_cast<uint8_t>(static_cast<uint32_t>(len) >> (8 * i));
      std::memcpy(data.data() + 4, info->mcdi, static_cast<size_t>(len));
      if (data.size() % 2) data.push_back(0);
      if (riff.WriteSubChunk(FourCC("IMCD"), data.data(), static_cast<int64_t>(data.size())))
        count += static_cast<long>(8 + data.size());
      else
        failed = true;
    }
  }
  text("ISFT", softwareName ? softwareName : "");
  if (failed || !riff.Ascend()) return -1;
  return count;
}

void CConv2WaveFile::GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tag,
                                         _tSoundQualityTypedef quality) {
  if (!format) return;
  CConv2FileObj::GetFormatFromPreset(format, preset, tag, quality);
  format->nSamplesPerSec = 44100;
  format->nChannels = 2;
  format->wBitsPerSample = 16;
  format->CalcBlockAlignNAvgBytesPerSec();
}

void CConv2WaveFile::GetTargetFormatStr(char* out, long outSize, CConv2FileFormat* format) {
  if (!out || outSize <= 0) return;
  out[0] = 0;
  if (!format) return;
  tWAVEFORMATEX wfx{};
  format->MakeIntoWaveFormatEx(&wfx);
  SoundFormatToString(&wfx, out, static_cast<int>(outSize), nullptr);
}

double CConv2WaveFile::GetBytesToWrite(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                       double durationMs) {
  return EstimateWaveBytes(this, format, source, durationMs);
}

bool CConv2WaveFile::DataFits(double dataBytes) {
  // "WAVE", the "fmt " chunk and the "data" chunk's header; a sector of
  // padding; 64 KB for the INFO list, more than its texts can take.
  constexpr double kRoom = 4 + 8 + 18 + 8 + kCDBlockBytes + 65536;
  return dataBytes + kRoom <= static_cast<double>(UINT32_MAX);
}

void CConv2WaveFile::MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX*,
                                                   ACMObject*) {
  if (!format) return;
  uint32_t rate = format->nSamplesPerSec;
  format->nSamplesPerSec = rate >= 32000 ? 44100 : (rate >= 16000 ? 22050 : 11025);
}

void CConv2WaveFile::UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat*) {
  MakeMostNaturalFormatCallback(format, nullptr, nullptr);
}

bool CConv2WaveFile::ValidateFormat(CConv2FileFormat* format) {
  if (!format || format->wFormatTag != kFormatTagPcm) return false;
  uint32_t rate = format->nSamplesPerSec;
  if (rate != 11025 && rate != 22050 && rate != 44100) return false;
  if (format->usePreset && format->preset != 1) return false;
  if (!format->ValidateSoundQuality()) return false;
  if (format->cbSize != CConv2FileFormat::kSettingsBytes) return false;
  format->usePreset = format->soundQuality == SOUND_QUALITY_CD ? 1 : 0;
  return format->Validate();
}

long CConv2WaveFile::WriteTag(const char*, const char*, TMusicInfo*, CFileObj*) { return 0; }
