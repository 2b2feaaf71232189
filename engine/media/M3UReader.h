// M3U playlists: one entry per line; lines beginning with one of
// # $ * , ; ? ^ are comments or extended information and are passed over.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/media/PlaylistItem.h"

constexpr int64_t kM3UMaxBytes = 200000;

// The entries of M3U text (already decoded to UTF-8), in order.
std::vector<TPlaylistItem> ReadM3UEntries(std::string_view text);
