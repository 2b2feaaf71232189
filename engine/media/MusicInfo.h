// What is known about a piece of music besides its samples: filled from the
// source's tags, kept by a sound and written into the target's tags.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/media/TagType.h"

struct TMusicInfo {
  char title[1024];
  char artist[1024];
  char album[1024];
  char genre[1024];  // a genre name, or "(n)" for ID3 genre n
  char comment[1024];
  char encoder[1024];
  char copyright[1024];
  uint8_t mcdi[804];  // music CD identifier
  int32_t mcdiLength;
  int32_t year;  // 0 = none
  int32_t privateBit;
  int32_t copyrighted;
  int32_t originalBit;
  int32_t genreIndex;   // ID3 genre number, 255 = none
  int32_t trackNumber;  // 1-99, -1 = none
  int32_t totalTracks;  // 1-99, -1 = none
  int32_t tagSize;
  int32_t tagType;  // _tTagTypedef

  TMusicInfo() {
    std::memset(this, 0, sizeof *this);
    genreIndex = 255;
    trackNumber = -1;
    totalTracks = -1;
  }
};
