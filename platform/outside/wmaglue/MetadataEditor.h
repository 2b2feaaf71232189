// Edits the attributes of a finished Windows Media file: the Header Object
// is written anew into a temporary file beside the target, the Data Object
// and all that follows copied byte for byte behind it, and the temporary
// file renamed over the target.
#pragma once

#include <string>

#include "platform/outside/WindowsMedia.h"
#include "platform/outside/wmaglue/AsfHeader.h"
#include "platform/outside/wmaglue/RefCount.h"

namespace wmaglue {

class CMetadataEditor final : public IWMMetadataEditor, public IWMHeaderInfo {
 public:
  CMetadataEditor() = default;

  WmaResult QueryInterface(const WMGuid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  WmaResult Open(const char16_t* path) override;
  WmaResult Close() override;
  WmaResult Flush() override;

  WmaResult GetAttributeCount(uint16_t stream, uint16_t* count) override;
  WmaResult GetAttributeByIndex(uint16_t index, uint16_t* stream, char16_t* name,
                                uint16_t* nameLength, WMT_ATTR_DATATYPE* type, uint8_t* value,
                                uint16_t* valueLength) override;
  WmaResult GetAttributeByName(uint16_t* stream, const char16_t* name, WMT_ATTR_DATATYPE* type,
                               uint8_t* value, uint16_t* valueLength) override;
  WmaResult SetAttribute(uint16_t stream, const char16_t* name, WMT_ATTR_DATATYPE type,
                         const uint8_t* value, uint16_t valueLength) override;

 private:
  // Attributes not flushed are dropped with the editor.
  ~CMetadataEditor() = default;
  WmaResult Rewrite();

  CRefCount refs_;
  std::string path_;
  bool open_ = false;
  bool changed_ = false;
  CAsfHeader header_;
};

}  // namespace wmaglue
