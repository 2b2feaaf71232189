// A playlist on the command line of the terminal front-end: its entries are
// listed, and without anyone to answer all of them are converted.
#include <gtest/gtest.h>

#include "tests/converter/run/ConversionFixture.h"

namespace {

class PlaylistRun : public ConversionFixture {};

TEST_F(PlaylistRun, APlaylistExpandsIntoItsTracks) {
  PlainDecode();
  Sox("-n -r 22050 -c 1 '" + dir_.File("one.wav") + "' synth 0.5 sine 440");
  Sox("-n -r 22050 -c 1 '" + dir_.File("two.wav") + "' synth 0.5 sine 660");
  std::string list = dir_.File("list.m3u");
  ASSERT_TRUE(testsupport::WriteFile(list, "one.wav\ntwo.wav\nnot-there.wav\n"));
  auto r = Sonoduct({list});
  EXPECT_EQ(r.exitCode, 1) << r.err;  // one entry is missing
  EXPECT_NE(r.err.find("Convert the 2 files of the playlist " + list + "? -> Yes"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("not-there.wav: the file could not be found."), std::string::npos);
  EXPECT_NE(r.err.find("2 converted, 0 skipped, 1 failed"), std::string::npos) << r.err;
  EXPECT_GT(testsupport::ReadFile(out_ + "/one.wav").size(), 44u);
  EXPECT_GT(testsupport::ReadFile(out_ + "/two.wav").size(), 44u);
}

}  // namespace
