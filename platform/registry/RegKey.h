// A key of the registry store: its values (numbers, strings, raw bytes) and
// its subkeys. Key paths separate levels with '\'; key and value names are
// compared without ASCII case and keep the case they were created with. The
// empty value name is the key's default value.
//
// Every call sees the store as it is on disk at that moment, including
// changes by other processes, and every change is on disk when it returns.
// Failures return 0, null or REG_NONE with the reason in the last error
// (TRegError).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/RegRoots.h"

class CRegKey {
 public:
  // The root key itself.
  explicit CRegKey(TRegRoot root);
  ~CRegKey();
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;

  // An existing subkey (name may hold several levels); null when missing.
  CRegKey* GetSubKey(const char* name) const;
  // The subkey, created with every missing level; null on failure.
  CRegKey* CreateSubKey(const char* name);
  // Whether a VALUE of that name exists (callers test it before reading).
  int SubKeyExists(const char* name) const;
  // Whether a subkey of that name exists.
  int KeyExists(const char* name) const;
  // Whether this key is still in the store (another call may have deleted it).
  int IsValid() const;

  // Reads a 32-bit number; 0 when missing or not a number.
  uint32_t GetKeyNum(const char* name) const;
  int GetKeyNum(const char* name, uint32_t* value) const;
  int SetKeyNum(const char* name, uint32_t value);

  // Copies a string with its terminator into buf; a string that does not
  // fit is refused (REG_ERROR_MORE_DATA) and buf left empty, never cut.
  int GetKeyString(const char* name, char* buf, int64_t size) const;
  int GetKeyString(const char* name, std::string& value) const;
  int SetKeyString(const char* name, const char* value);

  // The value's bytes, whatever its type, in a buffer of this key object that
  // stays valid until its next GetKeyData; null when missing.
  const uint8_t* GetKeyData(const char* name, int64_t* size) const;
  int GetKeyData(const char* name, std::string& bytes) const;
  int SetKeyData(const char* name, const void* data, int64_t size);
  // REG_NONE when there is no such value.
  TRegValueType GetValueType(const char* name) const;

  int DeleteRegValue(const char* name);
  // Deletes the subkey `name` with everything below it; with an empty name,
  // deletes every subkey of this key (its values stay).
  int DeleteSubKeys(const char* name);

  // The name of the value or direct subkey at index (0, 1, ...); 0 with
  // REG_ERROR_NO_MORE_ITEMS past the end, REG_ERROR_MORE_DATA when the name
  // does not fit buf with its terminator.
  int EnumerateValues(int index, char* buf, int64_t size) const;
  int EnumerateValues(int index, std::string& name) const;
  int EnumerateSubKeys(int index, char* buf, int64_t size) const;
  int EnumerateSubKeys(int index, std::string& name) const;

  TRegRoot Root() const { return root_; }
  // Below the root, with the stored case of each level; "" for the root.
  const std::string& Path() const { return path_; }

 private:
  CRegKey(TRegRoot root, std::string path);
  int SetValue(const char* name, TRegValueType type, std::string_view data);
  bool FullPath(const char* name, std::string& path, std::string& folded) const;

  TRegRoot root_;
  std::string path_, folded_;
  mutable std::string data_;  // GetKeyData's buffer
};

// Frees the key and nulls the pointer; a null pointer is fine.
void DeleteRegKey(CRegKey** key);
