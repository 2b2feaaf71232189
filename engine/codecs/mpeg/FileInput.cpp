#include "engine/codecs/mpeg/FileInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "engine/codecs/mpeg/MpegDecoder.h"
#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

namespace {

int Probe(const char* name) { return name && *name ? 1 : 0; }

const MpegNamePattern kPatterns[] = {{"*", "any file name"}, {"-", "standard input"}};

int Describe(MpegModuleInfo* info) {
  *info = MpegModuleInfo{"Input From File", "Version 1.2", nullptr, nullptr, 2, kPatterns};
  return kMpegOk;
}

int New(MpegDecoder* host, const char* name, void** instance) {
  if (!name || !*name) return kMpegErrorBadArgument;
  auto* in = new (std::nothrow) CFileInput(host, name);
  if (!in) return kMpegErrorOutOfMemory;
  *instance = in;
  return kMpegOk;
}

int Delete(void* instance) {
  delete static_cast<CFileInput*>(instance);
  return kMpegOk;
}

int Open(void* instance) { return static_cast<CFileInput*>(instance)->Open(); }
int Close(void* instance) { return static_cast<CFileInput*>(instance)->Close(); }
int64_t Read(void* instance, void* buffer, int64_t size) {
  return static_cast<CFileInput*>(instance)->Read(buffer, size);
}
int Seek(void* instance, int64_t offset) {
  return static_cast<CFileInput*>(instance)->Seek(offset);
}
int Seekable(void* instance) { return static_cast<CFileInput*>(instance)->Seekable() ? 1 : 0; }
int64_t Size(void* instance) { return static_cast<CFileInput*>(instance)->Size(); }

const MpegInputModule kModule = {
    kMpegModuleVersion, Probe, Describe, New, Delete, Open, Close, Read, Seek,
    Seekable,           Size,  nullptr};

bool EndsWithMp3(const std::string& name) {
  if (name.size() < 4) return false;
  const char* e = name.c_str() + name.size() - 4;
  return e[0] == '.' && (e[1] | 0x20) == 'm' && (e[2] | 0x20) == 'p' && e[3] == '3';
}

// An ID3v1 field: ISO-8859-1 up to the first NUL, trailing blanks removed, as UTF-8.
std::string TagText(const uint8_t* p, int n) {
  int len = 0;
  while (len < n && p[len] != 0) ++len;
  while (len > 0 && p[len - 1] == ' ') --len;
  std::string out;
  for (int i = 0; i < len; ++i) {
    if (p[i] < 0x80) {
      out += static_cast<char>(p[i]);
    } else {
      out += static_cast<char>(0xC0 | (p[i] >> 6));
      out += static_cast<char>(0x80 | (p[i] & 0x3F));
    }
  }
  return out;
}

}  // namespace

const MpegInputModule* MpegFileInputModule() { return &kModule; }

int CFileInput::Open() {
  Close();
  standardInput_ = name_ == "-";
  int fd = -1;
  if (standardInput_) {
    fd = dup(STDIN_FILENO);
  } else {
    // Non-blocking so that a FIFO given by name cannot hang the open.
    fd = open(name_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  }
  int err = errno;
  struct stat st {};
  if (fd >= 0 && fstat(fd, &st) != 0) {
    err = errno;
    close(fd);
    fd = -1;
  }
  if (fd >= 0 && !standardInput_ && !S_ISREG(st.st_mode)) {
    err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    fd = -1;
  }
  if (fd < 0) {
    if (err == ENOENT || err == ENOTDIR) {
      MpegDecoderReportError(host_, kMpegErrorFileNotFound, kMsgFileNotFound, name_.c_str());
      return kMpegErrorFileNotFound;
    }
    if (err == EACCES || err == EPERM) {
      MpegDecoderReportError(host_, kMpegErrorPermissionDenied, kMsgPermissionDenied,
                             name_.c_str());
      return kMpegErrorPermissionDenied;
    }
    std::string detail = name_ + ": " + std::strerror(err);
    MpegDecoderReportError(host_, kMpegErrorCannotOpenInput, kMsgCannotOpenInputFile,
                           detail.c_str());
    return kMpegErrorCannotOpenInput;
  }
  if (!standardInput_) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file_ = fdopen(fd, "rb");
  if (!file_) {
    close(fd);
    return kMpegErrorOutOfMemory;
  }
  seekable_ = S_ISREG(st.st_mode) && lseek(fd, 0, SEEK_CUR) >= 0;
  size_ = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
  if (seekable_ && standardInput_) {
    off_t here = lseek(fd, 0, SEEK_CUR);
    size_ = here >= 0 && here <= st.st_size ? st.st_size - here : 0;
    seekable_ = false;  // offsets would not start at the stream's beginning
  }
  if (seekable_ && EndsWithMp3(name_)) PublishId3v1();
  return kMpegOk;
}

int CFileInput::Close() {
  if (file_) fclose(file_);
  file_ = nullptr;
  return kMpegOk;
}

int64_t CFileInput::Read(void* buffer, int64_t size) {
  if (!file_) return kMpegErrorWrongState;
  if (size <= 0) return size < 0 ? kMpegErrorBadArgument : 0;
  size_t n = fread(buffer, 1, static_cast<size_t>(size), file_);
  if (n == 0 && ferror(file_)) return kMpegErrorCannotOpenInput;
  return static_cast<int64_t>(n);
}

int CFileInput::Seek(int64_t offset) {
  if (!file_ || !seekable_ || offset < 0) return kMpegErrorBadArgument;
  return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0 ? kMpegOk : kMpegErrorBadArgument;
}

void CFileInput::PublishId3v1() {
  if (size_ < 128) return;
  uint8_t tag[128];
  bool ok = fseeko(file_, static_cast<off_t>(size_ - 128), SEEK_SET) == 0 &&
            fread(tag, 1, 128, file_) == 128;
  fseeko(file_, 0, SEEK_SET);
  if (!ok || std::memcmp(tag, "TAG", 3) != 0) return;
  MpegDecoderSetPropertyString(host_, "id3/title", TagText(tag + 3, 30).c_str());
  MpegDecoderSetPropertyString(host_, "id3/artist", TagText(tag + 33, 30).c_str());
  MpegDecoderSetPropertyString(host_, "id3/album", TagText(tag + 63, 30).c_str());
  MpegDecoderSetPropertyString(host_, "id3/year", TagText(tag + 93, 4).c_str());
  MpegDecoderSetPropertyString(host_, "id3/comment", TagText(tag + 97, 30).c_str());
  MpegDecoderSetPropertyInteger(host_, "id3/genre", tag[127]);
}

}  // namespace mpegaudio
