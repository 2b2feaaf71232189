// The playlists kept as INI text: PLS (section "playlist", keys
// NumberOfEntries and File1, File2, ...) and the sectioned list with the
// extension "pl" (section "Files", keys File0, File1, ... up to the first
// missing one).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/media/PlaylistItem.h"

constexpr int64_t kIniPlaylistMaxBytes = 1000000;

enum class TIniPlaylistResult { kRead, kNoEntries };

// The File entries numbered 1 ... NumberOfEntries that are present and not
// empty, in the order of their numbers. The count only bounds the numbers:
// a file claiming more entries than it holds costs nothing.
TIniPlaylistResult ReadPLSEntries(std::string_view text, std::vector<TPlaylistItem>* items);

// File0, File1, ... in order until the first number that is missing.
TIniPlaylistResult ReadIniListEntries(std::string_view text, std::vector<TPlaylistItem>* items);
