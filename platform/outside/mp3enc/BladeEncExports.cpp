// The entry points of BladeEnc.so: the basic record alone (MPEG-1 at constant
// bit rate, no joint stereo) and no VBR header.
#include <type_traits>

#include "platform/outside/BladeEnc.h"
#include "platform/outside/mp3enc/EncoderInterface.h"

using mp3enc::EncoderInterface;
using mp3enc::EncoderInterfaceKind;

MP3ENC_EXPORT BE_ERR beInitStream(void* config, uint32_t* samples, uint32_t* outputBytes,
                                  HBE_STREAM* stream) {
  return EncoderInterface::InitStream(EncoderInterfaceKind::kBasic, config, samples, outputBytes,
                                      stream);
}

MP3ENC_EXPORT BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm,
                                   uint8_t* output, uint32_t* outputBytes) {
  return EncoderInterface::EncodeChunk(stream, samples, pcm, output, outputBytes);
}

MP3ENC_EXPORT BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
  return EncoderInterface::DeinitStream(stream, output, outputBytes);
}

MP3ENC_EXPORT BE_ERR beCloseStream(HBE_STREAM stream) {
  return EncoderInterface::CloseStream(stream);
}

MP3ENC_EXPORT void beVersion(BE_VERSION* version) { EncoderInterface::Version(version, 1, 0); }

// The exports have the types the writers call them through.
static_assert(std::is_same_v<decltype(&beInitStream), BEINITSTREAM>);
static_assert(std::is_same_v<decltype(&beEncodeChunk), BEENCODECHUNK>);
static_assert(std::is_same_v<decltype(&beDeinitStream), BEDEINITSTREAM>);
static_assert(std::is_same_v<decltype(&beCloseStream), BECLOSESTREAM>);
static_assert(std::is_same_v<decltype(&beVersion), BEVERSION>);
