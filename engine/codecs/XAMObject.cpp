#include "engine/codecs/XAMObject.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "engine/base/EngineGlobals.h"
#include "engine/base/SampleBuffer.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/mpeg/MemoryInput.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegDecoder.h"
#include "engine/codecs/mpeg/MpegHeader.h"
#include "platform/data/ByteOrder.h"
#include "platform/data/RefObj.h"
#include "utilities/strings/BoundedCopy.h"

using namespace mpegaudio;

namespace {

constexpr int64_t kMinimumFeed = 2048;
constexpr int64_t kScanReadBytes = 64 * 1024;
// The scan reports progress every few frames (about a fifth of a second of sound).
constexpr int kFramesPerReport = 8;

// Stands for a frame whose bit reservoir was not seen.
const int16_t kSilence[kMaxFrameSamples] = {};

bool SameShape(const XAMObject::Frame& f, const tWAVEFORMATEX* dest) {
  return f.channels == dest->nChannels && static_cast<uint32_t>(f.rate) == dest->nSamplesPerSec &&
         dest->wBitsPerSample == 16;
}

// A decoder instance reading from the memory input's streaming ring;
// `gapless` drops the encoder delay and padding a LAME tag announces.
MpegDecoder* OpenRingDecoder(const MpegInputModule* input, bool gapless) {
  MpegDecoder* d = nullptr;
  if (MpegDecoderCreate(&d) != kMpegOk || !d) return nullptr;
  MpegDecoderSetPropertyInteger(d, kPropertyMpegGapless, gapless ? 1 : 0);
  int id = -1;
  if (MpegDecoderRegisterCodec(d, MpegCodecModuleDescriptor()) < 0 ||
      (id = MpegDecoderRegisterInput(d, input)) < 0 || MpegDecoderSelectInput(d, "", id) < 0) {
    MpegDecoderDestroy(&d);
    return nullptr;
  }
  if (MpegDecoderOpenInput(d) < 0) {
    MpegDecoderReleaseInput(d);
    MpegDecoderDestroy(&d);
    return nullptr;
  }
  return d;
}

int64_t Feed(MpegDecoder* d, const char* data, int64_t size) {
  if (!data || size <= 0) return 0;
  int64_t taken = MpegDecoderSendInputMessage(d, kMemoryInputFeed, data, size);
  return taken > 0 ? std::min(taken, size) : 0;
}

}  // namespace

XAMObject::XAMObject(const tWAVEFORMATEX* source, unsigned long f, int64_t formatBytes)
    : ACMObject(source, f, formatBytes), gapless(GetGaplessMP3Decoding() != 0) {
  tWAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = SourceFormat()->nChannels;
  pcm.nSamplesPerSec = SourceFormat()->nSamplesPerSec;
  pcm.wBitsPerSample = 16;
  pcm.cbSize = 0;
  // A source that no PCM record can describe leaves an incomplete one, which
  // EnableStream refuses.
  ValidateFormat(&pcm, WAVE_FORMAT_PCM);
  CopyFormat(&pcm, &destFormat);
}

XAMObject::XAMObject(const XAMObject& other)
    : ACMObject(other),
      vbr(other.vbr),
      version(other.version),
      layer(other.layer),
      averageFrameSize(other.averageFrameSize),
      firstFrameDecodesToCDQuality(other.firstFrameDecodesToCDQuality),
      gapless(other.gapless) {}

XAMObject::~XAMObject() { DestroyDecoder(); }

void XAMObject::DestroyDecoder() {
  if (decoder) MpegDecoderDestroy(&decoder);
  decoder = nullptr;
  streamEnabled = 0;
  DropPending();
}

ACMObject* XAMObject::Copy() { return new (std::nothrow) XAMObject(*this); }

int XAMObject::SetDestFormat(const tWAVEFORMATEX* format) {
  if (!format) return 0;
  tWAVEFORMATEX copy = *format;
  copy.cbSize = 0;
  ValidateFormat(&copy, WAVE_FORMAT_PCM);
  return CopyFormat(&copy, &destFormat) ? 1 : 0;
}

