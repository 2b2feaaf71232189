#include "engine/media/Peaks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "engine/base/AnalysisThresholds.h"
#include "engine/base/SampleBuffer.h"
#include "engine/media/MyArrayList.h"
#include "platform/data/ByteOrder.h"
#include "platform/data/FileObj.h"
#include "platform/os/FileOps.h"

namespace {
constexpr int64_t kHeaderBytes = 12;
constexpr int kTailNumbers = 7;

// Where a cache file for name lives: in the engine's temporary folder.
std::string PathInTempFolder(const std::string& name, bool /*create*/) { return name; }

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}
}  // namespace

struct CPeaks::Record {
  long lengthMs = 0;
  long trimStart = 0;
  long trimEnd = 0;
  int references = 1;
  unsigned long milsPerPeak = 0;
  long numPeaks = 0;
  long bufferedPeaks = 0;
  std::vector<uint8_t> buffer;
  double fractional = 0.0;
  int wroteToDisk = 0;
  long maxRight = 0;
  long maxLeft = 0;
  std::string fileName;
  int conserving = 0;
  int loaded = 0;
  int reloading = 0;
  int foundSound = 0;
  int finished = 0;
  int totalSilence = 0;
  int partialSong = 0;
  int streamingMode = -1;
  int badFrames = 0;
  int nonCDFrames = 0;
};

CPeaks::CPeaks() = default;

CPeaks::CPeaks(unsigned long milsPerPeak, long count) {
  record_ = new Record;
  InitPeakData(milsPerPeak, count, 0);
}

CPeaks::CPeaks(const CPeaks& other) : record_(other.record_), virtualStart_(other.virtualStart_) {
  if (record_) ++record_->references;
}

CPeaks::CPeaks(const CPeaks& other, long offset, int relative) : record_(other.record_) {
  if (record_) ++record_->references;
  SetVirtualStart(relative ? offset + other.virtualStart_ : offset);
}

CPeaks::~CPeaks() {
  ClosePeaksFile();
  Release();
}

void CPeaks::Release() {
  if (!record_) return;
  if (--record_->references <= 0) {
    if (EndsWith(record_->fileName, "grd")) os::RemoveFile(record_->fileName);
    delete record_;
  }
  record_ = nullptr;
}

CPeaks::Record* CPeaks::EnsureRecord() {
  if (!record_) record_ = new Record;
  return record_;
}

CPeaks* CPeaks::Copy() { return new (std::nothrow) CPeaks(*this); }

CPeaks* CPeaks::Copy(long offset, int relative) {
  return new (std::nothrow) CPeaks(*this, offset, relative);
}

void CPeaks::Clone(CPeaks& other) {
  if (other.record_ == record_) return;
  ClosePeaksFile();
  Release();
  record_ = other.record_;
  if (record_) ++record_->references;
  virtualStart_ = other.virtualStart_;
}

void CPeaks::SetVirtualStart(long start) {
  long n = record_ ? record_->numPeaks : 0;
  virtualStart_ = n > 0 ? ((start % n) + n) % n : 0;
}

long CPeaks::DetermineBufferSize(unsigned long milsPerPeak) {
  long size = milsPerPeak ? static_cast<long>(10000 / milsPerPeak) : 0;
  return std::max(size, 100L);
}

void CPeaks::InitPeakData(unsigned long milsPerPeak, long count, int allInMemory) {
  Record* r = EnsureRecord();
  r->milsPerPeak = milsPerPeak;
  long size = DetermineBufferSize(milsPerPeak);
  if (count > 0) {
    r->numPeaks = count;
    if (count <= size || allInMemory) {
      r->streamingMode = 0;
      r->bufferedPeaks = count;
    } else {
      r->streamingMode = 1;
      r->bufferedPeaks = size;
    }
  } else {
    r->streamingMode = -1;
    r->numPeaks = 0;
    r->bufferedPeaks = size;
  }
  r->buffer.assign(static_cast<size_t>(r->bufferedPeaks), 0);
  r->lengthMs = r->trimStart = r->trimEnd = 0;
  r->maxLeft = r->maxRight = 0;
  r->fileName.clear();
  r->loaded = 1;
}

void CPeaks::InitStreamPeaksFromParse(int* toFile, CRefObj* source) {
  Record* r = EnsureRecord();
  r->foundSound = r->finished = 0;
  cursor_ = streamed_ = 0;
  if (toFile && *toFile)
    *toFile = (source && (source->Type() & kRefObjFile) && InitPeaksToFile(source)) ? 1 : 0;
}

