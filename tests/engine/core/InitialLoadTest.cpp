#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "engine/base/EngineErrors.h"
#include "engine/base/PCMBuffer.h"
#include "engine/base/TempPaths.h"
#include "engine/base/TonalisStrings.h"
#include "engine/core/InitialLoad.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundLoaded.h"
#include "engine/media/MusicInfo.h"
#include "engine/media/Peaks.h"
#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "platform/riff/FourCC.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;
using testsupport::TempDir;

namespace {

struct Loaded {
  int ok = 0;
  uint32_t error = 0;
  long length = 0;
  int64_t dataBytes = 0;
  std::vector<uint8_t> rendered;
};

// Loads a file as the converter does and, when that works, renders it once.
Loaded LoadFile(const std::string& path, int buildPeaks = 0, TLoadCallback callback = nullptr,
                void* user = nullptr) {
  Loaded l;
  CFileObj* file = new CFileObj;
  CPCMSound* sound = new CPCMSound;
  SetLastError(0x12345);
  if (file->Open(path, 0, 0)) {
    l.ok = sound->InitialLoad(file, 2000, 0, buildPeaks, 0, 0, 20, callback, user);
    l.error = GetLastError();
    if (l.ok) {
      l.length = sound->Length(0);
      l.dataBytes = sound->GetRefObj()->DataSize();
      const tWAVEFORMATEX* f = sound->Format();
      l.rendered =
          RenderPlayOnce(*sound, Pcm(f->nChannels, f->nSamplesPerSec, f->wBitsPerSample), 4096)
              .bytes;
    }
  }
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
  return l;
}

Loaded LoadBytes(const std::string& bytes, const char* name = "x.wav", int buildPeaks = 0) {
  TempDir dir;
  std::string path = dir.File(name);
  testsupport::WriteFile(path, bytes);
  return LoadFile(path, buildPeaks);
}

std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  return Chunk("fmt ", FmtData(tag, channels, rate, bits));
}

std::string Data(size_t bytes, char fill = 1) { return Chunk("data", std::string(bytes, fill)); }

}  // namespace

TEST(InitialLoad, PcmFormatsOutsideTheSupportedRangeAreRefused) {
  // Wider samples, more channels and higher rates than the engine's own come
  // through the codec layer as 16-bit PCM of at most two channels.
  Loaded wide = LoadBytes(Riff(Fmt(1, 2, 44100, 24) + Data(600)));
  EXPECT_EQ(wide.ok, 1);
  EXPECT_EQ(AsSamples(wide.rendered), std::vector<int16_t>(200, 0x0101));
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 2, 96000, 16) + Data(600))).ok, 1);
  Loaded three = LoadBytes(Riff(Fmt(1, 3, 8000, 16) + Data(600)));
  EXPECT_EQ(three.ok, 1);
  EXPECT_EQ(three.rendered.size(), 400u);
  // What no codec reads is refused as before.
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 0, 8) + Data(600))).error, kErrBadPCMFormat);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 0, 24) + Data(600))).error, kErrBadPCMFormat);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 2, 44100, 12) + Data(600))).error, kErrBadPCMFormat);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 9, 44100, 16) + Data(576))).error, kErrBadPCMFormat);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 2, 384000, 24) + Data(600))).error, kErrBadPCMFormat);
  Loaded top = LoadBytes(Riff(Fmt(1, 2, 48000, 16) + Data(19200)));
  EXPECT_EQ(top.ok, 1);
  EXPECT_EQ(top.length, 100);

  // A PCM header's block align and rate fields are recomputed, not trusted.
  std::string fmt = FmtData(1, 2, 8000, 16);
  fmt.replace(8, 4, Le32(0));
  fmt.replace(12, 2, Le16(0));
  Loaded fixed = LoadBytes(Riff(Chunk("fmt ", fmt) + Data(3200)));
  EXPECT_EQ(fixed.ok, 1);
  EXPECT_EQ(fixed.length, 100);

  // 1 Hz loads, but is too slow for one peak per 20 ms when analysed.
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 1, 8) + Data(10))).ok, 1);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 1, 8) + Data(10)), "x.wav", 1).error, kErrBadPCMFormat);
}