int XAMObject::GetSrcFormatStr(char* out, long size) {
  if (!out || size <= 0) return 0;
  const char* versionKey = "IDS_MPEG2";
  if (static_cast<int>(version) == 1)
    versionKey = "IDS_MPEG1";
  else if (static_cast<int>(std::lround(version * 10)) % 10 != 0)
    versionKey = "IDS_MPEG2_5";
  static const char* const kModeKeys[] = {"FS_STEREO", "FS_JSTEREO", "FS_DUAL_CHANNEL", "FS_MONO"};
  const char* modeKey = mode >= 0 && mode <= 3 ? kModeKeys[mode] : kModeKeys[0];
  char versionText[16] = "", modeText[32] = "", vbrText[32] = "";
  TonalisLoadString(versionKey, versionText, sizeof versionText);
  TonalisLoadString(modeKey, modeText, sizeof modeText);
  if (vbr) TonalisLoadString("FS_VBR", vbrText, sizeof vbrText);
  std::string text = TonalisLoadFormatted("FS_MP3_FORMAT", static_cast<int64_t>(bitRate / 1000),
                                          versionText, layer, modeText, vbrText);
  CopyBounded(out, size, text);
  return 1;
}

int XAMObject::EnableStream(int on) {
  if (!on || streamEnabled) return 1;
  const tWAVEFORMATEX* dest = DestFormat();
  if (!dest || dest->nAvgBytesPerSec == 0 || dest->nBlockAlign == 0) return 0;
  memoryInput = MpegMemoryInputModule();
  decoder = OpenRingDecoder(memoryInput, gapless);
  if (!decoder) return 0;
  DropPending();
  fedSinceStart = false;
  streamEnabled = 1;
  return 1;
}

int XAMObject::Restart() {
  if (!streamEnabled) return EnableStream(1);
  DropPending();
  fedSinceStart = false;
  MpegDecoderCloseInput(decoder);
  if (MpegDecoderOpenInput(decoder) >= 0) return 1;
  DestroyDecoder();
  return 0;
}

double XAMObject::MilsPerFrame() const {
  static const double kTable[3][3] = {
      {8.707483, 8.0, 12.0}, {26.12245, 24.0, 36.0}, {26.12245, 24.0, 36.0}};
  int column = frequency == 44100 ? 0 : frequency == 48000 ? 1 : frequency == 32000 ? 2 : -1;
  if (column < 0 || layer < 1 || layer > 3) return 0.0;
  return kTable[layer - 1][column];
}

long XAMObject::BlockSize(const tWAVEFORMATEX* format) {
  if (!format) return 0;
  // The frame size sits in the MPEG extra bytes; a record too short to hold
  // it falls back on the average frame size.
  if (FormatHolds(*format, offsetof(tMPEGLAYER3WAVEFORMAT, nBlockSize) + sizeof(uint16_t)))
    return reinterpret_cast<const tMPEGLAYER3WAVEFORMAT*>(format)->nBlockSize;
  return static_cast<long>(averageFrameSize);
}

double XAMObject::GetConvertedBufferSize(int64_t sourceBytes) {
  const tWAVEFORMATEX* dest = DestFormat();
  if (sourceBytes <= 0 || !dest) return 0;
  const double d = MilsPerFrame();
  const long b = BlockSize(SourceFormat());
  if (d > 0.0 && b > 0)
    return static_cast<double>(sourceBytes / b) * d * dest->nAvgBytesPerSec * 0.001;
  const uint32_t sourceAvg = SourceFormat()->nAvgBytesPerSec;
  if (sourceAvg == 0) return 0;
  return static_cast<double>(dest->nAvgBytesPerSec) * static_cast<double>(sourceBytes) / sourceAvg;
}