void CPeaks::SilenceCheck(unsigned char peak) {
  Record* r = record_;
  const long t = static_cast<long>(r->milsPerPeak) * streamed_;
  const bool loud = peak > GetSilenceThreshold();
  if (!r->foundSound) {
    r->trimStart = t;
    if (!r->finished) r->trimEnd = t;
    if (loud) {
      r->foundSound = 1;
      r->totalSilence = 0;
    } else if (!r->finished) {
      r->totalSilence = 1;
    }
  } else if (!r->finished && loud) {
    r->trimEnd = t;
  }
}

void CPeaks::StreamPeakFromParse(unsigned char peak, int toFile) {
  Record* r = EnsureRecord();
  if (r->buffer.empty())
    r->buffer.assign(static_cast<size_t>(DetermineBufferSize(r->milsPerPeak)), 0);
  if (cursor_ >= static_cast<long>(r->buffer.size())) {
    // Without a peak file a sequence of unknown length grows in memory, so
    // no peak is ever overwritten.
    r->buffer.resize(r->buffer.size() * 2, 0);
    r->bufferedPeaks = static_cast<long>(r->buffer.size());
  }
  r->buffer[static_cast<size_t>(cursor_)] = peak;
  SilenceCheck(peak);
  ++cursor_;
  ++streamed_;
  if (streamed_ > r->numPeaks) r->numPeaks = streamed_;
  if (toFile && cursor_ >= static_cast<long>(r->buffer.size())) {
    StreamPeaksToFile(cursor_);
    cursor_ = 0;
  }
}

void CPeaks::FinishPeaksFromParse(long lengthMs, int toFile) {
  Record* r = EnsureRecord();
  if (toFile && cursor_ > 0) StreamPeaksToFile(cursor_);
  if (streamed_ > 0 && !r->buffer.empty()) {
    long last = cursor_ > 0 ? cursor_ - 1 : static_cast<long>(r->buffer.size()) - 1;
    if (r->buffer[static_cast<size_t>(last)] > GetPartialSongThreshold()) r->partialSong = 1;
  }
  r->lengthMs = lengthMs;
  r->numPeaks = streamed_;
  if (toFile && file_) {
    r->streamingMode = 1;
    FinishPeaksToFile();
    ClosePeaksFile();
  } else {
    r->streamingMode = 0;
    r->buffer.resize(static_cast<size_t>(streamed_));
    r->bufferedPeaks = streamed_;
  }
  r->foundSound = r->finished = r->loaded = 1;
  r->fractional = r->milsPerPeak
                      ? static_cast<double>(r->numPeaks) -
                            static_cast<double>(lengthMs) / static_cast<double>(r->milsPerPeak)
                      : 0.0;
}

void CPeaks::FinishPeaksFromParse(unsigned long count, long lengthMs, int toFile) {
  Record* r = EnsureRecord();
  r->numPeaks = static_cast<long>(count);
  if (r->numPeaks > r->bufferedPeaks) {
    r->streamingMode = 1;
  } else {
    r->streamingMode = 0;
    r->bufferedPeaks = r->numPeaks;
  }
  FinishPeaksFromParse(lengthMs, toFile);
}

long CPeaks::CheckMaxPeaks(const char* begin, const char* end, const tWAVEFORMATEX* format) {
  Record* r = EnsureRecord();
  long left = 0, right = 0;
  GetMaxSample(reinterpret_cast<const uint8_t*>(begin), reinterpret_cast<const uint8_t*>(end),
               format, left, right);
  left = std::min(left, 32767L);
  right = std::min(right, 32767L);
  r->maxLeft = std::max(r->maxLeft, left);
  r->maxRight = std::max(r->maxRight, right);
  return std::max(left, right);
}

void CPeaks::SetMaxPeaks(long left, long right) {
  Record* r = EnsureRecord();
  r->maxLeft = left;
  r->maxRight = right;
}

int CPeaks::LoadPeaksFromArrayList(CMyArrayList& list, unsigned long milsPerPeak, long lengthMs,
                                   long left, long right, CRefObj*) {
  InitPeakData(milsPerPeak, list.Count(), 1);
  InitStreamPeaksFromParse(nullptr, nullptr);
  for (int i = 0; i < list.Count(); ++i) {
    long value = 0;
    list.Index(i, &value);
    StreamPeakFromParse(static_cast<unsigned char>(std::clamp(value, 0L, 255L)), 0);
  }
  FinishPeaksFromParse(lengthMs, 0);
  SetMaxPeaks(left, right);
  return 1;
}

// ---- peak files ----

int CPeaks::InitPeaksToFile(CRefObj* source) {
  auto* file = dynamic_cast<CFileObj*>(source);
  if (!file || file->GetPath().empty()) return 0;
  return InitPeaksToFile(file->GetPath().c_str());
}

