#include "platform/acm/WidePcmConversion.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "platform/audio/PcmSample.h"
#include "platform/data/ByteOrder.h"

namespace {

// Float full scale (1.0) on the 16-bit scale.
constexpr double kFullScale = 32768.0;

// The nearest 16-bit value; beyond full scale saturates, NaN is silence.
int32_t Round16(double v) {
  if (v >= 32767.0) return 32767;
  if (v <= -32768.0) return -32768;
  if (v != v) return 0;
  return static_cast<int32_t>(std::lrint(v));
}

// Each sample kind gives its value on the 16-bit scale (Value). Integer kinds
// also narrow it to 16 bits themselves (Narrow), in integer arithmetic and
// rounding halves up as the usual 16-bit conversions do; floats, and every
// mixed-down value, go through the stream's gain and peak
// (CWidePcmConversion::Narrow).
struct Unsigned8 {
  static constexpr int kBytes = 1;
  static constexpr bool kFloat = false;
  static double Value(const uint8_t* p) { return (p[0] - 128) * 256.0; }
  static int32_t Narrow(const uint8_t* p) { return (p[0] - 128) * 256; }
};

struct Signed16 {
  static constexpr int kBytes = 2;
  static constexpr bool kFloat = false;
  static double Value(const uint8_t* p) { return LoadSample16(p); }
  static int32_t Narrow(const uint8_t* p) { return LoadSample16(p); }
};

struct Signed24 {
  static constexpr int kBytes = 3;
  static constexpr bool kFloat = false;
  static int32_t Raw(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                static_cast<uint32_t>(p[1]) << 16 |
                                static_cast<uint32_t>(p[2]) << 24) >>
           8;
  }
  static double Value(const uint8_t* p) { return Raw(p) / 256.0; }
  static int32_t Narrow(const uint8_t* p) { return Saturate16((Raw(p) + 128) >> 8); }
};

struct Signed32 {
  static constexpr int kBytes = 4;
  static constexpr bool kFloat = false;
  static int32_t Raw(const uint8_t* p) { return static_cast<int32_t>(LoadLE32(p)); }
  static double Value(const uint8_t* p) { return Raw(p) / 65536.0; }
  static int32_t Narrow(const uint8_t* p) {
    return Saturate16((static_cast<int64_t>(Raw(p)) + 32768) >> 16);
  }
};

struct Float32 {
  static constexpr int kBytes = 4;
  static constexpr bool kFloat = true;
  static double Value(const uint8_t* p) {
    return static_cast<double>(std::bit_cast<float>(LoadLE32(p))) * kFullScale;
  }
};

struct Float64 {
  static constexpr int kBytes = 8;
  static constexpr bool kFloat = true;
  static double Value(const uint8_t* p) {
    const uint64_t bits =
        static_cast<uint64_t>(LoadLE32(p)) | static_cast<uint64_t>(LoadLE32(p + 4)) << 32;
    return std::bit_cast<double>(bits) * kFullScale;
  }
};

}  // namespace

CWidePcmConversion::CWidePcmConversion(const CSampleLayout& layout, int dstChannels)
    : layout_(layout),
      dstChannels_(dstChannels),
      srcAlign_(static_cast<uint32_t>(layout.channels * layout.bytes)),
      dstAlign_(static_cast<uint32_t>(2 * dstChannels)),
      matrix_(layout.channels, layout.channelMask) {}

void CWidePcmConversion::Reset() { peak_ = 0; }

MMRESULT CWidePcmConversion::Message(uint32_t message, uintptr_t param1, uintptr_t) {
  if (layout_.encoding != CSampleLayout::kFloat ||
      (message != ACMDM_STREAM_GET_PEAK && message != ACMDM_STREAM_SET_GAIN))
    return MMSYSERR_NOTSUPPORTED;
  auto* value = reinterpret_cast<double*>(param1);
  if (!value) return MMSYSERR_INVALPARAM;
  if (message == ACMDM_STREAM_GET_PEAK) {
    *value = peak_ / kFullScale;
    return MMSYSERR_NOERROR;
  }
  if (!(*value >= 0) || !std::isfinite(*value)) return MMSYSERR_INVALPARAM;
  gain_ = *value;
  return MMSYSERR_NOERROR;
}

int32_t CWidePcmConversion::Narrow(double v) {
  const double magnitude = std::fabs(v);
  // An infinite sample is no measure of the loudness: it saturates alone.
  if (magnitude > peak_ && std::isfinite(magnitude)) peak_ = magnitude;
  return Round16(v * gain_);
}

MMRESULT CWidePcmConversion::Size(uint32_t input, uint32_t* output, uint32_t flags) {
  const bool fromSource = flags == ACM_STREAMSIZEF_SOURCE;
  const uint64_t frames = input / (fromSource ? srcAlign_ : dstAlign_);
  const uint64_t result = frames * (fromSource ? dstAlign_ : srcAlign_);
  if (result > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
  *output = static_cast<uint32_t>(result);
  return MMSYSERR_NOERROR;
}

MMRESULT CWidePcmConversion::Convert(ACMSTREAMHEADER* h, uint32_t) {
  const uint32_t frames = std::min(h->cbSrcLength / srcAlign_, h->cbDstLength / dstAlign_);
  const uint8_t* in = h->pbSrc;
  uint8_t* out = h->pbDst;
  if (layout_.encoding == CSampleLayout::kFloat)
    layout_.bytes == 4 ? Decode<Float32>(in, out, frames) : Decode<Float64>(in, out, frames);
  else if (layout_.bytes == 1)
    Decode<Unsigned8>(in, out, frames);
  else if (layout_.bytes == 2)
    Decode<Signed16>(in, out, frames);
  else if (layout_.bytes == 3)
    Decode<Signed24>(in, out, frames);
  else
    Decode<Signed32>(in, out, frames);
  h->cbSrcLengthUsed = frames * srcAlign_;
  h->cbDstLengthUsed = frames * dstAlign_;
  return MMSYSERR_NOERROR;
}

template <class Sample>
void CWidePcmConversion::Decode(const uint8_t* in, uint8_t* out, uint32_t frames) {
  const int channels = layout_.channels;
  if (channels == dstChannels_) {
    const uint32_t samples = frames * static_cast<uint32_t>(channels);
    for (uint32_t i = 0; i < samples; ++i, in += Sample::kBytes, out += 2) {
      if constexpr (Sample::kFloat)
        StoreSample16(out, Narrow(Sample::Value(in)));
      else
        StoreSample16(out, Sample::Narrow(in));
    }
    return;
  }
  for (uint32_t f = 0; f < frames; ++f, out += 4) {
    double left = 0, right = 0;
    for (int c = 0; c < channels; ++c, in += Sample::kBytes) {
      const double v = Sample::Value(in);
      left += matrix_.left[c] * v;
      right += matrix_.right[c] * v;
    }
    StoreSample16(out, Narrow(left));
    StoreSample16(out + 2, Narrow(right));
  }
}
