#include "engine/codecs/WMAObject.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "engine/base/EngineErrors.h"
#include "engine/base/SampleBuffer.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/WMABuffer.h"
#include "engine/codecs/WmaAttributes.h"
#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "platform/wma/WmaGlue.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/Utf8.h"

using namespace std::chrono_literals;

namespace {

constexpr uint64_t kSecond = 10000000;   // in 100-ns units
constexpr uint64_t kSeekLead = 1000000;  // a seek starts decoding 0.1 s early
constexpr size_t kMaxPathUnits = 520;
constexpr int kOpenTimeoutSeconds = 30;
constexpr int kCloseTimeoutSeconds = 10;
// Convert gives up when the reader delivers nothing for this long.
constexpr auto kStall = 10s;
constexpr auto kPoll = 20ms;
constexpr int64_t kScanBlockBytes = 64 * 1024;
// A waiting Convert is woken once this much (or all it still needs) is queued.
constexpr int64_t kWakeBytes = 64 * 1024;

tWAVEFORMATEX PcmFor(uint16_t channels, uint32_t rate) {
  tWAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = channels;
  pcm.nSamplesPerSec = rate;
  pcm.wBitsPerSample = 16;
  ValidateFormat(&pcm, WAVE_FORMAT_PCM);
  return pcm;
}

}  // namespace

WMAObject::WMAObject(const tWAVEFORMATEX* source, unsigned long f, int64_t formatBytes)
    : ACMObject(source, f, formatBytes) {
  tWAVEFORMATEX pcm = PcmFor(SourceFormat()->nChannels, SourceFormat()->nSamplesPerSec);
  CopyFormat(&pcm, &destFormat);
}

WMAObject::WMAObject(const WMAObject& other)
    : ACMObject(other),
      IWMReaderCallback(),
      IWMReaderCallbackAdvanced(),
      path(other.path),
      queue(),
      maxBufferOverload(other.maxBufferOverload),
      duration(other.duration) {}

WMAObject::~WMAObject() { Close(); }

ACMObject* WMAObject::Copy() { return new (std::nothrow) WMAObject(*this); }

int WMAObject::SetDestFormat(const tWAVEFORMATEX* format) {
  if (!format) return 0;
  tWAVEFORMATEX pcm = PcmFor(format->nChannels, format->nSamplesPerSec);
  return CopyFormat(&pcm, &destFormat) ? 1 : 0;
}

int WMAObject::GetSrcFormatStr(char* out, long size) {
  if (!out || size <= 0) return 0;
  const tWAVEFORMATEX* s = SourceFormat();
  const std::string text = TonalisLoadFormatted(
      "IDS_WMA_FORMAT_DESC", static_cast<int64_t>(bitRate / 1000),
      static_cast<int64_t>(s->nSamplesPerSec / 1000),
      static_cast<int64_t>(s->nSamplesPerSec % 1000),
      TonalisLoadKeyed(s->nChannels == 1 ? "IDS_MONO_CB_ITEM" : "IDS_STEREO_CB_ITEM"));
  CopyBounded(out, size, text);
  return 1;
}

double WMAObject::GetConvertedBufferSize(int64_t sourceBytes) {
  const uint32_t sourceAvg = SourceFormat()->nAvgBytesPerSec;
  if (sourceBytes <= 0 || !DestFormat() || sourceAvg == 0) return 0;
  return static_cast<double>(sourceBytes) * DestFormat()->nAvgBytesPerSec / sourceAvg;
}

int64_t WMAObject::GetSourceBufferSize(int64_t pcmBytes) {
  if (pcmBytes <= 0 || !DestFormat() || DestFormat()->nAvgBytesPerSec == 0) return 0;
  return static_cast<int64_t>(static_cast<double>(pcmBytes) * SourceFormat()->nAvgBytesPerSec /
                              DestFormat()->nAvgBytesPerSec);
}

long WMAObject::BlockSize(const tWAVEFORMATEX* format) {
  return format && format->nBlockAlign ? format->nBlockAlign : 1;
}

