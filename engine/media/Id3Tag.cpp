#include "engine/media/Id3Tag.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "engine/base/TonalisStrings.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/Utf8.h"

static_assert(std::is_trivially_copyable_v<CId3Tag>, "CId3Tag is copied bytewise");

namespace {

// The ID3 genre numbers 0 to 147, by the strings-file key of their names.
const char* const kGenreKeys[CId3Tag::kGenreCount] = {"ID3_Blues",
                                                      "ID3_Classic_Rock",
                                                      "ID3_Country",
                                                      "ID3_Dance",
                                                      "ID3_Disco",
                                                      "ID3_Funk",
                                                      "ID3_Grunge",
                                                      "ID3_Hip-Hop",
                                                      "ID3_Jazz",
                                                      "ID3_Metal",
                                                      "ID3_New_Age",
                                                      "ID3_Oldies",
                                                      "ID3_Other",
                                                      "ID3_Pop",
                                                      "ID3_R&B",
                                                      "ID3_Rap",
                                                      "ID3_Reggae",
                                                      "ID3_Rock",
                                                      "ID3_Techno",
                                                      "ID3_Industrial",
                                                      "ID3_Alternative",
                                                      "ID3_Ska",
                                                      "ID3_Death_Metal",
                                                      "ID3_Pranks",
                                                      "ID3_Soundtrack",
                                                      "ID3_Euro-Techno",
                                                      "ID3_Ambient",
                                                      "ID3_Trip-Hop",
                                                      "ID3_Vocal",
                                                      "ID3_Jazz+Funk",
                                                      "ID3_Fusion",
                                                      "ID3_Trance",
                                                      "ID3_Classical",
                                                      "ID3_Instrumental",
                                                      "ID3_Acid",
                                                      "ID3_House",
                                                      "ID3_Game",
                                                      "ID3_Sound_Clip",
                                                      "ID3_Gospel",
                                                      "ID3_Noise",
                                                      "ID3_AlternRock",
                                                      "ID3_Bass",
                                                      "ID3_Soul",
                                                      "ID3_Punk",
                                                      "ID3_Space",
                                                      "ID3_Meditative",
                                                      "ID3_Instrumental_Pop",
                                                      "ID3_Instrumental_Rock",
                                                      "ID3_Ethnic",
                                                      "ID3_Gothic",
                                                      "ID3_Darkwave",
                                                      "ID3_Techno-Industrial",
                                                      "ID3_Electronic",
                                                      "ID3_Pop-Folk",
                                                      "ID3_Eurodance",
                                                      "ID3_Dream",
                                                      "ID3_Southern_Rock",
                                                      "ID3_Comedy",
                                                      "ID3_Cult",
                                                      "ID3_Gangsta",
                                                      "ID3_Top_40",
                                                      "ID3_Christian_Rap",
                                                      "ID3_Pop/Funk",
                                                      "ID3_Jungle",
                                                      "ID3_Native_American",
                                                      "ID3_Cabaret",
                                                      "ID3_New_Wave",
                                                      "ID3_Psychadelic",
                                                      "ID3_Rave",
                                                      "ID3_Showtunes",
                                                      "ID3_Trailer",
                                                      "ID3_Lo-Fi",
                                                      "ID3_Tribal",
                                                      "ID3_Acid_Punk",
                                                      "ID3_Acid_Jazz",
                                                      "ID3_Polka",
                                                      "ID3_Retro",
                                                      "ID3_Musical",
                                                      "ID3_Rock_&_Roll",
                                                      "ID3_Hard_Rock",
                                                      "ID3_Folk",
                                                      "ID3_Folk-Rock",
                                                      "ID3_National_Folk",
                                                      "ID3_Swing",
                                                      "ID3_Fast_Fusion",
                                                      "ID3_Bebob",
                                                      "ID3_Latin",
                                                      "ID3_Revival",
                                                      "ID3_Celtic",
                                                      "ID3_Bluegrass",
                                                      "ID3_Avantgarde",
                                                      "ID3_Gothic_Rock",
                                                      "ID3_Progressive_Rock",
                                                      "ID3_Psychedelic_Rock",
                                                      "ID3_Symphonic_Rock",
                                                      "ID3_Slow_Rock",
                                                      "ID3_Big_Band",
                                                      "ID3_Chorus",
                                                      "ID3_Easy_Listening",
                                                      "ID3_Acoustic",
                                                      "ID3_Humour",
                                                      "ID3_Speech",
                                                      "ID3_Chanson",
                                                      "ID3_Opera",
                                                      "ID3_Chamber_Music",
                                                      "ID3_Sonata",
                                                      "ID3_Symphony",
                                                      "ID3_Booty_Bass",
                                                      "ID3_Primus",
                                                      "ID3_Porn_Groove",
                                                      "ID3_Satire",
                                                      "ID3_Slow_Jam",
                                                      "ID3_Club",
                                                      "ID3_Tango",
                                                      "ID3_Samba",
                                                      "ID3_Folklore",
                                                      "ID3_Ballad",
                                                      "ID3_Power_Ballad",
                                                      "ID3_Rhythmic_Soul",
                                                      "ID3_Freestyle",
                                                      "ID3_Duet",
                                                      "ID3_Punk_Rock",
                                                      "ID3_Drum_Solo",
                                                      "ID3_Acapella",
                                                      "ID3_Euro-House",
                                                      "ID3_Dance_Hall",
                                                      "ID3_Goa",
                                                      "ID3_Drum_&_Bass",
                                                      "ID3_Club-House",
                                                      "ID3_Hardcore",
                                                      "ID3_Terror",
                                                      "ID3_Indie",
                                                      "ID3_BritPop",
                                                      "ID3_Negerpunk",
                                                      "ID3_Polsk_Punk",
                                                      "ID3_Beat",
                                                      "ID3_Christian_Gangsta_Rap",
                                                      "ID3_Heavy_Metal",
                                                      "ID3_Black_Metal",
                                                      "ID3_Crossover",
                                                      "ID3_Contemporary_Christian",
                                                      "ID3_Christian_Rock",
                                                      "ID3_Merengue",
                                                      "ID3_Salsa",
                                                      "ID3_Thrash_Metal",
                                                      "ID3_Anime",
                                                      "ID3_JPop",
                                                      "ID3_Synthpop"};

// A field of the tag as UTF-8: its text ends at the first NUL, and the
// spaces that pad it before that are removed.
void LoadField(char* field, const char* bytes, int len) {
  len = static_cast<int>(BoundedLength(bytes, len));
  while (len > 0 && bytes[len - 1] == ' ') --len;
  std::string text = Latin1ToUtf8(std::string_view(bytes, static_cast<size_t>(len)));
  CopyBounded(field, CId3Tag::kTextSize, text);
}

// A field as ISO-8859-1 into the tag, at most len bytes; the rest stays NUL.
void SaveField(char* out, const char* field, int len) {
  std::string bytes = Utf8ToLatin1(field);
  std::memcpy(out, bytes.data(), bytes.size() < size_t(len) ? bytes.size() : size_t(len));
}

}  // namespace

