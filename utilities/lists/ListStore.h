// The layout both lists use in a registry key: entry i in values named
// "<field><i>", and the number of entries in "Count".
#pragma once

#include <cstdint>
#include <initializer_list>

class CRegKey;

namespace liststore {

// Writes count and removes the values of entries past it that an earlier,
// longer list left, for each field prefix given. 1 or 0.
int SaveCount(CRegKey& key, uint32_t count, std::initializer_list<const char*> fields);
// The number of entries; 0 entries when the key holds no list. 1 or 0.
int LoadCount(const CRegKey& key, uint32_t* count);

}  // namespace liststore