int64_t XAMObject::GetSourceBufferSize(int64_t pcmBytes) {
  if (pcmBytes <= 0) return 0;
  const tWAVEFORMATEX* dest = DestFormat();
  const int64_t b = std::max<long>(BlockSize(SourceFormat()), 1);
  if (!dest || dest->nAvgBytesPerSec == 0) return b;
  auto bytes = static_cast<int64_t>(static_cast<double>(SourceFormat()->nAvgBytesPerSec) *
                                    static_cast<double>(pcmBytes) / dest->nAvgBytesPerSec);
  int64_t frames = bytes / b;
  return frames > 0 ? b * frames : b;
}

void XAMObject::CheckMinimumSrcSize(uint64_t* size) {
  if (size && *size < static_cast<uint64_t>(kMinimumFeed)) *size = kMinimumFeed;
}

void XAMObject::AdjustSrcOffset(uint64_t* offset) {
  if (offset) *offset = *offset > 4 ? *offset - 4 : 0;
}

int64_t XAMObject::LastFrameDecoded() const {
  return decoder ? MpegDecoderStatus(decoder)->frame : 0;
}

int XAMObject::AllZeros(const short* samples, int64_t bytes, int64_t& zeroBytes) {
  const int64_t count = samples && bytes > 0 ? bytes / 2 : 0;
  for (int64_t i = 0; i < count; ++i)
    if (samples[i] != 0) {
      zeroBytes = i * 2;
      return 1;
    }
  zeroBytes = count * 2;
  return 0;
}

int XAMObject::SamplesPerFrame(MpegDecoder* d) const {
  int64_t l = layer, level = static_cast<int>(version) == 1 ? 1 : 2;
  MpegDecoderGetPropertyInteger(d, kPropertyMpegLayer, &l);
  MpegDecoderGetPropertyInteger(d, kPropertyMpegLevel, &level);
  return mpegaudio::SamplesPerFrame(static_cast<int>(l), level != 1);
}

XAMObject::TFrameResult XAMObject::DecodeOne(MpegDecoder* d, Frame* frame) const {
  const MpegStatusBlock* status = MpegDecoderStatus(d);
  for (;;) {
    const int64_t bad = status->badFrames, position = status->position;
    const int64_t read = MpegDecoderInputPosition(d);
    int r = MpegDecoderDecodeFrame(d);
    if (r == kMpegOk) {
      const MpegOutputBlock* o = MpegDecoderOutput(d);
      // A frame that is all encoder delay or padding leaves nothing.
      if (o->sampleCount == 0) continue;
      if (!o->samples || o->bytesPerSample != 2 || o->channels < 1 || o->channels > 2 ||
          o->sampleRate <= 0 || o->sampleCount < 0 ||
          o->sampleCount * o->channels > kMaxFrameSamples)
        return FRAME_BAD;
      *frame = Frame{o->samples, o->sampleCount, o->channels, o->sampleRate};
      return FRAME_OK;
    }
    if (r != kMpegErrorFrameAbandoned) return FRAME_END;
    if (status->badFrames > bad) return FRAME_BAD;
    if (status->position > position) {
      // A whole frame was taken but gave no sound: its main data lies before
      // the bytes seen, as right after a seek.
      const tWAVEFORMATEX* s = SourceFormat();
      const tWAVEFORMATEX* dest = DestFormat();
      int channels = s->nChannels == 1 || s->nChannels == 2 ? s->nChannels : dest->nChannels;
      int rate = s->nSamplesPerSec > 0 ? static_cast<int>(s->nSamplesPerSec)
                                       : static_cast<int>(dest->nSamplesPerSec);
      *frame = Frame{kSilence, SamplesPerFrame(d), channels, rate};
      return FRAME_SILENT;
    }
    // Junk was skipped before the input ran dry: look again; otherwise nothing
    // more can be decoded until more bytes arrive.
    if (MpegDecoderInputPosition(d) == read) return FRAME_STARVED;
  }
}

