#include "engine/media/TonalisMusicInfo.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/data/ByteOrder.h"
#include "platform/riff/RIFF.h"
#include "utilities/strings/BoundedCopy.h"

namespace {

// Copies a NUL-terminated text of at most srcSize bytes into a field,
// cut at a character boundary.
void CopyText(char* out, size_t outSize, const char* src, size_t srcSize) {
  CopyBounded(out, static_cast<int64_t>(outSize),
              std::string_view(src, static_cast<size_t>(BoundedLength(src, srcSize))));
}

template <size_t N, size_t M>
void CopyText(char (&out)[N], const char (&src)[M]) {
  CopyText(out, N, src, M);
}

}  // namespace

TONALIS_CMusicInfo::TONALIS_CMusicInfo() { Initialize(); }

TONALIS_CMusicInfo::TONALIS_CMusicInfo(const TONALIS_CMusicInfo& other) {
  Initialize();
  CopySlim(other);
  std::memcpy(extraText, other.extraText, sizeof extraText);
  for (int i = 2; i < 8; ++i) flags[i] = other.flags[i];
  compC = other.compC, compD = other.compD, compE = other.compE, compF = other.compF;
  compG = other.compG, compH = other.compH, compI = other.compI, compJ = other.compJ;
  compK = other.compK, compL = other.compL, compM = other.compM;
}

TONALIS_CMusicInfo::~TONALIS_CMusicInfo() = default;

void TONALIS_CMusicInfo::Initialize() {
  title[0] = extraText[0] = artist[0] = album[0] = genre[0] = comment[0] = copyright[0] = 0;
  filePath[0] = sourceFormat[0] = encoder[0] = 0;
  std::memset(title, 0, sizeof title);
  genreIndex = year = tagSize = tagType = compA = 0;
  std::memset(mcdi, 0, sizeof mcdi);
  mcdiLength = 0;
  trackNumber = totalTracks = -1;
  for (bool& f : flags) f = false;
  fileSize = compB = 0;
  std::memset(&waveFormat, 0, sizeof waveFormat);
  compC = compD = length = compE = compF = compG = compH = 0;
  compI = compJ = compK = compL = compM = compN = 0;
}

void TONALIS_CMusicInfo::CopySlim(const TONALIS_CMusicInfo& o) {
  if (this == &o) return;
  std::memcpy(title, o.title, sizeof title);
  std::memcpy(artist, o.artist, sizeof artist);
  std::memcpy(album, o.album, sizeof album);
  std::memcpy(genre, o.genre, sizeof genre);
  std::memcpy(comment, o.comment, sizeof comment);
  std::memcpy(copyright, o.copyright, sizeof copyright);
  std::memcpy(filePath, o.filePath, sizeof filePath);
  std::memcpy(sourceFormat, o.sourceFormat, sizeof sourceFormat);
  std::memcpy(encoder, o.encoder, sizeof encoder);
  genreIndex = o.genreIndex;
  year = o.year;
  tagSize = o.tagSize;
  tagType = o.tagType;
  compA = o.compA;
  std::memcpy(mcdi, o.mcdi, sizeof mcdi);
  mcdiLength = o.mcdiLength;
  trackNumber = o.trackNumber;
  totalTracks = o.totalTracks;
  flags[0] = o.flags[0];
  flags[1] = o.flags[1];
  flags[8] = o.flags[8];
  fileSize = o.fileSize;
  compB = o.compB;
  waveFormat = o.waveFormat;
  length = o.length;
  compN = o.compN;
}

// Flags [2]-[7] of this record stay as they were.
TONALIS_CMusicInfo& TONALIS_CMusicInfo::operator=(const TONALIS_CMusicInfo& o) {
  if (this == &o) return *this;
  CopySlim(o);
  std::memcpy(extraText, o.extraText, sizeof extraText);
  compC = o.compC, compD = o.compD, compE = o.compE, compF = o.compF;
  compG = o.compG, compH = o.compH, compI = o.compI, compJ = o.compJ;
  compK = o.compK, compL = o.compL, compM = o.compM;
  return *this;
}

