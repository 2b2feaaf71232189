// The BladeEnc entry points as both libraries implement them; each library's
// exports hand over to these with its own record kind and version. Nothing
// here throws or crashes on a null argument: every call answers with a
// BE_ERR value.
#pragma once

#include <cstdint>

#include "platform/outside/BladeEnc.h"
#include "platform/outside/mp3enc/ConfigReader.h"

// An entry point of the library; all else in it stays hidden, so the two
// libraries in one process never bind to each other's code.
#define MP3ENC_EXPORT extern "C" __attribute__((visibility("default")))

namespace mp3enc {

class EncoderInterface {
 public:
  static BE_ERR InitStream(EncoderInterfaceKind kind, const void* config, uint32_t* samples,
                           uint32_t* outputBytes, HBE_STREAM* stream);
  static BE_ERR EncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm,
                            uint8_t* output, uint32_t* outputBytes);
  // Flushes; the stream's tag frame (or none) becomes the one beWriteVBRHeader writes.
  static BE_ERR DeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
  static BE_ERR CloseStream(HBE_STREAM stream);
  static BE_ERR WriteVbrHeader(const char* path);
  // The library's own version, LAME's as the engine's.
  static void Version(BE_VERSION* version, uint8_t libraryMajor, uint8_t libraryMinor);
};

}  // namespace mp3enc
