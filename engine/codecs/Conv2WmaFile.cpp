#include "engine/codecs/Conv2WmaFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/base/EngineErrors.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/BitrateLadders.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/WaveConverter.h"
#include "engine/codecs/WmaAttributes.h"
#include "engine/media/Id3Tag.h"
#include "engine/media/MusicInfo.h"
#include "platform/LastError.h"
#include "platform/data/ByteOrder.h"
#include "platform/wma/WmaGlue.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/Utf8.h"

namespace {

constexpr size_t kMaxPathUnits = 520;
constexpr size_t kMaxTextUnits = 4096;
constexpr uint64_t kSecond = 10000000;  // in 100-ns units
// Bit rates of a codec-list entry and of a preset match within this (bit/s).
constexpr int64_t kBitrateTolerance = 250;

constexpr uint32_t kWmaRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

// A library failure keeps the library's own codes; anything else becomes ours.
void SetWriterError() {
  const uint32_t error = GetLastError();
  if (error < kErrWmaLibraryFirst || error > kErrWmaLibraryLast) SetLastError(kErrWmaWriter);
}

bool IsWmaLadderEntry(uint32_t kbps) { return kbps && FindMostNaturalWMABitRate(kbps) == kbps; }

}  // namespace

CConv2WmaFile::CConv2WmaFile() {
  conversionType = FILE_CONVERSION_WMA;
  formatTag = kFormatTagWma;
  defaultExt = "wma";
  tagType = TAG_WMA_ATTRIBUTES;
}

CConv2WmaFile::~CConv2WmaFile() { Close(); }

bool CConv2WmaFile::GetEncoderDll() {
  glue = WMAWriterLibrary();
  if (glue && glue->createWriter && glue->createEditor && glue->generateProfile &&
      glue->releaseProfile)
    return true;
  glue = nullptr;
  SetLastError(kErrWmaUnavailable);
  return false;
}

int CConv2WmaFile::IsOpen() { return writer != nullptr || CFileObj::IsOpen(); }

void CConv2WmaFile::ReleaseWriter() {
  if (!writer) return;
  // Releasing a writer that is still writing finishes its file.
  writer->Flush();
  writer->Release();
  writer = nullptr;
}

void CConv2WmaFile::ReleaseEditor() {
  if (headerInfo) headerInfo->Release();
  headerInfo = nullptr;
  if (!editor) return;
  editor->Close();
  editor->Release();
  editor = nullptr;
}

int CConv2WmaFile::Close() {
  ReleaseWriter();
  ReleaseEditor();
  if (CFileObj::IsOpen()) return CFileObj::Close();
  return 1;
}

int CConv2WmaFile::Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcm) {
  if (!path || !format || !pcm || pcm->nAvgBytesPerSec == 0 || pcm->nBlockAlign == 0) return 0;
  Close();
  if (!GetEncoderDll()) return 0;
  const std::u16string wide = Utf8ToUtf16(path);
  if (wide.size() > kMaxPathUnits) return 0;
  SetPath(path);
  auto fail = [this]() {
    SetWriterError();
    Close();
    return 0;
  };
  SetLastError(0);
  if (WmFailed(glue->createWriter(nullptr, &writer, wide.c_str())) || !writer) {
    writer = nullptr;
    return fail();
  }
  // A writer without its profile would write nothing useful.
  const TWMAProfileRequest request{format->bitrate * 1000, kFormatTagWma, format->nSamplesPerSec,
                                   format->nChannels};
  IWMProfile* profile = nullptr;
  if (WmFailed(glue->generateProfile(&request, &profile)) || !profile) return fail();
  const bool profiled = !WmFailed(writer->SetProfile(profile));
  glue->releaseProfile(&profile);
  if (!profiled) return fail();

  IWMInputMediaProps* props = nullptr;
  if (WmFailed(writer->GetInputProps(0, &props)) || !props) return fail();
  tWAVEFORMATEX input = *pcm;
  input.cbSize = 0;
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = WMMEDIASUBTYPE_PCM;
  type.bFixedSizeSamples = 1;
  type.bTemporalCompression = 0;
  type.lSampleSize = input.wBitsPerSample / 8u;
  type.formattype = WMFORMAT_WaveFormatEx;
  type.cbFormat = sizeof input;
  type.pbFormat = reinterpret_cast<uint8_t*>(&input);
  const bool typed =
      !WmFailed(props->SetMediaType(&type)) && !WmFailed(writer->SetInputProps(0, props));
  props->Release();
  if (!typed) return fail();

  desiredBufferSize = static_cast<long>(format->nAvgBytesPerSec);
  bitrateKbps = format->bitrate;
  outputBytesPerSec = bitrateKbps * 125.0;
  pcmBytesPerSec = pcm->nAvgBytesPerSec;
  pcmBlockAlign = pcm->nBlockAlign;
  pcmBytesWritten = 0;
  estimatedBytes = 0;
  const WmaResult begun = writer->BeginWriting();
  if (WmFailed(begun)) {
    if (begun == WM_E_OUTOFMEMORY) {
      SetLastError(kErrMemory);
      Close();
      return 0;
    }
    return fail();
  }
  protect = format->copyrightBit;
  return 1;
}

