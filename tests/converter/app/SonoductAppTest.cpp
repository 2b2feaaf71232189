// The converter's entry: command line, start-up and the hand-off between real
// converter processes. The conversion run and the dialogs are not built yet;
// the tests stand in for them only to see what the entry hands over.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "converter/app/CommandLine.h"
#include "converter/app/PendingServices.h"
#include "converter/app/SonoductApp.h"
#include "converter/prefs/Preferences.h"
#include "platform/registry/RegKey.h"
#include "tests/TestSupport.h"
#include "tests/converter/HelperProcess.h"

namespace {

using testsupport::TempDir;

TEST(CommandLineTest, SwitchNamesAndRelativeNames) {
  CCommandLine line;
  ASSERT_EQ(line.Parse({"-3", "/a/x.wav", "b.wav", "./c.wav", "sub/d.wav", ""}, "/home/u"), 1);
  EXPECT_EQ(line.Switch(), '3');
  EXPECT_EQ(line.Names(), (std::vector<std::string>{"/a/x.wav", "/home/u/b.wav", "/home/u/c.wav",
                                                    "/home/u/sub/d.wav", ""}));

  ASSERT_EQ(line.Parse({"x.mp3", "/y.mp3"}, "/m/"), 1);
  EXPECT_EQ(line.Switch(), 0);
  EXPECT_EQ(line.Names(), (std::vector<std::string>{"/m/x.mp3", "/y.mp3"}));

  // A name with blanks or quotes is one name.
  ASSERT_EQ(line.Parse({"-C", "my \"song\" 1.mp3"}, "/m"), 1);
  EXPECT_EQ(line.Names(), (std::vector<std::string>{"/m/my \"song\" 1.mp3"}));

  for (const char* bad : {"-x", "-c", "-", "-CC", "--"}) {
    EXPECT_EQ(line.Parse({bad, "/a.mp3"}, "/m"), 0) << bad;
    EXPECT_TRUE(line.Names().empty());
  }
  EXPECT_EQ(line.Parse({}, "/m"), 0);
}

// The pending services, with a conversion run and answers the test sees.
class TestServices : public CPendingServices {
 public:
  int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
              uint32_t& nextEntry) override {
    ++runs;
    for (const auto& f : queue) converted.push_back(f);
    if (duringRun) duringRun(channel);
    // Fetch what later instances posted meanwhile, as the run does.
    for (uint32_t n = channel.Count(); nextEntry < n; ++nextEntry) {
      HandOffEntry entry{};
      if (channel.Get(nextEntry, entry)) converted.push_back({entry.path, entry.targetType});
    }
    return static_cast<int>(queue.size());
  }
  bool AskConvertWaveToWave(const std::string& name) override {
    asked.push_back(name);
    return wavAnswer;
  }
  int ShowHowTo() override {
    ++howTo;
    return 1;
  }
  int IsShellExtensionRegistered() override { return 1; }
  int RegisterShellExtension() override { return 1; }
  int RemoveRightClickEntries() override { return 1; }
  int UnregisterShellExtension() override { return 1; }
  int RemoveDesktopLink() override { return 1; }
  int Load() override {
    if (afterOpen) afterOpen();
    return 1;
  }

  std::vector<TQueuedFile> converted;
  std::vector<std::string> asked;
  bool wavAnswer = false;
  int runs = 0;
  int howTo = 0;
  std::function<void(CInstanceChannel&)> duringRun;
  std::function<void()> afterOpen;
};

class SonoductAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);  // the registry store
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(chdir(files_.Path().c_str()), 0);
    for (const char* name : {"a.mp3", "b.mp3", "c.wav", "d.wma"})
      testsupport::WriteFile(files_.File(name), "x");
  }
  void TearDown() override { (void)!chdir(oldCwd_.c_str()); }

  testsupport::ProcessResult Sonoduct(
      const std::string& args, const std::string& program = testsupport::BinPath("sonoduct")) {
    // The terminal front-end (no display, whatever the session has), and the
    // file managers' files in the test's own folders.
    return testsupport::Run(
        "'" + program + "' " + args,
        {"XDG_RUNTIME_DIR=" + runtime_.Path(), "XDG_CONFIG_HOME=" + config_.Path(),
         "XDG_DATA_HOME=" + config_.Path() + "/data", "HOME=" + config_.Path(),
         "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
  }
  // A copy of the program folder without the MP3 encoder libraries.
  std::string ProgramWithoutEncoders() {
    const std::string program = testsupport::ProgramWithoutEncoders(program_.Path());
    EXPECT_NE(program, "");
    return program;
  }
  std::string F(const std::string& name) const { return files_.File(name); }

  TempDir runtime_;
  TempDir config_;
  TempDir files_;
  TempDir program_;
  std::string oldCwd_;
};

TEST_F(SonoductAppTest, NameListQueuesTheFirstNameAndPostsTheRest) {
  TestServices services;
  services.wavAnswer = false;
  CSonoductApp app(services.All());
  int status = app.Run({"a.mp3", "missing.mp3", "c.wav", "", "./d.wma", "b.mp3"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(services.howTo, 0);
  EXPECT_EQ(services.asked, std::vector<std::string>{F("c.wav")});
  ASSERT_EQ(services.converted.size(), 3u);
  EXPECT_EQ(services.converted[0].path, F("a.mp3"));  // made absolute
  EXPECT_EQ(services.converted[1].path, F("d.wma"));
  EXPECT_EQ(services.converted[2].path, F("b.mp3"));
  for (const auto& f : services.converted) EXPECT_EQ(f.targetType, kTargetWave);
}

TEST_F(SonoductAppTest, FirstNameThatYieldsNothingTakesTheHowToPath) {
  {
    // A missing first name: the rest is not looked at.
    TestServices services;
    CSonoductApp app(services.All());
    EXPECT_EQ(app.Run({"missing.mp3", "a.mp3"}), 0);
    EXPECT_EQ(services.howTo, 1);
    EXPECT_EQ(services.runs, 0);
  }
  {
    // A WAV first name answered no: further names are still posted.
    TestServices services;
    CInstanceChannel watcher;
    CSonoductApp app(services.All());
    EXPECT_EQ(app.Run({"c.wav", "a.mp3"}), 0);
    EXPECT_EQ(services.howTo, 1);
    EXPECT_EQ(services.runs, 0);
    ASSERT_EQ(watcher.Open(), 1);
    EXPECT_EQ(watcher.IsFirstInstance(), 1);  // the block starts afresh
  }
  {
    TestServices services;
    services.wavAnswer = true;
    CSonoductApp app(services.All());
    EXPECT_EQ(app.Run({"c.wav"}), 0);
    ASSERT_EQ(services.converted.size(), 1u);
    EXPECT_EQ(services.converted[0].targetType, kTargetWave);
  }
}

TEST_F(SonoductAppTest, LaterConverterProcessesPostIntoTheRunningOne) {
  TestServices services;
  testsupport::ProcessResult later, passedOver;
  services.duringRun = [&](CInstanceChannel&) {
    later = Sonoduct("-3 '" + F("b.mp3") + "' ./a.mp3 'with blank.mp3'");
    passedOver = Sonoduct("-C noextension");
  };
  CSonoductApp app(services.All());
  EXPECT_EQ(app.Run({"-M", F("d.wma")}), 0);
  EXPECT_EQ(later.exitCode, 0) << later.err;
  EXPECT_EQ(later.err, "");
  EXPECT_EQ(passedOver.exitCode, 0) << passedOver.err;
  ASSERT_EQ(services.converted.size(), 4u);
  EXPECT_EQ(services.converted[0].path, F("d.wma"));
  EXPECT_EQ(services.converted[0].targetType, kTargetWma);
  EXPECT_EQ(services.converted[1].path, F("b.mp3"));
  // The later process made its relative names absolute against its own directory.
  EXPECT_EQ(services.converted[2].path, F("a.mp3"));
  EXPECT_EQ(services.converted[3].path, F("with blank.mp3"));
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(services.converted[i].targetType, kTargetMp3);
}

TEST_F(SonoductAppTest, LaterInstanceWhoseFirstDiedConvertsItself) {
  Helper first({"hold-first", "60000"});
  ASSERT_TRUE(first.WaitFor("first\n"));
  TestServices services;
  // The first instance ends after this process opened the channel.
  services.afterOpen = [&] { first.Kill(); };
  CSonoductApp app(services.All());
  EXPECT_EQ(app.Run({"-C", F("a.mp3"), F("b.mp3")}), 0);
  EXPECT_EQ(services.runs, 1);
  ASSERT_EQ(services.converted.size(), 2u);
  EXPECT_EQ(services.converted[0].path, F("a.mp3"));
  EXPECT_EQ(services.converted[1].path, F("b.mp3"));
}

TEST_F(SonoductAppTest, UninstallRemovesTheSettingsForAllUsers) {
  {
    CRegKey machine(HKEY_LOCAL_MACHINE);
    CRegKey* options = machine.CreateSubKey("SOFTWARE\\Quillon\\Sonoduct\\MP3EncoderOptions");
    ASSERT_NE(options, nullptr);
    options->SetKeyNum("Bitrate", 192);
    DeleteRegKey(&options);
    CRegKey* other = machine.CreateSubKey("SOFTWARE\\Quillon\\Other");
    ASSERT_NE(other, nullptr);
    other->SetKeyNum("Kept", 1);
    DeleteRegKey(&other);
  }
  TestServices services;
  CPreferences preferences;
  TAppServices all = services.All();
  all.preferences = &preferences;
  CSonoductApp app(all);
  EXPECT_EQ(app.Run({"-Q"}), 0);
  CRegKey machine(HKEY_LOCAL_MACHINE);
  CRegKey* quillon = machine.GetSubKey("SOFTWARE\\Quillon");
  ASSERT_NE(quillon, nullptr);
  EXPECT_EQ(quillon->KeyExists("Sonoduct"), 0);
  EXPECT_EQ(quillon->KeyExists("Other"), 1);
  DeleteRegKey(&quillon);
}

TEST_F(SonoductAppTest, ProgramReportsFailuresAndWhatItDid) {
  auto r = Sonoduct("-C '" + F("a.mp3") + "'");
  EXPECT_EQ(r.exitCode, 1);
  // Not MPEG audio: the error log names the file, and the status says it failed.
  EXPECT_NE(r.err.find(F("a.mp3") + ": the file is damaged"), std::string::npos) << r.err;

  // Without an MP3 encoder a WAV source has no other target. Without a
  // terminal the WAV question gets its safe answer, yes.
  r = Sonoduct("'" + F("c.wav") + "'", ProgramWithoutEncoders());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Convert WAV to WAV?"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(F("c.wav") + ": "), std::string::npos) << r.err;

  // The switches that set up and take away the file managers' menu say what they did.
  for (const char* args : {"", "-x", "-S", "-U", "-I"}) {
    r = Sonoduct(args);
    EXPECT_EQ(r.exitCode, 0) << args << r.err;
    EXPECT_NE(r.out.find("Sonoduct is set up in the file managers' context menus."),
              std::string::npos)
        << args << r.out;
  }
  r = Sonoduct("-R");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("correctly set up"), std::string::npos) << r.err;
  for (const char* args : {"-Z", "-Q"}) {
    r = Sonoduct(args);
    EXPECT_EQ(r.exitCode, 0) << args << r.err;
    EXPECT_NE(r.out.find("taken out of the file managers' context menus"), std::string::npos)
        << args << r.out;
  }
  // Without a display there is no Options sheet.
  r = Sonoduct("-O");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("The Options sheet is not part of this version"), std::string::npos)
      << r.err;

  // An unsafe runtime folder: the channel is not ready, and the keyed message says so.
  mkdir((runtime_.Path() + "/sonoduct").c_str(), 0700);
  ASSERT_EQ(chmod((runtime_.Path() + "/sonoduct").c_str(), 0755), 0);
  r = Sonoduct("-C '" + F("a.mp3") + "'");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("could not connect to its other running copies"), std::string::npos)
      << r.err;
}

}  // namespace

