// Times the play-once render of a sound, the conversion's hot path: a
// generated 16-bit stereo source mixed into 1-second chunks at the same rate
// and at another rate, with a volume envelope that ramps.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundGroup.h"
#include "platform/data/MemObj.h"

namespace {
std::string Le(uint32_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
  return s;
}

double RenderSeconds(const std::string& wav, uint32_t outRate, bool ramp, double* audioSeconds) {
  auto* mem = new CMemObj;
  mem->Create(wav.data(), static_cast<int64_t>(wav.size()));
  auto* sound = new CPCMSound;
  sound->InitialLoad(mem, 2000, 0, 0, 0, 0, 20, nullptr, nullptr);
  if (ramp) {
    sound->GetSrcMap()->RemoveAllSimpleEvents(MAP_VOLUME);
    sound->GetSrcMap()->AddSimpleEvent(MAP_VOLUME, 0, 1.0);
    sound->GetSrcMap()->AddSimpleEvent(MAP_VOLUME, sound->Length(0), 0.2);
  }
  auto* group = new CSoundGroup;
  sound->Add(group, 0);
  group->SetPlayOnceMode(1);
  tWAVEFORMATEX f{1, 2, outRate, outRate * 4, 4, 16, 0};
  std::vector<uint8_t> chunk(f.nAvgBytesPerSec);
  auto start = std::chrono::steady_clock::now();
  sound->Load(0);
  uint64_t bytes = 0;
  for (;;) {
    std::memset(chunk.data(), 0, chunk.size());
    _bufferType b{};
    b.format = &f;
    b.bufferBytes = static_cast<uint32_t>(chunk.size());
    b.data = chunk.data();
    sound->Idle(&f);
    long written = 0;
    int r = sound->ReadData(&b, written);
    bytes += static_cast<uint64_t>(written);
    if (r != RENDER_MORE) break;
  }
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  *audioSeconds = static_cast<double>(bytes) / f.nAvgBytesPerSec;
  sound->Remove();
  CAudioAtom* a = sound;
  DeleteAtom(&a);
  a = group;
  DeleteAtom(&a);
  CRefObj* o = mem;
  DeleteRefObject(&o);
  return elapsed;
}
}  // namespace

int main() {
  const uint32_t rate = 44100, seconds = 600;
  std::string data(static_cast<size_t>(rate) * 4 * seconds, '\0');
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    auto v = static_cast<int16_t>((i * 37) % 40000 - 20000);
    std::memcpy(&data[i], &v, 2);
  }
  std::string fmt = Le(1, 2) + Le(2, 2) + Le(rate, 4) + Le(rate * 4, 4) + Le(4, 2) + Le(16, 2);
  std::string body =
      "WAVEfmt " + Le(16, 4) + fmt + "data" + Le(static_cast<uint32_t>(data.size()), 4) + data;
  std::string wav = "RIFF" + Le(static_cast<uint32_t>(body.size()), 4) + body;
  struct {
    const char* name;
    uint32_t rate;
    bool ramp;
  } cases[] = {{"same rate", 44100, false},
               {"same rate, volume ramp", 44100, true},
               {"44100 -> 48000", 48000, false}};
  for (auto& c : cases) {
    double audio = 0;
    double t = RenderSeconds(wav, c.rate, c.ramp, &audio);
    std::printf("%-24s %7.1f s of audio in %6.3f s: %6.0fx real time\n", c.name, audio, t,
                audio / t);
  }
}