int64_t XAMObject::PlacedBytes(const Frame& f) const {
  const tWAVEFORMATEX* dest = DestFormat();
  const int64_t frameBytes = static_cast<int64_t>(f.count) * 2 * f.channels;
  if (SameShape(f, dest)) return frameBytes;
  const int64_t outputAvg = static_cast<int64_t>(f.rate) * 2 * f.channels;
  const int64_t align = dest->nBlockAlign;
  if (outputAvg <= 0 || align <= 0) return 0;
  auto scaled = static_cast<int64_t>(static_cast<double>(dest->nAvgBytesPerSec) *
                                     static_cast<double>(frameBytes) / outputAvg);
  return (scaled / align + 1) * align;
}

int64_t XAMObject::PlaceFrame(const Frame& f, char*& dst, int64_t& capacity, int64_t produced,
                              bool growable) {
  const tWAVEFORMATEX* dest = DestFormat();
  const int64_t need = PlacedBytes(f);
  if (need <= 0) return 0;
  if (capacity - produced < need) {
    if (!growable) return -1;
    auto* grown = static_cast<char*>(std::realloc(dst, static_cast<size_t>(produced + need)));
    if (!grown) return -1;
    dst = grown;
    capacity = produced + need;
  }
  const int64_t frameBytes = static_cast<int64_t>(f.count) * 2 * f.channels;
  if (SameShape(f, dest)) {
    std::memcpy(dst + produced, f.samples, static_cast<size_t>(frameBytes));
    return frameBytes;
  }
  tWAVEFORMATEX own{};
  own.wFormatTag = WAVE_FORMAT_PCM;
  own.nChannels = static_cast<uint16_t>(f.channels);
  own.nSamplesPerSec = static_cast<uint32_t>(f.rate);
  own.wBitsPerSample = 16;
  if (!ValidateFormat(&own, WAVE_FORMAT_PCM)) return 0;
  std::memset(dst + produced, 0, static_cast<size_t>(need));
  long made = MixConvertPCM(
      reinterpret_cast<const uint8_t*>(f.samples), static_cast<long>(frameBytes), &own,
      reinterpret_cast<uint8_t*>(dst + produced), static_cast<long>(need), dest);
  return std::clamp<int64_t>(made, 0, need);
}

void XAMObject::KeepPending(const Frame& f) {
  const int64_t need = PlacedBytes(f);
  try {
    if (pending.size() < static_cast<size_t>(need)) pending.resize(static_cast<size_t>(need));
  } catch (const std::bad_alloc&) {
    return;
  }
  char* block = pending.data();
  int64_t capacity = static_cast<int64_t>(pending.size());
  pendingPos = 0;
  pendingLen = std::max<int64_t>(PlaceFrame(f, block, capacity, 0, false), 0);
}

int64_t XAMObject::EmitPending(char* at, int64_t room) {
  const int64_t n = std::min(std::max<int64_t>(room, 0), PendingBytes());
  if (n <= 0) return 0;
  std::memcpy(at, pending.data() + pendingPos, static_cast<size_t>(n));
  pendingPos += n;
  if (pendingPos == pendingLen) pendingPos = pendingLen = 0;
  return n;
}

