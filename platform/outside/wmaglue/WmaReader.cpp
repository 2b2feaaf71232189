#include "platform/outside/wmaglue/WmaReader.h"

#include <cstring>

#include "platform/outside/wmaglue/AsfHeader.h"
#include "platform/outside/wmaglue/MediaProps.h"
#include "platform/outside/wmaglue/SampleBuffer.h"
#include "platform/outside/wmaglue/Utf16.h"

namespace wmaglue {

namespace {

constexpr uint64_t kUnitsPerSecond = 10000000;

// The time of a sample frame, and the frame nearest a time.
uint64_t FrameTime(uint64_t frame, int rate) {
  const uint64_t r = static_cast<uint64_t>(rate);
  return frame / r * kUnitsPerSecond + frame % r * kUnitsPerSecond / r;
}

uint64_t TimeFrame(uint64_t time, int rate) {
  const uint64_t r = static_cast<uint64_t>(rate);
  return time / kUnitsPerSecond * r +
         (time % kUnitsPerSecond * r + kUnitsPerSecond / 2) / kUnitsPerSecond;
}

}  // namespace

CWmaReader::CWmaReader() : thread_([this] { Run(); }) {}

CWmaReader::~CWmaReader() {
  if (buffer_ != nullptr) buffer_->Release();
}

WmaResult CWmaReader::QueryInterface(const WMGuid& iid, void** object) {
  if (object == nullptr) return WM_E_POINTER;
  *object = nullptr;
  if (iid == IID_IWMUnknown)
    *object = static_cast<IWMReader*>(this);
  else if (iid == IID_IWMHeaderInfo)
    *object = static_cast<IWMHeaderInfo*>(this);
  else
    return WM_E_NOINTERFACE;
  AddRef();
  return WM_OK;
}

uint32_t CWmaReader::AddRef() { return refs_.Add(); }

uint32_t CWmaReader::Release() {
  const uint32_t left = refs_.Drop();
  if (left != 0) return left;
  // The last reference gone from a callback: the worker deletes the reader
  // once it has left the callback.
  const bool onWorker = OnWorker();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    deleteOnQuit_ = onWorker;
    commands_.push_back({ECommand::kQuit, {}});
  }
  wake_.notify_all();
  if (onWorker) {
    thread_.detach();
  } else {
    thread_.join();
    delete this;
  }
  return 0;
}

void CWmaReader::Post(TCommand command) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back(std::move(command));
  }
  wake_.notify_all();
}

WmaResult CWmaReader::Open(const char16_t* url, IWMReaderCallback* callback, void* context) {
  if (url == nullptr || callback == nullptr) return WM_E_POINTER;
  TCommand c{ECommand::kOpen, Utf16ToUtf8(url)};
  c.context = context;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (callback_ != nullptr) return WM_E_UNEXPECTED;  // open already: Close first
    callback_ = callback;
    openContext_ = context;
  }
  Post(std::move(c));
  return WM_OK;
}

WmaResult CWmaReader::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (callback_ == nullptr) return WM_E_UNEXPECTED;
  }
  Post({ECommand::kClose, {}});
  return WM_OK;
}

WmaResult CWmaReader::GetOutputCount(uint32_t* outputs) {
  if (outputs == nullptr) return WM_E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *outputs = open_ ? 1 : 0;
  return open_ ? WM_OK : WM_E_UNEXPECTED;
}

WmaResult CWmaReader::GetOutputProps(uint32_t output, IWMOutputMediaProps** props) {
  if (props == nullptr) return WM_E_POINTER;
  *props = nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return WM_E_UNEXPECTED;
  if (output != 0) return WM_E_INVALIDARG;
  *props = CMediaProps::ForPcm(output_)->AsOutput();
  return WM_OK;
}

WmaResult CWmaReader::SetOutputProps(uint32_t output, IWMOutputMediaProps* props) {
  tWAVEFORMATEX wanted{};
  if (output != 0 || !PcmFormatOf(props, &wanted)) return WM_E_INVALIDARG;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return WM_E_UNEXPECTED;
  // Only the output's own format can be chosen.
  return wanted.nChannels == output_.nChannels && wanted.nSamplesPerSec == output_.nSamplesPerSec
             ? WM_OK
             : WM_E_INVALIDARG;
}

WmaResult CWmaReader::Start(uint64_t start, uint64_t duration, float rate, void* context) {
  if (rate != 1.0f) return WM_E_INVALIDARG;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!open_) return WM_E_UNEXPECTED;
  const uint64_t serial = ++posted_;
  commands_.push_back({ECommand::kStart, {}, start, duration, context, serial});
  wake_.notify_all();
  // The callbacks of the run before have left once the worker takes this one
  // up; a Start from a callback cannot wait for that.
  if (!OnWorker()) wake_.wait(lock, [&] { return taken_ >= serial; });
  return WM_OK;
}

