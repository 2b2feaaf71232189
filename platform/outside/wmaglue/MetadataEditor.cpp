#include "platform/outside/wmaglue/MetadataEditor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/outside/wmaglue/Utf16.h"

namespace wmaglue {

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies `size` bytes of `from`, starting at `offset`, to the end of `to`.
bool CopyRange(int from, off_t offset, uint64_t size, int to) {
  std::vector<uint8_t> buffer(1 << 20);
  while (size > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
    const ssize_t n = ::pread(from, buffer.data(), want, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || !WriteAll(to, buffer.data(), static_cast<size_t>(n))) return false;
    offset += n;
    size -= static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace

WmaResult CMetadataEditor::QueryInterface(const WMGuid& iid, void** object) {
  if (object == nullptr) return WM_E_POINTER;
  *object = nullptr;
  if (iid == IID_IWMUnknown)
    *object = static_cast<IWMMetadataEditor*>(this);
  else if (iid == IID_IWMHeaderInfo)
    *object = static_cast<IWMHeaderInfo*>(this);
  else
    return WM_E_NOINTERFACE;
  AddRef();
  return WM_OK;
}

uint32_t CMetadataEditor::AddRef() { return refs_.Add(); }

uint32_t CMetadataEditor::Release() {
  const uint32_t left = refs_.Drop();
  if (left == 0) delete this;
  return left;
}

WmaResult CMetadataEditor::Open(const char16_t* path) {
  if (path == nullptr) return WM_E_POINTER;
  if (open_) return WM_E_UNEXPECTED;
  path_ = Utf16ToUtf8(path);
  if (!header_.Load(path_)) return WM_E_INVALID_FORMAT;
  open_ = true;
  changed_ = false;
  return WM_OK;
}

WmaResult CMetadataEditor::Close() {
  if (!open_) return WM_E_UNEXPECTED;
  const WmaResult r = Flush();
  open_ = false;
  header_ = CAsfHeader();
  return r;
}

WmaResult CMetadataEditor::Flush() {
  if (!open_) return WM_E_UNEXPECTED;
  if (!changed_) return WM_OK;
  const WmaResult r = Rewrite();
  if (!WmFailed(r)) changed_ = false;
  return r;
}

// The new Header Object, then the rest of the file as it is, into a
// temporary file that replaces the target only when all of it is written.
WmaResult CMetadataEditor::Rewrite() {
  const int source = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return WM_E_FAIL;
  struct stat st {};
  if (::fstat(source, &st) != 0 || static_cast<uint64_t>(st.st_size) < header_.Size()) {
    ::close(source);
    return WM_E_FAIL;
  }
  const uint64_t rest = static_cast<uint64_t>(st.st_size) - header_.Size();
  const std::vector<uint8_t> header = header_.Serialize(rest);
  std::string temporary = path_ + ".XXXXXX";
  const int target = ::mkstemp(temporary.data());
  if (target < 0) {
    ::close(source);
    return WM_E_FAIL;
  }
  bool ok =
      ::fchmod(target, st.st_mode & 07777) == 0 && WriteAll(target, header.data(), header.size()) &&
      CopyRange(source, static_cast<off_t>(header_.Size()), rest, target) && ::fsync(target) == 0;
  ok = ::close(target) == 0 && ok;
  ::close(source);
  ok = ok && ::rename(temporary.c_str(), path_.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return WM_E_FAIL;
  }
  // The file now starts with the header just written.
  header_.Parse(header.data(), header.size());
  return WM_OK;
}

WmaResult CMetadataEditor::GetAttributeCount(uint16_t stream, uint16_t* count) {
  return header_.attributes.GetCount(stream, count);
}

WmaResult CMetadataEditor::GetAttributeByIndex(uint16_t index, uint16_t* stream, char16_t* name,
                                               uint16_t* nameLength, WMT_ATTR_DATATYPE* type,
                                               uint8_t* value, uint16_t* valueLength) {
  return header_.attributes.GetByIndex(index, stream, name, nameLength, type, value, valueLength);
}

WmaResult CMetadataEditor::GetAttributeByName(uint16_t* stream, const char16_t* name,
                                              WMT_ATTR_DATATYPE* type, uint8_t* value,
                                              uint16_t* valueLength) {
  return header_.attributes.GetByName(stream, name, type, value, valueLength);
}

WmaResult CMetadataEditor::SetAttribute(uint16_t stream, const char16_t* name,
                                        WMT_ATTR_DATATYPE type, const uint8_t* value,
                                        uint16_t valueLength) {
  if (!open_) return WM_E_UNEXPECTED;
  const WmaResult r = header_.attributes.Set(stream, name, type, value, valueLength);
  if (!WmFailed(r)) changed_ = true;
  return r;
}

}  // namespace wmaglue
