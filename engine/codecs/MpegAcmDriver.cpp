#include "engine/codecs/MpegAcmDriver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "engine/codecs/XAMObject.h"
#include "engine/codecs/mpeg/MpegHeader.h"
#include "platform/data/ByteOrder.h"

namespace {

bool MpegRate(uint32_t rate) {
  for (uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
    if (rate == r) return true;
  return false;
}

// Layer III for its own tag; for the MPEG tag, the layer its header-layer
// bits name (layer II when the record has none).
int LayerOf(const tWAVEFORMATEX* f) {
  if (f->wFormatTag == WAVE_FORMAT_MPEGLAYER3) return 3;
  if (!FormatHolds(*f, offsetof(tMPEG1WAVEFORMAT, fwHeadLayer) + sizeof(uint16_t))) return 2;
  const uint16_t head = reinterpret_cast<const tMPEG1WAVEFORMAT*>(f)->fwHeadLayer;
  if (head & ACM_MPEG_LAYER1) return 1;
  if (head & ACM_MPEG_LAYER3) return 3;
  return 2;
}

// The MPEG version the sample rate belongs to.
float VersionOf(const tWAVEFORMATEX* f) {
  return f->nSamplesPerSec >= 32000 ? 1.0f : f->nSamplesPerSec >= 16000 ? 2.0f : 2.5f;
}

int SamplesPerFrame(int layer, float version) {
  return mpegaudio::SamplesPerFrame(layer, version != 1.0f);
}

// One open stream: a decoder object over a layer III style record whose
// frame size follows from the source's rate and average bytes.
class CMpegConversion : public CAcmConversion {
 public:
  explicit CMpegConversion(const tWAVEFORMATEX* src)
      : record_(MakeFormat(src)), decoder_(&record_.wfx, 0) {
    int layer = LayerOf(src);
    float version = VersionOf(src);
    decoder_.SetLayer(layer);
    decoder_.SetVersion(version);
    decoder_.SetMode(src->nChannels == 1 ? 3 : 0);
    decoder_.SetBitRate(src->nAvgBytesPerSec * 8);
    frameBytes_ = static_cast<int64_t>(SamplesPerFrame(layer, version)) * 2 * src->nChannels;
  }

  bool Ready() { return decoder_.EnableStream(1) != 0; }

  MMRESULT Convert(ACMSTREAMHEADER* h, uint32_t flags) override {
    int64_t used = h->cbSrcLength;
    int64_t made = decoder_.DecodeInto(reinterpret_cast<const char*>(h->pbSrc), used,
                                       reinterpret_cast<char*>(h->pbDst), h->cbDstLength,
                                       (flags & ACM_STREAMCONVERTF_END) != 0);
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
  // The record the decoder object reads: the source's wave format as layer
  // III, its block size the frame size.
  static tMPEGLAYER3WAVEFORMAT MakeFormat(const tWAVEFORMATEX* src) {
    tMPEGLAYER3WAVEFORMAT r{};
    r.wfx = *src;
    r.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    r.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    double frame = static_cast<double>(SamplesPerFrame(LayerOf(src), VersionOf(src))) *
                   src->nAvgBytesPerSec / src->nSamplesPerSec;
    r.nBlockSize = static_cast<uint16_t>(std::min(frame, 65535.0));
    return r;
  }

  tMPEGLAYER3WAVEFORMAT record_;
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
    acm::CodecTagDetails(0, WAVE_FORMAT_MPEGLAYER3, sizeof(tMPEGLAYER3WAVEFORMAT), "MPEG Layer-3",
                         d);
  else if (index == 1)
    acm::CodecTagDetails(0, WAVE_FORMAT_MPEG, sizeof(tMPEG1WAVEFORMAT), "MPEG", d);
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
  std::unique_ptr<CMpegConversion> c(new (std::nothrow) CMpegConversion(src));
  if (!c || !c->Ready()) {
    *out = nullptr;
    return c ? ACMERR_NOTPOSSIBLE : MMSYSERR_NOMEM;
  }
  *out = c.release();  // the codec layer owns the open stream
  return MMSYSERR_NOERROR;
}

int RegisterMpegAcmDriver() {
  static std::once_flag once;
  static int added = 0;
  std::call_once(once, [] {
    std::unique_ptr<CMpegAcmDriver> driver(new (std::nothrow) CMpegAcmDriver);
    if (!driver) return;
    HACMDRIVERID id = nullptr;
    if (acmDriverAdd(&id, driver.get(), 0, 0) != MMSYSERR_NOERROR) return;
    driver.release();  // the codec layer owns an added driver
    added = 1;
  });
  return added;
}