WmaResult CWmaReader::Stop() {
  Post({ECommand::kStop, {}});
  return WM_OK;
}

WmaResult CWmaReader::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = true;
  return WM_OK;
}

WmaResult CWmaReader::Resume() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = false;
  }
  wake_.notify_all();
  return WM_OK;
}

WmaResult CWmaReader::SetUserProvidedClock(int32_t on) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    clockOn_ = on != 0;
  }
  wake_.notify_all();
  return WM_OK;
}

WmaResult CWmaReader::GetUserProvidedClock(int32_t* on) {
  if (on == nullptr) return WM_E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *on = clockOn_ ? 1 : 0;
  return WM_OK;
}

WmaResult CWmaReader::DeliverTime(uint64_t time) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = time;
    clockGiven_ = true;
  }
  wake_.notify_all();
  return WM_OK;
}

WmaResult CWmaReader::NotifyLateDelivery(int64_t) { return WM_OK; }

WmaResult CWmaReader::SetPlayMode(WMT_PLAY_MODE mode) {
  return mode == WMT_PLAY_MODE_LOCAL || mode == WMT_PLAY_MODE_AUTOSELECT ? WM_OK : WM_E_INVALIDARG;
}

WmaResult CWmaReader::GetAttributeCount(uint16_t stream, uint16_t* count) {
  std::lock_guard<std::mutex> lock(mutex_);
  return attributes_.GetCount(stream, count);
}

WmaResult CWmaReader::GetAttributeByIndex(uint16_t index, uint16_t* stream, char16_t* name,
                                          uint16_t* nameLength, WMT_ATTR_DATATYPE* type,
                                          uint8_t* value, uint16_t* valueLength) {
  std::lock_guard<std::mutex> lock(mutex_);
  return attributes_.GetByIndex(index, stream, name, nameLength, type, value, valueLength);
}

WmaResult CWmaReader::GetAttributeByName(uint16_t* stream, const char16_t* name,
                                         WMT_ATTR_DATATYPE* type, uint8_t* value,
                                         uint16_t* valueLength) {
  std::lock_guard<std::mutex> lock(mutex_);
  return attributes_.GetByName(stream, name, type, value, valueLength);
}

// A reader's attributes are those of the file as it is.
WmaResult CWmaReader::SetAttribute(uint16_t, const char16_t*, WMT_ATTR_DATATYPE, const uint8_t*,
                                   uint16_t) {
  return WM_E_NOTIMPL;
}

void CWmaReader::Status(std::unique_lock<std::mutex>& lock, WMT_STATUS status, WmaResult result,
                        void* context) {
  IWMReaderCallback* callback = callback_;
  if (callback == nullptr) return;
  lock.unlock();
  callback->OnStatus(status, result, WMT_TYPE_DWORD, nullptr, context);
  lock.lock();
}

void CWmaReader::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [&] { return !commands_.empty(); });
    TCommand c = std::move(commands_.front());
    commands_.pop_front();
    switch (c.kind) {
      case ECommand::kOpen:
        DoOpen(lock, c);
        break;
      case ECommand::kStart:
        DoStart(lock, c);
        break;
      case ECommand::kStop:
        Status(lock, WMT_STOPPED, WM_OK, c.context);
        break;
      case ECommand::kClose:
        DoClose(lock);
        break;
      case ECommand::kQuit:
        if (deleteOnQuit_) {
          lock.unlock();
          delete this;
        }
        return;
    }
  }
}

