// The small RIFF files of form "CDDA" through which an audio CD's tracks
// appear, one per track: which track, on which disc, where it starts and how
// long it is. The chunk "fmt " holds, little-endian: format version (16
// bits), track number (16, signed), disc serial number (32), start and
// length in sectors (32 each), then start and length as frame (1/75 s),
// second, minute and an unused byte each.
#pragma once

#include <cstdint>

class CRefObj;

class CCDAParser {
 public:
  static constexpr int kFmtBytes = 24;

  CCDAParser();
  ~CCDAParser();

  // Opens the file for reading and parses it; 0 when it can't be opened.
  int Parse(const char* path);
  // Nonzero when source holds a track file. Another form, a missing "fmt "
  // chunk or a source that is no RIFF file fails and reads nothing; a "fmt "
  // chunk shorter than its 24 bytes fails and clears what was read before.
  // The reason is the thread's last error: kErrCorrupted for no RIFF file,
  // kErrRiffForm, kErrNoFmt, kErrShortFmt.
  int Parse(CRefObj* source);

  int Parsed() const { return parsed_; }
  int TrackNum() const;
  unsigned long SerialNumber() const;
  long TrackOffset() const;  // start in ms
  long TrackLength() const;  // length in ms

 private:
  long TimeMs(int at) const;  // the frame, second and minute bytes at fmt_[at]

  int parsed_ = 0;
  uint8_t fmt_[kFmtBytes] = {};
};
