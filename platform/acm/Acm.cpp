#include "platform/acm/Acm.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/WaveFormatBuffer.h"
#include "platform/acm/ALawDriver.h"
#include "platform/acm/AcmDriver.h"
#include "platform/acm/ImaAdpcmDriver.h"
#include "platform/acm/MsAdpcmDriver.h"
#include "platform/acm/MuLawDriver.h"
#include "platform/acm/PcmDriver.h"
#include "platform/acm/WidePcmDriver.h"

CAcmConversion::~CAcmConversion() = default;
MMRESULT CAcmConversion::Message(uint32_t, uintptr_t, uintptr_t) { return MMSYSERR_NOTSUPPORTED; }
CAcmDriver::~CAcmDriver() = default;

namespace acm {

bool IsUsablePcm(const tWAVEFORMATEX* f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) && f->nChannels >= 1 &&
         f->nChannels <= 8 && f->nSamplesPerSec >= 1 && f->nSamplesPerSec <= 1000000 &&
         f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
}

bool IsPcm16(const tWAVEFORMATEX* f, uint32_t rate, uint16_t channels) {
  return IsUsablePcm(f) && f->wBitsPerSample == 16 && f->nSamplesPerSec == rate &&
         f->nChannels == channels;
}

void MakePcm16(tWAVEFORMATEX* f, uint32_t rate, uint16_t channels) {
  f->wFormatTag = WAVE_FORMAT_PCM;
  f->nChannels = channels;
  f->nSamplesPerSec = rate;
  f->wBitsPerSample = 16;
  f->nBlockAlign = static_cast<uint16_t>(2 * channels);
  f->nAvgBytesPerSec = rate * f->nBlockAlign;
  f->cbSize = 0;
}

bool FixedFieldsAgree(const tWAVEFORMATEX* proposal, const tWAVEFORMATEX* dst, uint32_t flags) {
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != proposal->wFormatTag)
    return false;
  if ((flags & ACM_FORMATSUGGESTF_NCHANNELS) && dst->nChannels != proposal->nChannels) return false;
  if ((flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) &&
      dst->nSamplesPerSec != proposal->nSamplesPerSec)
    return false;
  if ((flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) &&
      dst->wBitsPerSample != proposal->wBitsPerSample)
    return false;
  return true;
}

uint16_t UsualBlockAlign(uint32_t rate, uint16_t channels) {
  uint32_t perChannel = rate <= 11025 ? 256 : (rate <= 22050 ? 512 : 1024);
  return static_cast<uint16_t>(perChannel * channels);
}

void CodecTagDetails(int index, uint16_t tag, uint32_t formatSize, const char* name,
                     ACMFORMATTAGDETAILSA* d) {
  d->dwFormatTag = index == 0 ? tag : WAVE_FORMAT_PCM;
  d->cbFormatSize = index == 0 ? formatSize : sizeof(tWAVEFORMATEX);
  d->fdwSupport = 0;
  d->cFormats = 1;
  CopyName(d->szFormatTag, sizeof d->szFormatTag, index == 0 ? name : "PCM");
}

MMRESULT SuggestPcm16(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t flags) {
  tWAVEFORMATEX f;
  MakePcm16(&f, src->nSamplesPerSec, src->nChannels);
  if (!FixedFieldsAgree(&f, dst, flags)) return ACMERR_NOTPOSSIBLE;
  *dst = f;
  return MMSYSERR_NOERROR;
}

void CopyName(char* out, size_t size, const char* name) {
  if (!out || size == 0) return;
  size_t n = std::min(size - 1, std::strlen(name));
  std::memcpy(out, name, n);
  out[n] = '\0';
}

}  // namespace acm