void CWmaReader::DoOpen(std::unique_lock<std::mutex>& lock, const TCommand& command) {
  IWMReaderCallback* callback = callback_;
  lock.unlock();
  IWMReaderCallbackAdvanced* advanced = nullptr;
  void* found = nullptr;
  if (!WmFailed(callback->QueryInterface(IID_IWMReaderCallbackAdvanced, &found)))
    advanced = static_cast<IWMReaderCallbackAdvanced*>(found);
  CAsfHeader header;
  WmaResult result = header.Load(command.path) ? WM_OK : WM_E_INVALID_FORMAT;
  if (!WmFailed(result)) result = decoder_.Open(command.path);
  CAttributeList attributes;
  tWAVEFORMATEX output{};
  if (!WmFailed(result)) {
    attributes.Add(CAttributeList::Number(u"Duration", WMT_TYPE_QWORD, header.Duration()));
    const uint64_t bitrate = header.AudioBitrate() != 0
                                 ? header.AudioBitrate()
                                 : static_cast<uint64_t>(decoder_.SourceBitrate());
    attributes.Add(CAttributeList::Number(u"Bitrate", WMT_TYPE_DWORD, bitrate));
    for (const auto& a : header.attributes.Items()) attributes.Add(a);
    output.wFormatTag = WAVE_FORMAT_PCM;
    output.nChannels = static_cast<uint16_t>(decoder_.Channels());
    output.nSamplesPerSec = static_cast<uint32_t>(decoder_.Rate());
    output.wBitsPerSample = 16;
    output.nBlockAlign = static_cast<uint16_t>(output.nChannels * 2);
    output.nAvgBytesPerSec = output.nSamplesPerSec * output.nBlockAlign;
  }
  lock.lock();
  advanced_ = advanced;
  open_ = !WmFailed(result);
  attributes_ = std::move(attributes);
  output_ = output;
  Status(lock, WMT_OPENED, result, openContext_);
}

void CWmaReader::DoClose(std::unique_lock<std::mutex>& lock) {
  IWMReaderCallbackAdvanced* advanced = advanced_;
  IWMReaderCallback* callback = callback_;
  void* context = openContext_;
  advanced_ = nullptr;
  callback_ = nullptr;
  open_ = false;
  attributes_ = CAttributeList();
  lock.unlock();
  decoder_.Close();
  // Given back before the last callback: the caller may go away once told.
  if (advanced != nullptr) advanced->Release();
  if (callback != nullptr) callback->OnStatus(WMT_CLOSED, WM_OK, WMT_TYPE_DWORD, nullptr, context);
  lock.lock();
}

bool CWmaReader::WaitForClock(std::unique_lock<std::mutex>& lock, uint64_t time, void* context) {
  while (commands_.empty()) {
    if (paused_) {
      wake_.wait(lock);
      continue;
    }
    if (!clockOn_ || (clockGiven_ && time < clock_)) return true;
    if (clockGiven_ && announced_ != clock_ && advanced_ != nullptr) {
      // Everything before the clock is out: say so, and wait for more time.
      const uint64_t t = clock_;
      announced_ = t;
      IWMReaderCallbackAdvanced* advanced = advanced_;
      lock.unlock();
      advanced->OnTime(t, context);
      lock.lock();
      continue;
    }
    wake_.wait(lock);
  }
  return false;
}

void CWmaReader::DoStart(std::unique_lock<std::mutex>& lock, const TCommand& command) {
  taken_ = command.serial;
  clockGiven_ = false;
  announced_ = UINT64_MAX;
  paused_ = false;
  wake_.notify_all();
  const int rate = static_cast<int>(output_.nSamplesPerSec);
  const int channels = output_.nChannels;
  if (!open_ || rate <= 0) return;
  const uint64_t startFrame = TimeFrame(command.start, rate);
  const uint64_t endFrame =
      command.duration == 0 ? UINT64_MAX : TimeFrame(command.start + command.duration, rate);
  lock.unlock();
  const bool positioned = decoder_.SeekTo(startFrame);
  lock.lock();
  Status(lock, WMT_STARTED, positioned ? WM_OK : WM_E_FAIL, command.context);
  while (positioned && commands_.empty()) {
    lock.unlock();
    const int16_t* pcm = nullptr;
    uint64_t first = 0;
    size_t frames = decoder_.Read(&pcm, &first);
    if (first >= endFrame) frames = 0;
    if (frames > 0 && first + frames > endFrame) frames = static_cast<size_t>(endFrame - first);
    lock.lock();
    if (frames == 0) {
      if (commands_.empty()) Status(lock, WMT_END_OF_FILE, WM_OK, command.context);
      return;
    }
    const uint64_t time = FrameTime(first, rate);
    if (!WaitForClock(lock, time, command.context)) return;
    const auto bytes = static_cast<uint32_t>(frames * static_cast<size_t>(channels) * 2);
    // The block is filled again when the callee kept no reference to it.
    if (buffer_ == nullptr || !buffer_->Unshared()) {
      if (buffer_ != nullptr) buffer_->Release();
      buffer_ = new CSampleBuffer(bytes);
    }
    buffer_->Resize(bytes);
    std::memcpy(buffer_->Data(), pcm, bytes);
    IWMReaderCallback* callback = callback_;
    CSampleBuffer* buffer = buffer_;
    lock.unlock();
    callback->OnSample(0, time, FrameTime(first + frames, rate) - time, 0, buffer, command.context);
    lock.lock();
  }
}

}  // namespace wmaglue
