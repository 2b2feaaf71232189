// WAV sources of every common kind through build/bin/sonoduct to a most
// natural WAV target: wide integer PCM, IEEE float, WAVE_FORMAT_EXTENSIBLE,
// surround mixed down to stereo, extreme rates, float beyond full scale, and
// kinds that cannot be read. Samples compare with sox's decoding of the same
// file (undithered, after the same downmix).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/platform/acm/WavTestFile.h"

namespace {

const double kMinus3dB = std::sqrt(0.5);

class WavKindsConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    out_ = dir_.Path() + "/out";
    env_ = {"HOME=" + dir_.Path(),
            "XDG_CONFIG_HOME=" + dir_.Path() + "/config",
            "XDG_CACHE_HOME=" + dir_.Path() + "/cache",
            "XDG_RUNTIME_DIR=" + dir_.Path() + "/run",
            "DISPLAY=",
            "WAYLAND_DISPLAY=",
            "QT_QPA_PLATFORM=",
            "SONODUCT_LOG=" + dir_.File("sonoduct.log")};
    Sh("mkdir -m 700 '" + dir_.Path() + "/run'");
    for (const std::string& value :
         {"DefaultDir sz '" + out_ + "/'", std::string("PlaySound dword 0"),
          std::string("OpenDecodeOnExit dword 0"), std::string("CPUSleepTime dword 0"),
          std::string("PromptForOverWrites dword 0"),
          std::string("bWarnAboutIncompleteSongs dword 0")})
      Set(value);
    // A plain decode at the source's own rate and channels where the target
    // takes them: no normalising or trimming, most natural quality.
    Set("NormalizeVolume dword 0");
    Set("bTrimSoundsAutomatically dword 0");
    Sh(testsupport::BinPath("reg") + " set '" + kKey + "\\WaveEncoderOptions' " +
       "ConvertToCDQuality dword 0");
  }
  void Sh(const std::string& command) {
    auto r = testsupport::Run(command, env_);
    ASSERT_EQ(r.exitCode, 0) << command << "\n" << r.err;
  }
  void Set(const std::string& value) {
    Sh(testsupport::BinPath("reg") + " set '" + kKey + "' " + value);
  }
  testsupport::ProcessResult Sonoduct(const std::vector<std::string>& files) {
    std::string args;
    for (const std::string& f : files) args += " '" + f + "'";
    return testsupport::Run(testsupport::BinPath("sonoduct") + " -C" + args + " </dev/null", env_);
  }
  // Converts the files in one run and reads the targets back, in order.
  std::vector<wavtest::Wav> Convert(const std::vector<std::string>& sources) {
    std::vector<wavtest::Wav> targets(sources.size());
    auto r = Sonoduct(sources);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (size_t i = 0; i < sources.size(); ++i) {
      std::string name = sources[i].substr(sources[i].rfind('/') + 1);
      EXPECT_TRUE(wavtest::ReadWav(out_ + "/" + name, &targets[i])) << name << "\n" << r.err;
    }
    return targets;
  }
  // sox's 16-bit decoding of a file, undithered, after the sox effects given.
  std::vector<int16_t> SoxReference(const std::string& wav, const std::string& effects = "") {
    std::string raw = dir_.File("reference.raw");
    Sh("sox '" + wav + "' -t raw -e signed -b 16 -L -D '" + raw + "' " + effects);
    return wavtest::ReadRaw16(raw);
  }
  std::string Log() { return testsupport::ReadFile(dir_.File("sonoduct.log")); }

  static constexpr const char* kKey = "HKCU\\SOFTWARE\\Quillon\\Sonoduct";
  testsupport::TempDir dir_;
  std::string out_;
  std::vector<std::string> env_;
};

