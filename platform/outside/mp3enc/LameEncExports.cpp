// The entry points of Lame_enc.so: the basic and the extended record, VBR and
// ABR, and the VBR header.
#include <type_traits>

#include "platform/outside/BladeEnc.h"
#include "platform/outside/mp3enc/EncoderInterface.h"

using mp3enc::EncoderInterface;
using mp3enc::EncoderInterfaceKind;

MP3ENC_EXPORT BE_ERR beInitStream(void* config, uint32_t* samples, uint32_t* outputBytes,
                                  HBE_STREAM* stream) {
  return EncoderInterface::InitStream(EncoderInterfaceKind::kExtended, config, samples, outputBytes,
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

MP3ENC_EXPORT void beVersion(BE_VERSION* version) { EncoderInterface::Version(version, 1, 32); }

MP3ENC_EXPORT BE_ERR beWriteVBRHeader(const char* path) {
  return EncoderInterface::WriteVbrHeader(path);
}

// The exports have the types the writers call them through.
static_assert(std::is_same_v<decltype(&beInitStream), BEINITSTREAM>);
static_assert(std::is_same_v<decltype(&beEncodeChunk), BEENCODECHUNK>);
static_assert(std::is_same_v<decltype(&beDeinitStream), BEDEINITSTREAM>);
static_assert(std::is_same_v<decltype(&beCloseStream), BECLOSESTREAM>);
static_assert(std::is_same_v<decltype(&beVersion), BEVERSION>);
static_assert(std::is_same_v<decltype(&beWriteVBRHeader), BEWRITEVBRHEADER>);
