#include "utilities/lists/LastDirList.h"

#include <cstring>
#include <ctime>
#include <iterator>
#include <string>

#include "platform/LastError.h"
#include "platform/registry/RegBatch.h"
#include "platform/registry/RegKey.h"
#include "utilities/lists/ListStore.h"
#include "utilities/strings/NoCase.h"

namespace {

constexpr uint32_t kErrorFilenameExcedRange = 206;  // ERROR_FILENAME_EXCED_RANGE

std::string Field(const char* name, size_t i) { return name + std::to_string(i); }

}  // namespace

std::unique_ptr<_lastDirList> CLastDirList::MakeRecord(const char* path, long time, int count) {
  // A path that does not fit is refused: a shortened one names another folder.
  if (path == nullptr || std::strlen(path) >= sizeof(_lastDirList::path)) {
    SetLastError(kErrorFilenameExcedRange);
    return nullptr;
  }
  auto record = std::make_unique<_lastDirList>();
  std::strcpy(record->path, path);
  record->time = static_cast<int32_t>(time);
  record->count = count;
  return record;
}

CLastDirList::TEntries::iterator CLastDirList::Find(const char* path) {
  if (path == nullptr) return entries_.end();
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (EqualNoCase((*it)->path, path)) return it;
  }
  return entries_.end();
}

void CLastDirList::InsertSorted(std::unique_ptr<_lastDirList> record) {
  auto it = entries_.begin();
  while (it != entries_.end() && (*it)->time >= record->time) ++it;
  entries_.insert(it, std::move(record));
}

int CLastDirList::Add(const char* path, long time, int count, int) {
  std::unique_ptr<_lastDirList> record = MakeRecord(path, time, count);
  if (!record) return 0;
  InsertSorted(std::move(record));
  return 1;
}

int CLastDirList::AddPtr(_lastDirList* record, int sorted) {
  if (record == nullptr) return 0;
  std::unique_ptr<_lastDirList> owned(record);
  if (sorted) {
    InsertSorted(std::move(owned));
  } else {
    entries_.push_back(std::move(owned));
  }
  return 1;
}

int CLastDirList::UpdateOrAdd(const char* path, long time, int count, int resort) {
  auto it = Find(path);
  if (it == entries_.end()) return Add(path, time, count, resort);
  (*it)->time = static_cast<int32_t>(time);
  (*it)->count = count;
  if (resort) {
    std::unique_ptr<_lastDirList> record = std::move(*it);
    entries_.erase(it);
    InsertSorted(std::move(record));
  }
  return 1;
}

int CLastDirList::MoveOrAddToTop(const char* path) {
  auto it = Find(path);
  int32_t count = it == entries_.end() ? kNewEntryCount : (*it)->count;
  std::unique_ptr<_lastDirList> record =
      MakeRecord(path, static_cast<long>(std::time(nullptr)), count);
  if (!record) return 0;
  if (it != entries_.end()) entries_.erase(it);
  entries_.push_front(std::move(record));
  return 1;
}

_lastDirList* CLastDirList::ContainsDir(const char* path) {
  auto it = Find(path);
  return it == entries_.end() ? nullptr : it->get();
}

_lastDirList* CLastDirList::Index(int i) {
  if (i < 0 || i >= Count()) return nullptr;
  return std::next(entries_.begin(), i)->get();
}

void CLastDirList::DeletePath(const char* path) {
  auto it = Find(path);
  if (it != entries_.end()) entries_.erase(it);
}

void CLastDirList::DeleteIndex(int i) {
  if (i >= 0 && i < Count()) entries_.erase(std::next(entries_.begin(), i));
}

int CLastDirList::Sort() {
  entries_.sort([](const auto& a, const auto& b) { return a->time > b->time; });
  return 1;
}

int CLastDirList::Save(CRegKey& key) const {
  CRegBatch batch(key.Root());
  size_t i = 0;
  for (const auto& entry : entries_) {
    if (!key.SetKeyString(Field("Path", i).c_str(), entry->path) ||
        !key.SetKeyNum(Field("Time", i).c_str(), static_cast<uint32_t>(entry->time)) ||
        !key.SetKeyNum(Field("Count", i).c_str(), static_cast<uint32_t>(entry->count))) {
      return 0;
    }
    ++i;
  }
  if (!liststore::SaveCount(key, static_cast<uint32_t>(i), {"Path", "Time", "Count"})) return 0;
  return batch.Active() ? batch.End() : 1;
}

int CLastDirList::Load(const CRegKey& key) {
  entries_.clear();
  uint32_t count = 0;
  if (!liststore::LoadCount(key, &count)) return 0;
  for (uint32_t i = 0; i < count; ++i) {
    std::string path;
    uint32_t time = 0, number = 0;
    std::unique_ptr<_lastDirList> record;
    if (key.GetKeyString(Field("Path", i).c_str(), path) &&
        key.GetKeyNum(Field("Time", i).c_str(), &time) &&
        key.GetKeyNum(Field("Count", i).c_str(), &number)) {
      record = MakeRecord(path.c_str(), static_cast<int32_t>(time), static_cast<int32_t>(number));
    }
    if (!record) {
      entries_.clear();
      return 0;
    }
    entries_.push_back(std::move(record));
  }
  return 1;
}