// A copy of a plain PCM or float WAV whose "fmt " chunk is rewritten as
// WAVE_FORMAT_EXTENSIBLE with the same sub-format, the given valid bits
// and the usual speaker mask for one or two channels.
bool WriteExtensible(const std::string& plainPath, const std::string& path, uint16_t validBits) {
  wavtest::Wav w;
  if (!wavtest::ReadWav(plainPath, &w)) return false;
  std::vector<uint8_t> fmt(w.format.begin(), w.format.begin() + 16);
  const uint16_t tag = static_cast<uint16_t>(fmt[0] | fmt[1] << 8);
  const uint16_t channels = static_cast<uint16_t>(fmt[2] | fmt[3] << 8);
  const uint32_t mask = channels == 1 ? 0x4 : 0x3;
  fmt[0] = 0xfe;
  fmt[1] = 0xff;
  const uint8_t extra[24] = {22,
                             0,
                             static_cast<uint8_t>(validBits),
                             static_cast<uint8_t>(validBits >> 8),
                             static_cast<uint8_t>(mask),
                             0,
                             0,
                             0,
                             static_cast<uint8_t>(tag),
                             static_cast<uint8_t>(tag >> 8),
                             0x00,
                             0x00,
                             0x00,
                             0x00,
                             0x10,
                             0x00,
                             0x80,
                             0x00,
                             0x00,
                             0xaa,
                             0x00,
                             0x38,
                             0x9b,
                             0x71};
  fmt.insert(fmt.end(), extra, extra + sizeof extra);
  return wavtest::WriteWav(path, fmt.data(), fmt.size(), w.data);
}

uint16_t Tag(const wavtest::Wav& w) { return w.Format()->wFormatTag; }

TEST_F(WavKindsConversion, EveryKindDecodesAsSoxDoes) {
  const std::string tone = "synth 0.7 sine 100-9000 sine 440 vol 0.7";
  struct Kind {
    const char* name;
    std::string soxArgs;   // to make it from nothing
    int extensibleBits;    // > 0: rewritten as extensible with these valid bits
    uint16_t expectedTag;  // as the source file holds it
  };
  const Kind kinds[] = {
      {"pcm24", "-c 2 -b 24 -t wavpcm", 0, WAVE_FORMAT_PCM},
      {"pcm32", "-c 2 -b 32 -t wavpcm", 0, WAVE_FORMAT_PCM},
      {"pcm24mono22k", "-r 22050 -c 1 -b 24 -t wavpcm", 0, WAVE_FORMAT_PCM},
      {"ext24", "-c 2 -b 24", 0, WAVE_FORMAT_EXTENSIBLE},
      {"ext32mono", "-c 1 -b 32", 0, WAVE_FORMAT_EXTENSIBLE},
      {"float32", "-c 2 -e floating-point -b 32", 0, WAVE_FORMAT_IEEE_FLOAT},
      {"float64", "-c 1 -e floating-point -b 64", 0, WAVE_FORMAT_IEEE_FLOAT},
      {"extfloat32", "-c 2 -e floating-point -b 32", 32, WAVE_FORMAT_EXTENSIBLE},
      {"extfloat64", "-c 2 -e floating-point -b 64", 64, WAVE_FORMAT_EXTENSIBLE},
      {"ext8", "-c 2 -b 8 -t wavpcm", 8, WAVE_FORMAT_EXTENSIBLE},
      {"ext16", "-c 2 -b 16 -t wavpcm", 16, WAVE_FORMAT_EXTENSIBLE},
      {"ext20in24", "-c 2 -b 24 -t wavpcm", 20, WAVE_FORMAT_EXTENSIBLE},
  };
  std::vector<std::string> sources;
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    std::string made = dir_.File(std::string(k.name) + ".made.wav");
    std::string source = dir_.File(std::string(k.name) + ".wav");
    sources.push_back(source);
    std::string rate = k.soxArgs.find("-r ") == std::string::npos ? "-r 44100 " : "";
    Sh("sox -n " + rate + k.soxArgs + " '" + made + "' " + tone);
    if (k.extensibleBits)
      ASSERT_TRUE(WriteExtensible(made, source, static_cast<uint16_t>(k.extensibleBits)));
    else
      Sh("mv '" + made + "' '" + source + "'");
    wavtest::Wav in;
    ASSERT_TRUE(wavtest::ReadWav(source, &in));
    ASSERT_EQ(Tag(in), k.expectedTag);
  }
  std::vector<wavtest::Wav> targets = Convert(sources);
  for (size_t i = 0; i < sources.size(); ++i) {
    const Kind& k = kinds[i];
    SCOPED_TRACE(k.name);
    wavtest::Wav in, &out = targets[i];
    ASSERT_TRUE(wavtest::ReadWav(sources[i], &in));
    ASSERT_FALSE(out.data.empty());
    // 16-bit PCM at the source's own rate and channels.
    EXPECT_EQ(Tag(out), WAVE_FORMAT_PCM);
    EXPECT_EQ(out.Format()->wBitsPerSample, 16);
    EXPECT_EQ(out.Format()->nSamplesPerSec, in.Format()->nSamplesPerSec);
    EXPECT_EQ(out.Format()->nChannels, in.Format()->nChannels);
    // The reference is sox's reading of the same samples; a container with
    // fewer valid bits is read from its plain twin.
    std::vector<int16_t> reference = SoxReference(
        k.extensibleBits == 20 ? dir_.File(std::string(k.name) + ".made.wav") : sources[i]);
    std::vector<int16_t> ours = wavtest::Samples(out.data);
    EXPECT_EQ(ours.size(), reference.size());
    EXPECT_GE(wavtest::Psnr(reference, ours), 90.0);
  }
}