int64_t WMAObject::GetDataSize() const {
  return static_cast<int64_t>(static_cast<double>(duration / 10000) * bitRate / 8000.0);
}

bool WMAObject::Resume() { return reader && !WmFailed(reader->Resume()); }
bool WMAObject::Pause() { return reader && !WmFailed(reader->Pause()); }

CACMBuffer* WMAObject::NewBuffer(CACMBuffer& from) { return new (std::nothrow) CWMABuffer(from); }
CACMBuffer* WMAObject::NewBuffer(CSeekMap* seekMap) {
  return new (std::nothrow) CWMABuffer(seekMap);
}

// ---- Callback interfaces ----

WmaResult WMAObject::QueryInterface(const WMGuid& iid, void** object) {
  if (!object) return WM_E_POINTER;
  *object = nullptr;
  if (iid == IID_IWMUnknown || iid == IID_IWMReaderCallback)
    *object = static_cast<IWMReaderCallback*>(this);
  else if (iid == IID_IWMReaderCallbackAdvanced)
    *object = static_cast<IWMReaderCallbackAdvanced*>(this);
  else
    return WM_E_NOINTERFACE;
  AddRef();
  return WM_OK;
}

uint32_t WMAObject::AddRef() { return ++references; }
uint32_t WMAObject::Release() { return --references; }

WmaResult WMAObject::OnStatus(WMT_STATUS status, WmaResult result, WMT_ATTR_DATATYPE,
                              const uint8_t*, void*) {
  std::unique_lock<std::mutex> guard(lock);
  switch (status) {
    case WMT_OPENED:
      statusResult = result;
      opened = true;
      break;
    case WMT_CLOSED:
      statusResult = result;
      closed = true;
      break;
    case WMT_END_OF_FILE:
      endOfFile = true;
      break;
    case WMT_ERROR:
      // The reader cannot go on: what it delivered is all there is.
      endOfFile = true;
      break;
    case WMT_STARTED: {
      if (!started) break;
      // The clock starts at the start time and runs one second ahead.
      const uint64_t clock = startTime + kSecond;
      guard.unlock();
      Deliver(clock);
      return WM_OK;
    }
    default:
      return WM_OK;
  }
  changed.notify_all();
  return WM_OK;
}

void WMAObject::Deliver(uint64_t time) {
  if (advanced) advanced->DeliverTime(time);
}

WmaResult WMAObject::OnSample(uint32_t output, uint64_t time, uint64_t, uint32_t,
                              INSSBuffer* sample, void*) {
  if (output != 0 || !sample) return WM_OK;
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  if (WmFailed(sample->GetBufferAndLength(&bytes, &length)) || !bytes) return WM_OK;
  // The whole sample is stored under the lock, so a Stop waits for it and
  // a sample of a run that was stopped is dropped.
  std::lock_guard<std::mutex> guard(lock);
  if (!open || !started) return WM_OK;
  const tWAVEFORMATEX* dest = DestFormat();
  const int64_t align = dest && dest->nBlockAlign ? dest->nBlockAlign : 1;
  if (seekPending) {
    seekPending = false;
    const double behind = requestedTime > time ? static_cast<double>(requestedTime - time) : 0.0;
    const double drop = dest ? behind * dest->nAvgBytesPerSec / kSecond : 0.0;
    bytesToDrop = static_cast<int64_t>(std::llround(drop / static_cast<double>(align))) * align;
  }
  const int64_t dropped = std::min<int64_t>(bytesToDrop, length);
  bytesToDrop -= dropped;
  if (dropped < length)
    queue.AddData(bytes + dropped, static_cast<unsigned long>(length - dropped));
  lastSampleTime = time;
  // The consumer is woken once what it waits for is there, not for every sample.
  if (consumerNeeds && (queue.TotalBytesAvailable() >= consumerNeeds)) changed.notify_all();
  return WM_OK;
}

