// Lame_enc.so against the outside decoders: what the records ask for is what
// the files carry, and the VBR header makes the decoded length exact.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/platform/outside/EncoderLibrary.h"

using mp3test::EncoderLibrary;
using mp3test::LameRecord;

namespace {

class LameEnc : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"sox", "mpg123", "ffmpeg", "ffprobe"}), "");
    ASSERT_TRUE(lib.Complete() && lib.writeVbrHeader) << "Lame_enc.so lacks an entry point";
  }

  EncoderLibrary lib{"Lame_enc.so"};
  testsupport::TempDir dir;
};

// A 2048-byte ID3v2.3 tag of padding alone, as the writers reserve it.
std::string ReservedId3v2() {
  std::string tag(2048, '\0');
  const uint32_t size = 2048 - 10;
  tag.replace(0, 6, "ID3\x03\x00\x00", 6);
  for (int i = 0; i < 4; ++i) tag[6 + i] = static_cast<char>((size >> (7 * (3 - i))) & 0x7F);
  return tag;
}

TEST_F(LameEnc, ConstantBitRateWithoutTagFrame) {
  const auto pcm = mp3test::MakePcm(dir, 44100, 2, "1");
  auto config = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
  const std::string path = dir.File("cbr.mp3");
  const auto e = lib.EncodeToFile(&config, pcm, path);
  ASSERT_EQ(e.result, BE_ERR_SUCCESSFUL);
  EXPECT_EQ(e.samplesPerCall, 2304u);
  EXPECT_GE(e.outputBytes, 1152u * 5 / 4 + 7200);

  EXPECT_EQ(mp3test::Mpg123Report(path), "MPEG 1.0 L III cbr128 44100 stereo");
  EXPECT_EQ(mp3test::Probe(path, "bit_rate"), "128000");
  EXPECT_EQ(mp3test::Probe(path, "sample_rate"), "44100");
  EXPECT_EQ(mp3test::Probe(path, "channels"), "2");
  const std::string data = testsupport::ReadFile(path);
  const auto frames = mp3test::Frames(data);
  ASSERT_GT(frames.size(), 38u);  // 1 s at 1152 samples a frame
  EXPECT_FALSE(mp3test::IsTagFrame(data, frames[0]));
  for (const auto& f : frames) EXPECT_TRUE(f.kbps == 128 && !f.crc && f.mode == 0) << f.offset;
  // Without a tag the decoder cannot drop the encoder's delay: more comes out.
  EXPECT_GT(mp3test::DecodedFrames(path, 2), pcm.size() / 2);
}

