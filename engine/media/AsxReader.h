// ASX playlists (Windows Media's XML-like lists): each <Entry> gives a
// track from its <Ref href="...">, its <Duration value="..."> and its
// <Param name="Name"/"Artist" value="...">. Tags are matched without regard
// to case; everything outside the entries is passed over.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/media/PlaylistItem.h"

constexpr int64_t kAsxMaxBytes = 1000000;

// The entries in order; an entry with neither path, title nor artist is left out.
std::vector<TPlaylistItem> ReadASXEntries(std::string_view text);

// "[[hh:]mm:]ss[.fff]" in milliseconds: the last three runs of digits before
// the point are seconds, minutes and hours, the digits after it a fraction
// of a second. Clamped to what an int32 holds.
int32_t ParseAsxDuration(std::string_view text);
