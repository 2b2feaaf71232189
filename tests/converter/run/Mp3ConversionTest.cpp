// WAV and MP3 sources converted to MP3 by the real program with the real
// encoder libraries, checked with mpg123, ffprobe, ffmpeg and eyeD3.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegHeader.h"
#include "tests/TestSupport.h"
#include "tests/converter/run/ConversionFixture.h"

namespace {

uint32_t SyncSafe(const std::string& b, size_t at) {
  return uint32_t(b[at] & 0x7f) << 21 | uint32_t(b[at + 1] & 0x7f) << 14 |
         uint32_t(b[at + 2] & 0x7f) << 7 | uint32_t(b[at + 3] & 0x7f);
}

// Where the audio starts: after an ID3v2 tag at the start, if any.
size_t AudioStart(const std::string& mp3) {
  return mp3.compare(0, 3, "ID3") == 0 && mp3.size() >= 10 ? 10 + SyncSafe(mp3, 6) : 0;
}

// The frame headers of the audio between the ID3v2 and the ID3v1 tag.
std::vector<mpegaudio::FrameHeader> Frames(const std::string& mp3) {
  std::vector<mpegaudio::FrameHeader> frames;
  size_t end = mp3.size() >= 128 && mp3.compare(mp3.size() - 128, 3, "TAG") == 0 ? mp3.size() - 128
                                                                                 : mp3.size();
  for (size_t at = AudioStart(mp3); at + 4 <= end;) {
    mpegaudio::FrameHeader h;
    if (!mpegaudio::ParseFrameHeader(reinterpret_cast<const uint8_t*>(mp3.data() + at), &h) ||
        h.frameBytes <= 0)
      break;
    frames.push_back(h);
    at += static_cast<size_t>(h.frameBytes);
  }
  return frames;
}

class Mp3Conversion : public ConversionFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"mpg123", "ffprobe", "ffmpeg", "eyeD3", "lame"}), "");
    ConversionFixture::SetUp();
    Settings();
  }
  void Settings() {
    Set("PromptForOverWrites dword 0");
    Set("bWarnAboutIncompleteSongs dword 0");  // the sweeps end loud
  }
  // The settings every test starts with, again.
  void Reset() {
    Sh("rm -rf '" + dir_.Path() + "/config' '" + dir_.Path() + "/run'");
    ConversionFixture::SetUp();
    Settings();
  }
  // A setting of the MP3 target: "Name type value".
  void SetMp3(const std::string& value) {
    Reg("set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct\\MP3EncoderOptions' " + value);
  }
  // A sweep of `seconds` made with sox.
  std::string Tone(const std::string& name, int rate, int channels, const std::string& seconds) {
    std::string path = dir_.File(name);
    auto r = testsupport::Run("sox -R -n -r " + std::to_string(rate) + " -c " +
                              std::to_string(channels) + " -b 16 '" + path + "' synth " + seconds +
                              " sine 300-3000 vol 0.5 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    return path;
  }
  // A copy of the program folder without the encoder libraries but `keep`.
  std::string ProgramWith(const std::string& keep) {
    const std::string program = testsupport::ProgramWithoutEncoders(dir_.File("program"), keep);
    EXPECT_NE(program, "");
    return program;
  }
  using ConversionFixture::Sonoduct;
  // A run of the program at `program`.
  testsupport::ProcessResult SonoductAt(const std::string& program, const std::string& args) {
    return testsupport::Run(program + " " + args + " </dev/null", env_);
  }
  // The converted file of a source name.
  std::string Converted(const std::string& source) {
    std::string base = source.substr(source.rfind('/') + 1);
    return out_ + "/" + base.substr(0, base.rfind('.')) + ".mp3";
  }
  // ffmpeg's count of decoded samples per channel (it drops the encoder
  // delay and padding that a LAME tag announces).
  int64_t DecodedSamples(const std::string& mp3, int channels) {
    auto r = testsupport::Run("ffmpeg -v error -i '" + mp3 + "' -f s16le -");
    return r.exitCode == 0 ? static_cast<int64_t>(r.out.size()) / 2 / channels : -1;
  }
  std::string MpgWarnings(const std::string& mp3) {
    auto r = testsupport::Run("mpg123 -q -t '" + mp3 + "' 2>&1");
    return r.exitCode == 0 ? r.out : "exit " + std::to_string(r.exitCode) + ": " + r.out;
  }
};

