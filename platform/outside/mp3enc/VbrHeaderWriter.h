// Writes LAME's final tag frame ("Xing" or "Info") over the frame LAME
// reserved for it: the first frame of the file, behind an ID3v2 tag when the
// file starts with one. The frame found there must be that reservation (the
// same header and empty, or this very frame), so that the frame of one stream is
// never written over the audio of a file from another.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/outside/BladeEnc.h"

namespace mp3enc {

class VbrHeaderWriter {
 public:
  // BE_ERR_SUCCESSFUL when written; BE_ERR_INVALID_FORMAT_PARAMETERS when
  // there is no frame, the file cannot be read or written, or its first
  // frame is not the reservation.
  static BE_ERR Write(const char* path, const std::vector<uint8_t>& frame);

 private:
  // Where the audio starts: after an ID3v2 tag, or 0; -1 for a malformed tag.
  static int64_t AudioStart(int fd);
  // "Xing" or "Info" where a tag frame carries it.
  static bool HasMarker(const std::vector<uint8_t>& frame);
  // The frame LAME reserved for this tag frame, or the tag frame itself.
  static bool IsReservation(const std::vector<uint8_t>& found, const std::vector<uint8_t>& frame);
};

}  // namespace mp3enc
