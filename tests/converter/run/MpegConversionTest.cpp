// MPEG audio sources through the converter program end to end: MP1, MP2 and
// MP3 files made at test time with lame, twolame, sox and ffmpeg (and the
// shared conformance streams), converted by build/bin/sonoduct in a private
// home, and checked against Debian's mpg123, the tags read back from the
// WAV's INFO list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/converter/run/ConversionFixture.h"

namespace {

struct Pcm {
  int channels = 0;
  int rate = 0;
  std::vector<int16_t> samples;
};

using testsupport::Psnr;

uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The sub-chunks of a WAV file's LIST "INFO" chunk, texts without their NULs.
std::map<std::string, std::string> InfoList(const std::string& wav) {
  std::map<std::string, std::string> out;
  if (wav.size() < 12 || wav.compare(0, 4, "RIFF") != 0) return out;
  size_t at = 12;
  while (at + 8 <= wav.size()) {
    std::string id = wav.substr(at, 4);
    uint32_t size = Le32(wav, at + 4);
    if (id == "LIST" && wav.compare(at + 8, 4, "INFO") == 0) {
      size_t p = at + 12, end = std::min<size_t>(wav.size(), at + 8 + size);
      while (p + 8 <= end) {
        std::string sub = wav.substr(p, 4);
        uint32_t n = Le32(wav, p + 4);
        std::string text = wav.substr(p + 8, std::min<size_t>(n, end - p - 8));
        out[sub] = text.substr(0, text.find('\0'));
        p += 8 + n + (n & 1);
      }
    }
    at += 8 + size + (size & 1);
  }
  return out;
}

// An ID3v2 tag of the given version (2, 3 or 4) holding text frames, padded
// to `tagBytes` when that is larger. Frame ids are 3 characters for 2.2.
std::string Id3v2(int version, const std::vector<std::pair<std::string, std::string>>& frames,
                  size_t tagBytes = 0) {
  std::string body;
  for (const auto& [id, text] : frames) {
    std::string data = std::string(1, '\0') + text;  // ISO-8859-1 or ASCII
    uint32_t n = static_cast<uint32_t>(data.size());
    body += id;
    if (version == 2) {
      body += {static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
    } else if (version == 3) {
      body += {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
               static_cast<char>(n)};
      body += std::string(2, '\0');
    } else {
      body += {static_cast<char>((n >> 21) & 0x7f), static_cast<char>((n >> 14) & 0x7f),
               static_cast<char>((n >> 7) & 0x7f), static_cast<char>(n & 0x7f)};
      body += std::string(2, '\0');
    }
    body += data;
  }
  if (body.size() < tagBytes) body += std::string(tagBytes - body.size(), '\0');
  uint32_t s = static_cast<uint32_t>(body.size());
  std::string header = "ID3";
  header += {static_cast<char>(version),
             '\0',
             '\0',
             static_cast<char>((s >> 21) & 0x7f),
             static_cast<char>((s >> 14) & 0x7f),
             static_cast<char>((s >> 7) & 0x7f),
             static_cast<char>(s & 0x7f)};
  return header + body;
}

class MpegConversion : public ConversionFixture {
 protected:
  void SetUp() override {
    ConversionFixture::SetUp();
    ASSERT_EQ(testsupport::MissingPrograms({"lame", "mpg123"}), "");
  }
  // Decoded at the source's own rate and channels, neither normalised nor
  // trimmed: the samples then compare with mpg123's directly.
  void PlainCopies() {
    PlainDecode();
    Reg("set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct\\WaveEncoderOptions' ConvertToCDQuality dword 0");
  }
  // A few seconds of a tone sweep over a second tone, at a rate and channel
  // count of the caller's choice.
  std::string Tone(const std::string& name, int rate, int channels, double seconds = 3) {
    std::string wav = dir_.File(name + ".src.wav");
    Sh("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 '" + wav +
       "' synth " + std::to_string(seconds) + " sine 200-4000 sine 330 vol 0.6");
    return wav;
  }
  std::string Lame(const std::string& name, const std::string& args, int rate = 44100,
                   int channels = 2, double seconds = 3) {
    std::string mp3 = dir_.File(name + ".mp3");
    Sh("lame --quiet " + args + " '" + Tone(name, rate, channels, seconds) + "' '" + mp3 + "'");
    return mp3;
  }
  Pcm Read(const std::string& wav) {
    Pcm p;
    p.channels = std::atoi(Info(wav, "-c").c_str());
    p.rate = std::atoi(Info(wav, "-r").c_str());
    p.samples = Samples(wav);
    return p;
  }
  // mpg123's decoding of `mpeg`, or `mpeg` itself when it is already a WAV.
  // `gapless` drops the encoder delay and padding a LAME tag announces, as
  // the program does by default.
  Pcm Reference(const std::string& mpeg, bool gapless = true) {
    std::string wav = dir_.File("reference.wav");
    if (mpeg.ends_with(".wav"))
      Sh("cp '" + mpeg + "' '" + wav + "'");
    else
      Sh(std::string("mpg123 -q ") + (gapless ? "" : "--no-gapless ") + "-w '" + wav + "' '" +
         mpeg + "'");
    return Read(wav);
  }
  std::string Target(const std::string& source) {
    std::string name = source.substr(source.rfind('/') + 1);
    return out_ + "/" + name.substr(0, name.rfind('.')) + ".wav";
  }
  // The target of `source` holds mpg123's decoding of `reference`: same
  // shape, the same length within a frame, at least 96 dB. WAV targets take
  // the rates 11025, 22050 and 44100 only; a stream at another rate is
  // resampled to the next of them, so it is compared with mpg123's decoding
  // resampled by sox: the same sound, the same length within a frame.
  void ExpectMatches(const std::string& source, const std::string& reference, bool gapless = true) {
    SCOPED_TRACE(source);
    Pcm want = Reference(reference, gapless);
    Pcm got = Read(Target(source));
    ASSERT_FALSE(got.samples.empty());
    EXPECT_EQ(got.channels, want.channels);
    const int natural = want.rate >= 32000 ? 44100 : want.rate >= 16000 ? 22050 : 11025;
    double psnr = 96;
    if (natural != want.rate) {
      std::string wav = dir_.File("resampled.wav");
      Sh("sox '" + dir_.File("reference.wav") + "' -r " + std::to_string(natural) + " '" + wav +
         "'");
      want = Read(wav);
      psnr = 20;
    }
    EXPECT_EQ(got.rate, want.rate);
    EXPECT_LE(
        std::abs(static_cast<long>(got.samples.size()) - static_cast<long>(want.samples.size())),
        1152L * want.channels * natural / std::max(want.rate, 1) + 2 * want.channels);
    EXPECT_GE(Psnr(got.samples, want.samples), psnr);
  }
  std::string Copy(const std::string& from, const std::string& name) {
    std::string to = dir_.File(name);
    Sh("cp '" + from + "' '" + to + "'");
    return to;
  }
};

TEST_F(MpegConversion, LameFilesOfEveryVersionAndModeMatchMpg123) {
  PlainCopies();
  std::vector<std::string> files = {
      Lame("cbr-stereo", "-b 128 -m s"),
      Lame("cbr-joint-48k", "-b 192 -m j", 48000),
      Lame("cbr-32k", "-b 96 -m j", 32000),
      Lame("vbr-xing", "-V 2"),
      Lame("abr", "--abr 160"),
      Lame("mono", "-b 64 -m m", 44100, 1),
      Lame("mpeg2-22k-mono", "-b 48 -m m", 22050, 1),
      Lame("mpeg2-24k-vbr", "-V 4", 24000),
      Lame("mpeg2-16k", "-b 32 -m s", 16000),
      Lame("mpeg25-11k", "-b 32 -m j", 11025),
      Lame("mpeg25-8k-mono", "-b 16 -m m", 8000, 1),
  };
  auto r = Sonoduct(files);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const std::string& f : files) ExpectMatches(f, f);
}

TEST_F(MpegConversion, LayerOneAndTwoAndWaveWrappedStreamsMatchMpg123) {
  PlainCopies();
  std::vector<std::pair<std::string, std::string>> cases;  // source, reference
  const std::string mpeg = testsupport::VectorsDir() + "/mpeg/";
  for (int i = 1; i <= 8; ++i) {
    std::string bit = mpeg + "l1-fl" + std::to_string(i) + ".bit";
    cases.push_back({Copy(bit, "fl" + std::to_string(i) + ".mp1"), bit});
  }
  ASSERT_EQ(testsupport::MissingPrograms({"twolame", "ffmpeg"}), "");
  {
    for (auto [name, rate, channels, args] :
         {std::tuple<const char*, int, int, const char*>{"two-stereo", 48000, 2, "-b 256"},
          {"two-joint", 44100, 2, "-b 192 -m j"},
          {"two-mono", 32000, 1, "-b 96 -m m"},
          {"two-mpeg2", 22050, 2, "-b 96"}}) {
      std::string mp2 = dir_.File(std::string(name) + ".mp2");
      Sh("twolame --quiet " + std::string(args) + " '" + Tone(name, rate, channels) + "' '" + mp2 +
         "'");
      cases.push_back({mp2, mp2});
    }
  }
  {
    // MPEG audio inside a RIFF WAVE file (format tag 0x0055).
    std::string mp3 = Lame("inner", "-b 160");
    std::string wav = dir_.File("wrapped.wav");
    Sh("ffmpeg -v error -i '" + mp3 + "' -c:a copy -f wav '" + wav + "'");
    ASSERT_EQ(testsupport::ReadFile(wav).substr(20, 2), std::string("\x55\x00", 2));
    cases.push_back({wav, mp3});
  }
  std::vector<std::string> files;
  for (const auto& c : cases) files.push_back(c.first);
  auto r = Sonoduct(files);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // ffmpeg's copy into the WAV leaves the Info frame out, so that stream
  // decodes in full.
  for (const auto& [source, reference] : cases)
    ExpectMatches(source, reference, !source.ends_with("wrapped.wav"));
}

// Free-format streams load (their frame length measured between headers),
// but the decoding object's playback path does not yet decode them in step
// with the stream: enable once it does.
TEST_F(MpegConversion, FreeFormatStreamsMatchTheirReferences) {
  PlainCopies();
  const std::string mpeg = testsupport::VectorsDir() + "/mpeg/";
  // mpg123 misses bits in some frames of the layer II stream; its reference
  // decoding (32 kHz stereo) stands in for it.
  const std::string reference2 = dir_.File("free2-reference.wav");
  Sh("sox -t raw -r 32000 -e signed -b 16 -c 2 '" + mpeg + "l2-nonstandard-free_format.pcm' '" +
     reference2 + "'");
  std::vector<std::pair<std::string, std::string>> cases = {
      {Copy(mpeg + "l3-he_free.bit", "free3.mp3"), mpeg + "l3-he_free.bit"},
      {Copy(mpeg + "l2-nonstandard-free_format.bit", "free2.mp2"), reference2}};
  auto r = Sonoduct({cases[0].first, cases[1].first});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const auto& [source, reference] : cases) ExpectMatches(source, reference);
}

