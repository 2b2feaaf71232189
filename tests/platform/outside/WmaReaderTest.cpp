// wmaglue.so's reader against ffmpeg's own decoding of the same files: the
// same samples on the same time line, seeking, pacing by the caller's clock,
// and files it must refuse.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/platform/outside/WmaLibrary.h"

using wmatest::Callback;
using wmatest::Reader;

namespace {

class WmaReader : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"ffmpeg", "ffprobe"}), "");
    ASSERT_TRUE(wmatest::Library().IsLoaded());
  }
  testsupport::TempDir dir;
};

TEST_F(WmaReader, DecodesAsFfmpegDoes) {
  for (const char* codec : {"wmav1", "wmav2"}) {
    for (int rate : {22050, 32000, 44100, 48000}) {
      for (int channels : {1, 2}) {
        SCOPED_TRACE(std::string(codec) + " " + std::to_string(rate) + " " +
                     std::to_string(channels));
        const std::string path = wmatest::MakeWma(dir, "in.wma", codec, rate, channels, "0.7");
        const auto expected = wmatest::FfmpegPcm(path);
        Callback cb;
        Reader r;
        ASSERT_EQ(r.Open(path, &cb), WM_OK);
        uint32_t outputs = 0;
        EXPECT_EQ(r.reader->GetOutputCount(&outputs), WM_OK);
        EXPECT_EQ(outputs, 1u);
        const tWAVEFORMATEX f = r.Output();
        EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(f.nChannels, channels);
        EXPECT_EQ(f.nSamplesPerSec, static_cast<uint32_t>(rate));
        EXPECT_EQ(f.wBitsPerSample, 16);
        EXPECT_EQ(f.nBlockAlign, 2 * channels);

        const auto pcm = wmatest::ReadAll(r, cb);
        ASSERT_EQ(pcm.size(), expected.size());
        EXPECT_EQ(testsupport::Psnr(pcm, expected), 200.0);  // bit-exact
        // Each block's time follows the sample count.
        uint64_t frames = 0;
        for (size_t i = 0; i < cb.times.size(); ++i) {
          EXPECT_EQ(cb.times[i], frames * 10000000 / static_cast<uint64_t>(rate)) << i;
          frames += cb.lengths[i] / (2u * static_cast<uint32_t>(channels));
          EXPECT_EQ(cb.times[i] + cb.durations[i], frames * 10000000 / static_cast<uint64_t>(rate));
        }
        EXPECT_EQ(frames, pcm.size() / static_cast<size_t>(channels));

        WMT_ATTR_DATATYPE type{};
        const auto duration = wmatest::Qword(r.Attribute(u"Duration", &type));
        EXPECT_EQ(type, WMT_TYPE_QWORD);
        EXPECT_NEAR(duration / 1e7, 0.7, 0.1);
        EXPECT_EQ(wmatest::Dword(r.Attribute(u"Bitrate", &type)), 64000u);
        EXPECT_EQ(type, WMT_TYPE_DWORD);
        r.Close(&cb);
      }
    }
  }
}

TEST_F(WmaReader, StartAtTimeGivesTheSamplesFromThere) {
  const std::string path = wmatest::MakeWma(dir, "in.wma", "wmav2", 44100, 2, "3");
  const auto all = wmatest::FfmpegPcm(path);
  Callback cb;
  Reader r;
  ASSERT_EQ(r.Open(path, &cb), WM_OK);
  // Forward within a run, back to an earlier time, and past the end.
  for (uint64_t ms : {50, 2500, 1000, 0, 1234}) {
    SCOPED_TRACE(ms);
    const uint64_t frame = (ms * 441 + 5) / 10;
    const auto pcm = wmatest::ReadAll(r, cb, ms * 10000);
    ASSERT_FALSE(cb.times.empty());
    EXPECT_EQ(cb.times[0], frame * 10000000 / 44100);  // the time of the sample nearest
    ASSERT_EQ(pcm.size(), all.size() - 2 * frame);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), all.begin() + static_cast<long>(2 * frame)));
  }
  EXPECT_TRUE(wmatest::ReadAll(r, cb, 50000000).empty());
  r.Close(&cb);
}

