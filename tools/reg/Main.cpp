// reg: lists, reads, writes and deletes keys and values of the registry store.
// Exit status: 0 done, 1 no such key or value, 2 any other failure.
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/LastError.h"
#include "platform/registry/RegKey.h"
#include "platform/registry/RegStore.h"
#include "platform/registry/RegTree.h"

namespace {

constexpr int kDone = 0, kMissing = 1, kFailed = 2;

const char kUsage[] =
    "usage: reg list KEY                        subkeys as [Name], then values\n"
    "       reg get KEY NAME                    the value alone: a number in decimal,\n"
    "                                           a string as it is, bytes as hex digits\n"
    "       reg set KEY NAME dword|sz|binary VALUE\n"
    "                                           dword: decimal or 0x hex; binary: hex\n"
    "                                           digits (spaces, ',' and ':' allowed)\n"
    "       reg delete KEY [NAME]               a value, or the key with its subkeys\n"
    "KEY is a root and a path, such as HKEY_CURRENT_USER\\SOFTWARE\\Quillon\\Sonoduct;\n"
    "the roots may be written HKCU, HKLM and HKCR, and '/' may stand for '\\'.\n"
    "NAME \"\" is the key's default value. Names ignore case.\n"
    "Exit status: 0 done, 1 no such key or value, 2 any other failure.\n";

struct TKeyName {
  TRegRoot root;
  std::string path;  // below the root, '\'-separated
  std::string text;  // as the user wrote it, for messages
};

bool SameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool ParseKey(const char* arg, TKeyName& key) {
  std::string s = arg;
  for (char& c : s)
    if (c == '/') c = '\\';
  size_t sep = s.find('\\');
  std::string root = s.substr(0, sep);
  std::string rest = sep == std::string::npos ? "" : s.substr(sep + 1);
  while (!rest.empty() && rest.back() == '\\') rest.pop_back();
  if (SameText(root, "HKEY_CURRENT_USER") || SameText(root, "HKCU"))
    key.root = HKEY_CURRENT_USER;
  else if (SameText(root, "HKEY_LOCAL_MACHINE") || SameText(root, "HKLM"))
    key.root = HKEY_LOCAL_MACHINE;
  else if (SameText(root, "HKEY_CLASSES_ROOT") || SameText(root, "HKCR"))
    key.root = HKEY_CLASSES_ROOT;
  else
    return false;
  std::string folded;
  if (!CRegTree::FoldPath(rest, folded)) return false;
  key.path = rest;
  key.text = arg;
  return true;
}

std::string Reason(uint32_t code) {
  switch (code) {
    case REG_ERROR_NOT_FOUND:
      return "not found";
    case REG_ERROR_ACCESS_DENIED:
      return "the store can't be read or written; see the log";
    case REG_ERROR_WRITE_FAULT:
      return "writing the store failed; see the log";
    case REG_ERROR_INVALID_PARAMETER:
      return "invalid name";
    case REG_ERROR_KEY_DELETED:
      return "the key was deleted meanwhile";
    case REG_ERROR_TYPE_MISMATCH:
      return "the value has another type";
  }
  return "error " + std::to_string(code);
}

int Fail(const TKeyName& key, const char* what) {
  uint32_t code = GetLastError();
  std::string where;
  if (CRegStore* store = CRegStore::Get(key.root)) where = " (" + store->FilePath() + ")";
  std::fprintf(stderr, "reg: %s %s: %s%s\n", what, key.text.c_str(), Reason(code).c_str(),
               where.c_str());
  return code == REG_ERROR_NOT_FOUND ? kMissing : kFailed;
}

int Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "reg: %s\n", problem);
  std::fputs(kUsage, stderr);
  return kFailed;
}

bool ParseDword(const char* s, uint32_t& out) {
  if (*s == '\0') return false;
  char* end = nullptr;
  errno = 0;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    if (s[2] == '\0' || std::strlen(s + 2) > 8 || s[2] == '-' || s[2] == '+' || s[2] == ' ')
      return false;
    unsigned long long v = std::strtoull(s + 2, &end, 16);
    if (*end != '\0' || errno) return false;
    out = static_cast<uint32_t>(v);
    return true;
  }
  if (s[0] == '-') {
    long long v = std::strtoll(s, &end, 10);
    if (*end != '\0' || errno || v < INT32_MIN || s[1] < '0' || s[1] > '9') return false;
    out = static_cast<uint32_t>(static_cast<int32_t>(v));
    return true;
  }
  if (*s < '0' || *s > '9') return false;
  unsigned long long v = std::strtoull(s, &end, 10);
  if (*end != '\0' || errno || v > UINT32_MAX) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

bool ParseHex(const char* s, std::string& out) {
  std::string digits;
  for (; *s; ++s) {
    if (*s == ' ' || *s == ',' || *s == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(*s))) return false;
    digits += *s;
  }
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2)
    out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  return true;
}

