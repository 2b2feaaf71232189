// The Windows Media reader: opens, decodes and delivers a file's audio on a
// thread of its own, paced by the caller's clock when asked to. The worker
// never holds the lock while it calls back, so the callbacks may call the
// reader (DeliverTime from OnTime above all).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/WaveFormat.h"
#include "platform/outside/WindowsMedia.h"
#include "platform/outside/wmaglue/AttributeList.h"
#include "platform/outside/wmaglue/RefCount.h"
#include "platform/outside/wmaglue/WmaDecoder.h"

namespace wmaglue {

class CSampleBuffer;

class CWmaReader final : public IWMReader, public IWMReaderAdvanced, public IWMHeaderInfo {
 public:
  CWmaReader();

  WmaResult QueryInterface(const WMGuid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  WmaResult Open(const char16_t* url, IWMReaderCallback* callback, void* context) override;
  WmaResult Close() override;
  WmaResult GetOutputCount(uint32_t* outputs) override;
  WmaResult GetOutputProps(uint32_t output, IWMOutputMediaProps** props) override;
  WmaResult SetOutputProps(uint32_t output, IWMOutputMediaProps* props) override;
  WmaResult Start(uint64_t start, uint64_t duration, float rate, void* context) override;
  WmaResult Stop() override;
  WmaResult Pause() override;
  WmaResult Resume() override;

  WmaResult SetUserProvidedClock(int32_t on) override;
  WmaResult GetUserProvidedClock(int32_t* on) override;
  WmaResult DeliverTime(uint64_t time) override;
  WmaResult NotifyLateDelivery(int64_t lateness) override;
  WmaResult SetPlayMode(WMT_PLAY_MODE mode) override;

  WmaResult GetAttributeCount(uint16_t stream, uint16_t* count) override;
  WmaResult GetAttributeByIndex(uint16_t index, uint16_t* stream, char16_t* name,
                                uint16_t* nameLength, WMT_ATTR_DATATYPE* type, uint8_t* value,
                                uint16_t* valueLength) override;
  WmaResult GetAttributeByName(uint16_t* stream, const char16_t* name, WMT_ATTR_DATATYPE* type,
                               uint8_t* value, uint16_t* valueLength) override;
  WmaResult SetAttribute(uint16_t stream, const char16_t* name, WMT_ATTR_DATATYPE type,
                         const uint8_t* value, uint16_t valueLength) override;

 private:
  enum class ECommand { kOpen, kStart, kStop, kClose, kQuit };
  struct TCommand {
    ECommand kind;
    std::string path;
    uint64_t start = 0;
    uint64_t duration = 0;
    void* context = nullptr;
    uint64_t serial = 0;
  };

  ~CWmaReader();
  void Post(TCommand command);
  void Run();
  void DoOpen(std::unique_lock<std::mutex>& lock, const TCommand& command);
  void DoStart(std::unique_lock<std::mutex>& lock, const TCommand& command);
  void DoClose(std::unique_lock<std::mutex>& lock);
  // Waits until the clock allows a sample at `time`; false when a command came first.
  bool WaitForClock(std::unique_lock<std::mutex>& lock, uint64_t time, void* context);
  bool OnWorker() const { return std::this_thread::get_id() == thread_.get_id(); }
  void Status(std::unique_lock<std::mutex>& lock, WMT_STATUS status, WmaResult result,
              void* context);

  CRefCount refs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TCommand> commands_;
  uint64_t posted_ = 0;  // serial of the last Start posted
  uint64_t taken_ = 0;   // serial of the last Start the worker took up
  bool deleteOnQuit_ = false;

  IWMReaderCallback* callback_ = nullptr;
  IWMReaderCallbackAdvanced* advanced_ = nullptr;  // held through QueryInterface
  void* openContext_ = nullptr;
  bool open_ = false;
  tWAVEFORMATEX output_{};
  CAttributeList attributes_;

  bool clockOn_ = false;
  bool clockGiven_ = false;  // a DeliverTime since the run started
  uint64_t clock_ = 0;
  uint64_t announced_ = UINT64_MAX;  // the clock OnTime was last sent for
  bool paused_ = false;

  CWmaDecoder decoder_;  // used by the worker alone
  CSampleBuffer* buffer_ = nullptr;
  std::thread thread_;
};

}  // namespace wmaglue