int64_t XAMObject::Convert(char* src, int64_t& srcLength, char*& dst, int64_t dstSize,
                           TConversionFlag flag, int mayGrow) {
  if (!dst || dstSize < 0 || (!streamEnabled && !EnableStream(1)) ||
      (flag == CONVERSION_FIRST && !Restart())) {
    srcLength = 0;
    return 0;
  }
  const int64_t offered = src && srcLength > 0 ? srcLength : 0;
  srcLength = Feed(decoder, src, offered);
  // The caller's last block (it may grow the output only then): with all of
  // it in the ring, the ring's last frame decodes without a header after it.
  if (mayGrow && srcLength == offered && (srcLength > 0 || fedSinceStart)) EndInput();
  if (srcLength > 0) fedSinceStart = true;

  int64_t capacity = dstSize, produced = 0, frameBytes = 0;
  if (PendingBytes() > capacity) {
    auto* grown = static_cast<char*>(std::realloc(dst, static_cast<size_t>(PendingBytes())));
    if (!grown) return 0;
    dst = grown;
    capacity = PendingBytes();
  }
  produced = frameBytes = EmitPending(dst, capacity);
  for (;;) {
    if (mayGrow && capacity - produced < frameBytes) {
      int64_t size = std::max(capacity * 2, produced + frameBytes);
      auto* grown = size > capacity
                        ? static_cast<char*>(std::realloc(dst, static_cast<size_t>(size)))
                        : nullptr;
      if (grown) {
        dst = grown;
        capacity = size;
      }
    }
    if (capacity - produced < frameBytes) break;
    Frame f;
    TFrameResult r = DecodeOne(decoder, &f);
    if (r == FRAME_STARVED || r == FRAME_END) break;
    if (r == FRAME_BAD) continue;
    int64_t n = PlaceFrame(f, dst, capacity, produced, true);
    if (n < 0) {
      KeepPending(f);
      break;
    }
    produced += n;
    frameBytes = PlacedBytes(f);
  }
  return produced;
}

void XAMObject::EndInput() {
  if (decoder) MpegDecoderSendInputMessage(decoder, kMemoryInputEnd, nullptr, 0);
}

int64_t XAMObject::DecodeInto(const char* src, int64_t& srcLength, char* dst, int64_t dstSize,
                              bool last) {
  if (!dst || dstSize < 0 || (!streamEnabled && !EnableStream(1))) {
    srcLength = 0;
    return 0;
  }
  const int64_t offered = src && srcLength > 0 ? srcLength : 0;
  // Bytes handed back last time were read already: they are not fed again.
  const int64_t skip = std::min(heldBack, offered);
  heldBack -= skip;
  const int64_t before = MpegDecoderInputPosition(decoder);
  const int64_t fed = offered > skip ? Feed(decoder, src + skip, offered - skip) : 0;
  if (last && fed == offered - skip && (fed > 0 || fedSinceStart)) EndInput();
  if (fed > 0) fedSinceStart = true;
  int64_t produced = EmitPending(dst, dstSize);
  // A frame is decoded only when it fits, or when nothing came out yet (the
  // room is smaller than a frame: it is then handed out in parts).
  const int64_t oneFrame =
      static_cast<int64_t>(SamplesPerFrame(decoder)) * DestFormat()->nBlockAlign;
  int64_t frameBytes = oneFrame;
  bool starved = false;
  while (PendingBytes() == 0 && (produced == 0 || dstSize - produced >= frameBytes)) {
    Frame f;
    TFrameResult r = DecodeOne(decoder, &f);
    if (r == FRAME_STARVED || r == FRAME_END) {
      starved = true;
      break;
    }
    if (r == FRAME_BAD) continue;
    int64_t capacity = dstSize;
    int64_t n = PlaceFrame(f, dst, capacity, produced, false);
    if (n < 0) {
      KeepPending(f);
      produced += EmitPending(dst + produced, dstSize - produced);
      break;
    }
    produced += n;
    frameBytes = std::max(oneFrame, PlacedBytes(f));
  }
  const int64_t unread = ringHeld + fed - (MpegDecoderInputPosition(decoder) - before);
  int64_t used = skip + fed;
  if (starved) {
    // The ring holds less than the next frame needs: it keeps those bytes.
    ringHeld = std::max<int64_t>(unread, 0);
  } else {
    // Output is full: frames still in the ring go back to the caller. They
    // were all fed in this call, since the first read of a call takes what an
    // earlier one left.
    used -= std::clamp<int64_t>(unread, 0, fed);
    ringHeld = 0;
    MpegDecoderSendInputMessage(decoder, kMemoryInputFlush, nullptr, 0);
  }
  // While output is held, one byte read stays with the caller, so that a
  // source that is read to its end still offers it and is asked again.
  if (PendingBytes() > 0 && heldBack == 0 && used > 0) {
    --used;
    heldBack = 1;
  }
  srcLength = used;
  return produced;
}