TONALIS_CMusicInfo& TONALIS_CMusicInfo::operator=(const TMusicInfo& info) {
  CopyText(title, info.title);
  CopyText(artist, info.artist);
  CopyText(album, info.album);
  CopyText(genre, info.genre);
  CopyText(comment, info.comment);
  CopyText(encoder, info.encoder);
  CopyText(copyright, info.copyright);
  std::memcpy(mcdi, info.mcdi, sizeof mcdi);
  mcdiLength = info.mcdiLength;
  year = info.year;
  flags[kFlagCopyrighted] = info.copyrighted != 0;
  flags[kFlagOriginal] = info.originalBit != 0;
  genreIndex = info.genreIndex;
  trackNumber = info.trackNumber;
  totalTracks = info.totalTracks;
  tagSize = info.tagSize;
  tagType = info.tagType;
  return *this;
}

void TONALIS_CMusicInfo::CopyToTMusicInfo(TMusicInfo& info) const {
  CopyText(info.title, title);
  CopyText(info.artist, artist);
  CopyText(info.album, album);
  CopyText(info.genre, genre);
  CopyText(info.comment, comment);
  CopyText(info.encoder, encoder);
  CopyText(info.copyright, copyright);
  std::memcpy(info.mcdi, mcdi, sizeof mcdi);
  info.mcdiLength = mcdiLength;
  info.year = year;
  info.copyrighted = flags[kFlagCopyrighted] ? 1 : 0;
  info.originalBit = flags[kFlagOriginal] ? 1 : 0;
  info.genreIndex = genreIndex;
  info.trackNumber = trackNumber;
  info.totalTracks = totalTracks;
  info.tagSize = tagSize;
  info.tagType = tagType;
}

bool TONALIS_CMusicInfo::_readString(CRIFF& riff, char* out, long n) {
  std::memset(out, 0, static_cast<size_t>(n));
  int64_t got = riff.Read(out, n);
  out[n - 1] = 0;
  return got > 0;
}

bool TONALIS_CMusicInfo::_writeString(CRIFF& riff, const char* text, long n) {
  std::vector<char> field(static_cast<size_t>(n), 0);
  int64_t len = BoundedLength(text, n < 2047 ? n : 2047);
  if (len >= n) len = n - 1;
  std::memcpy(field.data(), text, static_cast<size_t>(len));
  return riff.WriteStreamData(field.data(), n) == n;
}

bool TONALIS_CMusicInfo::_readOldBool(CRIFF& riff, bool* value) {
  int32_t v = 0;
  bool ok = _readNumber(riff, &v);
  *value = v != 0;
  return ok;
}

void TONALIS_CMusicInfo::_wasteBytes(CRIFF& riff, long n) { riff.Skip(n); }

bool TONALIS_CMusicInfo::_readNumber(CRIFF& riff, int32_t* value) {
  uint8_t b[4] = {};
  bool ok = riff.Read(b, 4) == 4;
  *value = static_cast<int32_t>(LoadLE32(b));
  return ok;
}

bool TONALIS_CMusicInfo::_writeNumber(CRIFF& riff, int32_t value) {
  uint8_t b[4];
  StoreLE32(b, static_cast<uint32_t>(value));
  return riff.WriteStreamData(b, 4) == 4;
}

// The tail that records of versions 3 and below share.
void TONALIS_CMusicInfo::ReadOldTail(CRIFF& riff) {
  riff.Read(&waveFormat, sizeof waveFormat);
  _wasteBytes(riff, 2);
  _readOldBool(riff, &flags[kFlagCdQuality]);
  _readNumber(riff, &length);
  _readNumber(riff, &fileSize);
  _readString(riff, extraText, sizeof extraText);
  for (int32_t* v :
       {&compC, &compD, &compE, &compF, &compG, &compH, &compI, &compJ, &compK, &compL, &compM})
    _readNumber(riff, v);
}

