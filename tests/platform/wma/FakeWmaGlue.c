/* A stand-in for the WMA library for the loader's tests: every entry point,
   or (with FAKE_WMAGLUE_PARTIAL) only some of them. */
#include <stdint.h>

int32_t Quillon_WMCreateReader(void* reserved, uint32_t rights, void** reader, void** advanced) {
  (void)reserved;
  (void)rights;
  (void)reader;
  (void)advanced;
  return -1;
}

int32_t Quillon_WMCreateWriter(void* reserved, void** writer, const uint16_t* path) {
  (void)reserved;
  (void)writer;
  (void)path;
  return -1;
}

int32_t Quillon_GenerateCodecList(void* formats, int32_t* count) {
  if (formats == 0 && count != 0) *count = 7;
  return 0;
}

#ifndef FAKE_WMAGLUE_PARTIAL
int32_t Quillon_WMCreateEditor(void** editor) {
  (void)editor;
  return -1;
}

int32_t Quillon_GenerateProfile(const void* request, void** profile) {
  (void)request;
  (void)profile;
  return -1;
}

int32_t Quillon_ReleaseProfile(void** profile) {
  (void)profile;
  return 0;
}
#endif
