// ID3v2 tags at the start of MPEG audio files, limited to the frames that
// carry a TMusicInfo: artist, album, title, comment, encoder, copyright, CD
// identifier, year, genre and track.
//
// Tags are written in the version 2.3 layout (text in ISO-8859-1 when it is
// plain ASCII, otherwise UTF-16 with a byte order mark). Reading also takes
// version 2.2 and 2.4 tags, every text encoding (decoded to UTF-8),
// unsynchronisation and extended headers.
//
// The MP3 writers reserve a tag's space when a file is created
// (CreateInitialTagV2) and fill it once the audio is written
// (UpdateFromMusicInfo, then CreateInitialTagV2 again); that tag never grows
// past the space reserved for it. The single-frame updaters may grow a tag;
// Write then moves the file's audio behind the larger tag.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/MusicInfo.h"

class CFileObj;

// The process-wide language of comment frames (initially "eng"): written into
// every comment frame, and the comment in this language wins when reading.
void GetLangCode(char out[3]);
void SetLangCode(const char in[3]);

class CId3TagV2 {
 public:
  // Tag sizes are multiples of 2048, at least 2048, and at most the largest
  // multiple that the header's 28-bit size field holds.
  static constexpr uint32_t kSizeStep = 2048;
  static constexpr uint32_t kMaxSize = 0x0FFFF800;
  static constexpr int kHeaderBytes = 10;
  static constexpr int kFrameCount = 10;

  explicit CId3TagV2(uint32_t size = kSizeStep);
  ~CId3TagV2();
  CId3TagV2(const CId3TagV2&) = delete;
  CId3TagV2& operator=(const CId3TagV2&) = delete;

  // The tag's size in a file: buffer size + 10.
  uint32_t Size() const { return bufferSize_ + kHeaderBytes; }
  // The frame buffer, allocated and zeroed when there is none; null when
  // memory runs out.
  char* Data();
  // Reads size bytes of frames (0: the buffer size; more than the buffer
  // grows it) from behind the tag header at the file's start. The header in
  // the file decides the layout (version 2.2, 2.3 or 2.4). True when all
  // bytes came.
  bool Read(CFileObj* file, uint32_t size);
  // The size field of the tag header at the file's start; 0 when it cannot
  // be read or is 0.
  uint32_t ReadSize(CFileObj* file);
  // Decodes every known frame into info. A frame that cannot be decoded is
  // skipped; the walk ends at a frame that runs past the buffer. Either makes
  // the result false, with what was decoded kept in info.
  bool GetMusicInfo(TMusicInfo* info);
  // Rebuilds the frames from info within the space the tag reserves (the size
  // it was made for, or grew to through the single-frame updaters; a Read that
  // took a larger tag from another file does not count). Texts that do not
  // fit are shortened and other frames that do not fit are left out.
  bool UpdateFromMusicInfo(const TMusicInfo* info);
  // Writes the header and the buffer at the file's start, making the file's
  // tag this one.
  bool CreateInitialTagV2(CFileObj* file);
  // Writes the buffer behind the header of the file's tag; a tag that grew
  // first moves the file's bytes behind it. Refused for a tag that was read
  // in another layout than the one written.
  bool Write(CFileObj* file);

  // Single frames. Getters give an empty text, MCDI length 0, year 0, genre
  // index 255 and track and total -1 when the frame is missing. Text buffers
  // hold 1024 bytes, MCDI data 804. The updaters leave an existing frame
  // alone unless replace is set; an empty value removes the frame.
  bool GetArtist(char* text);
  bool UpdateArtist(const char* text, bool replace);
  bool GetAlbum(char* text);
  bool UpdateAlbum(const char* text, bool replace);
  bool GetTitle(char* text);
  bool UpdateTitle(const char* text, bool replace);
  bool GetComments(char* text);
  bool UpdateComments(const char* text, bool replace);
  bool GetEncoder(char* text);
  bool UpdateEncoder(const char* text, bool replace);
  bool GetCopyright(char* text);
  bool UpdateCopyright(const char* text, bool replace);
  bool GetGenre(char* text);
  bool UpdateGenre(const char* text, bool replace);
  bool GetMCDI(unsigned char* data, unsigned int* length);
  bool UpdateMCDI(const unsigned char* data, unsigned int length, bool replace);
  bool GetYear(long* year);
  bool UpdateYear(long year, bool replace);
  bool GetGenreIndex(int* index);
  bool UpdateGenreIndex(int index, bool replace);
  bool GetTrack(int* track, int* total);
  bool UpdateTrack(int track, int total, bool replace);

  void Init(uint32_t size);
  void SetSize(uint32_t size);
  bool Resize(uint32_t size);
  uint32_t GetBytesUsed() const { return bytesUsed_; }
  uint32_t GetBufferSize() const { return bufferSize_; }
  // The first frame with that identifier: the offset of its frame header in
  // the buffer and its data size.
  bool FindFrame(const char* identifier, uint32_t* offset, uint32_t* size);
  bool GetFrame(int index, TMusicInfo* info);
  bool UpdateFrame(int index, const TMusicInfo* info, bool replace);
  bool WriteSize(CFileObj* file);
  bool WriteHeader(CFileObj* file);

 private:
  struct FrameRef;
  enum class Step { kFrame, kEnd, kDamaged };

  Step NextFrame(uint32_t offset, FrameRef* frame) const;
  bool FindRef(const char* identifier, FrameRef* found) const;
  bool DecodeFrame(const FrameRef& frame, int index, TMusicInfo* info) const;
  // Whether a frame header, the padding or the buffer's end is at offset.
  bool FrameFollows(uint64_t offset) const;
  // Where the walk over the frames stops (behind the last frame it reaches),
  // and why.
  uint32_t WalkStop(Step* how) const;
  uint32_t WalkEnd() const;
  bool MoveTail(CFileObj* file);

  unsigned char header_[kHeaderBytes];
  std::unique_ptr<unsigned char[]> buffer_;
  uint32_t bufferSize_ = 0;
  uint32_t bytesUsed_ = 0;
  bool loaded_ = false;
  uint32_t previousSize_ = 0;
  bool resized_ = false;
  // The layout the buffer holds: the major version of the tag it was read
  // from (3 for our own), whether its frames may be unsynchronised one by one
  // (2.4), and where the first frame begins (behind an extended header).
  int version_ = 3;
  bool frameUnsync_ = false;
  uint32_t firstFrame_ = 0;
  // The file's tag is in another layout than the one written (another
  // version, or unsynchronised), so Write must not put frames behind it.
  bool foreignFile_ = false;
  // The space the tag takes in the file it is made for.
  uint32_t reservedSize_ = 0;
};