WmaResult WMAObject::OnTime(uint64_t time, void*) {
  std::unique_lock<std::mutex> guard(lock);
  // The consumer's own thread never waits for itself.
  if (std::this_thread::get_id() != consumer) {
    while (started && open && queue.TotalBytesAvailable() > maxBufferOverload) {
      readerWaiting = true;
      changed.wait_for(guard, kPoll);
    }
    readerWaiting = false;
  }
  if (!started) return WM_OK;
  guard.unlock();
  Deliver(time + kSecond);
  return WM_OK;
}

// ---- Reader life ----

bool WMAObject::WaitFlag(bool& flag, int seconds) {
  std::unique_lock<std::mutex> guard(lock);
  return changed.wait_for(guard, std::chrono::seconds(seconds), [&] { return flag; });
}

bool WMAObject::Open(CRefObj* file) {
  if (IsOpen()) return true;
  const CWmaGlue* glue = WMADecoderLibrary();
  if (!glue || !glue->createReader) {
    SetLastError(kErrWmaUnavailable);
    return false;
  }
  if (file) {
    auto* disk = (file->Type() & kRefObjFile) ? dynamic_cast<CFileObj*>(file) : nullptr;
    if (!disk) return false;
    path = Utf8ToUtf16(disk->GetPath());
  }
  if (path.empty() || path.size() > kMaxPathUnits) return false;
  ReleaseReader();
  if (WmFailed(glue->createReader(nullptr, 0, &reader, &advanced)) || !reader || !advanced) {
    ReleaseReader();
    SetLastError(kErrWmaReader);
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    opened = closed = false;
    statusResult = WM_OK;
  }
  advanced->SetPlayMode(WMT_PLAY_MODE_LOCAL);
  bool ok =
      !WmFailed(reader->Open(path.c_str(), this, nullptr)) && WaitFlag(opened, kOpenTimeoutSeconds);
  {
    std::lock_guard<std::mutex> guard(lock);
    ok = ok && !WmFailed(statusResult);
    open = ok;
    started = endOfFile = seekPending = false;
  }
  if (!ok) Close();
  return ok;
}

void WMAObject::ReleaseReader() {
  // Releasing the reader joins its thread: no callback runs after this.
  if (advanced) advanced->Release();
  if (reader) reader->Release();
  advanced = nullptr;
  reader = nullptr;
}

bool WMAObject::Close() {
  {
    std::lock_guard<std::mutex> guard(lock);
    open = false;
  }
  bool ok = Stop();
  if (reader) {
    {
      std::lock_guard<std::mutex> guard(lock);
      closed = false;
    }
    if (WmFailed(reader->Close()) || !WaitFlag(closed, kCloseTimeoutSeconds)) ok = false;
  }
  ReleaseReader();
  queue.RemoveEverything();
  return ok && !IsStarted();
}

bool WMAObject::Start(uint64_t time) {
  if (!reader || !IsOpen()) return false;
  queue.RemoveEverything();
  advanced->SetUserProvidedClock(1);
  {
    std::lock_guard<std::mutex> guard(lock);
    startTime = time;
    endOfFile = false;
    bytesToDrop = 0;
    // Set before the reader starts: its first samples may come at once.
    started = true;
  }
  if (!WmFailed(reader->Start(time, 0, 1.0f, nullptr))) return true;
  std::lock_guard<std::mutex> guard(lock);
  started = false;
  return false;
}

bool WMAObject::Stop() {
  std::lock_guard<std::mutex> guard(lock);
  if (!started) return true;
  // The reader's Stop does not wait for its thread, so it may be called
  // with the lock held; a sample on its way is dropped once the lock is free.
  const bool ok = !reader || !WmFailed(reader->Stop());
  started = false;
  seekPending = false;
  bytesToDrop = 0;
  queue.RemoveEverything();
  changed.notify_all();
  return ok;
}

bool WMAObject::IsOpen() {
  std::lock_guard<std::mutex> guard(lock);
  return open;
}

bool WMAObject::IsEOF() {
  std::lock_guard<std::mutex> guard(lock);
  return endOfFile;
}

