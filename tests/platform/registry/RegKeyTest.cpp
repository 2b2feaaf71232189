// CRegKey over the real store files, each test with its own config folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "platform/LastError.h"
#include "platform/registry/RegBatch.h"
#include "platform/registry/RegKey.h"
#include "tests/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

struct KeyDeleter {
  void operator()(CRegKey* key) const { DeleteRegKey(&key); }
};
using KeyPtr = std::unique_ptr<CRegKey, KeyDeleter>;

// Runs body in a forked process and gives its exit status (body's result 0
// or 1 for a failed check).
int InChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

class RegKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) saved_ = old, hadSaved_ = true;
    config_ = dir_.File("config");  // does not exist yet
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  void TearDown() override {
    if (hadSaved_)
      setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  std::string StoreFile(const char* root = "HKEY_CURRENT_USER") {
    return config_ + "/quillon/" + root + ".reg";
  }
  KeyPtr Create(const char* path, TRegRoot root = HKEY_CURRENT_USER) {
    CRegKey top(root);
    return KeyPtr(top.CreateSubKey(path));
  }
  KeyPtr Open(const char* path, TRegRoot root = HKEY_CURRENT_USER) {
    CRegKey top(root);
    return KeyPtr(top.GetSubKey(path));
  }

  TempDir dir_;
  std::string config_, saved_;
  bool hadSaved_ = false;
};

TEST_F(RegKeyTest, TypedValuesReadBackAsWritten) {
  KeyPtr key = Create("SOFTWARE\\Quillon\\Sonoduct");
  ASSERT_TRUE(key);
  const uint8_t point[8] = {0, 0, 0, 0x80, 0, 0, 0, 0x80};
  ASSERT_TRUE(key->SetKeyNum("CPUSleepTime", 0xFFFFFFFFu));
  ASSERT_TRUE(key->SetKeyString("DefaultDir", "/home/ann/Music/Converted/"));
  ASSERT_TRUE(key->SetKeyData("LastWindowPoint", point, 8));
  ASSERT_TRUE(key->SetKeyString("", "default value"));
  ASSERT_TRUE(key->SetKeyString("Empty", ""));
  ASSERT_TRUE(key->SetKeyData("NoBytes", nullptr, 0));

  EXPECT_EQ(key->GetKeyNum("CPUSleepTime"), 0xFFFFFFFFu);
  std::string s;
  ASSERT_TRUE(key->GetKeyString("DefaultDir", s));
  EXPECT_EQ(s, "/home/ann/Music/Converted/");
  ASSERT_TRUE(key->GetKeyString(nullptr, s));  // null names the default value
  EXPECT_EQ(s, "default value");
  ASSERT_TRUE(key->GetKeyString("Empty", s));
  EXPECT_EQ(s, "");
  int64_t size = -1;
  const uint8_t* data = key->GetKeyData("LastWindowPoint", &size);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(size, 8);
  EXPECT_EQ(std::memcmp(data, point, 8), 0);
  EXPECT_NE(key->GetKeyData("NoBytes", &size), nullptr);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(key->GetValueType("CPUSleepTime"), REG_DWORD);
  EXPECT_EQ(key->GetValueType("DefaultDir"), REG_SZ);
  EXPECT_EQ(key->GetValueType("LastWindowPoint"), REG_BINARY);

  // Overwriting may change the type.
  ASSERT_TRUE(key->SetKeyString("CPUSleepTime", "fifty"));
  EXPECT_EQ(key->GetValueType("CPUSleepTime"), REG_SZ);

  // Missing values and wrong types fail with a reason, and keep the default.
  EXPECT_FALSE(key->SubKeyExists("Missing"));
  EXPECT_EQ(key->GetValueType("Missing"), REG_NONE);
  uint32_t n = 7;
  EXPECT_FALSE(key->GetKeyNum("Missing", &n));
  EXPECT_EQ(GetLastError(), REG_ERROR_NOT_FOUND);
  EXPECT_EQ(n, 7u);
  EXPECT_FALSE(key->GetKeyNum("DefaultDir", &n));
  EXPECT_EQ(GetLastError(), REG_ERROR_TYPE_MISMATCH);
  EXPECT_EQ(key->GetKeyData("Missing", &size), nullptr);
  EXPECT_FALSE(key->SetKeyString("x", nullptr));
  EXPECT_FALSE(key->SetKeyData("x", nullptr, 4));
  EXPECT_FALSE(key->SubKeyExists("x"));
}

