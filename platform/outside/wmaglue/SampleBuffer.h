// A block of bytes handed across the interfaces: the PCM of one OnSample, or
// the buffer a writer's caller fills for WriteSample.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/outside/WindowsMedia.h"
#include "platform/outside/wmaglue/RefCount.h"

namespace wmaglue {

class CSampleBuffer final : public INSSBuffer {
 public:
  explicit CSampleBuffer(uint32_t maxLength);

  WmaResult QueryInterface(const WMGuid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  WmaResult GetLength(uint32_t* length) override;
  WmaResult SetLength(uint32_t length) override;
  WmaResult GetMaxLength(uint32_t* length) override;
  WmaResult GetBuffer(uint8_t** buffer) override;
  WmaResult GetBufferAndLength(uint8_t** buffer, uint32_t* length) override;

  // Whether only its maker holds it, so it can be filled again.
  bool Unshared() const { return refs_.Value() == 1; }
  // Makes room for at least maxLength bytes and sets the length to it.
  void Resize(uint32_t maxLength);
  uint8_t* Data() { return bytes_.data(); }

 private:
  ~CSampleBuffer() = default;

  CRefCount refs_;
  std::vector<uint8_t> bytes_;
  uint32_t length_;
};

}  // namespace wmaglue