TEST(InitialLoad, DamagedAndMisnamedFilesGiveTheirErrorCodes) {
  EXPECT_EQ(LoadBytes(Riff(Data(100))).error, kErrNoFmt);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 8000, 16))).error, kErrNoData);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 8000, 16) + Data(0))).error, kErrEmptyData);
  // A file cut inside its "fmt " chunk.
  std::string cut = Riff(Fmt(1, 1, 8000, 16) + Data(100)).substr(0, 12 + 8 + 6);
  EXPECT_EQ(LoadBytes(cut).error, kErrShortFmt);
  // Extra bytes that run past their chunk, and a compressed format without blocks.
  std::string adpcm = FmtData(2, 1, 8000, 4) + Le16(100) + Le16(0);
  adpcm.replace(12, 2, Le16(256));
  EXPECT_EQ(LoadBytes(Riff(Chunk("fmt ", adpcm) + Data(100))).error, kErrShortFmt);
  std::string noBlocks = FmtData(2, 1, 8000, 4) + Le16(0);
  noBlocks.replace(12, 2, Le16(0));
  EXPECT_EQ(LoadBytes(Riff(Chunk("fmt ", noBlocks) + Data(100))).error, kErrBadPCMFormat);
  // Other RIFF forms: refused, or handed to the MPEG parser by the extension.
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 8000, 16) + Data(100), "AVI ")).error, kErrRiffForm);
  EXPECT_EQ(LoadBytes(Riff(Fmt(1, 1, 8000, 16) + Data(100), "AVI "), "x.mp3").error,
            kErrNoMpegStream);
  // Not RIFF at all: no code for an unknown kind of file.
  std::string noise(5000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);
  Loaded n = LoadBytes(noise, "noise.wav");
  EXPECT_EQ(n.ok, 0);
  EXPECT_EQ(n.error, 0u);
  EXPECT_EQ(LoadBytes(noise, "noise.ogg").error, 0u);
}

TEST(InitialLoad, DataSizesAreCutToTheFile) {
  // "data" claims 100000 bytes, 1000 are there: the sound is those 1000.
  std::string wav = Riff(Fmt(1, 2, 8000, 16) + Chunk("data", std::string(1000, 3)));
  wav.replace(wav.size() - 1000 - 4, 4, Le32(100000));
  Loaded l = LoadBytes(wav);
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.dataBytes, 1000);
  EXPECT_EQ(l.rendered.size(), 1000u);
  EXPECT_EQ(l.length, 31);

  // A file cut in the middle of its last frame ends after the whole frames;
  // the same file streamed through the ring does too.
  std::string odd = Riff(Fmt(1, 2, 8000, 16) + Chunk("data", std::string(1003, 3)));
  odd.resize(odd.size() - 1);  // drop the pad byte
  Loaded o = LoadBytes(odd);
  ASSERT_EQ(o.ok, 1);
  EXPECT_EQ(o.rendered.size(), 1000u);

  std::string longOdd = Riff(Fmt(1, 2, 8000, 16) + Chunk("data", std::string(32000 * 3 + 3, 3)));
  longOdd.resize(longOdd.size() - 1);
  Loaded lo = LoadBytes(longOdd);
  ASSERT_EQ(lo.ok, 1);
  EXPECT_EQ(lo.rendered.size(), 96000u);
}

TEST(InitialLoad, RiffFormWinsOverTheExtension) {
  Loaded l = LoadBytes(Riff(Fmt(1, 1, 8000, 16) + Data(1600)), "really-a-wave.mp3");
  EXPECT_EQ(l.ok, 1);
  EXPECT_EQ(l.length, 100);
}