int CPeaks::InitPeaksToFile(const char* name) {
  if (!name || !*name) return 0;
  std::string path = std::string(name).substr(0, 255) + ".ipk";
  return _InitPeaksToFile_(PathInTempFolder(path, true).c_str());
}

int CPeaks::_InitPeaksToFile_(const char* path) {
  ClosePeaksFile();
  file_ = new CFileObj;
  fileWriteMode_ = true;
  int32_t zero[3] = {0, 0, 0};
  if (!file_->Create(path) || !WriteNumbers(zero, 3)) {
    ClosePeaksFile();
    os::RemoveFile(path);
    return 0;
  }
  return 1;
}

bool CPeaks::WriteNumbers(const int32_t* values, int count) {
  uint8_t bytes[4 * 16];
  for (int i = 0; i < count; ++i) StoreLE32(bytes + 4 * i, static_cast<uint32_t>(values[i]));
  return file_ && file_->Write(bytes, 4 * count) == 4 * count;
}

int CPeaks::StreamPeaksToFile(long count) {
  if (!file_ || !record_ || count <= 0) return 0;
  count = std::min(count, static_cast<long>(record_->buffer.size()));
  if (file_->Write(record_->buffer.data(), count) != count) {
    std::string path = file_->GetPath();
    ClosePeaksFile();
    os::RemoveFile(path);
    return 0;
  }
  return 1;
}

int CPeaks::FinishPeaksToFile() {
  if (!file_ || !record_) return 0;
  Record* r = record_;
  std::string path = file_->GetPath();
  int32_t header[3] = {static_cast<int32_t>(r->lengthMs), static_cast<int32_t>(r->milsPerPeak),
                       static_cast<int32_t>(r->numPeaks)};
  int32_t tail[kTailNumbers] = {static_cast<int32_t>(r->maxLeft),
                                static_cast<int32_t>(r->maxRight),
                                static_cast<int32_t>(r->trimStart),
                                static_cast<int32_t>(r->trimEnd),
                                r->totalSilence,
                                r->badFrames,
                                r->nonCDFrames};
  bool ok = file_->Seek(0, kSeekBegin) && WriteNumbers(header, 3) &&
            file_->Seek(kHeaderBytes + r->numPeaks, kSeekBegin) && WriteNumbers(tail, kTailNumbers);
  ClosePeaksFile();
  if (!ok) {
    os::RemoveFile(path);
    return 0;
  }
  r->fileName = path;
  r->loaded = 1;
  r->wroteToDisk = 1;
  return 1;
}

int CPeaks::InitBlankFile(const char* name, long lengthMs) {
  Record* r = EnsureRecord();
  unsigned long mils = r->milsPerPeak ? r->milsPerPeak : 10;
  long count = std::max(lengthMs / static_cast<long>(mils), 1L);
  InitPeakData(mils, count, 0);
  if (!InitPeaksToFile(name)) return 0;
  std::vector<uint8_t> zeros(static_cast<size_t>(count), 0);
  if (file_->Write(zeros.data(), count) != count) {
    std::string path = file_->GetPath();
    ClosePeaksFile();
    os::RemoveFile(path);
    return 0;
  }
  r->lengthMs = lengthMs;
  r->numPeaks = count;
  r->totalSilence = 1;
  return FinishPeaksToFile();
}

int CPeaks::OpenPeaksFile(const char* path, int mode) {
  ClosePeaksFile();
  if (!path) return 0;
  file_ = new CFileObj;
  fileWriteMode_ = mode != 0;
  if (!file_->Open(path, mode, 0)) {
    ClosePeaksFile();
    return 0;
  }
  return 1;
}

