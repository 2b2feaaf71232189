#include "engine/codecs/MpegAcmDriver.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

#include "engine/codecs/XAMObject.h"
#include "platform/data/ByteOrder.h"

namespace {

// MPEG1WAVEFORMAT's layer field (at byte 18) uses one bit per layer.
constexpr uint16_t kHeadLayer1 = 1, kHeadLayer2 = 2, kHeadLayer3 = 4;

bool MpegRate(uint32_t rate) {
  for (uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
    if (rate == r) return true;
  return false;
}

int LayerOf(const tWAVEFORMATEX* f) {
  if (f->wFormatTag == WAVE_FORMAT_MPEGLAYER3) return 3;
  if (f->cbSize < 2) return 2;
  uint16_t head = LoadLE16(reinterpret_cast<const uint8_t*>(f) + sizeof(tWAVEFORMATEX));
  if (head & kHeadLayer1) return 1;
  if (head & kHeadLayer3) return 3;
  return 2;
}

// One open stream: a decoder object over a layer III style record whose
// frame size follows from the source's rate and average bytes.
class CMpegConversion : public CAcmConversion {
 public:
  explicit CMpegConversion(const tWAVEFORMATEX* src) : decoder_(MakeFormat(src), 0) {
    int layer = LayerOf(src);
    float version = src->nSamplesPerSec >= 32000   ? 1.0f
                    : src->nSamplesPerSec >= 16000 ? 2.0f
                                                   : 2.5f;
    decoder_.SetLayer(layer);
    decoder_.SetVersion(version);
    decoder_.SetMode(src->nChannels == 1 ? 3 : 0);
    decoder_.SetBitRate(src->nAvgBytesPerSec * 8);
    frameBytes_ = static_cast<int64_t>(SamplesPerFrame(layer, version)) * 2 * src->nChannels;
  }

  bool Ready() { return decoder_.EnableStream(1) != 0; }

  MMRESULT Convert(ACMSTREAMHEADER* h, uint32_t) override {
    int64_t used = h->cbSrcLength;
    int64_t made = decoder_.DecodeInto(reinterpret_cast<const char*>(h->pbSrc), used,
                                       reinterpret_cast<char*>(h->pbDst), h->cbDstLength);
    h->cbSrcLengthUsed = static_cast<uint32_t>(used);
    h->cbDstLengthUsed = static_cast<uint32_t>(made);
    return MMSYSERR_NOERROR;
  }

  MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) override {
    double answer;
    if (flags & ACM_STREAMSIZEF_DESTINATION) {
      answer = static_cast<double>(decoder_.GetSourceBufferSize(input));
    } else {
      // Estimates round down to whole frames; room for one frame more.
      answer = std::ceil(decoder_.GetConvertedBufferSize(input)) + static_cast<double>(frameBytes_);
    }
    if (answer > UINT32_MAX) answer = UINT32_MAX;
    *output = static_cast<uint32_t>(answer);
    return *output || input == 0 ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
  }

  void Reset() override { decoder_.Restart(); }

 private:
  static int SamplesPerFrame(int layer, float version) {
    return layer == 1 ? 384 : layer == 3 && version != 1.0f ? 576 : 1152;
  }

  // The record the decoder object reads: its frame size at byte 24.
  const tWAVEFORMATEX* MakeFormat(const tWAVEFORMATEX* src) {
    std::memset(record_, 0, sizeof record_);
    tWAVEFORMATEX f = *src;
    f.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    f.cbSize = sizeof record_ - sizeof(tWAVEFORMATEX);
    std::memcpy(record_, &f, sizeof f);
    int layer = LayerOf(src);
    float version = src->nSamplesPerSec >= 32000   ? 1.0f
                    : src->nSamplesPerSec >= 16000 ? 2.0f
                                                   : 2.5f;
    double frame = static_cast<double>(SamplesPerFrame(layer, version)) * src->nAvgBytesPerSec /
                   src->nSamplesPerSec;
    auto frameSize = static_cast<uint16_t>(std::min(frame, 65535.0));
    StoreLE16(record_ + 24, frameSize);
    return reinterpret_cast<const tWAVEFORMATEX*>(record_);
  }

  uint8_t record_[32];
  XAMObject decoder_;
  int64_t frameBytes_ = 0;
};

}  // namespace

int CMpegAcmDriver::IsMpegFormat(const tWAVEFORMATEX* f) {
  if (!f || (f->wFormatTag != WAVE_FORMAT_MPEGLAYER3 && f->wFormatTag != WAVE_FORMAT_MPEG))
    return 0;
  return (f->nChannels == 1 || f->nChannels == 2) && MpegRate(f->nSamplesPerSec) ? 1 : 0;
}

const char* CMpegAcmDriver::ShortName() const { return "MPEG Audio"; }
const char* CMpegAcmDriver::LongName() const { return "MPEG audio layers I, II and III decoder"; }
int CMpegAcmDriver::FormatTagCount() const { return 3; }

void CMpegAcmDriver::FormatTagDetails(int index, ACMFORMATTAGDETAILSA* d) const {
  if (index == 0)
    acm::CodecTagDetails(0, WAVE_FORMAT_MPEGLAYER3, 30, "MPEG Layer-3", d);
  else if (index == 1)
    acm::CodecTagDetails(0, WAVE_FORMAT_MPEG, 40, "MPEG", d);
  else
    acm::CodecTagDetails(1, WAVE_FORMAT_MPEG, 0, "", d);
}

MMRESULT CMpegAcmDriver::Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                                 uint32_t flags) {
  if (!IsMpegFormat(src) || !dst || dstSize < sizeof(tWAVEFORMATEX)) return ACMERR_NOTPOSSIBLE;
  return acm::SuggestPcm16(src, dst, flags);
}

MMRESULT CMpegAcmDriver::Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                              CAcmConversion** out) {
  if (!IsMpegFormat(src) || !acm::IsPcm16(dst, src->nSamplesPerSec, src->nChannels))
    return ACMERR_NOTPOSSIBLE;
  if (!out) return MMSYSERR_NOERROR;
  auto* c = new (std::nothrow) CMpegConversion(src);
  if (!c || !c->Ready()) {
    delete c;
    *out = nullptr;
    return c ? ACMERR_NOTPOSSIBLE : MMSYSERR_NOMEM;
  }
  *out = c;
  return MMSYSERR_NOERROR;
}

int RegisterMpegAcmDriver() {
  static std::once_flag once;
  static int added = 0;
  std::call_once(once, [] {
    auto* driver = new (std::nothrow) CMpegAcmDriver;
    if (!driver) return;
    HACMDRIVERID id = nullptr;
    if (acmDriverAdd(&id, driver, 0, 0) == MMSYSERR_NOERROR)
      added = 1;
    else
      delete driver;
  });
  return added;
}
