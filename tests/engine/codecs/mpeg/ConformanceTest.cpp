// Every test stream through the decoder library. The conformance streams
// reach 96 dB against their references, both through the library's public
// interface and through the frame decoder alone; the real-world oddities
// match their references or say there is no audio; illegal and damaged
// streams decode without harm through every input, the damage staying
// local; the memory inputs give the same audio as a file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegHeader.h"
#include "engine/codecs/mpeg/MpegResult.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

using namespace mpegtest;
using mpegaudio::kMpegErrorEndOfInput;
using mpegaudio::kMpegOk;

TEST(MpegConformance, ConformanceStreamsMatchTheirReferences) {
  int checked = 0;
  for (const std::string& name : ListStreams()) {
    if (!IsConformance(name)) continue;
    SCOPED_TRACE(name);
    const int layer = ConformanceLayer(name);
    const std::vector<int16_t> ref = Reference(name);
    ASSERT_FALSE(ref.empty());

    Decoded lib = Decode(StreamPath(name + ".bit"));
    EXPECT_EQ(lib.openResult, kMpegOk);
    EXPECT_EQ(lib.endResult, kMpegErrorEndOfInput);
    EXPECT_GT(lib.frames, 0);
    EXPECT_EQ(lib.badFrames, 0);
    EXPECT_EQ(lib.layer, layer);
    ExpectConformanceLength(lib.pcm, ref, layer);
    const double psnr = Psnr(lib.pcm, ref);
    EXPECT_GE(psnr, 96.0);

    // The frame decoder alone, over frames this test finds: no frame
    // refused, no CRC mismatch, the same audio.
    Decoded frames = DecodeFrames(ReadStreamFile(name + ".bit"));
    EXPECT_EQ(frames.layer, layer);
    EXPECT_EQ(frames.badFrames, 0);
    EXPECT_EQ(frames.crcErrors, 0);
    ExpectConformanceLength(frames.pcm, ref, layer);
    EXPECT_GE(Psnr(frames.pcm, ref), 96.0);
    std::printf("%-40s %5lld frames  PSNR %6.1f dB\n", name.c_str(),
                static_cast<long long>(lib.frames), psnr);
    ++checked;
  }
  EXPECT_GT(checked, 30);
}

TEST(MpegConformance, NonstandardStreamsMatchOrSayThereIsNoAudio) {
  for (const std::string& name : ListStreams()) {
    if (name.find("nonstandard") == std::string::npos) continue;
    SCOPED_TRACE(name);
    std::string bit = StreamPath(name + ".bit");
    std::string pcm = StreamPath(name + ".pcm");
    // The references of these streams drop the encoder delay a LAME tag announces.
    Decoded r = Decode(bit, Feed::kFile, true);
    EXPECT_EQ(r.openResult, kMpegOk);
    if (access(pcm.c_str(), R_OK) != 0) continue;  // no reference: decoding without harm is all
    std::vector<int16_t> ref = Reference(name);
    if (ref.empty()) {
      EXPECT_TRUE(r.pcm.empty());
      testsupport::ProcessResult p =
          testsupport::Run("'" + testsupport::BinPath("mpegdec") + "' '" + bit + "' /dev/null");
      EXPECT_EQ(p.exitCode, 1);
      EXPECT_NE(p.err.find("no decodable MPEG audio"), std::string::npos) << p.err;
      std::printf("%-40s no audio, as expected\n", name.c_str());
      continue;
    }
    std::vector<int16_t> ours = r.pcm;
    if (name == "l2-nonstandard-fl1_fl2_ff") {
      // Free-format layer I frames of l1-fl1 at 32 kHz, then those of l1-fl2
      // at 44.1 kHz. Both parts are played, the second from a clean decoder
      // as a stream of its own; the reference holds the second part only.
      EXPECT_EQ(r.layer, 1);
      ASSERT_EQ(r.rateRuns.size(), 2u);
      EXPECT_EQ(r.rateRuns[0].sampleRate, 32000);
      EXPECT_EQ(r.rateRuns[1].sampleRate, 44100);
      EXPECT_EQ(r.rateRuns[1].start, 3u * 384 * 2);
      std::vector<int16_t> first(ours.begin(), ours.begin() + std::ptrdiff_t(r.rateRuns[1].start));
      EXPECT_GE(Psnr(first, Reference("l1-fl1")), 96.0) << "the 32 kHz part";
      ours.erase(ours.begin(), ours.begin() + std::ptrdiff_t(r.rateRuns[1].start));
      EXPECT_EQ(ours.size(), ref.size());
    }
    if (name == "l2-nonstandard-free_format") {
      EXPECT_EQ(r.badFrames, 0);
    }
    if (name == "l2-nonstandard-test32-size") {
      // One frame's allocation claims more bits than the frame holds: that
      // frame is refused, and the others decode as the reference, which
      // leaves the frame out.
      EXPECT_EQ(r.badFrames, 1);
      EXPECT_EQ(ours.size(), ref.size());
    }
    double psnr = Psnr(ours, ref);
    std::printf("%-40s %5lld frames  PSNR %6.1f dB\n", name.c_str(),
                static_cast<long long>(r.frames), psnr);
    EXPECT_GE(psnr, 96.0);
    // A damaged side information costs its frame and those whose main data
    // reaches into it, nothing more.
    if (name.find("compl-sideinfo") != std::string::npos) {
      EXPECT_EQ(r.pcm.size(), ref.size());
    }
  }
}

