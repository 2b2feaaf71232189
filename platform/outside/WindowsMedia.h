// The Windows Media objects that the WMA library "wmaglue.so" hands out, as
// small C++ interfaces named after the Windows Media Format ones the engine
// calls. The library implements them; the engine holds them by pointer and
// gives them back with Release. Only what the engine uses is declared.
//
// Results are in the HRESULT style: below 0 is failure. Times are in units of
// 100 ns. Texts are UTF-16 (char16_t), terminated.
#pragma once

#include <cstdint>

#include "platform/WaveFormat.h"

using WmaResult = int32_t;

constexpr WmaResult WM_OK = 0;
constexpr WmaResult WM_FALSE = 1;
constexpr WmaResult WM_E_NOTIMPL = static_cast<WmaResult>(0x80004001);
constexpr WmaResult WM_E_NOINTERFACE = static_cast<WmaResult>(0x80004002);
constexpr WmaResult WM_E_POINTER = static_cast<WmaResult>(0x80004003);
constexpr WmaResult WM_E_FAIL = static_cast<WmaResult>(0x80004005);
constexpr WmaResult WM_E_UNEXPECTED = static_cast<WmaResult>(0x8000FFFF);
constexpr WmaResult WM_E_OUTOFMEMORY = static_cast<WmaResult>(0x8007000E);
constexpr WmaResult WM_E_INVALIDARG = static_cast<WmaResult>(0x80070057);
// The file is not a Windows Media file the library can read.
constexpr WmaResult WM_E_INVALID_FORMAT = static_cast<WmaResult>(0xC00D0BBD);
// No attribute of that name, or the index is past the last one.
constexpr WmaResult WM_E_ATTRIBUTE_NOT_FOUND = static_cast<WmaResult>(0xC00D07F0);

inline bool WmFailed(WmaResult r) { return r < 0; }

#pragma pack(push, 1)
struct WMGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
#pragma pack(pop)
static_assert(sizeof(WMGuid) == 16, "a GUID is 16 bytes");

inline bool operator==(const WMGuid& a, const WMGuid& b) {
  if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.data4[i] != b.data4[i]) return false;
  return true;
}