TEST_F(WavKindsConversion, SurroundMixesDownToStereo) {
  const double five = 1 + 2 * kMinus3dB, seven = 1 + 3 * kMinus3dB;
  auto weight = [](double w) { return std::to_string(w); };
  // sox's remix with the weights the downmix uses: fronts whole, centre and
  // surrounds at -3 dB, LFE dropped, scaled so that a side sums to 1.
  const std::string remix51 = "remix 1v" + weight(1 / five) + ",3v" + weight(kMinus3dB / five) +
                              ",5v" + weight(kMinus3dB / five) + " 2v" + weight(1 / five) + ",3v" +
                              weight(kMinus3dB / five) + ",6v" + weight(kMinus3dB / five);
  const std::string remix71 = "remix 1v" + weight(1 / seven) + ",3v" + weight(kMinus3dB / seven) +
                              ",5v" + weight(kMinus3dB / seven) + ",7v" +
                              weight(kMinus3dB / seven) + " 2v" + weight(1 / seven) + ",3v" +
                              weight(kMinus3dB / seven) + ",6v" + weight(kMinus3dB / seven) +
                              ",8v" + weight(kMinus3dB / seven);
  // Without a mask: even channels left, odd right, one weight for all.
  const std::string fold4 = "remix 1v0.5,3v0.5 2v0.5,4v0.5";
  const std::string fold6 = "remix 1v" + weight(1 / 3.0) + ",3v" + weight(1 / 3.0) + ",5v" +
                            weight(1 / 3.0) + " 2v" + weight(1 / 3.0) + ",4v" + weight(1 / 3.0) +
                            ",6v" + weight(1 / 3.0);
  // Each channel its own tone, all loud, so that a wrong weight shows.
  const std::string tones =
      "synth 0.9 sine 300 sine 500 sine 700 sine 60 sine 900 sine 1100 sine 1300 sine 1500 vol 0.9";
  struct Layout {
    const char* name;
    std::string make;  // sox arguments before the output file
    std::string remix;
  };
  const Layout layouts[] = {
      {"surround51", "-c 6 -b 24", remix51},              // mask 0x3f: back surrounds
      {"surround71", "-c 8 -b 16", remix71},              // mask 0x63f
      {"float6", "-c 6 -e floating-point -b 32", fold6},  // a plain float record: no mask
      {"quad", "-c 4 -b 16 -t wavpcm", fold4},
  };
  std::vector<std::string> sources;
  for (const Layout& l : layouts) {
    sources.push_back(dir_.File(std::string(l.name) + ".wav"));
    Sh("sox -n -r 44100 " + l.make + " '" + sources.back() + "' " + tones);
  }
  // ffmpeg's 5.1 with side surrounds (mask 0x60f) weighs like the back ones.
  const bool ffmpeg = testsupport::HaveProgram("ffmpeg");
  if (ffmpeg) {
    std::string six = dir_.File("six.mix");
    sources.push_back(dir_.File("side51.wav"));
    Sh("sox -n -r 44100 -c 6 -b 16 -t wavpcm '" + six + "' " + tones);
    Sh("ffmpeg -loglevel error -y -f wav -i '" + six +
       "' -af 'channelmap=map=0|1|2|3|4|5:channel_layout=5.1(side)' -c:a pcm_s24le '" +
       sources.back() + "'");
  }
  std::vector<wavtest::Wav> targets = Convert(sources);
  for (size_t i = 0; i < sources.size(); ++i) {
    const bool side = i == std::size(layouts);
    SCOPED_TRACE(side ? "side51" : layouts[i].name);
    wavtest::Wav in, &out = targets[i];
    ASSERT_TRUE(wavtest::ReadWav(sources[i], &in));
    EXPECT_EQ(out.Format()->nChannels, 2);
    EXPECT_EQ(out.Format()->nSamplesPerSec, 44100u);
    const size_t frames = in.data.size() / in.Format()->nBlockAlign;
    EXPECT_EQ(out.data.size(), frames * 4);  // stereo of the source's length
    const std::string& remix = side ? remix51 : layouts[i].remix;
    EXPECT_GE(wavtest::Psnr(SoxReference(sources[i], remix), wavtest::Samples(out.data)), 90.0);
  }
}