TEST_F(RegKeyTest, BoundedStringCopyRefusesRatherThanCuts) {
  KeyPtr key = Create("K");
  ASSERT_TRUE(key->SetKeyString("Path", "12345"));
  char buf[6];
  ASSERT_TRUE(key->GetKeyString("Path", buf, sizeof buf));
  EXPECT_STREQ(buf, "12345");
  char small[5] = "zzzz";
  EXPECT_FALSE(key->GetKeyString("Path", small, sizeof small));
  EXPECT_EQ(GetLastError(), REG_ERROR_MORE_DATA);
  EXPECT_STREQ(small, "");
  EXPECT_FALSE(key->GetKeyString("Missing", buf, sizeof buf));
  EXPECT_STREQ(buf, "");
}

TEST_F(RegKeyTest, NamesIgnoreCaseButKeepIt) {
  KeyPtr key = Create("Software\\Quillon");
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetKeyNum("LastConversionType", 1));
  EXPECT_TRUE(key->SubKeyExists("LASTCONVERSIONTYPE"));
  ASSERT_TRUE(key->SetKeyNum("lastconversiontype", 2));
  EXPECT_EQ(key->GetKeyNum("LastConversionType"), 2u);
  std::string name;
  ASSERT_TRUE(key->EnumerateValues(0, name));
  EXPECT_EQ(name, "LastConversionType");
  EXPECT_FALSE(key->EnumerateValues(1, name));

  KeyPtr again = Open("SOFTWARE\\QUILLON");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Path(), "Software\\Quillon");
  EXPECT_EQ(again->GetKeyNum("LASTconversionTYPE"), 2u);
  KeyPtr created = Create("SOFTWARE\\quillon\\Sonoduct");
  EXPECT_EQ(created->Path(), "Software\\Quillon\\Sonoduct");
  // Only ASCII letters fold.
  ASSERT_TRUE(key->SetKeyNum("\xc3\xa9", 1));
  EXPECT_FALSE(key->SubKeyExists("\xc3\x89"));
}

TEST_F(RegKeyTest, HierarchicalKeys) {
  EXPECT_FALSE(Open("A"));
  EXPECT_EQ(GetLastError(), REG_ERROR_NOT_FOUND);
  KeyPtr deep = Create("A\\B\\C");
  ASSERT_TRUE(deep);
  EXPECT_EQ(deep->Path(), "A\\B\\C");
  KeyPtr a = Open("A");
  ASSERT_TRUE(a);
  KeyPtr bc(a->GetSubKey("b\\c"));
  ASSERT_TRUE(bc);
  EXPECT_EQ(bc->Path(), "A\\B\\C");
  EXPECT_TRUE(a->KeyExists("B"));
  EXPECT_FALSE(a->KeyExists("C"));
  KeyPtr same(a->GetSubKey(""));
  ASSERT_TRUE(same);
  EXPECT_EQ(same->Path(), "A");
  for (const char* bad : {"\\A", "A\\", "A\\\\B"}) {
    CRegKey top(HKEY_CURRENT_USER);
    EXPECT_EQ(top.CreateSubKey(bad), nullptr) << bad;
    EXPECT_EQ(GetLastError(), REG_ERROR_INVALID_PARAMETER);
  }
  // Roots are separate stores.
  EXPECT_FALSE(Open("A", HKEY_LOCAL_MACHINE));
  ASSERT_TRUE(Create("CLSID", HKEY_CLASSES_ROOT));
  EXPECT_TRUE(std::filesystem::exists(StoreFile("HKEY_CLASSES_ROOT")));
  EXPECT_FALSE(Open("CLSID"));
}

