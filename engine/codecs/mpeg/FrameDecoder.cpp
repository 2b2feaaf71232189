// Frame decoding: checks the frame, lets the layer's decoder produce subband
// samples, and runs the synthesis filter bank of each channel.
#include "engine/codecs/mpeg/FrameDecoder.h"

#include <cstring>

#include "engine/codecs/mpeg/Layer12.h"
#include "engine/codecs/mpeg/Layer3.h"
#include "engine/codecs/mpeg/Synthesis.h"

namespace mpegaudio {

CFrameDecoder::CFrameDecoder()
    : layer12_(std::make_unique<CLayer12>()), layer3_(std::make_unique<CLayer3>()) {
  synthesis_[0] = std::make_unique<CSynthesis>();
  synthesis_[1] = std::make_unique<CSynthesis>();
}

CFrameDecoder::~CFrameDecoder() = default;

void CFrameDecoder::Reset() {
  layer3_->Reset();
  synthesis_[0]->Reset();
  synthesis_[1]->Reset();
  crcErrors_ = 0;
  sampleRate_ = 0;
}

int CFrameDecoder::DecodeFrame(const FrameHeader& h, const uint8_t* frame, size_t len,
                               int16_t* pcm) {
  const int nch = h.channels == 1 ? 1 : 2;
  const int samples =
      (h.samplesPerFrame > 0 && h.samplesPerFrame <= 1152) ? h.samplesPerFrame : 1152;
  auto fail = [&](int code) {
    std::memset(pcm, 0, sizeof(int16_t) * samples * nch);
    // The next good frame does not follow the last one played: it starts
    // from a clean filter bank and IMDCT overlap, as after a seek.
    synthesis_[0]->Reset();
    synthesis_[1]->Reset();
    layer3_->ResetOverlap();
    return code;
  };

  const size_t headerBytes = h.protection ? 6 : 4;
  if (h.layer < 1 || h.layer > 3 || h.frameBytes <= int(headerBytes) ||
      len < size_t(h.frameBytes) || h.channels < 1 || h.channels > 2 ||
      h.samplesPerFrame != samples)
    return fail(kFrameBadData);
  // Frames at another sample rate belong to another stream joined on: they
  // start from a clean decoder, as after a seek, instead of continuing the
  // filter bank and reservoir of a signal at the old rate.
  if (h.sampleRate != sampleRate_) {
    if (sampleRate_ != 0) {
      layer3_->Reset();
      synthesis_[0]->Reset();
      synthesis_[1]->Reset();
    }
    sampleRate_ = h.sampleRate;
  }
  const uint8_t* data = frame + headerBytes;
  const size_t dataLen = size_t(h.frameBytes) - headerBytes;

  int slots = 0;
  int protectedBits = -1;
  if (h.layer == 3) {
    if (h.protection) protectedBits = Layer3SideInfoBits(h);
    int result = layer3_->Decode(h, data, dataLen, subbands_, &slots);
    if (result < 0) return fail(result);
  } else {
    slots = layer12_->Decode(h, data, dataLen, subbands_);
    if (slots < 0) return fail(slots);
    if (h.protection) protectedBits = layer12_->ProtectedBits();
  }
  // A CRC mismatch is counted but the frame is still played: the damage is
  // usually small, and dropping it would leave a gap of silence instead.
  if (protectedBits >= 0 && !CheckFrameCrc(frame, size_t(h.frameBytes), protectedBits))
    ++crcErrors_;

  if (slots * 32 != samples) return fail(kFrameBadData);
  for (int ch = 0; ch < nch; ++ch) synthesis_[ch]->Run(subbands_[ch], slots, pcm + ch, nch);
  return kFrameOk;
}

}  // namespace mpegaudio
