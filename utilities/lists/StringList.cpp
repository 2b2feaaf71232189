#include "utilities/lists/StringList.h"

#include <iterator>

#include "platform/registry/RegBatch.h"
#include "platform/registry/RegKey.h"
#include "utilities/lists/ListStore.h"
#include "utilities/strings/NoCase.h"

void CStringList::AddLatestString(const char* s) {
  if (s != nullptr) strings_.emplace_front(s);
}

void CStringList::PushBackList(const char* s) {
  if (s != nullptr) strings_.emplace_back(s);
}

int CStringList::StringIndex(const char* s) const {
  if (s == nullptr) return -1;
  int i = 0;
  for (const std::string& listed : strings_) {
    if (EqualNoCase(listed, s)) return i;
    ++i;
  }
  return -1;
}

const char* CStringList::Index(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return std::next(strings_.begin(), i)->c_str();
}

void CStringList::DeleteIndex(int i) {
  if (i >= 0 && i < Count()) strings_.erase(std::next(strings_.begin(), i));
}

int CStringList::Save(CRegKey& key) const {
  CRegBatch batch(key.Root());
  int i = 0;
  for (const std::string& s : strings_) {
    if (!key.SetKeyString(std::to_string(i++).c_str(), s.c_str())) return 0;
  }
  if (!liststore::SaveCount(key, i, {""})) return 0;
  return batch.Active() ? batch.End() : 1;
}

int CStringList::Load(const CRegKey& key) {
  strings_.clear();
  uint32_t count = 0;
  if (!liststore::LoadCount(key, &count)) return 0;
  for (uint32_t i = 0; i < count; ++i) {
    std::string s;
    if (!key.GetKeyString(std::to_string(i).c_str(), s)) {
      strings_.clear();
      return 0;
    }
    strings_.push_back(std::move(s));
  }
  return 1;
}