TEST_F(RegKeyTest, DeleteValuesAndSubtrees) {
  KeyPtr parent = Create("SOFTWARE\\Quillon");
  KeyPtr son = Create("SOFTWARE\\Quillon\\Sonoduct");
  ASSERT_TRUE(Create("SOFTWARE\\Quillon\\Sonoduct\\MP3EncoderOptions\\Deeper"));
  ASSERT_TRUE(Create("SOFTWARE\\Quillon\\Sonoduct Other"));
  ASSERT_TRUE(son->SetKeyNum("PlaySound", 1));
  ASSERT_TRUE(son->SetKeyNum("NormalizeLevel", 97));

  ASSERT_TRUE(son->DeleteRegValue("playsound"));
  EXPECT_FALSE(son->SubKeyExists("PlaySound"));
  EXPECT_TRUE(son->SubKeyExists("NormalizeLevel"));
  EXPECT_FALSE(son->DeleteRegValue("PlaySound"));
  EXPECT_EQ(GetLastError(), REG_ERROR_NOT_FOUND);

  // An empty name clears the subkeys only.
  ASSERT_TRUE(son->DeleteSubKeys(""));
  EXPECT_FALSE(son->KeyExists("MP3EncoderOptions"));
  EXPECT_TRUE(son->SubKeyExists("NormalizeLevel"));
  EXPECT_FALSE(son->DeleteSubKeys(""));

  ASSERT_TRUE(Create("SOFTWARE\\Quillon\\Sonoduct\\WaveEncoderOptions"));
  ASSERT_TRUE(parent->DeleteSubKeys("SONODUCT"));
  EXPECT_FALSE(Open("SOFTWARE\\Quillon\\Sonoduct"));
  EXPECT_FALSE(Open("SOFTWARE\\Quillon\\Sonoduct\\WaveEncoderOptions"));
  EXPECT_TRUE(Open("SOFTWARE\\Quillon\\Sonoduct Other"));
  EXPECT_FALSE(parent->DeleteSubKeys("Sonoduct"));
  EXPECT_EQ(GetLastError(), REG_ERROR_NOT_FOUND);

  // A key deleted under an open handle stays deleted: writes through the
  // stale handle fail instead of bringing it back.
  EXPECT_FALSE(son->IsValid());
  EXPECT_FALSE(son->SetKeyNum("PlaySound", 1));
  EXPECT_EQ(GetLastError(), REG_ERROR_KEY_DELETED);
  EXPECT_EQ(son->CreateSubKey("X"), nullptr);
  EXPECT_FALSE(Open("SOFTWARE\\Quillon\\Sonoduct"));
}

