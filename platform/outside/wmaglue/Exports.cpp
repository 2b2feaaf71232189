// The entry points of wmaglue.so; everything else in the library is hidden.
#include <type_traits>

#include "platform/outside/wmaglue/WmaReader.h"
#include "platform/wma/WmaGlue.h"

#define WMAGLUE_EXPORT extern "C" __attribute__((visibility("default")))

using namespace wmaglue;

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

WMAGLUE_EXPORT WmaResult Quillon_WMCreateWriter(void*, IWMWriter** writer, const char16_t*) {
  if (writer != nullptr) *writer = nullptr;
  return WM_E_NOTIMPL;
}

WMAGLUE_EXPORT WmaResult Quillon_WMCreateEditor(IWMMetadataEditor** editor) {
  if (editor != nullptr) *editor = nullptr;
  return WM_E_NOTIMPL;
}

WMAGLUE_EXPORT WmaResult Quillon_GenerateProfile(const TWMAProfileRequest*, IWMProfile** profile) {
  if (profile != nullptr) *profile = nullptr;
  return WM_E_NOTIMPL;
}

WMAGLUE_EXPORT WmaResult Quillon_ReleaseProfile(IWMProfile** profile) {
  if (profile == nullptr) return WM_E_POINTER;
  if (*profile != nullptr) (*profile)->Release();
  *profile = nullptr;
  return WM_OK;
}

WMAGLUE_EXPORT WmaResult Quillon_GenerateCodecList(tWAVEFORMATEX*, int32_t* count) {
  if (count == nullptr) return WM_E_POINTER;
  *count = 0;
  return WM_OK;
}

// The exports have the types the engine calls them through.
static_assert(std::is_same_v<decltype(&Quillon_WMCreateReader), PFN_Quillon_WMCreateReader>);
static_assert(std::is_same_v<decltype(&Quillon_WMCreateWriter), PFN_Quillon_WMCreateWriter>);
static_assert(std::is_same_v<decltype(&Quillon_WMCreateEditor), PFN_Quillon_WMCreateEditor>);
static_assert(std::is_same_v<decltype(&Quillon_GenerateProfile), PFN_Quillon_GenerateProfile>);
static_assert(std::is_same_v<decltype(&Quillon_ReleaseProfile), PFN_Quillon_ReleaseProfile>);
static_assert(std::is_same_v<decltype(&Quillon_GenerateCodecList), PFN_Quillon_GenerateCodecList>);
