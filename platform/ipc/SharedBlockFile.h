// A fixed-size file mapped shared into every process that opens it: the
// stand-in for a named block of shared memory.
#pragma once

#include <cstdint>
#include <string>

class CSharedBlockFile {
 public:
  CSharedBlockFile() = default;
  ~CSharedBlockFile();
  CSharedBlockFile(const CSharedBlockFile&) = delete;
  CSharedBlockFile& operator=(const CSharedBlockFile&) = delete;

  // Opens the file at `path` (created with mode 0600 when missing) and maps
  // `size` bytes of it. With setSize nonzero the file is first given exactly
  // that size; otherwise a file of any other size is refused, since touching a
  // mapping beyond the end of a short file faults. Only a regular file of this
  // user is accepted. 1 on success, 0 with the reason in the last error.
  int Open(const std::string& path, int64_t size, int setSize);
  void Close();

  // Nonzero while the file still has the mapped size. Callers check this under
  // their lock before touching the mapping, in case the file was cut short.
  int SizeIntact() const;
  uint8_t* Data() const { return data_; }
  int64_t Size() const { return size_; }
  int IsOpen() const { return data_ != nullptr ? 1 : 0; }

 private:
  int fd_ = -1;
  uint8_t* data_ = nullptr;
  int64_t size_ = 0;
};
