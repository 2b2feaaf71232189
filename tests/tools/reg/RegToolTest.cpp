// The reg tool, run as a real program on a store of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/registry/RegKey.h"
#include "tests/TestSupport.h"

namespace {

using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::TempDir;

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class RegToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old, hadSaved_ = true;
    config_ = dir_.File("config");
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  void TearDown() override {
    if (hadSaved_)
      setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  ProcessResult Reg(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    std::string cmd = ShellQuote(testsupport::BinPath("reg"));
    for (const auto& a : args) cmd += " " + ShellQuote(a);
    env.push_back("XDG_CONFIG_HOME=" + config_);
    return testsupport::Run(cmd, env);
  }
  std::string Get(const std::string& key, const std::string& name) {
    ProcessResult r = Reg({"get", key, name});
    EXPECT_EQ(r.exitCode, 0) << key << " " << name << ": " << r.err;
    return r.out;
  }

  TempDir dir_;
  std::string config_, saved_;
  bool hadSaved_ = false;
};

const char kKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\Quillon\\Sonoduct";

TEST_F(RegToolTest, AllThreeTypesRoundTrip) {
  struct {
    const char* type;
    const char* in;
    const char* out;
  } cases[] = {
      {"dword", "50", "50\n"},
      {"dword", "0x5F", "95\n"},
      {"dword", "4294967295", "4294967295\n"},
      {"dword", "-1", "4294967295\n"},
      {"dword", "0", "0\n"},
      {"sz", "/home/ann/Music/Con verted/", "/home/ann/Music/Con verted/\n"},
      {"sz", "quote \" back\\slash caf\xc3\xa9 [x] %41",
       "quote \" back\\slash caf\xc3\xa9 [x] %41\n"},
      {"sz", "", "\n"},
      {"binary", "00000080 00:00:00,80", "0000008000000080\n"},
      {"binary", "", "\n"},
  };
  for (const auto& c : cases) {
    ProcessResult set = Reg({"set", kKey, "Value", c.type, c.in});
    ASSERT_EQ(set.exitCode, 0) << c.in << ": " << set.err;
    EXPECT_EQ(Get(kKey, "value"), c.out) << c.type << " " << c.in;
  }
  // The empty name is the default value.
  ASSERT_EQ(Reg({"set", "HKCR\\.mp3", "", "sz", "SONODUCT.FILE"}).exitCode, 0);
  EXPECT_EQ(Get("HKCR\\.mp3", ""), "SONODUCT.FILE\n");
}

TEST_F(RegToolTest, ExitStatusTellsMissingFromFailed) {
  ASSERT_EQ(Reg({"set", kKey, "PlaySound", "dword", "1"}).exitCode, 0);
  EXPECT_EQ(Reg({"get", kKey, "PlaySound"}).exitCode, 0);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"get", kKey, "NoSuchValue"},
           {"get", "HKCU\\SOFTWARE\\Nobody", "PlaySound"},
           {"list", "HKCU\\SOFTWARE\\Nobody"},
           {"delete", kKey, "NoSuchValue"},
           {"delete", "HKCU\\SOFTWARE\\Nobody"},
           {"get", "HKLM\\SOFTWARE\\Quillon\\Sonoduct", "PlaySound"},
       }) {
    ProcessResult r = Reg(args);
    EXPECT_EQ(r.exitCode, 1) << args[0] << " " << args[1];
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(r.out.empty());
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate", kKey},
           {"get", kKey},
           {"get", "HKEY_NOWHERE\\x", "v"},
           {"get", "HKCU\\a\\\\b", "v"},
           {"set", kKey, "v", "dword", "12x"},
           {"set", kKey, "v", "dword", "4294967296"},
           {"set", kKey, "v", "dword", "0x123456789"},
           {"set", kKey, "v", "dword", ""},
           {"set", kKey, "v", "binary", "abc"},
           {"set", kKey, "v", "binary", "zz"},
           {"set", kKey, "v", "qword", "1"},
           {"delete", "HKCU"},
       }) {
    ProcessResult r = Reg(args);
    EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "(none)" : args[0]);
    EXPECT_NE(r.err.find("usage"), std::string::npos);
  }
  // Nothing was written by the refused commands.
  EXPECT_EQ(Reg({"get", kKey, "v"}).exitCode, 1);
  ProcessResult help = Reg({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: reg"), std::string::npos);
}

TEST_F(RegToolTest, ShortRootsSlashesAndCaseNameTheSameKey) {
  ASSERT_EQ(
      Reg({"set", "HKLM/SOFTWARE/Quillon/Sonoduct/", "NormalizeLevel", "dword", "97"}).exitCode, 0);
  EXPECT_EQ(Get("HKEY_LOCAL_MACHINE\\software\\QUILLON\\sonoduct", "normalizelevel"), "97\n");
  EXPECT_EQ(Get("hklm/SOFTWARE\\Quillon/Sonoduct", "NormalizeLevel"), "97\n");
  EXPECT_EQ(Reg({"get", "HKCU/SOFTWARE/Quillon/Sonoduct", "NormalizeLevel"}).exitCode, 1);
  ASSERT_EQ(Reg({"set", "HKEY_CLASSES_ROOT/CLSID", "x", "sz", "y"}).exitCode, 0);
  EXPECT_EQ(Get("hkcr\\clsid", "X"), "y\n");
}

TEST_F(RegToolTest, ListsAndDeletesKeys) {
  ASSERT_EQ(
      Reg({"set", "HKCU/SOFTWARE/Quillon/Sonoduct/MP3EncoderOptions", "MP3Advanced", "dword", "0"})
          .exitCode,
      0);
  ASSERT_EQ(Reg({"set", "HKCU/SOFTWARE/Quillon/Sonoduct/WaveEncoderOptions/Deep", "a", "sz", "b"})
                .exitCode,
            0);
  ASSERT_EQ(Reg({"set", kKey, "DefaultDir", "sz", "/m\n\"x\""}).exitCode, 0);
  ASSERT_EQ(Reg({"set", kKey, "LastWindowPoint", "binary", "0102"}).exitCode, 0);
  ProcessResult list = Reg({"list", kKey});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(list.out,
            "[MP3EncoderOptions]\n"
            "[WaveEncoderOptions]\n"
            "\"DefaultDir\"=sz:\"/m\\n\\\"x\\\"\"\n"
            "\"LastWindowPoint\"=hex:01,02\n");

  ASSERT_EQ(Reg({"delete", kKey, "defaultdir"}).exitCode, 0);
  EXPECT_EQ(Reg({"get", kKey, "DefaultDir"}).exitCode, 1);
  ASSERT_EQ(Reg({"delete", "HKCU/SOFTWARE/Quillon/Sonoduct/WaveEncoderOptions"}).exitCode, 0);
  EXPECT_EQ(Reg({"list", "HKCU/SOFTWARE/Quillon/Sonoduct/WaveEncoderOptions/Deep"}).exitCode, 1);
  EXPECT_EQ(Reg({"list", kKey}).out, "[MP3EncoderOptions]\n\"LastWindowPoint\"=hex:01,02\n");
}

TEST_F(RegToolTest, ValuesCrossBetweenToolAndKeyObjects) {
  // Written by the tool, read here.
  ASSERT_EQ(Reg({"set", kKey, "CPUSleepTime", "dword", "0x80000000"}).exitCode, 0);
  ASSERT_EQ(Reg({"set", kKey, "DefaultDir", "sz", "/home/ann/\"Music\"\\"}).exitCode, 0);
  ASSERT_EQ(Reg({"set", kKey, "LastWindowPoint", "binary", "00ff10"}).exitCode, 0);
  CRegKey root(HKEY_CURRENT_USER);
  CRegKey* key = root.GetSubKey("SOFTWARE\\Quillon\\Sonoduct");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->GetKeyNum("CPUSleepTime"), 0x80000000u);
  std::string s;
  ASSERT_TRUE(key->GetKeyString("DefaultDir", s));
  EXPECT_EQ(s, "/home/ann/\"Music\"\\");
  ASSERT_TRUE(key->GetKeyData("LastWindowPoint", s));
  EXPECT_EQ(s, std::string("\x00\xff\x10", 3));

  // Written here, read by the tool.
  ASSERT_TRUE(key->SetKeyNum("PlaySound", 7));
  ASSERT_TRUE(key->SetKeyString("TempDirectory", "/tmp/sono duct/"));
  const char bytes[] = {0, 1, 2, '\n'};
  ASSERT_TRUE(key->SetKeyData("Blob", bytes, 4));
  DeleteRegKey(&key);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(Get(kKey, "PlaySound"), "7\n");
  EXPECT_EQ(Get(kKey, "TempDirectory"), "/tmp/sono duct/\n");
  EXPECT_EQ(Get(kKey, "Blob"), "0001020a\n");
  EXPECT_EQ(Get(kKey, "CPUSleepTime"), "2147483648\n");
}

