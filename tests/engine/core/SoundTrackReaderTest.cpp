// Playlist tracks filled from real sound files: tags, length, format and
// the default title come from the file; with checkFiles an undecodable file
// is left out and reported.
#include <gtest/gtest.h>

#include "engine/core/SoundTrackReader.h"
#include "engine/media/Playlist.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using testsupport::TempDir;

TEST(SoundTrackReader, FillsTracksFromTheirFiles) {
  ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame"}), "");
  TempDir dir;
  ASSERT_TRUE(
      soundtest::Sox("-n -r 44100 -c 2 -b 16 " + dir.File("cd.wav") + " synth 1.5 sine 440"));
  ASSERT_TRUE(
      soundtest::Sox("-n -r 22050 -c 1 -b 16 " + dir.File("mono.wav") + " synth 0.5 sine 300"));
  ASSERT_EQ(testsupport::Run("lame --quiet -b 128 --tt 'Tagged Title' --ta Band " +
                             dir.File("cd.wav") + " " + dir.File("song.mp3"))
                .exitCode,
            0);
  ASSERT_TRUE(testsupport::WriteFile(dir.File("noise.wav"), "RIFF junk that is no sound"));
  ASSERT_TRUE(
      testsupport::WriteFile(dir.File("list.m3u"), "cd.wav\nmono.wav\nsong.mp3\nnoise.wav\n"));

  CSoundTrackReader reader;
  CPlaylist list;
  list.SetTrackReader(&reader);
  ASSERT_TRUE(list.LoadFromFile(dir.File("list.m3u").c_str(), true));
  ASSERT_EQ(list.NumTracks(), 3);
  const TONALIS_CMusicInfo* cd = list.GetTrackInfo(0);
  EXPECT_STREQ(cd->filePath, dir.File("cd.wav").c_str());
  EXPECT_STREQ(cd->title, "cd");
  EXPECT_EQ(cd->length, 1500);
  EXPECT_TRUE(cd->flags[TONALIS_CMusicInfo::kFlagCdQuality]);
  EXPECT_EQ(cd->waveFormat.nSamplesPerSec, 44100u);
  EXPECT_GT(cd->fileSize, 44100 * 4);
  EXPECT_NE(cd->sourceFormat[0], '\0');
  const TONALIS_CMusicInfo* mono = list.GetTrackInfo(1);
  EXPECT_FALSE(mono->flags[TONALIS_CMusicInfo::kFlagCdQuality]);
  EXPECT_EQ(mono->waveFormat.nChannels, 1);
  const TONALIS_CMusicInfo* song = list.GetTrackInfo(2);
  EXPECT_STREQ(song->title, "Tagged Title");
  EXPECT_STREQ(song->artist, "Band");
  EXPECT_STREQ(song->filePath, dir.File("song.mp3").c_str());
  EXPECT_NEAR(song->length, 1500, 60);
  ASSERT_EQ(list.Refusals().size(), 1u);
  EXPECT_EQ(list.Refusals()[0].problem, PLAYLIST_ENTRY_UNREADABLE);
  EXPECT_EQ(list.Refusals()[0].entry, "noise.wav");

  // Without checking, the undecodable file stays a track holding its path.
  CPlaylist kept;
  kept.SetTrackReader(&reader);
  ASSERT_TRUE(kept.LoadFromFile(dir.File("list.m3u").c_str(), false));
  ASSERT_EQ(kept.NumTracks(), 4);
  EXPECT_STREQ(kept.GetTrackTitle(3), "");
}
