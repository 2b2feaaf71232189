#include "engine/effects/Filter.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/base/SampleBuffer.h"

namespace {

bool Is16Bit(const tWAVEFORMATEX* format) { return format->wBitsPerSample == 16; }

int ReadSample(const uint8_t* at, bool wide) {
  if (wide) return static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8)));
  return (static_cast<int>(at[0]) - 128) * 256;
}

void WriteSample(uint8_t* at, int value, bool wide) {
  if (wide) {
    const auto v = static_cast<uint16_t>(static_cast<int16_t>(value));
    at[0] = static_cast<uint8_t>(v & 0xff);
    at[1] = static_cast<uint8_t>(v >> 8);
  } else {
    at[0] = static_cast<uint8_t>((value >> 8) + 128);
  }
}

// The weighed sum of a history, truncated and saturated to the 16-bit scale.
int Convolve(const std::vector<int>& history, const std::vector<double>& h) {
  const size_t n = h.size();
  double y = 0.0;
  for (size_t k = 0; k < n; ++k) y += static_cast<double>(history[n - 1 - k]) * h[k];
  if (std::isnan(y)) return 0;
  return static_cast<int>(std::clamp(y, -32768.0, 32767.0));
}

// Takes in the newest sample and gives the filtered one; the history then
// moves one slot toward its start.
int Step(std::vector<int>& history, const std::vector<double>& h, int sample) {
  history.back() = sample;
  const int y = Convolve(history, h);
  std::copy(history.begin() + 1, history.end(), history.begin());
  return y;
}

}  // namespace

CFilter::CFilter(int taps, int stereo) : CFilter(taps, stereo, EFFECT_FILTER) {}

CFilter::CFilter(int taps, int stereo, TEffectType type)
    : CEffect(type), stereo_(stereo ? 1 : 0), taps_(taps) {}

CFilter::~CFilter() = default;

CEffect* CFilter::Copy() {
  try {
    return new CFilter(*this);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void CFilter::Flush() {
  std::fill(historyLeft_.begin(), historyLeft_.end(), 0);
  std::fill(historyRight_.begin(), historyRight_.end(), 0);
}

int CFilter::SetCoefficients(int taps, const double* coefficients, int stereo, long) {
  if (taps < 1 || !coefficients) return 0;
  try {
    std::vector<double> h(coefficients, coefficients + taps);
    std::vector<int> left(static_cast<size_t>(taps), 0);
    std::vector<int> right(stereo ? static_cast<size_t>(taps) : 0, 0);
    coefficients_.swap(h);
    historyLeft_.swap(left);
    historyRight_.swap(right);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  taps_ = taps;
  stereo_ = stereo ? 1 : 0;
  return 1;
}

int CFilter::Work(_bufferType* in, _bufferType* out) {
  if (!out) out = in;
  if (!in || !in->format || !in->data || !out->data || coefficients_.empty() ||
      in->precision != PRECISION_NATIVE || out->precision != PRECISION_NATIVE)
    return 0;
  const tWAVEFORMATEX* outFormat = out->format ? out->format : in->format;
  const bool inWide = Is16Bit(in->format), outWide = Is16Bit(outFormat);
  const int channels = stereo_ ? 2 : 1;
  const uint32_t inFrame = channels * (inWide ? 2 : 1), outFrame = channels * (outWide ? 2 : 1);
  const uint8_t* src = in->data;
  uint8_t* dst = out->data;
  uint32_t read = 0, written = 0;
  // In place, each frame is read before the same bytes are written.
  while (read + inFrame <= in->bufferBytes && written + outFrame <= out->bufferBytes) {
    const int left = Step(historyLeft_, coefficients_, ReadSample(src + read, inWide));
    WriteSample(dst + written, left, outWide);
    if (stereo_) {
      const int right =
          Step(historyRight_, coefficients_, ReadSample(src + read + (inWide ? 2 : 1), inWide));
      WriteSample(dst + written + (outWide ? 2 : 1), right, outWide);
    }
    read += inFrame;
    written += outFrame;
  }
  out->dataBytes = written;
  return 1;
}
