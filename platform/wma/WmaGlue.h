// The entry points of the WMA library "wmaglue.so" and their loader. The
// library is never linked: it is loaded by full path from the program
// directory when WMA reading or writing is wanted, and every entry point must
// be present for it to count as available.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WaveFormat.h"
#include "platform/outside/WindowsMedia.h"
#include "platform/wma/WmaErrors.h"

constexpr const char* kWmaLibraryName = "wmaglue.so";

// What a writer profile is made from.
struct TWMAProfileRequest {
  uint32_t bitRate;     // bit/s
  uint32_t formatTag;   // 353 (WMA version 2)
  uint32_t sampleRate;  // samples per second
  uint32_t channels;
};
static_assert(sizeof(TWMAProfileRequest) == 16, "four 32-bit fields");

extern "C" {
// (0, 0, &reader, &readerAdvanced)
using PFN_Quillon_WMCreateReader = WmaResult (*)(void* reserved, uint32_t rights,
                                                 IWMReader** reader, IWMReaderAdvanced** advanced);
// (null, &writer, UTF-16 path of the file to write)
using PFN_Quillon_WMCreateWriter = WmaResult (*)(void* reserved, IWMWriter** writer,
                                                 const char16_t* path);
using PFN_Quillon_WMCreateEditor = WmaResult (*)(IWMMetadataEditor** editor);
using PFN_Quillon_GenerateProfile = WmaResult (*)(const TWMAProfileRequest* request,
                                                  IWMProfile** profile);
using PFN_Quillon_ReleaseProfile = WmaResult (*)(IWMProfile** profile);
// With formats null stores the number of output formats in count; otherwise
// fills count records of 18 bytes.
using PFN_Quillon_GenerateCodecList = WmaResult (*)(tWAVEFORMATEX* formats, int32_t* count);
}

// One loaded copy of the library with its entry points.
class CWmaGlue {
 public:
  CWmaGlue();
  ~CWmaGlue();
  CWmaGlue(const CWmaGlue&) = delete;
  CWmaGlue& operator=(const CWmaGlue&) = delete;

  // Loads ProgramDirectory() + kWmaLibraryName. 1 on success; 0 with last
  // error kErrWmaUnavailable when the file or any entry point is missing.
  int Load();
  // The same for a library at a full path.
  int LoadFile(const std::string& path);
  void Unload();
  int IsLoaded() const { return handle_ != nullptr; }

  // 1 when the library at path loads with every entry point (it is unloaded again).
  static int Probe(const std::string& path);

  PFN_Quillon_WMCreateReader createReader = nullptr;
  PFN_Quillon_WMCreateWriter createWriter = nullptr;
  PFN_Quillon_WMCreateEditor createEditor = nullptr;
  PFN_Quillon_GenerateProfile generateProfile = nullptr;
  PFN_Quillon_ReleaseProfile releaseProfile = nullptr;
  PFN_Quillon_GenerateCodecList generateCodecList = nullptr;

 private:
  void* handle_ = nullptr;
};
