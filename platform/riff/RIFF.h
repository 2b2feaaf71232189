// Reading and writing RIFF files (WAV, group files, compilations) over a data
// object, which stays the caller's: CRIFF neither owns nor references it.
//
// Reading. Open reads the RIFF header at the object's current position. The
// reader then stands on one chunk of one level at a time: level 0 is the
// form's contents, Descend enters a "LIST" chunk and Ascend returns to it.
// Whenever the reader moves to a chunk, the object is positioned at the
// chunk's data, so callers may read the data through the object itself.
// Damaged files are read as far as they make sense: a chunk reaching past its
// level (or the file) is cut to what is there, and the walk ends there; every
// step moves forward by at least a chunk header, so a walk always ends.
//
// Writing. Create writes a RIFF header; chunks follow one after another, each
// padded to an even length as RIFF requires. Lengths are filled in when a
// stream ends, a list is ascended out of and the file is closed. A file never
// grows beyond what a 32-bit RIFF length can describe.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/riff/FourCC.h"

class CRefObj;

// A chunk as the file describes it: its code, its stored length and, for
// "RIFF" and "LIST" chunks, the form or list type (0 for others).
struct _chunkInfo {
  uint32_t id;
  uint32_t size;
  uint32_t type;
};
static_assert(sizeof(_chunkInfo) == 12, "_chunkInfo is three 32-bit words");

// Where the current chunk's data lies in the object and how much of it has
// been read through the reader.
struct _subChunk {
  int64_t dataOffset;  // object position of the first data byte
  int64_t dataSize;    // bytes of data present (the stored length cut to the file)
  int64_t position;    // bytes read so far by Read or ReadCurrentSubChunk
};

class CRIFF {
 public:
  CRIFF();
  virtual ~CRIFF();
  // Completes a file being written (open stream and lists ended, RIFF length
  // written) or ends reading. 0 when a length could not be written.
  virtual int Close();

  // --- reading ---
  // Nonzero when the object holds a RIFF header at its current position; info
  // (may be null) receives "RIFF", the stored length and the form type.
  int Open(CRefObj* obj, _chunkInfo* info = nullptr);
  // Moves to the next chunk of the current level with this code, searching
  // from the current chunk on (or from the level's first chunk when
  // fromLevelStart is nonzero). A nonzero listType also requires that form or
  // list type. When nothing matches the reader stays where it was.
  int SeekToChunk(uint32_t id, int fromLevelStart = 0, uint32_t listType = 0);
  // 0 at the end of the level (the reader then stands behind the last chunk).
  int SeekToNextChunk();
  // To the first chunk of the current level; 0 when the level is empty.
  int SeekToLevelBeginning();
  // Enters the current "LIST" (or nested "RIFF") chunk: the reader stands on
  // its first sub-chunk, if any.
  int Descend();
  // Leaves the level: the reader stands on the list chunk again (writing:
  // completes the list begun with WriteListChunkHeader).
  int Ascend();
  // The current chunk; either pointer may be null. 0 when there is none.
  int GetCurrentChunkInfo(_chunkInfo* info, _subChunk* sub = nullptr);
  // Reads the current chunk's data from its beginning: at most max bytes.
  // Returns the length read.
  int64_t ReadCurrentSubChunk(void* buf, int64_t max);
  // Reads on from where the last read in this chunk stopped; short at the
  // chunk's end.
  int64_t Read(void* buf, int64_t len);
  // Skips bytes of the current chunk; returns the count skipped.
  int64_t Skip(int64_t len);

  // --- writing ---
  // Writes a RIFF header of the given form type at the object's position.
  int Create(CRefObj* obj, uint32_t formType);
  // A whole chunk: header and len bytes (padded when odd).
  int WriteSubChunk(uint32_t id, const void* data, int64_t len);
  // Begins a chunk whose data follows through WriteStreamData.
  int StartWriteStream(uint32_t id);
  // Returns the bytes written: short when the file would outgrow a RIFF length.
  int64_t WriteStreamData(const void* data, int64_t len);
  int64_t CurrentStreamDataCount() const { return streamOpen_ ? streamCount_ : 0; }
  // Pads the stream chunk and writes its length.
  int EndWriteStream();
  // Begins a "LIST" chunk of the given type; Ascend completes it.
  int WriteListChunkHeader(uint32_t type);

  int IsReading() const { return mode_ == Mode::kReading; }
  int IsWriting() const { return mode_ == Mode::kWriting; }

 private:
  enum class Mode { kNone, kReading, kWriting };
  struct Chunk {
    int64_t header = -1;  // object position of the chunk header; -1: none
    uint32_t id = 0;
    uint32_t size = 0;  // as stored
    uint32_t type = 0;
    int64_t dataOffset = 0;
    int64_t dataSize = 0;  // cut to the level's end
    int64_t position = 0;
  };
  struct Level {
    int64_t start;  // first sub-chunk
    int64_t end;    // behind the last byte
    Chunk parent;   // the list chunk (reading) / its header position (writing)
  };

  void Reset();
  bool LoadChunk(int64_t at, const Level& level, Chunk* out);
  int64_t NextChunkOffset(const Chunk& c, const Level& level);
  bool Position(const Chunk& c);
  bool WriteAt(int64_t pos, const void* data, int64_t len);
  bool PatchLength(int64_t header, int64_t length);
  int64_t RoomLeft() const;

  Mode mode_ = Mode::kNone;
  CRefObj* obj_ = nullptr;
  int64_t base_ = 0;
  std::vector<Level> levels_;
  Chunk current_;
  // Writing: end of what was written, and the open stream.
  int64_t writePos_ = 0;
  bool streamOpen_ = false;
  int64_t streamHeader_ = 0;
  int64_t streamCount_ = 0;
};
