// The terminal front-end in a terminal 40 columns wide, and in a pipe.
#include <gtest/gtest.h>

#include <sstream>

#include "converter/ui/ConsoleWindow.h"
#include "tests/TestSupport.h"

namespace {

// What a terminal would show of each redraw: the text between line ends and
// carriage returns, without escape sequences.
std::vector<std::string> Drawn(const std::string& raw) {
  std::vector<std::string> pieces;
  std::string piece;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\x1b') {  // CSI: up to its final byte
      while (++i < raw.size() && !(raw[i] >= '@' && raw[i] <= '~' && raw[i] != '['))
        ;
    } else if (c == '\r' || c == '\n') {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece.push_back(c);
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(ConsoleWidth, FitColumnsCountsCodePoints) {
  EXPECT_EQ(FitColumns("abcdef", 4), "abcd");
  EXPECT_EQ(FitColumns("h\xc3\xa9llo w\xc3\xb6rld", 7), "h\xc3\xa9llo w");
  EXPECT_EQ(FitColumns("short", 40), "short");
}

TEST(ConsoleWidth, StatusLinesFitANarrowTerminalAndAPipeEndsWithTheSummary) {
  if (!testsupport::MissingPrograms({"sox", "script"}).empty()) GTEST_SKIP() << "sox, script";
  testsupport::TempDir dir;
  std::string files;
  for (int i = 1; i <= 5; ++i) {
    std::string f = dir.File("song " + std::to_string(i) + ".wav");
    ASSERT_EQ(
        testsupport::Run("sox -n -r 22050 -c 1 '" + f + "' synth 2 sine 440 vol 0.5").exitCode, 0);
    files += " '" + f + "'";
  }
  ASSERT_EQ(testsupport::Run("mkdir -m 700 '" + dir.Path() + "/run'").exitCode, 0);
  std::vector<std::string> env = {"HOME=" + dir.Path(),
                                  "XDG_CONFIG_HOME=" + dir.Path() + "/config",
                                  "XDG_RUNTIME_DIR=" + dir.Path() + "/run",
                                  "DISPLAY=",
                                  "WAYLAND_DISPLAY=",
                                  "QT_QPA_PLATFORM="};
  testsupport::Run(testsupport::BinPath("reg") +
                       " set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct' CPUSleepTime dword 100",
                   env);
  testsupport::Run(testsupport::BinPath("reg") +
                       " set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct' bWarnAboutIncompleteSongs dword 0",
                   env);
  std::string command = testsupport::BinPath("sonoduct") + " -C" + files + " </dev/null";
  // script runs the program on a pseudo-terminal that stty makes 40 columns wide.
  auto tty = testsupport::Run("script -qfec \"stty cols 40; " + command + "\" /dev/null", env);
  int drawn = 0;
  for (const std::string& piece : Drawn(tty.out)) {
    if (piece.find("Written:") == std::string::npos) continue;  // not a status line
    ++drawn;
    EXPECT_LE(CodePoints(piece), 40u) << piece;
  }
  EXPECT_GT(drawn, 0) << tty.out;

  testsupport::Run("rm -rf '" + dir.Path() + "/Music'");  // the first run's targets
  auto piped = testsupport::Run(command + " 2>&1 | cat", env);
  EXPECT_EQ(piped.out.find('\r'), std::string::npos);
  EXPECT_EQ(piped.out.find('\x1b'), std::string::npos);
  std::istringstream in(piped.out);
  std::string line, summary;
  while (std::getline(in, line))
    if (line.find(" converted, ") != std::string::npos) summary = line;
  EXPECT_EQ(summary.rfind("5 converted, 0 skipped, 0 failed; ", 0), 0u) << piped.out;
}

}  // namespace
