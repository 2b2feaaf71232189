// Loading MPEG audio sources: plain MP1/MP2/MP3 files made with lame and
// twolame (and the shared free-format streams), MPEG data inside RIFF files,
// and the music information their tags give.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/EngineErrors.h"
#include "engine/base/EngineGlobals.h"
#include "engine/base/TonalisStrings.h"
#include "engine/core/InitialLoad.h"
#include "engine/core/PCMSound.h"
#include "engine/media/MusicInfo.h"
#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;
using testsupport::TempDir;

namespace {

uint16_t At16(const tWAVEFORMATEX* f, size_t at) {
  uint16_t v;
  std::memcpy(&v, reinterpret_cast<const char*>(f) + at, 2);
  return v;
}
uint32_t At32(const tWAVEFORMATEX* f, size_t at) {
  uint32_t v;
  std::memcpy(&v, reinterpret_cast<const char*>(f) + at, 4);
  return v;
}

// One load of a file through the loader alone, with what it found.
struct Probe {
  int ok = 0;
  uint32_t error = 0;
  std::string format;  // the stored format's bytes (18 + extra)
  int64_t dataStart = -1, dataEnd = -1;
  long lengthMs = 0;
  TMusicInfo info;
  bool haveInfo = false;
  const tWAVEFORMATEX* Format() const {
    return reinterpret_cast<const tWAVEFORMATEX*>(format.data());
  }
};

Probe Load(const std::string& path, int buildPeaks = 0) {
  Probe p;
  CFileObj* file = new CFileObj;
  if (file->Open(path, 0, 0)) {
    CInitialLoad loader;
    p.ok = loader.DoInitialLoad(file, 0, 0, buildPeaks, 0, 20, nullptr, nullptr);
    p.error = GetLastError();
    if (const tWAVEFORMATEX* f = loader.Format())
      p.format.assign(reinterpret_cast<const char*>(f), sizeof *f + f->cbSize);
    p.dataStart = loader.DataStart();
    p.dataEnd = loader.DataEnd();
    p.lengthMs = loader.LengthMs();
    if (TMusicInfo* m = loader.StealMusicInfo()) {
      p.info = *m;
      p.haveInfo = true;
      delete m;
    }
  }
  CRefObj* obj = file;
  DeleteRefObject(&obj);
  return p;
}

// The whole sound as the conversion mix renders it, at its own shape.
std::vector<int16_t> Rendered(const std::string& path) {
  CFileObj* file = new CFileObj;
  CPCMSound* sound = new CPCMSound;
  std::vector<int16_t> out;
  if (file->Open(path, 0, 0) && sound->InitialLoad(file, 2000, 0, 1, 0, 0, 20, nullptr, nullptr)) {
    const tWAVEFORMATEX* f = sound->Format();
    out = AsSamples(RenderPlayOnce(*sound, Pcm(f->nChannels, f->nSamplesPerSec, 16), 8192).bytes);
  }
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
  return out;
}

class MpegLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    oldStrings_ = GetTonalisStringFile();
    ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame"}), "");
    // Genre names come from the engine's strings file.
    SetTonalisStringFile(testsupport::SourceDir() + "/engine/tonalis-strings.ini");
  }
  void TearDown() override { SetTonalisStringFile(oldStrings_); }
  std::string Make(const std::string& name, const std::string& encoder, int rate = 44100,
                   int channels = 2) {
    std::string wav = dir_.File(name + ".wav"), out = dir_.File(name);
    EXPECT_TRUE(Sox("-n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                    " -b 16 '" + wav + "' synth 2 sine 300-3000 vol 0.5"));
    auto r = testsupport::Run(encoder + " '" + wav + "' '" + out + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return out;
  }
  TempDir dir_;
  std::string oldStrings_;
};

TEST_F(MpegLoad, TheStoredFormatDescribesTheStreamToItsDecoder) {
  Probe p = Load(Make("a.mp3", "lame --quiet -b 128"));
  ASSERT_EQ(p.ok, 1) << std::hex << p.error;
  ASSERT_EQ(p.format.size(), 30u);
  const tWAVEFORMATEX* f = p.Format();
  EXPECT_EQ(f->wFormatTag, WAVE_FORMAT_MPEGLAYER3);
  EXPECT_EQ(f->nChannels, 2);
  EXPECT_EQ(f->nSamplesPerSec, 44100u);
  EXPECT_EQ(f->nAvgBytesPerSec, 128u * 125);
  EXPECT_EQ(f->nBlockAlign, 1);
  EXPECT_EQ(f->wBitsPerSample, 16);
  EXPECT_EQ(f->cbSize, 12);          // the 30-byte record, nothing claimed beyond it
  EXPECT_EQ(At16(f, 18), 1);         // identifier
  EXPECT_EQ(At32(f, 20), 2u);        // flags
  EXPECT_NEAR(At16(f, 24), 418, 8);  // average frame size, tags and Xing frame included
  EXPECT_EQ(At16(f, 26), 1);
  EXPECT_EQ(At16(f, 28), 1393);
  EXPECT_EQ(p.dataStart, 0);
  // Without a scan the length follows from the rate: 2 s and the encoder's
  // padding.
  EXPECT_NEAR(p.lengthMs, 2000, 80);

  // Layer I (block align 4), MPEG-2 at a low rate, mono.
  std::string mp1 = dir_.File("fl1.mp1");
  ASSERT_TRUE(testsupport::WriteFile(
      mp1, testsupport::ReadInput(testsupport::VectorsDir() + "/mpeg/l1-fl1.bit")));
  Probe l1 = Load(mp1);
  ASSERT_EQ(l1.ok, 1) << std::hex << l1.error;
  EXPECT_EQ(l1.Format()->nBlockAlign, 4);
  Probe low = Load(Make("low.mp3", "lame --quiet -b 32 -m m", 22050, 1));
  ASSERT_EQ(low.ok, 1);
  EXPECT_EQ(low.Format()->nChannels, 1);
  EXPECT_EQ(low.Format()->nSamplesPerSec, 22050u);
  EXPECT_EQ(low.Format()->nAvgBytesPerSec, 32u * 125);

  // With peaks the scan measures the decoded length exactly.
  Probe scanned = Load(Make("b.mp3", "lame --quiet -V 3"), 1);
  ASSERT_EQ(scanned.ok, 1);
  EXPECT_NEAR(scanned.lengthMs, 2000, 80);
}

TEST_F(MpegLoad, FreeFormatStreamsAreFoundWithoutABitRateInTheirHeaders) {
  for (const char* name : {"l3-he_free.bit", "l2-nonstandard-free_format.bit"}) {
    SCOPED_TRACE(name);
    std::string path = dir_.File(std::string(name) + (name[1] == '3' ? ".mp3" : ".mp2"));
    ASSERT_TRUE(testsupport::WriteFile(
        path, testsupport::ReadInput(testsupport::VectorsDir() + "/mpeg/" + name)));
    Probe p = Load(path);
    ASSERT_EQ(p.ok, 1) << std::hex << p.error;
    EXPECT_GT(p.Format()->nAvgBytesPerSec, 1000u);
    EXPECT_GT(At16(p.Format(), 24), 20);
    // Both streams begin with their first frame; a pattern inside the audio
    // that passes for a fixed-rate header must not be taken for the start.
    EXPECT_EQ(p.dataStart, 0);
    EXPECT_FALSE(Rendered(path).empty());
  }
}

TEST_F(MpegLoad, MpegDataInsideRiffFilesEndsWithItsChunk) {
  std::string mp3 = Make("c.mp3", "lame --quiet -b 96");
  std::string stream = testsupport::ReadFile(mp3);
  std::vector<int16_t> plain = Rendered(mp3);
  ASSERT_FALSE(plain.empty());
  // An INFO list behind the data: never decoded, and read for the tags.
  std::string info = Chunk("LIST", "INFO" + Chunk("INAM", std::string("Wrapped\0", 8)));
  std::string fmt = FmtData(0x55, 2, 44100, 0) + Le16(12) + std::string(12, '\0');
  fmt.replace(12, 2, Le16(1));
  std::string wave = dir_.File("wrapped.wav"), rmp3 = dir_.File("wrapped.rmp");
  testsupport::WriteFile(wave, Riff(Chunk("fmt ", fmt) + Chunk("data", stream) + info));
  testsupport::WriteFile(rmp3, Riff(Chunk("data", stream) + info, "RMP3"));
  for (const std::string& path : {wave, rmp3}) {
    SCOPED_TRACE(path);
    Probe p = Load(path);
    ASSERT_EQ(p.ok, 1) << std::hex << p.error;
    EXPECT_EQ(p.dataEnd - p.dataStart, static_cast<int64_t>(stream.size()));
    EXPECT_EQ(Rendered(path), plain);
  }
  Probe p = Load(wave);
  ASSERT_TRUE(p.haveInfo);
  EXPECT_STREQ(p.info.title, "Wrapped");
}

TEST_F(MpegLoad, StreamsThatCannotBeDecodedAreRefused) {
  TempDir dir;
  std::string text = dir.File("text.mp3"), empty = dir.File("empty.mp2");
  testsupport::WriteFile(text, std::string(30000, 'q'));
  testsupport::WriteFile(empty, "");
  EXPECT_EQ(Load(text).error, kErrNoMpegStream);
  EXPECT_EQ(Load(empty).error, kErrNoMpegStream);

  // With MPEG decoding switched off, nothing MPEG loads and every WAV
  // format counts as supported.
  std::string mp3 = Make("d.mp3", "lame --quiet -b 64");
  SetMPEGDecodingEnabled(0);
  Probe off = Load(mp3);
  std::string wav = dir.File("mp3.wav");
  testsupport::WriteFile(wav, Riff(Chunk("fmt ", FmtData(0x55, 2, 44100, 0) + Le16(0)) +
                                   Chunk("data", std::string(400, '\0'))));
  _formatSupportedInfo supported{};
  int answer = FileFormatSupported(wav.c_str(), &supported);
  SetMPEGDecodingEnabled(1);
  EXPECT_EQ(off.ok, 0);
  EXPECT_EQ(off.error, kErrNoMpegStream);
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(supported.isRIFF, 1);
  EXPECT_EQ(supported.compressed, 0);
  EXPECT_EQ(Load(mp3).ok, 1);
}

TEST_F(MpegLoad, IdThreeVersionOneTagsFillTheMusicInformation) {
  std::string mp3 = Make("e.mp3",
                         "lame --quiet -b 64 --id3v1-only --tt Title --ta Artist --tl Album "
                         "--ty 2003 --tn 5 --tg Jazz --tc Remark");
  Probe p = Load(mp3);
  ASSERT_EQ(p.ok, 1);
  ASSERT_TRUE(p.haveInfo);
  EXPECT_STREQ(p.info.title, "Title");
  EXPECT_STREQ(p.info.artist, "Artist");
  EXPECT_STREQ(p.info.album, "Album");
  EXPECT_STREQ(p.info.comment, "Remark");
  EXPECT_EQ(p.info.year, 2003);
  EXPECT_EQ(p.info.trackNumber, 5);
  EXPECT_EQ(p.info.genreIndex, 8);
  EXPECT_STREQ(p.info.genre, "Jazz");
  EXPECT_EQ(p.info.tagType, TAG_ID3_V1);
  EXPECT_EQ(p.info.tagSize, 128);
  EXPECT_EQ(p.dataEnd, static_cast<int64_t>(testsupport::ReadFile(mp3).size()) - 128);

  // A genre number beyond the table is no genre; 255 stays "none".
  for (int genre : {200, 255}) {
    std::string bytes = testsupport::ReadFile(mp3);
    bytes.back() = static_cast<char>(genre);
    std::string odd = dir_.File("odd" + std::to_string(genre) + ".mp3");
    testsupport::WriteFile(odd, bytes);
    Probe q = Load(odd);
    ASSERT_TRUE(q.haveInfo);
    EXPECT_EQ(q.info.genreIndex, 255) << genre;
    EXPECT_STREQ(q.info.genre, "") << genre;
    EXPECT_STREQ(q.info.title, "Title");
  }
}

}  // namespace
