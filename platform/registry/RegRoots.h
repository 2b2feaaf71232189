// Root keys, value types and failure codes of the registry store.
#pragma once

#include <cstdint>

// The roots a CRegKey can be built on. Each has a store file of its own.
enum TRegRoot : uint32_t {
  HKEY_CLASSES_ROOT = 0x80000000u,
  HKEY_CURRENT_USER = 0x80000001u,
  HKEY_LOCAL_MACHINE = 0x80000002u,
};
using HKEY = TRegRoot;

// Value types, numbered as on Windows.
enum TRegValueType : uint32_t {
  REG_NONE = 0,    // no such value
  REG_SZ = 1,      // string
  REG_BINARY = 3,  // raw bytes
  REG_DWORD = 4,   // 32-bit number
};

// Reasons left in the thread's last error by a failed registry call.
// The numbers are those of the matching Windows errors.
enum TRegError : uint32_t {
  REG_ERROR_NOT_FOUND = 2,           // no such key or value
  REG_ERROR_ACCESS_DENIED = 5,       // the store can't be read or written
  REG_ERROR_WRITE_FAULT = 29,        // writing the store failed
  REG_ERROR_INVALID_PARAMETER = 87,  // bad name or argument
  REG_ERROR_MORE_DATA = 234,         // the caller's buffer is too small
  REG_ERROR_NO_MORE_ITEMS = 259,     // enumeration index past the end
  REG_ERROR_KEY_DELETED = 1018,      // the key was deleted after it was opened
  REG_ERROR_TYPE_MISMATCH = 1629,    // the value has another type
};

// "HKEY_CURRENT_USER" etc.; null for a value that is no root.
inline const char* RegRootName(TRegRoot root) {
  switch (root) {
    case HKEY_CLASSES_ROOT:
      return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
      return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
      return "HKEY_LOCAL_MACHINE";
  }
  return nullptr;
}
