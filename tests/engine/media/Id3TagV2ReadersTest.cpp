// ID3v2 tags checked against outside tag programs: tags we write into real MP3
// files are read back with id3v2 and eyeD3, and tags those programs write are
// read with CId3TagV2.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/base/TonalisStrings.h"
#include "engine/media/Id3TagV2.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"

using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

// Half a second of MPEG audio made by lame, without any tag.
std::string MakeMp3(const TempDir& dir) {
  std::string wav = dir.File("s.wav"), mp3 = dir.File("s.mp3");
  if (testsupport::Run("sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 0.5 sine 440").exitCode !=
          0 ||
      testsupport::Run("lame --silent -b 128 '" + wav + "' '" + mp3 + "'").exitCode != 0)
    return {};
  return ReadFile(mp3);
}

TMusicInfo ReadInfo(const std::string& path, bool* decoded) {
  TMusicInfo info;
  CFileObj file;
  *decoded = false;
  if (!file.Open(path, 0, 0)) return info;
  CId3TagV2 probe;
  CId3TagV2 tag(probe.ReadSize(&file));
  *decoded = tag.Read(&file, tag.GetBufferSize()) && tag.GetMusicInfo(&info);
  return info;
}

// The engine's strings file names the genres.
class Id3TagV2Readers : public testing::Test {
 protected:
  void SetUp() override {
    savedStrings_ = GetTonalisStringFile();
    ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame", "id3v2", "eyeD3"}), "");
    SetTonalisStringFile(testsupport::SourceDir() + "/engine/tonalis-strings.ini");
  }
  void TearDown() override { SetTonalisStringFile(savedStrings_); }
  std::string savedStrings_;
};

TEST_F(Id3TagV2Readers, ReservedTagFilledLaterReadsBackInOtherPrograms) {
  TempDir dir;
  std::string audio = MakeMp3(dir);
  ASSERT_FALSE(audio.empty());
  std::string path = dir.File("out.mp3");

  // As the MP3 writer does: reserve the tag, write the audio, then fill the tag.
  CFileObj file;
  ASSERT_TRUE(file.Create(path));
  CId3TagV2 reserve(4096);
  ASSERT_TRUE(reserve.CreateInitialTagV2(&file));
  ASSERT_EQ(file.Write(audio.data(), audio.size()), static_cast<int64_t>(audio.size()));
  file.Close();

  TMusicInfo m;
  std::strcpy(m.title, "Jóga");
  std::strcpy(m.artist, "Björk");
  std::strcpy(m.album, "Homogenic");
  std::strcpy(m.comment, "Ça va très bien");
  std::strcpy(m.encoder, "Sonoduct");
  std::strcpy(m.copyright, "© 1997");
  m.year = 1997;
  m.genreIndex = 17;
  m.trackNumber = 3;
  m.totalTracks = 12;
  const unsigned char toc[] = {0, 0x12, 1, 2, 0, 0x10, 0, 0, 0, 0, 0, 0};
  std::memcpy(m.mcdi, toc, sizeof toc);
  m.mcdiLength = sizeof toc;
  ASSERT_TRUE(file.Open(path, 1, 0));
  CId3TagV2 fill(4096);
  ASSERT_TRUE(fill.UpdateFromMusicInfo(&m));
  ASSERT_TRUE(fill.CreateInitialTagV2(&file));
  file.Close();

  std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 4106 + audio.size());
  EXPECT_TRUE(bytes.substr(4106) == audio);

  testsupport::ProcessResult id3v2 =
      testsupport::Run("id3v2 -l '" + path + "'", {"LC_ALL=C.UTF-8"});
  EXPECT_EQ(id3v2.exitCode, 0);
  for (const char* line :
       {"TIT2 (Title/songname/content description): Jóga",
        "TPE1 (Lead performer(s)/Soloist(s)): Björk", "TALB (Album/Movie/Show title): Homogenic",
        "COMM (Comments): (Comments)[eng]: Ça va très bien", "TENC (Encoded by): Sonoduct",
        "TCOP (Copyright message): © 1997", "TYER (Year): 1997", "TCON (Content type): Rock (17)",
        "TRCK (Track number/Position in set): 3/12", "MCDI (Music CD identifier)"})
    EXPECT_NE(id3v2.out.find(line), std::string::npos) << line << "\n" << id3v2.out;

  testsupport::ProcessResult eyed3 =
      testsupport::Run("eyeD3 --no-color -v '" + path + "'", {"LC_ALL=C.UTF-8"});
  EXPECT_EQ(eyed3.exitCode, 0) << eyed3.err;
  for (const char* text :
       {"ID3 v2.3", "title: Jóga", "artist: Björk", "album: Homogenic", "track: 3/12",
        "genre: Rock (id 17)", "Ça va très bien", "recording date: 1997", "MCDI: [Data: 12 bytes]"})
    EXPECT_NE(eyed3.out.find(text), std::string::npos) << text << "\n" << eyed3.out;
  EXPECT_EQ(eyed3.err.find("Invalid"), std::string::npos) << eyed3.err;
  // eyeD3's program does not show these two frames; its module does.
  std::string script = dir.File("read.py");
  testsupport::WriteFile(script,
                         "import eyed3, sys\n"
                         "t = eyed3.load(sys.argv[1]).tag\n"
                         "print('encoded by: %s' % t.encoded_by)\n"
                         "print('copyright: %s' % t.copyright)\n");
  testsupport::ProcessResult module =
      testsupport::Run("/usr/bin/python3 '" + script + "' '" + path + "'", {"LC_ALL=C.UTF-8"});
  EXPECT_EQ(module.out, "encoded by: Sonoduct\ncopyright: © 1997\n") << module.err;

  // Beyond ISO-8859-1, UTF-16 carries the text.
  std::strcpy(m.title, "Ωμέγα — 𝄞");
  ASSERT_TRUE(file.Open(path, 1, 0));
  ASSERT_TRUE(fill.UpdateFromMusicInfo(&m));
  ASSERT_TRUE(fill.CreateInitialTagV2(&file));
  file.Close();
  eyed3 = testsupport::Run("eyeD3 --no-color '" + path + "'", {"LC_ALL=C.UTF-8"});
  EXPECT_NE(eyed3.out.find("title: Ωμέγα — 𝄞"), std::string::npos) << eyed3.out;
}