namespace {

constexpr uint32_t kSuggestFlags = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                                   ACM_FORMATSUGGESTF_NSAMPLESPERSEC |
                                   ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
constexpr uint32_t kConvertFlags =
    ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;

struct DriverEntry {
  std::unique_ptr<CAcmDriver> driver;
  uint32_t priority = 0;
  bool builtIn = false;
};

struct DriverInstance {
  std::shared_ptr<DriverEntry> entry;
};

struct Stream {
  std::shared_ptr<DriverEntry> entry;
  std::unique_ptr<CAcmConversion> conversion;
};

enum class Kind { kDriverId, kDriver, kStream };

// Every live handle with its kind; handles are checked here before use.
class Registry {
 public:
  Registry() {
    AddBuiltIn(new (std::nothrow) CMuLawDriver);
    AddBuiltIn(new (std::nothrow) CALawDriver);
    AddBuiltIn(new (std::nothrow) CImaAdpcmDriver);
    AddBuiltIn(new (std::nothrow) CMsAdpcmDriver);
    AddBuiltIn(new (std::nothrow) CWidePcmDriver);
    AddBuiltIn(new (std::nothrow) CPcmDriver);
  }

  std::mutex lock;
  // Search order: run-time drivers by falling priority (the newest first among
  // equals), then the built-in ones.
  std::vector<std::shared_ptr<DriverEntry>> drivers;
  std::unordered_map<const void*, Kind> live;
  std::unordered_map<const void*, std::shared_ptr<DriverEntry>> idOwners;
  std::unordered_map<const void*, std::unique_ptr<DriverInstance>> instances;
  std::unordered_map<const void*, std::unique_ptr<Stream>> streams;

  bool Is(const void* handle, Kind kind) {
    auto it = live.find(handle);
    return handle && it != live.end() && it->second == kind;
  }
  std::shared_ptr<DriverEntry> EntryOf(const void* handle) {
    auto it = live.find(handle);
    if (!handle || it == live.end()) return nullptr;
    switch (it->second) {
      case Kind::kDriverId:
        return idOwners[handle];
      case Kind::kDriver:
        return instances[handle]->entry;
      case Kind::kStream:
        return streams[handle]->entry;
    }
    return nullptr;
  }
  // The drivers to ask: the one behind an open driver handle, or all.
  bool Candidates(HACMDRIVER driver, std::vector<std::shared_ptr<DriverEntry>>* out) {
    if (!driver) {
      *out = drivers;
      return true;
    }
    if (!Is(driver, Kind::kDriver)) return false;
    out->push_back(instances[driver]->entry);
    return true;
  }

 private:
  void AddBuiltIn(CAcmDriver* driver) {
    if (!driver) return;
    auto entry = std::make_shared<DriverEntry>();
    entry->driver.reset(driver);
    entry->builtIn = true;
    live[entry.get()] = Kind::kDriverId;
    idOwners[entry.get()] = entry;
    drivers.push_back(entry);
  }
};

// Never destroyed: streams closed by other static objects at exit still find it.
Registry& Reg() {
  static Registry* registry = new Registry;
  return *registry;
}

// A copy of a format with its extra bytes; PCM records lose any extra count.
bool CopyFormat(const tWAVEFORMATEX* f, CWaveFormatBuffer* copy) {
  return copy->Set(f, f->wFormatTag == WAVE_FORMAT_PCM ? 0 : f->cbSize);
}

}  // namespace