int CPeaks::LoadPeaksFromFile(const char* path, int headerOnly) {
  Record* r = EnsureRecord();
  CFileObj file;
  if (!path || !file.Open(path, 0, 0)) return 0;
  uint8_t header[kHeaderBytes];
  if (file.Read(header, kHeaderBytes) != kHeaderBytes) return 0;
  long length = static_cast<int32_t>(LoadLE32(header)),
       count = static_cast<int32_t>(LoadLE32(header + 8));
  auto mils = static_cast<unsigned long>(LoadLE32(header + 4));
  // A header that claims more peaks than the file holds is not trusted.
  if (length <= 0 || mils == 0 || count <= 0 ||
      file.Size() < kHeaderBytes + count + 4 * kTailNumbers)
    return 0;
  InitPeakData(mils, count, 0);
  std::vector<uint8_t>& buf = r->buffer;
  if (!headerOnly && r->streamingMode == 0) {
    if (file.Read(buf.data(), count) != count) return 0;
  } else {
    if (!file.Seek(kHeaderBytes + count - 1, kSeekBegin) || file.Read(&buf.back(), 1) != 1)
      return 0;
  }
  if (buf.back() > GetPartialSongThreshold()) r->partialSong = 1;
  uint8_t tail[4 * kTailNumbers];
  if (!file.Seek(kHeaderBytes + count, kSeekBegin) ||
      file.Read(tail, sizeof tail) != static_cast<int64_t>(sizeof tail))
    return 0;
  r->maxLeft = static_cast<int32_t>(LoadLE32(tail));
  r->maxRight = static_cast<int32_t>(LoadLE32(tail + 4));
  r->trimStart = static_cast<int32_t>(LoadLE32(tail + 8));
  r->trimEnd = static_cast<int32_t>(LoadLE32(tail + 12));
  r->totalSilence = static_cast<int32_t>(LoadLE32(tail + 16));
  r->badFrames = static_cast<int32_t>(LoadLE32(tail + 20));
  r->nonCDFrames = static_cast<int32_t>(LoadLE32(tail + 24));
  r->lengthMs = length;
  r->fileName = path;
  r->foundSound = r->finished = r->loaded = 1;
  r->fractional =
      static_cast<double>(count) - static_cast<double>(length) / static_cast<double>(mils);
  return 1;
}

int CPeaks::StreamPeaksFromFile(long count, unsigned long* got, int* atEnd) {
  if (got) *got = 0;
  if (atEnd) *atEnd = 0;
  if (!file_ || !record_ || record_->buffer.empty()) return 0;
  long left = record_->numPeaks - streamed_;
  long n = std::min({count, static_cast<long>(record_->buffer.size()), left});
  if (n <= 0) {
    if (atEnd) *atEnd = 1;
    return 1;
  }
  int64_t r = file_->Read(record_->buffer.data(), n);
  if (r < 0) r = 0;
  streamed_ += static_cast<long>(r);
  if (got) *got = static_cast<unsigned long>(r);
  if (atEnd) *atEnd = streamed_ >= record_->numPeaks;
  return r > 0;
}

int CPeaks::SeekToPeakIndex(long index) {
  if (!file_ || index < 0) return 0;
  if (!file_->Seek(kHeaderBytes + index, kSeekBegin)) return 0;
  if (!fileWriteMode_) streamed_ = index;
  return 1;
}

void CPeaks::ClosePeaksFile() {
  if (!file_) return;
  file_->Close();
  CRefObj* obj = file_;
  DeleteRefObject(&obj);
  file_ = nullptr;
  fileWriteMode_ = false;
}

void CPeaks::DeletePeakFile() {
  ClosePeaksFile();
  if (!record_ || record_->fileName.empty()) return;
  os::RemoveFile(record_->fileName);
  record_->fileName.clear();
  record_->wroteToDisk = 0;
}

int CPeaks::SaveAs(const char* path) {
  if (!record_ || !path) return 0;
  Record* r = record_;
  CPeaks writer;
  writer.Clone(*this);
  if (!writer._InitPeaksToFile_(path)) return 0;
  bool ok = true;
  if (r->streamingMode == 1 && !r->fileName.empty()) {
    // Copied window by window from the existing peak file.
    CFileObj in;
    ok = in.Open(r->fileName, 0, 0) && in.Seek(kHeaderBytes, kSeekBegin);
    std::vector<uint8_t> window(4096);
    for (long done = 0; ok && done < r->numPeaks;) {
      long n = std::min<long>(static_cast<long>(window.size()), r->numPeaks - done);
      ok = in.Read(window.data(), n) == n && writer.file_->Write(window.data(), n) == n;
      done += n;
    }
  } else {
    long n = std::min(r->numPeaks, static_cast<long>(r->buffer.size()));
    ok = writer.file_->Write(r->buffer.data(), n) == n;
  }
  if (!ok) {
    writer.ClosePeaksFile();
    os::RemoveFile(path);
    return 0;
  }
  return writer.FinishPeaksToFile();
}

int CPeaks::IsPeakFileOpen() const { return file_ != nullptr; }
int CPeaks::IsPeakFileWriteMode() const { return file_ && fileWriteMode_; }

// ---- queries ----

