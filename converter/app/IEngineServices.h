// What the converter's entry needs from the sound engine.
#pragma once

#include <cstdint>
#include <string>

class IEngineServices {
 public:
  virtual ~IEngineServices() = default;
  // Starts the engine (its thread and strings file); 1 on success.
  virtual int SoundEngineStartup() = 0;
  virtual void LoadLibraryWMADecoder() = 0;
  virtual void FreeConversionLibraries() = 0;
  // The target a source is converted into: 0 WAV, 1 MP3, 2 WMA, or 3 when a
  // WAV source has no other encoder to go to.
  virtual uint32_t DetermineTargetConversion(const std::string& path) = 0;
};
