#include "platform/ini/IniFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/Log.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Signature of a file on disk; a change of any part makes the cache stale.
struct FileSignature {
  bool exists = false;
  int64_t size = 0;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  uint64_t inode = 0;
  uint64_t device = 0;
  bool operator==(const FileSignature&) const = default;
};

FileSignature Signature(const std::string& path) {
  FileSignature sig;
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return sig;
  sig.exists = true;
  sig.size = st.st_size;
  sig.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  sig.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  sig.inode = st.st_ino;
  sig.device = st.st_dev;
  return sig;
}

struct CacheEntry {
  FileSignature sig;
  std::shared_ptr<const CIniFile> ini;  // null: missing or unreadable
  bool loggedMissing = false;
};

constexpr size_t kMaxCachedFiles = 64;

std::mutex& CacheLock() {
  static std::mutex m;
  return m;
}
std::map<std::string, CacheEntry>& Cache() {
  static std::map<std::string, CacheEntry> c;
  return c;
}

// Cuts s to at most n bytes without splitting a UTF-8 sequence.
size_t CutAtCharBoundary(const char* s, size_t len, size_t n) {
  if (len <= n) return len;
  size_t cut = n;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace

CIniFile CIniFile::Parse(const std::string& text) {
  CIniFile ini;
  size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  Section* current = nullptr;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name =
          Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      current = nullptr;
      for (auto& s : ini.sections_)
        if (SameName(s.name, name)) current = &s;
      if (current == nullptr) {
        ini.sections_.push_back(Section{name, {}});
        current = &ini.sections_.back();
      }
      continue;
    }
    if (current == nullptr) continue;  // pairs before the first section belong to none
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    Entry e;
    e.key = Trim(line.substr(0, eq));
    e.value = Trim(line.substr(eq + 1));
    if (e.value.size() >= 2 && (e.value[0] == '"' || e.value[0] == '\'') &&
        e.value.back() == e.value[0])
      e.value = e.value.substr(1, e.value.size() - 2);
    if (e.key.empty()) continue;
    current->entries.push_back(std::move(e));
  }
  return ini;
}

bool CIniFile::Find(const std::string& section, const std::string& key, std::string* value) const {
  for (const auto& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (const auto& e : s.entries) {
      if (SameName(e.key, key)) {
        if (value != nullptr) *value = e.value;
        return true;
      }
    }
    return false;
  }
  return false;
}

std::shared_ptr<const CIniFile> CIniFile::Load(const std::string& path) {
  FileSignature sig = Signature(path);
  {
    std::lock_guard<std::mutex> lock(CacheLock());
    auto it = Cache().find(path);
    if (it != Cache().end() && it->second.sig == sig) return it->second.ini;
  }
  std::shared_ptr<const CIniFile> ini;
  if (sig.exists) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream text;
      text << in.rdbuf();
      if (!in.bad()) ini = std::make_shared<const CIniFile>(Parse(text.str()));
    }
  }
  std::lock_guard<std::mutex> lock(CacheLock());
  // Playlists bring many files that are read once: keep the cache small.
  if (Cache().size() >= kMaxCachedFiles && Cache().find(path) == Cache().end()) Cache().clear();
  auto& entry = Cache()[path];
  if (ini == nullptr && !entry.loggedMissing)
    LogFmt("INI file <%s> is missing or unreadable", path.c_str());
  entry.loggedMissing = ini == nullptr;
  entry.sig = sig;
  entry.ini = ini;
  return ini;
}

void CIniFile::ClearCache() {
  std::lock_guard<std::mutex> lock(CacheLock());
  Cache().clear();
}

bool IniLookup(const std::string& file, const std::string& section, const std::string& key,
               std::string* value) {
  auto ini = CIniFile::Load(file);
  return ini != nullptr && ini->Find(section, key, value);
}

int64_t GetPrivateProfileString(const char* section, const char* key, const char* def, char* out,
                                int64_t size, const char* file) {
  if (out == nullptr || size <= 0) return 0;
  std::string value;
  bool found = section != nullptr && key != nullptr && file != nullptr &&
               IniLookup(file, section, key, &value);
  const char* src = found ? value.c_str() : (def != nullptr ? def : "");
  size_t len = found ? value.size() : std::strlen(src);
  size_t n = CutAtCharBoundary(src, len, static_cast<size_t>(size - 1));
  std::memmove(out, src, n);
  out[n] = '\0';
  return static_cast<int64_t>(n);
}

int GetPrivateProfileInt(const char* section, const char* key, int def, const char* file) {
  std::string value;
  if (section == nullptr || key == nullptr || file == nullptr ||
      !IniLookup(file, section, key, &value))
    return def;
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  int64_t n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10 + (value[i] - '0');
    if (n > static_cast<int64_t>(INT_MAX) + 1) n = static_cast<int64_t>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return static_cast<int>(n);
}
