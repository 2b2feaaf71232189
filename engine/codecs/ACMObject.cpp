#include "engine/codecs/ACMObject.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "engine/codecs/ACMBuffer.h"
#include "engine/media/PeakRuns.h"
#include "engine/media/SeekMap.h"
#include "engine/base/SampleBuffer.h"
#include "engine/media/Peaks.h"
#include "platform/data/RefObj.h"

TConvertBlock NewConvertBlock(int64_t bytes) {
  return TConvertBlock(static_cast<char*>(std::malloc(static_cast<size_t>(bytes))));
}

bool ACMObject::CopyFormat(const tWAVEFORMATEX* format, CWaveFormatBuffer* copy,
                           int64_t formatBytes) {
  if (!format) return copy->Set(nullptr);
  size_t extra = format->wFormatTag == WAVE_FORMAT_PCM ? 0 : format->cbSize;
  if (formatBytes >= 0) {
    size_t readable = formatBytes > 18 ? static_cast<size_t>(formatBytes) - 18 : 0;
    extra = std::min(extra, readable);
  }
  return copy->Set(format, extra);
}

ACMObject::ACMObject(const tWAVEFORMATEX* source, unsigned long f, int64_t formatBytes) : flags(f) {
  CopyFormat(source, &sourceFormat, formatBytes);
  // No source (or no memory for it): an empty record, which no codec accepts.
  if (sourceFormat.empty()) sourceFormat.Allocate(sizeof(tWAVEFORMATEX));
  frequency = SourceFormat()->nSamplesPerSec;
}

ACMObject::ACMObject(const ACMObject& other)
    : flags(other.flags),
      driverInstalled(other.driverInstalled),
      sourceFormat(other.sourceFormat),
      destFormat(other.destFormat),
      bitRate(other.bitRate),
      frequency(other.frequency),
      bestBitRate(other.bestBitRate),
      sourcePeak(other.sourcePeak),
      sourceGain(other.sourceGain) {}

ACMObject::~ACMObject() {
  // Through this class's own operations: derived parts are already gone.
  ACMObject::EnableStream(0);
  ACMObject::ActivateDriver(0);
}

ACMObject* ACMObject::Copy() { return new (std::nothrow) ACMObject(*this); }
int ACMObject::IsACM() { return 1; }
int ACMObject::ACMDriverInstalled() { return driverInstalled; }
int ACMObject::ActivateDriver(int) { return 1; }

int ACMObject::SuggestPCMFormat() {
  if (stream) return 0;
  tWAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  if (acmFormatSuggest(nullptr, SourceFormat(), &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) !=
      MMSYSERR_NOERROR) {
    destFormat.Clear();
    return 0;
  }
  return CopyFormat(&pcm, &destFormat) ? 1 : 0;
}

int ACMObject::SetDestFormat(const tWAVEFORMATEX* format) {
  if (stream || !format) return 0;
  return CopyFormat(format, &destFormat) ? 1 : 0;
}

int ACMObject::GetSrcFormatStr(char* out, long size) {
  if (!out || size <= 0) return 0;
  // The open stream's driver names the tag; without a stream, any driver that knows it.
  HACMDRIVER driver = nullptr;
  if (driverId && acmDriverOpen(&driver, driverId, 0) != MMSYSERR_NOERROR) return 0;
  ACMFORMATTAGDETAILSA details{};
  details.cbStruct = sizeof details;
  details.dwFormatTag = SourceFormat()->wFormatTag;
  // An extensible record is named by its sub-format's plain tag (PCM, IEEE float).
  if (details.dwFormatTag == WAVE_FORMAT_EXTENSIBLE &&
      FormatHolds(*SourceFormat(), sizeof(tWAVEFORMATEXTENSIBLE)))
    details.dwFormatTag =
        reinterpret_cast<const tWAVEFORMATEXTENSIBLE*>(SourceFormat())->subFormatTag;
  MMRESULT r = acmFormatTagDetailsA(driver, &details, ACM_FORMATTAGDETAILSF_FORMATTAG);
  if (driver) acmDriverClose(driver, 0);
  if (r != MMSYSERR_NOERROR) return 0;
  details.szFormatTag[sizeof details.szFormatTag - 1] = '\0';
  SoundFormatToString(SourceFormat(), out, static_cast<int>(std::min<long>(size, 1 << 30)),
                      details.szFormatTag);
  return 1;
}

