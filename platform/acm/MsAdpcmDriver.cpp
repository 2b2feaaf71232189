#include "platform/acm/MsAdpcmDriver.h"

#include <cstring>
#include <limits>
#include <new>

#include "platform/acm/BlockConversion.h"
#include "platform/audio/PcmSample.h"
#include "platform/data/ByteOrder.h"

namespace {

constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                 768, 614, 512, 409, 307, 230, 230, 230};
constexpr CMsAdpcmDriver::Coefficients kStandard[7] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                       {240, 0}, {460, -208}, {392, -232}};
constexpr uint16_t kMaxChannels = 2;
constexpr int kMinDelta = 16;
// Far above what real streams reach; keeps damaged ones from overflowing.
constexpr int64_t kMaxDelta = 1 << 24;

struct Channel {
  int64_t s1 = 0, s2 = 0;  // newest and previous sample
  int64_t delta = kMinDelta;
  CMsAdpcmDriver::Coefficients coef{};

  int64_t Predict() const { return (s1 * coef.first + s2 * coef.second) >> 8; }

  int Step(int code) {
    int signedCode = code & 8 ? code - 16 : code;
    int v = Saturate16(Predict() + signedCode * delta);
    s2 = s1;
    s1 = v;
    delta = (kAdaptation[code] * delta) >> 8;
    if (delta < kMinDelta) delta = kMinDelta;
    if (delta > kMaxDelta) delta = kMaxDelta;
    return v;
  }

  int Encode(int sample) {
    int64_t err = sample - Predict();
    int64_t half = delta / 2;
    int64_t q = (err + (err >= 0 ? half : -half)) / delta;
    int code = static_cast<int>(q < -8 ? -8 : (q > 7 ? 7 : q)) & 0x0F;
    Step(code);
    return code;
  }
};

class CMsConversion : public CBlockConversion {
 public:
  CMsConversion(bool encoding, uint16_t channels, uint32_t blockAlign, uint32_t spb,
                std::vector<CMsAdpcmDriver::Coefficients> coefficients)
      : CBlockConversion(encoding, channels, blockAlign, spb), coefs_(std::move(coefficients)) {}

 protected:
  uint32_t DecodeBlock(const uint8_t* b, uint32_t len, int16_t* frames) override {
    const uint32_t ch = channels_;
    if (len < 7 * ch) return 0;
    uint32_t count = 2 + (len - 7 * ch) * 2 / ch;
    if (count > samplesPerBlock_) count = samplesPerBlock_;
    Channel state[kMaxChannels];
    bool damaged = false;
    for (uint32_t c = 0; c < ch; ++c) {
      if (b[c] >= coefs_.size())
        damaged = true;
      else
        state[c].coef = coefs_[b[c]];
      state[c].delta = LoadSample16(b + ch + 2 * c);
      state[c].s1 = LoadSample16(b + 3 * ch + 2 * c);
      state[c].s2 = LoadSample16(b + 5 * ch + 2 * c);
    }
    // A predictor the format does not list: the block's frames are silence.
    if (damaged) {
      std::memset(frames, 0, sizeof(int16_t) * count * ch);
      return count;
    }
    for (uint32_t c = 0; c < ch; ++c) {
      frames[c] = static_cast<int16_t>(state[c].s2);
      frames[ch + c] = static_cast<int16_t>(state[c].s1);
    }
    const uint8_t* data = b + 7 * ch;
    for (uint32_t i = 2 * ch, n = 0; i < count * ch; ++i, ++n) {
      uint8_t byte = data[n / 2];
      int code = n & 1 ? byte & 0x0F : byte >> 4;
      frames[i] = static_cast<int16_t>(state[i % ch].Step(code));
    }
    return count;
  }

  void EncodeBlock(const int16_t* frames, uint8_t* b) override {
    const uint32_t ch = channels_;
    std::memset(b, 0, blockAlign_);
    for (uint32_t c = 0; c < ch; ++c) {
      // Tries every listed predictor with a few initial steps; keeps the best.
      int bestPredictor = 0;
      int64_t bestDelta = kMinDelta;
      double bestError = std::numeric_limits<double>::infinity();
      for (size_t p = 0; p < coefs_.size() && p < 256; ++p) {
        for (int64_t d = kMinDelta; d <= 4096; d *= 4) {
          Channel s;
          s.coef = coefs_[p];
          s.delta = d;
          s.s2 = frames[c];
          s.s1 = frames[ch + c];
          double error = 0;
          for (uint32_t f = 2; f < samplesPerBlock_ && error < bestError; ++f) {
            int x = frames[f * ch + c];
            s.Encode(x);
            double e = static_cast<double>(x - s.s1);
            error += e * e;
          }
          if (error < bestError) {
            bestError = error;
            bestPredictor = static_cast<int>(p);
            bestDelta = d;
          }
        }
      }
      state_[c] = Channel{};
      state_[c].coef = coefs_[bestPredictor];
      state_[c].delta = bestDelta;
      state_[c].s2 = frames[c];
      state_[c].s1 = frames[ch + c];
      b[c] = static_cast<uint8_t>(bestPredictor);
      StoreSample16(b + ch + 2 * c, static_cast<int32_t>(bestDelta));
      StoreSample16(b + 3 * ch + 2 * c, frames[ch + c]);
      StoreSample16(b + 5 * ch + 2 * c, frames[c]);
    }
    uint8_t* data = b + 7 * ch;
    for (uint32_t i = 2 * ch, n = 0; i < samplesPerBlock_ * ch; ++i, ++n) {
      int code = state_[i % ch].Encode(frames[i]);
      data[n / 2] |= static_cast<uint8_t>(n & 1 ? code : code << 4);
    }
  }

