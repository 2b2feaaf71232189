// The run's error log: a count and the lines, shown at the end of a run.
#pragma once

#include <mutex>
#include <string>

class CErrorLog {
 public:
  void Add(const std::string& line);
  int Count() const;
  // The lines separated by "\r\n".
  std::string Text() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  int count_ = 0;
  std::string text_;
};

// The process's log.
CErrorLog& ErrorLog();
