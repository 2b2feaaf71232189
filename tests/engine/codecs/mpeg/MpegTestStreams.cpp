#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/codecs/mpeg/FileInput.h"
#include "engine/codecs/mpeg/FrameDecoder.h"
#include "engine/codecs/mpeg/MemoryInput.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegDecoder.h"

using namespace mpegaudio;

namespace mpegtest {

std::string StreamDir() { return testsupport::VectorsDir() + "/mpeg"; }

std::string StreamPath(const std::string& file) { return StreamDir() + "/" + file; }

std::string ReadStreamFile(const std::string& file) {
  return testsupport::ReadInput(StreamPath(file));
}

std::vector<std::string> ListStreams(const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(StreamDir().c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.rfind(prefix, 0) == 0 && n.size() > 4 && n.compare(n.size() - 4, 4, ".bit") == 0)
        names.push_back(n.substr(0, n.size() - 4));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) ADD_FAILURE() << "no " << prefix << "*.bit streams in " << StreamDir();
  return names;
}

bool IsConformance(const std::string& n) {
  bool layered = n.rfind("l1-", 0) == 0 || n.rfind("l2-", 0) == 0 || n.rfind("l3-", 0) == 0;
  return (layered && n.find("nonstandard") == std::string::npos) || n.rfind("M2L3_", 0) == 0;
}

int ConformanceLayer(const std::string& name) { return name[0] == 'M' ? 3 : name[1] - '0'; }

void ExpectConformanceLength(const std::vector<int16_t>& got, const std::vector<int16_t>& ref,
                             int layer) {
  if (layer != 3) {
    EXPECT_LE(got.size(), ref.size());
    return;
  }
  EXPECT_GE(got.size(), ref.size());
  EXPECT_LE(got.size(), ref.size() + 2304);
}

std::vector<int16_t> Reference(const std::string& name) {
  return ToSamples(ReadStreamFile(name + ".pcm"));
}

namespace {

bool HeaderAt(const uint8_t* p, FrameHeader* h) {
  if (p[0] != 0xff) return false;
  uint32_t w = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
  return ParseFrameHeader(w & ~3u, h);
}

std::string Format(const MpegDecoder* d) {
  int64_t level = 0, layer = 0, mode = 0;
  MpegDecoderGetPropertyInteger(d, kPropertyMpegLevel, &level);
  MpegDecoderGetPropertyInteger(d, kPropertyMpegLayer, &layer);
  MpegDecoderGetPropertyInteger(d, kPropertyMpegMode, &mode);
  return std::to_string(level) + "/" + std::to_string(layer) + "/" + std::to_string(mode);
}

void Append(Decoded* out, const int16_t* samples, int count, int channels, int rate) {
  if (out->rateRuns.empty() || out->rateRuns.back().sampleRate != rate)
    out->rateRuns.push_back({rate, out->pcm.size()});
  out->channels = channels;
  out->sampleRate = rate;
  out->pcm.insert(out->pcm.end(), samples, samples + count * channels);
}

}  // namespace

std::vector<FrameSpan> FindFrames(const std::string& bytes) {
  std::vector<FrameSpan> frames;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t size = bytes.size();
  size_t pos = 0;
  if (size >= 10 && std::memcmp(p, "ID3", 3) == 0)
    pos = 10 + ((size_t(p[6] & 0x7F) << 21) | (size_t(p[7] & 0x7F) << 14) |
                (size_t(p[8] & 0x7F) << 7) | (p[9] & 0x7F));
  int freeBytes = 0;
  bool inSync = false;
  while (pos + 4 <= size) {
    FrameHeader h;
    if (!HeaderAt(p + pos, &h) || (inSync && !HeadersCompatible(frames.back().h, h))) {
      inSync = false;
      ++pos;
      continue;
    }
    if (h.frameBytes == 0) {
      if (!freeBytes) freeBytes = MeasureFreeFormat(p + pos, size - pos, h);
      if (freeBytes <= 0) {
        freeBytes = 0;
        ++pos;
        continue;
      }
      ApplyFreeFormatSize(&h, freeBytes);
    }
    if (h.frameBytes <= 0 || pos + size_t(h.frameBytes) > size) break;
    const size_t next = pos + size_t(h.frameBytes);
    FrameHeader n;
    if (!inSync && next + 4 <= size && !(HeaderAt(p + next, &n) && HeadersCompatible(h, n))) {
      ++pos;
      continue;
    }
    frames.push_back({h, pos});
    inSync = true;
    pos = next;
  }
  return frames;
}

