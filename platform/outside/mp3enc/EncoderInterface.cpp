#include "platform/outside/mp3enc/EncoderInterface.h"

#include <lame/lame.h>

#include <cstring>
#include <memory>
#include <new>

#include "platform/outside/mp3enc/LameStream.h"
#include "platform/outside/mp3enc/StreamTable.h"
#include "platform/outside/mp3enc/VbrHeaderWriter.h"

namespace mp3enc {

namespace {

constexpr char kHomepage[] = "https://lame.sourceforge.io";
// The release date of these libraries.
constexpr uint8_t kDay = 9, kMonth = 12;
constexpr uint16_t kYear = 2026;

uint8_t Byte(int value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

}  // namespace

BE_ERR EncoderInterface::InitStream(EncoderInterfaceKind kind, const void* config,
                                    uint32_t* samples, uint32_t* outputBytes, HBE_STREAM* stream) {
  if (!config || !samples || !outputBytes || !stream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  EncoderSettings settings;
  const BE_ERR read = ConfigReader::Read(config, kind, &settings);
  if (read != BE_ERR_SUCCESSFUL) return read;
  auto lame = std::shared_ptr<LameStream>(new (std::nothrow) LameStream);
  if (!lame) return BE_ERR_NO_MORE_HANDLES;
  const BE_ERR opened = lame->Open(settings);
  if (opened != BE_ERR_SUCCESSFUL) return opened;
  const uint32_t perCall = lame->SamplesPerCall(), room = lame->OutputBytes();
  HBE_STREAM handle = 0;
  const BE_ERR added = StreamTable::Instance().Add(std::move(lame), &handle);
  if (added != BE_ERR_SUCCESSFUL) return added;
  *samples = perCall;
  *outputBytes = room;
  *stream = handle;
  return BE_ERR_SUCCESSFUL;
}

BE_ERR EncoderInterface::EncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm,
                                     uint8_t* output, uint32_t* outputBytes) {
  auto lame = StreamTable::Instance().Find(stream);
  if (!lame) return BE_ERR_INVALID_HANDLE;
  return lame->Encode(samples, pcm, output, outputBytes);
}

BE_ERR EncoderInterface::DeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
  auto lame = StreamTable::Instance().Find(stream);
  if (!lame) return BE_ERR_INVALID_HANDLE;
  std::vector<uint8_t> tagFrame;
  bool flushedNow = false;
  const BE_ERR result = lame->Flush(output, outputBytes, &tagFrame, &flushedNow);
  // A stream without a tag clears the one kept before, so that frame is
  // never written into this stream's file.
  if (flushedNow) StreamTable::Instance().KeepTagFrame(std::move(tagFrame));
  return result;
}

BE_ERR EncoderInterface::CloseStream(HBE_STREAM stream) {
  return StreamTable::Instance().Remove(stream) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

BE_ERR EncoderInterface::WriteVbrHeader(const char* path) {
  return VbrHeaderWriter::Write(path, StreamTable::Instance().TagFrame());
}

void EncoderInterface::Version(BE_VERSION* version, uint8_t libraryMajor, uint8_t libraryMinor) {
  if (!version) return;
  lame_version_t lame{};
  get_lame_version_numerical(&lame);
  BE_VERSION v{};
  v.byDLLMajorVersion = libraryMajor;
  v.byDLLMinorVersion = libraryMinor;
  v.byMajorVersion = Byte(lame.major);
  v.byMinorVersion = Byte(lame.minor);
  v.byDay = kDay;
  v.byMonth = kMonth;
  v.wYear = kYear;
  static_assert(sizeof kHomepage <= sizeof v.zHomepage);
  std::memcpy(v.zHomepage, kHomepage, sizeof kHomepage);
  v.byAlphaLevel = Byte(lame.alpha);
  v.byBetaLevel = Byte(lame.beta);
  std::memcpy(version, &v, sizeof v);
}

}  // namespace mp3enc
