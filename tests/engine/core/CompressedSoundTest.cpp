// Compressed WAV sources decoded through the codec registry, checked against
// sox's own decoding of the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine/base/PCMBuffer.h"
#include "engine/codecs/ACMObject.h"
#include "engine/core/InitialLoad.h"
#include "engine/core/PCMSound.h"
#include "engine/media/Peaks.h"
#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;
using testsupport::TempDir;

namespace {

struct Opened {
  CFileObj* file = new CFileObj;
  CPCMSound* sound = new CPCMSound;
  int loaded = 0;
  Opened(const std::string& path, int buildPeaks) {
    if (file->Open(path, 0, 0))
      loaded = sound->InitialLoad(file, 2000, 0, buildPeaks, 0, 0, 20, nullptr, nullptr);
  }
  ~Opened() {
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);
    CRefObj* obj = file;
    DeleteRefObject(&obj);
  }
};

}  // namespace

TEST(CompressedSound, MuLawALawAndAdpcmDecodeAsSoxDecodes) {
  TempDir dir;
  struct Case {
    const char* name;
    const char* encoding;
    int bits;
    int channels;
  } cases[] = {{"mulaw.wav", "u-law", 8, 2},
               {"alaw.wav", "a-law", 8, 1},
               {"ima.wav", "ima-adpcm", 4, 1},
               {"ms.wav", "ms-adpcm", 4, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(c.name);
    ASSERT_TRUE(Sox("-n -r 22050 -c " + std::to_string(c.channels) + " -e " + c.encoding + " -b " +
                    std::to_string(c.bits) + " '" + path + "' synth 3 sine 300 sine 700 vol 0.6"));
    std::vector<int16_t> expected = SoxSamples(path);
    ASSERT_FALSE(expected.empty());

    _formatSupportedInfo info{};
    ASSERT_EQ(FileFormatSupported(path.c_str(), &info), 1);
    EXPECT_EQ(info.isRIFF, 1);
    EXPECT_EQ(info.compressed, 1);
    EXPECT_EQ(info.codecInstalled, 1);
    EXPECT_EQ(info.decodable, 1);

    Opened o(path, 1);
    ASSERT_EQ(o.loaded, 1);
    ASSERT_NE(o.sound->GetACMObj(), nullptr);
    EXPECT_EQ(o.sound->Format()->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(o.sound->Format()->wBitsPerSample, 16);
    EXPECT_NE(o.sound->ActualFormat()->wFormatTag, WAVE_FORMAT_PCM);
    char src[256], dst[256];
    o.sound->GetSrcFormatString(src, sizeof src);
    o.sound->GetDestFormatString(dst, sizeof dst);
    EXPECT_GT(std::strlen(src), 0u);
    EXPECT_GT(std::strlen(dst), 0u);
    EXPECT_STRNE(src, dst);
    EXPECT_NEAR(o.sound->Length(0), 3000, 30);
    ASSERT_NE(o.sound->GetPeaks(), nullptr);
    EXPECT_GT(o.sound->GetNormalizedVolume(0.97), 1.0);

    std::vector<uint64_t> progress;
    const tWAVEFORMATEX out = Pcm(static_cast<uint16_t>(c.channels), 22050, 16);
    Render r = RenderPlayOnce(*o.sound, out, out.nAvgBytesPerSec / 4);
    EXPECT_EQ(r.lastResult, RENDER_ENDED);
    std::vector<int16_t> got = AsSamples(r.bytes);
    // ADPCM's last block may be padded differently; every frame both produce agrees.
    ASSERT_NEAR(static_cast<double>(got.size()), static_cast<double>(expected.size()),
                c.bits == 4 ? 2048.0 * c.channels : 0.0);
    size_t n = std::min(got.size(), expected.size());
    size_t differing = 0;
    for (size_t i = 0; i < n; ++i) differing += got[i] != expected[i];
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(o.sound->GetSourceBytesMixedInPlayOnceMode(),
              static_cast<uint64_t>(o.file->DataSize()));
    EXPECT_EQ(o.sound->FinishedWithPlayOnce(), 1);
  }
}

TEST(CompressedSound, TrimmingAndCopiesOfDecodedSounds) {
  TempDir dir;
  std::string path = dir.File("padded-ima.wav");
  ASSERT_TRUE(
      Sox("-n -r 11025 -c 1 -e ima-adpcm -b 4 '" + path + "' synth 1 sine 440 vol 0.5 pad 0.5 1"));
  Opened o(path, 1);
  ASSERT_EQ(o.loaded, 1);
  EXPECT_NEAR(o.sound->GetAutoTrimTimeStart(), 500, 25);
  EXPECT_NEAR(o.sound->GetAutoTrimTimeEnd(), 1500, 25);
  EXPECT_EQ(o.sound->IsPartialSong(), 0);

  // A copy decodes the same data with its own decoder.
  CAudioAtom* copy = o.sound->Copy();
  ASSERT_NE(copy, nullptr);
  auto* twin = static_cast<CPCMSound*>(copy);
  EXPECT_NE(twin->GetACMObj(), o.sound->GetACMObj());
  const tWAVEFORMATEX out = Pcm(1, 11025, 16);
  std::vector<uint8_t> a = RenderPlayOnce(*o.sound, out, 4410).bytes;
  std::vector<uint8_t> b = RenderPlayOnce(*twin, out, 4410).bytes;
  EXPECT_EQ(a, b);
  DeleteAtom(&copy);

  o.sound->SetVirtualLength(o.sound->GetAutoTrimTimeEnd());
  o.sound->SetAutoTrim(1);
  Render r = RenderPlayOnce(*o.sound, out, 4410);
  EXPECT_EQ(r.bytes.size(), static_cast<size_t>(o.sound->GetAutoTrimTimeEnd()) * 11025 / 1000 * 2);
}

TEST(CompressedSound, UnknownCodecsAreNotLoaded) {
  // A format tag no codec knows: no decoder, no error code, and the check
  // reports it as compressed without an installed codec.
  TempDir dir;
  std::string path = dir.File("odd.wav");
  std::string fmt = FmtData(0x7777, 1, 8000, 4) + Le16(0);
  fmt.replace(12, 2, Le16(64));
  testsupport::WriteFile(path, Riff(Chunk("fmt ", fmt) + Chunk("data", std::string(640, 'x'))));
  Opened o(path, 0);
  EXPECT_EQ(o.loaded, 0);
  EXPECT_EQ(GetLastError(), 0u);
  _formatSupportedInfo info{};
  ASSERT_EQ(FileFormatSupported(path.c_str(), &info), 1);
  EXPECT_EQ(info.compressed, 1);
  EXPECT_EQ(info.decodable, 0);
}
