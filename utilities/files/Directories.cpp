#include "utilities/files/Directories.h"

#include <cstring>

#include "platform/os/Directories.h"
#include "platform/os/FileStatus.h"
#include "platform/os/UserDirectories.h"
#include "platform/paths/ProgramDirectory.h"
#include "utilities/strings/BoundedCopy.h"

int GetExeDirectory(char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  std::string dir = GetExeDirectory();
  return !dir.empty() && CopyWhole(out, size, dir) ? 1 : 0;
}

std::string GetExeDirectory() { return ProgramDirectory(); }

void GetLongPathNameSafe(const char* in, char* out, int size) {
  if (in == nullptr || *in == '\0' || out == nullptr || size <= 0) return;
  out[0] = '\0';
  std::string path = in;
  if (!os::PathExists(path)) return;
  if (os::IsDirectory(path) && path.back() != '/') path += '/';
  CopyWhole(out, size, path);
}

int IsValidDirectory(const char* path) { return path != nullptr && os::IsDirectory(path) ? 1 : 0; }

bool IsValidDirectory(const std::string& path) { return os::IsDirectory(path); }

int CreateMultiLevelDir(const char* path) {
  if (path == nullptr || path[0] != '/') return 0;
  std::string p = path;
  for (size_t i = 1; i < p.size(); ++i) {
    if (p[i] != '/' || p[i - 1] == '/') continue;
    std::string prefix = p.substr(0, i);
    if (!os::IsDirectory(prefix) && !os::MakeDirectory(prefix)) return 0;
  }
  return 1;
}

int HasSubDir(const char* dir, char* out) {
  if (out != nullptr) out[0] = '\0';
  if (dir == nullptr || out == nullptr) return 0;
  for (const std::string& name : os::ListSubdirectories(dir)) {
    if (name[0] == '.') continue;
    return CopyWhole(out, 260, name) ? 1 : 0;
  }
  return 0;
}

std::string GetSpecialFolderPath(int folderId) {
  switch (folderId) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
      return os::DesktopDirectory();
    case CSIDL_PERSONAL:
      return os::DocumentsDirectory();
    case CSIDL_MYMUSIC:
      return os::MusicDirectory();
    case CSIDL_MYVIDEO: {
      std::string v = os::XdgUserDirectory("VIDEOS");
      return v.empty() && !os::HomeDirectory().empty() ? os::HomeDirectory() + "/Videos" : v;
    }
    case CSIDL_MYPICTURES: {
      std::string v = os::XdgUserDirectory("PICTURES");
      return v.empty() && !os::HomeDirectory().empty() ? os::HomeDirectory() + "/Pictures" : v;
    }
    case CSIDL_APPDATA:
      return os::ConfigHome();
    case CSIDL_LOCAL_APPDATA:
      return os::DataHome();
    case CSIDL_PROFILE:
      return os::HomeDirectory();
    default:
      return {};
  }
}

void GetSpecialFolderPath(char* out, int size, int folderId) {
  if (out == nullptr || size <= 0) return;
  CopyWhole(out, size, GetSpecialFolderPath(folderId));
}

std::string GetMyDocumentsPath() {
  std::string docs = GetSpecialFolderPath(CSIDL_PERSONAL);
  if (!docs.empty() && (os::IsDirectory(docs) || CreateMultiLevelDir((docs + "/").c_str())))
    return docs;
  std::string home = os::HomeDirectory();
  return !home.empty() && os::IsDirectory(home) ? home : "/";
}

void GetMyDocumentsPath(char* out, int size) {
  if (out == nullptr || size <= 0) return;
  if (!CopyWhole(out, size, GetMyDocumentsPath())) CopyWhole(out, size, "/");
}
