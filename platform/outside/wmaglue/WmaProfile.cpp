#include "platform/outside/wmaglue/WmaProfile.h"

#include "platform/WaveFormat.h"
#include "platform/outside/wmaglue/EncoderLimits.h"

namespace wmaglue {

CWmaProfile* CWmaProfile::Generate(const TWMAProfileRequest& request) {
  if (request.formatTag != WAVE_FORMAT_WMAUDIO2) return nullptr;
  if (request.channels < 1 || request.channels > 2 || request.sampleRate < 1000 ||
      request.sampleRate > 48000)
    return nullptr;
  const uint32_t lowest = CEncoderLimits::LowestBitrate(request.sampleRate, request.channels);
  if (lowest == 0) return nullptr;
  const uint32_t bitrate = request.bitRate < lowest ? lowest : request.bitRate;
  if (!CEncoderLimits::Accepts(request.sampleRate, request.channels, bitrate)) return nullptr;
  return new CWmaProfile(bitrate, request.sampleRate, request.channels);
}

const CWmaProfile* CWmaProfile::Of(IWMProfile* profile) {
  return dynamic_cast<const CWmaProfile*>(profile);
}

WmaResult CWmaProfile::QueryInterface(const WMGuid& iid, void** object) {
  if (object == nullptr) return WM_E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IWMUnknown)) return WM_E_NOINTERFACE;
  AddRef();
  *object = static_cast<IWMProfile*>(this);
  return WM_OK;
}

uint32_t CWmaProfile::AddRef() { return refs_.Add(); }

uint32_t CWmaProfile::Release() {
  const uint32_t left = refs_.Drop();
  if (left == 0) delete this;
  return left;
}

}  // namespace wmaglue
