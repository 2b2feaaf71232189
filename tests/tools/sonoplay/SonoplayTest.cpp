// sonoplay run as a real program on ALSA's file plugin, under an ALSA
// configuration of the test's own: playing writes the file's samples to a
// raw file, recording reads them from one.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace {

using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::TempDir;

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class Sonoplay : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(testsupport::MissingPrograms({"sox"}), ""); }
  // Runs sonoplay with the default device given by `config`.
  ProcessResult Run(const std::string& args, const std::string& config) {
    std::string path = dir_.File("asound-" + std::to_string(++configs_) + ".conf");
    EXPECT_TRUE(testsupport::WriteFile(path, config));
    return testsupport::Run("timeout 60 " + Quote(testsupport::BinPath("sonoplay")) + " " + args,
                            {"ALSA_CONFIG_PATH=" + path});
  }
  std::string FileDevice() {
    return "pcm.!default { type file slave.pcm { type null } file " + Quote(dir_.File("out.raw")) +
           " infile " + Quote(dir_.File("in.raw")) + " format \"raw\" }\n";
  }
  bool Sox(const std::string& args) { return testsupport::Run("sox " + args).exitCode == 0; }
  TempDir dir_;
  int configs_ = 0;
};

TEST_F(Sonoplay, PlaysAFileAndRecordsForTheSecondsAsked) {
  const std::string tone = dir_.File("tone.wav");
  ASSERT_TRUE(Sox("-n -r 44100 -c 2 -b 16 " + Quote(tone) + " synth 2 sine 440 vol 0.5"));
  ASSERT_TRUE(Sox(Quote(tone) + " -t raw " + Quote(dir_.File("tone.raw"))));
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("in.raw"), ""));
  ProcessResult r = Run(Quote(tone), FileDevice());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(ReadFile(dir_.File("out.raw")) == ReadFile(dir_.File("tone.raw")));

  // Recording reads the device: here, the tone again, for 1.5 of its 2 seconds.
  ASSERT_TRUE(Sox(Quote(tone) + " -t raw " + Quote(dir_.File("in.raw"))));
  const std::string rec = dir_.File("rec.wav");
  r = Run("-r 1.5 " + Quote(rec), FileDevice());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(Sox(Quote(rec) + " -t raw " + Quote(dir_.File("rec.raw"))));
  const std::string recorded = ReadFile(dir_.File("rec.raw"));
  const std::string fed = ReadFile(dir_.File("tone.raw"));
  EXPECT_GE(recorded.size(), 176400u * 3 / 2);
  EXPECT_LE(recorded.size(), 176400u * 2);
  EXPECT_TRUE(recorded == fed.substr(0, recorded.size()));

  // Ctrl+C ends a recording early and keeps what it holds.
  std::string path = dir_.File("asound-interrupt.conf");
  ASSERT_TRUE(testsupport::WriteFile(path, FileDevice()));
  r = testsupport::Run("timeout --preserve-status -s INT 0.6 " +
                           Quote(testsupport::BinPath("sonoplay")) + " -r 30 " + Quote(rec),
                       {"ALSA_CONFIG_PATH=" + path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(Sox(Quote(rec) + " -t raw " + Quote(dir_.File("rec.raw"))));
  const std::string early = ReadFile(dir_.File("rec.raw"));
  EXPECT_GT(early.size(), 0u);
  EXPECT_LT(early.size(), 176400u * 2);
  EXPECT_TRUE(early == fed.substr(0, early.size()));
}

TEST_F(Sonoplay, FailuresAreReportedWithTheirReason) {
  const std::string tone = dir_.File("tone.wav");
  ASSERT_TRUE(Sox("-n -r 22050 -c 1 -b 16 " + Quote(tone) + " synth 1 sine 440"));
  for (const char* config : {"# no devices\n", "pcm.!default { type hw card 9 }\n"}) {
    ProcessResult r = Run(Quote(tone), config);
    EXPECT_EQ(r.exitCode, 1) << config;
    EXPECT_NE(r.err.find("cannot play: the sound device does not open ("), std::string::npos)
        << r.err;
    r = Run("-r 1 " + Quote(dir_.File("rec.wav")), config);
    EXPECT_EQ(r.exitCode, 1) << config;
    EXPECT_NE(r.err.find("cannot record: the sound device does not open ("), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::ifstream(dir_.File("rec.wav")).good());
  }
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("junk.wav"), "not a sound"));
  ProcessResult r = Run(Quote(dir_.File("junk.wav")), FileDevice());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a sound file"), std::string::npos) << r.err;
  r = Run(Quote(dir_.File("missing.wav")), FileDevice());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot open the file"), std::string::npos) << r.err;
  for (const char* args : {"", "-r 1", "-r x out.wav", "-r -2 out.wav", "a b"})
    EXPECT_EQ(Run(args, FileDevice()).exitCode, 2) << args;
}

}  // namespace
