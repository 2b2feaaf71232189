#include "platform/acm/PcmDriver.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <numeric>

#include "platform/audio/PcmSample.h"

namespace {

constexpr int kMaxChannels = 8;

int32_t ReadValue(const uint8_t* p, bool eightBit) {
  return eightBit ? LoadSample8(p) : LoadSample16(p);
}

void WriteValue(uint8_t* p, int32_t v, bool eightBit) {
  if (eightBit)
    StoreSample8(p, v);
  else
    StoreSample16(p, v);
}

bool ChannelsConvertible(int from, int to) { return from == to || from == 1 || to == 1; }

// Output frame j stands at source position j * S / D (S and D the rates in
// lowest terms), taken on the line from the source frame before that position
// to the one at it, so the output runs one source frame behind (the first
// frame is held before the start). Every output is made as soon as its frame
// arrives: n source frames give ceil(n * D / S) outputs in all, however the
// blocks split, and a destination of exactly that size is always filled. The
// stream keeps the last two source frames.
class CPcmConversion : public CAcmConversion {
 public:
  CPcmConversion(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst)
      : srcChannels_(src->nChannels),
        dstChannels_(dst->nChannels),
        srcAlign_(src->nBlockAlign),
        dstAlign_(dst->nBlockAlign),
        src8_(src->wBitsPerSample == 8),
        dst8_(dst->wBitsPerSample == 8) {
    uint32_t g = std::gcd(src->nSamplesPerSec, dst->nSamplesPerSec);
    step_ = src->nSamplesPerSec / g;
    denominator_ = dst->nSamplesPerSec / g;
    Reset();
  }

  void Reset() override {
    consumed_ = 0;
    position_ = 0;
    fraction_ = 0;
    std::fill(std::begin(prev_), std::end(prev_), 0);
    std::fill(std::begin(last_), std::end(last_), 0);
  }

  MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) override {
    uint64_t result;
    if (flags == ACM_STREAMSIZEF_SOURCE) {
      uint64_t frames = input / srcAlign_;
      if (step_ != denominator_)
        frames = frames ? (frames * denominator_ + step_ - 1) / step_ + 2 : 0;
      result = frames * dstAlign_;
    } else {
      uint64_t frames = input / dstAlign_;
      if (step_ != denominator_) frames = frames * step_ / denominator_;
      result = frames * srcAlign_;
    }
    if (result > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
    *output = static_cast<uint32_t>(result);
    return MMSYSERR_NOERROR;
  }

  MMRESULT Convert(ACMSTREAMHEADER* h, uint32_t) override {
    const uint8_t* in = h->pbSrc;
    uint8_t* out = h->pbDst;
    uint32_t inFrames = h->cbSrcLength / srcAlign_;
    uint32_t outFrames = h->cbDstLength / dstAlign_;
    uint32_t taken = 0, made = 0;
    int32_t frame[kMaxChannels] = {};
    if (step_ == denominator_) {
      uint32_t n = std::min(inFrames, outFrames);
      for (; taken < n; ++taken, ++made) {
        Load(in + taken * srcAlign_, frame);
        Store(out + made * dstAlign_, frame);
      }
    } else {
      for (;;) {
        // Outputs whose position lies at the newest source frame.
        while (consumed_ >= 1 && position_ == consumed_ - 1 && made < outFrames) {
          for (int c = 0; c < dstChannels_; ++c)
            frame[c] = prev_[c] + static_cast<int32_t>(static_cast<int64_t>(last_[c] - prev_[c]) *
                                                       static_cast<int64_t>(fraction_) /
                                                       static_cast<int64_t>(denominator_));
          Store(out + made++ * dstAlign_, frame);
          Advance();
        }
        if (made == outFrames && consumed_ >= 1 && position_ == consumed_ - 1) break;
        if (taken == inFrames) break;
        Load(in + taken++ * srcAlign_, frame);
        std::copy(std::begin(last_), std::end(last_), std::begin(prev_));
        std::copy(std::begin(frame), std::end(frame), std::begin(last_));
        if (consumed_ == 0) std::copy(std::begin(frame), std::end(frame), std::begin(prev_));
        ++consumed_;
      }
    }
    h->cbSrcLengthUsed = taken * srcAlign_;
    h->cbDstLengthUsed = made * dstAlign_;
    return MMSYSERR_NOERROR;
  }

 private:
  void Advance() {
    fraction_ += step_;
    position_ += fraction_ / denominator_;
    fraction_ %= denominator_;
  }

  // One source frame, mapped to the destination's channels.
  void Load(const uint8_t* p, int32_t* frame) const {
    int width = src8_ ? 1 : 2;
    if (srcChannels_ == dstChannels_) {
      for (int c = 0; c < srcChannels_; ++c) frame[c] = ReadValue(p + c * width, src8_);
    } else if (dstChannels_ == 1) {
      int64_t sum = 0;
      for (int c = 0; c < srcChannels_; ++c) sum += ReadValue(p + c * width, src8_);
      frame[0] = static_cast<int32_t>(sum / srcChannels_);
    } else {
      int32_t v = ReadValue(p, src8_);
      for (int c = 0; c < dstChannels_; ++c) frame[c] = v;
    }
  }

  void Store(uint8_t* p, const int32_t* frame) const {
    int width = dst8_ ? 1 : 2;
    for (int c = 0; c < dstChannels_; ++c) WriteValue(p + c * width, frame[c], dst8_);
  }

  int srcChannels_, dstChannels_;
  uint32_t srcAlign_, dstAlign_;
  bool src8_, dst8_;
  uint64_t step_ = 1, denominator_ = 1;
  uint64_t consumed_ = 0;  // source frames taken since the start
  uint64_t position_ = 0;  // source frame at or before the next output
  uint64_t fraction_ = 0;  // next output's distance beyond it, in 1/denominator_
  int32_t prev_[kMaxChannels]{};
  int32_t last_[kMaxChannels]{};
};

}  // namespace