TEST(InitialLoad, InfoListFillsTheMusicInformation) {
  std::string longTitle(1500, 'T');
  std::string mcdi = Le32(900) + std::string(1000, 'M');
  std::string info = "INFO" + Chunk("INAM", longTitle + '\0') + Chunk("IART", "Caf\xe9 Trio") +
                     Chunk("IALB", "Album") + Chunk("ICMT", "Comment") +
                     Chunk("IENG", "Eng\xc0\xaf") + Chunk("ICOP", "(c) Caf\xc3\xa9") +
                     Chunk("ICRD", "1999-05-01") + Chunk("ITRK", "3/12") + Chunk("IGNR", "(17)") +
                     Chunk("IMCD", mcdi);
  std::string wav = Riff(Fmt(1, 1, 8000, 16) + Chunk("LIST", info) + Data(1600));
  TempDir dir;
  std::string path = dir.File("tagged.wav");
  testsupport::WriteFile(path, wav);
  CFileObj* file = new CFileObj;
  ASSERT_TRUE(file->Open(path, 0, 0));
  CPCMSound* sound = new CPCMSound;
  ASSERT_EQ(sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  TMusicInfo* m = sound->GetMusicInfo();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(std::strlen(m->title), 1023u);
  EXPECT_STREQ(m->artist, "Caf\xc3\xa9 Trio");
  EXPECT_STREQ(m->album, "Album");
  EXPECT_STREQ(m->comment, "Comment");
  // A text that is not valid UTF-8 (here an overlong '/') was written as
  // ISO-8859-1; valid UTF-8 stays as it is.
  EXPECT_STREQ(m->encoder, "Eng\xc3\x80\xc2\xaf");
  EXPECT_STREQ(m->copyright, "(c) Caf\xc3\xa9");
  EXPECT_EQ(m->year, 1999);
  EXPECT_EQ(m->trackNumber, 3);
  EXPECT_EQ(m->totalTracks, 12);
  EXPECT_EQ(m->genreIndex, 17);
  EXPECT_STREQ(m->genre, "(17)");
  EXPECT_EQ(m->mcdiLength, 804);
  EXPECT_EQ(m->mcdi[803], 'M');
  EXPECT_EQ(m->tagType, 4);
  EXPECT_EQ(sound->Length(0), 100);
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
}

TEST(InitialLoad, GenreNamesAreReadAsTheirNumbers) {
  // Our WAV writer and other programs store the genre's display name.
  struct Case {
    const char* ignr;
    int index;
    const char* genre;
  } cases[] = {{"Rock", 17, "(17)"},
               {"jazz", 8, "(8)"},
               {"(80)", 80, "(80)"},
               {"Bossa Nova and more", 255, "Bossa Nova and more"}};
  const std::string oldStrings = GetTonalisStringFile();
  SetTonalisStringFile(testsupport::SourceDir() + "/engine/tonalis-strings.ini");
  TempDir dir;
  for (const Case& c : cases) {
    std::string wav =
        Riff(Fmt(1, 1, 8000, 16) + Chunk("LIST", "INFO" + Chunk("IGNR", c.ignr)) + Data(1600));
    std::string path = dir.File("genre.wav");
    testsupport::WriteFile(path, wav);
    CFileObj* file = new CFileObj;
    ASSERT_TRUE(file->Open(path, 0, 0));
    CPCMSound* sound = new CPCMSound;
    ASSERT_EQ(sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
    EXPECT_EQ(sound->GetMusicInfo()->genreIndex, c.index) << c.ignr;
    EXPECT_STREQ(sound->GetMusicInfo()->genre, c.genre);
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);
    CRefObj* obj = file;
    DeleteRefObject(&obj);
  }
  SetTonalisStringFile(oldStrings);
}

TEST(InitialLoad, InfoWrittenByFfmpegIsRead) {
  ASSERT_EQ(testsupport::MissingPrograms({"ffmpeg"}), "");
  TempDir dir;
  std::string path = dir.File("ff.wav");
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i sine=d=0.3 -metadata title=Hello "
                             "-metadata artist=World -y '" +
                             path + "'")
                .exitCode,
            0);
  CFileObj* file = new CFileObj;
  ASSERT_TRUE(file->Open(path, 0, 0));
  CPCMSound* sound = new CPCMSound;
  ASSERT_EQ(sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  ASSERT_NE(sound->GetMusicInfo(), nullptr);
  EXPECT_STREQ(sound->GetMusicInfo()->title, "Hello");
  EXPECT_STREQ(sound->GetMusicInfo()->artist, "World");
  EXPECT_EQ(sound->Length(0), 300);
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
}

