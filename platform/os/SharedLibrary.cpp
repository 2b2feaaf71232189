#include "platform/os/SharedLibrary.h"

#include <dlfcn.h>

namespace os {

bool SharedLibrary::Load(const std::string& path) {
  Unload();
  error_.clear();
  if (path.empty() || path[0] != '/') {
    error_ = "not an absolute path: " + path;
    return false;
  }
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = ::dlerror();
    error_ = e ? e : "cannot load " + path;
    return false;
  }
  return true;
}

bool SharedLibrary::Unload() {
  if (!handle_) return true;
  int rc = ::dlclose(handle_);
  handle_ = nullptr;
  return rc == 0;
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ && name ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace os
