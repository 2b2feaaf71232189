// Feeds arbitrary bytes to the engine's sound loading as a sound file (RIFF
// WAV with PCM, mu-law, A-law, IMA ADPCM, MS ADPCM or MPEG data, and RMP3),
// then renders the whole sound once the way the conversion mix pulls it, so
// that every byte of its data goes through its decoder.
//
// The first byte chooses how (the rest is the file):
//   bit 0    a file in a temporary folder (tmpfs where there is one) rather
//            than a memory object; only a file has a name and ID3v2 tags
//   bit 1    the file is named ".mp3" rather than ".wav"
//   bit 2    peaks are built (memory objects only: a file's peaks would be
//            kept in the engine's cache folder)
//   bit 3    a seek map is built
//   bits 4-5 the size of the chunks rendered
//   bit 6    rendered as 44.1 kHz 16-bit stereo rather than in its own format
//   bit 7    the scan flag of the load
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/core/InitialLoad.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundEngine.h"
#include "engine/core/SoundGroup.h"
#include "platform/data/FileObj.h"
#include "platform/data/MemObj.h"

namespace {

std::string g_folder;

void RemoveFolder() {
  if (g_folder.empty()) return;
  for (const char* name : {"/in.wav", "/in.mp3"}) unlink((g_folder + name).c_str());
  rmdir(g_folder.c_str());
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  while (ok && size > 0) {
    ssize_t n = write(fd, data, size);
    ok = n > 0;
    if (ok) {
      data += n;
      size -= static_cast<size_t>(n);
    }
  }
  return close(fd) == 0 && ok;
}

// Pulls the sound, alone in a play-once group, chunk by chunk until it ends.
void Render(CPCMSound& sound, tWAVEFORMATEX format, uint32_t chunkBytes) {
  CSoundGroup* group = new CSoundGroup;
  sound.Add(group, 0);
  group->SetPlayOnceMode(1);
  group->Resize(nullptr);
  std::vector<uint8_t> chunk(chunkBytes);
  // 16 MB of output at most: a fuzzed stream may decode to long silence.
  const int maxChunks = static_cast<int>((16u << 20) / chunkBytes);
  if (sound.Load(0)) {
    for (int i = 0; i < maxChunks; ++i) {
      std::memset(chunk.data(), format.wBitsPerSample == 8 ? 128 : 0, chunk.size());
      _bufferType b{};
      b.precision = PRECISION_NATIVE;
      b.format = &format;
      b.bufferBytes = chunkBytes;
      b.data = chunk.data();
      sound.Idle(&format);
      long written = 0;
      if (sound.ReadData(&b, written) != RENDER_MORE) break;
    }
  }
  sound.Remove();
  CAudioAtom* atom = group;
  DeleteAtom(&atom);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Started once, as the program does; nothing of it is made again per input.
  SoundEngineStartup(nullptr);
  std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  if (const char* tmp = std::getenv("SONODUCT_FUZZ_TMP")) base = tmp;
  std::string pattern = base + "/sonoduct-fuzz-XXXXXX";
  if (mkdtemp(pattern.data())) {
    g_folder = pattern;
    std::atexit(RemoveFolder);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  ++data;
  --size;
  const bool onDisk = (control & 1) && !g_folder.empty();
  const int buildPeaks = !onDisk && (control & 4) ? 1 : 0;
  const int buildSeekMap = control & 8 ? 1 : 0;
  static const uint32_t kChunkBytes[4] = {4096, 1024, 16384, 2352};
  const uint32_t chunkBytes = kChunkBytes[(control >> 4) & 3];
  const int scanFlag = control & 0x80 ? 1 : 0;

  CRefObj* source = nullptr;
  if (onDisk) {
    std::string path = g_folder + (control & 2 ? "/in.mp3" : "/in.wav");
    if (!WriteFile(path, data, size)) return 0;
    // The cheaper check the program makes before it opens a file.
    _formatSupportedInfo supported{};
    FileFormatSupported(path.c_str(), &supported);
    auto* file = new CFileObj;
    source = file;
    if (!file->Open(path, 0, 0)) {
      DeleteRefObject(&source);
      return 0;
    }
  } else {
    auto* memory = new CMemObj;
    source = memory;
    if (!memory->Create(data, static_cast<int64_t>(size))) {
      DeleteRefObject(&source);
      return 0;
    }
  }

  CPCMSound* sound = new CPCMSound;
  if (sound->InitialLoad(source, 2000, scanFlag, buildPeaks, 0, buildSeekMap, 20, nullptr,
                         nullptr)) {
    char text[256];
    sound->GetSrcFormatString(text, sizeof text);
    sound->GetDestFormatString(text, sizeof text);
    volatile long length = sound->Length(0);
    (void)length;
    const tWAVEFORMATEX* own = sound->Format();
    tWAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = control & 0x40 ? 2 : own->nChannels;
    format.nSamplesPerSec = control & 0x40 ? 44100 : own->nSamplesPerSec;
    format.wBitsPerSample = control & 0x40 ? 16 : own->wBitsPerSample;
    if (ValidateFormat(&format, WAVE_FORMAT_PCM)) Render(*sound, format, chunkBytes);
  }
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  DeleteRefObject(&source);
  return 0;
}
