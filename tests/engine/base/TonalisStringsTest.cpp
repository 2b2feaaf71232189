// The engine's strings: looked up in its own strings file, never in the
// converter's.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/TonalisStrings.h"
#include "tests/TestSupport.h"
#include "utilities/strings/StringFile.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(TonalisStrings, LooksUpInTheEngineFile) {
  TempDir dir;
  std::string path = dir.File("tonalis-strings.ini");
  ASSERT_TRUE(WriteFile(path, "[Strings]\nFS_MONO=Mono\nFS_WAVE_FORMAT=%s, %d Hz\nLF=a\\nb\n"));
  std::string old = GetTonalisStringFile();
  SetTonalisStringFile(path);
  char out[16];
  EXPECT_EQ(TonalisLoadString("FS_MONO", out, sizeof out), 1);
  EXPECT_STREQ(out, "Mono");
  EXPECT_EQ(TonalisLoadString("LF", out, sizeof out), 1);
  EXPECT_STREQ(out, "a\nb");
  EXPECT_EQ(TonalisLoadString("FS_NOT_THERE", out, 6), 1);
  EXPECT_STREQ(out, "FS_NO");
  EXPECT_EQ(TonalisLoadFormatted("FS_WAVE_FORMAT", "PCM", 44100), "PCM, 44100 Hz");
  EXPECT_EQ(TonalisLoadFormatted("FS_WAVE_FORMAT", 44100), "FS_WAVE_FORMAT 44100");
  // The converter's current strings file is never consulted for engine keys.
  SetStringFile(path.c_str());
  SetTonalisStringFile("");
  EXPECT_EQ(TonalisLoadKeyed("FS_MONO"), "FS_MONO");
  SetStringFile(nullptr);
  SetTonalisStringFile(old);
}

}  // namespace
