#include "platform/audio/AlsaPcm.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace os {

namespace {
// ALSA reports a missing device on stderr by itself; here that is an
// ordinary failure that the caller handles.
void Quiet(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

TPcmOpen OpenDefaultPcm(bool capture, uint16_t channels, uint32_t rate, uint16_t bits,
                        int64_t queueBytes, int64_t minLatencyUs) {
  TPcmOpen opened;
  if ((channels != 1 && channels != 2) || rate == 0 || (bits != 8 && bits != 16)) {
    opened.error = "unsupported PCM shape";
    return opened;
  }
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* pcm = nullptr;
  int rc = snd_pcm_open(&pcm, "default", capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                        capture ? SND_PCM_NONBLOCK : 0);
  if (rc < 0) {
    opened.error = snd_strerror(rc);
    return opened;
  }
  const uint32_t frameBytes = channels * bits / 8u;
  int64_t queueUs = queueBytes * 1000000 / (int64_t{rate} * frameBytes);
  unsigned latency = static_cast<unsigned>(std::clamp<int64_t>(2 * queueUs, minLatencyUs, 2000000));
  rc = snd_pcm_set_params(pcm, bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE,
                          SND_PCM_ACCESS_RW_INTERLEAVED, channels, rate, 1, latency);
  if (rc < 0) {
    opened.error = snd_strerror(rc);
    snd_pcm_close(pcm);
    return opened;
  }
  opened.pcm = pcm;
  opened.frameBytes = frameBytes;
  return opened;
}

}  // namespace os
