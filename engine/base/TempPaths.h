// The temporary folder for cache files (peak and seek-map files) and the
// mapping of a source's path to its cache file's path inside it.
//
// A path maps to the temporary folder followed by the path's components:
// "/home/u/Music/a.mp3.ipk" with the folder "/home/u/.cache/sonoduct/" gives
// "/home/u/.cache/sonoduct/home/u/Music/a.mp3.ipk". Empty and "." components
// are dropped and ".." becomes "%2E%2E", so a mapped path can never lead out
// of the temporary folder. A component longer than the 255 bytes a file name
// may hold is cut and given a hash of the whole component (its extension
// kept), so different long names keep different cache files.
#pragma once

#include <string>

// Sets the temporary folder; a '/' is added when missing. Null or "" clears it.
void SetTempSndPath(const char* path);
// Copies the folder to out (max bytes); empty when unset or when it does not fit.
void GetTempSndPath(char* out, long max);
std::string GetTempSndPath();
// 1 when a temporary folder is set.
int TempSndPathExists();

// The default temporary folder, $XDG_CACHE_HOME/sonoduct/ (~/.cache/sonoduct/),
// made with mode 0700 when missing; "" when there is no home directory.
std::string DefaultTempSndPath();

// The mapping above; with create, the temporary folder and every folder of
// the result are made (mode 0700; the file itself is not). Without a
// temporary folder the result is path itself (caches then lie beside their
// sources).
std::string MakeTempPath(const std::string& path, bool create);

// MakeTempPath of folder + name.
void MakeTempPath1(const char* folder, const char* name, char* out, long max, int create);
// MakeTempPath into a buffer of max bytes. When the mapped path does not fit,
// the result is the temporary folder followed by the path's file name only,
// shortened from the front so that 8 bytes stay free, or "tmp" and a tick
// count when the path has no file name. out is empty when even that does not
// fit.
void MakeTempPath2(const char* path, char* out, long max, int create);

// The part of path after its last '/'; out is left untouched when path holds
// no '/'. out must hold as many bytes as path.
void GetFileName(const char* path, char* out);
