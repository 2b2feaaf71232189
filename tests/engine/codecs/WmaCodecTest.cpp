// The WMA decoding object and the WMA writer over the real WMA library (linked
// beside this test program), checked against ffmpeg.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2WmaFile.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/WMAObject.h"
#include "engine/core/PCMSound.h"
#include "engine/media/MusicInfo.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using testsupport::TempDir;

namespace {

std::string MakeWma(const TempDir& dir, const std::string& name, const std::string& codec, int rate,
                    int channels, double seconds, const std::string& extra = "") {
  const std::string path = dir.File(name);
  auto r = testsupport::Run("ffmpeg -v error -y -f lavfi -i 'aevalsrc=0.4*sin(2*PI*(200+" +
                            std::to_string(rate / 10) +
                            "*t)*t)|0.3*sin(2*PI*330*t):s=" + std::to_string(rate) +
                            ":d=" + std::to_string(seconds) + "' -ac " + std::to_string(channels) +
                            " -c:a " + codec + " " + extra + " '" + path + "' 2>&1");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  return path;
}

std::vector<int16_t> FfmpegDecode(const std::string& path) {
  return testsupport::ToSamples(
      testsupport::Run("ffmpeg -v error -i '" + path + "' -f s16le -").out);
}

// A WMA decoding object that has read the file's format, with the file open.
struct LoadedWma {
  CFileObj file;
  WMAObject wma{nullptr, 0};
  TMusicInfo info;
  bool ok = false;
  explicit LoadedWma(const std::string& path) {
    ok = file.Open(path, 0, 0) && wma.LoadInfo(&file, &info);
  }
};

// Everything Convert hands out from now on.
std::vector<int16_t> Drain(WMAObject& wma, size_t maxBytes = SIZE_MAX) {
  std::vector<char> all;
  char* block = static_cast<char*>(std::malloc(65536));
  for (;;) {
    int64_t used = 0;
    int64_t n = wma.Convert(nullptr, used, block, 65536, CONVERSION_FOLLOWING, 0);
    if (n <= 0) break;
    all.insert(all.end(), block, block + n);
    if (all.size() >= maxBytes) break;
  }
  std::free(block);
  return testsupport::ToSamples(std::string(all.begin(), all.end()));
}

class WmaCodec : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"ffmpeg", "ffprobe"}), "");
    SetTonalisStringFile(testsupport::BinPath("tonalis-strings.ini"));
    DetermineConvertersAvailable(MP3_ENCODER_NOT_ASSIGNED, nullptr);
    ASSERT_EQ(WMADecodingAvailable(), 1);
    ASSERT_EQ(ConversionToWMAAllowed(), 1);
  }
  TempDir dir_;
};

}  // namespace

TEST_F(WmaCodec, SoundsDecodeAtTheirOwnRateAsFfmpegDecodes) {
  for (int rate : {32000, 48000})
    for (int channels : {1, 2}) {
      const std::string path =
          MakeWma(dir_, "s" + std::to_string(rate) + ".wma", "wmav2", rate, channels, 1.5);
      SCOPED_TRACE(path);
      CFileObj* file = new CFileObj;
      CPCMSound* sound = new CPCMSound;
      ASSERT_TRUE(file->Open(path, 0, 0));
      ASSERT_EQ(sound->InitialLoad(file, 2000, 0, 1, 0, 0, 20, nullptr, nullptr), 1);
      ASSERT_NE(sound->GetACMObj(), nullptr);
      EXPECT_EQ(sound->ActualFormat()->wFormatTag, WAVE_FORMAT_WMAUDIO2);
      EXPECT_NEAR(sound->Length(0), 1500, 30);
      const tWAVEFORMATEX out =
          soundtest::Pcm(static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), 16);
      auto r = soundtest::RenderPlayOnce(*sound, out, out.nAvgBytesPerSec / 4);
      const auto got = soundtest::AsSamples(r.bytes);
      const auto want = FfmpegDecode(path);
      ASSERT_FALSE(want.empty());
      EXPECT_LE(
          std::llabs(static_cast<long long>(got.size()) - static_cast<long long>(want.size())),
          channels);
      EXPECT_GE(testsupport::Psnr(got, want), 90.0);
      EXPECT_EQ(sound->GetSourceBytesMixedInPlayOnceMode(),
                static_cast<uint64_t>(file->DataSize()));
      CAudioAtom* atom = sound;
      DeleteAtom(&atom);
      CRefObj* obj = file;
      DeleteRefObject(&obj);
    }
}

