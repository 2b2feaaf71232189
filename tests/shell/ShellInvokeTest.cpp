// Choosing an entry: one detached converter run per file with its argument
// vector passed through unchanged, by the core and by sonoshell-invoke.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>

#include "shell/FileUri.h"
#include "shell/ShellInvoke.h"
#include "tests/shell/ShellTestSupport.h"

namespace {

using shell::CShellMenu;
using shell::TInvokeResult;
using shelltest::Available;
using shelltest::RecordingProgram;
using shelltest::ShellQuote;

// Names that a shell or a careless quoting would change.
std::vector<std::string> AwkwardNames(const std::string& dir) {
  return {dir + "/with space.mp3",
          dir + "/quote\"and'apostrophe.mp3",
          dir + "/$HOME and `x`.mp3",
          dir + "/line\nbreak.mp3",
          dir + "/-C.mp3",
          dir + "/latin1 \xe9t\xe9.mp3",
          dir + "/back\\slash;|&.mp3"};
}

std::vector<std::vector<std::string>> Sorted(std::vector<std::vector<std::string>> runs) {
  std::sort(runs.begin(), runs.end());
  return runs;
}

bool HasChildren() {
  int status = 0;
  return waitpid(-1, &status, WNOHANG) != -1 || errno != ECHILD;
}

TEST(ShellInvoke, EntriesAreOffsetsOrSwitchLetters) {
  EXPECT_EQ(shell::ParseShellEntry("0"), 0);
  EXPECT_EQ(shell::ParseShellEntry("5"), 5);
  EXPECT_EQ(shell::ParseShellEntry("C"), 2);
  EXPECT_EQ(shell::ParseShellEntry("3"), 3);
  EXPECT_EQ(shell::ParseShellEntry("m"), 4);
  EXPECT_EQ(shell::ParseShellEntry("O"), 5);
  for (const char* bad : {"6", "9", "-1", "", "00", "X", "C3", " 0"})
    EXPECT_EQ(shell::ParseShellEntry(bad), -1) << bad;
}

TEST(ShellInvoke, EachFileStartsItsOwnRunWithItsNameUnchanged) {
  testsupport::TempDir dir;
  RecordingProgram program(dir.Path());
  const auto names = AwkwardNames(dir.Path());
  CShellMenu menu =
      CShellMenu::Query(names, shell::TTargetAvailability(), shelltest::StringsFile());
  shell::TInvokeReport report =
      shell::InvokeShellCommand(menu, CShellMenu::kConvertWav, program.Path());
  EXPECT_EQ(report.result, TInvokeResult::kStarted);
  EXPECT_EQ(report.started, static_cast<int>(names.size()));
  std::vector<std::vector<std::string>> want;
  for (const std::string& n : names) want.push_back({"-C", n});
  EXPECT_EQ(Sorted(program.WaitForRuns(names.size())), Sorted(want));
  // The runs were children of short-lived intermediates: nothing to reap here.
  EXPECT_FALSE(HasChildren());
}

TEST(ShellInvoke, GrayedUnknownAndFailingEntriesStartNothingOrSaySo) {
  testsupport::TempDir dir;
  RecordingProgram program(dir.Path());
  CShellMenu menu = CShellMenu::Query({dir.File("a.mp3")}, shell::TTargetAvailability(),
                                      shelltest::StringsFile());
  EXPECT_EQ(shell::InvokeShellCommand(menu, CShellMenu::kConvertMp3, program.Path()).result,
            TInvokeResult::kDisabled);
  EXPECT_EQ(shell::InvokeShellCommand(menu, 6, program.Path()).result,
            TInvokeResult::kInvalidEntry);
  EXPECT_EQ(shell::InvokeShellCommand(menu, -1, program.Path()).result,
            TInvokeResult::kInvalidEntry);
  EXPECT_TRUE(program.WaitForRuns(1, 300).empty());

  shell::TInvokeReport failed = shell::InvokeShellCommand(menu, 0, dir.File("missing/sonoduct"));
  EXPECT_EQ(failed.result, TInvokeResult::kStartFailed);
  EXPECT_EQ(failed.failed, 1);

  // A WMA file first while WMA can't be written: only the MP3 goes.
  CShellMenu wma = CShellMenu::Query({dir.File("a.wma"), dir.File("b.mp3")},
                                     shell::TTargetAvailability(), shelltest::StringsFile());
  shell::TInvokeReport r = shell::InvokeShellCommand(wma, CShellMenu::kOptions, program.Path());
  EXPECT_EQ(r.result, TInvokeResult::kStarted);
  EXPECT_EQ(r.skipped, 1);
  EXPECT_EQ(program.WaitForRuns(1),
            (std::vector<std::vector<std::string>>{{"-O", dir.File("b.mp3")}}));
}

TEST(ShellInvoke, FileUrisDecodeToTheirBytes) {
  std::string path;
  ASSERT_TRUE(shell::PathFromFileUri("file:///a%20b/%22q%22%0A%E9.mp3", &path));
  EXPECT_EQ(path, "/a b/\"q\"\n\xe9.mp3");
  ASSERT_TRUE(shell::PathFromFileUri("FILE://localhost/x$'.mp3", &path));
  EXPECT_EQ(path, "/x$'.mp3");
  for (const char* bad : {"http://host/a.mp3", "file://host/a.mp3", "file:relative", "file:///a%2",
                          "file:///a%zz", "file:///a%00b", "/plain/path"})
    EXPECT_FALSE(shell::PathFromFileUri(bad, &path)) << bad;
}

// sonoshell-invoke in a folder of its own, beside a recording sonoduct.
class InvokeHelper : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"sonoshell-invoke", "libfilora.so", "libutilities.so"}) {
      auto r = testsupport::Run("cp " + ShellQuote(testsupport::BinPath(f)) + " " +
                                ShellQuote(dir_.Path()));
      ASSERT_EQ(r.exitCode, 0) << f << r.err;
    }
    homes_.SetAvailability(Available(true, true, false));
  }

  testsupport::ProcessResult Invoke(const std::vector<std::string>& args) {
    std::string command = ShellQuote(dir_.File("sonoshell-invoke"));
    for (const std::string& a : args) command += " " + ShellQuote(a);
    return testsupport::Run(command);
  }

  shelltest::TempHomes homes_;
  testsupport::TempDir dir_;
  RecordingProgram program_{dir_.Path()};
};

