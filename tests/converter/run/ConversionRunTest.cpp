// The converter program end to end: real WAV files made with sox, converted
// by build/bin/sonoduct in a private home, checked with sox and by reading
// the samples back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/converter/run/ConversionFixture.h"

namespace {

class Conversion : public ConversionFixture {};

int PeakOf(const std::vector<int16_t>& s) {
  int peak = 0;
  for (int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return peak;
}

TEST_F(Conversion, DefaultsGiveNormalisedTrimmedCdQualityWav) {
  std::string a = dir_.File("a.wav"), b = dir_.File("b.wav");
  // Half a second of silence, a second of tone, half a second of silence.
  Sox("-n -r 22050 -c 1 -b 16 '" + a + "' synth 1 sine 440 vol 0.3 pad 0.5 0.5");
  Sox("-n -r 44100 -c 2 -b 16 '" + b + "' synth 0.6 sine 300 vol 0.5");
  auto r = Sonoduct("-C '" + a + "' '" + b + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string outA = out_ + "/a.wav", outB = out_ + "/b.wav";
  ASSERT_TRUE(testsupport::ReadFile(outA).size() > 44) << r.err;
  EXPECT_EQ(Info(outA, "-r"), "44100");
  EXPECT_EQ(Info(outA, "-c"), "2");
  EXPECT_EQ(Info(outA, "-b"), "16");
  std::vector<int16_t> s = Samples(outA);
  // Normalised to 97 % of full scale, within a step of rounding.
  EXPECT_NEAR(PeakOf(s), 0.97 * 32767, 330);
  // Trimmed: about one second remains (within a 20 ms slice at each end).
  double seconds = s.size() / 2 / 44100.0;
  EXPECT_NEAR(seconds, 1.0, 0.05);
  EXPECT_GT(std::abs(s[2 * 441]), 1000);  // sound within the first 10 ms
  // A 0.6 s file converts too, and comes out whole.
  std::vector<int16_t> sb = Samples(outB);
  EXPECT_NEAR(sb.size() / 2 / 44100.0, 0.6, 0.03);
}

TEST_F(Conversion, PlainCopyMatchesTheSourceSampleForSample) {
  PlainDecode();
  std::string a = dir_.File("noise.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + a + "' synth 2 pinknoise vol 0.4");
  auto r = Sonoduct("-C '" + a + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Samples(out_ + "/noise.wav"), Samples(a));
}

TEST_F(Conversion, BadSourcesAreLoggedAndLeaveNoTarget) {
  std::string junk = dir_.File("junk.wav"), empty = dir_.File("empty.wav");
  std::string good = dir_.File("good.wav"), nodata = dir_.File("nodata.wav");
  testsupport::WriteFile(junk, std::string(5000, '\x5a'));
  testsupport::WriteFile(empty, "");
  // A RIFF WAVE header with a "fmt " chunk and no "data" chunk.
  std::string header(
      "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0", 36);
  testsupport::WriteFile(nodata, header);
  Sox("-n -r 44100 -c 2 -b 16 '" + good + "' synth 0.5 sine 500 vol 0.5");
  auto r = Sonoduct("-C '" + junk + "' '" + empty + "' '" + nodata + "' '" + good + "' '" +
                    dir_.File("missing.wav") + "' '" + dir_.File("list.m3u") + "'");
  EXPECT_EQ(r.exitCode, 1) << r.err;  // some files failed
  EXPECT_TRUE(testsupport::ReadFile(out_ + "/good.wav").size() > 44);
  EXPECT_TRUE(testsupport::ReadFile(out_ + "/junk.wav").empty());
  EXPECT_TRUE(testsupport::ReadFile(out_ + "/nodata.wav").empty());
  EXPECT_NE(r.err.find("junk.wav"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("empty"), std::string::npos) << r.err;
}

TEST_F(Conversion, ExistingTargetsAreSkippedWithoutATerminal) {
  std::string a = dir_.File("a.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + a + "' synth 0.5 sine 500 vol 0.5");
  ASSERT_EQ(testsupport::Run("mkdir -p '" + out_ + "'").exitCode, 0);
  testsupport::WriteFile(out_ + "/a.wav", "precious");
  auto r = Sonoduct("-C '" + a + "'");
  EXPECT_EQ(testsupport::ReadFile(out_ + "/a.wav"), "precious") << r.err;
  // Beside its source, a WAV becomes song1.wav.
  Reg("set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct' DefaultDir sz './'");
  r = Sonoduct("-C '" + a + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GT(testsupport::ReadFile(dir_.File("a1.wav")).size(), 44u);
}

TEST_F(Conversion, EightProcessesStartedTogetherMakeOneRun) {
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i) {
    files.push_back(dir_.File("f" + std::to_string(i) + ".wav"));
    Sox("-n -r 44100 -c 2 -b 16 '" + files.back() + "' synth 0.4 sine " +
        std::to_string(300 + 50 * i) + " vol 0.5");
  }
  std::string script;
  for (const std::string& f : files)
    script += testsupport::BinPath("sonoduct") + " -C '" + f + "' </dev/null >/dev/null 2>&1 & ";
  script += "wait";
  auto r = testsupport::Run(script, env_);
  EXPECT_EQ(r.exitCode, 0);
  for (int i = 0; i < 8; ++i)
    EXPECT_GT(testsupport::ReadFile(out_ + "/f" + std::to_string(i) + ".wav").size(), 44u) << i;
}

}  // namespace
