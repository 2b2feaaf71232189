// WMA sources converted to WAV and WAV sources converted to WMA by the real
// program with the real WMA library, checked against ffmpeg and ffprobe.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/converter/run/ConversionFixture.h"

namespace {

// The lag (in sample frames, b behind a) within ±range that makes the two
// most alike, by the sum of absolute differences over a window.
int BestLag(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int channels,
            size_t fromFrame, size_t frames, int range) {
  int best = 0;
  double bestSum = -1;
  for (int lag = -range; lag <= range; ++lag) {
    double sum = 0;
    bool inside = true;
    for (size_t f = fromFrame; f < fromFrame + frames && inside; ++f) {
      const int64_t g = static_cast<int64_t>(f) + lag;
      if (g < 0 || static_cast<size_t>(g + 1) * channels > b.size() ||
          (f + 1) * channels > a.size()) {
        inside = false;
        break;
      }
      for (int c = 0; c < channels; ++c)
        sum += std::abs(a[f * channels + c] - b[static_cast<size_t>(g) * channels + c]);
    }
    if (inside && (bestSum < 0 || sum < bestSum)) {
      bestSum = sum;
      best = lag;
    }
  }
  return best;
}

// b's samples shifted back by lag frames, so they line up with a's.
std::vector<int16_t> Shifted(const std::vector<int16_t>& b, int channels, int lag) {
  const int64_t skip = static_cast<int64_t>(lag) * channels;
  if (skip >= 0)
    return std::vector<int16_t>(b.begin() + std::min<int64_t>(skip, b.size()), b.end());
  std::vector<int16_t> out(static_cast<size_t>(-skip), 0);
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace

class WmaConversion : public ConversionFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"ffprobe", "ffmpeg", "sox"}), "");
    ConversionFixture::SetUp();
    Set("PromptForOverWrites dword 0");
    Set("bWarnAboutIncompleteSongs dword 0");
  }
  // A WMA file made by ffmpeg from a sweep: codec wmav1 or wmav2.
  std::string MakeWma(const std::string& name, const std::string& codec, int rate, int channels,
                      double seconds, const std::string& extra = "") {
    const std::string path = dir_.File(name);
    auto r = testsupport::Run(
        "ffmpeg -v error -y -f lavfi -i 'aevalsrc=0.4*sin(2*PI*(200+" + std::to_string(rate / 10) +
        "*t)*t)|0.3*sin(2*PI*330*t):s=" + std::to_string(rate) + ":d=" + std::to_string(seconds) +
        "' -ac " + std::to_string(channels) + " -c:a " + codec + " " + extra + " '" + path +
        "' 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    return path;
  }
  std::string Target(const std::string& source, const char* ext) {
    std::string base = source.substr(source.rfind('/') + 1);
    return out_ + "/" + base.substr(0, base.rfind('.')) + ext;
  }
  std::vector<int16_t> FfmpegDecode(const std::string& path) {
    auto r = testsupport::Run("ffmpeg -v error -i '" + path + "' -f s16le -");
    EXPECT_EQ(r.exitCode, 0) << path;
    return testsupport::ToSamples(r.out);
  }
  std::string Probe(const std::string& path, const std::string& entries) {
    auto r = testsupport::Run("ffprobe -v error -show_entries " + entries +
                              " -of default=noprint_wrappers=1 '" + path + "'");
    return r.out;
  }
  void WavNatural() {
    Reg("set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct\\WaveEncoderOptions' ConvertToCDQuality dword 0");
  }
};

TEST_F(WmaConversion, WmaFilesOfEveryRateAndChannelCountDecodeAsFfmpegDoes) {
  PlainDecode();
  WavNatural();
  struct Case {
    std::string source;
    int rate;
    int channels;
  };
  std::vector<Case> cases;
  for (const char* codec : {"wmav1", "wmav2"})
    for (int rate : {22050, 32000, 44100, 48000})
      for (int channels : {1, 2})
        cases.push_back({MakeWma(std::string(codec) + "-" + std::to_string(rate) + "-" +
                                     std::to_string(channels) + ".wma",
                                 codec, rate, channels, 2.0),
                         rate, channels});
  std::vector<std::string> files;
  for (const auto& c : cases) files.push_back(c.source);
  auto r = Sonoduct(files);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err << Log();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    auto reference = FfmpegDecode(c.source);
    const auto ours = Samples(Target(c.source, ".wav"));
    ASSERT_GT(ours.size(), reference.size() / 3);
    if (c.rate != 22050 && c.rate != 44100) {
      // WAV targets take 11025, 22050 and 44100 Hz only: the same sound,
      // resampled (the decoding itself is checked at its own rate by the
      // engine's tests).
      const std::string wav = dir_.File("resampled.wav");
      Sh("ffmpeg -v error -y -i '" + c.source + "' '" + dir_.File("reference.wav") + "'");
      Sox("'" + dir_.File("reference.wav") + "' -r 44100 '" + wav + "'");
      reference = Samples(wav);
      EXPECT_EQ(Info(Target(c.source, ".wav"), "-r"), "44100");
      EXPECT_GE(testsupport::Psnr(reference, ours), 20.0);
      EXPECT_LE(std::llabs(static_cast<long long>(ours.size()) -
                           static_cast<long long>(reference.size())),
                64 * c.channels);
      continue;
    }
    const int lag = BestLag(reference, ours, c.channels, 4000, 2000, 64);
    EXPECT_LE(std::abs(lag), 1);
    EXPECT_GE(testsupport::Psnr(reference, Shifted(ours, c.channels, lag)), 90.0);
    EXPECT_LE(
        std::llabs(static_cast<long long>(ours.size()) - static_cast<long long>(reference.size())),
        2 * c.channels);
  }
}