bool WMAObject::IsStarted() {
  std::lock_guard<std::mutex> guard(lock);
  return started;
}

int WMAObject::Seek(double ms) {
  Stop();
  const auto target = static_cast<uint64_t>(std::max(ms, 0.0) * 10000.0);
  if (duration > 0 && target > duration) return 0;
  if (!IsOpen() && !Open(nullptr)) return 0;
  {
    std::lock_guard<std::mutex> guard(lock);
    requestedTime = target;
    seekPending = true;
  }
  if (Start(target > kSeekLead ? target - kSeekLead : 0)) return 1;
  std::lock_guard<std::mutex> guard(lock);
  seekPending = false;
  return 0;
}

// ---- Reading ----

int64_t WMAObject::Convert(char*, int64_t& srcLength, char*& dst, int64_t dstSize,
                           TConversionFlag flag, int) {
  srcLength = 0;
  {
    std::lock_guard<std::mutex> guard(lock);
    consumer = std::this_thread::get_id();
  }
  if (flag == CONVERSION_FIRST) {
    Close();
    if (!Open(nullptr) || !Start(0)) {
      Close();
      return -1;
    }
  } else if (!IsStarted()) {
    return -1;
  }
  const tWAVEFORMATEX* dest = DestFormat();
  const int64_t align = dest && dest->nBlockAlign ? dest->nBlockAlign : 1;
  const int64_t want = dst && dstSize > 0 ? dstSize / align * align : 0;
  int64_t copied = 0;
  bool ended = false;
  auto waitStart = std::chrono::steady_clock::now();
  auto lastArrival = waitStart;
  bool waited = false;
  while (copied < want) {
    const unsigned long n =
        queue.GetData(reinterpret_cast<unsigned char*>(dst) + copied,
                      static_cast<unsigned long>(std::min<int64_t>(want - copied, 1L << 30)));
    std::unique_lock<std::mutex> guard(lock);
    if (n > 0) {
      copied += n;
      lastArrival = std::chrono::steady_clock::now();
      if (readerWaiting) changed.notify_all();  // room in the queue again
      continue;
    }
    if (!started) break;
    if (endOfFile) {
      // Everything was delivered before the end was reported.
      ended = queue.TotalBytesAvailable() == 0;
      if (ended) break;
      continue;
    }
    if (std::chrono::steady_clock::now() - lastArrival >= kStall) break;
    waited = true;
    // Woken when a good part of what is missing has arrived, so the two
    // threads do not take turns for every sample.
    const auto need = static_cast<unsigned long>(std::min<int64_t>(want - copied, kWakeBytes));
    consumerNeeds = need;
    changed.wait_for(guard, kPoll,
                     [&] { return !started || endOfFile || queue.TotalBytesAvailable() >= need; });
    consumerNeeds = 0;
  }
  if (waited && advanced) {
    const auto late = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - waitStart);
    advanced->NotifyLateDelivery(static_cast<int64_t>(late.count()) * 10);
  }
  if (copied > 0 || ended || IsEOF()) {
    srcLength = GetSourceBufferSize(copied);
    return copied;
  }
  return -1;
}

bool WMAObject::ReadOutputFormat() {
  uint32_t outputs = 0;
  if (WmFailed(reader->GetOutputCount(&outputs)) || outputs < 1) return false;
  IWMOutputMediaProps* props = nullptr;
  if (WmFailed(reader->GetOutputProps(0, &props)) || !props) return false;
  uint32_t size = 0;
  std::vector<uint8_t> block;
  bool ok = !WmFailed(props->GetMediaType(nullptr, &size)) && size >= sizeof(WM_MEDIA_TYPE);
  if (ok) {
    block.assign(size, 0);
    ok = !WmFailed(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(block.data()), &size));
  }
  props->Release();
  if (!ok) return false;
  const auto* type = reinterpret_cast<const WM_MEDIA_TYPE*>(block.data());
  if (!(type->majortype == WMMEDIATYPE_Audio) || !(type->formattype == WMFORMAT_WaveFormatEx) ||
      type->cbFormat < sizeof(tWAVEFORMATEX) || !type->pbFormat)
    return false;
  tWAVEFORMATEX wave;
  std::memcpy(&wave, type->pbFormat, sizeof wave);
  if (wave.nChannels < 1 || wave.nChannels > 2 || wave.nSamplesPerSec == 0) return false;
  return SetDestFormat(&wave) == 1;
}

