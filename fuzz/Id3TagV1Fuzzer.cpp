// Feeds arbitrary bytes to the ID3v1 tag reader: the first 128 bytes as a
// tag (made to begin with "TAG"), and the whole input as a file whose last
// 128 bytes the stream information reads. A tag saved and loaded again must
// give back what was loaded, and save to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/media/Id3Tag.h"
#include "engine/media/MP3Info.h"
#include "fuzz/FuzzCheck.h"
#include "platform/data/MemObj.h"

namespace {

void ReadFields(const CId3Tag& tag) {
  char text[CId3Tag::kTextSize];
  tag.getTitle(text);
  tag.getArtist(text);
  tag.getAlbum(text);
  tag.getComment(text);
  char genre[CId3Tag::kGenreTextSize];
  CId3Tag copy = tag;
  copy.genreString(genre, 1);
}

bool SameFields(const CId3Tag& a, const CId3Tag& b) {
  return std::strcmp(a.TitleString(), b.TitleString()) == 0 &&
         std::strcmp(a.ArtistString(), b.ArtistString()) == 0 &&
         std::strcmp(a.AlbumString(), b.AlbumString()) == 0 &&
         std::strcmp(a.CommentString(), b.CommentString()) == 0 && a.getYear() == b.getYear() &&
         a.getTrackNumber() == b.getTrackNumber() && a.getGenreIndex() == b.getGenreIndex() &&
         a.getVersion() == b.getVersion();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char bytes[CId3Tag::kTagBytes] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  std::memcpy(bytes, "TAG", 3);

  CId3Tag tag;
  FUZZ_CHECK(tag.loadTag(bytes) == 1);
  ReadFields(tag);

  char saved[CId3Tag::kTagBytes];
  tag.saveTag(saved);
  CId3Tag again;
  FUZZ_CHECK(again.loadTag(saved) == 1);
  FUZZ_CHECK(SameFields(tag, again));
  char resaved[CId3Tag::kTagBytes];
  again.saveTag(resaved);
  FUZZ_CHECK(std::memcmp(saved, resaved, sizeof saved) == 0);

  // The setters take UTF-8; the loaded title read as UTF-8 and the raw bytes
  // of the input (not UTF-8 as a rule) go through them.
  CId3Tag set;
  set.setTrackNumber(tag.getTrackNumber());
  set.setTitle(tag.TitleString());
  set.setArtist(std::string(bytes + 3, 30).c_str());
  set.setComment(std::string(bytes + 33, 60).c_str());
  set.setYear(tag.getYear());
  char text[CId3Tag::kGenreTextSize];
  std::memcpy(text, bytes + 63, 30);
  text[30] = 0;
  set.genreString(text, 0);
  set.saveTag(saved);
  FUZZ_CHECK(again.loadTag(saved) == 1);
  FUZZ_CHECK(std::strcmp(again.TitleString(), set.TitleString()) == 0);
  FUZZ_CHECK(std::strcmp(again.ArtistString(), set.ArtistString()) == 0);
  FUZZ_CHECK(std::strcmp(again.CommentString(), set.CommentString()) == 0);

  // The whole input as a file with the tag at its end.
  CMemObj file;
  if (file.Create(data, static_cast<int64_t>(size))) {
    CMP3Info info{};
    if (info.getID3InfoOnly(&file)) {
      char genre[CId3Tag::kGenreTextSize];
      info.getGenre(genre);
    }
  }
  return 0;
}
