#include "platform/registry/RegKey.h"

#include <cstring>
#include <vector>

#include "platform/LastError.h"
#include "platform/registry/RegStore.h"
#include "platform/registry/RegTree.h"

namespace {

// A null name means the empty one, as on Windows.
const char* NameOf(const char* name) { return name != nullptr ? name : ""; }

// Copies text with its terminator into buf, or refuses when it does not fit.
int CopyOut(const std::string& text, char* buf, int64_t size) {
  if (buf == nullptr || size <= 0) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (static_cast<int64_t>(text.size()) >= size) {
    buf[0] = '\0';
    SetLastError(REG_ERROR_MORE_DATA);
    return 0;
  }
  std::memcpy(buf, text.data(), text.size());
  buf[text.size()] = '\0';
  return 1;
}

// Looks a value up in the current store; false with the reason set when
// it is missing or, for a type other than REG_NONE, of another type.
bool ReadValue(TRegRoot root, const std::string& folded, const char* name, TRegValueType want,
               TRegValue& out) {
  CRegStore* store = CRegStore::Get(root);
  if (store == nullptr) return false;
  bool found = store->Inspect([&](const CRegTree& tree) {
    const TRegValue* v = tree.FindValue(folded, NameOf(name));
    if (v != nullptr) out = *v;
    return v != nullptr;
  });
  if (!found) {
    SetLastError(REG_ERROR_NOT_FOUND);
    return false;
  }
  if (want != REG_NONE && out.type != want) {
    SetLastError(REG_ERROR_TYPE_MISMATCH);
    return false;
  }
  return true;
}

}  // namespace

CRegKey::CRegKey(TRegRoot root) : root_(root) {}

CRegKey::CRegKey(TRegRoot root, std::string path)
    : root_(root), path_(std::move(path)), folded_(CRegTree::Fold(path_)) {}

CRegKey::~CRegKey() = default;

bool CRegKey::FullPath(const char* name, std::string& path, std::string& folded) const {
  path = path_;
  if (name != nullptr && *name != '\0') {
    if (!path.empty()) path += '\\';
    path += name;
  }
  if (!CRegTree::FoldPath(path, folded)) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

CRegKey* CRegKey::GetSubKey(const char* name) const {
  std::string path, folded;
  if (!FullPath(name, path, folded)) return nullptr;
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return nullptr;
  bool found = store->Inspect([&](const CRegTree& tree) {
    if (!tree.KeyExists(folded)) return false;
    path = tree.DisplayPath(folded);
    return true;
  });
  if (!found) {
    SetLastError(REG_ERROR_NOT_FOUND);
    return nullptr;
  }
  return new CRegKey(root_, path);
}

CRegKey* CRegKey::CreateSubKey(const char* name) {
  std::string path, folded;
  if (!FullPath(name, path, folded)) return nullptr;
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return nullptr;
  int ok = store->Change([&](CRegTree& tree) {
    if (!tree.KeyExists(folded_)) {
      SetLastError(REG_ERROR_KEY_DELETED);
      return false;
    }
    tree.CreateKey(path);
    path = tree.DisplayPath(folded);
    return true;
  });
  return ok ? new CRegKey(root_, path) : nullptr;
}

int CRegKey::SubKeyExists(const char* name) const { return GetValueType(name) != REG_NONE ? 1 : 0; }

int CRegKey::KeyExists(const char* name) const {
  std::string path, folded;
  if (!FullPath(name, path, folded)) return 0;
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return 0;
  if (store->Inspect([&](const CRegTree& tree) { return tree.KeyExists(folded); })) return 1;
  SetLastError(REG_ERROR_NOT_FOUND);
  return 0;
}

int CRegKey::IsValid() const { return KeyExists(""); }

TRegValueType CRegKey::GetValueType(const char* name) const {
  TRegValue v;
  return ReadValue(root_, folded_, name, REG_NONE, v) ? v.type : REG_NONE;
}

uint32_t CRegKey::GetKeyNum(const char* name) const {
  uint32_t value = 0;
  if (!GetKeyNum(name, &value)) return 0;
  SetLastError(0);
  return value;
}

int CRegKey::GetKeyNum(const char* name, uint32_t* value) const {
  TRegValue v;
  if (value == nullptr) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!ReadValue(root_, folded_, name, REG_DWORD, v) || v.data.size() != 4) return 0;
  uint32_t n = 0;
  for (int k = 0; k < 4; ++k)
    n |= static_cast<uint32_t>(static_cast<unsigned char>(v.data[k])) << (8 * k);
  *value = n;
  return 1;
}

