#include "platform/acm/ImaAdpcmDriver.h"

#include <cstring>
#include <new>

#include "platform/acm/BlockConversion.h"
#include "platform/audio/PcmSample.h"
#include "platform/data/ByteOrder.h"

namespace {

constexpr int kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kIndexTable[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr uint16_t kMaxChannels = 8;

int ClampIndex(int i) { return i < 0 ? 0 : (i > 88 ? 88 : i); }

struct ChannelState {
  int predictor = 0;
  int index = 0;

  // Applies one 4-bit code and returns the new sample.
  int Step(int code) {
    int step = kStepTable[index];
    int diff = step >> 3;
    if (code & 4) diff += step;
    if (code & 2) diff += step >> 1;
    if (code & 1) diff += step >> 2;
    predictor = Saturate16(code & 8 ? predictor - diff : predictor + diff);
    index = ClampIndex(index + kIndexTable[code & 7]);
    return predictor;
  }

  int Encode(int sample) {
    int diff = sample - predictor;
    int code = 0;
    if (diff < 0) {
      code = 8;
      diff = -diff;
    }
    int step = kStepTable[index];
    for (int bit = 4; bit; bit >>= 1, step >>= 1) {
      if (diff >= step) {
        code |= bit;
        diff -= step;
      }
    }
    Step(code);
    return code;
  }
};

class CImaConversion : public CBlockConversion {
 public:
  using CBlockConversion::CBlockConversion;

 protected:
  uint32_t DecodeBlock(const uint8_t* block, uint32_t len, int16_t* frames) override {
    const uint32_t header = 4u * channels_;
    if (len < header) return 0;
    ChannelState state[kMaxChannels];
    for (uint16_t c = 0; c < channels_; ++c) {
      state[c].predictor = LoadSample16(block + 4 * c);
      state[c].index = ClampIndex(block[4 * c + 2]);
      frames[c] = static_cast<int16_t>(state[c].predictor);
    }
    uint32_t groups = (len - header) / header;  // 4 bytes of every channel: 8 frames
    uint32_t count = 1 + groups * 8;
    if (count > samplesPerBlock_) count = samplesPerBlock_;
    for (uint32_t f = 1; f < count; ++f) {
      uint32_t g = (f - 1) / 8, k = (f - 1) % 8;
      for (uint16_t c = 0; c < channels_; ++c) {
        uint8_t byte = block[header + g * header + 4 * c + k / 2];
        int code = k & 1 ? byte >> 4 : byte & 0x0F;
        frames[f * channels_ + c] = static_cast<int16_t>(state[c].Step(code));
      }
    }
    return count;
  }

  void EncodeBlock(const int16_t* frames, uint8_t* block) override {
    const uint32_t header = 4u * channels_;
    std::memset(block, 0, blockAlign_);
    for (uint16_t c = 0; c < channels_; ++c) {
      state_[c].predictor = frames[c];
      StoreSample16(block + 4 * c, frames[c]);
      block[4 * c + 2] = static_cast<uint8_t>(state_[c].index);
    }
    for (uint32_t f = 1; f < samplesPerBlock_; ++f) {
      uint32_t g = (f - 1) / 8, k = (f - 1) % 8;
      for (uint16_t c = 0; c < channels_; ++c) {
        int code = state_[c].Encode(frames[f * channels_ + c]);
        block[header + g * header + 4 * c + k / 2] |=
            static_cast<uint8_t>(k & 1 ? code << 4 : code);
      }
    }
  }

  void ResetCodec() override {
    for (auto& s : state_) s = ChannelState{};
  }

 private:
  ChannelState state_[kMaxChannels];  // the step index runs on from block to block
};

}  // namespace

uint32_t CImaAdpcmDriver::MaxSamplesPerBlock(uint32_t blockAlign, uint16_t channels) {
  uint32_t header = 4u * channels;
  return blockAlign < header ? 0 : (blockAlign - header) / header * 8 + 1;
}

uint32_t CImaAdpcmDriver::SamplesPerBlock(const tWAVEFORMATEX* f) {
  if (f->wFormatTag != WAVE_FORMAT_IMA_ADPCM || f->wBitsPerSample != 4 || f->nChannels < 1 ||
      f->nChannels > kMaxChannels || f->nSamplesPerSec < 1)
    return 0;
  uint32_t most = MaxSamplesPerBlock(f->nBlockAlign, f->nChannels);
  if (most == 0) return 0;
  if (f->cbSize < 2) return most;
  uint16_t stored = LoadLE16(reinterpret_cast<const uint8_t*>(f) + sizeof(tWAVEFORMATEX));
  // More samples than the block can hold would be read from past the block.
  return stored >= 1 && stored <= most ? stored : 0;
}

const char* CImaAdpcmDriver::ShortName() const { return "IMA ADPCM"; }
const char* CImaAdpcmDriver::LongName() const { return "IMA ADPCM codec"; }
int CImaAdpcmDriver::FormatTagCount() const { return 2; }

void CImaAdpcmDriver::FormatTagDetails(int index, ACMFORMATTAGDETAILSA* d) const {
  acm::CodecTagDetails(index, WAVE_FORMAT_IMA_ADPCM, sizeof(tWAVEFORMATEX) + 2, "IMA ADPCM", d);
}

MMRESULT CImaAdpcmDriver::Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                                  uint32_t flags) {
  if (SamplesPerBlock(src)) return acm::SuggestPcm16(src, dst, flags);
  if (!acm::IsUsablePcm(src) || src->wBitsPerSample != 16 ||
      !(flags & ACM_FORMATSUGGESTF_WFORMATTAG) || dst->wFormatTag != WAVE_FORMAT_IMA_ADPCM ||
      dstSize < sizeof(tWAVEFORMATEX) + 2)
    return ACMERR_NOTPOSSIBLE;
  tWAVEFORMATEX f;
  f.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  f.nChannels = src->nChannels;
  f.nSamplesPerSec = src->nSamplesPerSec;
  f.wBitsPerSample = 4;
  f.nBlockAlign = acm::UsualBlockAlign(src->nSamplesPerSec, src->nChannels);
  uint16_t spb = static_cast<uint16_t>(MaxSamplesPerBlock(f.nBlockAlign, f.nChannels));
  f.nAvgBytesPerSec =
      static_cast<uint32_t>(static_cast<uint64_t>(f.nSamplesPerSec) * f.nBlockAlign / spb);
  f.cbSize = 2;
  if (!acm::FixedFieldsAgree(&f, dst, flags)) return ACMERR_NOTPOSSIBLE;
  *dst = f;
  StoreLE16(reinterpret_cast<uint8_t*>(dst) + sizeof(tWAVEFORMATEX), spb);
  return MMSYSERR_NOERROR;
}

MMRESULT CImaAdpcmDriver::Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                               CAcmConversion** out) {
  bool encoding;
  const tWAVEFORMATEX* ima;
  if (SamplesPerBlock(src) && acm::IsPcm16(dst, src->nSamplesPerSec, src->nChannels)) {
    encoding = false;
    ima = src;
  } else if (SamplesPerBlock(dst) && acm::IsPcm16(src, dst->nSamplesPerSec, dst->nChannels)) {
    encoding = true;
    ima = dst;
  } else {
    return ACMERR_NOTPOSSIBLE;
  }
  if (!out) return MMSYSERR_NOERROR;
  *out = new (std::nothrow)
      CImaConversion(encoding, ima->nChannels, ima->nBlockAlign, SamplesPerBlock(ima));
  return *out ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}