 private:
  std::vector<CMsAdpcmDriver::Coefficients> coefs_;
  Channel state_[kMaxChannels];
};

}  // namespace

uint32_t CMsAdpcmDriver::MaxSamplesPerBlock(uint32_t blockAlign, uint16_t channels) {
  uint32_t header = 7u * channels;
  return blockAlign < header ? 0 : (blockAlign - header) * 2 / channels + 2;
}

uint32_t CMsAdpcmDriver::ReadFormat(const tWAVEFORMATEX* f, std::vector<Coefficients>* coefs) {
  if (f->wFormatTag != WAVE_FORMAT_ADPCM || f->wBitsPerSample != 4 || f->nChannels < 1 ||
      f->nChannels > kMaxChannels || f->nSamplesPerSec < 1 || f->cbSize < 4)
    return 0;
  const uint8_t* extra = reinterpret_cast<const uint8_t*>(f) + sizeof(tWAVEFORMATEX);
  uint16_t spb = LoadLE16(extra), count = LoadLE16(extra + 2);
  uint32_t most = MaxSamplesPerBlock(f->nBlockAlign, f->nChannels);
  // The pairs must lie inside the extra bytes, and a block must hold its samples.
  if (count < 1 || 4u + 4u * count > f->cbSize || spb < 2 || spb > most) return 0;
  if (coefs) {
    coefs->resize(count);
    for (uint16_t i = 0; i < count; ++i) {
      (*coefs)[i].first = static_cast<int16_t>(LoadLE16(extra + 4 + 4 * i));
      (*coefs)[i].second = static_cast<int16_t>(LoadLE16(extra + 6 + 4 * i));
    }
  }
  return spb;
}

const char* CMsAdpcmDriver::ShortName() const { return "MS-ADPCM"; }
const char* CMsAdpcmDriver::LongName() const { return "Microsoft ADPCM codec"; }
int CMsAdpcmDriver::FormatTagCount() const { return 2; }

void CMsAdpcmDriver::FormatTagDetails(int index, ACMFORMATTAGDETAILSA* d) const {
  acm::CodecTagDetails(index, WAVE_FORMAT_ADPCM, sizeof(tWAVEFORMATEX) + 32, "Microsoft ADPCM", d);
}

MMRESULT CMsAdpcmDriver::Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                                 uint32_t flags) {
  if (ReadFormat(src, nullptr)) return acm::SuggestPcm16(src, dst, flags);
  constexpr uint32_t kExtra = 4 + sizeof kStandard;
  if (!acm::IsUsablePcm(src) || src->wBitsPerSample != 16 || src->nChannels > kMaxChannels ||
      !(flags & ACM_FORMATSUGGESTF_WFORMATTAG) || dst->wFormatTag != WAVE_FORMAT_ADPCM ||
      dstSize < sizeof(tWAVEFORMATEX) + kExtra)
    return ACMERR_NOTPOSSIBLE;
  tWAVEFORMATEX f;
  f.wFormatTag = WAVE_FORMAT_ADPCM;
  f.nChannels = src->nChannels;
  f.nSamplesPerSec = src->nSamplesPerSec;
  f.wBitsPerSample = 4;
  f.nBlockAlign = acm::UsualBlockAlign(src->nSamplesPerSec, src->nChannels);
  uint16_t spb = static_cast<uint16_t>(MaxSamplesPerBlock(f.nBlockAlign, f.nChannels));
  f.nAvgBytesPerSec =
      static_cast<uint32_t>(static_cast<uint64_t>(f.nSamplesPerSec) * f.nBlockAlign / spb);
  f.cbSize = kExtra;
  if (!acm::FixedFieldsAgree(&f, dst, flags)) return ACMERR_NOTPOSSIBLE;
  *dst = f;
  uint8_t* extra = reinterpret_cast<uint8_t*>(dst) + sizeof(tWAVEFORMATEX);
  uint16_t count = 7;
  StoreLE16(extra, spb);
  StoreLE16(extra + 2, count);
  for (int i = 0; i < 7; ++i) {
    StoreLE16(extra + 4 + 4 * i, static_cast<uint16_t>(kStandard[i].first));
    StoreLE16(extra + 6 + 4 * i, static_cast<uint16_t>(kStandard[i].second));
  }
  return MMSYSERR_NOERROR;
}

MMRESULT CMsAdpcmDriver::Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                              CAcmConversion** out) {
  std::vector<Coefficients> coefs;
  bool encoding;
  const tWAVEFORMATEX* ms;
  uint32_t spb;
  if ((spb = ReadFormat(src, &coefs)) && acm::IsPcm16(dst, src->nSamplesPerSec, src->nChannels)) {
    encoding = false;
    ms = src;
  } else if ((spb = ReadFormat(dst, &coefs)) &&
             acm::IsPcm16(src, dst->nSamplesPerSec, dst->nChannels)) {
    encoding = true;
    ms = dst;
  } else {
    return ACMERR_NOTPOSSIBLE;
  }
  if (!out) return MMSYSERR_NOERROR;
  *out = new (std::nothrow)
      CMsConversion(encoding, ms->nChannels, ms->nBlockAlign, spb, std::move(coefs));
  return *out ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}
