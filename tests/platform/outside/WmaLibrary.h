// Shared by the tests of wmaglue.so: the built library loaded by its path,
// a reader callback that records what arrives, and WMA inputs made with
// ffmpeg in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/outside/WindowsMedia.h"
#include "platform/wma/WmaGlue.h"
#include "tests/TestSupport.h"

namespace wmatest {

inline CWmaGlue& Library() {
  static CWmaGlue glue;
  if (!glue.IsLoaded()) {
    EXPECT_TRUE(glue.LoadFile(SONODUCT_TEST_WMAGLUE));
  }
  return glue;
}

inline std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A sine with a louder stretch, so that misalignment shows, made by ffmpeg.
inline std::string MakeWma(const testsupport::TempDir& dir, const std::string& name,
                           const std::string& codec, int rate, int channels,
                           const std::string& seconds = "1", const std::string& extra = "") {
  const std::string path = dir.File(name);
  const auto r = testsupport::Run(
      "ffmpeg -v error -y -f lavfi -i 'sine=f=440:r=" + std::to_string(rate) + ":d=" + seconds +
      "' -f lavfi -i 'anoisesrc=r=" + std::to_string(rate) + ":d=" + seconds +
      ":a=0.2:seed=7' -filter_complex amix=inputs=2 -ac " + std::to_string(channels) + " -c:a " +
      codec + " -b:a 64k " + extra + " " + path);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

// ffmpeg's own decoding: 16-bit interleaved samples.
inline std::vector<int16_t> FfmpegPcm(const std::string& path) {
  const auto r = testsupport::Run("ffmpeg -v error -i " + path + " -map 0:a -f s16le -");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return testsupport::ToSamples(r.out);
}

// Records statuses and samples; `onSample` and `onTime` run on the reader's
// thread under the callback's own lock when `engineLock` is set.
class Callback final : public IWMReaderCallback, public IWMReaderCallbackAdvanced {
 public:
  WmaResult QueryInterface(const WMGuid& iid, void** object) override {
    if (iid == IID_IWMReaderCallbackAdvanced) {
      *object = static_cast<IWMReaderCallbackAdvanced*>(this);
    } else if (iid == IID_IWMReaderCallback || iid == IID_IWMUnknown) {
      *object = static_cast<IWMReaderCallback*>(this);
    } else {
      *object = nullptr;
      return WM_E_NOINTERFACE;
    }
    AddRef();
    return WM_OK;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }

  WmaResult OnStatus(WMT_STATUS status, WmaResult result, WMT_ATTR_DATATYPE, const uint8_t*,
                     void*) override {
    if (onStatus) onStatus(status);
    std::lock_guard<std::mutex> lock(mutex);
    statuses.push_back(status);
    results.push_back(result);
    changed.notify_all();
    return WM_OK;
  }
  WmaResult OnSample(uint32_t output, uint64_t time, uint64_t duration, uint32_t,
                     INSSBuffer* sample, void*) override {
    std::unique_lock<std::mutex> engine(engineLock, std::defer_lock);
    if (useEngineLock) engine.lock();
    uint8_t* data = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(output, 0u);
    EXPECT_EQ(sample->GetBufferAndLength(&data, &length), WM_OK);
    std::lock_guard<std::mutex> lock(mutex);
    const size_t at = pcm.size();
    pcm.resize(at + length / 2);
    std::memcpy(pcm.data() + at, data, length & ~1u);
    times.push_back(time);
    durations.push_back(duration);
    lengths.push_back(length);
    if (clockLimit != UINT64_MAX && time >= clockLimit) ++pastClock;
    changed.notify_all();
    return WM_OK;
  }
  WmaResult OnStreamSample(uint16_t, uint64_t, uint64_t, uint32_t, INSSBuffer*, void*) override {
    return WM_OK;
  }
  WmaResult OnTime(uint64_t time, void*) override {
    std::unique_lock<std::mutex> engine(engineLock, std::defer_lock);
    if (useEngineLock) engine.lock();
    {
      std::lock_guard<std::mutex> lock(mutex);
      onTimes.push_back(time);
    }
    if (onTime) onTime(time);
    return WM_OK;
  }
  WmaResult OnStreamSelection(uint16_t, uint16_t*, int32_t*, void*) override { return WM_OK; }
  WmaResult OnOutputPropsChanged(uint32_t, WM_MEDIA_TYPE*, void*) override { return WM_OK; }

  // Waits until `status` has come `count` times; false after the time-out.
  bool WaitFor(WMT_STATUS status, int count = 1, int seconds = 20) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(seconds), [&] {
      int n = 0;
      for (auto s : statuses) n += s == status;
      return n >= count;
    });
  }
  WmaResult LastResult(WMT_STATUS status) {
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = statuses.size(); i-- > 0;)
      if (statuses[i] == status) return results[i];
    return WM_E_FAIL;
  }
  void ClearSamples() {
    std::lock_guard<std::mutex> lock(mutex);
    pcm.clear();
    times.clear();
    durations.clear();
    lengths.clear();
  }

  std::atomic<uint32_t> refs{1};
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<WMT_STATUS> statuses;
  std::vector<WmaResult> results;
  std::vector<int16_t> pcm;
  std::vector<uint64_t> times, durations, onTimes;
  std::vector<uint32_t> lengths;  // bytes of each sample
  uint64_t clockLimit = UINT64_MAX;
  int pastClock = 0;
  std::mutex engineLock;
  bool useEngineLock = false;
  std::function<void(WMT_STATUS)> onStatus;
  std::function<void(uint64_t)> onTime;
};