TEST(InitialLoad, ScanReportsProgressAndCanBeAborted) {
  TempDir dir;
  std::string path = dir.File("scan.wav");
  ASSERT_TRUE(Sox("-n -r 44100 -c 2 -b 16 '" + path + "' synth 3 sine 500"));
  struct Progress {
    std::vector<unsigned long> calls;
    int answerAfter = 1000;
  } p;
  auto cb = [](unsigned long value, void* user) -> int {
    auto* pr = static_cast<Progress*>(user);
    pr->calls.push_back(value);
    return static_cast<int>(pr->calls.size()) > pr->answerAfter ? 0 : 1;
  };
  Loaded l = LoadFile(path, 1, cb, &p);
  ASSERT_EQ(l.ok, 1);
  ASSERT_GE(p.calls.size(), 2u);
  EXPECT_EQ(p.calls.front(), 0u);
  unsigned long total = 0;
  for (unsigned long c : p.calls) total += c;
  EXPECT_EQ(static_cast<int64_t>(total), l.dataBytes);

  Progress stop;
  stop.answerAfter = 2;
  EXPECT_EQ(LoadFile(path, 1, cb, &stop).ok, 0);
  EXPECT_EQ(stop.calls.size(), 3u);
}

TEST(InitialLoad, FreshPeakCacheSparesTheScan) {
  TempDir dir;
  std::string path = dir.File("cached.wav");
  ASSERT_TRUE(Sox("-n -r 22050 -c 1 -b 16 '" + path + "' synth 1 sine 500"));
  {
    CFileObj file;
    ASSERT_TRUE(file.Open(path, 0, 0));
    CInitialLoad loader;
    ASSERT_EQ(loader.DoInitialLoad(&file, 0, 0, 1, 0, 20, nullptr, nullptr), 1);
    ASSERT_NE(loader.GetPeaks(), nullptr);
    ASSERT_EQ(loader.GetPeaks()->SaveAs(CInitialLoad::CacheFilePath(path, ".ipk").c_str()), 1);
  }
  int calls = 0;
  auto count = [](unsigned long, void* user) -> int {
    ++*static_cast<int*>(user);
    return 1;
  };
  EXPECT_EQ(LoadFile(path, 1, count, &calls).ok, 1);
  EXPECT_EQ(calls, 1);  // only the question before the scan
  calls = 0;
  EXPECT_EQ(LoadFile(path, 0, count, &calls).ok, 1);
  // Another resolution is scanned again.
  {
    CFileObj file;
    ASSERT_TRUE(file.Open(path, 0, 0));
    CInitialLoad loader;
    calls = 0;
    ASSERT_EQ(loader.DoInitialLoad(&file, 0, 0, 1, 0, 10, count, &calls), 1);
    EXPECT_GT(calls, 1);
    EXPECT_EQ(loader.GetPeaks()->NumMilsPerPeak(), 10u);
  }
  // A source changed after its cache was written makes the cache stale.
  testsupport::WriteFile(path, testsupport::ReadFile(path));
  calls = 0;
  EXPECT_EQ(LoadFile(path, 1, count, &calls).ok, 1);
  EXPECT_GT(calls, 1);
}

TEST(FileFormatSupported, AnswersFromExtensionAndHeader) {
  TempDir dir;
  _formatSupportedInfo info{};
  EXPECT_EQ(FileFormatSupported(dir.File("missing.mp3").c_str(), &info), 1);
  EXPECT_EQ(FileFormatSupported(dir.File("missing.wav").c_str(), &info), 0);
  EXPECT_EQ(FileFormatSupported(dir.File("a.txt").c_str(), &info), 0);

  std::string good = dir.File("good.wav");
  testsupport::WriteFile(good, Riff(Fmt(1, 2, 44100, 16) + Data(400)));
  info = {};
  ASSERT_EQ(FileFormatSupported(good.c_str(), &info), 1);
  EXPECT_EQ(info.isRIFF, 1);
  EXPECT_EQ(info.compressed, 0);
  EXPECT_EQ(info.format.nSamplesPerSec, 44100u);
  EXPECT_EQ(info.chunkInfo[0], FourCC("fmt "));
  EXPECT_EQ(info.chunkInfo[1], 16u);

  std::string mp3InWav = dir.File("mp3.wav");
  testsupport::WriteFile(mp3InWav,
                         Riff(Chunk("fmt ", FmtData(0x55, 2, 44100, 0) + Le16(0)) + Data(400)));
  info = {};
  ASSERT_EQ(FileFormatSupported(mp3InWav.c_str(), &info), 1);
  EXPECT_EQ(info.compressed, 1);
  EXPECT_EQ(info.decodable, 1);

  std::string noFmt = dir.File("nofmt.wav");
  testsupport::WriteFile(noFmt, Riff(Data(400)));
  info = {};
  SetLastError(0);
  ASSERT_EQ(FileFormatSupported(noFmt.c_str(), &info), 1);
  EXPECT_EQ(info.isRIFF, 0);
  EXPECT_EQ(GetLastError(), kErrNoFmt);

  std::string junk = dir.File("junk.wav");
  testsupport::WriteFile(junk, std::string(100, 'j'));
  info = {};
  EXPECT_EQ(FileFormatSupported(junk.c_str(), &info), 1);
  EXPECT_EQ(info.isRIFF, 0);

  std::string group = dir.File("g.sgp");
  testsupport::WriteFile(group, Riff(Chunk("sgdt", Le32(0)), "SGRP"));
  info = {};
  ASSERT_EQ(FileFormatSupported(group.c_str(), &info), 1);
  EXPECT_EQ(info.isGroupFile, 1);

  // Only regular files are sources.
  std::string folder = dir.File("folder.wav");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  EXPECT_EQ(FileFormatSupported(folder.c_str(), &info), 0);
}