void CId3Tag::SetField(char* field, const char* text, int maxChars) {
  std::string bytes = Utf8ToLatin1(text ? text : "");
  if (bytes.size() > size_t(maxChars)) bytes.resize(maxChars);
  // Loading drops trailing spaces, so a saved field never holds them.
  while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
  CopyBounded(field, kTextSize, Latin1ToUtf8(bytes));
}

int CId3Tag::loadTag(const char* b) {
  if (!b || std::memcmp(b, "TAG", 3) != 0) return 0;
  LoadField(title, b + 3, 30);
  LoadField(artist, b + 33, 30);
  LoadField(album, b + 63, 30);
  int y = 0;
  int i = 93;
  while (i < 97 && b[i] == ' ') ++i;
  for (; i < 97 && b[i] >= '0' && b[i] <= '9'; ++i) y = y * 10 + (b[i] - '0');
  year = y;
  if (b[125] == 0 && b[126] != 0) {
    version = 1.1f;
    trackNumber = static_cast<unsigned char>(b[126]);
    LoadField(comment, b + 97, 28);
  } else {
    version = 1.0f;
    trackNumber = -1;
    LoadField(comment, b + 97, 30);
  }
  genreIndex = static_cast<uint8_t>(b[127]);
  return 1;
}

int CId3Tag::saveTag(char* out) const {
  std::memset(out, 0, kTagBytes);
  std::memcpy(out, "TAG", 3);
  SaveField(out + 3, title, 30);
  SaveField(out + 33, artist, 30);
  SaveField(out + 63, album, 30);
  bool hasTrack = version > 1.05f;
  SaveField(out + 97, comment, hasTrack ? 28 : 30);
  if (year > 0 && year <= 9999) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04d", static_cast<int>(year));
    std::memcpy(out + 93, digits, 4);
  } else {
    std::memcpy(out + 93, "    ", 4);
  }
  if (hasTrack) {
    out[125] = 0;
    out[126] = static_cast<char>(trackNumber & 0xFF);
  }
  out[127] = static_cast<char>(genreIndex);
  return 1;
}

void CId3Tag::getTitle(char* out) const { CopyBounded(out, kTextSize, title); }
void CId3Tag::getArtist(char* out) const { CopyBounded(out, kTextSize, artist); }
void CId3Tag::getAlbum(char* out) const { CopyBounded(out, kTextSize, album); }
void CId3Tag::getComment(char* out) const { CopyBounded(out, kTextSize, comment); }

void CId3Tag::setTitle(const char* text) { SetField(title, text, 30); }
void CId3Tag::setArtist(const char* text) { SetField(artist, text, 30); }
void CId3Tag::setAlbum(const char* text) { SetField(album, text, 30); }
void CId3Tag::setComment(const char* text) { SetField(comment, text, version > 1.05f ? 28 : 30); }

void CId3Tag::setYear(int y) { year = y >= 1000 && y <= 3000 ? y : 0; }

void CId3Tag::setTrackNumber(int n) {
  if (n >= 0 && n <= 99) {
    version = 1.1f;
    trackNumber = n;
  } else {
    version = 1.0f;
    trackNumber = -1;
  }
}

const char* CId3Tag::GenreKey(int index) {
  return index >= 0 && index < kGenreCount ? kGenreKeys[index] : kNotSupportedKey;
}

void CId3Tag::genreString(char* text, int toName) {
  if (!text) return;
  if (toName) {
    TonalisLoadString(GenreKey(genreIndex), text, kGenreTextSize);
    return;
  }
  char name[kGenreTextSize];
  for (int i = 0; i < kGenreCount; ++i) {
    TonalisLoadString(kGenreKeys[i], name, sizeof name);
    if (strcasecmp(name, text) == 0) {
      genreIndex = static_cast<uint8_t>(i);
      return;
    }
  }
  genreIndex = kNoGenre;
}

std::string CId3Tag::KnownGenreName(int index) {
  CId3Tag tag;
  tag.setGenreIndex(index);
  char name[kGenreTextSize];
  char unknown[kGenreTextSize];
  tag.genreString(name, 1);
  TonalisLoadString(kNotSupportedKey, unknown, sizeof unknown);
  return std::strcmp(name, unknown) ? name : "";
}