TEST_F(MpegConversion, JunkBeforeTheFirstFrameAndLargeTagsAreSkipped) {
  PlainCopies();
  std::string clean = Lame("clean", "-b 128");
  std::string audio = testsupport::ReadFile(clean);
  // Bytes that never form a frame header, then the stream.
  std::string junk(1500, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7 % 0xf0);
  std::string junky = dir_.File("junky.mp3"), big = dir_.File("big-tag.mp3");
  ASSERT_TRUE(testsupport::WriteFile(junky, junk + audio));
  ASSERT_TRUE(testsupport::WriteFile(big, Id3v2(3, {{"TIT2", "Big"}}, 3 << 20) + audio));
  auto r = Sonoduct({junky, big});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ExpectMatches(junky, clean);
  ExpectMatches(big, clean);
  EXPECT_EQ(InfoList(testsupport::ReadFile(Target(big)))["INAM"], "Big");
}

TEST_F(MpegConversion, TagsOfEveryKindReachTheInfoList) {
  PlainCopies();
  const std::string tags =
      " --tt 'Song Title' --ta 'The Artist' --tl 'An Album' --ty 1999 --tg Rock";
  std::string v11 = Lame("v11", "-b 96 --id3v1-only --tn 7 --tc 'Short comment'" + tags);
  std::string v10 = Lame("v10", "-b 96 --id3v1-only --tc '" + std::string(30, 'c') + "'" + tags);
  std::string v23 = Lame("v23", "-b 96 --id3v2-only --tn 3/12 --tc 'Second comment'" + tags);
  std::string plain = Lame("plain", "-b 96");
  std::string audio = testsupport::ReadFile(plain);
  // An ID3v1.0 tag whose genre number the table does not know.
  std::string odd = dir_.File("odd-genre.mp3");
  std::string v10bytes = testsupport::ReadFile(v10);
  v10bytes.back() = static_cast<char>(200);
  ASSERT_TRUE(testsupport::WriteFile(odd, v10bytes));
  // ID3v2.2 and 2.4 tags with ISO-8859-1 text beyond ASCII ("Café Déjà").
  std::string v22 = dir_.File("v22.mp3"), v24 = dir_.File("v24.mp3");
  ASSERT_TRUE(testsupport::WriteFile(v22, Id3v2(2, {{"TT2", "Caf\xe9 D\xe9j\xe0"},
                                                    {"TP1", "Two Two"},
                                                    {"TAL", "Old Album"},
                                                    {"TYE", "1987"},
                                                    {"TRK", "4/9"},
                                                    {"TCO", "(13)"}}) +
                                              audio));
  ASSERT_TRUE(testsupport::WriteFile(v24, Id3v2(4, {{"TIT2", "Caf\xe9 D\xe9j\xe0"},
                                                    {"TPE1", "Four"},
                                                    {"TALB", "New Album"},
                                                    {"TDRC", "2011"},
                                                    {"TRCK", "2"},
                                                    {"TCON", "Jazz"}}) +
                                              audio));
  std::vector<std::string> files = {v11, v10, v23, odd, v22, v24};
  std::string utf16;
  ASSERT_EQ(testsupport::MissingPrograms({"eyeD3"}), "");
  {
    // UTF-16 text outside ISO-8859-1 in an ID3v2.3 tag.
    utf16 = Copy(plain, "utf16.mp3");
    Sh("eyeD3 --quiet --to-v2.3 --encoding utf16 -t 'Ωmega ☃' -a 'Zoë' -A 'Ünïcode' '" + utf16 +
       "' >/dev/null");
    files.push_back(utf16);
  }
  auto r = Sonoduct(files);
  ASSERT_EQ(r.exitCode, 0) << r.err;

  auto info = [&](const std::string& f) { return InfoList(testsupport::ReadFile(Target(f))); };
  auto a = info(v11);
  EXPECT_EQ(a["INAM"], "Song Title");
  EXPECT_EQ(a["IART"], "The Artist");
  EXPECT_EQ(a["IALB"], "An Album");
  EXPECT_EQ(a["ICRD"], "1999");
  EXPECT_EQ(a["ITRK"], "7");
  EXPECT_EQ(a["ICMT"], "Short comment");
  EXPECT_EQ(a["IGNR"], "Rock");
  auto b = info(v10);
  EXPECT_EQ(b["ICMT"], std::string(30, 'c'));
  EXPECT_EQ(b.count("ITRK"), 0u);
  EXPECT_EQ(b["IGNR"], "Rock");
  auto c = info(v23);
  EXPECT_EQ(c["INAM"], "Song Title");
  EXPECT_EQ(c["IART"], "The Artist");
  EXPECT_EQ(c["ITRK"], "3/12");
  EXPECT_EQ(c["ICRD"], "1999");
  EXPECT_EQ(c["ICMT"], "Second comment");
  EXPECT_EQ(c["IGNR"], "Rock");
  auto d = info(odd);
  EXPECT_EQ(d["INAM"], "Song Title");
  EXPECT_EQ(d.count("IGNR"), 0u) << d["IGNR"];
  auto e = info(v22);
  EXPECT_EQ(e["INAM"], "Caf\u00e9 D\u00e9j\u00e0");
  EXPECT_EQ(e["IART"], "Two Two");
  EXPECT_EQ(e["IALB"], "Old Album");
  EXPECT_EQ(e["ICRD"], "1987");
  EXPECT_EQ(e["ITRK"], "4/9");
  EXPECT_EQ(e["IGNR"], "Pop");
  auto f = info(v24);
  EXPECT_EQ(f["INAM"], "Caf\u00e9 D\u00e9j\u00e0");
  EXPECT_EQ(f["IART"], "Four");
  EXPECT_EQ(f["ICRD"], "2011");
  EXPECT_EQ(f["ITRK"], "2");
  EXPECT_EQ(f["IGNR"], "Jazz");
  if (!utf16.empty()) {
    auto g = info(utf16);
    EXPECT_EQ(g["INAM"], "Ωmega ☃");
    EXPECT_EQ(g["IART"], "Zoë");
    EXPECT_EQ(g["IALB"], "Ünïcode");
  }
}