int CRegKey::SetKeyNum(const char* name, uint32_t value) {
  char bytes[4];
  for (int k = 0; k < 4; ++k) bytes[k] = static_cast<char>((value >> (8 * k)) & 0xFF);
  return SetValue(name, REG_DWORD, std::string_view(bytes, 4));
}

int CRegKey::GetKeyString(const char* name, char* buf, int64_t size) const {
  std::string value;
  if (!GetKeyString(name, value)) {
    if (buf != nullptr && size > 0) buf[0] = '\0';
    return 0;
  }
  return CopyOut(value, buf, size);
}

int CRegKey::GetKeyString(const char* name, std::string& value) const {
  TRegValue v;
  if (!ReadValue(root_, folded_, name, REG_SZ, v)) return 0;
  value = std::move(v.data);
  return 1;
}

int CRegKey::SetKeyString(const char* name, const char* value) {
  if (value == nullptr) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return 0;
  }
  return SetValue(name, REG_SZ, value);
}

const uint8_t* CRegKey::GetKeyData(const char* name, int64_t* size) const {
  TRegValue v;
  if (size == nullptr) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *size = 0;
  if (!ReadValue(root_, folded_, name, REG_NONE, v)) return nullptr;
  data_ = std::move(v.data);
  *size = static_cast<int64_t>(data_.size());
  return reinterpret_cast<const uint8_t*>(data_.c_str());
}

int CRegKey::GetKeyData(const char* name, std::string& bytes) const {
  TRegValue v;
  if (!ReadValue(root_, folded_, name, REG_NONE, v)) return 0;
  bytes = std::move(v.data);
  return 1;
}

int CRegKey::SetKeyData(const char* name, const void* data, int64_t size) {
  if (size < 0 || (data == nullptr && size > 0)) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return 0;
  }
  return SetValue(name, REG_BINARY,
                  std::string_view(static_cast<const char*>(data), static_cast<size_t>(size)));
}

int CRegKey::SetValue(const char* name, TRegValueType type, std::string_view data) {
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return 0;
  return store->Change([&](CRegTree& tree) {
    if (!tree.SetValue(folded_, NameOf(name), type, data)) {
      SetLastError(REG_ERROR_KEY_DELETED);
      return false;
    }
    return true;
  });
}

int CRegKey::DeleteRegValue(const char* name) {
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return 0;
  return store->Change([&](CRegTree& tree) {
    if (!tree.DeleteValue(folded_, NameOf(name))) {
      SetLastError(REG_ERROR_NOT_FOUND);
      return false;
    }
    return true;
  });
}

int CRegKey::DeleteSubKeys(const char* name) {
  std::string path, folded;
  if (!FullPath(name, path, folded)) return 0;
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return 0;
  bool children = name == nullptr || *name == '\0';
  return store->Change([&](CRegTree& tree) {
    if (children ? tree.DeleteChildren(folded) : tree.DeleteKey(folded)) return true;
    SetLastError(REG_ERROR_NOT_FOUND);
    return false;
  });
}

int CRegKey::EnumerateValues(int index, std::string& name) const {
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return 0;
  if (index < 0) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool found = store->Inspect([&](const CRegTree& tree) {
    const auto* values = tree.Values(folded_);
    if (values == nullptr || static_cast<size_t>(index) >= values->size()) return false;
    name = (*values)[static_cast<size_t>(index)].name;
    return true;
  });
  if (!found) SetLastError(REG_ERROR_NO_MORE_ITEMS);
  return found ? 1 : 0;
}

int CRegKey::EnumerateValues(int index, char* buf, int64_t size) const {
  std::string name;
  if (!EnumerateValues(index, name)) {
    if (buf != nullptr && size > 0) buf[0] = '\0';
    return 0;
  }
  return CopyOut(name, buf, size);
}

int CRegKey::EnumerateSubKeys(int index, std::string& name) const {
  CRegStore* store = CRegStore::Get(root_);
  if (store == nullptr) return 0;
  if (index < 0) {
    SetLastError(REG_ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool found = store->Inspect([&](const CRegTree& tree) {
    std::vector<std::string> names = tree.SubKeys(folded_);
    if (static_cast<size_t>(index) >= names.size()) return false;
    name = names[static_cast<size_t>(index)];
    return true;
  });
  if (!found) SetLastError(REG_ERROR_NO_MORE_ITEMS);
  return found ? 1 : 0;
}

int CRegKey::EnumerateSubKeys(int index, char* buf, int64_t size) const {
  std::string name;
  if (!EnumerateSubKeys(index, name)) {
    if (buf != nullptr && size > 0) buf[0] = '\0';
    return 0;
  }
  return CopyOut(name, buf, size);
}

void DeleteRegKey(CRegKey** key) {
  if (key == nullptr) return;
  delete *key;
  *key = nullptr;
}
