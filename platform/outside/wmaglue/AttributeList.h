// The file-wide attributes of a Windows Media file, with the two-call length
// protocol of IWMHeaderInfo: a null buffer asks for the length it needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/outside/WindowsMedia.h"

namespace wmaglue {

struct TWmAttribute {
  std::u16string name;
  WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
  std::vector<uint8_t> value;  // as the interface carries it; strings UTF-16LE, terminated
};

class CAttributeList {
 public:
  const std::vector<TWmAttribute>& Items() const { return items_; }
  const TWmAttribute* Find(const std::u16string& name) const;
  // Replaces the attribute of that name or appends it.
  void Put(TWmAttribute attribute);
  void Add(TWmAttribute attribute) { items_.push_back(std::move(attribute)); }

  WmaResult GetCount(uint16_t stream, uint16_t* count) const;
  WmaResult GetByIndex(uint16_t index, uint16_t* stream, char16_t* name, uint16_t* nameLength,
                       WMT_ATTR_DATATYPE* type, uint8_t* value, uint16_t* valueLength) const;
  WmaResult GetByName(uint16_t* stream, const char16_t* name, WMT_ATTR_DATATYPE* type,
                      uint8_t* value, uint16_t* valueLength) const;
  // Checks the value against its type first; a string gets its terminator.
  WmaResult Set(uint16_t stream, const char16_t* name, WMT_ATTR_DATATYPE type, const uint8_t* value,
                uint16_t valueLength);

  static TWmAttribute Text(const std::u16string& name, const std::u16string& text);
  static TWmAttribute Number(const std::u16string& name, WMT_ATTR_DATATYPE type, uint64_t value);
  // A string attribute's text without its terminator.
  static std::u16string TextOf(const TWmAttribute& attribute);

 private:
  std::vector<TWmAttribute> items_;
};

}  // namespace wmaglue