bool WMAObject::LoadInfo(CRefObj* file, TMusicInfo* info) {
  if (!file || !Open(file)) return false;
  if (!ReadOutputFormat()) {
    Close();
    SetLastError(kErrWmaNotAudio);
    return false;
  }
  IWMHeaderInfo* header = nullptr;
  TWmaStreamInfo stream;
  bool ok =
      !WmFailed(reader->QueryInterface(IID_IWMHeaderInfo, reinterpret_cast<void**>(&header))) &&
      header && ReadWmaAttributes(header, &stream, info);
  if (header) header->Release();
  // Without a bit rate the stream's size and every position are unknown.
  if (!ok || stream.bitRate == 0) {
    Close();
    SetLastError(kErrWmaNotAudio);
    return false;
  }
  duration = stream.duration;
  SetBitRate(stream.bitRate);
  SetBestBitRate(stream.bitRate);
  const tWAVEFORMATEX* dest = DestFormat();
  tWAVEFORMATEX wma{};
  wma.wFormatTag = WAVE_FORMAT_WMAUDIO2;
  wma.nChannels = dest->nChannels;
  wma.nSamplesPerSec = dest->nSamplesPerSec;
  wma.wBitsPerSample = 16;
  wma.nBlockAlign = static_cast<uint16_t>(dest->nChannels * 2);
  wma.nAvgBytesPerSec = std::max<uint32_t>(stream.bitRate / 8, 1);
  wma.cbSize = 0;
  CopyFormat(&wma, &sourceFormat);
  frequency = wma.nSamplesPerSec;
  const int64_t size = std::max<int64_t>(GetDataSize(), 1);
  ok = file->SetDataOffsets(0, size) && file->SeekToData(0);
  Close();
  if (!ok) SetLastError(kErrDataArea);
  return ok;
}

// ---- The whole-file scan ----

class WMAObject::CReaderScan : public ACMObject::CScanDecoder {
 public:
  CReaderScan(WMAObject* owner, CRefObj* source, int64_t dataStart, int64_t dataEnd)
      : owner_(owner), source_(source), span_(dataEnd - dataStart) {}

  bool Open() {
    block_ = NewConvertBlock(kScanBlockBytes);
    owner_->Close();
    return block_ && owner_->Open(source_) && owner_->Start(0);
  }

  TScanStep Next(TScanBlock* b) override {
    int64_t used = 0;
    char* dst = block_.release();
    const int64_t made =
        owner_->Convert(nullptr, used, dst, kScanBlockBytes, CONVERSION_FOLLOWING, 0);
    block_.reset(dst);
    if (made < 0) return SCAN_FAILED;
    if (made == 0) return SCAN_END;
    consumed_ = std::min(consumed_ + used, span_);
    *b = TScanBlock{};
    b->pcm = block_.get();
    b->bytes = made;
    b->consumed = consumed_;
    return SCAN_BLOCK;
  }

  void Finish(bool) override { owner_->Close(); }

 private:
  WMAObject* owner_;
  CRefObj* source_;
  int64_t span_;
  int64_t consumed_ = 0;
  TConvertBlock block_;
};

std::unique_ptr<ACMObject::CScanDecoder> WMAObject::NewScanDecoder(CRefObj* source,
                                                                   int64_t dataStart,
                                                                   int64_t dataEnd) {
  std::unique_ptr<CReaderScan> scan(new (std::nothrow)
                                        CReaderScan(this, source, dataStart, dataEnd));
  if (!scan || !scan->Open()) {
    Close();
    return nullptr;
  }
  return scan;
}
