// The keys and values of one registry root in memory, and their text form.
//
// Text form (one file per root, UTF-8, written whole on every change):
//
//   # Quillon registry: HKEY_CURRENT_USER
//   [SOFTWARE\Quillon\Sonoduct]
//   "CPUSleepTime"=dword:00000032
//   "DefaultDir"=sz:"/home/ann/Music/Converted/"
//   "LastWindowPoint"=hex:00,00,00,80,00,00,00,80
//   ""=sz:"the key's default value"
//
// - Lines starting with '#' or ';' are comments; blank lines are ignored; a CR
//   before the line break is dropped. The file ends with a line break.
// - "[path]" opens a key. Its components are separated by '\'; the bytes '%',
//   '[', ']', control bytes and bytes outside valid UTF-8 are written as %HH.
//   "[]" is the root itself. Every key has a section, empty ones too, and a
//   key's section comes before those of its subkeys.
// - A value line is a quoted name, '=', a type, ':' and the data. In quoted
//   text '\\' and '\"' stand for themselves, \n, \r and \t for those control
//   bytes, and \xHH for any byte; the writer uses \xHH for the other control
//   bytes and for bytes outside valid UTF-8. The empty name is the key's
//   default value.
// - Types: dword (exactly 8 hex digits), sz (a quoted string), hex (bytes as
//   two hex digits each, separated by commas; nothing after ':' for none).
// Anything else makes the whole file unreadable: it is corrupt.
//
// Names are compared without ASCII case and kept with the case they were
// created with. Values keep the order in which they were first set.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/RegRoots.h"

struct TRegValue {
  std::string name;
  TRegValueType type = REG_NONE;
  std::string data;  // bytes; a dword is 4 bytes, little-endian
  bool operator==(const TRegValue&) const = default;
};

class CRegTree {
 public:
  CRegTree();

  // Checks a '\'-separated key path (no empty component; "" is the root)
  // and gives its case-folded form, the handle the other calls take.
  static bool FoldPath(std::string_view path, std::string& folded);
  static std::string Fold(std::string_view text);

  bool KeyExists(const std::string& folded) const;
  // Creates the key and every missing level above it, naming new levels as
  // in the original path. False when the path is invalid.
  bool CreateKey(std::string_view path);
  // Removes the key with all its subkeys; false when it does not exist.
  bool DeleteKey(const std::string& folded);
  // Removes all subkeys of the key; false when it has none.
  bool DeleteChildren(const std::string& folded);
  // Leaf names of the key's direct subkeys, in order.
  std::vector<std::string> SubKeys(const std::string& folded) const;
  // The key's path with the stored case of each level.
  std::string DisplayPath(const std::string& folded) const;

  // Null when the key or value does not exist.
  const std::vector<TRegValue>* Values(const std::string& folded) const;
  const TRegValue* FindValue(const std::string& folded, std::string_view name) const;
  // The key must exist. A value of that name is replaced in place, keeping
  // the case of its name.
  bool SetValue(const std::string& folded, std::string_view name, TRegValueType type,
                std::string_view data);
  bool DeleteValue(const std::string& folded, std::string_view name);

  // One value line of the text form, without its line break, and a key name
  // as a section header writes it; also used to list a key for people.
  static std::string FormatValue(const TRegValue& value);
  static std::string FormatKeyName(std::string_view name);

  std::string Serialize(const char* rootName) const;
  // Replaces the contents with the parsed text. On failure the tree is left
  // empty and error names the line and the fault.
  bool Parse(std::string_view text, std::string& error);

  bool operator==(const CRegTree& other) const;

 private:
  struct Key {
    std::string leaf;  // name of the last level, stored case
    std::vector<TRegValue> values;
    bool operator==(const Key&) const = default;
  };
  // Orders a key directly before its subkeys.
  struct PathOrder {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, Key, PathOrder> keys_;  // by folded path
};