TEST(SoundRegistry, FindsSoundsOverTheSameFile) {
  TempDir dir;
  std::string path = dir.File("shared.wav");
  testsupport::WriteFile(path, Riff(Fmt(1, 1, 8000, 16) + Data(1600)));
  CFileObj* fa = new CFileObj;
  CFileObj* fb = new CFileObj;
  ASSERT_TRUE(fa->Open(path, 0, 0) && fb->Open(path, 0, 0));
  CPCMSound* a = new CPCMSound;
  ASSERT_EQ(a->InitialLoad(fa, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  EXPECT_EQ(SoundExists(path.c_str()), a);
  EXPECT_EQ(GetDuplicateList(a), nullptr);
  CPCMSound* b = new CPCMSound;
  ASSERT_EQ(b->InitialLoad(fb, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  CMyArrayList* dup = GetDuplicateList(a);
  ASSERT_NE(dup, nullptr);
  ASSERT_EQ(dup->Count(), 1);
  EXPECT_EQ(dup->Index(0), b);
  delete dup;
  EXPECT_EQ(SoundExists(dir.File("other.wav").c_str()), nullptr);
  CAudioAtom* atom = a;
  DeleteAtom(&atom);
  EXPECT_EQ(SoundExists(path.c_str()), b);
  atom = b;
  DeleteAtom(&atom);
  EXPECT_EQ(SoundExists(path.c_str()), nullptr);
  CRefObj* obj = fa;
  DeleteRefObject(&obj);
  obj = fb;
  DeleteRefObject(&obj);
}

TEST(InitialLoad, PeakCachesOfDifferentSourcesNeverShareAName) {
  TempDir dir;
  SetTempSndPath(dir.File("cache").c_str());
  std::string a = dir.File("one/song.wav"), b = dir.File("two/song.wav");
  ASSERT_EQ(mkdir(dir.File("one").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dir.File("two").c_str(), 0700), 0);
  ASSERT_TRUE(Sox("-n -r 8000 -c 1 -b 16 '" + a + "' synth 1 sine 500"));
  ASSERT_TRUE(Sox("-n -r 8000 -c 1 -b 16 '" + b + "' synth 1 sine 900"));
  const std::string cache = CInitialLoad::CacheFilePath(a, ".ipk", true);
  EXPECT_EQ(cache.rfind(dir.File("cache/"), 0), 0u);
  EXPECT_NE(cache, CInitialLoad::CacheFilePath(b, ".ipk"));
  {
    CFileObj file;
    ASSERT_TRUE(file.Open(a, 0, 0));
    CInitialLoad loader;
    ASSERT_EQ(loader.DoInitialLoad(&file, 0, 0, 1, 0, 20, nullptr, nullptr), 1);
    ASSERT_EQ(loader.GetPeaks()->SaveAs(cache.c_str()), 1);
  }
  int calls = 0;
  auto count = [](unsigned long, void* user) -> int {
    ++*static_cast<int*>(user);
    return 1;
  };
  EXPECT_EQ(LoadFile(a, 1, count, &calls).ok, 1);
  EXPECT_EQ(calls, 1);
  calls = 0;
  EXPECT_EQ(LoadFile(b, 1, count, &calls).ok, 1);
  EXPECT_GT(calls, 1);  // the other song's cache is not taken for this one
  SetTempSndPath(nullptr);
}
