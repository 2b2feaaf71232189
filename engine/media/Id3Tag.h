// The 128-byte ID3v1 tag at the end of an MPEG audio file (version 1.0 with a
// 30-byte comment, version 1.1 with a 28-byte comment and a track number), and
// the table of the 148 ID3 genre numbers with their display names.
//
// Text inside the system is UTF-8; the tag's fields are ISO-8859-1. Loading
// converts them to UTF-8, so a 30-byte field can take up to 60 bytes here.
// Setting and saving convert back: characters outside ISO-8859-1 become '?'.
// The setters store the text as the tag will hold it, so what a getter returns
// after a set is what a saved and reloaded tag gives.
#pragma once

#include <cstdint>
#include <string>

class CId3Tag {
 public:
  // Size of a text field here and of the buffers the getters fill: 30
  // ISO-8859-1 characters as UTF-8 and a terminating NUL.
  static constexpr int kTextSize = 61;
  static constexpr int kTagBytes = 128;
  static constexpr int kGenreCount = 148;  // genre numbers 0 to 147
  static constexpr int kNoGenre = 255;
  // Caller-supplied buffers of genreString.
  static constexpr int kGenreTextSize = 256;
  // Key of the display name of a genre number the table lacks.
  static constexpr const char* kNotSupportedKey = "ID3_not_supported";

  // 1 when bytes (128 of them) begin with "TAG" and were taken over; 0
  // otherwise, and the tag is unchanged.
  int loadTag(const char* bytes128);
  // Writes the tag's 128 bytes. Always 1.
  int saveTag(char* out128) const;

  // Copy the field into out, which must hold kTextSize bytes.
  void getTitle(char* out) const;
  void getArtist(char* out) const;
  void getAlbum(char* out) const;
  void getComment(char* out) const;
  // At most 30 characters are kept; the comment keeps 28 when the tag has a
  // track number (version 1.1), so set the track number first.
  void setTitle(const char* text);
  void setArtist(const char* text);
  void setAlbum(const char* text);
  void setComment(const char* text);
  const char* TitleString() const { return title; }
  const char* ArtistString() const { return artist; }
  const char* AlbumString() const { return album; }
  const char* CommentString() const { return comment; }

  int getYear() const { return year; }
  // Years outside 1000 to 3000 are stored as 0 (no year).
  void setYear(int y);
  int getTrackNumber() const { return trackNumber; }
  // 0 to 99 gives version 1.1 with that track; anything else version 1.0
  // without a track (-1).
  void setTrackNumber(int n);
  float getVersion() const { return version; }
  int getGenreIndex() const { return genreIndex; }
  // Keeps the low 8 bits of n.
  void setGenreIndex(int n) { genreIndex = static_cast<uint8_t>(n & 0xFF); }

  // toName nonzero: writes the display name of the tag's genre into text.
  // toName zero: sets the genre index to the first genre whose display name
  // equals text, ignoring case, or to 255 when none does. text holds
  // kGenreTextSize bytes.
  void genreString(char* text, int toName);

  // The strings-file key of a genre number; numbers outside the table give
  // "ID3_not_supported".
  static const char* GenreKey(int index);
  // The display name of a genre number for a target's tag; "" for a number
  // the table lacks (which other programs would show as it is).
  static std::string KnownGenreName(int index);

 private:
  // Stores text as ISO-8859-1 cut to maxChars, then back as UTF-8.
  static void SetField(char* field, const char* text, int maxChars);

  char title[kTextSize] = {};
  char artist[kTextSize] = {};
  char album[kTextSize] = {};
  char comment[kTextSize] = {};
  int32_t year = 0;          // 0 = none
  int32_t trackNumber = -1;  // -1 = none
  float version = 1.0f;      // 1.1 exactly when a track number is held
  uint8_t genreIndex = kNoGenre;
};
