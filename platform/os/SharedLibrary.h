// Outside libraries loaded at run time by full path.
#pragma once

#include <string>

namespace os {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary() { Unload(); }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library at an absolute path (never a bare name, so nothing is
  // looked up along the system's search path).
  bool Load(const std::string& path);
  // True when nothing was loaded or the unload succeeded.
  bool Unload();
  bool IsLoaded() const { return handle_ != nullptr; }
  void* Symbol(const char* name) const;
  const std::string& Error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace os
