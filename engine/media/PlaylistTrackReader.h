// Fills a playlist track from its sound file. The playlist lies below the
// sound classes, so the engine's core provides the reader that opens the
// file (CSoundTrackReader); without one a track holds what its playlist says.
#pragma once

class TONALIS_CMusicInfo;

class CPlaylistTrackReader {
 public:
  virtual ~CPlaylistTrackReader() = default;
  // Loads the sound file that track.filePath names and fills the record
  // from it (tags, length, file size, source format), keeping its path.
  // False when the file could not be loaded.
  virtual bool ReadTrack(TONALIS_CMusicInfo& track) = 0;
};
