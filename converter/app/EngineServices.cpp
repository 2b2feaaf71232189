#include "converter/app/EngineServices.h"

#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/core/SoundEngine.h"

int CEngineServices::SoundEngineStartup() { return ::SoundEngineStartup(); }

void CEngineServices::LoadLibraryWMADecoder() { ::LoadLibraryWMADecoder(); }

void CEngineServices::FreeConversionLibraries() { ::FreeConversionLibraries(); }

uint32_t CEngineServices::DetermineTargetConversion(const std::string& path) {
  return static_cast<uint32_t>(::DetermineTargetConversion(path.c_str()));
}
