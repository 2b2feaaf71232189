// The sound engine as the converter's entry uses it.
#pragma once

#include "converter/app/IEngineServices.h"

class CEngineServices : public IEngineServices {
 public:
  int SoundEngineStartup() override;
  void LoadLibraryWMADecoder() override;
  void FreeConversionLibraries() override;
  uint32_t DetermineTargetConversion(const std::string& path) override;
};