TEST_F(RegToolTest, CorruptStoreIsLoggedReadAsEmptyAndKept) {
  std::filesystem::create_directories(config_ + "/quillon");
  std::string store = config_ + "/quillon/HKEY_CURRENT_USER.reg";
  ASSERT_TRUE(testsupport::WriteFile(store, "[SOFTWARE]\n\"v\"=dword:zz\n"));
  std::string log = dir_.File("log.txt");
  ProcessResult get = Reg({"get", "HKCU\\SOFTWARE", "v"}, {"SONODUCT_LOG=" + log});
  EXPECT_EQ(get.exitCode, 1);
  EXPECT_NE(ReadFile(log).find("corrupt"), std::string::npos) << ReadFile(log);
  EXPECT_NE(ReadFile(log).find("line 2"), std::string::npos) << ReadFile(log);

  // Without a log set up, the tool reports it on stderr.
  ProcessResult plain = Reg({"list", "HKCU"});
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_NE(plain.err.find("corrupt"), std::string::npos) << plain.err;
  EXPECT_EQ(plain.out, "");
  ASSERT_EQ(Reg({"set", "HKCU\\SOFTWARE", "v", "dword", "1"}).exitCode, 0);
  EXPECT_EQ(Get("HKCU\\SOFTWARE", "v"), "1\n");
  bool kept = false;
  for (const auto& e : std::filesystem::directory_iterator(config_ + "/quillon"))
    if (e.path().filename().string().rfind("HKEY_CURRENT_USER.reg.corrupt-", 0) == 0)
      kept = ReadFile(e.path().string()) == "[SOFTWARE]\n\"v\"=dword:zz\n";
  EXPECT_TRUE(kept);
}

TEST_F(RegToolTest, TwentyToolProcessesAtOnceLoseNothing) {
  ASSERT_EQ(Reg({"set", kKey, "Seed", "dword", "0"}).exitCode, 0);
  std::string reg = testsupport::BinPath("reg");
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 20; ++i) {
    std::string name = "Process" + std::to_string(i), value = std::to_string(500 + i);
    pid_t pid = fork();
    if (pid == 0) {
      close(gate[1]);
      char c;
      while (read(gate[0], &c, 1) > 0) {
      }  // all are let go together when the parent closes its end
      execl(reg.c_str(), "reg", "set", kKey, name.c_str(), "dword", value.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    children.push_back(pid);
  }
  close(gate[0]);
  close(gate[1]);
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(Get(kKey, "Process" + std::to_string(i)), std::to_string(500 + i) + "\n");
  EXPECT_EQ(Get(kKey, "Seed"), "0\n");
}

}  // namespace
