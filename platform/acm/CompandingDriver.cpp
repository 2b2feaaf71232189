#include "platform/acm/CompandingDriver.h"

#include <algorithm>
#include <new>

#include "platform/audio/PcmSample.h"

namespace {

class CDecodeConversion : public CAcmConversion {
 public:
  CDecodeConversion(CCompandingDriver::DecodeFn decode, uint16_t channels)
      : decode_(decode), channels_(channels) {}
  void Reset() override {}
  MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) override {
    uint64_t frames = input / (flags == ACM_STREAMSIZEF_SOURCE ? channels_ : 2u * channels_);
    uint64_t result = flags == ACM_STREAMSIZEF_SOURCE ? frames * 2 * channels_ : frames * channels_;
    if (result > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
    *output = static_cast<uint32_t>(result);
    return MMSYSERR_NOERROR;
  }
  MMRESULT Convert(ACMSTREAMHEADER* h, uint32_t) override {
    uint32_t samples =
        std::min(h->cbSrcLength / channels_, h->cbDstLength / (2u * channels_)) * channels_;
    for (uint32_t i = 0; i < samples; ++i) StoreSample16(h->pbDst + 2 * i, decode_(h->pbSrc[i]));
    h->cbSrcLengthUsed = samples;
    h->cbDstLengthUsed = samples * 2;
    return MMSYSERR_NOERROR;
  }

 private:
  CCompandingDriver::DecodeFn decode_;
  uint32_t channels_;
};

class CEncodeConversion : public CAcmConversion {
 public:
  CEncodeConversion(CCompandingDriver::EncodeFn encode, uint16_t channels)
      : encode_(encode), channels_(channels) {}
  void Reset() override {}
  MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) override {
    uint64_t frames = input / (flags == ACM_STREAMSIZEF_SOURCE ? 2u * channels_ : channels_);
    uint64_t result = flags == ACM_STREAMSIZEF_SOURCE ? frames * channels_ : frames * 2 * channels_;
    if (result > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
    *output = static_cast<uint32_t>(result);
    return MMSYSERR_NOERROR;
  }
  MMRESULT Convert(ACMSTREAMHEADER* h, uint32_t) override {
    uint32_t samples =
        std::min(h->cbSrcLength / (2u * channels_), h->cbDstLength / channels_) * channels_;
    for (uint32_t i = 0; i < samples; ++i) h->pbDst[i] = encode_(LoadSample16(h->pbSrc + 2 * i));
    h->cbSrcLengthUsed = samples * 2;
    h->cbDstLengthUsed = samples;
    return MMSYSERR_NOERROR;
  }

 private:
  CCompandingDriver::EncodeFn encode_;
  uint32_t channels_;
};

}  // namespace

CCompandingDriver::CCompandingDriver(uint16_t tag, const char* tagName, DecodeFn decode,
                                     EncodeFn encode)
    : tag_(tag), tagName_(tagName), decode_(decode), encode_(encode) {}

int CCompandingDriver::FormatTagCount() const { return 2; }

void CCompandingDriver::FormatTagDetails(int index, ACMFORMATTAGDETAILSA* d) const {
  acm::CodecTagDetails(index, tag_, sizeof(tWAVEFORMATEX), tagName_, d);
}

bool CCompandingDriver::IsOwnFormat(const tWAVEFORMATEX* f) const {
  return f->wFormatTag == tag_ && f->wBitsPerSample == 8 && f->nChannels >= 1 &&
         f->nChannels <= 8 && f->nBlockAlign == f->nChannels && f->nSamplesPerSec >= 1;
}

MMRESULT CCompandingDriver::Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t,
                                    uint32_t flags) {
  tWAVEFORMATEX f{};
  if (IsOwnFormat(src)) {
    acm::MakePcm16(&f, src->nSamplesPerSec, src->nChannels);
  } else if (acm::IsUsablePcm(src) && src->wBitsPerSample == 16 &&
             (flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag == tag_) {
    f.wFormatTag = tag_;
    f.nChannels = src->nChannels;
    f.nSamplesPerSec = src->nSamplesPerSec;
    f.wBitsPerSample = 8;
    f.nBlockAlign = src->nChannels;
    f.nAvgBytesPerSec = src->nSamplesPerSec * src->nChannels;
  } else {
    return ACMERR_NOTPOSSIBLE;
  }
  if (!acm::FixedFieldsAgree(&f, dst, flags)) return ACMERR_NOTPOSSIBLE;
  *dst = f;
  return MMSYSERR_NOERROR;
}

MMRESULT CCompandingDriver::Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                                 CAcmConversion** out) {
  CAcmConversion* c = nullptr;
  if (IsOwnFormat(src) && acm::IsPcm16(dst, src->nSamplesPerSec, src->nChannels)) {
    if (!out) return MMSYSERR_NOERROR;
    c = new (std::nothrow) CDecodeConversion(decode_, src->nChannels);
  } else if (IsOwnFormat(dst) && acm::IsPcm16(src, dst->nSamplesPerSec, dst->nChannels)) {
    if (!out) return MMSYSERR_NOERROR;
    c = new (std::nothrow) CEncodeConversion(encode_, dst->nChannels);
  } else {
    return ACMERR_NOTPOSSIBLE;
  }
  *out = c;
  return c ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}
