// An ordered list of copied strings, searched without regard to case, which
// can be kept in a key of the registry store.
#pragma once

#include <list>
#include <string>

class CRegKey;

class CStringList {
 public:
  CStringList() = default;
  ~CStringList() = default;
  CStringList(const CStringList&) = delete;
  CStringList& operator=(const CStringList&) = delete;

  // A copy of s goes to the front, or to the end; a null s is ignored.
  void AddLatestString(const char* s);
  void PushBackList(const char* s);
  int ContainsString(const char* s) const { return StringIndex(s) >= 0; }
  // The position of the first equal string, -1 when none.
  int StringIndex(const char* s) const;
  // The string at position i; null past the end. Valid until it is deleted.
  const char* Index(int i) const;
  long Count() const { return static_cast<long>(strings_.size()); }
  void DeleteIndex(int i);
  void DeleteStringList() { strings_.clear(); }

  // The strings as values "0", "1", ... of key with their number in "Count";
  // values left from a longer list are removed; a key holds one list. 1 or 0
  // (reason in the last error).
  int Save(CRegKey& key) const;
  // Replaces the list with the one Save wrote; an empty list when the key
  // holds none. 1 or 0 (reason in the last error; the list is then empty).
  int Load(const CRegKey& key);

 private:
  std::list<std::string> strings_;
};
