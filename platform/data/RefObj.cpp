#include "platform/data/RefObj.h"

#include <algorithm>
#include <cerrno>

#include "platform/LastError.h"

CRefObj::~CRefObj() = default;

int CRefObj::Copy(CRefObj* from) {
  if (from == nullptr || from == this) return from != nullptr;
  dataStart_ = from->dataStart_;
  dataEnd_ = from->dataEnd_;
  virtualStart_ = from->virtualStart_;
  dataMode_ = from->dataMode_;
  return 1;
}

// The base holds no data; the storage classes provide these.
CRefObj* CRefObj::Copy() {
  SetLastError(EBADF);
  return nullptr;
}
int CRefObj::IsOpen() { return 0; }
int CRefObj::Close() { return 1; }
int64_t CRefObj::Read(void*, int64_t) {
  SetLastError(EBADF);
  return 0;
}
int64_t CRefObj::Write(const void*, int64_t) {
  SetLastError(EBADF);
  return 0;
}
int CRefObj::Seek(int64_t, int) {
  SetLastError(EBADF);
  return 0;
}
int64_t CRefObj::Tell() { return -1; }
int64_t CRefObj::Size() { return -1; }
int CRefObj::Type() { return 0; }

int CRefObj::SetDataOffsets(int64_t start, int64_t end) {
  int64_t size = Size();
  if (start < 0 || end < start || (size >= 0 && start > size)) {
    SetLastError(EINVAL);
    return 0;
  }
  if (size >= 0 && end > size) end = size;
  dataStart_ = start;
  dataEnd_ = end;
  if (virtualStart_ >= end - start) virtualStart_ = 0;
  return 1;
}

void CRefObj::ResetDataWindow() {
  dataStart_ = 0;
  dataEnd_ = -1;
  virtualStart_ = 0;
  dataMode_ = 0;
}

int64_t CRefObj::GetDataStart() { return dataStart_; }

int64_t CRefObj::GetDataEnd() {
  if (dataEnd_ >= 0) return dataEnd_;
  int64_t size = Size();
  return size < dataStart_ ? dataStart_ : size;
}

int64_t CRefObj::GetVirtualStart() { return virtualStart_; }

int CRefObj::SetVirtualStart(int64_t start) {
  if (start != 0 && (start < 0 || start >= DataSize())) {
    SetLastError(EINVAL);
    return 0;
  }
  virtualStart_ = start;
  return 1;
}

int64_t CRefObj::DataSize() { return GetDataEnd() - GetDataStart(); }

int CRefObj::SetDataMode(int mode) {
  int previous = dataMode_;
  dataMode_ = mode != 0 ? 1 : 0;
  return previous;
}

int CRefObj::SeekToData(int64_t offset) {
  int64_t size = DataSize();
  if (offset < 0 || (dataMode_ == 0 && offset > size)) {
    SetLastError(EINVAL);
    return 0;
  }
  if (dataMode_ == 1) offset = size > 0 ? (virtualStart_ + offset) % size : 0;
  return Seek(GetDataStart() + offset, kSeekBegin);
}

int64_t CRefObj::ReadData(void* buf, int64_t len) {
  if (buf == nullptr || len <= 0) return 0;
  auto* out = static_cast<unsigned char*>(buf);
  int64_t start = GetDataStart(), end = GetDataEnd();
  int64_t done = 0;
  bool wrapped = false;  // guards against looping over a window that yields nothing
  while (done < len) {
    int64_t pos = Tell();
    if (pos < 0) break;
    if (pos < start || pos >= end) {
      if (dataMode_ == 0 || end <= start || wrapped) break;
      if (!Seek(start, kSeekBegin)) break;
      wrapped = true;
      continue;
    }
    int64_t got = Read(out + done, std::min(len - done, end - pos));
    if (got <= 0) break;
    done += got;
    wrapped = false;
  }
  return done;
}

int64_t CRefObj::WriteData(const void* buf, int64_t len) {
  if (buf == nullptr || len <= 0) return 0;
  int64_t pos = Tell();
  if (pos < 0) return 0;
  if (pos < dataStart_) {
    SetLastError(EINVAL);
    return 0;
  }
  if (dataEnd_ >= 0) len = std::min(len, dataEnd_ - pos);
  if (len <= 0) return 0;
  return Write(buf, len);
}

void DeleteRefObject(CRefObj** obj) {
  if (obj == nullptr || *obj == nullptr) return;
  CRefObj* o = *obj;
  *obj = nullptr;
  if (--o->refCount <= 0) delete o;
}