// The status line as a terminal shows it: the percentages of the source
// converted, in the order shown.
std::vector<int> Percentages(const std::string& transcript) {
  std::vector<int> out;
  std::regex shown("\r\x1b\\[K([0-9]+)% ");
  for (auto it = std::sregex_iterator(transcript.begin(), transcript.end(), shown);
       it != std::sregex_iterator(); ++it)
    out.push_back(std::stoi((*it)[1]));
  return out;
}

TEST_F(MpegConversion, ProgressFollowsTheSourceAndTheSecondRunUsesThePeakCache) {
  ASSERT_EQ(testsupport::MissingPrograms({"script"}), "");
  // A pause after each block stretches the conversion over several of the
  // status line's one-second ticks.
  Set("CPUSleepTime dword 150");
  Set("bWarnAboutIncompleteSongs dword 0");
  // A long MP3 behind a large ID3v2 tag (more bytes than its audio), then a
  // short one: the tag's bytes count once the first file is done.
  std::string mp3 = dir_.File("long.mp3");
  ASSERT_TRUE(testsupport::WriteFile(
      mp3, Id3v2(3, {{"TIT2", "Long"}}, 1 << 20) +
               testsupport::ReadFile(Lame("long-audio", "-b 128", 44100, 2, 40))));
  std::string shortMp3 = Lame("short", "-b 128", 44100, 2, 10);
  auto run = [&](const std::string& files) {
    // Through a terminal, so that the status line is drawn.
    return testsupport::Run("script -qec \"" + testsupport::BinPath("sonoduct") + " -C " + files +
                                " </dev/null\" /dev/null",
                            env_);
  };
  auto r = run("'" + mp3 + "' '" + shortMp3 + "'");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::vector<int> shown = Percentages(r.out);
  ASSERT_GE(shown.size(), 5u) << r.out;
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_GE(shown[i], shown[i - 1]) << r.out;
  int distinct = 1;
  for (size_t i = 1; i < shown.size(); ++i) distinct += shown[i] != shown[i - 1];
  EXPECT_GE(distinct, 4) << r.out;
  // While the short file converts, the long one counts whole.
  EXPECT_GE(shown.back(), 95) << r.out;
  Set("CPUSleepTime dword 0");

  // lame's file decodes gapless, so its cache has the name of that decode.
  auto cache =
      testsupport::Run("find '" + dir_.Path() + "/cache' -name 'long.mp3.gapless.ipk'", env_).out;
  ASSERT_FALSE(cache.empty()) << "no peak cache was written";
  cache.erase(cache.find('\n'));
  struct stat first {};
  ASSERT_EQ(stat(cache.c_str(), &first), 0);
  std::vector<int16_t> converted = Read(Target(mp3)).samples;

  // Again: the cache stands in for the scan and is left as it was.
  Sh("rm -f '" + Target(mp3) + "'");
  r = run("'" + mp3 + "'");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  struct stat second {};
  ASSERT_EQ(stat(cache.c_str(), &second), 0);
  EXPECT_EQ(second.st_mtim.tv_sec, first.st_mtim.tv_sec);
  EXPECT_EQ(second.st_mtim.tv_nsec, first.st_mtim.tv_nsec);
  EXPECT_EQ(Read(Target(mp3)).samples, converted);

  // A source changed after its cache was written is scanned again.
  Sh("touch '" + mp3 + "'");
  Sh("rm -f '" + Target(mp3) + "'");
  r = run("'" + mp3 + "'");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  struct stat third {
  }, source{};
  ASSERT_EQ(stat(cache.c_str(), &third), 0);
  ASSERT_EQ(stat(mp3.c_str(), &source), 0);
  auto later = [](const timespec& a, const timespec& b) {
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
  };
  EXPECT_TRUE(later(source.st_mtim, first.st_mtim));
  EXPECT_TRUE(later(third.st_mtim, source.st_mtim));
  EXPECT_EQ(Read(Target(mp3)).samples, converted);
}

