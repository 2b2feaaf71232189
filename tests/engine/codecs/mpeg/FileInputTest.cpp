// The file input: open failures with their codes and messages, reading, and
// the ID3v1 tag published as properties.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/codecs/mpeg/FileInput.h"
#include "engine/codecs/mpeg/MpegDecoder.h"
#include "tests/TestSupport.h"

using namespace mpegaudio;
using testsupport::TempDir;

namespace {

struct Opened {
  MpegDecoder* d = nullptr;
  std::vector<std::string> messages;
  Opened() {
    MpegDecoderCreate(&d);
    MpegDecoderSetErrorCallback(
        d,
        [](void* user, int, const char* message, const char* detail) {
          static_cast<Opened*>(user)->messages.push_back(std::string(message) + "|" + detail);
        },
        this);
  }
  ~Opened() { MpegDecoderDestroy(&d); }
  std::string Property(const char* name) const {
    const char* v = nullptr;
    return MpegDecoderGetPropertyString(d, name, &v) == kMpegOk ? v : "<none>";
  }
};

std::string Id3v1(const std::string& title, const std::string& artist, const std::string& year,
                  uint8_t genre) {
  std::string tag(128, '\0');
  tag.replace(0, 3, "TAG");
  tag.replace(3, title.size(), title);
  tag.replace(33, artist.size(), artist);
  tag.replace(63, 10, "Album     ");  // padded with blanks
  tag.replace(93, year.size(), year);
  tag.replace(97, 7, "comment");
  tag[127] = static_cast<char>(genre);
  return tag;
}

}  // namespace

TEST(FileInput, OpenFailuresReportTheirCause) {
  TempDir dir;
  Opened o;
  CFileInput missing(o.d, dir.File("missing.mp3"));
  EXPECT_EQ(missing.Open(), kMpegErrorFileNotFound);
  ASSERT_EQ(o.messages.size(), 1u);
  EXPECT_EQ(o.messages[0], "file not found|" + dir.File("missing.mp3"));

  CFileInput folder(o.d, dir.Path());
  EXPECT_EQ(folder.Open(), kMpegErrorCannotOpenInput);
  EXPECT_EQ(o.messages.back().rfind("cannot open input file|", 0), 0u) << o.messages.back();

  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  CFileInput fifo(o.d, dir.File("fifo"));
  EXPECT_EQ(fifo.Open(), kMpegErrorCannotOpenInput) << "a named pipe must not block the open";

  if (geteuid() != 0) {  // root reads anything
    ASSERT_TRUE(testsupport::WriteFile(dir.File("locked.mp3"), "data"));
    chmod(dir.File("locked.mp3").c_str(), 0);
    CFileInput locked(o.d, dir.File("locked.mp3"));
    EXPECT_EQ(locked.Open(), kMpegErrorPermissionDenied);
    EXPECT_EQ(o.messages.back(), "permission denied|" + dir.File("locked.mp3"));
  }
}

TEST(FileInput, ReadsBytesAndPublishesTheId3v1Tag) {
  TempDir dir;
  std::string audio(1000, 'a');
  std::string tag = Id3v1("Caf\xe9 Song   ", "Artist", "1999", 17);
  ASSERT_TRUE(testsupport::WriteFile(dir.File("song.mp3"), audio + tag));
  ASSERT_TRUE(testsupport::WriteFile(dir.File("song.bin"), audio + tag));

  Opened o;
  CFileInput in(o.d, dir.File("song.mp3"));
  ASSERT_EQ(in.Open(), kMpegOk);
  EXPECT_TRUE(in.Seekable());
  EXPECT_EQ(in.Size(), 1128);
  EXPECT_EQ(o.Property("id3/title"), "Caf\xc3\xa9 Song")
      << "Latin-1 becomes UTF-8, trailing blanks go";
  EXPECT_EQ(o.Property("id3/artist"), "Artist");
  EXPECT_EQ(o.Property("id3/album"), "Album");
  EXPECT_EQ(o.Property("id3/year"), "1999");
  EXPECT_EQ(o.Property("id3/comment"), "comment");
  int64_t genre = -1;
  EXPECT_EQ(MpegDecoderGetPropertyInteger(o.d, "id3/genre", &genre), kMpegOk);
  EXPECT_EQ(genre, 17);
  // Reading starts at the beginning, not where the tag was read.
  char buf[2000];
  EXPECT_EQ(in.Read(buf, 2000), 1128);
  EXPECT_EQ(buf[0], 'a');
  EXPECT_EQ(in.Read(buf, 10), 0);
  EXPECT_EQ(in.Seek(1000), kMpegOk);
  EXPECT_EQ(in.Read(buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "TAG");

  Opened other;
  CFileInput plain(other.d, dir.File("song.bin"));
  ASSERT_EQ(plain.Open(), kMpegOk);
  EXPECT_EQ(other.Property("id3/title"), "<none>") << "only .mp3 names are searched for a tag";
}
