// --help, --version and unknown long options, in the program as a user runs it.
#include <gtest/gtest.h>

#include "converter/app/LongOptions.h"
#include "tests/TestSupport.h"

namespace {

TEST(LongOptions, AreTakenOutBeforeTheSwitchesAndEndAtADoubleDash) {
  std::vector<std::string> args = {"--console", "-C", "a.wav", "--", "--odd.wav"};
  TLongOptions o = TakeLongOptions(args);
  EXPECT_TRUE(o.console);
  EXPECT_FALSE(o.help);
  EXPECT_EQ(args, (std::vector<std::string>{"-C", "a.wav", "--odd.wav"}));
  args = {"--colour", "--help", "--nope"};
  o = TakeLongOptions(args);
  EXPECT_TRUE(o.help);
  EXPECT_EQ(o.unknown, "--colour");
}

TEST(LongOptions, AJobCountIsTakenWhereverItStandsBeforeADoubleDash) {
  std::vector<std::string> args = {"-C", "-j", "2", "a.wav", "--", "-j3"};
  TLongOptions o = TakeLongOptions(args);
  EXPECT_EQ(o.jobs, 2);
  EXPECT_TRUE(o.badJobs.empty());
  EXPECT_EQ(args, (std::vector<std::string>{"-C", "a.wav", "-j3"}));
  args = {"-j0", "a.wav"};
  EXPECT_EQ(TakeLongOptions(args).jobs, 0);
  args = {"-j", "many", "a.wav"};
  o = TakeLongOptions(args);
  EXPECT_EQ(o.badJobs, "many");
  EXPECT_EQ(args, (std::vector<std::string>{"a.wav"}));
  args = {"-C", "-j"};
  EXPECT_EQ(TakeLongOptions(args).badJobs, "-j");
}

TEST(LongOptions, HelpAndVersionAnswerWithoutTouchingSettingsOrTheHandOff) {
  testsupport::TempDir dir;
  std::vector<std::string> env = {"HOME=" + dir.Path(),
                                  "XDG_CONFIG_HOME=" + dir.Path() + "/config",
                                  "XDG_RUNTIME_DIR=" + dir.Path() + "/run",
                                  "DISPLAY=",
                                  "WAYLAND_DISPLAY=",
                                  "QT_QPA_PLATFORM="};
  std::string program = testsupport::BinPath("sonoduct");
  auto help = testsupport::Run(program + " --help", env);
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: sonoduct", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("-3 FILE..."), std::string::npos);
  EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
  auto version = testsupport::Run(program + " --version", env);
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "Sonoduct 0.1.0\n");
  auto unknown = testsupport::Run(program + " --frobnicate -C x.wav", env);
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err,
            "sonoduct: --frobnicate: this option is not known (see sonoduct --help)\n");
  // Nothing was made: no settings store, no runtime folder.
  EXPECT_EQ(testsupport::Run("ls -A '" + dir.Path() + "'").out, "");
}

}  // namespace