int ACMObject::EnableStream(int on) {
  if (!on) {
    if (stream) acmStreamClose(stream, 0);
    stream = nullptr;
    driverId = nullptr;
    return 1;
  }
  if (stream) return 1;
  if (destFormat.empty()) return 0;
  HACMSTREAM opened = nullptr;
  if (acmStreamOpen(&opened, nullptr, SourceFormat(), DestFormat(), nullptr, 0, 0, 0) !=
      MMSYSERR_NOERROR)
    return 0;
  stream = opened;
  if (acmDriverID(reinterpret_cast<HACMOBJ>(stream), &driverId, 0) != MMSYSERR_NOERROR)
    driverId = nullptr;
  if (sourceGain != 1)
    acmStreamMessage(stream, ACMDM_STREAM_SET_GAIN, reinterpret_cast<uintptr_t>(&sourceGain), 0);
  return 1;
}

int ACMObject::SetSourceGain(double gain) {
  if (!(gain >= 0) || !std::isfinite(gain)) return 0;
  sourceGain = gain;
  if (stream)
    acmStreamMessage(stream, ACMDM_STREAM_SET_GAIN, reinterpret_cast<uintptr_t>(&sourceGain), 0);
  return 1;
}

int ACMObject::MeasuresSourcePeak() {
  if (!IsACM()) return 0;
  const bool opened = !stream;
  if (opened && !EnableStream(1)) return 0;
  double peak = 0;
  const bool measured = acmStreamMessage(stream, ACMDM_STREAM_GET_PEAK,
                                         reinterpret_cast<uintptr_t>(&peak), 0) == MMSYSERR_NOERROR;
  if (opened) EnableStream(0);
  return measured ? 1 : 0;
}

double ACMObject::StreamSize(int64_t bytes, int64_t scale, uint32_t direction) {
  if (bytes <= 0) return 0;
  bool opened = false;
  if (!stream) {
    if (!EnableStream(1)) return 0;
    opened = true;
  }
  int64_t ask = bytes < scale ? bytes * scale : bytes;
  double answer = 0;
  // The codec takes 32-bit counts; larger questions are asked in proportion.
  double factor = 1;
  if (ask > UINT32_MAX / 2) {
    factor = static_cast<double>(ask) / (UINT32_MAX / 2);
    ask = UINT32_MAX / 2;
  }
  uint32_t out = 0;
  if (acmStreamSize(stream, static_cast<uint32_t>(ask), &out, direction) == MMSYSERR_NOERROR)
    answer = out * factor;
  if (bytes < scale) answer /= static_cast<double>(scale);
  if (opened) EnableStream(0);
  return answer;
}

double ACMObject::GetConvertedBufferSize(int64_t sourceBytes) {
  return StreamSize(sourceBytes, 1024, ACM_STREAMSIZEF_SOURCE);
}

int64_t ACMObject::GetSourceBufferSize(int64_t pcmBytes) {
  return static_cast<int64_t>(StreamSize(pcmBytes, 8192, ACM_STREAMSIZEF_DESTINATION));
}

long ACMObject::BlockSize(const tWAVEFORMATEX* format) { return format ? format->nBlockAlign : 0; }

int64_t ACMObject::Convert(char* src, int64_t& srcLength, char*& dst, int64_t dstSize,
                           TConversionFlag, int) {
  if (!stream || !src || !dst || srcLength < 0 || dstSize < 0) {
    srcLength = 0;
    return 0;
  }
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = reinterpret_cast<uint8_t*>(src);
  h.cbSrcLength = static_cast<uint32_t>(std::min<int64_t>(srcLength, UINT32_MAX));
  h.pbDst = reinterpret_cast<uint8_t*>(dst);
  h.cbDstLength = static_cast<uint32_t>(std::min<int64_t>(dstSize, UINT32_MAX));
  if (acmStreamPrepareHeader(stream, &h, 0) != MMSYSERR_NOERROR) {
    srcLength = 0;
    return 0;
  }
  MMRESULT r = acmStreamConvert(stream, &h, 0);
  acmStreamUnprepareHeader(stream, &h, 0);
  if (r != MMSYSERR_NOERROR) {
    srcLength = 0;
    return -1;
  }
  srcLength = h.cbSrcLengthUsed;
  return h.cbDstLengthUsed;
}

int ACMObject::FirstFrameDecodesToCDQuality() {
  const tWAVEFORMATEX* d = DestFormat();
  return d && d->nSamplesPerSec == 44100 && d->nChannels == 2;
}

void ACMObject::CheckMinimumSrcSize(uint64_t*) {}
int ACMObject::GetInitialNumOffsetsInRev() { return 0; }
void ACMObject::AdjustSrcOffset(uint64_t*) {}
bool ACMObject::Resume() { return false; }
bool ACMObject::Pause() { return false; }