TEST_F(MpegConversion, DamagedSourcesAreLoggedOrConvertedAsFarAsTheyDecode) {
  PlainCopies();
  std::string good = Lame("good", "-b 128", 44100, 2, 4);
  std::string audio = testsupport::ReadFile(good);
  std::string truncated = dir_.File("truncated.mp3"), garbled = dir_.File("garbled.mp3");
  std::string notMpeg = dir_.File("not-mpeg.mp3"), empty = dir_.File("empty.mp3");
  std::string claims = dir_.File("tag-claims-too-much.mp3");
  ASSERT_TRUE(testsupport::WriteFile(truncated, audio.substr(0, audio.size() / 2 + 77)));
  std::string middle = audio;
  for (size_t i = middle.size() / 3; i < middle.size() / 3 + 9000; ++i)
    middle[i] = static_cast<char>((i * 2654435761u) >> 13);
  ASSERT_TRUE(testsupport::WriteFile(garbled, middle));
  ASSERT_TRUE(testsupport::WriteFile(notMpeg, std::string(20000, 'x') + "no audio here\n"));
  ASSERT_TRUE(testsupport::WriteFile(empty, ""));
  // An ID3v2 header whose size runs far past the end of the file.
  ASSERT_TRUE(testsupport::WriteFile(
      claims, std::string("ID3\x03\0\0\x7f\x7f\x7f\x7f", 10) + audio.substr(0, audio.size() / 2)));
  auto r = Sonoduct({truncated, garbled, notMpeg, empty, claims, good});
  EXPECT_EQ(r.exitCode, 1) << r.err;  // some failed, none crashed
  EXPECT_NE(r.err.find("not-mpeg.mp3: the file is damaged or is not an audio file"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("empty.mp3: the file is empty"), std::string::npos) << r.err;
  EXPECT_TRUE(testsupport::ReadFile(Target(notMpeg)).empty());
  Pcm whole = Read(Target(good));
  Pcm half = Read(Target(truncated));
  Pcm mended = Read(Target(garbled));
  Pcm claimed = Read(Target(claims));
  double seconds = whole.samples.size() / 2 / 44100.0;
  EXPECT_NEAR(seconds, 4.0, 0.1);
  EXPECT_NEAR(half.samples.size() / 2 / 44100.0, seconds / 2, 0.1);
  EXPECT_NEAR(claimed.samples.size() / 2 / 44100.0, seconds / 2, 0.1);
  // The garbage replaced 9000 bytes of 128 kbit/s audio.
  EXPECT_NEAR(mended.samples.size() / 2 / 44100.0, seconds - 9000 / 16000.0, 0.1);
  // What decodes before the damage is the stream itself.
  std::vector<int16_t> start(whole.samples.begin(), whole.samples.begin() + 44100);
  EXPECT_GE(Psnr(half.samples, start), 96.0);
  EXPECT_GE(Psnr(mended.samples, start), 96.0);
}

// lame's files convert to exactly the samples lame was given, as ffmpeg
// decodes them from the same LAME tag; a stream without the tag, and every
// stream once GaplessMP3 is off, keeps all its frames as mpg123 decodes them.
TEST_F(MpegConversion, LameTaggedFilesConvertToTheEncodersInputLength) {
  ASSERT_EQ(testsupport::MissingPrograms({"ffmpeg", "soxi"}), "");
  PlainCopies();
  const double seconds = 2.37;
  const std::string cbr = Lame("gapless-cbr", "-b 128", 44100, 2, seconds);
  const std::string vbr = Lame("gapless-vbr", "-V 2", 44100, 2, seconds);
  const std::string untagged = Lame("untagged", "-b 128 -t", 44100, 2, seconds);
  const long input = std::stol(Info(dir_.File("gapless-cbr.src.wav"), "-s")) * 2;
  auto r = Sonoduct(std::vector<std::string>{cbr, vbr, untagged});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const std::string& f : {cbr, vbr}) {
    SCOPED_TRACE(f);
    Sh("ffmpeg -v error -y -i '" + f + "' '" + dir_.File("ffmpeg.wav") + "'");
    Pcm want = Read(dir_.File("ffmpeg.wav"));
    Pcm got = Read(Target(f));
    EXPECT_EQ(static_cast<long>(want.samples.size()), input);
    EXPECT_EQ(static_cast<long>(got.samples.size()), input);
    EXPECT_GE(Psnr(got.samples, want.samples), 96.0);
  }
  auto expectFull = [&](const std::string& f) {
    SCOPED_TRACE(f);
    Pcm want = Reference(f, false);
    Pcm got = Read(Target(f));
    EXPECT_EQ(got.samples.size(), want.samples.size());
    EXPECT_GT(static_cast<long>(got.samples.size()), input);
    EXPECT_GE(Psnr(got.samples, want.samples), 96.0);
  };
  expectFull(untagged);

  Set("GaplessMP3 dword 0");
  const std::string full = Copy(cbr, "full-cbr.mp3");
  r = Sonoduct(std::vector<std::string>{full});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  expectFull(full);
}

}  // namespace
