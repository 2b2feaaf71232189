// The engine's WMA decoder object. It has the ACMObject interface, but the
// decoding is done by a Windows Media reader from the WMA library, which runs
// on a thread of its own and pushes decoded PCM to this object, its callback.
// What arrives waits in a byte queue until the engine asks for it through
// Convert. A user-provided clock paces the reader: it decodes about one
// second ahead of what it delivered, and stops while the queue holds more
// than MaxBufferOverload bytes.
//
// The source bytes handed to Convert are not used: the reader reads the file
// itself. The data object's window stands for the compressed stream
// (duration × bit rate), so source positions still measure progress.
//
// Life: LoadInfo reads the stream's format and attributes (the loader then
// makes the decoder as a copy), the whole-file scan runs a reader once, and
// CWMABuffer reads through Convert and seeks through Seek.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "engine/codecs/ACMObject.h"
#include "platform/outside/WindowsMedia.h"
#include "utilities/data/ByteQueue.h"

struct TMusicInfo;

class WMAObject : public ACMObject, public IWMReaderCallback, public IWMReaderCallbackAdvanced {
 public:
  static constexpr unsigned long kDefaultMaxBufferOverload = 1000000;

  // The destination becomes 16-bit PCM of the source's channels and rate.
  WMAObject(const tWAVEFORMATEX* source, unsigned long flags, int64_t formatBytes = -1);
  // The path, formats, queue settings and limit; no reader.
  WMAObject(const WMAObject& other);
  ~WMAObject() override;

  ACMObject* Copy() override;
  int IsACM() override { return 0; }
  int ACMDriverInstalled() override { return 1; }
  int ActivateDriver(int) override { return 1; }
  int SuggestPCMFormat() override { return 1; }
  int SetDestFormat(const tWAVEFORMATEX* format) override;
  int GetSrcFormatStr(char* out, long size) override;
  // The reader is opened on demand; nothing to do.
  int EnableStream(int) override { return 1; }
  double GetConvertedBufferSize(int64_t sourceBytes) override;
  int64_t GetSourceBufferSize(int64_t pcmBytes) override;
  long BlockSize(const tWAVEFORMATEX* format) override;
  // Takes up to dstSize bytes (whole sample frames) from the queue, waiting
  // for the reader while it has not ended; CONVERSION_FIRST opens the reader
  // afresh and starts it at 0. srcLength becomes the source bytes the PCM
  // stands for. The bytes copied, 0 at the end, -1 when the reader is not
  // running or delivers nothing for ten seconds.
  int64_t Convert(char* src, int64_t& srcLength, char*& dst, int64_t dstSize, TConversionFlag flag,
                  int mayGrow) override;
  bool Resume() override;
  bool Pause() override;
  CACMBuffer* NewBuffer(CACMBuffer& from) override;
  CACMBuffer* NewBuffer(CSeekMap* seekMap) override;
  // Restarts delivery at ms: the reader starts 0.1 s early and the bytes
  // before ms are dropped. 0 past the duration (the reader is left stopped).
  virtual int Seek(double ms);

  // The callback interfaces. The object's life is the engine's: the count
  // is kept for the reader but never deletes.
  WmaResult QueryInterface(const WMGuid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  WmaResult OnStatus(WMT_STATUS status, WmaResult result, WMT_ATTR_DATATYPE type,
                     const uint8_t* value, void* context) override;
  WmaResult OnSample(uint32_t output, uint64_t time, uint64_t duration, uint32_t flags,
                     INSSBuffer* sample, void* context) override;
  WmaResult OnStreamSample(uint16_t, uint64_t, uint64_t, uint32_t, INSSBuffer*, void*) override {
    return WM_OK;
  }
  WmaResult OnTime(uint64_t time, void* context) override;
  WmaResult OnStreamSelection(uint16_t, uint16_t*, int32_t*, void*) override { return WM_OK; }
  WmaResult OnOutputPropsChanged(uint32_t, WM_MEDIA_TYPE*, void*) override { return WM_OK; }

  // Opens a reader on file's path (or on the stored path when file is null)
  // and waits until it is open. True when already open.
  bool Open(CRefObj* file);
  // Stops and closes the reader; true when it closed cleanly.
  bool Close();
  // Empties the queue and starts delivery at time (100 ns).
  bool Start(uint64_t time);
  bool Stop();
  bool IsOpen();
  bool IsEOF();
  bool IsStarted();
  // The duration (100 ns) from the file's attributes.
  uint64_t GetDuration() const { return duration; }
  // The source bytes the stream stands for: duration × bit rate.
  int64_t GetDataSize() const;
  unsigned long BytesAvailable() { return queue.TotalBytesAvailable(); }
  // Reads the stream's PCM format, duration, bit rate and (into info, when
  // given) its attributes; sets file's data window to the stream's size and
  // the source format to WMA. The reader is closed again.
  bool LoadInfo(CRefObj* file, TMusicInfo* info);

  void SetMaxBufferOverload(unsigned long bytes) { maxBufferOverload = bytes; }
  unsigned long MaxBufferOverload() const { return maxBufferOverload; }

 protected:
  // Runs a reader over the whole stream through Convert.
  std::unique_ptr<CScanDecoder> NewScanDecoder(CRefObj* source, int64_t dataStart,
                                               int64_t dataEnd) override;

 private:
  class CReaderScan;

  // Waits (bounded) until flag is set; false on time-out.
  bool WaitFlag(bool& flag, int seconds);
  bool ReadOutputFormat();
  void ReleaseReader();
  void Deliver(uint64_t time);

  std::u16string path;
  IWMReader* reader = nullptr;
  IWMReaderAdvanced* advanced = nullptr;

  // Guards everything below but the queue and the count, and makes Stop
  // wait until a sample being stored is in the queue.
  std::mutex lock;
  std::condition_variable changed;
  bool opened = false;
  bool closed = false;
  WmaResult statusResult = WM_OK;
  bool open = false;
  bool started = false;
  bool endOfFile = false;
  uint64_t startTime = 0;
  bool seekPending = false;
  uint64_t requestedTime = 0;
  int64_t bytesToDrop = 0;
  uint64_t lastSampleTime = 0;
  std::thread::id consumer;
  // Bytes a waiting Convert waits for (0: none waits), and whether the
  // reader waits for room in the queue.
  unsigned long consumerNeeds = 0;
  bool readerWaiting = false;

  CByteQueue queue;
  unsigned long maxBufferOverload = kDefaultMaxBufferOverload;
  uint64_t duration = 0;
  std::atomic<uint32_t> references{1};
};
