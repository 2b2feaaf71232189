// CD track files made byte by byte: the track, disc, start and length they
// name, and files of other forms, short or damaged, which are refused.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/EngineErrors.h"
#include "engine/media/CDAParser.h"
#include "platform/LastError.h"
#include "platform/data/MemObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;

namespace {

struct Time {
  uint8_t minutes, seconds, frames;
};

std::string TrackFmt(int16_t track, uint32_t serial, Time start, Time length) {
  std::string fmt = Le16(1) + Le16(static_cast<uint16_t>(track)) + Le32(serial) +
                    Le32(start.frames + 75u * (start.seconds + 60u * start.minutes)) +
                    Le32(length.frames + 75u * (length.seconds + 60u * length.minutes));
  for (Time t : {start, length})
    fmt += std::string{static_cast<char>(t.frames), static_cast<char>(t.seconds),
                       static_cast<char>(t.minutes), 0};
  return fmt;
}

std::string TrackFile(int16_t track, uint32_t serial, Time start, Time length) {
  return Riff(Chunk("fmt ", TrackFmt(track, serial, start, length)), "CDDA");
}

// Parses bytes held in memory.
int ParseBytes(CCDAParser& parser, const std::string& bytes) {
  CMemObj mem;
  mem.Create(bytes.data(), static_cast<int64_t>(bytes.size()));
  return parser.Parse(&mem);
}

}  // namespace

TEST(CDAParser, TrackFileNamesTrackDiscStartAndLength) {
  testsupport::TempDir dir;
  const std::string path = dir.File("Track05.cda");
  ASSERT_TRUE(testsupport::WriteFile(path, TrackFile(5, 0xdeadbeef, {2, 3, 0}, {2, 3, 74})));
  CCDAParser parser;
  EXPECT_EQ(parser.Parsed(), 0);
  ASSERT_NE(parser.Parse(path.c_str()), 0);
  EXPECT_EQ(parser.Parsed(), 1);
  EXPECT_EQ(parser.TrackNum(), 5);
  EXPECT_EQ(parser.SerialNumber(), 0xdeadbeefUL);
  EXPECT_EQ(parser.TrackOffset(), 123000);
  EXPECT_EQ(parser.TrackLength(), 123986);
  EXPECT_EQ(parser.Parse(dir.File("missing.cda").c_str()), 0);

  // The track number is signed; other chunks before "fmt " are passed over.
  std::string odd =
      Riff(Chunk("junk", "xyz") + Chunk("fmt ", TrackFmt(-2, 7, {0, 0, 1}, {70, 0, 0})), "CDDA");
  ASSERT_NE(ParseBytes(parser, odd), 0);
  EXPECT_EQ(parser.TrackNum(), -2);
  EXPECT_EQ(parser.TrackOffset(), 13);
  EXPECT_EQ(parser.TrackLength(), 4200000);
}

TEST(CDAParser, OtherFormsShortAndDamagedFilesAreRefused) {
  CCDAParser parser;
  ASSERT_NE(ParseBytes(parser, TrackFile(9, 1, {1, 0, 0}, {0, 30, 0})), 0);

  // A WAV file, or a track file without "fmt ", reads nothing: the track
  // parsed before still stands.
  SetLastError(0);
  EXPECT_EQ(ParseBytes(parser, Riff(Chunk("fmt ", FmtData(1, 2, 44100, 16)) + Chunk("data", ""))),
            0);
  EXPECT_EQ(GetLastError(), kErrRiffForm);
  EXPECT_EQ(ParseBytes(parser, Riff(Chunk("data", "abcd"), "CDDA")), 0);
  EXPECT_EQ(GetLastError(), kErrNoFmt);
  EXPECT_EQ(parser.Parsed(), 1);
  EXPECT_EQ(parser.TrackNum(), 9);

  // Garbage and an empty file are no RIFF files: damaged.
  EXPECT_EQ(ParseBytes(parser, std::string(64, '\x5a')), 0);
  EXPECT_EQ(GetLastError(), kErrCorrupted);
  EXPECT_EQ(ParseBytes(parser, ""), 0);
  EXPECT_EQ(GetLastError(), kErrCorrupted);
  EXPECT_EQ(parser.Parsed(), 1);

  // A "fmt " chunk of fewer than 24 bytes fails and clears the track.
  std::string fmt = TrackFmt(3, 2, {0, 1, 0}, {0, 2, 0});
  EXPECT_EQ(ParseBytes(parser, Riff(Chunk("fmt ", fmt.substr(0, 20)), "CDDA")), 0);
  EXPECT_EQ(GetLastError(), kErrShortFmt);
  EXPECT_EQ(parser.Parsed(), 0);
  EXPECT_EQ(parser.TrackNum(), 0);
  EXPECT_EQ(parser.TrackOffset(), 0);

  // Every cut of a good file is refused, up to the whole file.
  const std::string whole = TrackFile(4, 3, {0, 2, 0}, {0, 3, 0});
  for (size_t n = 0; n < whole.size(); ++n) {
    CCDAParser cut;
    EXPECT_EQ(ParseBytes(cut, whole.substr(0, n)), 0) << n;
    EXPECT_EQ(cut.Parsed(), 0) << n;
  }
  CCDAParser complete;
  EXPECT_NE(ParseBytes(complete, whole), 0);
  EXPECT_EQ(complete.TrackOffset(), 2000);
  // A track file that says it is longer than it is still reads its chunk.
  std::string longer = whole;
  longer[4] = '\x7f';
  EXPECT_NE(ParseBytes(complete, longer), 0);
}