class XAMObject::CFrameScan : public ACMObject::CScanDecoder {
 public:
  CFrameScan(XAMObject* owner, CRefObj* source, int64_t dataStart, int64_t dataEnd)
      : owner_(owner), source_(source), readPos_(dataStart), dataEnd_(dataEnd) {}
  ~CFrameScan() override {
    if (scan_) MpegDecoderDestroy(&scan_);
  }

  bool Open() {
    try {
      in_.resize(kScanReadBytes);
    } catch (const std::bad_alloc&) {
      return false;
    }
    scan_ = OpenRingDecoder(MpegMemoryInputModule(), owner_->gapless);
    return scan_ != nullptr;
  }

  TScanStep Next(TScanBlock* b) override {
    const MpegStatusBlock* status = MpegDecoderStatus(scan_);
    for (;;) {
      const int64_t before = status->position;
      Frame f;
      const TFrameResult r = owner_->DecodeOne(scan_, &f);
      if (r == FRAME_STARVED) {
        if (inPos_ == inLen_) {
          const int64_t got =
              readPos_ < dataEnd_
                  ? source_->Read(in_.data(),
                                  std::min<int64_t>(kScanReadBytes, dataEnd_ - readPos_))
                  : 0;
          if (got <= 0) {
            // The source is spent: what the ring holds still decodes, the
            // last frame without a header after it.
            if (ended_) return SCAN_END;
            ended_ = true;
            MpegDecoderSendInputMessage(scan_, kMemoryInputEnd, nullptr, 0);
            continue;
          }
          readPos_ += got;
          inPos_ = 0;
          inLen_ = got;
        }
        const int64_t taken = Feed(scan_, in_.data() + inPos_, inLen_ - inPos_);
        if (taken <= 0) return SCAN_END;
        inPos_ += taken;
        continue;
      }
      if (r == FRAME_END) return SCAN_END;
      *b = TScanBlock{};
      b->damaged = r != FRAME_OK;
      if (++framesSinceReport_ >= kFramesPerReport) {
        framesSinceReport_ = 0;
        b->consumed = MpegDecoderInputPosition(scan_);
      }
      if (r == FRAME_BAD) return SCAN_BLOCK;
      b->seekPoint = true;
      b->sourceOffset = static_cast<uint64_t>(before);
      if (SameShape(f, owner_->DestFormat())) {
        b->pcm = reinterpret_cast<const char*>(f.samples);
        b->bytes = static_cast<int64_t>(f.count) * 2 * f.channels;
        return SCAN_BLOCK;
      }
      b->otherShape = true;
      const int64_t need = owner_->PlacedBytes(f);
      try {
        if (converted_.size() < static_cast<size_t>(need))
          converted_.resize(static_cast<size_t>(need));
      } catch (const std::bad_alloc&) {
        return SCAN_FAILED;
      }
      char* block = converted_.data();
      int64_t capacity = static_cast<int64_t>(converted_.size());
      b->pcm = block;
      b->bytes = std::max<int64_t>(owner_->PlaceFrame(f, block, capacity, 0, false), 0);
      return SCAN_BLOCK;
    }
  }

 private:
  XAMObject* owner_;
  CRefObj* source_;
  int64_t readPos_, dataEnd_;
  MpegDecoder* scan_ = nullptr;
  std::vector<char> in_, converted_;
  int64_t inPos_ = 0, inLen_ = 0;
  int framesSinceReport_ = 0;
  bool ended_ = false;
};

std::unique_ptr<ACMObject::CScanDecoder> XAMObject::NewScanDecoder(CRefObj* source,
                                                                   int64_t dataStart,
                                                                   int64_t dataEnd) {
  std::unique_ptr<CFrameScan> scan(new (std::nothrow) CFrameScan(this, source, dataStart, dataEnd));
  if (!scan || !scan->Open()) return nullptr;
  return scan;
}
