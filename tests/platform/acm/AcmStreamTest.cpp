// The registry's calls: handles, headers, sizes, suggestions, tag details,
// drivers added at run time, and formats and blocks from damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/acm/ALawDriver.h"
#include "platform/acm/Acm.h"
#include "platform/acm/MuLawDriver.h"
#include "platform/audio/PcmSample.h"
#include "tests/platform/acm/AcmTestConvert.h"

namespace {

tWAVEFORMATEX Pcm(uint32_t rate, uint16_t channels, uint16_t bits = 16) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return tWAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// A format record followed by its extra bytes.
struct Format {
  alignas(4) uint8_t bytes[128] = {};
  tWAVEFORMATEX* f() { return reinterpret_cast<tWAVEFORMATEX*>(bytes); }
  void Extra16(int index, uint16_t v) { std::memcpy(bytes + 18 + 2 * index, &v, 2); }
};

Format Ima(uint16_t channels, uint16_t blockAlign, uint16_t spb) {
  Format x;
  *x.f() = {WAVE_FORMAT_IMA_ADPCM, channels, 8000, 4000, blockAlign, 4, 2};
  x.Extra16(0, spb);
  return x;
}

Format MsAdpcm(uint16_t channels, uint16_t blockAlign, uint16_t spb, uint16_t coefs,
               uint16_t cbSize) {
  Format x;
  *x.f() = {WAVE_FORMAT_ADPCM, channels, 8000, 4096, blockAlign, 4, cbSize};
  x.Extra16(0, spb);
  x.Extra16(1, coefs);
  const int16_t standard[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
  std::memcpy(x.bytes + 22, standard, sizeof standard);
  return x;
}

bool Opens(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst) {
  return acmStreamOpen(nullptr, nullptr, src, dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) ==
         MMSYSERR_NOERROR;
}

TEST(AcmStreamTest, HeadersMustBePreparedOnTheirStreamWithTheirBuffers) {
  Format ulaw;
  *ulaw.f() = {WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0};
  tWAVEFORMATEX pcm = Pcm(8000, 1);
  HACMSTREAM a = nullptr, b = nullptr;
  ASSERT_EQ(acmStreamOpen(&a, nullptr, ulaw.f(), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(acmStreamOpen(&b, nullptr, ulaw.f(), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  uint8_t src[10] = {0xFF, 0x7F, 0x00, 0x80}, dst[20], other[20];
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = src;
  h.cbSrcLength = sizeof src;
  h.pbDst = dst;
  h.cbDstLength = sizeof dst;
  EXPECT_EQ(acmStreamConvert(a, &h, 0), ACMERR_UNPREPARED);
  ASSERT_EQ(acmStreamPrepareHeader(a, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamConvert(b, &h, 0), ACMERR_UNPREPARED);
  EXPECT_EQ(acmStreamConvert(a, &h, 0x1000), MMSYSERR_INVALFLAG);
  ASSERT_EQ(acmStreamConvert(a, &h, 0), MMSYSERR_NOERROR);
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
  EXPECT_EQ(h.cbSrcLengthUsed, 10u);
  EXPECT_EQ(h.cbDstLengthUsed, 20u);
  EXPECT_EQ(LoadSample16(dst), 0);
  EXPECT_EQ(LoadSample16(dst + 4), -32124);
  EXPECT_EQ(LoadSample16(dst + 6), 32124);
  // Shorter lengths are fine; other buffers or longer lengths are not.
  h.cbSrcLength = 2;
  EXPECT_EQ(acmStreamConvert(a, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbDstLengthUsed, 4u);
  h.cbSrcLength = 11;
  EXPECT_EQ(acmStreamConvert(a, &h, 0), MMSYSERR_INVALPARAM);
  h.cbSrcLength = 10;
  h.pbDst = other;
  EXPECT_EQ(acmStreamConvert(a, &h, 0), MMSYSERR_INVALPARAM);
  h.pbDst = dst;
  EXPECT_EQ(acmStreamUnprepareHeader(b, &h, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmStreamUnprepareHeader(a, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamUnprepareHeader(a, &h, 0), ACMERR_UNPREPARED);

  HACMDRIVERID id = nullptr;
  ASSERT_EQ(acmDriverID(reinterpret_cast<HACMOBJ>(a), &id, 0), MMSYSERR_NOERROR);
  ACMDRIVERDETAILSA details{};
  details.cbStruct = sizeof details;
  ASSERT_EQ(acmDriverDetailsA(id, &details, 0), MMSYSERR_NOERROR);
  EXPECT_STREQ(details.szShortName, "u-Law");

  EXPECT_EQ(acmStreamClose(a, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamClose(b, 0), MMSYSERR_NOERROR);
  // Closed and made-up handles are refused, not followed.
  uint32_t size = 0;
  EXPECT_EQ(acmStreamClose(a, 0), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(acmStreamSize(a, 100, &size, 0), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(acmStreamConvert(reinterpret_cast<HACMSTREAM>(&h), &h, 0), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(acmDriverID(reinterpret_cast<HACMOBJ>(&h), &id, 0), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(acmDriverClose(nullptr, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmStreamTest, SizesOfBlockCodecs) {
  Format ima = Ima(1, 256, 505);
  tWAVEFORMATEX pcm = Pcm(8000, 1);
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, ima.f(), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  uint32_t n = 0;
  EXPECT_EQ(acmStreamSize(s, 256 * 4, &n, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(n, 4u * 505 * 2);
  EXPECT_EQ(acmStreamSize(s, 256 * 4 + 1, &n, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(n, 5u * 505 * 2);  // room for a partial last block
  EXPECT_EQ(acmStreamSize(s, 4 * 505 * 2 + 7, &n, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_EQ(n, 4u * 256);
  EXPECT_EQ(acmStreamSize(s, 100, &n, 7), MMSYSERR_INVALFLAG);
  acmStreamClose(s, 0);
}

TEST(AcmStreamTest, SuggestionsAndTagDetails) {
  Format ms = MsAdpcm(2, 512, 500, 7, 32);
  tWAVEFORMATEX pcm{};
  ASSERT_TRUE(acmtest::SuggestPcm(ms.f(), &pcm));
  EXPECT_EQ(pcm.nChannels, 2);
  EXPECT_EQ(pcm.nBlockAlign, 4);
  EXPECT_EQ(pcm.nAvgBytesPerSec, 32000u);
  // A fixed field the driver cannot meet.
  pcm.nSamplesPerSec = 44100;
  EXPECT_EQ(acmFormatSuggest(nullptr, ms.f(), &pcm, sizeof pcm,
                             ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NSAMPLESPERSEC),
            ACMERR_NOTPOSSIBLE);
  // PCM to PCM keeps what is fixed and completes the rest.
  tWAVEFORMATEX cd = Pcm(22050, 1, 8), want{};
  want.wFormatTag = WAVE_FORMAT_PCM;
  want.nSamplesPerSec = 44100;
  want.wBitsPerSample = 16;
  ASSERT_EQ(acmFormatSuggest(nullptr, &cd, &want, sizeof want,
                             ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NSAMPLESPERSEC |
                                 ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
            MMSYSERR_NOERROR);
  EXPECT_EQ(want.nChannels, 1);
  EXPECT_EQ(want.nAvgBytesPerSec, 88200u);
  // An encoder's format needs room for its extra bytes.
  tWAVEFORMATEX pcm16 = Pcm(44100, 2);
  Format target;
  target.f()->wFormatTag = WAVE_FORMAT_ADPCM;
  EXPECT_EQ(acmFormatSuggest(nullptr, &pcm16, target.f(), 18, ACM_FORMATSUGGESTF_WFORMATTAG),
            ACMERR_NOTPOSSIBLE);
  ASSERT_EQ(acmFormatSuggest(nullptr, &pcm16, target.f(), 50, ACM_FORMATSUGGESTF_WFORMATTAG),
            MMSYSERR_NOERROR);
  EXPECT_EQ(target.f()->cbSize, 32);
  EXPECT_EQ(target.f()->nBlockAlign, 2048);

  ACMFORMATTAGDETAILSA d{};
  d.cbStruct = sizeof d;
  d.dwFormatTag = WAVE_FORMAT_IMA_ADPCM;
  ASSERT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
  EXPECT_STREQ(d.szFormatTag, "IMA ADPCM");
  d.dwFormatTag = WAVE_FORMAT_ALAW;
  ASSERT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
  EXPECT_STREQ(d.szFormatTag, "CCITT A-Law");
  d.dwFormatTag = 0x1234;
  EXPECT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), ACMERR_NOTPOSSIBLE);
  d.dwFormatTag = 0;
  ASSERT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_LARGESTSIZE), MMSYSERR_NOERROR);
  EXPECT_EQ(d.dwFormatTag, WAVE_FORMAT_ADPCM);
  EXPECT_EQ(d.cbFormatSize, 50u);
}

// Every code of both companding laws comes back unchanged (mu-law has two
// codes for zero), and encoding picks the nearest level.
TEST(AcmStreamTest, CompandingLawsRoundTrip) {
  for (int code = 0; code < 256; ++code) {
    auto c = static_cast<uint8_t>(code);
    if (c != 0x7F) {
      EXPECT_EQ(CMuLawDriver::Encode(CMuLawDriver::Decode(c)), c) << code;
    }
    EXPECT_EQ(CALawDriver::Encode(CALawDriver::Decode(c)), c) << code;
  }
  for (int s = -32768; s <= 32767; s += 7) {
    auto v = static_cast<int16_t>(s);
    int mu = CMuLawDriver::Decode(CMuLawDriver::Encode(v));
    int a = CALawDriver::Decode(CALawDriver::Encode(v));
    // Half the loudest segment's step, or the clipping beyond the last level.
    EXPECT_LE(std::abs(mu - s), s > 32124 || s < -32124 ? 1100 : 520) << s;
    EXPECT_LE(std::abs(a - s), 1100) << s;
  }
}

TEST(AcmStreamTest, DamagedFormatsAreRefused) {
  tWAVEFORMATEX pcm1 = Pcm(8000, 1), pcm2 = Pcm(8000, 2);
  EXPECT_TRUE(Opens(Ima(1, 256, 505).f(), &pcm1));
  EXPECT_FALSE(Opens(Ima(1, 0, 505).f(), &pcm1));    // block align 0
  EXPECT_FALSE(Opens(Ima(1, 3, 1).f(), &pcm1));      // shorter than the header
  EXPECT_FALSE(Opens(Ima(1, 256, 506).f(), &pcm1));  // more samples than the block holds
  EXPECT_FALSE(Opens(Ima(1, 256, 0).f(), &pcm1));
  EXPECT_FALSE(Opens(Ima(2, 256, 505).f(), &pcm1));  // channel counts differ
  EXPECT_TRUE(Opens(Ima(2, 512, 505).f(), &pcm2));
  Format noChannels = Ima(1, 256, 505);
  noChannels.f()->nChannels = 0;
  EXPECT_FALSE(Opens(noChannels.f(), &pcm1));
  Format threeBits = Ima(1, 256, 505);
  threeBits.f()->wBitsPerSample = 3;
  EXPECT_FALSE(Opens(threeBits.f(), &pcm1));

  EXPECT_TRUE(Opens(MsAdpcm(1, 256, 500, 7, 32).f(), &pcm1));
  EXPECT_FALSE(Opens(MsAdpcm(1, 256, 500, 8, 32).f(), &pcm1));  // pairs beyond the extra bytes
  EXPECT_FALSE(Opens(MsAdpcm(1, 256, 500, 60000, 32).f(), &pcm1));
  EXPECT_FALSE(Opens(MsAdpcm(1, 256, 500, 7, 3).f(), &pcm1));  // no room for the counts
  EXPECT_FALSE(Opens(MsAdpcm(1, 256, 501, 7, 32).f(), &pcm1));
  EXPECT_FALSE(Opens(MsAdpcm(1, 6, 2, 7, 32).f(), &pcm1));
  EXPECT_FALSE(Opens(MsAdpcm(1, 0, 500, 7, 32).f(), &pcm1));
  EXPECT_FALSE(Opens(MsAdpcm(3, 256, 500, 7, 32).f(), &pcm1));
  EXPECT_TRUE(Opens(MsAdpcm(1, 256, 500, 1, 8).f(), &pcm1));  // one pair is enough

  Format ulaw;
  *ulaw.f() = {WAVE_FORMAT_MULAW, 1, 8000, 8000, 0, 8, 0};
  EXPECT_FALSE(Opens(ulaw.f(), &pcm1));
  tWAVEFORMATEX badPcm = pcm1;
  badPcm.nBlockAlign = 0;
  EXPECT_FALSE(Opens(&pcm1, &badPcm));
  // A PCM source's extra count is never read, however large.
  tWAVEFORMATEX strayExtra = pcm1;
  strayExtra.cbSize = 0xFFFF;
  EXPECT_TRUE(Opens(&strayExtra, &pcm2));
}

// Random bytes as blocks: decoded without reading or writing out of bounds
// (the sanitizer build checks), with the lengths the block layout gives. A
// block that names a predictor the format lacks decodes as silence.
TEST(AcmStreamTest, GarbageBlocksDecodeWithinBounds) {
  std::mt19937 random(7);
  Format formats[] = {Ima(1, 256, 505), Ima(2, 512, 505), MsAdpcm(1, 256, 500, 7, 32),
                      MsAdpcm(2, 512, 500, 2, 12)};
  for (Format& f : formats) {
    tWAVEFORMATEX pcm;
    ASSERT_TRUE(acmtest::SuggestPcm(f.f(), &pcm));
    for (size_t len : {size_t{1}, size_t{5}, size_t{255}, size_t{1537}, size_t{4096}}) {
      std::vector<uint8_t> garbage(len);
      for (auto& b : garbage) b = static_cast<uint8_t>(random());
      bool ok;
      auto out = acmtest::ConvertAll(f.f(), &pcm, garbage, 0, &ok);
      EXPECT_TRUE(ok);
      EXPECT_LE(out.size(), (len / f.f()->nBlockAlign + 1) * 505 * pcm.nBlockAlign);
    }
  }
  Format ms = MsAdpcm(1, 256, 500, 2, 12);
  std::vector<uint8_t> block(256, 0x77);
  block[0] = 5;  // only pairs 0 and 1 exist
  tWAVEFORMATEX pcm = Pcm(8000, 1);
  bool ok;
  auto out = acmtest::ConvertAll(ms.f(), &pcm, block, 0, &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(out.size(), 1000u);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0), 1000);
}

// A driver added at run time: a made-up tag that stores PCM bytes inverted.
class CInvertDriver : public CAcmDriver {
 public:
  static constexpr uint16_t kTag = 0x7F01;
  const char* ShortName() const override { return "Invert"; }
  const char* LongName() const override { return "test"; }
  int FormatTagCount() const override { return 1; }
  void FormatTagDetails(int, ACMFORMATTAGDETAILSA* d) const override {
    d->dwFormatTag = kTag;
    d->cbFormatSize = 18;
    acm::CopyName(d->szFormatTag, sizeof d->szFormatTag, "Inverted PCM");
  }
  MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t, uint32_t) override {
    if (src->wFormatTag != kTag) return ACMERR_NOTPOSSIBLE;
    acm::MakePcm16(dst, src->nSamplesPerSec, src->nChannels);
    return MMSYSERR_NOERROR;
  }
  MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst, CAcmConversion** out) override {
    if (src->wFormatTag != kTag || dst->wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
    if (out) *out = new Conversion;
    return MMSYSERR_NOERROR;
  }
  struct Conversion : CAcmConversion {
    MMRESULT Convert(ACMSTREAMHEADER* h, uint32_t) override {
      uint32_t n = std::min(h->cbSrcLength, h->cbDstLength);
      for (uint32_t i = 0; i < n; ++i) h->pbDst[i] = static_cast<uint8_t>(~h->pbSrc[i]);
      h->cbSrcLengthUsed = h->cbDstLengthUsed = n;
      return MMSYSERR_NOERROR;
    }
    MMRESULT Size(uint32_t in, uint32_t* out, uint32_t) override {
      *out = in;
      return MMSYSERR_NOERROR;
    }
    void Reset() override {}
  };
};

TEST(AcmStreamTest, DriversAddedAtRunTime) {
  tWAVEFORMATEX inverted{CInvertDriver::kTag, 1, 8000, 16000, 2, 16, 0};
  tWAVEFORMATEX pcm{};
  EXPECT_FALSE(acmtest::SuggestPcm(&inverted, &pcm));
  HACMDRIVERID id = nullptr;
  ASSERT_EQ(acmDriverAdd(&id, new CInvertDriver, 0, 0), MMSYSERR_NOERROR);
  ASSERT_TRUE(acmtest::SuggestPcm(&inverted, &pcm));
  ACMFORMATTAGDETAILSA d{};
  d.cbStruct = sizeof d;
  d.dwFormatTag = CInvertDriver::kTag;
  ASSERT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
  EXPECT_STREQ(d.szFormatTag, "Inverted PCM");

  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, &inverted, &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  HACMDRIVERID streamDriver = nullptr;
  ASSERT_EQ(acmDriverID(reinterpret_cast<HACMOBJ>(s), &streamDriver, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(streamDriver, id);
  HACMDRIVER opened = nullptr;
  ASSERT_EQ(acmDriverOpen(&opened, id, 0), MMSYSERR_NOERROR);
  // Removed: no longer found, but the open stream and instance still work.
  ASSERT_EQ(acmDriverRemove(id, 0), MMSYSERR_NOERROR);
  EXPECT_FALSE(acmtest::SuggestPcm(&inverted, &pcm));
  EXPECT_EQ(acmDriverRemove(id, 0), MMSYSERR_INVALHANDLE);
  uint8_t src[4] = {0, 1, 2, 3}, dst[4];
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = src;
  h.cbSrcLength = 4;
  h.pbDst = dst;
  h.cbDstLength = 4;
  ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(dst[3], 0xFC);
  acmStreamUnprepareHeader(s, &h, 0);
  EXPECT_EQ(acmStreamClose(s, 0), MMSYSERR_NOERROR);
  pcm = tWAVEFORMATEX{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  EXPECT_EQ(acmFormatSuggest(opened, &inverted, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG),
            MMSYSERR_NOERROR);
  EXPECT_EQ(acmDriverClose(opened, 0), MMSYSERR_NOERROR);
  // Built-in drivers stay.
  HACMSTREAM us = nullptr;
  tWAVEFORMATEX ulaw{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0}, pcm16 = Pcm(8000, 1);
  ASSERT_EQ(acmStreamOpen(&us, nullptr, &ulaw, &pcm16, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  HACMDRIVERID builtIn = nullptr;
  ASSERT_EQ(acmDriverID(reinterpret_cast<HACMOBJ>(us), &builtIn, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmDriverRemove(builtIn, 0), MMSYSERR_INVALPARAM);
  acmStreamClose(us, 0);
}

}  // namespace
