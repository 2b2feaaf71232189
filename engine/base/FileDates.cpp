#include "engine/base/FileDates.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/os/FileStatus.h"
#include "platform/os/SystemInfo.h"

int GetLastModifiedDate(const char* path, struct tm& when) {
  os::FileTimes t;
  if (path == nullptr || !os::GetFileTimes(path, &t)) return 0;
  return os::LocalTime(static_cast<time_t>(t.modifiedNs / 1000000000), &when) ? 1 : 0;
}

int IsRightFileOlder(const char* left, const char* right) {
  os::FileTimes l, r;
  int64_t leftNs = left != nullptr && os::GetFileTimes(left, &l) ? l.modifiedNs : 0;
  int64_t rightNs =
      right != nullptr && os::GetFileTimes(right, &r) ? std::max(r.modifiedNs, r.changedNs) : 0;
  return rightNs < leftNs ? 1 : 0;
}

std::string GetCurrentTimeString() {
  struct tm t;
  if (!os::LocalTime(time(nullptr), &t)) std::memset(&t, 0, sizeof t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d  %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday,
                t.tm_year % 100, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

void GetCurrentTimeString(char* out) {
  if (out == nullptr) return;
  std::string s = GetCurrentTimeString();
  std::memcpy(out, s.c_str(), std::min<size_t>(s.size(), 18));
  out[std::min<size_t>(s.size(), 18)] = '\0';
}
