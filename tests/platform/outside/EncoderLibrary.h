// Shared by the tests of the MP3 encoder libraries: loading a built library,
// encoding PCM through it into a file, and reading the file back with our
// own frame walk and the outside programs.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/outside/BladeEnc.h"
#include "tests/TestSupport.h"

namespace mp3test {

// A library from the program folder, loaded by full path.
class EncoderLibrary {
 public:
  explicit EncoderLibrary(const std::string& file)
      : handle_(dlopen(testsupport::BinPath(file).c_str(), RTLD_NOW | RTLD_LOCAL)) {
    init = reinterpret_cast<BEINITSTREAM>(Symbol("beInitStream"));
    encode = reinterpret_cast<BEENCODECHUNK>(Symbol("beEncodeChunk"));
    deinit = reinterpret_cast<BEDEINITSTREAM>(Symbol("beDeinitStream"));
    close = reinterpret_cast<BECLOSESTREAM>(Symbol("beCloseStream"));
    version = reinterpret_cast<BEVERSION>(Symbol("beVersion"));
    writeVbrHeader = reinterpret_cast<BEWRITEVBRHEADER>(Symbol("beWriteVBRHeader"));
  }
  ~EncoderLibrary() {
    if (handle_) dlclose(handle_);
  }
  EncoderLibrary(const EncoderLibrary&) = delete;
  EncoderLibrary& operator=(const EncoderLibrary&) = delete;

  bool Complete() const { return init && encode && deinit && close && version; }
  void* Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

  struct Encoded {
    BE_ERR result = BE_ERR_SUCCESSFUL;  // of the first call that failed
    uint32_t samplesPerCall = 0;
    uint32_t outputBytes = 0;
  };

  // Encodes interleaved PCM in calls of the reported size (the last one
  // shorter) into path, behind prefix.
  Encoded EncodeToFile(void* config, const std::vector<int16_t>& pcm, const std::string& path,
                       const std::string& prefix = "") const {
    Encoded e;
    HBE_STREAM stream = 0;
    e.result = init(config, &e.samplesPerCall, &e.outputBytes, &stream);
    if (e.result != BE_ERR_SUCCESSFUL) return e;
    std::vector<uint8_t> out(e.outputBytes);
    std::string file = prefix;
    uint32_t got = 0;
    for (size_t at = 0; at < pcm.size() && e.result == BE_ERR_SUCCESSFUL; at += e.samplesPerCall) {
      const auto n = static_cast<uint32_t>(std::min<size_t>(e.samplesPerCall, pcm.size() - at));
      e.result = encode(stream, n, pcm.data() + at, out.data(), &got);
      file.append(reinterpret_cast<const char*>(out.data()), got);
    }
    if (e.result == BE_ERR_SUCCESSFUL) {
      e.result = deinit(stream, out.data(), &got);
      file.append(reinterpret_cast<const char*>(out.data()), got);
    }
    close(stream);
    EXPECT_TRUE(testsupport::WriteFile(path, file));
    return e;
  }

  BEINITSTREAM init = nullptr;
  BEENCODECHUNK encode = nullptr;
  BEDEINITSTREAM deinit = nullptr;
  BECLOSESTREAM close = nullptr;
  BEVERSION version = nullptr;
  BEWRITEVBRHEADER writeVbrHeader = nullptr;