TEST_F(LameEnc, VbrHeaderBehindId3v2GivesExactLength) {
  for (const char* seconds : {"1", "1.013", "0.02"}) {
    SCOPED_TRACE(seconds);
    const auto pcm = mp3test::MakePcm(dir, 44100, 2, seconds);
    auto config = LameRecord(44100, BE_MP3_MODE_JSTEREO, 32);
    config.dwMaxBitrate = 320;
    config.bEnableVBR = 1;
    config.nVBRQuality = 4;
    config.nVbrMethod = VBR_METHOD_MTRH;
    config.bWriteVBRHeader = 1;
    const std::string path = dir.File("vbr.mp3");
    ASSERT_EQ(lib.EncodeToFile(&config, pcm, path, ReservedId3v2()).result, BE_ERR_SUCCESSFUL);
    ASSERT_EQ(lib.writeVbrHeader(path.c_str()), BE_ERR_SUCCESSFUL);

    const std::string data = testsupport::ReadFile(path);
    const auto frames = mp3test::Frames(data, 2048);
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(mp3test::IsTagFrame(data, frames[0]));
    EXPECT_EQ(data.substr(0, 2048), ReservedId3v2());
    EXPECT_EQ(mp3test::Mpg123Report(path).substr(0, 20), "MPEG 1.0 L III vbr 4");
    EXPECT_EQ(mp3test::DecodedFrames(path, 2), pcm.size() / 2);
    // Written again, the same frame lands in the same place.
    ASSERT_EQ(lib.writeVbrHeader(path.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(testsupport::ReadFile(path), data);
  }
  EXPECT_NE(lib.writeVbrHeader(dir.File("missing.mp3").c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_NE(lib.writeVbrHeader(nullptr), BE_ERR_SUCCESSFUL);

  // The kept frame goes only over the frame reserved for it: a file whose
  // first frame is audio is left alone.
  const std::string other = dir.File("other.mp3");
  auto r = testsupport::Run("lame --quiet -r -s 44.1 --bitwidth 16 -b 128 -t " +
                            dir.File("in.raw") + " " + other);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string before = testsupport::ReadFile(other);
  EXPECT_NE(lib.writeVbrHeader(other.c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(testsupport::ReadFile(other), before);
  // A stream without a tag frame drops the one kept before it.
  auto cbr = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
  ASSERT_EQ(lib.EncodeToFile(&cbr, mp3test::MakePcm(dir, 44100, 2, "0.1"), other).result,
            BE_ERR_SUCCESSFUL);
  EXPECT_NE(lib.writeVbrHeader(dir.File("vbr.mp3").c_str()), BE_ERR_SUCCESSFUL);
}

TEST_F(LameEnc, AverageBitRateMeetsItsTarget) {
  const auto pcm = mp3test::MakePcm(dir, 44100, 2, "3");
  auto config = LameRecord(44100, BE_MP3_MODE_JSTEREO, 64);
  config.dwMaxBitrate = 320;
  config.bEnableVBR = 1;
  config.dwVbrAbr_bps = 160000;
  config.nVbrMethod = VBR_METHOD_ABR;
  const std::string path = dir.File("abr.mp3");
  ASSERT_EQ(lib.EncodeToFile(&config, pcm, path).result, BE_ERR_SUCCESSFUL);
  mp3test::Mpg123Report(path);
  const std::string data = testsupport::ReadFile(path);
  const auto frames = mp3test::Frames(data);
  EXPECT_FALSE(mp3test::IsTagFrame(data, frames[0]));
  double bits = 0;
  for (const auto& f : frames) bits += 8.0 * f.length;
  const double kbps = bits / (frames.size() * 1152.0 / 44100) / 1000;
  EXPECT_NEAR(kbps, 160, 16);
}

TEST_F(LameEnc, OutputRateDecidesVersionAndCapsBitRate) {
  // MPEG-2.5 goes no higher than 64 kbit/s; the input is mono for a mono mode.
  const auto pcm = mp3test::MakePcm(dir, 8000, 1, "1");
  auto config = LameRecord(8000, BE_MP3_MODE_MONO, 128);
  config.dwMpegVersion = MPEG1;
  const std::string path = dir.File("low.mp3");
  const auto e = lib.EncodeToFile(&config, pcm, path);
  ASSERT_EQ(e.result, BE_ERR_SUCCESSFUL);
  EXPECT_EQ(e.samplesPerCall, 576u);
  EXPECT_EQ(mp3test::Mpg123Report(path), "MPEG 2.5 L III cbr64 8000 mono");
  for (const auto& f : mp3test::Frames(testsupport::ReadFile(path)))
    EXPECT_TRUE(f.version == MPEG2_5 && f.kbps == 64 && f.mode == 3) << f.offset;

  // Resampled on the way: 44100 Hz in, 22050 Hz (MPEG-2) out.
  const auto stereo = mp3test::MakePcm(dir, 44100, 2, "1");
  config = LameRecord(44100, BE_MP3_MODE_STEREO, 96);
  config.dwReSampleRate = 22050;
  ASSERT_EQ(lib.EncodeToFile(&config, stereo, path).result, BE_ERR_SUCCESSFUL);
  EXPECT_EQ(mp3test::Mpg123Report(path), "MPEG 2.0 L III cbr96 22050 stereo");
}

TEST_F(LameEnc, DualChannelWithCrcInEveryFrame) {
  const auto pcm = mp3test::MakePcm(dir, 48000, 2, "1");
  auto config = LameRecord(48000, BE_MP3_MODE_DUALCHANNEL, 192);
  config.bCRC = 1;
  config.bCopyright = 1;
  config.bOriginal = 1;
  const std::string path = dir.File("dual.mp3");
  ASSERT_EQ(lib.EncodeToFile(&config, pcm, path).result, BE_ERR_SUCCESSFUL);
  EXPECT_EQ(mp3test::Mpg123Report(path), "MPEG 1.0 L III cbr192 48000 dual");
  const std::string data = testsupport::ReadFile(path);
  const auto frames = mp3test::Frames(data);
  ASSERT_FALSE(frames.empty());
  for (const auto& f : frames) {
    EXPECT_TRUE(f.crc && f.mode == 2) << f.offset;
    EXPECT_EQ(data[f.offset + 3] & 0x0C, 0x0C) << "copyright and original bits";
  }
}

TEST_F(LameEnc, RecordsOutsideTheRulesAreRefused) {
  uint32_t samples = 0, bytes = 0;
  HBE_STREAM stream = 0;
  auto refused = [&](BE_CONFIG_LAME_RECORD config) {
    return lib.init(&config, &samples, &bytes, &stream);
  };
  auto config = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
  config.dwStructSize = 60;  // too short for the fields read
  EXPECT_EQ(refused(config), BE_ERR_INVALID_FORMAT);
  config = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
  config.dwConfig = 7;
  EXPECT_EQ(refused(config), BE_ERR_INVALID_FORMAT);
  EXPECT_EQ(refused(LameRecord(44100, BE_MP3_MODE_STEREO, 144)), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(refused(LameRecord(22050, BE_MP3_MODE_STEREO, 192)), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(refused(LameRecord(44000, BE_MP3_MODE_STEREO, 128)), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(refused(LameRecord(44100, 4, 128)), BE_ERR_INVALID_FORMAT_PARAMETERS);
  config = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
  config.bEnableVBR = 1;
  config.nVBRQuality = 10;
  EXPECT_EQ(refused(config), BE_ERR_INVALID_FORMAT_PARAMETERS);
  config.nVBRQuality = 2;
  config.dwMaxBitrate = 96;  // below the minimum
  EXPECT_EQ(refused(config), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(stream, 0u);

  // The basic record is taken too, joint stereo with it.
  BE_CONFIG_BASIC basic = mp3test::BasicRecord(44100, BE_MP3_MODE_JSTEREO, 160);
  ASSERT_EQ(lib.init(&basic, &samples, &bytes, &stream), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(samples, 2304u);
  EXPECT_EQ(lib.close(stream), BE_ERR_SUCCESSFUL);
}

TEST_F(LameEnc, HandlesAndArguments) {
  auto config = LameRecord(44100, BE_MP3_MODE_STEREO, 128);
  uint32_t samples = 0, bytes = 0, got = 0;
  HBE_STREAM stream = 0;
  EXPECT_EQ(lib.init(nullptr, &samples, &bytes, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(lib.init(&config, nullptr, &bytes, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(lib.init(&config, &samples, &bytes, nullptr), BE_ERR_INVALID_FORMAT_PARAMETERS);
  ASSERT_EQ(lib.init(&config, &samples, &bytes, &stream), BE_ERR_SUCCESSFUL);
  ASSERT_NE(stream, 0u);
  std::vector<int16_t> pcm(samples + 2);
  std::vector<uint8_t> out(bytes);
  EXPECT_EQ(lib.encode(stream, samples, nullptr, out.data(), &got),
            BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(lib.encode(stream, samples, pcm.data(), out.data(), nullptr),
            BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(lib.encode(stream, samples + 2, pcm.data(), out.data(), &got),
            BE_ERR_INVALID_FORMAT_PARAMETERS);  // more than a call takes
  EXPECT_EQ(lib.encode(stream, 3, pcm.data(), out.data(), &got),
            BE_ERR_INVALID_FORMAT_PARAMETERS);  // half a stereo pair
  EXPECT_EQ(lib.encode(stream, samples, pcm.data(), out.data(), &got), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(lib.deinit(stream, nullptr, &got), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(lib.deinit(stream, out.data(), &got), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(lib.encode(stream, samples, pcm.data(), out.data(), &got),
            BE_ERR_INVALID_FORMAT_PARAMETERS);  // flushed
  EXPECT_EQ(lib.close(stream), BE_ERR_SUCCESSFUL);

  for (HBE_STREAM h : {stream, HBE_STREAM{0}, HBE_STREAM{12345}}) {
    EXPECT_EQ(lib.encode(h, samples, pcm.data(), out.data(), &got), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lib.deinit(h, out.data(), &got), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lib.close(h), BE_ERR_INVALID_HANDLE);
  }

  // The table fills up; a slot freed is taken again under a new handle.
  std::vector<HBE_STREAM> open;
  BE_ERR result = BE_ERR_SUCCESSFUL;
  while (open.size() < 1000 &&
         (result = lib.init(&config, &samples, &bytes, &stream)) == BE_ERR_SUCCESSFUL)
    open.push_back(stream);
  EXPECT_EQ(result, BE_ERR_NO_MORE_HANDLES);
  ASSERT_FALSE(open.empty());
  EXPECT_EQ(lib.close(open.back()), BE_ERR_SUCCESSFUL);
  ASSERT_EQ(lib.init(&config, &samples, &bytes, &stream), BE_ERR_SUCCESSFUL);
  EXPECT_NE(stream, open.back());
  EXPECT_EQ(lib.close(open.back()), BE_ERR_INVALID_HANDLE);
  open.back() = stream;
  for (HBE_STREAM h : open) EXPECT_EQ(lib.close(h), BE_ERR_SUCCESSFUL);

  BE_VERSION version{};
  lib.version(&version);
  EXPECT_EQ(version.byDLLMajorVersion, 1);
  EXPECT_EQ(version.byDLLMinorVersion, 32);
  EXPECT_EQ(version.byMajorVersion, 3);
  EXPECT_GE(version.byMinorVersion, 100);
  EXPECT_STREQ(version.zHomepage, "https://lame.sourceforge.io");
  lib.version(nullptr);
}

}  // namespace