TEST_F(WmaConversion, WavBecomesAWmaEveryPlayerOpensLinedUpWithItsSource) {
  PlainDecode();
  // Ten seconds of quiet noise with a loud 50 ms burst at 3 s.
  const std::string wav = dir_.File("tone.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + dir_.File("quiet.wav") + "' synth 10 pinknoise vol 0.02");
  Sox("-n -r 44100 -c 2 -b 16 '" + dir_.File("burst.wav") +
      "' synth 0.05 sine 1000 vol 0.8 pad 3 6.95");
  Sox("-m '" + dir_.File("quiet.wav") + "' '" + dir_.File("burst.wav") + "' '" + wav + "'");
  auto r = Sonoduct("-M '" + wav + "'");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err << Log();
  const std::string wma = Target(wav, ".wma");
  const std::string stream = Probe(wma, "stream=codec_name,sample_rate,channels,bit_rate");
  EXPECT_NE(stream.find("codec_name=wmav2"), std::string::npos) << stream;
  EXPECT_NE(stream.find("sample_rate=44100"), std::string::npos) << stream;
  EXPECT_NE(stream.find("channels=2"), std::string::npos) << stream;
  const size_t at = stream.find("bit_rate=");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(stream.substr(at + 9)), 128000, 1280);
  auto clean = testsupport::Run("ffmpeg -v error -xerror -i '" + wma + "' -f null - 2>&1");
  EXPECT_EQ(clean.exitCode, 0);
  EXPECT_EQ(clean.out, "");
  const std::string format = Probe(wma, "format=duration");
  EXPECT_NEAR(std::stod(format.substr(format.find('=') + 1)), 10.0, 0.1);

  const auto source = Samples(wav);
  const auto decoded = FfmpegDecode(wma);
  EXPECT_NEAR(static_cast<double>(decoded.size()), static_cast<double>(source.size()),
              44100 * 2 * 0.1);
  // The burst sits where it sat in the source.
  EXPECT_LE(std::abs(BestLag(source, decoded, 2, 3 * 44100 - 500, 3000, 3000)), 1);
}

TEST_F(WmaConversion, AttributesTravelFromWmaToWavAndBack) {
  PlainDecode();
  const std::string wma =
      MakeWma("tagged.wma", "wmav2", 44100, 2, 3.0,
              "-metadata title='Tone Title' -metadata artist='The Artist' -metadata "
              "album='An Album' -metadata date=2002 -metadata track=5/12 -metadata genre=Rock "
              "-metadata copyright='(c) Someone' -metadata comment='A comment'");
  auto r = Sonoduct("-C '" + wma + "'");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err << Log();
  const std::string wav = Target(wma, ".wav");
  const std::string info = Probe(wav, "format_tags");
  for (const char* expected :
       {"title=Tone Title", "artist=The Artist", "IALB=An Album", "date=2002", "track=5/12",
        "genre=Rock", "copyright=(c) Someone", "comment=A comment"})
    EXPECT_NE(info.find(expected), std::string::npos) << expected << "\n" << info;

  // The WAV, tags and all, back to WMA.
  const std::string again = dir_.File("again.wav");
  Sh("cp '" + wav + "' '" + again + "'");
  r = Sonoduct("-M '" + again + "'");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err << Log();
  const std::string tags = Probe(Target(again, ".wma"), "format_tags");
  for (const char* expected :
       {"title=Tone Title", "artist=The Artist", "album=An Album", "WM/Year=2002", "WM/Track=5/12",
        "genre=Rock", "copyright=(c) Someone", "comment=A comment"})
    EXPECT_NE(tags.find(expected), std::string::npos) << expected << "\n" << tags;
  // And our own reader reads what our writer wrote.
  Sh("mkdir -p '" + dir_.File("back") + "' && cp '" + Target(again, ".wma") + "' '" +
     dir_.File("back/round.wma") + "'");
  r = Sonoduct("-C '" + dir_.File("back/round.wma") + "'");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err << Log();
  const std::string round = Probe(out_ + "/round.wav", "format_tags");
  for (const char* expected :
       {"title=Tone Title", "artist=The Artist", "date=2002", "track=5/12", "genre=Rock"})
    EXPECT_NE(round.find(expected), std::string::npos) << expected << "\n" << round;
}