const char* CPcmDriver::ShortName() const { return "PCM"; }
const char* CPcmDriver::LongName() const { return "PCM rate, channel and width converter"; }
int CPcmDriver::FormatTagCount() const { return 1; }

void CPcmDriver::FormatTagDetails(int, ACMFORMATTAGDETAILSA* d) const {
  d->dwFormatTag = WAVE_FORMAT_PCM;
  d->cbFormatSize = sizeof(tWAVEFORMATEX);
  d->fdwSupport = 0;
  d->cFormats = 4;
  acm::CopyName(d->szFormatTag, sizeof d->szFormatTag, "PCM");
}

MMRESULT CPcmDriver::Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t,
                             uint32_t flags) {
  if (!acm::IsUsablePcm(src)) return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_PCM)
    return ACMERR_NOTPOSSIBLE;
  tWAVEFORMATEX f = *src;
  if (flags & ACM_FORMATSUGGESTF_NCHANNELS) f.nChannels = dst->nChannels;
  if (flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) f.nSamplesPerSec = dst->nSamplesPerSec;
  if (flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) f.wBitsPerSample = dst->wBitsPerSample;
  f.nBlockAlign = static_cast<uint16_t>(f.nChannels * f.wBitsPerSample / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  f.cbSize = 0;
  if (!acm::IsUsablePcm(&f) || !ChannelsConvertible(src->nChannels, f.nChannels))
    return ACMERR_NOTPOSSIBLE;
  *dst = f;
  return MMSYSERR_NOERROR;
}

MMRESULT CPcmDriver::Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                          CAcmConversion** out) {
  if (!acm::IsUsablePcm(src) || !acm::IsUsablePcm(dst) ||
      !ChannelsConvertible(src->nChannels, dst->nChannels))
    return ACMERR_NOTPOSSIBLE;
  if (!out) return MMSYSERR_NOERROR;
  *out = new (std::nothrow) CPcmConversion(src, dst);
  return *out ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}
