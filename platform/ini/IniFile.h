// Reading INI files the way the Windows profile functions do: section and key
// names are compared without regard to ASCII case, keys and values are trimmed
// of blanks, one pair of matching surrounding quotes is removed from a value,
// lines whose first non-blank character is ';' are comments, and CRLF line
// ends and a leading UTF-8 byte-order mark are accepted. Where a section or a
// key occurs more than once, the first occurrence wins.
//
// Parsed files are cached by path and checked against the file's size,
// modification time and inode on every lookup, so repeated lookups in the
// same file cost one stat() and a map search. A missing or unreadable file
// reads as empty and is logged once (until it becomes readable again).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CIniFile {
 public:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  // Parses INI text (BOM, CRLF, comments, quotes as above).
  static CIniFile Parse(const std::string& text);
  // The parsed contents of the file at path, from the cache when the file is
  // unchanged; null when the file is missing or unreadable.
  static std::shared_ptr<const CIniFile> Load(const std::string& path);
  // Forgets every cached file (tests; callers that rewrite files in the same
  // second on file systems with coarse time stamps).
  static void ClearCache();

  // Finds the value of key in section; false when either is absent.
  bool Find(const std::string& section, const std::string& key, std::string* value) const;
  const std::vector<Section>& Sections() const { return sections_; }

 private:
  std::vector<Section> sections_;
};

// Looks key up in section of file. Returns true and the value when present;
// false when the file, section or key is absent.
bool IniLookup(const std::string& file, const std::string& section, const std::string& key,
               std::string* value);

// Like GetPrivateProfileString: copies the value, or def when the key is
// absent (null def counts as ""), into out and returns the number of bytes
// copied, not counting the terminator. The copy is cut to size - 1 bytes (at
// a UTF-8 character boundary). Returns 0 and leaves out alone when out is
// null or size <= 0. Null section or key give the default.
int64_t GetPrivateProfileString(const char* section, const char* key, const char* def, char* out,
                                int64_t size, const char* file);

// Like GetPrivateProfileInt: the value's leading decimal number (an optional
// sign, then digits; 0 when it starts with anything else), or def when the
// key is absent.
int GetPrivateProfileInt(const char* section, const char* key, int def, const char* file);
