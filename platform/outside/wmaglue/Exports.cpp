// The entry points of wmaglue.so; everything else in the library is hidden.
#include <algorithm>
#include <type_traits>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/outside/wmaglue/EncoderLimits.h"
#include "platform/outside/wmaglue/MetadataEditor.h"
#include "platform/outside/wmaglue/Utf16.h"
#include "platform/outside/wmaglue/WmaProfile.h"
#include "platform/outside/wmaglue/WmaReader.h"
#include "platform/outside/wmaglue/WmaWriter.h"
#include "platform/wma/WmaGlue.h"

#define WMAGLUE_EXPORT extern "C" __attribute__((visibility("default")))

using namespace wmaglue;

namespace {

// FFmpeg's complaints about damaged input are answered with results here,
// not printed; nothing else in the program uses FFmpeg.
[[maybe_unused]] const bool quiet = [] {
  av_log_set_level(AV_LOG_FATAL);
  return true;
}();

}  // namespace

WMAGLUE_EXPORT WmaResult Quillon_WMCreateReader(void*, uint32_t, IWMReader** reader,
                                                IWMReaderAdvanced** advanced) {
  if (reader == nullptr) return WM_E_POINTER;
  *reader = nullptr;
  if (advanced != nullptr) *advanced = nullptr;
  auto* r = new CWmaReader();
  *reader = r;
  if (advanced != nullptr) {
    r->AddRef();
    *advanced = r;
  }
  return WM_OK;
}

WMAGLUE_EXPORT WmaResult Quillon_WMCreateWriter(void*, IWMWriter** writer, const char16_t* path) {
  if (writer == nullptr) return WM_E_POINTER;
  *writer = nullptr;
  if (path == nullptr || path[0] == 0) return WM_E_INVALIDARG;
  *writer = new CWmaWriter(Utf16ToUtf8(path));
  return WM_OK;
}

WMAGLUE_EXPORT WmaResult Quillon_WMCreateEditor(IWMMetadataEditor** editor) {
  if (editor == nullptr) return WM_E_POINTER;
  *editor = new CMetadataEditor();
  return WM_OK;
}

WMAGLUE_EXPORT WmaResult Quillon_GenerateProfile(const TWMAProfileRequest* request,
                                                 IWMProfile** profile) {
  if (request == nullptr || profile == nullptr) return WM_E_POINTER;
  *profile = CWmaProfile::Generate(*request);
  return *profile != nullptr ? WM_OK : WM_E_INVALIDARG;
}

WMAGLUE_EXPORT WmaResult Quillon_ReleaseProfile(IWMProfile** profile) {
  if (profile == nullptr) return WM_E_POINTER;
  if (*profile != nullptr) (*profile)->Release();
  *profile = nullptr;
  return WM_OK;
}

// With formats null, the count; otherwise up to *count formats, and *count
// set to those filled in.
WMAGLUE_EXPORT WmaResult Quillon_GenerateCodecList(tWAVEFORMATEX* formats, int32_t* count) {
  if (count == nullptr) return WM_E_POINTER;
  const auto& list = CEncoderLimits::CodecList();
  if (formats == nullptr) {
    *count = static_cast<int32_t>(list.size());
    return WM_OK;
  }
  if (*count < 0) return WM_E_INVALIDARG;
  const size_t n = std::min(list.size(), static_cast<size_t>(*count));
  std::copy(list.begin(), list.begin() + static_cast<long>(n), formats);
  *count = static_cast<int32_t>(n);
  return WM_OK;
}

// The exports have the types the engine calls them through.
static_assert(std::is_same_v<decltype(&Quillon_WMCreateReader), PFN_Quillon_WMCreateReader>);
static_assert(std::is_same_v<decltype(&Quillon_WMCreateWriter), PFN_Quillon_WMCreateWriter>);
static_assert(std::is_same_v<decltype(&Quillon_WMCreateEditor), PFN_Quillon_WMCreateEditor>);
static_assert(std::is_same_v<decltype(&Quillon_GenerateProfile), PFN_Quillon_GenerateProfile>);
static_assert(std::is_same_v<decltype(&Quillon_ReleaseProfile), PFN_Quillon_ReleaseProfile>);
static_assert(std::is_same_v<decltype(&Quillon_GenerateCodecList), PFN_Quillon_GenerateCodecList>);