// Zero crossings per second of one channel of 16-bit frames: twice the tone.
double Crossings(const std::vector<int16_t>& s, int channels, int channel, uint32_t rate) {
  int count = 0;
  for (size_t i = channels + channel; i < s.size(); i += channels)
    if ((s[i - channels] < 0) != (s[i] < 0)) ++count;
  return count * static_cast<double>(rate) * channels / static_cast<double>(s.size());
}

double Rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (int16_t v : s) sum += static_cast<double>(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size()));
}

TEST_F(WavKindsConversion, LowestAndHighestRatesReachTheTargetRate) {
  struct Case {
    const char* name;
    std::string make;
    uint32_t targetRate;
    int channels;
  };
  // Mu-law, 8-bit in the file, comes out as 16-bit PCM like every other kind.
  const Case cases[] = {{"low", "-r 8000 -c 1 -b 24", 11025, 1},
                        {"mulaw", "-r 8000 -c 1 -e u-law", 11025, 1},
                        {"high", "-r 192000 -c 2 -e floating-point -b 32", 44100, 2},
                        {"high24", "-r 192000 -c 2 -b 24", 44100, 2}};
  std::vector<std::string> sources;
  for (const Case& c : cases) {
    sources.push_back(dir_.File(std::string(c.name) + ".wav"));
    Sh("sox -n " + c.make + " '" + sources.back() + "' synth 1.5 sine 440 vol 0.5");
  }
  std::vector<wavtest::Wav> targets = Convert(sources);
  for (size_t i = 0; i < sources.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const wavtest::Wav& out = targets[i];
    EXPECT_EQ(out.Format()->wBitsPerSample, 16);
    EXPECT_EQ(out.Format()->nSamplesPerSec, c.targetRate);
    EXPECT_EQ(out.Format()->nChannels, c.channels);
    std::vector<int16_t> s = wavtest::Samples(out.data);
    EXPECT_NEAR(static_cast<double>(s.size()) / c.channels, 1.5 * c.targetRate, 4);
    EXPECT_NEAR(Crossings(s, c.channels, 0, c.targetRate), 880, 4);
    EXPECT_NEAR(Rms(s), 0.5 * 32767 / std::sqrt(2.0), 0.02 * 32767 * 0.5);
  }
}

// Float stereo, the left channel a tone at twice full scale, the right one
// at a quarter.
std::string HotFloat(const std::string& path) {
  std::vector<float> samples;
  for (int i = 0; i < 44100; ++i) {
    const float v = static_cast<float>(std::sin(2 * M_PI * 441 * i / 44100.0));
    samples.insert(samples.end(), {2 * v, v / 4});
  }
  std::vector<uint8_t> data(samples.size() * 4);
  std::memcpy(data.data(), samples.data(), data.size());
  const tWAVEFORMATEX f{WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 44100 * 8, 8, 32, 0};
  EXPECT_TRUE(wavtest::WriteWav(path, &f, sizeof f, data));
  return path;
}