TEST_F(InvokeHelper, StartsTheConverterBesideItselfOncePerFile) {
  const auto names = AwkwardNames(dir_.Path());
  std::vector<std::string> args = {"C", "--"};
  args.insert(args.end(), names.begin(), names.end());
  auto r = Invoke(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::vector<std::string>> want;
  for (const std::string& n : names) want.push_back({"-C", n});
  EXPECT_EQ(Sorted(program_.WaitForRuns(names.size())), Sorted(want));
}

TEST_F(InvokeHelper, AppliesTheMenuRulesToTheSelection) {
  // A WAV file's first entry converts to MP3, as the registry allows.
  auto r = Invoke({"0", "--", dir_.File("take.wav"), dir_.File("b.wma")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(program_.WaitForRuns(1),
            (std::vector<std::vector<std::string>>{{"-3", dir_.File("take.wav")}}));

  EXPECT_EQ(Invoke({"M", "--", dir_.File("x.mp3")}).exitCode, 1);  // grayed
  EXPECT_EQ(Invoke({"0", "--", dir_.File("clip.mpg"), dir_.File("x.mp3")}).exitCode, 1);
  EXPECT_EQ(Invoke({"0", "--", dir_.File("a.wma")}).exitCode, 1);  // WMA only
  EXPECT_EQ(Invoke({"7", "--", dir_.File("x.mp3")}).exitCode, 2);
  EXPECT_EQ(Invoke({"0", dir_.File("x.mp3")}).exitCode, 2);
  EXPECT_EQ(program_.WaitForRuns(2, 300).size(), 1u);
}

TEST_F(InvokeHelper, TakesFileUrisAndRelativeNames) {
  auto r = Invoke(
      {"--uris", "5", "--", "file:///m/with%20space%24.mp3", "http://x/y.mp3", "file:///m/-b.mp3"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Sorted(program_.WaitForRuns(2)),
            Sorted({{"-O", "/m/with space$.mp3"}, {"-O", "/m/-b.mp3"}}));

  auto rel =
      testsupport::Run("cd " + ShellQuote(dir_.Path()) + " && ./sonoshell-invoke 2 -- -x.mp3");
  EXPECT_EQ(rel.exitCode, 0) << rel.err;
  auto runs = program_.WaitForRuns(3);
  EXPECT_NE(
      std::find(runs.begin(), runs.end(), std::vector<std::string>{"-C", dir_.File("-x.mp3")}),
      runs.end());
}

}  // namespace