long CConv2WmaFile::WriteStreamData(const void* data, long length, long* written) {
  if (written) *written = 0;
  if (!writer || !data || length < 0) return -1;
  const auto* bytes = static_cast<const uint8_t*>(data);
  long done = 0;
  // The whole block goes in, in as many samples as the writer's buffers need.
  while (done < length) {
    INSSBuffer* sample = nullptr;
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    const auto rest = static_cast<uint32_t>(length - done);
    bool ok = !WmFailed(writer->AllocateSample(rest, &sample)) && sample &&
              !WmFailed(sample->GetBufferAndLength(&buffer, &size)) && buffer;
    uint32_t n = std::min(rest, size);
    if (ok && pcmBlockAlign > 1 && n < rest) n -= n % pcmBlockAlign;
    ok = ok && n > 0;
    if (ok) {
      std::memcpy(buffer, bytes + done, n);
      ok = !WmFailed(sample->SetLength(n));
    }
    const uint64_t frames = pcmBlockAlign ? pcmBytesWritten / pcmBlockAlign : 0;
    const uint64_t rate = pcmBlockAlign ? static_cast<uint64_t>(pcmBytesPerSec) / pcmBlockAlign : 0;
    const uint64_t time = rate ? frames * kSecond / rate : 0;
    ok = ok && !WmFailed(writer->WriteSample(0, time, 0, sample));
    if (sample) sample->Release();
    if (!ok) {
      writer->EndWriting();
      SetWriterError();
      Close();
      return -1;
    }
    pcmBytesWritten += n;
    done += static_cast<long>(n);
  }
  const double estimate =
      pcmBytesPerSec > 0 ? std::trunc(done * outputBytesPerSec / pcmBytesPerSec) : 0;
  estimatedBytes += estimate;
  if (written) *written = done;
  return static_cast<long>(estimate);
}

long CConv2WmaFile::EndWriteStream() {
  if (!writer) return -1;
  if (!WmFailed(writer->EndWriting())) return 0;
  SetWriterError();
  return -1;
}

long CConv2WmaFile::FinalData(const char*, const char*, int* listWritten, TMusicInfo*) {
  if (listWritten) *listWritten = 1;
  return 0;
}

// ---- Tags ----

bool CConv2WmaFile::SetAttribute(const char16_t* name, WMT_ATTR_DATATYPE type, const uint8_t* value,
                                 uint16_t length) {
  const WmaResult r = headerInfo->SetAttribute(0, name, type, value, length);
  if (!WmFailed(r) || r == WM_E_NOTIMPL) return true;
  SetLastError(kErrWmaAttribute);
  return false;
}

bool CConv2WmaFile::SetTextAttribute(const char16_t* name, const char* text) {
  std::u16string wide = Utf8ToUtf16(text);
  if (wide.size() > kMaxTextUnits) wide.resize(kMaxTextUnits);
  std::vector<uint8_t> value((wide.size() + 1) * 2, 0);
  for (size_t i = 0; i < wide.size(); ++i) StoreLE16(value.data() + 2 * i, wide[i]);
  return SetAttribute(name, WMT_TYPE_STRING, value.data(), static_cast<uint16_t>(value.size()));
}