// Illegal layer I and II streams through the frame decoder: each frame gives
// a whole frame of samples, so timing matches the reference, and the damage
// stays local. (The layer III ones are checked with the damaged streams.)
TEST(MpegConformance, IllegalStreamsKeepTheirTimingAndTheDamageLocal) {
  int checked = 0;
  for (const std::string& name : ListStreams("ILL")) {
    SCOPED_TRACE(name);
    Decoded r = DecodeFrames(ReadStreamFile(name + ".bit"));
    std::vector<int16_t> ref = Reference(name);
    const double psnr = Psnr(r.pcm, ref);
    std::printf("%-24s layer %d frames %3lld bad %3lld crc %3lld  PSNR %6.1f dB\n", name.c_str(),
                r.layer, static_cast<long long>(r.frames), static_cast<long long>(r.badFrames),
                static_cast<long long>(r.crcErrors), psnr);
    if (r.layer == 3) continue;
    ++checked;
    EXPECT_EQ(r.pcm.size(), ref.size());
    if (!ref.empty()) {
      EXPECT_GE(psnr, 90.0);
    }
  }
  EXPECT_GT(checked, 20);
}

TEST(MpegConformance, DamagedStreamsDecodeWithoutHarmThroughEveryInput) {
  std::vector<std::string> paths;
  for (const std::string& name : ListStreams())
    if (!IsConformance(name)) paths.push_back(StreamPath(name + ".bit"));
  paths.push_back(StreamPath("fuzz/l3-compl-cut.mp3"));
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    Decoded file = Decode(path);
    EXPECT_EQ(file.endResult, kMpegErrorEndOfInput);
    Decoded buffer = Decode(path, Feed::kStaticBuffer);
    EXPECT_EQ(buffer.pcm, file.pcm) << "a static buffer decodes like the file";
    // Small, odd feeds through the ring must end and never give more than the file.
    Decoded ring = Decode(path, Feed::kRing, false, 333);
    EXPECT_LE(ring.pcm.size(), file.pcm.size());
  }
}

TEST(MpegConformance, RingFeedingGivesTheSameAudioAsTheFile) {
  for (const char* name :
       {"l3-compl", "l2-test32", "l1-fl7", "l3-nonstandard-id3v2", "l2-nonstandard-free_format"}) {
    SCOPED_TRACE(name);
    std::string path = StreamPath(std::string(name) + ".bit");
    Decoded file = Decode(path);
    ASSERT_FALSE(file.pcm.empty());
    for (size_t chunk : {2048u, 65536u}) {
      Decoded ring = Decode(path, Feed::kRing, false, chunk);
      // The ring never announces the end, so the last frame may stay unconfirmed.
      ASSERT_GE(ring.pcm.size() + 2304, file.pcm.size());
      ASSERT_LE(ring.pcm.size(), file.pcm.size());
      EXPECT_TRUE(std::equal(ring.pcm.begin(), ring.pcm.end(), file.pcm.begin())) << chunk;
    }
  }
}