TEST_F(WavKindsConversion, FloatBeyondFullScaleSaturatesOrNormalises) {
  std::string source = HotFloat(dir_.File("hot.wav"));
  std::vector<int16_t> ours = wavtest::Samples(Convert({source})[0].data);
  ASSERT_EQ(ours.size(), 2u * 44100);
  int saturated = 0;
  for (int i = 0; i < 44100; ++i) {
    const double x = 2 * std::sin(2 * M_PI * 441 * i / 44100.0);
    const int16_t left = ours[2 * i];
    // Never wrapped: the sign follows the source, and beyond full scale
    // the sample is held at the end of the range.
    if (std::fabs(x) > 0.01) {
      EXPECT_EQ(left > 0, x > 0) << i;
    }
    if (x >= 1.0) saturated += left == 32767;
    if (x <= -1.0) saturated += left == -32768;
  }
  EXPECT_GT(saturated, 44100 / 3);
  std::vector<int16_t> right, reference = SoxReference(source, "remix 2");
  for (size_t i = 1; i < ours.size(); i += 2) right.push_back(ours[i]);
  EXPECT_GE(wavtest::Psnr(reference, right), 90.0);

  // Normalised, the tone comes out whole at the level (97 %), not flattened.
  Set("NormalizeVolume dword 1");
  Sh("rm -rf '" + out_ + "'");
  ours = wavtest::Samples(Convert({source})[0].data);
  ASSERT_EQ(ours.size(), 2u * 44100);
  std::vector<int16_t> ideal(ours.size());
  for (int i = 0; i < 44100; ++i) {
    const double v = std::sin(2 * M_PI * 441 * i / 44100.0) * 0.97 * 32767;
    ideal[2 * i] = static_cast<int16_t>(std::lround(v));
    ideal[2 * i + 1] = static_cast<int16_t>(std::lround(v / 8));
  }
  EXPECT_GE(wavtest::Psnr(ideal, ours), 70.0);
}

TEST_F(WavKindsConversion, UnreadableKindsAreRefusedClearly) {
  std::string good = dir_.File("good.wav");
  Sh("sox -n -r 44100 -c 2 -b 24 '" + good + "' synth 0.3 sine 440 vol 0.5");
  wavtest::Wav w;
  ASSERT_TRUE(wavtest::ReadWav(good, &w));
  // 12-bit PCM, nine channels, and an extensible record of an unknown sub-format.
  const tWAVEFORMATEX twelve{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 12, 0};
  const tWAVEFORMATEX nine{WAVE_FORMAT_PCM, 9, 44100, 44100 * 18, 18, 16, 0};
  ASSERT_TRUE(wavtest::WriteWav(dir_.File("twelve.wav"), &twelve, 16, w.data));
  ASSERT_TRUE(wavtest::WriteWav(dir_.File("nine.wav"), &nine, 16, std::vector<uint8_t>(1800, 1)));
  std::vector<uint8_t> unknown = w.format;
  ASSERT_EQ(unknown.size(), 40u);
  unknown[24] = 0x55;  // the sub-format of MPEG layer 3
  ASSERT_TRUE(wavtest::WriteWav(dir_.File("unknown.wav"), unknown.data(), unknown.size(), w.data));

  auto r =
      Sonoduct({dir_.File("twelve.wav"), dir_.File("nine.wav"), dir_.File("unknown.wav"), good});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  for (const char* name : {"twelve.wav", "nine.wav", "unknown.wav"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(Log().find(std::string(name) +
                         ": the file is damaged or is not an audio file that Sonoduct can read"),
              std::string::npos)
        << Log();
    EXPECT_TRUE(testsupport::ReadFile(out_ + "/" + name).empty());
  }
  EXPECT_TRUE(wavtest::ReadWav(out_ + "/good.wav", &w));
}

}  // namespace