TEST_F(Mp3Conversion, DefaultTargetIsTheCdPresetWithBothTags) {
  const std::string wav = Tone("tone.wav", 44100, 2, "10");
  auto r = Sonoduct("-3 '" + wav + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string mp3 = testsupport::ReadFile(Converted(wav));
  ASSERT_GT(mp3.size(), 10000u);
  EXPECT_EQ(mp3.substr(0, 3), "ID3");
  EXPECT_EQ(AudioStart(mp3), 2048u + 10);
  EXPECT_EQ(mp3.substr(mp3.size() - 128, 3), "TAG");
  const auto frames = Frames(mp3);
  ASSERT_GT(frames.size(), 300u);
  int off = 0;
  for (const auto& h : frames)
    off += h.version != 3 || h.layer != 3 || h.sampleRate != 44100 || h.channels != 2 ||
           h.bitrateKbps != 192 || h.mode != 0;
  EXPECT_EQ(off, 0);
  EXPECT_EQ(MpgWarnings(Converted(wav)), "");
  auto tags = testsupport::Run("eyeD3 --no-color '" + Converted(wav) + "' 2>&1");
  EXPECT_NE(tags.out.find("title: tone"), std::string::npos) << tags.out;
}

// With VBR on, the LAME tag right after the ID3v2 tag tells the decoder the
// encoder's delay and padding: the decoded length is the source's exactly.
TEST_F(Mp3Conversion, VbrFilesDecodeToTheSourcesLength) {
  SetMp3("ConvertToUsePreset dword 0");
  SetMp3("ConvertToEnableVBR dword 1");
  Set("NormalizeVolume dword 0");
  Set("bTrimSoundsAutomatically dword 0");
  for (const char* seconds : {"1", "1.013", "0.02"}) {
    SCOPED_TRACE(seconds);
    const std::string wav = Tone(std::string("v") + seconds + ".wav", 44100, 2, seconds);
    auto r = Sonoduct("-3 '" + wav + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string mp3 = testsupport::ReadFile(Converted(wav));
    const size_t start = AudioStart(mp3);
    ASSERT_GT(mp3.size(), start + 40);
    const std::string first = mp3.substr(start, 600);
    EXPECT_TRUE(first.find("Xing") != std::string::npos || first.find("Info") != std::string::npos);
    const int64_t samples = static_cast<int64_t>(testsupport::ReadFile(wav).size() - 44) / 4;
    EXPECT_EQ(DecodedSamples(Converted(wav), 2), samples);
    EXPECT_EQ(MpgWarnings(Converted(wav)), "");
  }
}

TEST_F(Mp3Conversion, PresetsAndSwitchesReachTheFrames) {
  const std::string wav = Tone("p.wav", 44100, 2, "2");
  struct Case {
    const char* what;
    std::vector<std::string> values;
    int version, rate, channels, mode, protection;
    bool id3v2;
  } cases[] = {
      {"phone", {"ConvertToTonalisPreset dword 1"}, 0, 8000, 1, 3, 0, true},
      {"FM", {"ConvertToTonalisPreset dword 4"}, 2, 22050, 2, 1, 0, true},
      {"dual channel",
       {"ConvertToUsePreset dword 0", "ConvertToMode dword 2"},
       3,
       44100,
       2,
       2,
       0,
       true},
      {"CRC", {"ConvertToUsePreset dword 0", "ConvertToCRC dword 1"}, 3, 44100, 2, 0, 1, true},
      {"ID3v1 only", {"ConvertToId3TagType dword 1"}, 3, 44100, 2, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    for (const std::string& v : c.values) SetMp3(v);
    auto r = Sonoduct("-3 '" + wav + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string mp3 = testsupport::ReadFile(Converted(wav));
    EXPECT_EQ(mp3.compare(0, 3, "ID3") == 0, c.id3v2);
    const auto frames = Frames(mp3);
    ASSERT_GT(frames.size(), 10u);
    int off = 0;
    for (const auto& h : frames)
      off += h.version != c.version || h.sampleRate != c.rate || h.channels != c.channels ||
             h.mode != c.mode || h.protection != c.protection;
    EXPECT_EQ(off, 0) << frames[1].version << " " << frames[1].sampleRate << " " << frames[1].mode;
    EXPECT_EQ(MpgWarnings(Converted(wav)), "");
  }
}

// Tags of an MP3 source (written by eyeD3 in UTF-16 where needed) reach the
// MP3 target; the source's 40 kB tag gives the target's tag its size, and
// the target still decodes to the source's length.
TEST_F(Mp3Conversion, TagsCarryThroughMp3AndWavTargets) {
  const std::string wav = Tone("src.wav", 44100, 2, "3");
  const std::string src = dir_.File("song.mp3");
  ASSERT_EQ(
      testsupport::Run("lame --quiet --noreplaygain -b 160 '" + wav + "' '" + src + "'").exitCode,
      0);
  // A 40 kB picture (JPEG by its first bytes) makes the source's tag large.
  const std::string cover = dir_.File("cover.jpg");
  ASSERT_TRUE(testsupport::WriteFile(cover, "\xff\xd8\xff\xe0" + std::string(40000, 'x')));
  auto tagged = testsupport::Run(
      "eyeD3 --no-color --to-v2.3 -t 'Größe' -a 'Ärzte' -A 'Album' --recording-date 1999 -n 3 -N "
      "12 -G 17 "
      "-c 'Kommentar' --add-image '" +
      cover + ":FRONT_COVER' '" + src + "' 2>&1");
  ASSERT_EQ(tagged.exitCode, 0) << tagged.out;
  SetMp3("ConvertToUsePreset dword 0");
  SetMp3("ConvertToEnableVBR dword 1");
  Set("NormalizeVolume dword 0");
  Set("bTrimSoundsAutomatically dword 0");
  // What the source decodes to, as a WAV of its own shape.
  auto r = Sonoduct("-C '" + src + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const int64_t sourceSamples =
      std::atoll(testsupport::Run("soxi -s '" + out_ + "/song.wav'").out.c_str());
  testsupport::Run("rm -f '" + out_ + "/song.wav'");
  r = Sonoduct("-3 '" + src + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string out = out_ + "/song.mp3";
  EXPECT_EQ(DecodedSamples(out, 2), sourceSamples);
  auto tags = testsupport::Run("eyeD3 --no-color '" + out + "' 2>&1");
  for (const char* want : {"title: Größe", "artist: Ärzte", "album: Album", "track: 3/12",
                           "Kommentar", "recording date: 1999"})
    EXPECT_NE(tags.out.find(want), std::string::npos) << want << "\n" << tags.out;
  EXPECT_EQ(MpgWarnings(out), "");
  const std::string mp3 = testsupport::ReadFile(out);
  EXPECT_GE(AudioStart(mp3), 40000u);

  // Through a WAV (the tags in its INFO list) and back to MP3: the same tags.
  r = Sonoduct("-C '" + out + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string wav2 = dir_.File("again.wav");
  ASSERT_EQ(testsupport::Run("mv '" + out_ + "/song.wav' '" + wav2 + "'").exitCode, 0);
  r = Sonoduct("-3 '" + wav2 + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  tags = testsupport::Run("eyeD3 --no-color '" + Converted(wav2) + "' 2>&1");
  for (const char* want : {"title: Größe", "artist: Ärzte", "album: Album", "track: 3/12",
                           "Rock (id 17)", "Kommentar", "recording date: 1999"})
    EXPECT_NE(tags.out.find(want), std::string::npos) << want << "\n" << tags.out;
}

TEST_F(Mp3Conversion, OnlyBladeEncMakesMpeg1Cbr) {
  const std::string program = ProgramWith(testsupport::BinPath("BladeEnc.so"));
  const std::string wav = Tone("m.wav", 22050, 1, "2");
  auto r = SonoductAt(program, "-3 '" + wav + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string mp3 = testsupport::ReadFile(Converted(wav));
  const auto frames = Frames(mp3);
  ASSERT_GT(frames.size(), 10u);
  const std::string first = mp3.substr(AudioStart(mp3), 400);
  EXPECT_EQ(first.find("Xing"), std::string::npos);
  EXPECT_EQ(first.find("Info"), std::string::npos);
  int off = 0;
  for (const auto& h : frames)
    off += h.version != 3 || h.sampleRate != 44100 || h.bitrateKbps != frames[0].bitrateKbps;
  EXPECT_EQ(off, 0);
  EXPECT_EQ(MpgWarnings(Converted(wav)), "");
}

// A source damaged in the middle converts as far as it decodes, into a file
// that plays cleanly, and the next source still converts.
TEST_F(Mp3Conversion, ADamagedSourceStillGivesACleanFile) {
  const std::string wav = Tone("whole.wav", 44100, 2, "3");
  const std::string src = dir_.File("damaged.mp3");
  ASSERT_EQ(testsupport::Run("lame --quiet -b 128 '" + wav + "' '" + src + "'").exitCode, 0);
  std::string bytes = testsupport::ReadFile(src);
  for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 3000; ++i)
    bytes[i] = static_cast<char>(i * 7919);
  ASSERT_TRUE(testsupport::WriteFile(src, bytes));
  auto r = Sonoduct("-3 '" + src + "' '" + wav + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(MpgWarnings(Converted(src)), "");
  EXPECT_GT(DecodedSamples(Converted(src), 2), 44100 * 2);
  EXPECT_EQ(MpgWarnings(Converted(wav)), "");
}

// The user goes on although the disk is nearly full (an answer only a
// terminal can give): the MP3 that doesn't fit fails and is removed, and the
// next one still converts.
TEST_F(Mp3Conversion, AFileThatFillsTheDiskIsRemovedAndReported) {
  if (!testsupport::CanMountSmallFolders())
    GTEST_SKIP() << "needs user namespaces, which this machine does not grant, to mount a small "
                    "folder without privileges";
  ASSERT_EQ(testsupport::MissingPrograms({"script"}), "");
  const std::string big = Tone("big.wav", 44100, 2, "30");  // about 720 kB of MP3
  const std::string small = Tone("small.wav", 44100, 2, "0.3");
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("answers"), "1\n"));  // 1) Continue
  const std::string convert = "script -qec \\\"" + testsupport::BinPath("sonoduct") + " -3 '" +
                              big + "' '" + small + "'\\\" /dev/null <'" + dir_.File("answers") +
                              "'; echo status=\\$?; echo listing:; ls -A '" + out_ + "'";
  auto r = testsupport::Run(testsupport::InSmallFolder(out_, 256, convert), env_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const size_t listing = r.out.find("listing:");
  ASSERT_NE(listing, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("status=1"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("big.mp3", listing), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("small.mp3", listing), std::string::npos) << r.out;
}

// An encoder that fails mid-way: the file is logged and its partial target
// removed, the stream closed once, and the next file converts.
TEST_F(Mp3Conversion, AnEncoderErrorFailsOnlyThatFile) {
  const std::string program = ProgramWith(SONODUCT_TEST_FAULTY_ENCODER);
  const std::string longer = Tone("long.wav", 44100, 2, "3");
  const std::string shorter = Tone("short.wav", 44100, 2, "0.2");
  auto r = SonoductAt(program, "-3 '" + longer + "' '" + shorter + "'");
  EXPECT_NE(r.exitCode, 134) << "a stream closed twice";
  EXPECT_NE(r.err.find(Converted(longer) + ": the encoder failed"), std::string::npos) << r.err;
  EXPECT_NE(access(Converted(longer).c_str(), F_OK), 0) << "the partial target stays";
  EXPECT_EQ(access(Converted(shorter).c_str(), F_OK), 0) << r.err;
}

TEST_F(Mp3Conversion, WithoutEncoderLibrariesMp3IsRefused) {
  const std::string program = ProgramWith("");
  const std::string a = Tone("a.wav", 44100, 2, "0.2");
  auto r = SonoductAt(program, "-3 '" + a + "'");
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("converted to MP3"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(a + ": not converted"), std::string::npos) << r.err;
  r = SonoductAt(program, "-C '" + a + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // A WAV source without a switch would be a WAV again: the question gets
  // its safe answer without a terminal, yes.
  testsupport::Run("rm -f '" + out_ + "/a.wav'");
  r = SonoductAt(program, "'" + a + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Convert WAV to WAV?"), std::string::npos) << r.err;
  EXPECT_EQ(access((out_ + "/a.wav").c_str(), F_OK), 0) << r.err;
}

// With an encoder beside the program a WAV source goes to MP3 by default.
TEST_F(Mp3Conversion, WavSourcesBecomeMp3ByDefault) {
  const std::string a = Tone("d.wav", 44100, 2, "0.5");
  auto r = Sonoduct("'" + a + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(access(Converted(a).c_str(), F_OK), 0) << r.err;
}

}  // namespace
