#include "platform/acm/BlockConversion.h"

#include <algorithm>

#include "platform/audio/PcmSample.h"

CBlockConversion::CBlockConversion(bool encoding, uint16_t channels, uint32_t blockAlign,
                                   uint32_t samplesPerBlock)
    : channels_(channels),
      blockAlign_(blockAlign),
      samplesPerBlock_(samplesPerBlock),
      encoding_(encoding),
      frames_(static_cast<size_t>(samplesPerBlock) * channels) {}

void CBlockConversion::Reset() {
  held_ = 0;
  ResetCodec();
}

MMRESULT CBlockConversion::Size(uint32_t input, uint32_t* output, uint32_t flags) {
  uint64_t frameBytes = 2u * channels_;
  uint64_t pcmBlock = frameBytes * samplesPerBlock_;
  bool toPcm = (flags == ACM_STREAMSIZEF_SOURCE) != encoding_;
  uint64_t result;
  if (!encoding_ && flags == ACM_STREAMSIZEF_SOURCE)  // a partial last block may decode too
    result = (input + blockAlign_ - 1) / blockAlign_ * pcmBlock;
  else if (encoding_ && flags == ACM_STREAMSIZEF_SOURCE)  // room for the held frames as well
    result = (input / frameBytes / samplesPerBlock_ + 1) * blockAlign_;
  else if (toPcm)  // source PCM that fills at most `input` block bytes
    result = input / blockAlign_ * pcmBlock;
  else
    result = input / pcmBlock * blockAlign_;
  if (result > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
  *output = static_cast<uint32_t>(result);
  return MMSYSERR_NOERROR;
}

MMRESULT CBlockConversion::Convert(ACMSTREAMHEADER* h, uint32_t flags) {
  return encoding_ ? Encode(h, flags) : Decode(h, flags);
}

namespace {

void StoreFrames(const int16_t* frames, uint32_t count, uint8_t* out) {
  for (uint32_t i = 0; i < count; ++i) StoreSample16(out + 2 * i, frames[i]);
}

}  // namespace

MMRESULT CBlockConversion::Decode(ACMSTREAMHEADER* h, uint32_t flags) {
  const uint32_t frameBytes = 2u * channels_;
  uint32_t taken = 0, made = 0;
  while (h->cbSrcLength - taken >= blockAlign_ &&
         h->cbDstLength - made >= samplesPerBlock_ * frameBytes) {
    uint32_t n =
        std::min(DecodeBlock(h->pbSrc + taken, blockAlign_, frames_.data()), samplesPerBlock_);
    StoreFrames(frames_.data(), n * channels_, h->pbDst + made);
    taken += blockAlign_;
    made += n * frameBytes;
  }
  uint32_t rest = h->cbSrcLength - taken;
  if (!(flags & ACM_STREAMCONVERTF_BLOCKALIGN) && rest > 0 && rest < blockAlign_) {
    uint32_t n = std::min(DecodeBlock(h->pbSrc + taken, rest, frames_.data()), samplesPerBlock_);
    if (h->cbDstLength - made >= n * frameBytes) {
      StoreFrames(frames_.data(), n * channels_, h->pbDst + made);
      taken += rest;
      made += n * frameBytes;
    }
  }
  h->cbSrcLengthUsed = taken;
  h->cbDstLengthUsed = made;
  return MMSYSERR_NOERROR;
}

MMRESULT CBlockConversion::Encode(ACMSTREAMHEADER* h, uint32_t flags) {
  const uint32_t frameBytes = 2u * channels_;
  const uint32_t available = h->cbSrcLength / frameBytes;
  uint32_t taken = 0, made = 0;
  for (;;) {
    uint32_t need = samplesPerBlock_ - held_;
    uint32_t rest = available - taken;
    uint32_t n = std::min(need, rest);
    if (rest < need || h->cbDstLength - made >= blockAlign_) {
      for (uint32_t i = 0; i < n * channels_; ++i)
        frames_[held_ * channels_ + i] = LoadSample16(h->pbSrc + (taken * channels_ + i) * 2);
      held_ += n;
      taken += n;
    }
    if (held_ < samplesPerBlock_) break;
    EncodeBlock(frames_.data(), h->pbDst + made);
    made += blockAlign_;
    held_ = 0;
  }
  // The last frames of the stream go out as a block padded with silence.
  if ((flags & ACM_STREAMCONVERTF_END) && taken == available && held_ > 0 &&
      h->cbDstLength - made >= blockAlign_) {
    std::fill(frames_.begin() + held_ * channels_, frames_.end(), 0);
    EncodeBlock(frames_.data(), h->pbDst + made);
    made += blockAlign_;
    held_ = 0;
  }
  h->cbSrcLengthUsed = taken * frameBytes;
  h->cbDstLengthUsed = made;
  return MMSYSERR_NOERROR;
}