TEST_F(Id3TagV2Readers, TagsWrittenByOtherProgramsReadIntoMusicInformation) {
  TempDir dir;
  std::string audio = MakeMp3(dir);
  ASSERT_FALSE(audio.empty());
  struct Case {
    const char* version;
    const char* encoding;
  };
  for (Case c : {Case{"2.3", "latin1"}, Case{"2.3", "utf16"}, Case{"2.4", "latin1"},
                 Case{"2.4", "utf8"}, Case{"2.4", "utf16"}, Case{"2.4", "utf16-be"}}) {
    std::string what = std::string(c.version) + " " + c.encoding;
    std::string path = dir.File("e.mp3");
    testsupport::WriteFile(path, audio);
    testsupport::ProcessResult r = testsupport::Run(
        std::string("eyeD3 --no-color --to-v") + c.version + " --encoding " + c.encoding +
            " -a 'Björk' -A 'Homogénic' -t 'Jóga' -n 3 -N 12 -G Rock --recording-date 1997"
            " -c 'Ça va' --text-frame 'TENC:Encodé' --text-frame 'TCOP:© 1997' '" +
            path + "'",
        {"LC_ALL=C.UTF-8"});
    ASSERT_EQ(r.exitCode, 0) << what << r.err;
    bool decoded = false;
    TMusicInfo info = ReadInfo(path, &decoded);
    EXPECT_TRUE(decoded) << what;
    EXPECT_STREQ(info.artist, "Björk") << what;
    EXPECT_STREQ(info.album, "Homogénic") << what;
    EXPECT_STREQ(info.title, "Jóga") << what;
    EXPECT_STREQ(info.comment, "Ça va") << what;
    EXPECT_STREQ(info.encoder, "Encodé") << what;
    EXPECT_STREQ(info.copyright, "© 1997") << what;
    EXPECT_EQ(info.year, 1997) << what;
    EXPECT_EQ(info.trackNumber, 3) << what;
    EXPECT_EQ(info.totalTracks, 12) << what;
    EXPECT_EQ(info.genreIndex, 17) << what;
    EXPECT_STREQ(info.genre, "(17)") << what;
  }

  // id3v2 writes version 2.3 in ISO-8859-1.
  std::string path = dir.File("i.mp3");
  testsupport::WriteFile(path, audio);
  ASSERT_EQ(testsupport::Run(
                "id3v2 -2 -a 'Björk' -A 'Homogénic' -t 'Jóga' -c 'x':'Ça va':'eng' -g 17 -y 1997 "
                "-T 3/12 '" +
                    path + "'",
                {"LC_ALL=C.UTF-8"})
                .exitCode,
            0);
  bool decoded = false;
  TMusicInfo info = ReadInfo(path, &decoded);
  EXPECT_TRUE(decoded);
  EXPECT_STREQ(info.artist, "Björk");
  EXPECT_STREQ(info.album, "Homogénic");
  EXPECT_STREQ(info.title, "Jóga");
  EXPECT_STREQ(info.comment, "Ça va");
  EXPECT_EQ(info.year, 1997);
  EXPECT_EQ(info.genreIndex, 17);
  EXPECT_EQ(info.trackNumber, 3);
  EXPECT_EQ(info.totalTracks, 12);
}

TEST_F(Id3TagV2Readers, LargeTagsRead) {
  // A tag of more than 1 MB: a large picture frame before the text frames.
  TempDir dir;
  std::string audio = MakeMp3(dir);
  ASSERT_FALSE(audio.empty());
  std::string path = dir.File("big.mp3");
  testsupport::WriteFile(path, audio);
  std::string picture = dir.File("p.png");
  testsupport::WriteFile(picture, "\x89PNG\r\n\x1a\n" + std::string(1500000, 'p'));
  ASSERT_EQ(testsupport::Run("eyeD3 --no-color --to-v2.3 --add-image '" + picture +
                                 "':FRONT_COVER -t 'Jóga' "
                                 "'" +
                                 path + "'",
                             {"LC_ALL=C.UTF-8"})
                .exitCode,
            0);
  bool decoded = false;
  TMusicInfo info = ReadInfo(path, &decoded);
  EXPECT_TRUE(decoded);
  EXPECT_STREQ(info.title, "Jóga");
}

}  // namespace
