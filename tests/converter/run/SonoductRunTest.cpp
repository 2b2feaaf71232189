// Runs of build/bin/sonoduct in a private home: what the console tells (the
// targets it can't make, a line for every file, the status line), what the
// targets hold, and how soon a run ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/codecs/Conv2WaveFile.h"
#include "tests/TestSupport.h"

namespace {

uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

std::string Le32Bytes(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// The text of a WAV file's first sub-chunk with this id, cut at its first zero byte.
std::string SubChunkText(const std::string& wav, const char* id) {
  size_t at = wav.find(id);
  if (at == std::string::npos || at + 8 > wav.size()) return "";
  std::string text = wav.substr(at + 8, Le32(wav, at + 4));
  return text.substr(0, text.find('\0'));
}

// "NAME VERSION" from the project line of the top CMakeLists.txt.
std::string ProjectNameAndVersion() {
  std::string cmake = testsupport::ReadFile(testsupport::SourceDir() + "/CMakeLists.txt");
  size_t at = cmake.find("project(");
  if (at == std::string::npos) return "";
  std::istringstream line(cmake.substr(at + 8, cmake.find(')', at) - at - 8));
  std::string name, word, version;
  line >> name >> word >> version;
  return word == "VERSION" ? name + " " + version : "";
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class SonoductRun : public ::testing::Test {
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
            "QT_QPA_PLATFORM="};
    ASSERT_EQ(testsupport::Run("mkdir -m 700 '" + dir_.Path() + "/run'").exitCode, 0);
    Set("DefaultDir sz '" + out_ + "/'");
    Set("PlaySound dword 0");
    Set("OpenDecodeOnExit dword 0");
    Set("CPUSleepTime dword 0");
  }
  // A value under the converter's key.
  void Set(const std::string& value) {
    auto r = testsupport::Run(
        testsupport::BinPath("reg") + " set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct' " + value, env_);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  std::string Tone(const std::string& name, double seconds) {
    std::string path = dir_.File(name);
    auto r = testsupport::Run("sox -n -r 44100 -c 2 -b 16 '" + path + "' synth " +
                              std::to_string(seconds) + " sine 440 vol 0.5");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
  }
  testsupport::ProcessResult Sonoduct(const std::string& args) {
    return testsupport::Run(testsupport::BinPath("sonoduct") + " " + args + " </dev/null", env_);
  }

  testsupport::TempDir dir_;
  std::string out_;
  std::vector<std::string> env_;
};

TEST_F(SonoductRun, ATargetWithoutEncoderIsNamedOnceAndEveryFileIsLogged) {
  std::string a = Tone("a.wav", 0.2), b = Tone("b.wav", 0.2);
  // A copy of the program without its encoder libraries.
  const std::string program = testsupport::ProgramWithoutEncoders(dir_.File("program"));
  ASSERT_NE(program, "");
  for (const char* target : {"-3", "-M"}) {
    SCOPED_TRACE(target);
    auto r = testsupport::Run(program + " " + target + " '" + a + "' '" + b + "' </dev/null", env_);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::string told = std::string("converted to ") + (target[1] == '3' ? "MP3" : "WMA");
    EXPECT_EQ(Occurrences(r.err, told), 1u) << r.err;
    EXPECT_NE(r.err.find(a + ": not converted"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(b + ": not converted"), std::string::npos) << r.err;
  }
}

TEST_F(SonoductRun, EveryFileGetsItsLineHoweverShort) {
  std::string args;
  std::vector<std::string> files;
  for (int i = 1; i <= 6; ++i) {
    files.push_back(Tone("s" + std::to_string(i) + ".wav", 0.05));
    args += " '" + files.back() + "'";
  }
  auto r = Sonoduct("-C" + args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (int i = 1; i <= 6; ++i) {
    std::string line = "File " + std::to_string(i) + " of 6: " + files[i - 1] + " -> " + out_ +
                       "/s" + std::to_string(i) + ".wav\n";
    EXPECT_EQ(Occurrences(r.err, line), 1u) << line << r.err;
  }
}

TEST_F(SonoductRun, TargetsNameTheProgramThatWroteThem) {
  std::string a = Tone("a.wav", 0.2);
  auto r = Sonoduct("-C '" + a + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(ProjectNameAndVersion().rfind("Sonoduct ", 0), 0u);  // "Sonoduct 0.1.0"
  EXPECT_EQ(SubChunkText(testsupport::ReadFile(out_ + "/a.wav"), "ISFT"), ProjectNameAndVersion());
}

TEST_F(SonoductRun, AWavTargetBeyond4GBIsRefusedBeforeAnythingIsWritten) {
  EXPECT_TRUE(CConv2WaveFile::DataFits(4.0e9));
  EXPECT_FALSE(CConv2WaveFile::DataFits(4.3e9));
  if (!testsupport::CanMountSmallFolders())
    GTEST_SKIP() << "user namespaces are not available to mount a small folder";
  // Seven hours of silence as 8-bit mono at 1000 Hz, 25 MB, make 4.4 GB of
  // CD-quality WAV. (Written here: sox takes many seconds over it.)
  const uint32_t samples = 7 * 3600 * 1000;
  std::string wav = "RIFF" + Le32Bytes(36 + samples) + "WAVEfmt " + Le32Bytes(16) +
                    std::string("\x01\x00\x01\x00", 4) + Le32Bytes(1000) + Le32Bytes(1000) +
                    std::string("\x01\x00\x08\x00", 4) + "data" + Le32Bytes(samples);
  wav.append(samples, '\x80');
  std::string source = dir_.File("long.wav");
  ASSERT_TRUE(testsupport::WriteFile(source, wav));
  // In a folder of 512 KB, a refusal that came only with the disk question,
  // or with the write, would show.
  const std::string convert = testsupport::BinPath("sonoduct") + " -C '" + source +
                              "' </dev/null; echo status=\\$?; ls -A '" + out_ + "'";
  auto r = testsupport::Run(testsupport::InSmallFolder(out_, 512, convert), env_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find(source + ": the converted file would be larger than 4 GB"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("Disk Almost Full"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("status=1"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("long.wav"), std::string::npos) << r.out;
}

TEST_F(SonoductRun, ARunEndsAsSoonAsItsLastFileIsDone) {
  std::string a = Tone("a.wav", 0.2);
  auto start = std::chrono::steady_clock::now();
  auto r = Sonoduct("-C '" + a + "'");
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GT(testsupport::ReadFile(out_ + "/a.wav").size(), 44u);
  // Waiting for the next second's tick and then lingering a second took two.
  EXPECT_LT(took.count(), 1.5);
}

TEST_F(SonoductRun, TheStatusLineEndsAt100PercentOnATerminal) {
  if (!testsupport::HaveProgram("script")) GTEST_SKIP() << "script is not installed";
  Set("bWarnAboutIncompleteSongs dword 0");
  std::string a = Tone("a.wav", 0.5), b = Tone("b.wav", 0.3);
  // script gives the program a terminal; what it shows there comes out here.
  auto r = testsupport::Run("script -qec \"" + testsupport::BinPath("sonoduct") + " -C '" + a +
                                "' '" + b + "'\" /dev/null",
                            env_);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("100% File 2 of 2"), std::string::npos) << r.out;
}

// Twenty files of several kinds, to MP3 and to WAV with normalising and
// trimming on: two workers write the same bytes as one.
TEST_F(SonoductRun, TwoWorkersWriteTheSameTargetsAsOne) {
  std::string args;
  for (int i = 0; i < 20; ++i) {
    std::string path = dir_.File("p" + std::to_string(i) + ".wav");
    std::string format = i % 3 == 0   ? "-r 22050 -c 1"
                         : i % 3 == 1 ? "-r 44100 -c 2"
                                      : "-r 32000 -c 2";
    std::string synth = "synth 0." + std::to_string(2 + i % 7) + " sine " +
                        std::to_string(200 + 37 * i) + " vol 0." + std::to_string(3 + i % 6) +
                        (i % 4 == 0 ? " pad 0.2 0.3" : "");
    auto made = testsupport::Run("sox -n " + format + " -b 16 '" + path + "' " + synth);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    args += " '" + path + "'";
  }
  Set("bWarnAboutIncompleteSongs dword 0");
  for (const char* target : {"-3", "-C"}) {
    SCOPED_TRACE(target);
    std::map<std::string, std::string> written[2];
    for (int jobs = 1; jobs <= 2; ++jobs) {
      const std::string out = out_ + std::to_string(jobs);
      Set("DefaultDir sz '" + out + "/'");
      auto r = Sonoduct(std::string("-j ") + std::to_string(jobs) + " " + target + args);
      ASSERT_EQ(r.exitCode, 0) << r.err;
      auto listing = testsupport::Run("ls '" + out + "'");
      std::istringstream names(listing.out);
      for (std::string name; std::getline(names, name);)
        written[jobs - 1][name] = testsupport::ReadFile(out + "/" + name);
      testsupport::Run("rm -rf '" + out + "'");
    }
    EXPECT_EQ(written[0].size(), 20u);
    ASSERT_EQ(written[0].size(), written[1].size());
    for (const auto& [name, bytes] : written[0]) {
      EXPECT_GT(bytes.size(), 1000u) << name;
      EXPECT_TRUE(written[1][name] == bytes) << name << " differs";
    }
  }
}

TEST_F(SonoductRun, AJobCountThatIsNoNumberIsRefused) {
  for (const char* bad : {"-j x -C a.wav", "-j", "-j -5 -C a.wav", "-j123 a.wav"}) {
    auto r = Sonoduct(bad);
    EXPECT_EQ(r.exitCode, 2) << bad;
    EXPECT_NE(r.err.find("give the number of files to convert at once"), std::string::npos)
        << bad << ": " << r.err;
  }
}

// Two files that fit the folder one at a time but not at once: the second
// to start counts what the first will still write, and asks rather than
// failing halfway.
TEST_F(SonoductRun, TheDiskSpaceCheckCountsWhatTheOtherFilesWillStillWrite) {
  if (!testsupport::CanMountSmallFolders())
    GTEST_SKIP() << "user namespaces are not available to mount a small folder";
  Set("bWarnAboutIncompleteSongs dword 0");
  Set("NormalizeVolume dword 0");
  Set("bTrimSoundsAutomatically dword 0");
  std::string a = Tone("a.wav", 20), b = Tone("b.wav", 20);  // 3.5 MB each
  const std::string convert = testsupport::BinPath("sonoduct") + " -j 2 -C '" + a + "' '" + b +
                              "' </dev/null; echo status=\\$?";
  auto r = testsupport::Run(testsupport::InSmallFolder(out_, 6144, convert), env_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Disk Almost Full"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("could not be written completely"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("status=1"), std::string::npos) << r.out;
}

}  // namespace