bool TONALIS_CMusicInfo::Read(CRIFF& riff, TQVLVersion version) {
  if (version > 5) return false;
  Initialize();
  if (version >= 4) {
    _readString(riff, title, sizeof title);
    _readString(riff, extraText, sizeof extraText);
    _readString(riff, artist, sizeof artist);
    _readString(riff, album, sizeof album);
    _readString(riff, genre, sizeof genre);
    _readNumber(riff, &genreIndex);
    _readString(riff, comment, sizeof comment);
    _readString(riff, copyright, sizeof copyright);
    for (int32_t* v : {&year, &tagSize, &tagType, &compA}) _readNumber(riff, v);
    riff.Read(mcdi, sizeof mcdi);
    for (int32_t* v : {&mcdiLength, &trackNumber, &totalTracks}) _readNumber(riff, v);
    uint8_t raw[kFlagCount] = {};
    riff.Read(raw, sizeof raw);
    for (int i = 0; i < kFlagCount; ++i) flags[i] = raw[i] != 0;
    _readString(riff, filePath, sizeof filePath);
    _readNumber(riff, &fileSize);
    if (version == 5)
      _readNumber(riff, &compB);
    else
      _wasteBytes(riff, 8);
    _readString(riff, sourceFormat, sizeof sourceFormat);
    _readString(riff, encoder, sizeof encoder);
    riff.Read(&waveFormat, sizeof waveFormat);
    for (int32_t* v : {&compC, &compD, &length, &compE, &compF, &compG, &compH, &compI, &compJ,
                       &compK, &compL, &compM, &compN})
      _readNumber(riff, v);
    return true;
  }
  char text[1024];
  auto readLong = [&](char* field, size_t size) {
    _readString(riff, text, sizeof text);
    CopyText(field, size, text, sizeof text);
  };
  _readString(riff, filePath, sizeof filePath);
  _readString(riff, sourceFormat, sizeof sourceFormat);
  _wasteBytes(riff, 8);
  readLong(title, sizeof title);
  readLong(artist, sizeof artist);
  readLong(album, sizeof album);
  readLong(genre, sizeof genre);
  readLong(comment, sizeof comment);
  bool discarded = false;
  if (version == 3) {
    readLong(encoder, sizeof encoder);
    readLong(copyright, sizeof copyright);
    riff.Read(mcdi, sizeof mcdi);
    _readNumber(riff, &mcdiLength);
    _readNumber(riff, &year);
    _readOldBool(riff, &discarded);
    _readOldBool(riff, &flags[kFlagCopyrighted]);
    _readOldBool(riff, &flags[kFlagOriginal]);
    for (int32_t* v : {&genreIndex, &trackNumber, &totalTracks, &tagSize, &tagType})
      _readNumber(riff, v);
  } else {
    _readNumber(riff, &year);
    _readOldBool(riff, &flags[kFlagCopyrighted]);
    _readNumber(riff, &genreIndex);
  }
  ReadOldTail(riff);
  for (int i = 3; i <= 7; ++i) _readOldBool(riff, &flags[i]);
  flags[2] = false;
  return true;
}

bool TONALIS_CMusicInfo::Write(CRIFF& riff, TQVLVersion) {
  if (compF == 0) compF = compH = length;
  bool ok = true;
  ok &= _writeString(riff, title, sizeof title);
  ok &= _writeString(riff, extraText, sizeof extraText);
  ok &= _writeString(riff, artist, sizeof artist);
  ok &= _writeString(riff, album, sizeof album);
  ok &= _writeString(riff, genre, sizeof genre);
  ok &= _writeNumber(riff, genreIndex);
  ok &= _writeString(riff, comment, sizeof comment);
  ok &= _writeString(riff, copyright, sizeof copyright);
  for (int32_t v : {year, tagSize, tagType, compA}) ok &= _writeNumber(riff, v);
  ok &= riff.WriteStreamData(mcdi, sizeof mcdi) == static_cast<int64_t>(sizeof mcdi);
  for (int32_t v : {mcdiLength, trackNumber, totalTracks}) ok &= _writeNumber(riff, v);
  uint8_t raw[kFlagCount];
  for (int i = 0; i < kFlagCount; ++i) raw[i] = flags[i] ? 1 : 0;
  ok &= riff.WriteStreamData(raw, sizeof raw) == static_cast<int64_t>(sizeof raw);
  ok &= _writeString(riff, filePath, sizeof filePath);
  ok &= _writeNumber(riff, fileSize);
  ok &= _writeNumber(riff, compB);
  ok &= _writeString(riff, sourceFormat, sizeof sourceFormat);
  ok &= _writeString(riff, encoder, sizeof encoder);
  ok &= riff.WriteStreamData(&waveFormat, sizeof waveFormat) ==
        static_cast<int64_t>(sizeof waveFormat);
  for (int32_t v :
       {compC, compD, length, compE, compF, compG, compH, compI, compJ, compK, compL, compM, compN})
    ok &= _writeNumber(riff, v);
  return ok;
}
