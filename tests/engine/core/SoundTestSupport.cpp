#include "tests/engine/core/SoundTestSupport.h"

#include <cstring>

#include "engine/base/SampleBuffer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundGroup.h"
#include "tests/TestSupport.h"

namespace soundtest {

std::string Le16(uint16_t v) {
  return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
}

std::string Le32(uint32_t v) {
  return Le16(static_cast<uint16_t>(v & 0xffff)) + Le16(static_cast<uint16_t>(v >> 16));
}

std::string Chunk(const char* id, const std::string& data) {
  std::string c = std::string(id, 4) + Le32(static_cast<uint32_t>(data.size())) + data;
  if (data.size() % 2) c += '\0';
  return c;
}

std::string FmtData(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

std::string Riff(const std::string& chunks, const char* form) {
  return "RIFF" + Le32(static_cast<uint32_t>(chunks.size() + 4)) + std::string(form, 4) + chunks;
}

std::string Pcm16(const std::vector<int16_t>& samples) {
  std::string s(samples.size() * 2, '\0');
  std::memcpy(s.data(), samples.data(), s.size());
  return s;
}

tWAVEFORMATEX Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
  tWAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  ValidateFormat(&f, WAVE_FORMAT_PCM);
  return f;
}

bool Sox(const std::string& args) { return testsupport::Run("sox -D " + args).exitCode == 0; }

std::vector<int16_t> SoxSamples(const std::string& path) {
  testsupport::TempDir dir;
  std::string raw = dir.File("out.raw");
  if (!Sox("'" + path + "' -t raw -e signed -b 16 -L '" + raw + "'")) return {};
  std::string bytes = testsupport::ReadFile(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

Render RenderPlayOnce(CPCMSound& sound, const tWAVEFORMATEX& format, uint32_t chunkBytes,
                      int maxChunks) {
  Render r;
  CSoundGroup* group = new CSoundGroup;
  sound.Add(group, 0);
  group->SetPlayOnceMode(1);
  group->Resize(nullptr);
  tWAVEFORMATEX f = format;
  std::vector<uint8_t> chunk(chunkBytes);
  if (sound.Load(0)) {
    for (int i = 0; i < maxChunks; ++i) {
      std::memset(chunk.data(), f.wBitsPerSample == 8 ? 128 : 0, chunk.size());
      _bufferType b{};
      b.precision = PRECISION_NATIVE;
      b.format = &f;
      b.bufferBytes = chunkBytes;
      b.data = chunk.data();
      sound.Idle(&f);
      long written = 0;
      r.lastResult = sound.ReadData(&b, written);
      ++r.chunks;
      r.bytes.insert(r.bytes.end(), chunk.begin(), chunk.begin() + written);
      if (r.lastResult != RENDER_MORE) break;
    }
  }
  sound.Remove();
  CAudioAtom* atom = group;
  DeleteAtom(&atom);
  return r;
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

}  // namespace soundtest