MMRESULT acmDriverAdd(HACMDRIVERID* id, CAcmDriver* driver, uint32_t priority, uint32_t flags) {
  if (!id || !driver) return MMSYSERR_INVALPARAM;
  if (flags != 0) return MMSYSERR_INVALFLAG;
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  auto entry = std::make_shared<DriverEntry>();
  entry->driver.reset(driver);
  entry->priority = priority;
  auto at = std::find_if(r.drivers.begin(), r.drivers.end(),
                         [&](const auto& e) { return e->builtIn || e->priority <= priority; });
  r.drivers.insert(at, entry);
  r.live[entry.get()] = Kind::kDriverId;
  r.idOwners[entry.get()] = entry;
  *id = reinterpret_cast<HACMDRIVERID>(entry.get());
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverRemove(HACMDRIVERID id, uint32_t flags) {
  if (flags != 0) return MMSYSERR_INVALFLAG;
  Registry& r = Reg();
  std::shared_ptr<DriverEntry> entry;  // released after the lock: it may delete the driver
  std::lock_guard<std::mutex> guard(r.lock);
  if (!r.Is(id, Kind::kDriverId)) return MMSYSERR_INVALHANDLE;
  entry = r.idOwners[id];
  if (entry->builtIn) return MMSYSERR_INVALPARAM;
  r.drivers.erase(std::remove(r.drivers.begin(), r.drivers.end(), entry), r.drivers.end());
  r.idOwners.erase(id);
  r.live.erase(id);
  // Open streams and instances keep the driver alive until they close.
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID id, uint32_t flags) {
  if (!driver) return MMSYSERR_INVALPARAM;
  if (flags != 0) return MMSYSERR_INVALFLAG;
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  if (!r.Is(id, Kind::kDriverId)) return MMSYSERR_INVALHANDLE;
  auto instance = std::make_unique<DriverInstance>();
  instance->entry = r.idOwners[id];
  const void* handle = instance.get();
  r.instances[handle] = std::move(instance);
  r.live[handle] = Kind::kDriver;
  *driver = reinterpret_cast<HACMDRIVER>(const_cast<void*>(handle));
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverClose(HACMDRIVER driver, uint32_t flags) {
  if (flags != 0) return MMSYSERR_INVALFLAG;
  Registry& r = Reg();
  std::unique_ptr<DriverInstance> gone;  // destroyed outside the lock
  std::lock_guard<std::mutex> guard(r.lock);
  if (!r.Is(driver, Kind::kDriver)) return MMSYSERR_INVALHANDLE;
  gone = std::move(r.instances[driver]);
  r.instances.erase(driver);
  r.live.erase(driver);
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverID(HACMOBJ object, HACMDRIVERID* id, uint32_t flags) {
  if (!id) return MMSYSERR_INVALPARAM;
  if (flags != 0) return MMSYSERR_INVALFLAG;
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  std::shared_ptr<DriverEntry> entry = r.EntryOf(object);
  if (!entry) return MMSYSERR_INVALHANDLE;
  *id = reinterpret_cast<HACMDRIVERID>(entry.get());
  return MMSYSERR_NOERROR;
}

MMRESULT acmDriverDetailsA(HACMDRIVERID id, ACMDRIVERDETAILSA* details, uint32_t flags) {
  if (!details || details->cbStruct < sizeof(ACMDRIVERDETAILSA)) return MMSYSERR_INVALPARAM;
  if (flags != 0) return MMSYSERR_INVALFLAG;
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  if (!r.Is(id, Kind::kDriverId)) return MMSYSERR_INVALHANDLE;
  CAcmDriver* d = r.idOwners[id]->driver.get();
  details->cFormatTags = static_cast<uint32_t>(d->FormatTagCount());
  acm::CopyName(details->szShortName, sizeof details->szShortName, d->ShortName());
  acm::CopyName(details->szLongName, sizeof details->szLongName, d->LongName());
  return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER driver, const tWAVEFORMATEX* src, tWAVEFORMATEX* dst,
                          uint32_t cbwfxDst, uint32_t flags) {
  if (!src || !dst || cbwfxDst < sizeof(tWAVEFORMATEX)) return MMSYSERR_INVALPARAM;
  if (flags & ~kSuggestFlags) return MMSYSERR_INVALFLAG;
  std::vector<std::shared_ptr<DriverEntry>> candidates;
  {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!r.Candidates(driver, &candidates)) return MMSYSERR_INVALHANDLE;
  }
  for (const auto& entry : candidates)
    if (entry->driver->Suggest(src, dst, cbwfxDst, flags) == MMSYSERR_NOERROR)
      return MMSYSERR_NOERROR;
  return ACMERR_NOTPOSSIBLE;
}

MMRESULT acmFormatTagDetailsA(HACMDRIVER driver, ACMFORMATTAGDETAILSA* details, uint32_t flags) {
  if (!details || details->cbStruct < sizeof(ACMFORMATTAGDETAILSA)) return MMSYSERR_INVALPARAM;
  if (flags != ACM_FORMATTAGDETAILSF_INDEX && flags != ACM_FORMATTAGDETAILSF_FORMATTAG &&
      flags != ACM_FORMATTAGDETAILSF_LARGESTSIZE)
    return MMSYSERR_INVALFLAG;
  std::vector<std::shared_ptr<DriverEntry>> candidates;
  {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!r.Candidates(driver, &candidates)) return MMSYSERR_INVALHANDLE;
  }
  uint32_t wantedIndex = details->dwFormatTagIndex;
  uint32_t wantedTag = details->dwFormatTag;
  uint32_t index = 0;
  bool found = false;
  ACMFORMATTAGDETAILSA best{};
  std::vector<uint32_t> seen;  // each tag counts once in a search over all drivers
  for (const auto& entry : candidates) {
    for (int i = 0; i < entry->driver->FormatTagCount(); ++i) {
      ACMFORMATTAGDETAILSA d{};
      d.cbStruct = sizeof d;
      entry->driver->FormatTagDetails(i, &d);
      if (std::find(seen.begin(), seen.end(), d.dwFormatTag) != seen.end()) continue;
      seen.push_back(d.dwFormatTag);
      d.dwFormatTagIndex = index++;
      if (flags == ACM_FORMATTAGDETAILSF_INDEX && d.dwFormatTagIndex == wantedIndex) {
        *details = d;
        return MMSYSERR_NOERROR;
      }
      if (flags == ACM_FORMATTAGDETAILSF_FORMATTAG && d.dwFormatTag == wantedTag) {
        *details = d;
        return MMSYSERR_NOERROR;
      }
      if (flags == ACM_FORMATTAGDETAILSF_LARGESTSIZE &&
          (wantedTag == 0 || d.dwFormatTag == wantedTag) &&
          (!found || d.cbFormatSize > best.cbFormatSize)) {
        best = d;
        found = true;
      }
    }
  }
  if (!found) return ACMERR_NOTPOSSIBLE;
  *details = best;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const tWAVEFORMATEX* src,
                       const tWAVEFORMATEX* dst, const void* filter, uintptr_t callback,
                       uintptr_t instance, uint32_t flags) {
  if (!src || !dst || filter || callback || instance) return MMSYSERR_INVALPARAM;
  if (flags & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME)) return MMSYSERR_INVALFLAG;
  bool query = (flags & ACM_STREAMOPENF_QUERY) != 0;
  if (!query && !stream) return MMSYSERR_INVALPARAM;
  if (stream) *stream = nullptr;
  std::vector<std::shared_ptr<DriverEntry>> candidates;
  {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!r.Candidates(driver, &candidates)) return MMSYSERR_INVALHANDLE;
  }
  // The driver sees copies, so a PCM record's stray extra count is never followed.
  CWaveFormatBuffer srcCopy, dstCopy;
  if (!CopyFormat(src, &srcCopy) || !CopyFormat(dst, &dstCopy)) return MMSYSERR_NOMEM;
  const tWAVEFORMATEX* s = srcCopy.Get();
  const tWAVEFORMATEX* d = dstCopy.Get();
  for (const auto& entry : candidates) {
    if (query) {
      if (entry->driver->Open(s, d, nullptr) == MMSYSERR_NOERROR) return MMSYSERR_NOERROR;
      continue;
    }
    CAcmConversion* conversion = nullptr;
    MMRESULT result = entry->driver->Open(s, d, &conversion);
    if (result == MMSYSERR_NOMEM) return result;
    if (result != MMSYSERR_NOERROR || !conversion) continue;
    auto* opened = new (std::nothrow) Stream;
    if (!opened) {
      delete conversion;
      return MMSYSERR_NOMEM;
    }
    opened->entry = entry;
    opened->conversion.reset(conversion);
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    r.streams[opened].reset(opened);
    r.live[opened] = Kind::kStream;
    *stream = reinterpret_cast<HACMSTREAM>(opened);
    return MMSYSERR_NOERROR;
  }
  return ACMERR_NOTPOSSIBLE;
}

