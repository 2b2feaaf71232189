// The media type of a reader's output or a writer's input: the record and
// its format block, given out in one piece by GetMediaType.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/WaveFormat.h"
#include "platform/outside/WindowsMedia.h"
#include "platform/outside/wmaglue/RefCount.h"

namespace wmaglue {

class CMediaProps final : public IWMInputMediaProps, public IWMOutputMediaProps {
 public:
  CMediaProps() = default;
  // Uncompressed audio in this wave format.
  static CMediaProps* ForPcm(const tWAVEFORMATEX& format);

  WmaResult QueryInterface(const WMGuid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  WmaResult GetMediaType(WM_MEDIA_TYPE* type, uint32_t* size) override;
  WmaResult SetMediaType(const WM_MEDIA_TYPE* type) override;

  IWMInputMediaProps* AsInput() { return this; }
  IWMOutputMediaProps* AsOutput() { return this; }

 private:
  ~CMediaProps() = default;

  CRefCount refs_;
  WM_MEDIA_TYPE type_{};
  std::vector<uint8_t> format_;
};

// The PCM wave format a media type describes: false unless it is audio,
// PCM, a wave format of 16 bits with one or more channels and a rate.
bool PcmFormatOf(IWMMediaProps* props, tWAVEFORMATEX* format);

}  // namespace wmaglue
