// An encoder library with the BladeEnc interface that fails on purpose, to
// provoke what a real encoder does only rarely: every call succeeds and
// gives a few bytes, but the thirtieth encode call of a stream fails. A handle
// closed twice aborts the process, so a test sees the double close.
#include <cstdlib>
#include <cstring>

#include "platform/outside/BladeEnc.h"

namespace {
int encodeCalls = 0;
bool open = false;
}  // namespace

extern "C" {

__attribute__((visibility("default"))) BE_ERR beInitStream(void*, uint32_t* samples,
                                                           uint32_t* outputBytes,
                                                           HBE_STREAM* stream) {
  *samples = 2304;
  *outputBytes = 8192;
  *stream = 1;
  encodeCalls = 0;
  open = true;
  return BE_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) BE_ERR beEncodeChunk(HBE_STREAM, uint32_t, const int16_t*,
                                                            uint8_t* output,
                                                            uint32_t* outputBytes) {
  if (++encodeCalls == 30) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  std::memset(output, 0, 16);
  *outputBytes = 16;
  return BE_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) BE_ERR beDeinitStream(HBE_STREAM, uint8_t*,
                                                             uint32_t* outputBytes) {
  *outputBytes = 0;
  return BE_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) BE_ERR beCloseStream(HBE_STREAM) {
  if (!open) std::abort();
  open = false;
  return BE_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) BE_ERR beWriteVBRHeader(const char*) {
  return BE_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) void beVersion(BE_VERSION* v) {
  std::memset(v, 0, sizeof *v);
}
}
