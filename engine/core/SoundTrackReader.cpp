#include "engine/core/SoundTrackReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/codecs/ACMObject.h"
#include "engine/core/PCMSound.h"
#include "engine/media/MusicInfo.h"
#include "engine/media/TonalisMusicInfo.h"
#include "platform/data/FileObj.h"

namespace {

constexpr long kBufferMs = 2000;
constexpr int kMsPerPeak = 20;

bool IsCdFormat(const tWAVEFORMATEX& f) {
  return f.nSamplesPerSec == 44100 && f.wBitsPerSample == 16 && f.nChannels == 2;
}

}  // namespace

bool CSoundTrackReader::ReadTrack(TONALIS_CMusicInfo& track) {
  auto* file = new CFileObj;
  auto* sound = new CPCMSound;
  bool loaded = false;
  if (file->Open(track.filePath) && file->Size() > 0 &&
      sound->InitialLoad(file, kBufferMs, 0, 0, 0, 0, kMsPerPeak, nullptr, nullptr) == 1) {
    if (const TMusicInfo* info = sound->GetMusicInfo()) track = *info;
    track.length =
        static_cast<int32_t>(std::min<long>(sound->Length(0), std::numeric_limits<int32_t>::max()));
    track.fileSize =
        static_cast<int32_t>(std::min<int64_t>(file->Size(), std::numeric_limits<int32_t>::max()));
    sound->GetSrcFormatString(track.sourceFormat, sizeof track.sourceFormat);
    if (const tWAVEFORMATEX* format = sound->ActualFormat()) {
      std::memcpy(&track.waveFormat, format, sizeof track.waveFormat);
      track.flags[TONALIS_CMusicInfo::kFlagCdQuality] =
          sound->GetACMObj() ? sound->GetACMObj()->FirstFrameDecodesToCDQuality() != 0
                             : IsCdFormat(*format);
    }
    loaded = true;
  }
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
  return loaded;
}
