#include "converter/ui/ErrorLog.h"

#include "platform/Log.h"

void CErrorLog::Add(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_ = count_ == 0 ? line : text_ + "\r\n" + line;
  ++count_;
  Log(("error: " + line).c_str());
}

int CErrorLog::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

std::string CErrorLog::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

void CErrorLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  count_ = 0;
  text_.clear();
}

CErrorLog& ErrorLog() {
  static CErrorLog log;
  return log;
}