TEST_F(WmaCodec, AttributesAndStreamFactsComeFromTheHeader) {
  const std::string path =
      MakeWma(dir_, "tagged.wma", "wmav2", 44100, 2, 2.0,
              "-b:a 96k -metadata title='Ünïcode Title' -metadata artist=Someone -metadata "
              "date=1999 -metadata track=3/9 -metadata genre='(17)'");
  LoadedWma w(path);
  ASSERT_TRUE(w.ok);
  EXPECT_STREQ(w.info.title, "Ünïcode Title");
  EXPECT_STREQ(w.info.artist, "Someone");
  EXPECT_EQ(w.info.year, 1999);
  EXPECT_EQ(w.info.trackNumber, 3);
  EXPECT_EQ(w.info.totalTracks, 9);
  EXPECT_EQ(w.info.genreIndex, 17);
  EXPECT_EQ(w.info.tagType, TAG_WMA_ATTRIBUTES);
  EXPECT_NEAR(static_cast<double>(w.wma.GetDuration()), 2.0e7, 0.05e7);
  EXPECT_NEAR(w.wma.GetBitRate(), 96000, 2000);
  EXPECT_EQ(w.wma.SourceFormat()->wFormatTag, WAVE_FORMAT_WMAUDIO2);
  EXPECT_EQ(w.wma.DestFormat()->nSamplesPerSec, 44100u);
  EXPECT_EQ(w.wma.DestFormat()->nChannels, 2);
  EXPECT_EQ(w.file.DataSize(), w.wma.GetDataSize());
  EXPECT_FALSE(w.wma.IsOpen());  // LoadInfo closes its reader again
}

TEST_F(WmaCodec, SeeksDropWhatLiesBeforeTheTime) {
  const std::string path = MakeWma(dir_, "seek.wma", "wmav2", 44100, 2, 2.0);
  const auto reference = FfmpegDecode(path);
  LoadedWma w(path);
  ASSERT_TRUE(w.ok);
  ASSERT_TRUE(w.wma.Open(nullptr));
  // 50 ms: the reader starts at 0 and the first 2205 frames are dropped.
  ASSERT_EQ(w.wma.Seek(50), 1);
  auto got = Drain(w.wma);
  ASSERT_EQ(got.size(), reference.size() - 2205 * 2);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + 2205 * 2));
  // Further in: the reader starts 0.1 s early, the result is the same.
  ASSERT_EQ(w.wma.Seek(1234), 1);
  got = Drain(w.wma, 40000);
  const size_t from = 54419 * 2;  // 1.234 s at 44100 Hz, rounded to a frame
  ASSERT_GE(got.size(), 20000u);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 20000, reference.begin() + from));
  // Past the end: refused, and the reader stays stopped.
  EXPECT_EQ(w.wma.Seek(5000), 0);
  EXPECT_FALSE(w.wma.IsStarted());
  int64_t used = 0;
  char* block = static_cast<char*>(std::malloc(4096));
  EXPECT_EQ(w.wma.Convert(nullptr, used, block, 4096, CONVERSION_FOLLOWING, 0), -1);
  std::free(block);
  EXPECT_TRUE(w.wma.Close());
}

TEST_F(WmaCodec, ASlowConsumerKeepsTheQueueNearItsLimit) {
  const std::string path = MakeWma(dir_, "long.wma", "wmav2", 44100, 2, 20.0);
  LoadedWma w(path);
  ASSERT_TRUE(w.ok);
  w.wma.SetMaxBufferOverload(300000);
  ASSERT_TRUE(w.wma.Open(nullptr));
  ASSERT_EQ(w.wma.Seek(0), 1);
  // Nobody reads for a while: the reader runs ahead by at most about a
  // second past the limit.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const unsigned long held = w.wma.BytesAvailable();
  EXPECT_GT(held, 300000u);
  EXPECT_LT(held, 300000u + 176400u + 32768u);
  // Reading on takes the whole stream, in order.
  const auto got = Drain(w.wma);
  EXPECT_EQ(got, FfmpegDecode(path));
  EXPECT_TRUE(w.wma.IsEOF());
  EXPECT_TRUE(w.wma.Close());
}

