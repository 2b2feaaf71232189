// BladeEnc.so: the basic record only, MPEG-1 at constant bit rate without
// joint stereo, and never a VBR header.
#include <gtest/gtest.h>

#include "tests/platform/outside/EncoderLibrary.h"

using mp3test::BasicRecord;
using mp3test::EncoderLibrary;

namespace {

class BladeEnc : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"sox", "mpg123"}), "");
    ASSERT_TRUE(lib.Complete()) << "BladeEnc.so lacks an entry point";
  }

  EncoderLibrary lib{"BladeEnc.so"};
  testsupport::TempDir dir;
};

TEST_F(BladeEnc, EncodesTheBasicRecord) {
  struct Case {
    uint32_t rate;
    int channels;
    uint8_t mode;
    uint16_t kbps;
    const char* report;
  };
  for (const Case& c :
       {Case{48000, 2, BE_MP3_MODE_STEREO, 192, "MPEG 1.0 L III cbr192 48000 stereo"},
        Case{32000, 1, BE_MP3_MODE_MONO, 64, "MPEG 1.0 L III cbr64 32000 mono"},
        Case{44100, 2, BE_MP3_MODE_DUALCHANNEL, 320, "MPEG 1.0 L III cbr320 44100 dual"}}) {
    SCOPED_TRACE(c.report);
    auto config = BasicRecord(c.rate, c.mode, c.kbps);
    config.bCRC = 1;
    const std::string path = dir.File("blade.mp3");
    const auto e =
        lib.EncodeToFile(&config, mp3test::MakePcm(dir, c.rate, c.channels, "0.5"), path);
    ASSERT_EQ(e.result, BE_ERR_SUCCESSFUL);
    EXPECT_EQ(e.samplesPerCall, 1152u * c.channels);
    EXPECT_EQ(mp3test::Mpg123Report(path), c.report);
    const std::string data = testsupport::ReadFile(path);
    const auto frames = mp3test::Frames(data);
    ASSERT_FALSE(frames.empty());
    EXPECT_FALSE(mp3test::IsTagFrame(data, frames[0]));
    for (const auto& f : frames) EXPECT_TRUE(f.crc && f.kbps == c.kbps) << f.offset;
  }
}

TEST_F(BladeEnc, RefusesWhatOnlyLameOffers) {
  EXPECT_EQ(lib.Symbol("beWriteVBRHeader"), nullptr);
  uint32_t samples = 0, bytes = 0;
  HBE_STREAM stream = 0;
  BE_CONFIG_LAME_RECORD extended{};
  extended.dwConfig = BE_CONFIG_LAME;
  extended.dwStructVersion = 1;
  extended.dwStructSize = sizeof extended;
  extended.dwSampleRate = 44100;
  extended.dwBitrate = 128;
  EXPECT_EQ(lib.init(&extended, &samples, &bytes, &stream), BE_ERR_INVALID_FORMAT);
  for (auto config :
       {BasicRecord(22050, BE_MP3_MODE_STEREO, 64), BasicRecord(44100, BE_MP3_MODE_JSTEREO, 128),
        BasicRecord(44100, BE_MP3_MODE_STEREO, 144), BasicRecord(44100, BE_MP3_MODE_STEREO, 0)})
    EXPECT_EQ(lib.init(&config, &samples, &bytes, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(stream, 0u);
  EXPECT_EQ(lib.close(1), BE_ERR_INVALID_HANDLE);

  BE_VERSION version{};
  lib.version(&version);
  EXPECT_EQ(version.byDLLMajorVersion, 1);
  EXPECT_EQ(version.byDLLMinorVersion, 0);
  EXPECT_EQ(version.byMajorVersion, 3);
}

}  // namespace
