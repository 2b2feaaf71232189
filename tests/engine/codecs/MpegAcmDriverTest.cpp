// MPEG audio inside WAV through the codec layer: files made with ffmpeg
// (stream copy of lame and twolame output) decode through an ordinary
// ACMObject and its buffer as mpg123 decodes the bare stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/codecs/ACMBuffer.h"
#include "engine/codecs/ACMObject.h"
#include "engine/codecs/MpegAcmDriver.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/MpegTestFiles.h"
#include "tests/platform/acm/WavTestFile.h"

namespace {

class TestBuffer : public CACMBuffer {
 public:
  using CACMBuffer::CACMBuffer;
  using CACMBuffer::ReadData;
  using CACMBuffer::Seek;
};

TEST(MpegAcmDriverTest, MpegWavDecodesThroughTheCodecLayer) {
  ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame", "twolame", "mpg123", "ffmpeg"}), "");
  ASSERT_EQ(RegisterMpegAcmDriver(), 1);
  ASSERT_EQ(RegisterMpegAcmDriver(), 1);  // once per process
  testsupport::TempDir dir;
  struct Case {
    const char* name;
    const char* encoder;
    int rate, channels;
    uint16_t tag;
  } cases[] = {{"a.mp3", "lame --quiet -b 128", 44100, 2, WAVE_FORMAT_MPEGLAYER3},
               {"b.mp3", "lame --quiet -V 5", 24000, 1, WAVE_FORMAT_MPEGLAYER3},
               {"c.mp2", "twolame --quiet -b 160", 48000, 2, WAVE_FORMAT_MPEG}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mpegtest::Stream s;
    ASSERT_TRUE(mpegtest::Make(dir, c.name, c.encoder, c.rate, c.channels, "2.5", &s));
    std::string wavPath = dir.File(std::string(c.name) + ".in.wav");
    auto r = testsupport::Run("ffmpeg -v error -y -i '" + s.path + "' -c:a copy -f wav '" +
                              wavPath + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    wavtest::Wav wav;
    ASSERT_TRUE(wavtest::ReadWav(wavPath, &wav));
    ASSERT_EQ(wav.Format()->wFormatTag, c.tag);

    ACMObject decoder(wav.Format(), 0, static_cast<int64_t>(wav.format.size()));
    ASSERT_EQ(decoder.SuggestPCMFormat(), 1);
    const tWAVEFORMATEX* pcm = decoder.DestFormat();
    ASSERT_NE(pcm, nullptr);
    EXPECT_EQ(pcm->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(pcm->nChannels, c.channels);
    EXPECT_EQ(pcm->nSamplesPerSec, static_cast<uint32_t>(c.rate));
    EXPECT_EQ(pcm->wBitsPerSample, 16);
    char text[200];
    EXPECT_EQ(decoder.GetSrcFormatStr(text, sizeof text), 1);

    CFileObj file;
    ASSERT_EQ(file.Open(wavPath), 1);
    ASSERT_EQ(
        file.SetDataOffsets(wav.dataOffset, wav.dataOffset + static_cast<int64_t>(wav.data.size())),
        1);
    for (uint32_t piece : {999u, 65536u}) {
      TestBuffer b;
      ASSERT_EQ(b.Init(&file, 65536, 0, 50), 1);
      b.SetACMObject(&decoder);
      b.format = *pcm;
      ASSERT_EQ(b.SetReadVariables(0, s.reference.size() * 4), 1);
      std::vector<uint8_t> got, block(piece);
      for (int guard = 0; guard < 100000; ++guard) {
        int64_t n = b.ReadData(block.data(), piece);
        if (n <= 0) break;
        got.insert(got.end(), block.begin(), block.begin() + n);
      }
      std::vector<int16_t> samples = mpegtest::Samples(got);
      EXPECT_EQ(samples.size(), s.reference.size()) << "piece " << piece;
      EXPECT_GE(mpegtest::Psnr(samples, s.reference), 96.0) << "piece " << piece;
      // A seek restarts the stream; decoding goes on from there.
      ASSERT_NE(b.Seek(got.size() / 2 / pcm->nBlockAlign * pcm->nBlockAlign), 0);
      EXPECT_GT(b.ReadData(block.data(), piece), 0);
    }
  }
}

TEST(MpegAcmDriverTest, RefusesFormatsItCannotDecode) {
  ASSERT_EQ(RegisterMpegAcmDriver(), 1);
  std::vector<uint8_t> record = mpegtest::MpegFormat(44100, 2, 128, 418);
  auto* f = reinterpret_cast<tWAVEFORMATEX*>(record.data());
  EXPECT_EQ(CMpegAcmDriver::IsMpegFormat(f), 1);
  for (auto spoil :
       {+[](tWAVEFORMATEX* g) { g->nChannels = 0; }, +[](tWAVEFORMATEX* g) { g->nChannels = 6; },
        +[](tWAVEFORMATEX* g) { g->nSamplesPerSec = 44000; }}) {
    std::vector<uint8_t> bad = record;
    spoil(reinterpret_cast<tWAVEFORMATEX*>(bad.data()));
    ACMObject decoder(reinterpret_cast<tWAVEFORMATEX*>(bad.data()), 0, 32);
    EXPECT_EQ(decoder.SuggestPCMFormat(), 0);
  }
  // A PCM destination of another shape is not this driver's conversion.
  CMpegAcmDriver driver;
  tWAVEFORMATEX mono{};
  acm::MakePcm16(&mono, 44100, 1);
  EXPECT_EQ(driver.Open(f, &mono, nullptr), ACMERR_NOTPOSSIBLE);
  tWAVEFORMATEX stereo{};
  acm::MakePcm16(&stereo, 44100, 2);
  EXPECT_EQ(driver.Open(f, &stereo, nullptr), MMSYSERR_NOERROR);
}

}  // namespace
