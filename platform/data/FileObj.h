// A data object over a disk file.
//
// Only regular files are opened: a FIFO, device or directory is refused
// without blocking. Reads go through a buffer, since the engine reads in small
// blocks; writes go straight to the file, so a failed write (a full disk) is
// reported by the call that made it.
#pragma once

#include <string>
#include <vector>

#include "platform/data/RefObj.h"

class CFileObj : public CRefObj {
 public:
  CFileObj();
  ~CFileObj() override;

  int Copy(CRefObj* from) override;
  // A new descriptor on the same file, at the same position, with the same window.
  CRefObj* Copy() override;
  int IsOpen() override;
  // Closes the descriptor; the path stays readable.
  int Close() override;
  int64_t Read(void* buf, int64_t len) override;
  int64_t Write(const void* buf, int64_t len) override;
  int Seek(int64_t pos, int origin) override;
  int64_t Tell() override;
  int64_t Size() override;
  int Type() override;

  // mode 0 opens for reading, any other mode for reading and writing without
  // truncating. The third argument is reserved (pass 0). Any file open before
  // is closed first.
  virtual int Open(const std::string& path, int mode = 0, int reserved = 0);
  // Creates the file, or truncates an existing one, for reading and writing.
  virtual int Create(const std::string& path);

  const std::string& GetPath() const { return path_; }
  // Names the object without opening anything (for writers whose file is
  // written by an outside library).
  void SetPath(const std::string& path) { path_ = path; }
  int IsWritable() const { return writable_; }

 private:
  int OpenWithFlags(const std::string& path, int flags);
  void DropBuffer() { bufLen_ = 0; }

  int fd_ = -1;
  int writable_ = 0;
  std::string path_;
  int64_t pos_ = 0;
  // Read buffer: bufLen_ bytes of the file starting at bufStart_.
  std::vector<unsigned char> buf_;
  int64_t bufStart_ = 0;
  int64_t bufLen_ = 0;
};
