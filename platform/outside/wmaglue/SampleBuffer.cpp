#include "platform/outside/wmaglue/SampleBuffer.h"

namespace wmaglue {

CSampleBuffer::CSampleBuffer(uint32_t maxLength) : bytes_(maxLength), length_(maxLength) {}

WmaResult CSampleBuffer::QueryInterface(const WMGuid& iid, void** object) {
  if (object == nullptr) return WM_E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IWMUnknown)) return WM_E_NOINTERFACE;
  AddRef();
  *object = static_cast<INSSBuffer*>(this);
  return WM_OK;
}

uint32_t CSampleBuffer::AddRef() { return refs_.Add(); }

uint32_t CSampleBuffer::Release() {
  const uint32_t left = refs_.Drop();
  if (left == 0) delete this;
  return left;
}

WmaResult CSampleBuffer::GetLength(uint32_t* length) {
  if (length == nullptr) return WM_E_POINTER;
  *length = length_;
  return WM_OK;
}

WmaResult CSampleBuffer::SetLength(uint32_t length) {
  if (length > bytes_.size()) return WM_E_INVALIDARG;
  length_ = length;
  return WM_OK;
}

WmaResult CSampleBuffer::GetMaxLength(uint32_t* length) {
  if (length == nullptr) return WM_E_POINTER;
  *length = static_cast<uint32_t>(bytes_.size());
  return WM_OK;
}

WmaResult CSampleBuffer::GetBuffer(uint8_t** buffer) {
  if (buffer == nullptr) return WM_E_POINTER;
  *buffer = bytes_.data();
  return WM_OK;
}

WmaResult CSampleBuffer::GetBufferAndLength(uint8_t** buffer, uint32_t* length) {
  if (buffer == nullptr || length == nullptr) return WM_E_POINTER;
  *buffer = bytes_.data();
  *length = length_;
  return WM_OK;
}

void CSampleBuffer::Resize(uint32_t maxLength) {
  if (bytes_.size() < maxLength) bytes_.resize(maxLength);
  length_ = maxLength;
}

}  // namespace wmaglue