MMRESULT acmStreamClose(HACMSTREAM stream, uint32_t flags) {
  if (flags != 0) return MMSYSERR_INVALFLAG;
  Registry& r = Reg();
  std::unique_ptr<Stream> gone;  // destroyed after the lock is released
  {
    std::lock_guard<std::mutex> guard(r.lock);
    if (!r.Is(stream, Kind::kStream)) return MMSYSERR_INVALHANDLE;
    gone = std::move(r.streams[stream]);
    r.streams.erase(stream);
    r.live.erase(stream);
  }
  return MMSYSERR_NOERROR;
}

namespace {

CAcmConversion* ConversionOf(HACMSTREAM stream) {
  Registry& r = Reg();
  std::lock_guard<std::mutex> guard(r.lock);
  if (!r.Is(stream, Kind::kStream)) return nullptr;
  return r.streams[stream]->conversion.get();
}

}  // namespace

MMRESULT acmStreamSize(HACMSTREAM stream, uint32_t input, uint32_t* output, uint32_t flags) {
  if (!output) return MMSYSERR_INVALPARAM;
  if (flags != ACM_STREAMSIZEF_SOURCE && flags != ACM_STREAMSIZEF_DESTINATION)
    return MMSYSERR_INVALFLAG;
  CAcmConversion* c = ConversionOf(stream);
  if (!c) return MMSYSERR_INVALHANDLE;
  *output = 0;
  return c->Size(input, output, flags);
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags) {
  if (flags != 0) return MMSYSERR_INVALFLAG;
  if (!ConversionOf(stream)) return MMSYSERR_INVALHANDLE;
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER) || !header->pbSrc || !header->pbDst)
    return MMSYSERR_INVALPARAM;
  if (header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) {
    bool same = header->preparedStream == stream && header->preparedSrc == header->pbSrc &&
                header->preparedDst == header->pbDst &&
                header->preparedSrcLength == header->cbSrcLength &&
                header->preparedDstLength == header->cbDstLength;
    return same ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
  }
  header->preparedStream = stream;
  header->preparedSrc = header->pbSrc;
  header->preparedDst = header->pbDst;
  header->preparedSrcLength = header->cbSrcLength;
  header->preparedDstLength = header->cbDstLength;
  header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
  header->cbSrcLengthUsed = header->cbDstLengthUsed = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags) {
  if (flags != 0) return MMSYSERR_INVALFLAG;
  if (!ConversionOf(stream)) return MMSYSERR_INVALHANDLE;
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (header->preparedStream != stream) return MMSYSERR_INVALPARAM;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  header->preparedStream = nullptr;
  header->preparedSrc = header->preparedDst = nullptr;
  header->preparedSrcLength = header->preparedDstLength = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags) {
  if (flags & ~kConvertFlags) return MMSYSERR_INVALFLAG;
  CAcmConversion* c = ConversionOf(stream);
  if (!c) return MMSYSERR_INVALHANDLE;
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) || header->preparedStream != stream)
    return ACMERR_UNPREPARED;
  // The buffers must be the prepared ones, and no longer than prepared.
  if (header->pbSrc != header->preparedSrc || header->pbDst != header->preparedDst ||
      header->cbSrcLength > header->preparedSrcLength ||
      header->cbDstLength > header->preparedDstLength)
    return MMSYSERR_INVALPARAM;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
  header->cbSrcLengthUsed = header->cbDstLengthUsed = 0;
  if (flags & ACM_STREAMCONVERTF_START) c->Reset();
  MMRESULT result = c->Convert(header, flags);
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return result;
}

MMRESULT acmStreamReset(HACMSTREAM stream, uint32_t flags) {
  if (flags != 0) return MMSYSERR_INVALFLAG;
  CAcmConversion* c = ConversionOf(stream);
  if (!c) return MMSYSERR_INVALHANDLE;
  c->Reset();
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamMessage(HACMSTREAM stream, uint32_t message, uintptr_t param1, uintptr_t param2) {
  CAcmConversion* c = ConversionOf(stream);
  if (!c) return MMSYSERR_INVALHANDLE;
  return c->Message(message, param1, param2);
}