long CConv2WmaFile::WriteTag(const char* targetPath, const char* softwareName, TMusicInfo* given,
                             CFileObj*) {
  if ((tagType == TAG_NONE && !protect) || !targetPath) return 0;
  const std::u16string wide = Utf8ToUtf16(targetPath);
  if (wide.size() > kMaxPathUnits || (!glue && !GetEncoderDll())) return 0;
  ReleaseEditor();
  if (WmFailed(glue->createEditor(&editor)) || !editor) {
    editor = nullptr;
    SetLastError(kErrWmaWriter);
    return -1;
  }
  if (WmFailed(editor->Open(wide.c_str()))) {
    SetLastError(kErrWmaWriter);
    ReleaseEditor();
    return -1;
  }
  if (WmFailed(editor->QueryInterface(IID_IWMHeaderInfo, reinterpret_cast<void**>(&headerInfo))) ||
      !headerInfo) {
    headerInfo = nullptr;
    ReleaseEditor();
    return -1;
  }
  if (tagType == TAG_NONE) {
    ReleaseEditor();
    return 0;
  }
  // The caller's information is left as it is.
  std::unique_ptr<TMusicInfo> info(new (std::nothrow) TMusicInfo);
  if (!info) {
    ReleaseEditor();
    SetLastError(kErrMemory);
    return -1;
  }
  if (given) *info = *given;
  if (!info->title[0]) CreateDefaultTagTitleString(targetPath, info->title);
  if (!info->encoder[0] && softwareName)
    CopyBounded(info->encoder, sizeof info->encoder, softwareName);

  auto text = [&](const char16_t* name, const char* value) {
    return !value[0] || SetTextAttribute(name, value);
  };
  bool ok = SetTextAttribute(kWmaAttrTitle, info->title) && text(kWmaAttrAuthor, info->artist) &&
            text(kWmaAttrAlbum, info->album) && text(kWmaAttrDescription, info->comment);
  // A copyright the file refuses costs only that attribute.
  if (ok) text(kWmaAttrCopyright, info->copyright);
  if (ok && info->mcdiLength > 0 && info->mcdiLength <= static_cast<int32_t>(sizeof info->mcdi))
    ok = SetAttribute(kWmaAttrMcdi, WMT_TYPE_BINARY, info->mcdi,
                      static_cast<uint16_t>(info->mcdiLength));
  // A genre number becomes its display name; one the table lacks is left out.
  if (ok && info->genreIndex >= 0 && info->genreIndex < 255)
    CopyBounded(info->genre, sizeof info->genre, CId3Tag::KnownGenreName(info->genreIndex));
  if (ok) ok = text(kWmaAttrGenre, info->genre);
  if (ok && info->year >= 1000 && info->year <= 3000)
    ok = SetTextAttribute(kWmaAttrYear, std::to_string(info->year).c_str());
  if (ok && info->trackNumber >= 1 && info->trackNumber <= 99) {
    char track[16];
    if (info->totalTracks >= 1 && info->totalTracks <= 99)
      std::snprintf(track, sizeof track, "%d/%d", info->trackNumber, info->totalTracks);
    else
      std::snprintf(track, sizeof track, "%d", info->trackNumber);
    ok = SetTextAttribute(kWmaAttrTrack, track);
  }
  // Closing the editor writes the attributes into the file.
  if (headerInfo) headerInfo->Release();
  headerInfo = nullptr;
  const bool written = ok && !WmFailed(editor->Close());
  editor->Release();
  editor = nullptr;
  if (ok && !written) SetLastError(kErrWmaWriter);
  return written ? 0 : -1;
}

// ---- Output formats ----

const tWAVEFORMATEX* CConv2WmaFile::GetAvailableOutputFormats() {
  if (!outputFormatsKnown) {
    const CWmaGlue* library = WMAWriterLibrary();
    int32_t count = 0;
    if (library && library->generateCodecList &&
        !WmFailed(library->generateCodecList(nullptr, &count)) && count > 0) {
      try {
        outputFormats.assign(static_cast<size_t>(count), tWAVEFORMATEX{});
      } catch (const std::bad_alloc&) {
        return nullptr;
      }
      if (WmFailed(library->generateCodecList(outputFormats.data(), &count)) || count < 0)
        count = 0;
      outputFormats.resize(std::min(static_cast<size_t>(count), outputFormats.size()));
      outputFormatsKnown = true;
    }
  }
  return outputFormats.empty() ? nullptr : outputFormats.data();
}

int CConv2WmaFile::NumAvailableOutputFormats() {
  GetAvailableOutputFormats();
  return static_cast<int>(outputFormats.size());
}

bool CConv2WmaFile::IsWMAFormatAvailable(_tWMAPresetTypedef preset) {
  const TWMAPreset* row = WMAPreset(preset);
  if (!row || !GetAvailableOutputFormats()) return false;
  for (const auto& f : outputFormats) {
    const int64_t bits = static_cast<int64_t>(f.nAvgBytesPerSec) * 8;
    if (f.nSamplesPerSec == row->sampleRate && f.nChannels == row->channels &&
        std::llabs(bits - static_cast<int64_t>(row->bitrate) * 1000) <= kBitrateTolerance)
      return true;
  }
  return false;
}

int CConv2WmaFile::NumPresetWMAFormatsAvailable() {
  int count = 0;
  for (int p = 1; p <= kWMAPresetCount; ++p)
    if (IsWMAFormatAvailable(static_cast<_tWMAPresetTypedef>(p))) ++count;
  return count;
}

uint32_t CConv2WmaFile::LowestEncoderBitrate(uint32_t sampleRate, uint16_t channels) {
  if (!GetAvailableOutputFormats()) return 0;
  uint32_t lowest = 0;
  for (const auto& f : outputFormats) {
    if (f.nSamplesPerSec != sampleRate || f.nChannels != channels) continue;
    const auto kbps =
        static_cast<uint32_t>((static_cast<uint64_t>(f.nAvgBytesPerSec) * 8 + 500) / 1000);
    if (!lowest || kbps < lowest) lowest = kbps;
  }
  return lowest;
}

