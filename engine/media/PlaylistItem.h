// One entry as a playlist reader finds it, before it is resolved to a file.
#pragma once

#include <cstdint>
#include <string>

struct TPlaylistItem {
  std::string entry;   // the path or address as written (UTF-8)
  std::string title;   // given by the playlist (ASX), else empty
  std::string artist;  // likewise
  int32_t lengthMs = 0;
};