TEST_F(WmaCodec, WriterFormatRules) {
  CConv2WmaFile writer;
  CConv2FileFormat f(kFormatTagWma);
  // 24000 Hz is made 22050; a missing bit rate takes the default.
  f.nSamplesPerSec = 24000;
  f.nChannels = 2;
  f.bitrate = 0;
  writer.MakeMostNaturalFormatCallback(&f, nullptr, nullptr);
  EXPECT_EQ(f.nSamplesPerSec, 22050u);
  EXPECT_EQ(f.bitrate, 32u);
  f.nSamplesPerSec = 24000;
  f.nChannels = 1;
  f.bitrate = 0;
  writer.MakeMostNaturalFormatCallback(&f, nullptr, nullptr);
  EXPECT_EQ(f.bitrate, 20u);
  // 48000 Hz takes two channels and 128 to 192 kbit/s.
  f.nSamplesPerSec = 48000;
  f.nChannels = 1;
  f.bitrate = 64;
  writer.MakeMostNaturalFormatCallback(&f, nullptr, nullptr);
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.bitrate, 128u);
  // 300 kbit/s at 44100 Hz stereo: the ladder's top, which is the maximum.
  f.nSamplesPerSec = 44100;
  f.bitrate = 300;
  writer.MakeMostNaturalFormatCallback(&f, nullptr, nullptr);
  EXPECT_EQ(f.bitrate, 192u);
  EXPECT_TRUE(writer.ValidateFormat(&f));
  f.nSamplesPerSec = 24000;
  EXPECT_FALSE(writer.ValidateFormat(&f));
  f.nSamplesPerSec = 44100;
  f.bitrate = 100;
  EXPECT_FALSE(writer.ValidateFormat(&f));
  f.bitrate = 128;
  char text[128];
  writer.GetTargetFormatStr(text, sizeof text, &f);
  EXPECT_STREQ(text, "WMA 128 kbit/s, 44.100 kHz, Stereo");

  // The codec list offers what the encoder takes; every preset is there.
  EXPECT_GT(writer.NumAvailableOutputFormats(), 20);
  // The codec list offers what the encoder takes: a preset below the
  // encoder's lowest bit rate at its rate is not offered.
  int offered = 0;
  for (int p = 1; p <= kWMAPresetCount; ++p) {
    const TWMAPreset* row = WMAPreset(p);
    const uint32_t lowest = writer.LowestEncoderBitrate(row->sampleRate, row->channels);
    ASSERT_GT(lowest, 0u);
    EXPECT_EQ(writer.IsWMAFormatAvailable(static_cast<_tWMAPresetTypedef>(p)),
              row->bitrate >= lowest)
        << p;
    offered += row->bitrate >= lowest;
  }
  EXPECT_EQ(writer.NumPresetWMAFormatsAvailable(), offered);
  EXPECT_GE(offered, 6);
  EXPECT_GE(writer.LowestEncoderBitrate(44100, 2), 24u);
}

TEST_F(WmaCodec, WriterStampsBlocksAndWritesTheAttributes) {
  CConv2WmaFile writer;
  CConv2FileFormat f(kFormatTagWma);
  GetFormatFromPreset(&f, WMA_PRESET_CD, TAG_WMA_ATTRIBUTES);
  const std::string path = dir_.File("out.wma");
  tWAVEFORMATEX pcm = soundtest::Pcm(2, 44100, 16);
  ASSERT_EQ(writer.Create(path.c_str(), &f, &pcm), 1);
  std::vector<int16_t> second(88200);
  for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<int16_t>((i * 37) % 2000);
  long written = 0;
  // One second at 128 kbit/s stands for 16000 bytes.
  EXPECT_EQ(writer.WriteStreamData(second.data(), 176400, &written), 16000);
  EXPECT_EQ(written, 176400);
  EXPECT_EQ(writer.WriteStreamData(second.data(), 176400, &written), 16000);
  EXPECT_EQ(writer.EndWriteStream(), 0);
  EXPECT_TRUE(writer.Close());
  TMusicInfo info;
  std::strcpy(info.artist, "An Artist");
  info.year = 2002;
  info.trackNumber = 0;  // none: no track attribute
  info.genreIndex = 17;
  EXPECT_EQ(writer.WriteTag(path.c_str(), "Sonoduct test", &info, nullptr), 0);
  const std::string tags = testsupport::Run(
                               "ffprobe -v error -show_entries format_tags -of "
                               "default=noprint_wrappers=1 '" +
                               path + "'")
                               .out;
  EXPECT_NE(tags.find("title=out"), std::string::npos) << tags;
  EXPECT_NE(tags.find("artist=An Artist"), std::string::npos) << tags;
  EXPECT_NE(tags.find("genre=Rock"), std::string::npos) << tags;
  EXPECT_EQ(tags.find("WM/Track"), std::string::npos) << tags;
  LoadedWma back(path);
  ASSERT_TRUE(back.ok);
  EXPECT_EQ(back.info.year, 2002);
  EXPECT_EQ(back.info.trackNumber, -1);
  EXPECT_STREQ(back.info.title, "out");
  EXPECT_NEAR(static_cast<double>(back.wma.GetDuration()), 2.0e7, 0.05e7);
}
