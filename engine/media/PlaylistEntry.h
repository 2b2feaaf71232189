// Where a playlist entry points. An entry is absolute when it begins with
// '/', with a drive letter ("C:\", "C:/"), with "\\" (a network share) or
// with an address scheme ("http://", "file:"); any other entry is relative
// to the playlist's own folder. Drive letters and network shares name
// nothing here and are reported missing; web addresses are never opened;
// file addresses are decoded to their path.
#pragma once

#include <cstdint>
#include <string>

// Why an entry of a playlist gave no track.
enum TPlaylistEntryProblem : int32_t {
  PLAYLIST_ENTRY_OK = 0,
  PLAYLIST_ENTRY_MISSING = 1,      // no file there (drive letters and shares included)
  PLAYLIST_ENTRY_REMOTE = 2,       // a web address or another host's file: not convertible
  PLAYLIST_ENTRY_TOO_LONG = 3,     // the entry or its path is longer than kPlaylistMaxPath
  PLAYLIST_ENTRY_NOT_REGULAR = 4,  // a folder, FIFO or device
  PLAYLIST_ENTRY_BAD_NAME = 5,     // holds a NUL byte, written or percent-encoded
  PLAYLIST_ENTRY_UNREADABLE = 6    // the sound file could not be loaded (when files are checked)
};

// The longest entry and path a track can hold (its record's path field
// without the terminator). Longer ones are refused, never cut short.
constexpr size_t kPlaylistMaxPath = 259;

struct TPlaylistEntryPath {
  std::string path;  // where the file was looked for; empty when it was not looked for
  TPlaylistEntryProblem problem = PLAYLIST_ENTRY_OK;
};

// The file an entry names, for a playlist in playlistDir (absolute, with or
// without its trailing '/'). A relative entry written with backslashes is
// tried with '/' when it does not exist as written.
TPlaylistEntryPath ResolvePlaylistEntry(const std::string& entry, const std::string& playlistDir);

// "%20" and the like decoded; a '%' not followed by two hex digits stays.
std::string PercentDecode(const std::string& text);
