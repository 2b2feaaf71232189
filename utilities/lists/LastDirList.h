// Recently used directories, each with a time stamp and a count the caller
// keeps, newest first, for menus of recent folders. Paths are compared
// without regard to case. The list can be kept in a key of the registry store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>

// One recent directory.
struct _lastDirList {
  char path[260];  // NUL-terminated
  int32_t time;    // calendar time in seconds; the sort key
  int32_t count;   // the caller's value (1000 when MoveOrAddToTop made it)
};
static_assert(sizeof(_lastDirList) == 268 && offsetof(_lastDirList, time) == 260);

class CRegKey;

class CLastDirList {
 public:
  // The count of an entry that MoveOrAddToTop makes for a new path.
  static constexpr int32_t kNewEntryCount = 1000;

  CLastDirList() = default;
  ~CLastDirList() = default;
  CLastDirList(const CLastDirList&) = delete;
  CLastDirList& operator=(const CLastDirList&) = delete;

  // Inserts a new record before the first entry with a smaller time, or at
  // the end. 0 (ERROR_FILENAME_EXCED_RANGE) for a null path or one that does
  // not fit the record, else 1. The fourth argument is not used.
  int Add(const char* path, long time, int count, int unused = 0);
  // Takes the caller's heap record (allocated with new); with sorted it goes
  // before the first entry with a smaller time, otherwise at the end. 0 for a
  // null record.
  int AddPtr(_lastDirList* record, int sorted);
  // Replaces time and count of the entry for path and, with resort, moves it
  // to its sorted place; adds the path when it is not listed. The result of Add.
  int UpdateOrAdd(const char* path, long time, int count, int resort);
  // Puts the path at the front with the current time, keeping the count of
  // its old entry (kNewEntryCount for a new path). 0 when the path is refused.
  int MoveOrAddToTop(const char* path);
  _lastDirList* ContainsDir(const char* path);
  // The entry at i, null past the end; valid until it is removed.
  _lastDirList* Index(int i);
  long Count() const { return static_cast<long>(entries_.size()); }
  void DeletePath(const char* path);
  void DeleteIndex(int i);
  void DeleteAll() { entries_.clear(); }
  // Descending time; entries of equal time keep their order. Returns 1.
  int Sort();

  // The entries as values "Path<i>", "Time<i>" and "Count<i>" of key, with
  // their number in "Count"; values left from a longer list are removed. A
  // key holds one list.
  // 1 or 0 (reason in the last error).
  int Save(CRegKey& key) const;
  // Replaces the list with the one Save wrote, in the stored order; an empty
  // list when the key holds none. 1 or 0 (the list is then empty).
  int Load(const CRegKey& key);

 private:
  using TEntries = std::list<std::unique_ptr<_lastDirList>>;

  TEntries::iterator Find(const char* path);
  void InsertSorted(std::unique_ptr<_lastDirList> record);
  static std::unique_ptr<_lastDirList> MakeRecord(const char* path, long time, int count);

  TEntries entries_;
};