TEST_F(RegKeyTest, EnumeratesValuesAndSubkeysInOrder) {
  KeyPtr key = Create(".mp3");
  for (const char* v : {"", "Content Type", "PerceivedType", "OpenWithProgids"})
    ASSERT_TRUE(key->SetKeyString(v, "x"));
  ASSERT_TRUE(Create(".mp3\\shellex"));
  ASSERT_TRUE(Create(".mp3\\OpenWithList"));
  ASSERT_TRUE(Create(".mp3\\OpenWithList\\Deeper"));

  std::vector<std::string> values, keys;
  std::string name;
  for (int i = 0; key->EnumerateValues(i, name); ++i) values.push_back(name);
  EXPECT_EQ(GetLastError(), REG_ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(values,
            (std::vector<std::string>{"", "Content Type", "PerceivedType", "OpenWithProgids"}));
  for (int i = 0; key->EnumerateSubKeys(i, name); ++i) keys.push_back(name);
  EXPECT_EQ(keys, (std::vector<std::string>{"OpenWithList", "shellex"}));

  char buf[13];
  ASSERT_TRUE(key->EnumerateValues(1, buf, sizeof buf));
  EXPECT_STREQ(buf, "Content Type");
  EXPECT_FALSE(key->EnumerateValues(2, buf, sizeof buf));  // "PerceivedType" needs 14
  EXPECT_EQ(GetLastError(), REG_ERROR_MORE_DATA);
  EXPECT_FALSE(key->EnumerateValues(-1, buf, sizeof buf));
  ASSERT_TRUE(key->EnumerateSubKeys(1, buf, sizeof buf));
  EXPECT_STREQ(buf, "shellex");
}

TEST_F(RegKeyTest, StoreIsAPrivateTextFileInAFolderMadeOnDemand) {
  CRegKey top(HKEY_CURRENT_USER);
  EXPECT_FALSE(top.KeyExists("SOFTWARE"));
  EXPECT_FALSE(std::filesystem::exists(config_));  // reading creates nothing
  KeyPtr key = Create("SOFTWARE\\Quillon\\Sonoduct");
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetKeyNum("CPUSleepTime", 50));
  ASSERT_TRUE(key->SetKeyString("DefaultDir", "/tmp/\"x\"\n"));
  struct stat st;
  ASSERT_EQ(stat((config_ + "/quillon").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(StoreFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
  std::string text = ReadFile(StoreFile());
  EXPECT_NE(text.find("[SOFTWARE\\Quillon\\Sonoduct]\n"
                      "\"CPUSleepTime\"=dword:00000032\n"
                      "\"DefaultDir\"=sz:\"/tmp/\\\"x\\\"\\n\"\n"),
            std::string::npos)
      << text;
  EXPECT_FALSE(std::filesystem::exists(StoreFile() + ".tmp"));
}

TEST_F(RegKeyTest, OtherProcessesSeeChangesAndNoneAreLost) {
  KeyPtr key = Create("SOFTWARE\\Quillon\\Sonoduct");
  ASSERT_TRUE(key->SetKeyNum("Ours1", 1));
  // Another process writes between two writes of ours.
  ASSERT_EQ(InChild([] {
              CRegKey top(HKEY_CURRENT_USER);
              CRegKey* k = top.GetSubKey("SOFTWARE\\Quillon\\Sonoduct");
              int ok = k && k->GetKeyNum("Ours1") == 1 && k->SetKeyNum("Theirs", 2);
              DeleteRegKey(&k);
              return ok ? 0 : 1;
            }),
            0);
  ASSERT_TRUE(key->SetKeyNum("Ours2", 3));
  EXPECT_EQ(key->GetKeyNum("Ours1"), 1u);
  EXPECT_EQ(key->GetKeyNum("Theirs"), 2u);
  EXPECT_EQ(key->GetKeyNum("Ours2"), 3u);

  // Quick same-size rewrites by another process are all seen, though the
  // file's size stays and its time may not move between them.
  for (uint32_t i = 0; i < 30; ++i) {
    ASSERT_EQ(InChild([i] {
                CRegKey top(HKEY_CURRENT_USER);
                CRegKey* k = top.GetSubKey("SOFTWARE\\Quillon\\Sonoduct");
                int ok = k && k->SetKeyNum("Counter", i);
                DeleteRegKey(&k);
                return ok ? 0 : 1;
              }),
              0);
    ASSERT_EQ(key->GetKeyNum("Counter"), i);
  }
}

TEST_F(RegKeyTest, ThreadsOfOneProcessLoseNothing) {
  KeyPtr key = Create("Threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t] {
      CRegKey top(HKEY_CURRENT_USER);
      CRegKey* k = top.GetSubKey("Threads");
      for (int i = 0; i < 5; ++i)
        k->SetKeyNum(("T" + std::to_string(t) + "_" + std::to_string(i)).c_str(), t * 10 + i);
      DeleteRegKey(&k);
    });
  for (auto& t : threads) t.join();
  for (int t = 0; t < 8; ++t)
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(key->GetKeyNum(("t" + std::to_string(t) + "_" + std::to_string(i)).c_str()),
                static_cast<uint32_t>(t * 10 + i));
}

TEST_F(RegKeyTest, TwentyProcessesAtOnceLoseNothing) {
  ASSERT_TRUE(Create("SOFTWARE\\Quillon\\Sonoduct"));
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 20; ++i) {
    pid_t pid = fork();
    if (pid == 0) {
      close(gate[1]);
      char c;
      while (read(gate[0], &c, 1) > 0) {
      }  // the gate opens for all at once when the parent closes its end
      CRegKey top(HKEY_CURRENT_USER);
      CRegKey* k = top.GetSubKey("SOFTWARE\\Quillon\\Sonoduct");
      int ok = k && k->SetKeyNum(("Process" + std::to_string(i)).c_str(), 1000 + i);
      DeleteRegKey(&k);
      _exit(ok ? 0 : 1);
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
  KeyPtr key = Open("SOFTWARE\\Quillon\\Sonoduct");
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(key->GetKeyNum(("Process" + std::to_string(i)).c_str()),
              static_cast<uint32_t>(1000 + i));
}

TEST_F(RegKeyTest, BatchWritesOnceAtItsEndAndHoldsOthersOff) {
  KeyPtr key = Create("SOFTWARE\\Quillon\\Sonoduct");
  ASSERT_TRUE(key->SetKeyNum("Before", 1));
  const std::string before = ReadFile(StoreFile());
  // Another process's change, started once the batch holds the store, waits
  // for it and is kept after it. (The child is forked before the batch: a
  // process forked inside one would inherit its held lock.)
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  pid_t child = fork();
  if (child == 0) {
    close(gate[1]);
    char c;
    if (read(gate[0], &c, 1) != 1) _exit(2);
    CRegKey top(HKEY_CURRENT_USER);
    CRegKey* k = top.GetSubKey("SOFTWARE\\Quillon\\Sonoduct");
    int ok = k && k->SetKeyNum("Child", 9);
    DeleteRegKey(&k);
    _exit(ok ? 0 : 1);
  }
  close(gate[0]);
  {
    CRegBatch batch(HKEY_CURRENT_USER);
    ASSERT_TRUE(batch.Active());
    ASSERT_EQ(write(gate[1], "x", 1), 1);
    close(gate[1]);
    {
      CRegBatch inner(HKEY_CURRENT_USER);
      for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(key->SetKeyNum(("V" + std::to_string(i)).c_str(), i));
      KeyPtr sub(key->CreateSubKey("MP3EncoderOptions"));
      ASSERT_TRUE(sub && sub->SetKeyString("s", "t"));
      EXPECT_TRUE(inner.End());
    }
    EXPECT_EQ(key->GetKeyNum("V39"), 39u);  // seen at once by this thread
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ReadFile(StoreFile()), before);  // not yet written, child still waiting
    EXPECT_TRUE(batch.End());
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(key->GetKeyNum("Child"), 9u);
  EXPECT_EQ(key->GetKeyNum("Before"), 1u);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(key->GetKeyNum(("V" + std::to_string(i)).c_str()), static_cast<uint32_t>(i));
  KeyPtr sub = Open("SOFTWARE\\Quillon\\Sonoduct\\MP3EncoderOptions");
  ASSERT_TRUE(sub);
  std::string s;
  EXPECT_TRUE(sub->GetKeyString("S", s) && s == "t");
}

TEST_F(RegKeyTest, CorruptStoreIsReadAsEmptyAndKeptBeforeTheNextWrite) {
  std::filesystem::create_directories(config_ + "/quillon");
  const std::string garbage = "[SOFTWARE\\Quillon]\n\"Half\"=dword:00\n\"Lost\"=sz:\"keep me\"\n";
  ASSERT_TRUE(WriteFile(StoreFile(), garbage));
  KeyPtr key = Open("SOFTWARE\\Quillon");
  EXPECT_FALSE(key);  // read as empty

  KeyPtr made = Create("SOFTWARE\\Quillon");
  ASSERT_TRUE(made);
  ASSERT_TRUE(made->SetKeyNum("New", 1));
  std::vector<std::string> copies;
  for (const auto& e : std::filesystem::directory_iterator(config_ + "/quillon"))
    if (e.path().filename().string().rfind("HKEY_CURRENT_USER.reg.corrupt-", 0) == 0)
      copies.push_back(e.path().string());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadFile(copies[0]), garbage);
  EXPECT_EQ(made->GetKeyNum("New"), 1u);
  EXPECT_FALSE(made->SubKeyExists("Lost"));
  EXPECT_EQ(ReadFile(StoreFile()).find("keep me"), std::string::npos);

  // A second corruption gets a copy of its own.
  ASSERT_TRUE(WriteFile(StoreFile(), "junk\n"));
  KeyPtr again = Create("Other");
  ASSERT_TRUE(again);
  int count = 0;
  for (const auto& e : std::filesystem::directory_iterator(config_ + "/quillon"))
    count += e.path().filename().string().rfind("HKEY_CURRENT_USER.reg.corrupt-", 0) == 0;
  EXPECT_EQ(count, 2);
}

TEST_F(RegKeyTest, FolderInPlaceOfTheStoreIsNotReplaced) {
  // A folder in the store's place can be opened but not read as a store.
  std::filesystem::create_directories(StoreFile() + "/inside");
  {
    CRegKey top(HKEY_CURRENT_USER);
    EXPECT_FALSE(top.KeyExists("K"));
    EXPECT_EQ(top.CreateSubKey("K"), nullptr);
    EXPECT_EQ(GetLastError(), REG_ERROR_ACCESS_DENIED);
    EXPECT_TRUE(std::filesystem::exists(StoreFile() + "/inside"));
  }
}

TEST_F(RegKeyTest, StoreWithoutReadPermissionIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "needs a user other than root, who reads any file";
  std::filesystem::create_directories(config_ + "/quillon");
  const std::string before = "[K]\n\"Old\"=dword:00000001\n";
  ASSERT_TRUE(WriteFile(StoreFile(), before));
  ASSERT_EQ(chmod(StoreFile().c_str(), 0), 0);
  KeyPtr key = Create("K");
  EXPECT_FALSE(key);
  EXPECT_EQ(GetLastError(), REG_ERROR_ACCESS_DENIED);
  CRegKey top(HKEY_CURRENT_USER);
  EXPECT_FALSE(top.KeyExists("K"));
  // Readable again: the values are back, and only now may it change.
  ASSERT_EQ(chmod(StoreFile().c_str(), 0600), 0);
  EXPECT_EQ(ReadFile(StoreFile()), before);
  key = Open("K");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->GetKeyNum("Old"), 1u);
  EXPECT_TRUE(key->SetKeyNum("New", 2));
}

TEST_F(RegKeyTest, ChangingConfigFolderKeepsNoOldFilesOpen) {
  const auto openFiles = [] {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
  };
  int before = openFiles();
  for (int i = 0; i < 40; ++i) {
    std::string folder = dir_.File("c" + std::to_string(i));
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    KeyPtr key = Create("K");
    ASSERT_TRUE(key && key->SetKeyNum("Folder", i));
  }
  EXPECT_LE(openFiles(), before + 3);
  // Each folder still has its own values.
  setenv("XDG_CONFIG_HOME", dir_.File("c7").c_str(), 1);
  EXPECT_EQ(Open("K")->GetKeyNum("Folder"), 7u);
}

TEST_F(RegKeyTest, ConfigFolderThatCannotBeMadeFailsCleanly) {
  ASSERT_TRUE(WriteFile(config_, "a file where the folder should be"));
  CRegKey top(HKEY_CURRENT_USER);
  EXPECT_EQ(top.CreateSubKey("K"), nullptr);
  EXPECT_EQ(GetLastError(), REG_ERROR_ACCESS_DENIED);
  EXPECT_FALSE(top.KeyExists("K"));
  CRegKey bad(static_cast<TRegRoot>(7));
  EXPECT_EQ(bad.CreateSubKey("K"), nullptr);
  EXPECT_EQ(GetLastError(), REG_ERROR_INVALID_PARAMETER);
}

}  // namespace
