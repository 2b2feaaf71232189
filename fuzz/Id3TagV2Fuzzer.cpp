// Feeds arbitrary bytes to the ID3v2 tag reader as the start of a file (any
// version, unsynchronisation, extended headers, frames), reads every frame it
// knows, and checks two round trips: what was read, written into a tag of our
// own and read back, is what was read; and a frame set on the read tag is the
// frame read from it afterwards.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/media/Id3TagV2.h"
#include "engine/media/MusicInfo.h"
#include "fuzz/FuzzCheck.h"
#include "platform/data/FileObj.h"

namespace {

// The tag reader takes a file object; this one keeps the file in memory, so
// no input touches the disk.
class MemoryFile : public CFileObj {
 public:
  MemoryFile(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  int IsOpen() override { return 1; }
  int Close() override { return 1; }
  int64_t Read(void* buf, int64_t len) override {
    if (len <= 0 || pos_ >= static_cast<int64_t>(bytes_.size())) return 0;
    int64_t n = std::min<int64_t>(len, static_cast<int64_t>(bytes_.size()) - pos_);
    std::memcpy(buf, bytes_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void* buf, int64_t len) override {
    if (len <= 0) return 0;
    if (pos_ + len > static_cast<int64_t>(bytes_.size()))
      bytes_.resize(static_cast<size_t>(pos_ + len));
    std::memcpy(bytes_.data() + pos_, buf, static_cast<size_t>(len));
    pos_ += len;
    return len;
  }
  int Seek(int64_t pos, int origin) override {
    int64_t base = origin == kSeekBegin ? 0 : origin == kSeekCurrent ? pos_ : Size();
    if (base + pos < 0) return 0;
    pos_ = base + pos;
    return 1;
  }
  int64_t Tell() override { return pos_; }
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::vector<uint8_t> bytes_;
  int64_t pos_ = 0;
};

void ReadFrames(CId3TagV2& tag) {
  char text[1024];
  tag.GetArtist(text);
  tag.GetAlbum(text);
  tag.GetTitle(text);
  tag.GetComments(text);
  tag.GetEncoder(text);
  tag.GetCopyright(text);
  tag.GetGenre(text);
  unsigned char mcdi[804];
  unsigned int length = 0;
  tag.GetMCDI(mcdi, &length);
  long year = 0;
  tag.GetYear(&year);
  int n = 0, total = 0;
  tag.GetGenreIndex(&n);
  tag.GetTrack(&n, &total);
  uint32_t offset = 0, size = 0;
  tag.FindFrame("TXXX", &offset, &size);
}

bool SameTexts(const TMusicInfo& a, const TMusicInfo& b) {
  return std::strcmp(a.title, b.title) == 0 && std::strcmp(a.artist, b.artist) == 0 &&
         std::strcmp(a.album, b.album) == 0 && std::strcmp(a.comment, b.comment) == 0 &&
         std::strcmp(a.encoder, b.encoder) == 0 && std::strcmp(a.copyright, b.copyright) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFile file(data, size);
  // As the loader does: a tag is read for as many bytes as its header says,
  // no more than the file holds.
  CId3TagV2 probe;
  uint32_t tagSize = std::min<uint32_t>(probe.ReadSize(&file), static_cast<uint32_t>(size));
  CId3TagV2 tag(tagSize);
  tag.Read(&file, tag.GetBufferSize());
  TMusicInfo info;
  tag.GetMusicInfo(&info);
  ReadFrames(tag);

  // Everything read fits a tag of our own of this size whole, so nothing is
  // shortened on the way back.
  {
    CId3TagV2 own(64 * 1024);
    FUZZ_CHECK(own.UpdateFromMusicInfo(&info));
    MemoryFile out(nullptr, 0);
    FUZZ_CHECK(own.CreateInitialTagV2(&out));
    CId3TagV2 back(own.GetBufferSize());
    FUZZ_CHECK(back.Read(&out, back.GetBufferSize()));
    TMusicInfo again;
    FUZZ_CHECK(back.GetMusicInfo(&again));
    FUZZ_CHECK(SameTexts(info, again));
    FUZZ_CHECK(again.year == info.year);
    FUZZ_CHECK(again.genreIndex == info.genreIndex || info.genreIndex < 0 || info.genreIndex > 254);
    if (info.trackNumber >= 1 && info.trackNumber <= 99) {
      FUZZ_CHECK(again.trackNumber == info.trackNumber);
      FUZZ_CHECK(again.totalTracks == info.totalTracks);
    }
  }

  // Single frames set on the tag as read, where its layout allows editing.
  static const char kValue[] = "Fuzz value";
  char text[1024];
  if (tag.UpdateTitle(kValue, true)) {
    FUZZ_CHECK(tag.GetTitle(text));
    FUZZ_CHECK(std::strcmp(text, kValue) == 0);
  }
  if (tag.UpdateComments(kValue, true)) {
    FUZZ_CHECK(tag.GetComments(text));
    FUZZ_CHECK(std::strcmp(text, kValue) == 0);
  }
  if (tag.UpdateYear(1999, true)) {
    long year = 0;
    FUZZ_CHECK(tag.GetYear(&year));
    FUZZ_CHECK(year == 1999);
  }
  // Removes the first artist frame; a tag may hold more (the getters and
  // updaters work on the first, the full read lets the last win).
  tag.UpdateArtist("", true);
  if (tag.UpdateTrack(7, 12, false)) {
    int track = 0, total = 0;
    tag.GetTrack(&track, &total);
  }
  TMusicInfo edited;
  tag.GetMusicInfo(&edited);
  MemoryFile target(data, size);
  tag.Write(&target);
  return 0;
}
