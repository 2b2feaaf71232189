// The mpegdec tool as a user runs it: files and standard streams, WAV and
// raw output, and its messages and exit codes.
#include <gtest/gtest.h>

#include <string>

#include "tests/TestSupport.h"

using testsupport::BinPath;
using testsupport::ReadFile;
testsupport::ProcessResult Sh(const std::string& command) { return testsupport::Run(command); }
using testsupport::TempDir;

namespace {

std::string Mpegdec() { return "'" + BinPath("mpegdec") + "'"; }
std::string Stream() { return testsupport::VectorsDir() + "/mpeg/l3-compl.bit"; }

uint32_t Le32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 |
         uint32_t(uint8_t(s[at + 2])) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}

}  // namespace

TEST(Mpegdec, FilesPipesAndContainersGiveTheSameSamples) {
  ASSERT_FALSE(testsupport::ReadInput(Stream()).empty());
  TempDir dir;
  auto r = Sh(Mpegdec() + " '" + Stream() + "' '" + dir.File("a.raw") + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "") << "silent on success";
  std::string raw = ReadFile(dir.File("a.raw"));
  ASSERT_GT(raw.size(), 100000u);

  r = Sh(Mpegdec() + " - - < '" + Stream() + "' > '" + dir.File("b.raw") + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.File("b.raw")), raw);
  r = Sh("cat '" + Stream() + "' | " + Mpegdec() + " - raw:'" + dir.File("c.raw") + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.File("c.raw")), raw);

  r = Sh(Mpegdec() + " '" + Stream() + "' wav:'" + dir.File("d.wav") + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string wav = ReadFile(dir.File("d.wav"));
  ASSERT_EQ(wav.size(), raw.size() + 44);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(wav, 40), raw.size());
  EXPECT_EQ(wav.substr(44), raw);
  // sox reads what we wrote.
  ASSERT_EQ(testsupport::MissingPrograms({"soxi"}), "");
  auto info = Sh("soxi -s '" + dir.File("d.wav") + "'");
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_EQ(std::stoul(info.out) * (Le32(wav, 32) & 0xFFFF), raw.size());
}

TEST(Mpegdec, FailuresAreReportedWithANonzeroExit) {
  TempDir dir;
  auto r = Sh(Mpegdec());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("usage: mpegdec INPUT OUTPUT"), std::string::npos);

  r = Sh(Mpegdec() + " '" + dir.File("missing.mp3") + "' -");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("file not found"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  ASSERT_TRUE(testsupport::WriteFile(dir.File("text.mp3"), std::string(5000, 'x')));
  r = Sh(Mpegdec() + " '" + dir.File("text.mp3") + "' '" + dir.File("out.raw") + "'");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no decodable MPEG audio"), std::string::npos) << r.err;

  r = Sh(Mpegdec() + " /dev/null -");
  EXPECT_EQ(r.exitCode, 1);

  if (!ReadFile(Stream()).empty()) {
    r = Sh(Mpegdec() + " '" + Stream() + "' wav:'" + dir.File("no/such/dir/x.wav") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot open output file"), std::string::npos) << r.err;
    r = Sh(Mpegdec() + " '" + Stream() + "' /dev/full");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write output file"), std::string::npos) << r.err;
  }
}
