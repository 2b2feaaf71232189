// A writer profile: WMA version 2 at a bit rate the encoder accepts.
#pragma once

#include <cstdint>

#include "platform/outside/WindowsMedia.h"
#include "platform/outside/wmaglue/RefCount.h"
#include "platform/wma/WmaGlue.h"

namespace wmaglue {

class CWmaProfile final : public IWMProfile {
 public:
  // The profile for a request; a bit rate below the encoder's lowest is
  // raised to it. Null when the encoder cannot do the request at all.
  static CWmaProfile* Generate(const TWMAProfileRequest& request);
  // Ours, or null for a profile made elsewhere.
  static const CWmaProfile* Of(IWMProfile* profile);

  WmaResult QueryInterface(const WMGuid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  uint32_t Bitrate() const { return bitrate_; }  // bit/s, as used
  uint32_t Rate() const { return rate_; }
  uint32_t Channels() const { return channels_; }

 private:
  CWmaProfile(uint32_t bitrate, uint32_t rate, uint32_t channels)
      : bitrate_(bitrate), rate_(rate), channels_(channels) {}
  ~CWmaProfile() = default;

  CRefCount refs_;
  uint32_t bitrate_, rate_, channels_;
};

}  // namespace wmaglue
