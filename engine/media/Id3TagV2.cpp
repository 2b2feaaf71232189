#include "engine/media/Id3TagV2.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/EngineErrors.h"
#include "engine/media/Id3Tag.h"
#include "platform/LastError.h"
#include "platform/data/ByteOrder.h"
#include "platform/data/FileObj.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/Utf8.h"

namespace {

constexpr int64_t kMoveChunk = 1048576;  // bytes moved per step when a tag grows in a file
constexpr size_t kTextField = 1024;      // TMusicInfo text fields, terminator included
constexpr size_t kMcdiBytes = sizeof(TMusicInfo::mcdi);
constexpr size_t kNoLimit = SIZE_MAX;

// ---- Process-wide comment language ----

std::mutex g_langLock;
char g_lang[3] = {'e', 'n', 'g'};

// ---- Frame table ----

enum FrameIndex {
  kArtist = 0,
  kAlbum,
  kTitle,
  kComment,
  kEncoder,
  kCopyright,
  kMcdi,
  kYear,
  kGenre,
  kTrack
};

struct FrameEntry {
  const char* id;                  // the identifier written (version 2.3 and 2.4)
  const char* id22;                // the version 2.2 identifier read
  char (TMusicInfo::*text)[1024];  // the text field of plain text frames, else null
};

const FrameEntry kFrames[CId3TagV2::kFrameCount] = {
    {"TPE1", "TP1", &TMusicInfo::artist},
    {"TALB", "TAL", &TMusicInfo::album},
    {"TIT2", "TT2", &TMusicInfo::title},
    {"COMM", "COM", nullptr},
    {"TENC", "TEN", &TMusicInfo::encoder},
    {"TCOP", "TCR", &TMusicInfo::copyright},
    {"MCDI", "MCI", nullptr},
    {"TYER", "TYE", nullptr},
    {"TCON", "TCO", nullptr},
    {"TRCK", "TRK", nullptr},
};

// The table index of a frame identifier in a tag of that major version, or -1.
int IndexOfId(const char* id, int version) {
  for (int i = 0; i < CId3TagV2::kFrameCount; ++i) {
    if (version == 2 ? std::strcmp(id, kFrames[i].id22) == 0 : std::strcmp(id, kFrames[i].id) == 0)
      return i;
  }
  // Version 2.4 keeps the year in the recording time ("yyyy-MM-dd..."), or
  // in the release time when there is no recording time.
  if (version == 4 && (std::strcmp(id, "TDRC") == 0 || std::strcmp(id, "TDRL") == 0)) return kYear;
  return -1;
}

// ---- Sizes ----

// Seven bits per byte; the top bits are masked off, as every tag reader does,
// so that a damaged size still names the same audio start as the stream scan.
uint32_t Synchsafe32(const unsigned char* p) {
  return (uint32_t{p[0] & 0x7fu} << 21) | (uint32_t{p[1] & 0x7fu} << 14) |
         (uint32_t{p[2] & 0x7fu} << 7) | (p[3] & 0x7fu);
}

// Reverses unsynchronisation (every FF 00 back to FF) in place; returns the new length.
size_t RemoveUnsync(unsigned char* p, size_t n) {
  size_t out = 0;
  for (size_t i = 0; i < n; ++i) {
    p[out++] = p[i];
    if (p[i] == 0xff && i + 1 < n && p[i + 1] == 0x00) ++i;
  }
  return out;
}

// ---- Text ----

std::string Utf16BytesToUtf8(const unsigned char* p, size_t n, bool bigEndian) {
  std::u16string units(n / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(bigEndian ? LoadBE16(p + 2 * i) : LoadLE16(p + 2 * i));
  return Utf16ToUtf8(units);
}

// A frame's text in UTF-8. Encoding bytes: 0 ISO-8859-1, 1 UTF-16 with a byte
// order mark, 2 UTF-16 big-endian, 3 UTF-8; the text ends at its terminator
// or at the end of the data. Unknown encodings are read as ISO-8859-1.
std::string DecodeText(const unsigned char* p, size_t n, int encoding) {
  bool bom = n >= 2 && ((p[0] == 0xff && p[1] == 0xfe) || (p[0] == 0xfe && p[1] == 0xff));
  if (encoding == 1 || encoding == 2 || bom) {
    if (bom) return Utf16BytesToUtf8(p + 2, n - 2, p[0] == 0xfe);
    // UTF-16 without a byte order mark: big-endian by definition for
    // encoding 2; for encoding 1 a leading zero byte says big-endian.
    return Utf16BytesToUtf8(p, n, encoding == 2 || (n >= 2 && p[0] == 0 && p[1] != 0));
  }
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  std::string_view raw(reinterpret_cast<const char*>(p), len);
  if (encoding != 3) return Latin1ToUtf8(raw);
  if (raw.substr(0, 3) == "\xef\xbb\xbf") raw.remove_prefix(3);
  std::string s;
  for (size_t i = 0; i < raw.size();) AppendUtf8(s, NextCodePoint(raw, &i));
  return s;
}

// Where the first text of encoded data ends: the offset of its terminator
// (one zero byte, or a zero unit for UTF-16), and the terminator's length.
bool FindTerminator(const unsigned char* p, size_t n, int encoding, size_t* at, size_t* len) {
  if (encoding == 1 || encoding == 2) {
    for (size_t i = 0; i + 1 < n; i += 2) {
      if (p[i] == 0 && p[i + 1] == 0) {
        *at = i;
        *len = 2;
        return true;
      }
    }
    return false;
  }
  const void* z = std::memchr(p, 0, n);
  if (z == nullptr) return false;
  *at = static_cast<size_t>(static_cast<const unsigned char*>(z) - p);
  *len = 1;
  return true;
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Appends text as written into frames: plain bytes for ASCII (encoding 0),
// otherwise UTF-16 little-endian behind a byte order mark (encoding 1). At
// most max bytes are appended, cut only between characters; false when not
// even one character fits.
bool AppendEncoded(std::vector<unsigned char>& out, std::string_view s, int encoding, size_t max) {
  if (encoding == 0) {
    size_t n = std::min(s.size(), max);
    if (n == 0) return false;
    out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    return true;
  }
  std::vector<unsigned char> enc = {0xff, 0xfe};
  for (size_t i = 0; i < s.size();) {
    uint32_t cp = NextCodePoint(s, &i);
    std::u16string units;
    AppendUtf16(units, cp);
    if (enc.size() + 2 * units.size() > max) break;
    for (char16_t u : units) {
      uint8_t unit[2];
      StoreLE16(unit, static_cast<uint16_t>(u));
      enc.insert(enc.end(), unit, unit + 2);
    }
  }
  if (enc.size() <= 2) return false;
  out.insert(out.end(), enc.begin(), enc.end());
  return true;
}

// A text frame's data: encoding byte and text, no terminator. Empty when the
// text is empty or not one character fits in max bytes; a text that does not
// fit whole is shortened only when allowed.
std::vector<unsigned char> EncodeTextFrame(std::string_view s, size_t max, bool mayShorten) {
  std::vector<unsigned char> out;
  if (s.empty()) return out;
  int encoding = IsAscii(s) ? 0 : 1;
  out.push_back(static_cast<unsigned char>(encoding));
  if (max < 1 || !AppendEncoded(out, s, encoding, mayShorten ? max - 1 : kNoLimit) ||
      out.size() > max)
    out.clear();
  return out;
}

std::string_view FieldText(const char (&field)[1024]) {
  return std::string_view(field, static_cast<size_t>(BoundedLength(field, kTextField)));
}

// ---- Genre names ----

// The genre number whose display name is text (compared without case), or -1.
int GenreNumberFromName(const std::string& text) {
  char name[CId3Tag::kGenreTextSize];
  CopyBounded(name, sizeof name, text);
  CId3Tag tag{};
  tag.setGenreIndex(CId3Tag::kNoGenre);
  tag.genreString(name, 0);
  int n = tag.getGenreIndex();
  return n == CId3Tag::kNoGenre ? -1 : n;
}

// The value of 1 to 3 decimal digits (the whole of s), or -1.
int SmallNumber(std::string_view s) {
  if (s.empty() || s.size() > 3) return -1;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// ---- Frame decoders ----

void DecodeGenre(const std::string& text, int version, TMusicInfo* info) {
  std::string genre = text;
  // "(n)", optionally followed by a refinement, names ID3 genre n; version
  // 2.4 also writes the bare number.
  size_t close = text.find(')');
  int n = text.size() > 2 && text[0] == '(' && close != std::string::npos
              ? SmallNumber(std::string_view(text).substr(1, close - 1))
              : -1;
  if (n < 0 && version == 4) {
    n = SmallNumber(text);
    if (n >= 0 && n < 255) genre = "(" + std::to_string(n) + ")";
  }
  if (n >= 0 && n < 255) info->genreIndex = n;
  int named = GenreNumberFromName(text);
  if (named >= 0) {
    info->genreIndex = named;
    genre = "(" + std::to_string(named) + ")";
  }
  CopyBounded(info->genre, kTextField, genre);
}

void DecodeTrack(const std::string& text, TMusicInfo* info) {
  std::string t = text.substr(0, 7);
  auto value = [](const std::string& s) {
    int v = std::atoi(s.c_str());
    return v >= 1 && v <= 99 ? v : -1;
  };
  size_t slash = t.find('/');
  if (slash != std::string::npos) {
    std::string behind = t.substr(slash + 1);
    if (!behind.empty()) info->totalTracks = value(behind);
    t.resize(slash);
  }
  info->trackNumber = value(t);
}

bool DecodeComment(const unsigned char* p, size_t n, TMusicInfo* info) {
  if (n < 4) return false;
  int encoding = p[0];
  size_t at = 0, len = 0;
  if (!FindTerminator(p + 4, n - 4, encoding, &at, &len)) return false;
  char code[3];
  GetLangCode(code);
  bool ourLanguage = true;
  for (int i = 0; i < 3; ++i) {
    if (std::tolower(p[1 + i]) != std::tolower(static_cast<unsigned char>(code[i])))
      ourLanguage = false;
  }
  if (info->comment[0] != 0 && !ourLanguage) return true;
  std::string text = DecodeText(p + 4 + at + len, n - 4 - at - len, encoding);
  if (text.empty()) text = DecodeText(p + 4, at, encoding);
  CopyBounded(info->comment, kTextField, text);
  return true;
}

bool Decode(int index, const unsigned char* p, size_t n, int version, TMusicInfo* info) {
  if (index == kMcdi) {
    // A CD's table of contents takes at most 804 bytes; longer data is no identifier.
    if (n > kMcdiBytes) return false;
    if (n > 0) std::memcpy(info->mcdi, p, n);  // an empty frame may have no bytes to point at
    info->mcdiLength = static_cast<int32_t>(n);
    return true;
  }
  if (index == kComment) return DecodeComment(p, n, info);
  if (n < 1) return true;
  std::string text = DecodeText(p + 1, n - 1, p[0]);
  switch (index) {
    case kYear: {
      int year = std::atoi(text.substr(0, 4).c_str());
      info->year = year >= 1000 && year <= 3000 ? year : 0;
      break;
    }
    case kGenre:
      DecodeGenre(text, version, info);
      break;
    case kTrack:
      DecodeTrack(text, info);
      break;
    default:
      CopyBounded(info->*kFrames[index].text, kTextField, text);
      break;
  }
  return true;
}

// ---- Frame encoders ----

// Whether a frame's text may be shortened to fit a tag (names and
// descriptions may; numbers may not).
bool MayShorten(int index, const TMusicInfo& info) {
  if (kFrames[index].text != nullptr || index == kComment) return true;
  return index == kGenre && !(info.genreIndex >= 0 && info.genreIndex <= 254);
}

std::vector<unsigned char> EncodeComment(const TMusicInfo& info, size_t max) {
  std::vector<unsigned char> out;
  std::string_view text = FieldText(info.comment);
  if (text.empty()) return out;
  int encoding = IsAscii(text) ? 0 : 1;
  char code[3];
  GetLangCode(code);
  out.push_back(static_cast<unsigned char>(encoding));
  out.insert(out.end(), code, code + 3);
  AppendEncoded(out, "Comments", encoding, kNoLimit);
  out.push_back(0);
  if (encoding == 1) out.push_back(0);
  if (out.size() >= max || !AppendEncoded(out, text, encoding, max - out.size())) out.clear();
  return out;
}

// A frame's data built from info, at most max bytes; empty when there is
// nothing to write or it does not fit.
std::vector<unsigned char> Encode(int index, const TMusicInfo& info, size_t max) {
  char number[32];
  switch (index) {
    case kComment:
      return EncodeComment(info, max);
    case kMcdi: {
      if (info.mcdiLength <= 0 || info.totalTracks <= 0) return {};
      size_t n = std::min(static_cast<size_t>(info.mcdiLength), kMcdiBytes);
      if (n > max) return {};
      return std::vector<unsigned char>(info.mcdi, info.mcdi + n);
    }
    case kYear:
      if (info.year < 1000 || info.year > 3000) return {};
      std::snprintf(number, sizeof number, "%d", static_cast<int>(info.year));
      return EncodeTextFrame(number, max, false);
    case kGenre:
      if (info.genreIndex >= 0 && info.genreIndex <= 254) {
        std::snprintf(number, sizeof number, "(%d)", static_cast<int>(info.genreIndex));
        return EncodeTextFrame(number, max, false);
      }
      return EncodeTextFrame(FieldText(info.genre), max, true);
    case kTrack:
      if (info.trackNumber < 1 || info.trackNumber > 99) return {};
      if (info.totalTracks >= 1 && info.totalTracks <= 99)
        std::snprintf(number, sizeof number, "%d/%d", static_cast<int>(info.trackNumber),
                      static_cast<int>(info.totalTracks));
      else
        std::snprintf(number, sizeof number, "%d", static_cast<int>(info.trackNumber));
      return EncodeTextFrame(number, max, false);
    default:
      return EncodeTextFrame(FieldText(info.*kFrames[index].text), max, true);
  }
}

}  // namespace

void GetLangCode(char out[3]) {
  if (out == nullptr) return;
  std::lock_guard<std::mutex> hold(g_langLock);
  std::memcpy(out, g_lang, 3);
}

void SetLangCode(const char in[3]) {
  if (in == nullptr) return;
  std::lock_guard<std::mutex> hold(g_langLock);
  std::memcpy(g_lang, in, 3);
}

// One frame found in the buffer.
struct CId3TagV2::FrameRef {
  char id[5];
  uint32_t offset;      // of the frame header
  uint32_t dataOffset;  // of the data
  uint32_t size;        // of the data
  unsigned char flags;  // the format flags (second flag byte)
};

CId3TagV2::CId3TagV2(uint32_t size) { Init(size); }

CId3TagV2::~CId3TagV2() = default;

void CId3TagV2::Init(uint32_t size) {
  buffer_.reset();
  std::memcpy(header_, "ID3\x03\x00\x00", 6);
  SetSize(size);
  reservedSize_ = bufferSize_;
  bytesUsed_ = 0;
  loaded_ = false;
  resized_ = false;
  previousSize_ = 0;
  version_ = 3;
  frameUnsync_ = false;
  firstFrame_ = 0;
}

void CId3TagV2::SetSize(uint32_t size) {
  uint64_t n = std::max<uint64_t>(size, kSizeStep);
  n = (n + kSizeStep - 1) / kSizeStep * kSizeStep;
  bufferSize_ = static_cast<uint32_t>(std::min<uint64_t>(n, kMaxSize));
  header_[6] = static_cast<unsigned char>((bufferSize_ >> 21) & 0x7f);
  header_[7] = static_cast<unsigned char>((bufferSize_ >> 14) & 0x7f);
  header_[8] = static_cast<unsigned char>((bufferSize_ >> 7) & 0x7f);
  header_[9] = static_cast<unsigned char>(bufferSize_ & 0x7f);
}

bool CId3TagV2::Resize(uint32_t size) {
  if (size > kMaxSize) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  // Tags only grow: a file's tag cannot give back space without rewriting the file.
  if (size <= bufferSize_) return true;
  uint32_t old = bufferSize_;
  if (buffer_ != nullptr) {
    uint64_t n = (std::max<uint64_t>(size, kSizeStep) + kSizeStep - 1) / kSizeStep * kSizeStep;
    std::unique_ptr<unsigned char[]> grown(new (std::nothrow) unsigned char[n]());
    if (grown == nullptr) {
      SetLastError(kErrMemory);
      return false;
    }
    std::memcpy(grown.get(), buffer_.get(), std::min(bytesUsed_, old));
    buffer_ = std::move(grown);
  }
  // Several growths before a write still move the file's bytes from behind
  // the tag that is in the file.
  if (!resized_) previousSize_ = old;
  SetSize(size);
  reservedSize_ = bufferSize_;
  resized_ = true;
  return true;
}

char* CId3TagV2::Data() {
  if (buffer_ == nullptr) {
    buffer_.reset(new (std::nothrow) unsigned char[bufferSize_]());
    if (buffer_ == nullptr) SetLastError(kErrMemory);
  }
  return reinterpret_cast<char*>(buffer_.get());
}

bool CId3TagV2::Read(CFileObj* file, uint32_t size) {
  if (Data() == nullptr || file == nullptr) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  if (size == 0) size = bufferSize_;
  uint32_t reserved = reservedSize_;
  if (size > bufferSize_ && !Resize(size)) return false;
  reservedSize_ = reserved;
  // The buffer now stands for the tag in the file: nothing to move on a write.
  resized_ = false;
  previousSize_ = 0;

  unsigned char head[kHeaderBytes] = {};
  bool tagged = file->Seek(0, kSeekBegin) && file->Read(head, kHeaderBytes) == kHeaderBytes &&
                std::memcmp(head, "ID3", 3) == 0;
  int version = tagged ? head[3] : 3;
  int flags = tagged ? head[5] : 0;

  std::memset(buffer_.get(), 0, bufferSize_);
  int64_t got = 0;
  if (file->Seek(kHeaderBytes, kSeekBegin))
    got = std::max<int64_t>(file->Read(buffer_.get(), size), 0);
  loaded_ = got == size;

  version_ = version;
  frameUnsync_ = false;
  firstFrame_ = 0;
  foreignFile_ = version != 3 || (flags & 0x80) != 0;
  // Versions 2.2 and 2.3 unsynchronise the whole tag, 2.4 each frame.
  if ((version == 2 || version == 3) && (flags & 0x80) != 0) {
    size_t n = RemoveUnsync(buffer_.get(), static_cast<size_t>(got));
    std::memset(buffer_.get() + n, 0, static_cast<size_t>(got) - n);
  }
  if (version == 4 && (flags & 0x80) != 0) frameUnsync_ = true;
  if (version == 2 && (flags & 0x40) != 0) version_ = 0;  // compressed 2.2 tags are not read
  if (version < 2 || version > 4) version_ = 0;           // other major versions are another layout
  if ((version == 3 || version == 4) && (flags & 0x40) != 0) {
    // The extended header: its size excludes its own 4 size bytes in 2.3 and includes them in 2.4.
    uint64_t skip =
        version == 3 ? uint64_t{LoadBE32(buffer_.get())} + 4 : Synchsafe32(buffer_.get());
    firstFrame_ = static_cast<uint32_t>(std::min<uint64_t>(skip, bufferSize_));
  }
  bytesUsed_ = WalkEnd();
  return loaded_;
}

uint32_t CId3TagV2::ReadSize(CFileObj* file) {
  unsigned char size[4];
  if (file == nullptr || !file->Seek(6, kSeekBegin) || file->Read(size, 4) != 4) {
    SetLastError(kErrId3V2Frames);
    return 0;
  }
  uint32_t n = Synchsafe32(size);
  if (n == 0) SetLastError(kErrId3V2Frames);
  return n;
}

CId3TagV2::Step CId3TagV2::NextFrame(uint32_t offset, FrameRef* frame) const {
  if (version_ == 0) return Step::kDamaged;
  uint32_t headerBytes = version_ == 2 ? 6 : 10;
  if (uint64_t{offset} + headerBytes >= bufferSize_) return Step::kEnd;
  const unsigned char* p = buffer_.get() + offset;
  uint32_t size;
  if (version_ == 2) {
    std::memcpy(frame->id, p, 3);
    frame->id[3] = 0;
    size = LoadBE24(p + 3);
    frame->flags = 0;
  } else {
    std::memcpy(frame->id, p, 4);
    frame->id[4] = 0;
    size = LoadBE32(p + 4);
    if (version_ == 4 && ((p[4] | p[5] | p[6] | p[7]) & 0x80) == 0) {
      // Some writers put plain sizes into 2.4 tags. A byte with its top bit
      // set can only be one; otherwise the synchsafe reading wins unless only
      // the plain one leads to another frame or the padding.
      uint32_t safe = Synchsafe32(p + 4);
      if (safe == size || FrameFollows(offset + 10 + uint64_t{safe}) ||
          !FrameFollows(offset + 10 + uint64_t{size}))
        size = safe;
    }
    frame->flags = p[9];
  }
  if (size == 0 || p[0] == 0) return Step::kEnd;
  if (uint64_t{offset} + headerBytes + size > bufferSize_) return Step::kDamaged;
  frame->offset = offset;
  frame->dataOffset = offset + headerBytes;
  frame->size = size;
  return Step::kFrame;
}

bool CId3TagV2::FrameFollows(uint64_t offset) const {
  if (offset == bufferSize_) return true;
  if (offset + 10 > bufferSize_) return false;
  const unsigned char* p = buffer_.get() + offset;
  if (p[0] == 0) return true;  // padding
  return std::all_of(
      p, p + 4, [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

uint32_t CId3TagV2::WalkStop(Step* how) const {
  FrameRef frame;
  uint32_t offset = firstFrame_;
  for (;;) {
    Step step = NextFrame(offset, &frame);
    if (step != Step::kFrame) {
      if (how != nullptr) *how = step;
      return offset;
    }
    offset = frame.dataOffset + frame.size;
  }
}

uint32_t CId3TagV2::WalkEnd() const {
  Step how;
  uint32_t offset = WalkStop(&how);
  return how == Step::kEnd && uint64_t{offset} + (version_ == 2 ? 6 : 10) >= bufferSize_
             ? bufferSize_
             : offset;
}

bool CId3TagV2::DecodeFrame(const FrameRef& frame, int index, TMusicInfo* info) const {
  if (index == kYear && std::strcmp(frame.id, "TDRL") == 0 && info->year != 0) return true;
  const unsigned char* p = buffer_.get() + frame.dataOffset;
  size_t n = frame.size;
  std::vector<unsigned char> plain;
  if (version_ == 3) {
    if (frame.flags & 0xc0) return true;  // compressed or encrypted: not read
    if (frame.flags & 0x20) {             // group identifier byte
      if (n < 1) return false;
      ++p;
      --n;
    }
  } else if (version_ == 4) {
    if (frame.flags & 0x0c) return true;  // compressed or encrypted: not read
    size_t extra = ((frame.flags & 0x40) ? 1 : 0) + ((frame.flags & 0x01) ? 4 : 0);
    if (n < extra) return false;
    p += extra;
    n -= extra;
    if ((frame.flags & 0x02) || frameUnsync_) {
      plain.assign(p, p + n);
      plain.resize(RemoveUnsync(plain.data(), plain.size()));
      p = plain.data();
      n = plain.size();
    }
  }
  return Decode(index, p, n, version_, info);
}

bool CId3TagV2::GetMusicInfo(TMusicInfo* info) {
  if (buffer_ == nullptr || bufferSize_ < kHeaderBytes || info == nullptr) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  bool damaged = false;
  FrameRef frame;
  uint32_t offset = firstFrame_;
  for (bool walking = true; walking;) {
    switch (NextFrame(offset, &frame)) {
      case Step::kFrame: {
        int index = IndexOfId(frame.id, version_);
        // A frame that cannot be decoded is skipped; the ones behind it still count.
        if (index >= 0 && !DecodeFrame(frame, index, info)) damaged = true;
        offset = frame.dataOffset + frame.size;
        break;
      }
      case Step::kEnd:
        walking = false;
        break;
      case Step::kDamaged:
        damaged = true;
        walking = false;
        break;
    }
  }
  bytesUsed_ = WalkEnd();
  if (damaged) SetLastError(kErrId3V2Frames);
  return !damaged;
}

bool CId3TagV2::UpdateFromMusicInfo(const TMusicInfo* info) {
  if (info == nullptr) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  bool foreign = foreignFile_;
  Init(reservedSize_);
  foreignFile_ = foreign;
  if (Data() == nullptr) return false;

  // Every frame in full, when they fit; otherwise the numbers and the CD
  // identifier keep their room and the texts share the rest, each shortened
  // to at most an equal share of what the others leave.
  std::vector<unsigned char> full[kFrameCount];
  size_t wanted = 0;
  for (int i = 0; i < kFrameCount; ++i) {
    full[i] = Encode(i, *info, kNoLimit);
    if (!full[i].empty()) wanted += full[i].size() + kHeaderBytes;
  }
  size_t allot[kFrameCount] = {};
  if (wanted <= bufferSize_) {
    for (int i = 0; i < kFrameCount; ++i) allot[i] = full[i].size() + kHeaderBytes;
  } else {
    size_t left = bufferSize_;
    std::vector<int> texts;
    for (int i = 0; i < kFrameCount; ++i) {
      if (full[i].empty()) continue;
      if (MayShorten(i, *info)) {
        texts.push_back(i);
      } else if (full[i].size() + kHeaderBytes <= left) {
        allot[i] = full[i].size() + kHeaderBytes;
        left -= allot[i];
      }
    }
    std::sort(texts.begin(), texts.end(),
              [&full](int a, int b) { return full[a].size() < full[b].size(); });
    for (size_t k = 0; k < texts.size(); ++k) {
      size_t share = left / (texts.size() - k);
      allot[texts[k]] = std::min(share, full[texts[k]].size() + kHeaderBytes);
      left -= allot[texts[k]];
    }
  }

  uint32_t pos = 0;
  for (int i = 0; i < kFrameCount; ++i) {
    if (allot[i] <= kHeaderBytes) continue;
    std::vector<unsigned char> data = allot[i] == full[i].size() + kHeaderBytes
                                          ? full[i]
                                          : Encode(i, *info, allot[i] - kHeaderBytes);
    if (data.empty() || pos + kHeaderBytes + data.size() > bufferSize_) continue;
    std::memcpy(buffer_.get() + pos, kFrames[i].id, 4);
    StoreBE32(buffer_.get() + pos + 4, static_cast<uint32_t>(data.size()));
    std::memcpy(buffer_.get() + pos + kHeaderBytes, data.data(), data.size());
    pos += static_cast<uint32_t>(kHeaderBytes + data.size());
  }
  bytesUsed_ = pos;
  return true;
}

bool CId3TagV2::WriteHeader(CFileObj* file) {
  return file != nullptr && file->Write(header_, kHeaderBytes) == kHeaderBytes;
}

bool CId3TagV2::WriteSize(CFileObj* file) {
  return file != nullptr && file->Seek(6, kSeekBegin) && file->Write(header_ + 6, 4) == 4;
}

bool CId3TagV2::CreateInitialTagV2(CFileObj* file) {
  if (Data() == nullptr || file == nullptr) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  if (!WriteHeader(file)) return false;
  foreignFile_ = false;  // the file's tag header is ours now
  return Write(file);
}

bool CId3TagV2::MoveTail(CFileObj* file) {
  // The bytes behind the old tag move behind the new one, last chunk first,
  // so that no byte is overwritten before it has been copied.
  int64_t from = int64_t{kHeaderBytes} + previousSize_;
  int64_t to = int64_t{kHeaderBytes} + bufferSize_;
  int64_t end = file->Size();
  if (end < 0) return false;
  if (from >= end || to <= from) return true;
  std::vector<unsigned char> chunk(static_cast<size_t>(std::min(kMoveChunk, end - from)));
  for (int64_t left = end - from; left > 0;) {
    int64_t n = std::min<int64_t>(kMoveChunk, left);
    left -= n;
    if (!file->Seek(from + left, kSeekBegin) || file->Read(chunk.data(), n) != n ||
        !file->Seek(to + left, kSeekBegin) || file->Write(chunk.data(), n) != n)
      return false;
  }
  return true;
}

bool CId3TagV2::Write(CFileObj* file) {
  if (buffer_ == nullptr || file == nullptr || foreignFile_) {
    // A tag read in another layout would be written behind a header that
    // does not describe it.
    SetLastError(kErrId3V2Frames);
    return false;
  }
  if (resized_) {
    if (!WriteSize(file) || !MoveTail(file)) return false;
    resized_ = false;
    previousSize_ = 0;
  }
  return file->Seek(kHeaderBytes, kSeekBegin) &&
         file->Write(buffer_.get(), bufferSize_) == bufferSize_;
}

bool CId3TagV2::FindFrame(const char* identifier, uint32_t* offset, uint32_t* size) {
  FrameRef frame;
  bool found = identifier != nullptr && FindRef(identifier, &frame);
  if (offset != nullptr) *offset = found ? frame.offset : 0;
  if (size != nullptr) *size = found ? frame.size : 0;
  return found;
}

bool CId3TagV2::FindRef(const char* identifier, FrameRef* found) const {
  if (buffer_ == nullptr || bytesUsed_ == 0) return false;
  int wanted = IndexOfId(identifier, 3);
  uint32_t offset = firstFrame_;
  while (NextFrame(offset, found) == Step::kFrame) {
    if (wanted >= 0 ? IndexOfId(found->id, version_) == wanted
                    : std::strcmp(found->id, identifier) == 0)
      return true;
    offset = found->dataOffset + found->size;
  }
  return false;
}

bool CId3TagV2::GetFrame(int index, TMusicInfo* info) {
  FrameRef frame;
  if (index < 0 || index >= kFrameCount || info == nullptr || !FindRef(kFrames[index].id, &frame))
    return false;
  return DecodeFrame(frame, index, info);
}

bool CId3TagV2::UpdateFrame(int index, const TMusicInfo* info, bool replace) {
  if (index < 0 || index >= kFrameCount || info == nullptr || Data() == nullptr) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  // Frames are only edited in the layout this class writes.
  if (version_ != 3 || frameUnsync_) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  FrameRef frame;
  bool found = FindRef(kFrames[index].id, &frame);
  if (found && !replace) return true;
  std::vector<unsigned char> data = Encode(index, *info, kNoLimit);
  uint64_t n = data.empty() ? 0 : data.size() + kHeaderBytes;
  uint64_t old = found ? uint64_t{frame.size} + kHeaderBytes : 0;
  // A new frame goes right behind the last frame the walk reaches (not behind
  // a few bytes too short for a frame header), and everything behind the
  // frames becomes padding: bytes left there by another writer would
  // otherwise read as frames behind the new one.
  uint64_t used = WalkStop(nullptr);
  uint64_t newUsed = used - old + n;
  bytesUsed_ = static_cast<uint32_t>(used);
  if (newUsed > bufferSize_ && (newUsed > kMaxSize || !Resize(static_cast<uint32_t>(newUsed)))) {
    SetLastError(kErrId3V2Frames);
    return false;
  }
  uint64_t at = found ? frame.offset : used;
  if (found && old != n)
    std::memmove(buffer_.get() + at + n, buffer_.get() + at + old,
                 static_cast<size_t>(used - at - old));
  if (newUsed < bufferSize_)
    std::memset(buffer_.get() + newUsed, 0, static_cast<size_t>(bufferSize_ - newUsed));
  if (n != 0) {
    std::memcpy(buffer_.get() + at, kFrames[index].id, 4);
    StoreBE32(buffer_.get() + at + 4, static_cast<uint32_t>(data.size()));
    buffer_[at + 8] = buffer_[at + 9] = 0;
    std::memcpy(buffer_.get() + at + kHeaderBytes, data.data(), data.size());
  }
  bytesUsed_ = static_cast<uint32_t>(newUsed);
  return true;
}

// ---- Single frames ----

namespace {

void CopyText(char* out, const char* text) {
  if (out != nullptr) CopyBounded(out, kTextField, text);
}

void SetText(char (&field)[1024], const char* text) {
  CopyBounded(field, kTextField, text != nullptr ? text : "");
}

}  // namespace

#define ID3V2_TEXT_FRAME(Get, Update, index, field)        \
  bool CId3TagV2::Get(char* text) {                        \
    TMusicInfo info;                                       \
    bool found = GetFrame(index, &info);                   \
    CopyText(text, info.field);                            \
    return found;                                          \
  }                                                        \
  bool CId3TagV2::Update(const char* text, bool replace) { \
    TMusicInfo info;                                       \
    SetText(info.field, text);                             \
    return UpdateFrame(index, &info, replace);             \
  }

ID3V2_TEXT_FRAME(GetArtist, UpdateArtist, kArtist, artist)
ID3V2_TEXT_FRAME(GetAlbum, UpdateAlbum, kAlbum, album)
ID3V2_TEXT_FRAME(GetTitle, UpdateTitle, kTitle, title)
ID3V2_TEXT_FRAME(GetComments, UpdateComments, kComment, comment)
ID3V2_TEXT_FRAME(GetEncoder, UpdateEncoder, kEncoder, encoder)
ID3V2_TEXT_FRAME(GetCopyright, UpdateCopyright, kCopyright, copyright)
ID3V2_TEXT_FRAME(GetGenre, UpdateGenre, kGenre, genre)

#undef ID3V2_TEXT_FRAME

bool CId3TagV2::GetMCDI(unsigned char* data, unsigned int* length) {
  TMusicInfo info;
  bool found = GetFrame(kMcdi, &info);
  if (data != nullptr) std::memcpy(data, info.mcdi, static_cast<size_t>(info.mcdiLength));
  if (length != nullptr) *length = static_cast<unsigned int>(info.mcdiLength);
  return found;
}

bool CId3TagV2::UpdateMCDI(const unsigned char* data, unsigned int length, bool replace) {
  TMusicInfo info;
  if (data != nullptr) {
    info.mcdiLength = static_cast<int32_t>(std::min<size_t>(length, kMcdiBytes));
    std::memcpy(info.mcdi, data, static_cast<size_t>(info.mcdiLength));
  }
  // The identifier is written for records that come from a CD's tracks; this
  // record carries nothing else, so it says so.
  info.totalTracks = 1;
  return UpdateFrame(kMcdi, &info, replace);
}

bool CId3TagV2::GetYear(long* year) {
  TMusicInfo info;
  bool found = GetFrame(kYear, &info);
  if (year != nullptr) *year = info.year;
  return found;
}

bool CId3TagV2::UpdateYear(long year, bool replace) {
  TMusicInfo info;
  info.year = year >= 1000 && year <= 3000 ? static_cast<int32_t>(year) : 0;
  return UpdateFrame(kYear, &info, replace);
}

bool CId3TagV2::GetGenreIndex(int* index) {
  TMusicInfo info;
  bool found = GetFrame(kGenre, &info);
  if (index != nullptr) *index = info.genreIndex;
  return found;
}

bool CId3TagV2::UpdateGenreIndex(int index, bool replace) {
  TMusicInfo info;
  info.genreIndex = index;
  return UpdateFrame(kGenre, &info, replace);
}

bool CId3TagV2::GetTrack(int* track, int* total) {
  TMusicInfo info;
  bool found = GetFrame(kTrack, &info);
  if (track != nullptr) *track = info.trackNumber;
  if (total != nullptr) *total = info.totalTracks;
  return found;
}

bool CId3TagV2::UpdateTrack(int track, int total, bool replace) {
  TMusicInfo info;
  info.trackNumber = track;
  info.totalTracks = total;
  return UpdateFrame(kTrack, &info, replace);
}
