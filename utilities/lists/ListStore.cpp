#include "utilities/lists/ListStore.h"

#include <string>

#include "platform/LastError.h"
#include "platform/registry/RegKey.h"

namespace liststore {

namespace {

constexpr char kCount[] = "Count";

}  // namespace

int SaveCount(CRegKey& key, uint32_t count, std::initializer_list<const char*> fields) {
  uint32_t old = 0;
  if (key.GetValueType(kCount) == REG_DWORD) key.GetKeyNum(kCount, &old);
  if (!key.SetKeyNum(kCount, count)) return 0;
  for (uint32_t i = count; i < old; ++i) {
    for (const char* field : fields) {
      std::string name = field + std::to_string(i);
      if (key.SubKeyExists(name.c_str()) && !key.DeleteRegValue(name.c_str())) return 0;
    }
  }
  return 1;
}

int LoadCount(const CRegKey& key, uint32_t* count) {
  *count = 0;
  if (key.GetValueType(kCount) == REG_NONE) return 1;
  return key.GetKeyNum(kCount, count);
}

}  // namespace liststore
