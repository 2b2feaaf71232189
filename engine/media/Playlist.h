// A playlist file as an ordered list of tracks, each a music information
// record naming a sound file. Reads M3U, PLS, the sectioned list "pl", ASX,
// compilation files ("qvl"), single sound files, and for any other name
// scans the file's bytes for paths of sound files. Writes compilation files.
//
// Entries that give no track (missing files, web addresses, names too long
// to hold) are kept with their reason, so callers can tell the user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/PlaylistEntry.h"
#include "engine/media/PlaylistItem.h"
#include "engine/media/QvlFile.h"
#include "engine/media/TonalisMusicInfo.h"

class CPlaylistTrackReader;

enum TPlaylistErrorCode : int32_t {
  PLAYLIST_ERROR_NONE = 0,
  PLAYLIST_ERROR_OPEN = 1,  // missing, unreadable, empty or over the size limit
  PLAYLIST_ERROR_MEMORY = 2,
  PLAYLIST_ERROR_EMPTY = 3,  // no tracks
  PLAYLIST_ERROR_FORMAT = 4  // an extension the operation does not handle
};

// An entry that gave no track.
struct TPlaylistRefusal {
  std::string playlist;  // the playlist file it came from
  std::string entry;     // as written (UTF-8)
  std::string path;      // where it was looked for; empty when it was not looked for
  TPlaylistEntryProblem problem;
};

class CPlaylist {
 public:
  CPlaylist();
  ~CPlaylist();
  CPlaylist(const CPlaylist&) = delete;
  CPlaylist& operator=(const CPlaylist&) = delete;

  // Adds the tracks of the file to those held; true when at least one track
  // is held afterwards. With checkFiles, tracks whose sound file the track
  // reader cannot load are left out (and listed as unreadable).
  bool LoadFromFile(const char* path, bool checkFiles);
  // The entries of a "qvl", "m3u", "pls" or "pl" file that would become
  // tracks; 0 with the error code set when there are none.
  int GetSongCount(const char* path);

  int NumTracks() const;
  // Null for an index outside 0 ... NumTracks() - 1.
  TONALIS_CMusicInfo* GetTrackInfo(int i) const;
  char* GetTrackFilePath(int i) const;
  char* GetTrackTitle(int i) const;
  // Deletes every track and forgets the refused entries.
  void DeleteAll();
  // Writes a compilation file ("qvl"); other names fail.
  bool SaveToFile(const char* path);
  TPlaylistErrorCode ErrorCode() const { return error_; }
  // Puts the tracks in a random order.
  void Randomize();

  // The entries of the loads since the last DeleteAll that gave no track, in order.
  const std::vector<TPlaylistRefusal>& Refusals() const { return refusals_; }
  // The reader that fills tracks from their sound files (not owned; null:
  // tracks hold what the playlist gives).
  void SetTrackReader(CPlaylistTrackReader* reader) { trackReader_ = reader; }

 private:
  enum class TFormat { kQvl, kM3U, kPls, kIniList, kSingle, kAsx, kScan };
  static TFormat FormatOf(const std::string& path);

  bool ReadPlaylist(const std::string& path, TFormat format);
  bool ReadText(const std::string& path, int64_t maxBytes, std::string* text);
  bool ReadM3U(const std::string& path);
  bool ReadPls(const std::string& path);
  bool ReadIniList(const std::string& path);
  bool ReadAsx(const std::string& path);
  bool ReadQvl(const std::string& path);
  bool ReadScanned(const std::string& path);
  void AddItems(const std::string& playlist, const std::vector<TPlaylistItem>& items);
  // Resolves an entry; true when it was added (or counted).
  bool AddItem(const std::string& playlist, const TPlaylistItem& item);
  // Fills the track from its sound file and adds it (or counts it); given
  // supplies what the playlist says of it.
  bool AddTrack(std::unique_ptr<TONALIS_CMusicInfo> track, const std::string& playlist,
                const std::string& entry, const TPlaylistItem* given);
  void Refuse(const std::string& playlist, const std::string& entry, const std::string& path,
              TPlaylistEntryProblem problem);

  TPlaylistErrorCode error_ = PLAYLIST_ERROR_NONE;
  TTrackRecords tracks_;
  std::vector<TPlaylistRefusal> refusals_;
  bool counting_ = false;
  bool checkFiles_ = false;
  int songCount_ = 0;
  CPlaylistTrackReader* trackReader_ = nullptr;
};

// The title a track without one gets: its file name without the extension
// (".intro.mp3" -> ".intro", "a" -> "a").
std::string DefaultTrackTitle(const std::string& path);