// ---- Format rules ----

void CConv2WmaFile::GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tag,
                                        _tSoundQualityTypedef quality) {
  if (!format) return;
  CConv2FileObj::GetFormatFromPreset(format, preset, tag, quality);
  ::GetFormatFromPreset(format, format->preset, static_cast<_tTagTypedef>(format->tagType));
}

void CConv2WmaFile::GetTargetFormat(CConv2FileFormat* out, CConv2FileFormat* user,
                                    const tWAVEFORMATEX* source, TMusicInfo* info,
                                    ACMObject* decoder) {
  if (!out || !user) return;
  CConv2FileFormat settings = *user;
  settings.tagType = settings.tagType != TAG_NONE ? TAG_WMA_ATTRIBUTES : TAG_NONE;
  CConv2FileObj::GetTargetFormat(out, &settings, source, info, decoder);
  tagType = out->tagType;
  // The encoder has a lowest bit rate per rate and channel count; the
  // format says the rate the file really gets.
  const uint32_t lowest = LowestEncoderBitrate(out->nSamplesPerSec, out->nChannels);
  if (lowest && out->bitrate < lowest) out->bitrate = lowest;
}

double CConv2WmaFile::GetBytesToWrite(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                      double durationMs) {
  if (!format) return 0;
  double duration = durationMs;
  CConv2FileFormat target(kFormatTagWma);
  if (durationMs >= 0 && source && format->soundQuality == SOUND_QUALITY_PRESET)
    GetTargetFormat(&target, format, source, nullptr, nullptr);
  else
    duration = EstimateDurationMs(this, format, &target, durationMs);
  return static_cast<double>(target.bitrate) * std::max(duration, 0.0) / 8.0;
}

void CConv2WmaFile::MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX*,
                                                  ACMObject*) {
  if (!format) return;
  if (format->tagType != TAG_NONE && format->tagType != TAG_WMA_ATTRIBUTES)
    format->tagType = TAG_WMA_ATTRIBUTES;
  if (format->nSamplesPerSec == 24000) format->nSamplesPerSec = 22050;
  if (format->nSamplesPerSec == 12000) format->nSamplesPerSec = 11025;
  if (format->bitrate)
    format->bitrate = static_cast<uint32_t>(FindMostNaturalWMABitRate(format->bitrate));
  MakeMostNaturalWMABitrateFromC2FFSettings(format);
}

void CConv2WmaFile::UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) {
  if (!format || !maximums) return;
  format->wBitsPerSample = 16;
  if (maximums->tagType == TAG_NONE) format->tagType = TAG_NONE;
  if (maximums->bitrate && format->bitrate > maximums->bitrate) format->bitrate = maximums->bitrate;
  if (format->bitrate)
    format->bitrate = static_cast<uint32_t>(FindMostNaturalWMABitRate(format->bitrate));
  MakeMostNaturalWMABitrateFromC2FFSettings(format);
}

bool CConv2WmaFile::ValidateFormat(CConv2FileFormat* format) {
  if (!format || format->wFormatTag != kFormatTagWma || !IsWmaLadderEntry(format->bitrate))
    return false;
  if (std::find(std::begin(kWmaRates), std::end(kWmaRates), format->nSamplesPerSec) ==
      std::end(kWmaRates))
    return false;
  if (format->usePreset && !WMAPreset(format->preset)) return false;
  if (format->tagType != TAG_NONE && format->tagType != TAG_WMA_ATTRIBUTES) return false;
  if (format->soundQuality < SOUND_QUALITY_MOST_NATURAL ||
      format->soundQuality > SOUND_QUALITY_USER_MAXIMUMS ||
      format->cbSize != CConv2FileFormat::kSettingsBytes)
    return false;
  format->wBitsPerSample = 16;
  format->CalcBlockAlignNAvgBytesPerSec();
  return format->Validate();
}

void CConv2WmaFile::GetTargetFormatStr(char* out, long outSize, CConv2FileFormat* format) {
  if (!out || outSize <= 0) return;
  out[0] = 0;
  if (!format) return;
  const std::string text = TonalisLoadFormatted(
      "IDS_WMA_FORMAT_DESC", int64_t{format->bitrate}, int64_t{format->nSamplesPerSec / 1000},
      int64_t{format->nSamplesPerSec % 1000},
      TonalisLoadKeyed(format->nChannels == 1 ? "IDS_MONO_CB_ITEM" : "IDS_STEREO_CB_ITEM"));
  CopyBounded(out, outSize, text);
}