Decoded DecodeFrames(const std::string& bytes, const std::vector<FrameSpan>& frames, bool dropBad) {
  Decoded out;
  CFrameDecoder decoder;
  std::vector<int16_t> pcm(kMaxFrameSamples);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  for (const FrameSpan& f : frames) {
    int r = decoder.DecodeFrame(f.h, p + f.offset, bytes.size() - f.offset, pcm.data());
    ++out.frames;
    if (r == kFrameNeedReservoir && out.frames == out.skippedFrames + 1) {
      ++out.skippedFrames;
      continue;
    }
    if (!out.layer) out.layer = f.h.layer;
    if (r != kFrameOk) ++out.badFrames;
    if (dropBad && r != kFrameOk) continue;
    Append(&out, pcm.data(), f.h.samplesPerFrame, f.h.channels, f.h.sampleRate);
  }
  out.crcErrors = decoder.CrcErrors();
  return out;
}

Decoded Decode(const std::string& path, Feed feed, bool gapless, size_t chunk) {
  if (feed == Feed::kFrames) return DecodeFrames(testsupport::ReadInput(path));
  Decoded out;
  std::string bytes = feed == Feed::kFile ? std::string() : testsupport::ReadInput(path);
  MpegDecoder* d = nullptr;
  MpegDecoderCreate(&d);
  MpegDecoderSetErrorCallback(
      d,
      [](void* user, int, const char* message, const char* detail) {
        static_cast<Decoded*>(user)->errors.push_back(std::string(message) + "|" + detail);
      },
      &out);
  MpegDecoderRegisterCodec(d, MpegCodecModuleDescriptor());
  MpegDecoderRegisterInput(d,
                           feed == Feed::kFile ? MpegFileInputModule() : MpegMemoryInputModule());
  if (gapless) MpegDecoderSetPropertyInteger(d, kPropertyMpegGapless, 1);
  std::string name = feed == Feed::kFile ? path
                     : feed == Feed::kStaticBuffer
                         ? MemoryInputBufferName(bytes.data(), int64_t(bytes.size()))
                         : std::string();
  out.openResult = MpegDecoderSelectInput(d, name.c_str(), -1);
  if (out.openResult == kMpegOk) out.openResult = MpegDecoderOpenInput(d);
  size_t fed = 0;
  if (out.openResult == kMpegOk) {
    int stalls = 0;
    for (;;) {
      int r = MpegDecoderDecodeFrame(d);
      if (r == kMpegErrorFrameAbandoned && feed == Feed::kRing) {
        // Feed more; once everything is in and nothing moves any more, stop.
        if (fed >= bytes.size()) {
          if (++stalls > 2) {
            out.endResult = kMpegErrorEndOfInput;
            break;
          }
          continue;
        }
        size_t n = std::min(chunk, bytes.size() - fed);
        int64_t taken =
            MpegDecoderSendInputMessage(d, kMemoryInputFeed, bytes.data() + fed, int64_t(n));
        if (taken > 0) fed += size_t(taken);
        continue;
      }
      if (r == kMpegErrorFrameAbandoned) {
        ++out.abandoned;
        continue;
      }
      if (r != kMpegOk) {
        out.endResult = r;
        break;
      }
      stalls = 0;
      const MpegOutputBlock* o = MpegDecoderOutput(d);
      const MpegStatusBlock* s = MpegDecoderStatus(d);
      if (s->changes & kMpegChangedFormat) out.formats.push_back(Format(d));
      if (!out.layer) {
        int64_t layer = 0;
        MpegDecoderGetPropertyInteger(d, kPropertyMpegLayer, &layer);
        out.layer = int(layer);
      }
      Append(&out, o->samples, o->sampleCount, o->channels, o->sampleRate);
      out.bitrates.push_back(s->bitrate);
      out.elapsedMs.push_back(s->elapsedMs);
      out.remainingMs.push_back(s->remainingMs);
    }
    out.frames = MpegDecoderStatus(d)->frame;
    out.badFrames = MpegDecoderStatus(d)->badFrames;
  }
  MpegDecoderDestroy(&d);
  return out;
}

}  // namespace mpegtest