// Opens the key; null with the message given when it can't.
CRegKey* OpenKey(const TKeyName& key, bool create, int& status) {
  CRegKey root(key.root);
  CRegKey* k = create ? root.CreateSubKey(key.path.c_str()) : root.GetSubKey(key.path.c_str());
  if (k == nullptr) status = Fail(key, create ? "can't create" : "no such key");
  return k;
}

int List(const TKeyName& name) {
  int status = kDone;
  CRegKey* key = OpenKey(name, false, status);
  if (key == nullptr) return status;
  std::string item;
  for (int i = 0; key->EnumerateSubKeys(i, item); ++i)
    std::printf("[%s]\n", CRegTree::FormatKeyName(item).c_str());
  for (int i = 0; key->EnumerateValues(i, item); ++i) {
    TRegValue v{item, key->GetValueType(item.c_str()), ""};
    if (v.type == REG_NONE || !key->GetKeyData(item.c_str(), v.data))
      continue;  // deleted meanwhile
    std::printf("%s\n", CRegTree::FormatValue(v).c_str());
  }
  DeleteRegKey(&key);
  return kDone;
}

int Get(const TKeyName& name, const char* valueName) {
  int status = kDone;
  CRegKey* key = OpenKey(name, false, status);
  if (key == nullptr) return status;
  std::string data;
  TRegValueType type = key->GetValueType(valueName);
  if (type == REG_NONE || !key->GetKeyData(valueName, data)) {
    std::fprintf(stderr, "reg: no value \"%s\" in %s\n", valueName, name.text.c_str());
    DeleteRegKey(&key);
    return kMissing;
  }
  DeleteRegKey(&key);
  if (type == REG_DWORD) {
    uint32_t n = 0;
    for (size_t k = 0; k < 4 && k < data.size(); ++k)
      n |= static_cast<uint32_t>(static_cast<unsigned char>(data[k])) << (8 * k);
    std::printf("%" PRIu32 "\n", n);
  } else if (type == REG_SZ) {
    std::fwrite(data.data(), 1, data.size(), stdout);
    std::fputc('\n', stdout);
  } else {
    for (unsigned char c : data) std::printf("%02x", c);
    std::fputc('\n', stdout);
  }
  return std::fflush(stdout) == 0 ? kDone : kFailed;
}

int Set(const TKeyName& name, const char* valueName, const char* type, const char* value) {
  uint32_t n = 0;
  std::string bytes;
  std::string t = type;
  if (SameText(t, "dword")) {
    if (!ParseDword(value, n)) return Usage("a dword is a decimal number or 0x and hex digits");
  } else if (SameText(t, "binary")) {
    if (!ParseHex(value, bytes)) return Usage("binary data is an even count of hex digits");
  } else if (!SameText(t, "sz")) {
    return Usage("the type is dword, sz or binary");
  }
  int status = kDone;
  CRegKey* key = OpenKey(name, true, status);
  if (key == nullptr) return status == kMissing ? kFailed : status;
  int ok = SameText(t, "dword") ? key->SetKeyNum(valueName, n)
           : SameText(t, "binary")
               ? key->SetKeyData(valueName, bytes.data(), static_cast<int64_t>(bytes.size()))
               : key->SetKeyString(valueName, value);
  DeleteRegKey(&key);
  if (!ok) {
    Fail(name, "can't set a value in");
    return kFailed;
  }
  return kDone;
}

int Delete(const TKeyName& name, const char* valueName) {
  if (valueName == nullptr) {
    if (name.path.empty()) return Usage("a whole root can't be deleted");
    CRegKey root(name.root);
    if (!root.DeleteSubKeys(name.path.c_str())) return Fail(name, "can't delete");
    return kDone;
  }
  int status = kDone;
  CRegKey* key = OpenKey(name, false, status);
  if (key == nullptr) return status;
  int ok = key->DeleteRegValue(valueName);
  DeleteRegKey(&key);
  if (!ok) {
    if (GetLastError() == REG_ERROR_NOT_FOUND) {
      std::fprintf(stderr, "reg: no value \"%s\" in %s\n", valueName, name.text.c_str());
      return kMissing;
    }
    return Fail(name, "can't delete a value in");
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  // Problems with the store (a corrupt file, a failed write) are logged; for
  // a person at a shell they go to stderr unless the log is set up otherwise.
  setenv("SONODUCT_LOG", "stderr", 0);
  if (argc < 2) return Usage(nullptr);
  std::string cmd = argv[1];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (argc < 3) return Usage("a KEY is needed");
  TKeyName key;
  if (!ParseKey(argv[2], key)) {
    std::fprintf(stderr, "reg: not a key: %s\n", argv[2]);
    return Usage(nullptr);
  }
  if (cmd == "list" && argc == 3) return List(key);
  if (cmd == "get" && argc == 4) return Get(key, argv[3]);
  if (cmd == "set" && argc == 6) return Set(key, argv[3], argv[4], argv[5]);
  if (cmd == "delete" && (argc == 3 || argc == 4))
    return Delete(key, argc == 4 ? argv[3] : nullptr);
  return Usage("unknown command or wrong number of arguments");
}
