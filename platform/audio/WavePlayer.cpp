#include "platform/audio/WavePlayer.h"

#include <alsa/asoundlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/data/ByteOrder.h"

namespace {

struct Pcm {
  uint16_t channels = 0, bits = 0;
  uint32_t rate = 0;
  const uint8_t* data = nullptr;
  size_t bytes = 0;
};

bool Parse(const std::vector<uint8_t>& f, Pcm* pcm) {
  if (f.size() < 12 || std::memcmp(f.data(), "RIFF", 4) || std::memcmp(f.data() + 8, "WAVE", 4))
    return false;
  for (size_t at = 12; at + 8 <= f.size();) {
    uint32_t size = LoadLE32(&f[at + 4]);
    size_t body = at + 8;
    size_t end = size > f.size() - body ? f.size() : body + size;
    if (!std::memcmp(&f[at], "fmt ", 4) && end - body >= 16) {
      if (LoadLE16(&f[body]) != 1) return false;
      pcm->channels = LoadLE16(&f[body + 2]);
      pcm->rate = LoadLE32(&f[body + 4]);
      pcm->bits = LoadLE16(&f[body + 14]);
    } else if (!std::memcmp(&f[at], "data", 4)) {
      pcm->data = &f[body];
      pcm->bytes = end - body;
    }
    at = end + (size & 1);
  }
  return pcm->data && pcm->channels >= 1 && pcm->channels <= 2 && pcm->rate > 0 &&
         (pcm->bits == 8 || pcm->bits == 16);
}

// ALSA reports a missing device on stderr by itself; here that is an
// ordinary failure that the caller handles.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool PlayWaveFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Pcm pcm;
  if (!Parse(file, &pcm)) return false;
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* device = nullptr;
  if (snd_pcm_open(&device, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return false;
  bool ok =
      snd_pcm_set_params(device, pcm.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE,
                         SND_PCM_ACCESS_RW_INTERLEAVED, pcm.channels, pcm.rate, 1, 500000) >= 0;
  const size_t frameBytes = pcm.channels * pcm.bits / 8;
  snd_pcm_uframes_t frames = pcm.bytes / frameBytes;
  const uint8_t* p = pcm.data;
  while (ok && frames > 0) {
    snd_pcm_sframes_t n = snd_pcm_writei(device, p, frames);
    if (n < 0) n = snd_pcm_recover(device, static_cast<int>(n), 1);
    if (n < 0) {
      ok = false;
      break;
    }
    p += static_cast<size_t>(n) * frameBytes;
    frames -= static_cast<snd_pcm_uframes_t>(n);
  }
  if (ok) snd_pcm_drain(device);
  snd_pcm_close(device);
  return ok;
}
