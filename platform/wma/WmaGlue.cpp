#include "platform/wma/WmaGlue.h"

#include <dlfcn.h>

#include "platform/LastError.h"
#include "platform/Log.h"
#include "platform/paths/ProgramDirectory.h"

CWmaGlue::CWmaGlue() = default;

CWmaGlue::~CWmaGlue() { Unload(); }

int CWmaGlue::Load() {
  std::string path = CompanionLibrary(kWmaLibraryName);
  if (path.empty()) {
    Unload();
    SetLastError(kErrWmaUnavailable);
    return 0;
  }
  return LoadFile(path);
}

int CWmaGlue::LoadFile(const std::string& path) {
  Unload();
  // A full path only: a bare name would make the loader search the system.
  if (path.empty() || path[0] != '/') {
    SetLastError(kErrWmaUnavailable);
    return 0;
  }
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    if (LoggingNow()) LogFmt("WMA library not loaded: %s", why ? why : path.c_str());
    SetLastError(kErrWmaUnavailable);
    return 0;
  }
  struct Entry {
    const char* name;
    void** slot;
  };
  // Function and object pointers have the same representation on the
  // platforms we build for, as dlsym itself assumes.
  const Entry entries[] = {
      {"Quillon_WMCreateReader", reinterpret_cast<void**>(&createReader)},
      {"Quillon_WMCreateWriter", reinterpret_cast<void**>(&createWriter)},
      {"Quillon_WMCreateEditor", reinterpret_cast<void**>(&createEditor)},
      {"Quillon_GenerateProfile", reinterpret_cast<void**>(&generateProfile)},
      {"Quillon_ReleaseProfile", reinterpret_cast<void**>(&releaseProfile)},
      {"Quillon_GenerateCodecList", reinterpret_cast<void**>(&generateCodecList)},
  };
  for (const auto& e : entries) {
    *e.slot = dlsym(handle_, e.name);
    if (*e.slot == nullptr) {
      if (LoggingNow()) LogFmt("WMA library %s lacks %s", path.c_str(), e.name);
      Unload();
      SetLastError(kErrWmaUnavailable);
      return 0;
    }
  }
  return 1;
}

void CWmaGlue::Unload() {
  createReader = nullptr;
  createWriter = nullptr;
  createEditor = nullptr;
  generateProfile = nullptr;
  releaseProfile = nullptr;
  generateCodecList = nullptr;
  if (handle_ != nullptr) {
    dlclose(handle_);
    handle_ = nullptr;
  }
}

int CWmaGlue::Probe(const std::string& path) {
  CWmaGlue glue;
  return glue.LoadFile(path);
}
