#include "platform/outside/wmaglue/WmaWriter.h"

#include <cstring>

#include "platform/outside/wmaglue/MediaProps.h"
#include "platform/outside/wmaglue/SampleBuffer.h"
#include "platform/outside/wmaglue/WmaProfile.h"

namespace wmaglue {

CWmaWriter::CWmaWriter(std::string path) : path_(std::move(path)) {}

CWmaWriter::~CWmaWriter() {
  if (encoder_.Writing()) EndWriting();
}

WmaResult CWmaWriter::QueryInterface(const WMGuid& iid, void** object) {
  if (object == nullptr) return WM_E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IWMUnknown)) return WM_E_NOINTERFACE;
  AddRef();
  *object = static_cast<IWMWriter*>(this);
  return WM_OK;
}

uint32_t CWmaWriter::AddRef() { return refs_.Add(); }

uint32_t CWmaWriter::Release() {
  const uint32_t left = refs_.Drop();
  if (left == 0) delete this;
  return left;
}

WmaResult CWmaWriter::SetProfile(IWMProfile* profile) {
  if (profile == nullptr) return WM_E_POINTER;
  if (encoder_.Writing()) return WM_E_UNEXPECTED;
  const CWmaProfile* ours = CWmaProfile::Of(profile);
  if (ours == nullptr) return WM_E_INVALIDARG;
  settings_.rate = ours->Rate();
  settings_.channels = ours->Channels();
  settings_.bitrate = ours->Bitrate();
  return WM_OK;
}

WmaResult CWmaWriter::GetInputCount(uint32_t* inputs) {
  if (inputs == nullptr) return WM_E_POINTER;
  *inputs = 1;
  return WM_OK;
}

tWAVEFORMATEX CWmaWriter::DefaultInput() const {
  tWAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<uint16_t>(settings_.channels);
  f.nSamplesPerSec = settings_.rate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = static_cast<uint16_t>(2 * f.nChannels);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  return f;
}

WmaResult CWmaWriter::GetInputProps(uint32_t input, IWMInputMediaProps** props) {
  if (props == nullptr) return WM_E_POINTER;
  *props = nullptr;
  if (input != 0) return WM_E_INVALIDARG;
  if (settings_.rate == 0) return WM_E_UNEXPECTED;
  *props = CMediaProps::ForPcm(input_.wFormatTag != 0 ? input_ : DefaultInput())->AsInput();
  return WM_OK;
}

WmaResult CWmaWriter::SetInputProps(uint32_t input, IWMInputMediaProps* props) {
  if (input != 0) return WM_E_INVALIDARG;
  if (encoder_.Writing()) return WM_E_UNEXPECTED;
  tWAVEFORMATEX f{};
  if (!PcmFormatOf(props, &f)) return WM_E_INVALIDARG;
  f.nBlockAlign = static_cast<uint16_t>(2 * f.nChannels);
  input_ = f;
  return WM_OK;
}

WmaResult CWmaWriter::BeginWriting() {
  if (settings_.rate == 0 || encoder_.Writing()) return WM_E_UNEXPECTED;
  if (input_.wFormatTag == 0) input_ = DefaultInput();
  settings_.inputRate = input_.nSamplesPerSec;
  settings_.inputChannels = input_.nChannels;
  partial_.clear();
  return encoder_.Begin(path_, settings_);
}

WmaResult CWmaWriter::EndWriting() {
  if (!encoder_.Writing()) return WM_E_UNEXPECTED;
  return encoder_.End();
}

WmaResult CWmaWriter::AllocateSample(uint32_t size, INSSBuffer** sample) {
  if (sample == nullptr) return WM_E_POINTER;
  *sample = new CSampleBuffer(size);
  return WM_OK;
}

WmaResult CWmaWriter::WriteSample(uint32_t input, uint64_t, uint32_t, INSSBuffer* sample) {
  if (sample == nullptr) return WM_E_POINTER;
  if (input != 0) return WM_E_INVALIDARG;
  if (!encoder_.Writing()) return WM_E_UNEXPECTED;
  uint8_t* data = nullptr;
  uint32_t length = 0;
  if (WmFailed(sample->GetBufferAndLength(&data, &length))) return WM_E_INVALIDARG;
  // Whole sample frames go to the encoder, through an aligned copy; a frame
  // cut between two samples waits for its rest.
  const size_t block = input_.nBlockAlign;
  partial_.insert(partial_.end(), data, data + length);
  const size_t frames = partial_.size() / block;
  if (frames == 0) return WM_OK;
  staging_.resize(frames * block / 2);
  std::memcpy(staging_.data(), partial_.data(), frames * block);
  partial_.erase(partial_.begin(), partial_.begin() + static_cast<long>(frames * block));
  return encoder_.Write(staging_.data(), frames);
}

WmaResult CWmaWriter::Flush() { return WM_OK; }

}  // namespace wmaglue
