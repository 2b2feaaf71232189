// Fills playlist tracks from their sound files: each file is opened once and
// loaded as a sound, without peaks or seek maps, for its tags, length and format.
#pragma once

#include "engine/media/PlaylistTrackReader.h"

class CSoundTrackReader : public CPlaylistTrackReader {
 public:
  bool ReadTrack(TONALIS_CMusicInfo& track) override;
};
