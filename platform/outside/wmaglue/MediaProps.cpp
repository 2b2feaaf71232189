#include "platform/outside/wmaglue/MediaProps.h"

#include <algorithm>
#include <cstring>

namespace wmaglue {

CMediaProps* CMediaProps::ForPcm(const tWAVEFORMATEX& format) {
  auto* props = new CMediaProps();
  WM_MEDIA_TYPE& t = props->type_;
  t.majortype = WMMEDIATYPE_Audio;
  t.subtype = WMMEDIASUBTYPE_PCM;
  t.bFixedSizeSamples = 1;
  t.bTemporalCompression = 0;
  t.lSampleSize = format.nBlockAlign;
  t.formattype = WMFORMAT_WaveFormatEx;
  tWAVEFORMATEX wfx = format;
  wfx.cbSize = 0;
  props->format_.resize(sizeof wfx);
  std::memcpy(props->format_.data(), &wfx, sizeof wfx);
  t.cbFormat = sizeof wfx;
  return props;
}

WmaResult CMediaProps::QueryInterface(const WMGuid& iid, void** object) {
  if (object == nullptr) return WM_E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IWMUnknown)) return WM_E_NOINTERFACE;
  AddRef();
  *object = static_cast<IWMInputMediaProps*>(this);
  return WM_OK;
}

uint32_t CMediaProps::AddRef() { return refs_.Add(); }

uint32_t CMediaProps::Release() {
  const uint32_t left = refs_.Drop();
  if (left == 0) delete this;
  return left;
}

WmaResult CMediaProps::GetMediaType(WM_MEDIA_TYPE* type, uint32_t* size) {
  if (size == nullptr) return WM_E_POINTER;
  const uint32_t needed = static_cast<uint32_t>(sizeof(WM_MEDIA_TYPE) + format_.size());
  if (type == nullptr) {
    *size = needed;
    return WM_OK;
  }
  if (*size < needed) {
    *size = needed;
    return WM_E_INVALIDARG;
  }
  *type = type_;
  type->pUnk = nullptr;
  type->cbFormat = static_cast<uint32_t>(format_.size());
  type->pbFormat = reinterpret_cast<uint8_t*>(type) + sizeof(WM_MEDIA_TYPE);
  if (!format_.empty()) std::memcpy(type->pbFormat, format_.data(), format_.size());
  *size = needed;
  return WM_OK;
}

WmaResult CMediaProps::SetMediaType(const WM_MEDIA_TYPE* type) {
  if (type == nullptr || (type->cbFormat > 0 && type->pbFormat == nullptr)) return WM_E_POINTER;
  if (type->cbFormat > 0x10000) return WM_E_INVALIDARG;
  type_ = *type;
  type_.pUnk = nullptr;
  format_.assign(type->pbFormat, type->pbFormat + type->cbFormat);
  type_.pbFormat = nullptr;
  return WM_OK;
}

bool PcmFormatOf(IWMMediaProps* props, tWAVEFORMATEX* format) {
  uint32_t size = 0;
  if (props == nullptr || WmFailed(props->GetMediaType(nullptr, &size)) ||
      size < sizeof(WM_MEDIA_TYPE))
    return false;
  std::vector<uint64_t> room((size + 7) / 8);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(room.data());
  if (WmFailed(props->GetMediaType(type, &size))) return false;
  if (!(type->majortype == WMMEDIATYPE_Audio) || !(type->subtype == WMMEDIASUBTYPE_PCM) ||
      !(type->formattype == WMFORMAT_WaveFormatEx) || type->cbFormat < 16 ||
      type->pbFormat == nullptr)
    return false;
  tWAVEFORMATEX f{};
  std::memcpy(&f, type->pbFormat, std::min<size_t>(sizeof f, type->cbFormat));
  if (f.wFormatTag != WAVE_FORMAT_PCM || f.wBitsPerSample != 16 || f.nChannels == 0 ||
      f.nChannels > 8 || f.nSamplesPerSec < 1000 || f.nSamplesPerSec > 384000)
    return false;
  *format = f;
  return true;
}

}  // namespace wmaglue
