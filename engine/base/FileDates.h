// File dates for deciding whether a cache file is still current, and the
// time stamp of the engine's reports.
#pragma once

#include <ctime>
#include <string>

// The file's modification time as local calendar time; 0 when the file
// cannot be examined.
int GetLastModifiedDate(const char* path, struct tm& when);

// 1 when the right file is strictly older than the left one. The engine
// passes a cache file on the left and its source on the right, so 1 means
// the cache is current. Times are compared to the nanosecond; for the right
// file the later of its modification and status-change times counts, so a
// source replaced by an older copy (cp -p, a restore) still makes the cache
// stale. Equal times give 0 (stale). A file that cannot be examined counts
// as time zero: 0 when the left is missing, 1 when only the right one is.
int IsRightFileOlder(const char* left, const char* right);

// The local time as "MM/DD/YY  HH:MM:SS"; out must hold 19 bytes.
void GetCurrentTimeString(char* out);
std::string GetCurrentTimeString();