namespace {

// Register, move the program, repair, unregister: the class store and the
// menu's files follow the program, and go with the last step.
TEST_F(SonoductAppTest, TheFileManagerMenuFollowsTheProgramAndGoesWhenRemoved) {
  std::string bin = testsupport::BinDir();
  std::string entry = config_.Path() + "/data/applications/sonoduct.desktop";
  std::string store = config_.Path() + "/quillon/HKEY_CLASSES_ROOT.reg";
  auto r = Sonoduct("-S");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(testsupport::ReadFile(store).find(bin + "/sonoshell-invoke"), std::string::npos);
  EXPECT_NE(testsupport::ReadFile(entry).find(bin + "/sonoduct"), std::string::npos);
  r = Sonoduct("-R");
  EXPECT_NE(r.err.find("correctly set up"), std::string::npos) << r.err;

  // The program moved: the repair sets it up again where it is now.
  std::string moved = ProgramWithoutEncoders();
  std::string movedDir = moved.substr(0, moved.rfind('/'));
  r = Sonoduct("-R", moved);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("set up again"), std::string::npos) << r.err;
  EXPECT_NE(testsupport::ReadFile(store).find(movedDir + "/sonoshell-invoke"), std::string::npos);
  EXPECT_NE(testsupport::ReadFile(entry).find(moved), std::string::npos);

  r = Sonoduct("-Z", moved);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testsupport::ReadFile(store).find("SonoShellMenu"), std::string::npos);
  EXPECT_EQ(testsupport::ReadFile(store).find("SONODUCT.FILE"), std::string::npos);
  EXPECT_FALSE(testsupport::Run("test -e '" + entry + "'").exitCode == 0);
}

}  // namespace