long CPeaks::LengthOfSound() const { return record_ ? record_->lengthMs : 0; }
unsigned long CPeaks::NumMilsPerPeak() const { return record_ ? record_->milsPerPeak : 0; }
long CPeaks::GetNumPeaks() const { return record_ && record_->loaded ? record_->numPeaks : 0; }
long CPeaks::GetBufferedPeaks() const { return record_ ? record_->bufferedPeaks : 0; }
unsigned char* CPeaks::GetDataPtr() const {
  return record_ && record_->loaded && !record_->buffer.empty() ? record_->buffer.data() : nullptr;
}
double CPeaks::GetFractionalAmps() const { return record_ ? record_->fractional : 0.0; }
long CPeaks::GetMaxLeft() const { return record_ ? record_->maxLeft : 0; }
long CPeaks::GetMaxRight() const { return record_ ? record_->maxRight : 0; }
long CPeaks::GetAutoTrimTimeStart() const { return record_ ? record_->trimStart : 0; }
long CPeaks::GetAutoTrimTimeEnd() const { return record_ ? record_->trimEnd : 0; }
int CPeaks::IsTotalSilence() const { return record_ ? record_->totalSilence : 0; }
int CPeaks::IsPartialSong() const { return record_ ? record_->partialSong : 0; }
int CPeaks::IsStreaming() const { return record_ ? record_->streamingMode : -1; }
int CPeaks::HasBadFrames() const { return record_ ? record_->badFrames : 0; }
void CPeaks::SetHasBadFrames(int value) { EnsureRecord()->badFrames = value; }
int CPeaks::HasNonCDQualityFrames() const { return record_ ? record_->nonCDFrames : 0; }
void CPeaks::SetHasNonCDQualityFrames(int value) { EnsureRecord()->nonCDFrames = value; }
int CPeaks::WroteToDisk() const { return record_ ? record_->wroteToDisk : 0; }
void CPeaks::SetWroteToDiskFlag(int value) { EnsureRecord()->wroteToDisk = value; }
const std::string& CPeaks::PeakFileName() const {
  static const std::string none;
  return record_ ? record_->fileName : none;
}

// ---- memory ----

void CPeaks::Unload() {
  if (!record_) return;
  std::vector<uint8_t>().swap(record_->buffer);
  record_->loaded = 0;
}

void CPeaks::ConserveMemory() {
  if (!record_ || record_->fileName.empty()) return;
  if (++record_->conserving >= record_->references) Unload();
}

// Reloads in the caller's thread: the peaks are small, and no thread is left
// running over a record that its views may free.
void CPeaks::ReloadFromDisk() {
  Record* r = record_;
  if (!r || r->loaded || r->fileName.empty() || r->reloading) return;
  if (r->conserving > 0) --r->conserving;
  if (r->conserving < r->references) {
    r->reloading = 1;
    std::string name = r->fileName;
    ++r->references;  // held while loading
    LoadPeaksFromFile(name.c_str(), 0);
    --r->references;
    r->reloading = 0;
  }
}

void CPeaks::IncrementReferences() { EnsureRecord()->references++; }
void CPeaks::DecrementReferences() {
  if (record_ && record_->references > 1) --record_->references;
}
int CPeaks::References() const { return record_ ? record_->references : 0; }

// ---- derived displays ----

void CPeaks::InitPeaksForMix(unsigned long milsPerPeak, long count, long lengthMs) {
  InitPeakData(milsPerPeak, count, 1);
  record_->lengthMs = lengthMs;
  cursor_ = streamed_ = 0;
}

void CPeaks::Mix(CPeaks* other, long index, long count) {
  Record* r = EnsureRecord();
  if (!other || !other->record_ || count <= 0 || index < 0) return;
  const Record* o = other->record_;
  long n = o->numPeaks;
  if (n <= 0 || o->buffer.empty()) return;
  bool fromFile = o->streamingMode == 1 && !o->fileName.empty();
  CFileObj in;
  if (fromFile && !in.Open(o->fileName, 0, 0)) return;
  cursor_ = streamed_ = index;
  for (long k = 0; k < count; ++k) {
    long src = (other->virtualStart_ + k) % n;
    uint8_t theirs = 0;
    if (fromFile) {
      if (!in.Seek(kHeaderBytes + src, kSeekBegin) || in.Read(&theirs, 1) != 1) break;
    } else if (src < static_cast<long>(o->buffer.size())) {
      theirs = o->buffer[static_cast<size_t>(src)];
    }
    uint8_t mine =
        cursor_ < static_cast<long>(r->buffer.size()) ? r->buffer[static_cast<size_t>(cursor_)] : 0;
    StreamPeakFromParse(static_cast<unsigned char>(std::min(255, mine + theirs)), 0);
  }
  r->foundSound = r->finished = r->loaded = 1;
}

CPeaks* CPeaks::GenerateRateDisplay(CMap*, long, unsigned long) { return nullptr; }