 private:
  void* handle_;
};

inline BE_CONFIG_BASIC BasicRecord(uint32_t rate, uint8_t mode, uint16_t kbps) {
  BE_CONFIG_BASIC r{};
  r.dwConfig = BE_CONFIG_MP3;
  r.dwSampleRate = rate;
  r.byMode = mode;
  r.wBitrate = kbps;
  return r;
}

// A CBR record as the LAME writer fills it.
inline BE_CONFIG_LAME_RECORD LameRecord(uint32_t rate, int32_t mode, uint32_t kbps) {
  BE_CONFIG_LAME_RECORD r{};
  r.dwConfig = BE_CONFIG_LAME;
  r.dwStructVersion = 1;
  r.dwStructSize = sizeof r;
  r.dwSampleRate = r.dwReSampleRate = rate;
  r.nMode = mode;
  r.dwBitrate = kbps;
  r.nPreset = -1;
  r.dwMpegVersion = rate >= 32000 ? MPEG1 : rate >= 16000 ? MPEG2 : MPEG2_5;
  r.nVbrMethod = VBR_METHOD_NONE;
  return r;
}

// Repeatable 16-bit PCM from sox: pink noise, on which LAME's average bit
// rate lands near its target.
inline std::vector<int16_t> MakePcm(const testsupport::TempDir& dir, int rate, int channels,
                                    const std::string& seconds) {
  const std::string raw = dir.File("in.raw");
  const auto r = testsupport::Run("sox -R -n -r " + std::to_string(rate) + " -c " +
                                  std::to_string(channels) + " -b 16 -e signed -t raw " + raw +
                                  " synth " + seconds + " pinknoise vol 0.5");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return testsupport::ToSamples(testsupport::ReadFile(raw));
}

// A layer III frame header, read by the rules of the standard.
struct Frame {
  size_t offset = 0;
  size_t length = 0;
  int version = 0;  // MPEG1, MPEG2 or MPEG2_5
  int kbps = 0;
  int rate = 0;
  int mode = 0;
  bool crc = false;
};

inline bool ReadFrame(const std::string& data, size_t at, Frame* f) {
  if (at + 4 > data.size()) return false;
  const auto* h = reinterpret_cast<const uint8_t*>(data.data() + at);
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1) return false;
  static const int kMpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kMpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int kRates[] = {44100, 48000, 32000};
  const int versionBits = (h[1] >> 3) & 3, rateIndex = (h[2] >> 2) & 3, rateBits = h[2] >> 4;
  if (versionBits == 1 || rateIndex == 3 || rateBits == 0 || rateBits == 15) return false;
  f->offset = at;
  f->version = versionBits == 3 ? MPEG1 : versionBits == 2 ? MPEG2 : MPEG2_5;
  f->kbps = f->version == MPEG1 ? kMpeg1[rateBits] : kMpeg2[rateBits];
  f->rate = kRates[rateIndex] / (f->version == MPEG1 ? 1 : f->version == MPEG2 ? 2 : 4);
  f->mode = h[3] >> 6;
  f->crc = (h[1] & 1) == 0;
  f->length = static_cast<size_t>((f->version == MPEG1 ? 144000 : 72000) * f->kbps / f->rate +
                                  ((h[2] >> 1) & 1));
  return true;
}

// Every frame from start to the end; a gap or a cut frame fails the test.
inline std::vector<Frame> Frames(const std::string& data, size_t start = 0) {
  std::vector<Frame> frames;
  Frame f;
  size_t at = start;
  while (at < data.size() && ReadFrame(data, at, &f)) {
    frames.push_back(f);
    at += f.length;
  }
  EXPECT_EQ(at, data.size()) << "no frame at " << at;
  return frames;
}

// "Xing" or "Info" where a tag frame carries it.
inline bool IsTagFrame(const std::string& data, const Frame& f) {
  const std::string head = data.substr(f.offset, std::min<size_t>(f.length, 4 + 2 + 32 + 4));
  return head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos;
}

// mpg123's report of the stream, as "MPEG 1.0 L III cbr128 44100 stereo";
// any warning or error fails the test.
inline std::string Mpg123Report(const std::string& path) {
  const auto r = testsupport::Run("mpg123 -t " + path);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::string lower = r.err;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  for (const char* bad : {"warn", "error", "illegal"})
    EXPECT_EQ(lower.find(bad), std::string::npos) << r.err;
  const size_t line = r.err.find("\nMPEG ");
  return line == std::string::npos ? ""
                                   : r.err.substr(line + 1, r.err.find('\n', line + 1) - line - 1);
}

// Sample frames that ffmpeg decodes, which honours the encoder delay and
// padding of a LAME tag.
inline size_t DecodedFrames(const std::string& path, int channels) {
  const auto r = testsupport::Run("ffmpeg -v error -i " + path + " -f s16le -acodec pcm_s16le -");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out.size() / 2 / static_cast<size_t>(channels);
}

inline std::string Probe(const std::string& path, const std::string& entry) {
  const auto r =
      testsupport::Run("ffprobe -v error -select_streams a:0 -show_entries stream=" + entry +
                       " -of default=nw=1:nk=1 " + path);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out.substr(0, r.out.find('\n'));
}

}  // namespace mp3test
