// Paths and folders: the program's folder, existence checks, creating a
// folder with all its levels, the first subfolder, and the user's folders.
// Paths are UTF-8 with '/' as separator; absolute means a leading '/'.
// Paths are never cut short to fit a caller's buffer: when a result does not
// fit, the buffer is left empty and the call fails.
#pragma once

#include <string>

// Folder ids for GetSpecialFolderPath (the platform's CSIDL numbers), mapped
// to the XDG user and base directories.
constexpr int CSIDL_DESKTOP = 0x0000;           // desktop folder
constexpr int CSIDL_PERSONAL = 0x0005;          // documents
constexpr int CSIDL_MYMUSIC = 0x000d;           // music
constexpr int CSIDL_MYVIDEO = 0x000e;           // videos
constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;  // desktop folder
constexpr int CSIDL_APPDATA = 0x001a;           // $XDG_CONFIG_HOME
constexpr int CSIDL_LOCAL_APPDATA = 0x001c;     // $XDG_DATA_HOME
constexpr int CSIDL_MYPICTURES = 0x0027;        // pictures
constexpr int CSIDL_PROFILE = 0x0028;           // home directory

// The running program's folder with its trailing '/'. 1 on success, 0 when
// out is null, size <= 0, or the folder cannot be found or does not fit.
int GetExeDirectory(char* out, int size);
std::string GetExeDirectory();

// The path in its full form: in when it names an existing file or folder, a
// folder with a trailing '/'. out is empty when the path does not exist or
// the result does not fit size.
void GetLongPathNameSafe(const char* in, char* out, int size);

// 1 when path is a folder (a trailing '/' makes no difference).
int IsValidDirectory(const char* path);
bool IsValidDirectory(const std::string& path);

// Creates every missing folder of an absolute path, from '/' down. Every
// prefix ending in '/' is a folder to make, so "/a/b/" makes /a and /a/b but
// "/a/b" only /a: callers pass folder paths with their trailing '/'. A folder
// that already exists, also one another process makes at the same moment, is
// success. 0 for a relative path or when a level cannot be made.
int CreateMultiLevelDir(const char* path);

// 1 when dir holds a subfolder whose name does not begin with '.'; the first
// such name in byte order is copied to out (260 bytes, names hold at most 255).
int HasSubDir(const char* dir, char* out);

// The folder for folderId (see the CSIDL constants), without a trailing '/';
// empty for an unknown id or when it does not fit size - 1 characters.
void GetSpecialFolderPath(char* out, int size, int folderId);
std::string GetSpecialFolderPath(int folderId);

// The documents folder, made when missing; when it cannot be made, the home
// directory, and "/" as the last resort.
void GetMyDocumentsPath(char* out, int size);
std::string GetMyDocumentsPath();