// A reader with its advanced interface, released at the end.
struct Reader {
  Reader() { EXPECT_EQ(Library().createReader(nullptr, 0, &reader, &advanced), WM_OK); }
  ~Reader() {
    if (advanced) advanced->Release();
    if (reader) reader->Release();
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Opens the file and waits for the result.
  WmaResult Open(const std::string& path, Callback* callback) {
    const std::u16string wide = Wide(path);
    EXPECT_EQ(reader->Open(wide.c_str(), callback, nullptr), WM_OK);
    EXPECT_TRUE(callback->WaitFor(WMT_OPENED));
    return callback->LastResult(WMT_OPENED);
  }
  void Close(Callback* callback) {
    EXPECT_EQ(reader->Close(), WM_OK);
    EXPECT_TRUE(callback->WaitFor(WMT_CLOSED));
  }
  tWAVEFORMATEX Output() {
    tWAVEFORMATEX f{};
    IWMOutputMediaProps* props = nullptr;
    EXPECT_EQ(reader->GetOutputProps(0, &props), WM_OK);
    if (!props) return f;
    uint32_t size = 0;
    EXPECT_EQ(props->GetMediaType(nullptr, &size), WM_OK);
    std::vector<uint64_t> room((size + 7) / 8);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(room.data());
    EXPECT_EQ(props->GetMediaType(type, &size), WM_OK);
    EXPECT_TRUE(type->majortype == WMMEDIATYPE_Audio && type->subtype == WMMEDIASUBTYPE_PCM &&
                type->formattype == WMFORMAT_WaveFormatEx);
    EXPECT_EQ(type->cbFormat, 18u);
    EXPECT_EQ(type->pbFormat, reinterpret_cast<uint8_t*>(type + 1));
    std::memcpy(&f, type->pbFormat, sizeof f);
    props->Release();
    return f;
  }
  // The attribute's value bytes through the two-call protocol; empty when missing.
  std::vector<uint8_t> Attribute(const char16_t* name, WMT_ATTR_DATATYPE* type = nullptr) {
    IWMHeaderInfo* info = nullptr;
    void* found = nullptr;
    EXPECT_EQ(reader->QueryInterface(IID_IWMHeaderInfo, &found), WM_OK);
    info = static_cast<IWMHeaderInfo*>(found);
    std::vector<uint8_t> value;
    uint16_t stream = 0, length = 0;
    WMT_ATTR_DATATYPE t{};
    if (info->GetAttributeByName(&stream, name, &t, nullptr, &length) == WM_OK) {
      value.resize(length);
      EXPECT_EQ(info->GetAttributeByName(&stream, name, &t, value.data(), &length), WM_OK);
      if (type) *type = t;
    }
    info->Release();
    return value;
  }

  IWMReader* reader = nullptr;
  IWMReaderAdvanced* advanced = nullptr;
};

inline uint64_t Qword(const std::vector<uint8_t>& v) {
  uint64_t x = 0;
  if (v.size() == 8) std::memcpy(&x, v.data(), 8);
  return x;
}
inline uint32_t Dword(const std::vector<uint8_t>& v) {
  uint32_t x = 0;
  if (v.size() == 4) std::memcpy(&x, v.data(), 4);
  return x;
}

// Every sample from `start` (100 ns) to the end, as fast as the reader goes.
inline std::vector<int16_t> ReadAll(Reader& r, Callback& cb, uint64_t start = 0) {
  const int before = [&] {
    std::lock_guard<std::mutex> lock(cb.mutex);
    int n = 0;
    for (auto s : cb.statuses) n += s == WMT_END_OF_FILE;
    return n;
  }();
  cb.ClearSamples();
  EXPECT_EQ(r.reader->Start(start, 0, 1.0f, nullptr), WM_OK);
  EXPECT_TRUE(cb.WaitFor(WMT_END_OF_FILE, before + 1));
  std::lock_guard<std::mutex> lock(cb.mutex);
  return cb.pcm;
}

// Writes interleaved 16-bit PCM through the library's writer as the engine
// does, in samples of `chunkBytes` (odd sizes cut sample frames); without
// `end` the writer is released while still writing.
inline WmaResult WriteWma(const std::string& path, const std::vector<int16_t>& pcm, int inputRate,
                          int inputChannels, int kbps, int rate, int channels, bool end = true,
                          size_t chunkBytes = 17641) {
  CWmaGlue& lib = Library();
  IWMWriter* writer = nullptr;
  const std::u16string wide = Wide(path);
  WmaResult r = lib.createWriter(nullptr, &writer, wide.c_str());
  if (WmFailed(r)) return r;
  const TWMAProfileRequest request{static_cast<uint32_t>(kbps * 1000), 353,
                                   static_cast<uint32_t>(rate), static_cast<uint32_t>(channels)};
  IWMProfile* profile = nullptr;
  r = lib.generateProfile(&request, &profile);
  if (!WmFailed(r)) r = writer->SetProfile(profile);
  if (profile) {
    EXPECT_EQ(lib.releaseProfile(&profile), WM_OK);
  }
  IWMInputMediaProps* props = nullptr;
  if (!WmFailed(r)) r = writer->GetInputProps(0, &props);
  if (!WmFailed(r)) {
    struct {
      WM_MEDIA_TYPE type;
      tWAVEFORMATEX format;
    } t{};
    t.format = {WAVE_FORMAT_PCM,
                static_cast<uint16_t>(inputChannels),
                static_cast<uint32_t>(inputRate),
                static_cast<uint32_t>(inputRate * inputChannels * 2),
                static_cast<uint16_t>(inputChannels * 2),
                16,
                0};
    t.type.majortype = WMMEDIATYPE_Audio;
    t.type.subtype = WMMEDIASUBTYPE_PCM;
    t.type.bFixedSizeSamples = 1;
    t.type.lSampleSize = 2;
    t.type.formattype = WMFORMAT_WaveFormatEx;
    t.type.cbFormat = sizeof t.format;
    t.type.pbFormat = reinterpret_cast<uint8_t*>(&t.format);
    r = props->SetMediaType(&t.type);
    if (!WmFailed(r)) r = writer->SetInputProps(0, props);
    props->Release();
  }
  if (!WmFailed(r)) r = writer->BeginWriting();
  const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
  const size_t total = pcm.size() * 2;
  for (size_t at = 0; at < total && !WmFailed(r); at += chunkBytes) {
    const auto n = static_cast<uint32_t>(std::min(chunkBytes, total - at));
    INSSBuffer* sample = nullptr;
    r = writer->AllocateSample(n, &sample);
    if (WmFailed(r)) break;
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(sample->GetBufferAndLength(&buffer, &size), WM_OK);
    EXPECT_EQ(size, n);
    std::memcpy(buffer, bytes + at, n);
    EXPECT_EQ(sample->SetLength(n), WM_OK);
    r = writer->WriteSample(0, at / 2 / inputChannels * 10000000ull / inputRate, 0, sample);
    sample->Release();
  }
  if (!WmFailed(r) && end) r = writer->EndWriting();
  if (!WmFailed(r) && end) r = writer->Flush();
  writer->Release();
  return r;
}

// Interleaved 16-bit PCM from sox.
inline std::vector<int16_t> SoxPcm(const testsupport::TempDir& dir, int rate, int channels,
                                   const std::string& effects) {
  const std::string raw = dir.File("in.raw");
  const auto r =
      testsupport::Run("sox -R -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                       " -b 16 -e signed -t raw " + raw + " " + effects);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return testsupport::ToSamples(testsupport::ReadFile(raw));
}

inline std::string Probe(const std::string& path, const std::string& entry,
                         const std::string& section = "stream") {
  const auto r = testsupport::Run("ffprobe -v error -select_streams a:0 -show_entries " + section +
                                  "=" + entry + " -of default=nw=1:nk=1 " + path);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out.substr(0, r.out.find('\n'));
}

}  // namespace wmatest