TEST_F(WmaReader, UserClockPacesDelivery) {
  const std::string path = wmatest::MakeWma(dir, "in.wma", "wmav2", 32000, 1, "2");
  Callback cb;
  Reader r;
  ASSERT_EQ(r.Open(path, &cb), WM_OK);
  ASSERT_EQ(r.advanced->SetUserProvidedClock(1), WM_OK);
  ASSERT_EQ(r.advanced->SetPlayMode(WMT_PLAY_MODE_LOCAL), WM_OK);
  // As the engine does: a first allowance when started, then more from OnTime,
  // on the reader's own thread.
  constexpr uint64_t kStep = 3000000;  // 0.3 s
  cb.onStatus = [&](WMT_STATUS s) {
    if (s == WMT_STARTED) {
      cb.clockLimit = kStep;
      r.advanced->DeliverTime(kStep);
    }
  };
  std::atomic<int> steps{0};
  cb.onTime = [&](uint64_t t) {
    if (++steps > 3) return;  // then stall the clock
    cb.clockLimit = t + kStep;
    r.advanced->DeliverTime(t + kStep);
  };
  ASSERT_EQ(r.reader->Start(0, 0, 1.0f, nullptr), WM_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    std::lock_guard<std::mutex> lock(cb.mutex);
    EXPECT_EQ(cb.pastClock, 0);
    ASSERT_EQ(cb.onTimes.size(), 4u);
    EXPECT_EQ(cb.onTimes[0], kStep);
    EXPECT_EQ(cb.onTimes[3], 4 * kStep);
    ASSERT_FALSE(cb.times.empty());
    EXPECT_LT(cb.times.back(), 4 * kStep);
    EXPECT_GE(cb.times.back() + cb.durations.back(), 4 * kStep);
  }
  EXPECT_FALSE(cb.WaitFor(WMT_END_OF_FILE, 1, 0));
  // Stopped while it waits for the clock; without the clock it runs to the end.
  ASSERT_EQ(r.reader->Stop(), WM_OK);
  EXPECT_TRUE(cb.WaitFor(WMT_STOPPED));
  cb.onStatus = nullptr;
  cb.clockLimit = UINT64_MAX;
  ASSERT_EQ(r.advanced->SetUserProvidedClock(0), WM_OK);
  EXPECT_EQ(wmatest::ReadAll(r, cb).size(), wmatest::FfmpegPcm(path).size());
  r.Close(&cb);
}

TEST_F(WmaReader, StopUnderTheCallbacksLockDoesNotWait) {
  const std::string path = wmatest::MakeWma(dir, "in.wma", "wmav2", 44100, 2, "3");
  Callback cb;
  cb.useEngineLock = true;
  Reader r;
  ASSERT_EQ(r.Open(path, &cb), WM_OK);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(r.reader->Start(0, 0, 1.0f, nullptr), WM_OK);
    {
      // The engine holds the lock its OnSample takes while it stops the reader.
      std::lock_guard<std::mutex> engine(cb.engineLock);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ASSERT_EQ(r.reader->Stop(), WM_OK);
    }
    EXPECT_TRUE(cb.WaitFor(WMT_STOPPED, round + 1));
  }
  // A Start after the Stop begins a fresh run from its time.
  const auto pcm = wmatest::ReadAll(r, cb, 10000000);
  EXPECT_EQ(cb.times.at(0), 10000000u);
  EXPECT_EQ(pcm.size(), wmatest::FfmpegPcm(path).size() - 2 * 44100);
  r.Close(&cb);
}

TEST_F(WmaReader, RefusesWhatIsNotWindowsMediaAudio) {
  const std::string good = wmatest::MakeWma(dir, "good.wma", "wmav2", 44100, 2, "2");
  const std::string data = testsupport::ReadFile(good);
  ASSERT_TRUE(testsupport::WriteFile(dir.File("garbage.wma"), std::string(100000, '\x5a')));
  ASSERT_TRUE(testsupport::WriteFile(dir.File("empty.wma"), ""));
  ASSERT_TRUE(testsupport::WriteFile(dir.File("header.wma"), data.substr(0, 300)));
  // An MP3 stream in an ASF file: no Windows Media audio.
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i sine=d=0.5 -c:a libmp3lame -f asf " +
                             dir.File("mp3.asf"))
                .exitCode,
            0);
  for (const char* name : {"garbage.wma", "empty.wma", "header.wma", "missing.wma", "mp3.asf"}) {
    SCOPED_TRACE(name);
    const auto began = std::chrono::steady_clock::now();
    Callback cb;
    Reader r;
    EXPECT_LT(r.Open(dir.File(name), &cb), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
    uint32_t outputs = 1;
    EXPECT_LT(r.reader->GetOutputCount(&outputs), 0);
    EXPECT_LT(r.reader->Start(0, 0, 1.0f, nullptr), 0);
    r.Close(&cb);
  }
  // Cut in the middle of its packets: what is there, then the end.
  ASSERT_TRUE(testsupport::WriteFile(dir.File("cut.wma"), data.substr(0, data.size() / 2)));
  Callback cb;
  Reader r;
  ASSERT_EQ(r.Open(dir.File("cut.wma"), &cb), WM_OK);
  const auto pcm = wmatest::ReadAll(r, cb);
  EXPECT_GT(pcm.size(), 2u * 44100 / 3);
  EXPECT_LT(pcm.size(), 2u * 44100 * 3 / 2);
  r.Close(&cb);
}

}  // namespace