CACMBuffer* ACMObject::NewBuffer(CACMBuffer& from) { return new (std::nothrow) CACMBuffer(from); }
CACMBuffer* ACMObject::NewBuffer(CSeekMap* seekMap) {
  return new (std::nothrow) CACMBuffer(seekMap);
}

int ACMObject::ParseScanAndBuild(CRefObj* source, CSeekMap** seekMap, CPeaks** peaks,
                                 int64_t* lengthMs, int* progressReported, int64_t dataStart,
                                 int64_t dataEnd, int stopAsked, int scanFlag, int buildPeaks,
                                 int buildSeekMap, long msPerPeak, int, int peaksToFile,
                                 TScanProgress progress, void* user) {
  if (!scanFlag && !buildPeaks && !buildSeekMap) return 1;
  if (stopAsked || !source || dataStart < 0 || dataStart >= dataEnd) return 0;
  if ((buildSeekMap && !seekMap) || (buildPeaks && (!peaks || msPerPeak <= 0))) return 0;
  if (!EnableStream(1)) return 0;
  const tWAVEFORMATEX* dest = DestFormat();
  if (!dest || dest->nAvgBytesPerSec == 0) return 0;

  CSeekMap* map = nullptr;
  std::unique_ptr<CPeaks> built;
  int toFile = peaksToFile;
  auto discard = [&]() {
    CSeekMap::Release(map);
    built.reset();
  };
  if (buildSeekMap && !(map = new (std::nothrow) CSeekMap)) return 0;
  if (buildPeaks) {
    built.reset(new (std::nothrow) CPeaks(static_cast<unsigned long>(msPerPeak), 0));
    if (!built) {
      discard();
      return 0;
    }
    built->InitStreamPeaksFromParse(&toFile, source);
  }
  CPeakRuns runs(built.get(), dest, msPerPeak > 0 ? msPerPeak : 1, toFile);

  int64_t block = std::max<long>(BlockSize(SourceFormat()), 1);
  int64_t readSize = block * std::max<int64_t>(1, 65536 / block);
  int64_t outSize = static_cast<int64_t>(std::ceil(GetConvertedBufferSize(readSize))) + 4096;
  std::vector<char> in(static_cast<size_t>(readSize));
  TConvertBlock out = NewConvertBlock(outSize);
  if (!out) {
    discard();
    return 0;
  }
  int mode = source->SetDataMode(0);
  int64_t pos = dataStart;
  uint64_t decoded = 0;
  bool first = true, ok = source->Seek(dataStart, kSeekBegin) != 0;
  while (ok && pos < dataEnd) {
    int64_t want = std::min(readSize, dataEnd - pos);
    int64_t got = source->Read(in.data(), want);
    if (got <= 0) break;
    bool last = got < want || pos + got >= dataEnd;
    int64_t used = got;
    char* block = out.release();  // Convert may grow it and hands back the one to keep
    int64_t made = Convert(in.data(), used, block, outSize,
                           first ? CONVERSION_FIRST : CONVERSION_FOLLOWING, last);
    out.reset(block);
    first = false;
    if (made < 0) {
      ok = false;
      break;
    }
    if (map && made > 0) map->Add(decoded, static_cast<uint64_t>(pos - dataStart));
    if (built && made > 0) runs.Add(out.get(), made);
    decoded += static_cast<uint64_t>(made);
    if (used < got) source->Seek(pos + used, kSeekBegin);
    pos += used;
    if (progress) {
      if (progressReported) *progressReported = 1;
      int answer = progress(static_cast<unsigned long>(used), user);
      while (answer == -1) answer = progress(0, user);
      if (answer == 0) ok = false;
    }
    if (used == 0 && made == 0) break;  // nothing more the codec can take
  }
  source->SetDataMode(mode);
  double peak = 0;
  if (ok && acmStreamMessage(stream, ACMDM_STREAM_GET_PEAK, reinterpret_cast<uintptr_t>(&peak),
                             0) == MMSYSERR_NOERROR)
    sourcePeak = peak;
  EnableStream(0);
  if (!ok) {
    if (built && toFile) built->DeletePeakFile();
    discard();
    return 0;
  }
  int64_t ms = static_cast<int64_t>(static_cast<double>(decoded) * 1000.0 / dest->nAvgBytesPerSec);
  if (lengthMs) *lengthMs = ms;
  if (built) {
    built->FinishPeaksFromParse(static_cast<long>(ms), toFile);
    *peaks = built.release();  // the caller owns the peaks
  }
  if (map) *seekMap = map;
  return 1;
}
