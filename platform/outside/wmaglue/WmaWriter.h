// The Windows Media writer: PCM samples in, a WMA version 2 file out at the
// path it was made for, with the profile's bit rate, rate and channels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WaveFormat.h"
#include "platform/outside/WindowsMedia.h"
#include "platform/outside/wmaglue/RefCount.h"
#include "platform/outside/wmaglue/WmaEncoder.h"

namespace wmaglue {

class CWmaWriter final : public IWMWriter {
 public:
  explicit CWmaWriter(std::string path);

  WmaResult QueryInterface(const WMGuid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  WmaResult SetProfile(IWMProfile* profile) override;
  WmaResult GetInputCount(uint32_t* inputs) override;
  WmaResult GetInputProps(uint32_t input, IWMInputMediaProps** props) override;
  WmaResult SetInputProps(uint32_t input, IWMInputMediaProps* props) override;
  WmaResult BeginWriting() override;
  WmaResult EndWriting() override;
  WmaResult AllocateSample(uint32_t size, INSSBuffer** sample) override;
  WmaResult WriteSample(uint32_t input, uint64_t time, uint32_t flags, INSSBuffer* sample) override;
  WmaResult Flush() override;

 private:
  // A writer let go while writing finishes its file.
  ~CWmaWriter();
  tWAVEFORMATEX DefaultInput() const;

  CRefCount refs_;
  std::string path_;
  TEncoderSettings settings_;  // rate 0 until a profile is set
  tWAVEFORMATEX input_{};      // tag 0 until an input type is set
  CWmaEncoder encoder_;
  std::vector<uint8_t> partial_;  // bytes not yet encoded: less than a sample frame
  std::vector<int16_t> staging_;  // the whole frames of one sample
};

}  // namespace wmaglue
