#include "platform/outside/wmaglue/AttributeList.h"

#include <algorithm>
#include <cstring>

#include "platform/data/ByteOrder.h"
#include "platform/outside/wmaglue/Utf16.h"

namespace wmaglue {

namespace {

// Bytes a value of a fixed-size type has; 0 for the others.
uint16_t FixedSize(WMT_ATTR_DATATYPE type) {
  switch (type) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
      return 4;
    case WMT_TYPE_QWORD:
      return 8;
    case WMT_TYPE_WORD:
      return 2;
    case WMT_TYPE_GUID:
      return 16;
    default:
      return 0;
  }
}

// Copies what fits the caller's buffer, or tells the length needed.
WmaResult Deliver(const void* data, size_t size, void* buffer, uint16_t* length) {
  if (length == nullptr) return buffer == nullptr ? WM_OK : WM_E_POINTER;
  if (size > 0xFFFF) return WM_E_FAIL;
  if (buffer != nullptr) {
    if (*length < size) return WM_E_INVALIDARG;
    if (size > 0) std::memcpy(buffer, data, size);
  }
  *length = static_cast<uint16_t>(size);
  return WM_OK;
}

}  // namespace

const TWmAttribute* CAttributeList::Find(const std::u16string& name) const {
  for (const auto& a : items_)
    if (SameName(a.name, name)) return &a;
  return nullptr;
}

void CAttributeList::Put(TWmAttribute attribute) {
  for (auto& a : items_) {
    if (SameName(a.name, attribute.name)) {
      a = std::move(attribute);
      return;
    }
  }
  items_.push_back(std::move(attribute));
}

WmaResult CAttributeList::GetCount(uint16_t stream, uint16_t* count) const {
  if (count == nullptr) return WM_E_POINTER;
  *count = stream == 0 ? static_cast<uint16_t>(std::min<size_t>(items_.size(), 0xFFFF)) : 0;
  return WM_OK;
}

WmaResult CAttributeList::GetByIndex(uint16_t index, uint16_t* stream, char16_t* name,
                                     uint16_t* nameLength, WMT_ATTR_DATATYPE* type, uint8_t* value,
                                     uint16_t* valueLength) const {
  if (index >= items_.size()) return WM_E_ATTRIBUTE_NOT_FOUND;
  const TWmAttribute& a = items_[index];
  if (stream != nullptr) *stream = 0;
  if (type != nullptr) *type = a.type;
  // Name lengths count UTF-16 units with the terminator.
  if (nameLength != nullptr) {
    const size_t units = a.name.size() + 1;
    if (name != nullptr) {
      if (*nameLength < units) return WM_E_INVALIDARG;
      std::memcpy(name, a.name.c_str(), units * sizeof(char16_t));
    }
    *nameLength = static_cast<uint16_t>(units);
  } else if (name != nullptr) {
    return WM_E_POINTER;
  }
  return Deliver(a.value.data(), a.value.size(), value, valueLength);
}

WmaResult CAttributeList::GetByName(uint16_t* stream, const char16_t* name, WMT_ATTR_DATATYPE* type,
                                    uint8_t* value, uint16_t* valueLength) const {
  if (name == nullptr) return WM_E_POINTER;
  if (stream != nullptr && *stream != 0) return WM_E_ATTRIBUTE_NOT_FOUND;
  const TWmAttribute* a = Find(name);
  if (a == nullptr) return WM_E_ATTRIBUTE_NOT_FOUND;
  if (type != nullptr) *type = a->type;
  return Deliver(a->value.data(), a->value.size(), value, valueLength);
}

WmaResult CAttributeList::Set(uint16_t stream, const char16_t* name, WMT_ATTR_DATATYPE type,
                              const uint8_t* value, uint16_t valueLength) {
  if (name == nullptr || name[0] == 0 || (value == nullptr && valueLength > 0))
    return WM_E_INVALIDARG;
  if (stream != 0) return WM_E_INVALIDARG;
  if (type < WMT_TYPE_DWORD || type > WMT_TYPE_GUID) return WM_E_INVALIDARG;
  const uint16_t fixed = FixedSize(type);
  if (fixed != 0 && valueLength != fixed) return WM_E_INVALIDARG;
  TWmAttribute a;
  a.name = name;
  a.type = type;
  if (type == WMT_TYPE_STRING) {
    // Up to the first terminator; an unterminated text is taken whole.
    std::u16string text;
    for (uint16_t i = 0; i + 1 < valueLength; i += 2) {
      const char16_t c = LoadLE16(value + i);
      if (c == 0) break;
      text.push_back(c);
    }
    Put(Text(a.name, text));
    return WM_OK;
  }
  a.value.assign(value, value + valueLength);
  Put(std::move(a));
  return WM_OK;
}

TWmAttribute CAttributeList::Text(const std::u16string& name, const std::u16string& text) {
  TWmAttribute a;
  a.name = name;
  a.type = WMT_TYPE_STRING;
  a.value.resize((text.size() + 1) * 2);
  for (size_t i = 0; i < text.size(); ++i) StoreLE16(a.value.data() + 2 * i, text[i]);
  return a;
}

TWmAttribute CAttributeList::Number(const std::u16string& name, WMT_ATTR_DATATYPE type,
                                    uint64_t value) {
  TWmAttribute a;
  a.name = name;
  a.type = type;
  a.value.resize(FixedSize(type));
  if (a.value.size() == 8) StoreLE64(a.value.data(), value);
  if (a.value.size() == 4) StoreLE32(a.value.data(), static_cast<uint32_t>(value));
  if (a.value.size() == 2) StoreLE16(a.value.data(), static_cast<uint16_t>(value));
  return a;
}

std::u16string CAttributeList::TextOf(const TWmAttribute& attribute) {
  std::u16string text;
  for (size_t i = 0; i + 1 < attribute.value.size(); i += 2) {
    const char16_t c = LoadLE16(attribute.value.data() + i);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace wmaglue