// Interface identities that QueryInterface answers.
inline constexpr WMGuid IID_IWMUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr WMGuid IID_IWMHeaderInfo = {
    0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
inline constexpr WMGuid IID_IWMReaderCallback = {
    0x96406BD8, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
inline constexpr WMGuid IID_IWMReaderCallbackAdvanced = {
    0x96406BEB, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};

// Media type identities.
inline constexpr WMGuid WMMEDIATYPE_Audio = {
    0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr WMGuid WMMEDIASUBTYPE_PCM = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr WMGuid WMMEDIASUBTYPE_WMAudioV2 = {
    0x00000161, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr WMGuid WMFORMAT_WaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// A media type. Its format block (a wave format for audio) follows the record
// in the same allocation when the library fills one in (GetMediaType).
struct WM_MEDIA_TYPE {
  WMGuid majortype;
  WMGuid subtype;
  int32_t bFixedSizeSamples;
  int32_t bTemporalCompression;
  uint32_t lSampleSize;
  WMGuid formattype;
  void* pUnk;  // unused, null
  uint32_t cbFormat;
  uint8_t* pbFormat;
};

// What a reader reports through OnStatus.
enum WMT_STATUS : int32_t {
  WMT_ERROR = 0,
  WMT_OPENED = 1,
  WMT_END_OF_FILE = 4,
  WMT_STARTED = 11,
  WMT_STOPPED = 12,
  WMT_CLOSED = 13,
};

// The kinds of attribute values and of OnStatus values.
enum WMT_ATTR_DATATYPE : int32_t {
  WMT_TYPE_DWORD = 0,   // 4 bytes
  WMT_TYPE_STRING = 1,  // UTF-16 with its terminator; length in bytes includes it
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,  // 4 bytes
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
};

enum WMT_PLAY_MODE : int32_t {
  WMT_PLAY_MODE_AUTOSELECT = 0,
  WMT_PLAY_MODE_LOCAL = 1,
};

// Counted references: an object lives until its last Release.
struct IWMUnknown {
  virtual WmaResult QueryInterface(const WMGuid& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IWMUnknown() = default;
};

// A block of bytes: compressed or PCM samples.
struct INSSBuffer : IWMUnknown {
  virtual WmaResult GetLength(uint32_t* length) = 0;
  virtual WmaResult SetLength(uint32_t length) = 0;  // at most the maximum length
  virtual WmaResult GetMaxLength(uint32_t* length) = 0;
  virtual WmaResult GetBuffer(uint8_t** buffer) = 0;
  virtual WmaResult GetBufferAndLength(uint8_t** buffer, uint32_t* length) = 0;

 protected:
  ~INSSBuffer() = default;
};

// The media type of a writer's input or a reader's output.
struct IWMMediaProps : IWMUnknown {
  // With type null, *size receives the bytes needed (record and format block);
  // otherwise the record is filled, its format block placed behind it, when
  // *size is large enough.
  virtual WmaResult GetMediaType(WM_MEDIA_TYPE* type, uint32_t* size) = 0;
  virtual WmaResult SetMediaType(const WM_MEDIA_TYPE* type) = 0;

 protected:
  ~IWMMediaProps() = default;
};
struct IWMInputMediaProps : IWMMediaProps {
 protected:
  ~IWMInputMediaProps() = default;
};
struct IWMOutputMediaProps : IWMMediaProps {
 protected:
  ~IWMOutputMediaProps() = default;
};

// What the engine gives a reader to hear from it. The reader calls it on a
// thread of its own and never holds a lock of its own while it does.
struct IWMReaderCallback : IWMUnknown {
  virtual WmaResult OnStatus(WMT_STATUS status, WmaResult result, WMT_ATTR_DATATYPE type,
                             const uint8_t* value, void* context) = 0;
  // Decoded PCM of output `output` in the output's format.
  virtual WmaResult OnSample(uint32_t output, uint64_t time, uint64_t duration, uint32_t flags,
                             INSSBuffer* sample, void* context) = 0;

 protected:
  ~IWMReaderCallback() = default;
};

// Asked for with QueryInterface on the callback given to Open.
struct IWMReaderCallbackAdvanced : IWMUnknown {
  virtual WmaResult OnStreamSample(uint16_t stream, uint64_t time, uint64_t duration,
                                   uint32_t flags, INSSBuffer* sample, void* context) = 0;
  // With the user-provided clock on: the reader has delivered everything
  // before `time` and waits for a DeliverTime beyond it.
  virtual WmaResult OnTime(uint64_t time, void* context) = 0;
  virtual WmaResult OnStreamSelection(uint16_t count, uint16_t* streams, int32_t* selections,
                                      void* context) = 0;
  virtual WmaResult OnOutputPropsChanged(uint32_t output, WM_MEDIA_TYPE* type, void* context) = 0;

 protected:
  ~IWMReaderCallbackAdvanced() = default;
};

// Reads and decodes one file on a thread of its own. Open returns at once;
// WMT_OPENED arrives when the file is open (with the result of opening). Start
// begins delivery at a time (WMT_STARTED, samples, WMT_END_OF_FILE); Stop
// ends it without waiting for the thread (WMT_STOPPED follows); Close sends
// WMT_CLOSED. QueryInterface(IID_IWMHeaderInfo) gives the open file's
// attributes, "Duration" (QWORD, 100 ns) and "Bitrate" (DWORD, bit/s) among them.
struct IWMReader : IWMUnknown {
  virtual WmaResult Open(const char16_t* url, IWMReaderCallback* callback, void* context) = 0;
  virtual WmaResult Close() = 0;
  virtual WmaResult GetOutputCount(uint32_t* outputs) = 0;
  virtual WmaResult GetOutputProps(uint32_t output, IWMOutputMediaProps** props) = 0;
  virtual WmaResult SetOutputProps(uint32_t output, IWMOutputMediaProps* props) = 0;
  // duration 0: to the end; rate 1.0 only.
  virtual WmaResult Start(uint64_t start, uint64_t duration, float rate, void* context) = 0;
  virtual WmaResult Stop() = 0;
  virtual WmaResult Pause() = 0;
  virtual WmaResult Resume() = 0;

 protected:
  ~IWMReader() = default;
};

// Pacing of a reader. With the user-provided clock on, the reader delivers
// only samples before the last time given to DeliverTime.
struct IWMReaderAdvanced : IWMUnknown {
  virtual WmaResult SetUserProvidedClock(int32_t on) = 0;
  virtual WmaResult GetUserProvidedClock(int32_t* on) = 0;
  virtual WmaResult DeliverTime(uint64_t time) = 0;
  // The consumer took `lateness` longer than the clock allowed.
  virtual WmaResult NotifyLateDelivery(int64_t lateness) = 0;
  virtual WmaResult SetPlayMode(WMT_PLAY_MODE mode) = 0;

 protected:
  ~IWMReaderAdvanced() = default;
};

// The attributes of a file (a reader's or an editor's). Stream 0 is the
// file-wide one. Name lengths count UTF-16 units with the terminator; value
// lengths count bytes.
struct IWMHeaderInfo : IWMUnknown {
  virtual WmaResult GetAttributeCount(uint16_t stream, uint16_t* count) = 0;
  // With name or value null, the matching length receives what is needed.
  virtual WmaResult GetAttributeByIndex(uint16_t index, uint16_t* stream, char16_t* name,
                                        uint16_t* nameLength, WMT_ATTR_DATATYPE* type,
                                        uint8_t* value, uint16_t* valueLength) = 0;
  virtual WmaResult GetAttributeByName(uint16_t* stream, const char16_t* name,
                                       WMT_ATTR_DATATYPE* type, uint8_t* value,
                                       uint16_t* valueLength) = 0;
  // Sets or replaces an attribute; an editor's reach the file at Flush or Close.
  virtual WmaResult SetAttribute(uint16_t stream, const char16_t* name, WMT_ATTR_DATATYPE type,
                                 const uint8_t* value, uint16_t valueLength) = 0;

 protected:
  ~IWMHeaderInfo() = default;
};

// Edits the attributes of a finished file; the audio is left as it is.
// QueryInterface(IID_IWMHeaderInfo) gives the attributes.
struct IWMMetadataEditor : IWMUnknown {
  virtual WmaResult Open(const char16_t* path) = 0;
  // Writes changed attributes into the file, then closes it.
  virtual WmaResult Close() = 0;
  // Writes changed attributes into the file and keeps it open.
  virtual WmaResult Flush() = 0;

 protected:
  ~IWMMetadataEditor() = default;
};

// What a writer makes: codec, bit rate, rate and channels.
struct IWMProfile : IWMUnknown {
 protected:
  ~IWMProfile() = default;
};

// Encodes PCM into a WMA file. SetProfile, then the input's media type
// (GetInputProps, SetMediaType, SetInputProps), BeginWriting, samples, and
// EndWriting, which finishes the file; a writer released while writing
// finishes it too.
struct IWMWriter : IWMUnknown {
  virtual WmaResult SetProfile(IWMProfile* profile) = 0;
  virtual WmaResult GetInputCount(uint32_t* inputs) = 0;
  virtual WmaResult GetInputProps(uint32_t input, IWMInputMediaProps** props) = 0;
  virtual WmaResult SetInputProps(uint32_t input, IWMInputMediaProps* props) = 0;
  virtual WmaResult BeginWriting() = 0;
  virtual WmaResult EndWriting() = 0;
  // A buffer of `size` bytes for WriteSample.
  virtual WmaResult AllocateSample(uint32_t size, INSSBuffer** sample) = 0;
  virtual WmaResult WriteSample(uint32_t input, uint64_t time, uint32_t flags,
                                INSSBuffer* sample) = 0;
  virtual WmaResult Flush() = 0;

 protected:
  ~IWMWriter() = default;
};
