#include "engine/codecs/ACMObject.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/codecs/ACMBuffer.h"
#include "engine/media/PeakRuns.h"
#include "engine/media/Peaks.h"
#include "engine/media/SeekMap.h"
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
                           TConversionFlag, int last) {
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
  // The source's last block flushes what the codec holds.
  MMRESULT r = acmStreamConvert(stream, &h, last ? ACM_STREAMCONVERTF_END : 0);
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

// A codec-layer scan: reads of about 64 KiB converted through the object's
// stream, each a seek point and a progress step.
class ACMObject::CStreamScan : public ACMObject::CScanDecoder {
 public:
  CStreamScan(ACMObject* owner, CRefObj* source, int64_t dataStart, int64_t dataEnd)
      : owner_(owner), source_(source), dataStart_(dataStart), dataEnd_(dataEnd), pos_(dataStart) {
    const int64_t block = std::max<long>(owner->BlockSize(owner->SourceFormat()), 1);
    readSize_ = block * std::max<int64_t>(1, 65536 / block);
    outSize_ = static_cast<int64_t>(std::ceil(owner->GetConvertedBufferSize(readSize_))) + 4096;
  }

  bool Open() {
    try {
      in_.resize(static_cast<size_t>(readSize_));
    } catch (const std::bad_alloc&) {
      return false;
    }
    out_ = NewConvertBlock(outSize_);
    return out_ != nullptr;
  }

  TScanStep Next(TScanBlock* b) override {
    if (pos_ >= dataEnd_) return SCAN_END;
    const int64_t want = std::min(readSize_, dataEnd_ - pos_);
    const int64_t got = source_->Read(in_.data(), want);
    if (got <= 0) return SCAN_END;
    const bool last = got < want || pos_ + got >= dataEnd_;
    int64_t used = got;
    char* block = out_.release();  // Convert may grow it and hands back the one to keep
    const int64_t made = owner_->Convert(in_.data(), used, block, outSize_,
                                         first_ ? CONVERSION_FIRST : CONVERSION_FOLLOWING, last);
    out_.reset(block);
    first_ = false;
    if (made < 0) return SCAN_FAILED;
    if (used == 0 && made == 0) return SCAN_END;  // nothing more the codec can take
    *b = TScanBlock{};
    b->pcm = out_.get();
    b->bytes = made;
    b->seekPoint = made > 0;
    b->sourceOffset = static_cast<uint64_t>(pos_ - dataStart_);
    if (used < got) source_->Seek(pos_ + used, kSeekBegin);
    pos_ += used;
    b->consumed = pos_ - dataStart_;
    return SCAN_BLOCK;
  }

  void Finish(bool complete) override {
    double peak = 0;
    if (complete && acmStreamMessage(owner_->stream, ACMDM_STREAM_GET_PEAK,
                                     reinterpret_cast<uintptr_t>(&peak), 0) == MMSYSERR_NOERROR)
      owner_->sourcePeak = peak;
    owner_->EnableStream(0);
  }

 private:
  ACMObject* owner_;
  CRefObj* source_;
  int64_t dataStart_, dataEnd_, pos_;
  int64_t readSize_ = 0, outSize_ = 0;
  bool first_ = true;
  std::vector<char> in_;
  TConvertBlock out_;
};

std::unique_ptr<ACMObject::CScanDecoder> ACMObject::NewScanDecoder(CRefObj* source,
                                                                   int64_t dataStart,
                                                                   int64_t dataEnd) {
  std::unique_ptr<CStreamScan> scan(new (std::nothrow)
                                        CStreamScan(this, source, dataStart, dataEnd));
  if (!scan || !scan->Open()) return nullptr;
  return scan;
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
    if (built && toFile) built->DeletePeakFile();
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
  std::optional<CPeakRuns> runs;
  if (built) runs.emplace(built.get(), dest, msPerPeak, toFile);

  const int mode = source->SetDataMode(0);
  std::unique_ptr<CScanDecoder> scan;
  if (source->Seek(dataStart, kSeekBegin)) scan = NewScanDecoder(source, dataStart, dataEnd);
  if (!scan) {
    source->SetDataMode(mode);
    discard();
    return 0;
  }

  uint64_t decoded = 0;
  int64_t reported = 0;
  bool ok = true, damaged = false, otherShape = false;
  // Tells the callback how far the scan got; false when it cancels.
  auto report = [&](int64_t consumed) {
    if (!progress || consumed <= reported) return true;
    if (progressReported) *progressReported = 1;
    int answer = progress(static_cast<unsigned long>(consumed - reported), user);
    reported = consumed;
    while (answer == -1) answer = progress(0, user);
    return answer != 0;
  };
  TScanBlock b;
  while (ok) {
    const TScanStep step = scan->Next(&b);
    if (step == SCAN_END) break;
    if (step == SCAN_FAILED) {
      ok = false;
      break;
    }
    if (map && b.seekPoint && !map->Add(decoded, b.sourceOffset)) ok = false;
    if (runs && b.bytes > 0) runs->Add(b.pcm, b.bytes);
    decoded += static_cast<uint64_t>(std::max<int64_t>(b.bytes, 0));
    damaged = damaged || b.damaged;
    otherShape = otherShape || b.otherShape;
    if (b.consumed >= 0 && !report(b.consumed)) ok = false;
  }
  // The bytes left over (a cut last frame, a trailing tag) count as parsed too.
  if (ok && !report(dataEnd - dataStart)) ok = false;
  source->SetDataMode(mode);
  scan->Finish(ok);
  scan.reset();
  if (!ok) {
    discard();
    return 0;
  }
  const auto ms = static_cast<int64_t>(decoded * 1000 / dest->nAvgBytesPerSec);
  if (lengthMs) *lengthMs = ms;
  if (built) {
    runs->Finish();
    if (damaged) built->SetHasBadFrames(1);
    if (otherShape) built->SetHasNonCDQualityFrames(1);
    built->FinishPeaksFromParse(static_cast<long>(ms), toFile);
    *peaks = built.release();  // the caller owns the peaks
  }
  if (map) *seekMap = map;
  return 1;
}