TEST_F(WmaConversion, BadSourcesFailQuicklyWithTheirMessage) {
  const std::string good = MakeWma("good.wma", "wmav2", 44100, 2, 3.0);
  const std::string bytes = testsupport::ReadFile(good);
  ASSERT_GT(bytes.size(), 20000u);
  const std::string cut = dir_.File("cut.wma");
  ASSERT_TRUE(testsupport::WriteFile(cut, bytes.substr(0, 3000)));  // the header and no more
  const std::string garbage = dir_.File("garbage.wma");
  std::string noise(50000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  ASSERT_TRUE(testsupport::WriteFile(garbage, noise));
  const std::string empty = dir_.File("empty.wma");
  ASSERT_TRUE(testsupport::WriteFile(empty, ""));
  const auto started = std::chrono::steady_clock::now();
  auto r = Sonoduct(std::vector<std::string>{cut, garbage, good});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_LT(seconds, 30);
  const std::string log = Log();
  EXPECT_NE(log.find("cut.wma: the WMA file is damaged"), std::string::npos) << log;
  EXPECT_NE(log.find("garbage.wma: the WMA file is damaged"), std::string::npos) << log;
  // The good file after them still converts.
  EXPECT_TRUE(Exists(Target(good, ".wav")));
  EXPECT_FALSE(Exists(Target(cut, ".wav")));
}

TEST_F(WmaConversion, LowRateMonoSourceConvertsAtARateTheEncoderTakes) {
  PlainDecode();
  const std::string wav = dir_.File("phone.wav");
  Sox("-n -r 8000 -c 1 -b 16 '" + wav + "' synth 3 sine 300-1000 vol 0.5");
  auto r = Sonoduct("-M '" + wav + "'");
  const std::string wma = Target(wav, ".wma");
  if (r.exitCode == 0) {
    const std::string stream = Probe(wma, "stream=codec_name,sample_rate,channels");
    EXPECT_NE(stream.find("codec_name=wmav2"), std::string::npos) << stream;
    EXPECT_NE(stream.find("channels=1"), std::string::npos) << stream;
    EXPECT_EQ(testsupport::Run("ffmpeg -v error -xerror -i '" + wma + "' -f null -").exitCode, 0);
  } else {
    EXPECT_NE(Log().find("phone"), std::string::npos) << Log();
    EXPECT_FALSE(Exists(wma));
  }
}

TEST_F(WmaConversion, WithoutTheLibraryWmaIsNotOffered) {
  const std::string program = testsupport::ProgramWithoutEncoders(dir_.File("program"));
  ASSERT_NE(program, "");
  const std::string wav = dir_.File("tone.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + wav + "' synth 1 sine 440 vol 0.5");
  auto r = testsupport::Run(program + " -M '" + wav + "' </dev/null", env_);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE((r.out + r.err).find("WMA"), std::string::npos) << r.out << r.err;
  EXPECT_FALSE(Exists(Target(wav, ".wma")));
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(WmaConversion, HalfAnHourOfWmaConvertsInLittleMemory) {
  PlainDecode();
  WavNatural();
  const std::string wma = dir_.File("long.wma");
  auto made = testsupport::Run(
      "ffmpeg -v error -y -f lavfi -i 'sine=f=440:r=44100:d=1800' -ac 2 "
      "-c:a wmav2 -b:a 64k '" +
      wma + "' 2>&1");
  ASSERT_EQ(made.exitCode, 0) << made.out;
  auto r = testsupport::Run("/usr/bin/env time -f 'maxrss=%M' " + testsupport::BinPath("sonoduct") +
                                " -C '" + wma + "' </dev/null 2>&1",
                            env_);
  ASSERT_EQ(r.exitCode, 0) << r.out << Log();
  const size_t at = r.out.find("maxrss=");
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_LT(std::stol(r.out.substr(at + 7)), 100 * 1024) << r.out;
  const std::string wav = Target(wma, ".wav");
  EXPECT_NEAR(std::stod(Probe(wav, "format=duration").substr(9)), 1800.0, 0.1);
}
#endif
