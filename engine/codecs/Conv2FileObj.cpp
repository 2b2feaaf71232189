#include "engine/codecs/Conv2FileObj.h"

#include <atomic>
#include <cstring>
#include <string>

#include "engine/codecs/BladeConv2MP3.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2WaveFile.h"
#include "engine/codecs/Conv2WmaFile.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/LameConv2MP3.h"
#include "platform/paths/Paths.h"
#include "utilities/strings/BoundedCopy.h"

namespace {
std::atomic<int> waveCDBlockAlign{0};
}

void SetWaveCDBlockAlign(int on) { waveCDBlockAlign = on ? 1 : 0; }
int GetWaveCDBlockAlign() { return waveCDBlockAlign; }

CConv2FileObj::CConv2FileObj() = default;
CConv2FileObj::~CConv2FileObj() = default;

int CConv2FileObj::Create(const char* path, CConv2FileFormat*, const tWAVEFORMATEX*) {
  return path ? CFileObj::Create(path) : 0;
}

_tFileConversionTypedef CConv2FileObj::GetConversionType() {
  return static_cast<_tFileConversionTypedef>(conversionType);
}

int CConv2FileObj::GetFormatType() { return formatTag; }

const char* CConv2FileObj::DefaultExt() { return defaultExt; }

long CConv2FileObj::WriteStreamData(const void*, long, long* written) {
  if (written) *written = 0;
  return -1;
}

long CConv2FileObj::EndWriteStream() { return -1; }

long CConv2FileObj::FinalData(const char*, const char*, int* listWritten, TMusicInfo*) {
  if (listWritten) *listWritten = 0;
  return -1;
}

void CConv2FileObj::GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tag,
                                        _tSoundQualityTypedef quality) {
  if (!format) return;
  if (preset == -1) {
    const TConversionTypeRow* row = ConversionTypeRow(conversionType);
    preset = row ? row->defaultPreset : 0;
  }
  if (tag != TAG_UNCHANGED) format->tagType = tag;
  if (quality != SOUND_QUALITY_UNCHANGED) format->SetSoundQuality(quality);
  format->preset = static_cast<int32_t>(preset);
}

void CConv2FileObj::GetTargetFormatStr(char* out, long outSize, CConv2FileFormat*) {
  if (out && outSize > 0) out[0] = 0;
}

void CConv2FileObj::GetTargetFormat(CConv2FileFormat* out, CConv2FileFormat* user,
                                    const tWAVEFORMATEX* source, TMusicInfo* info,
                                    ACMObject* decoder) {
  if (out)
    out->SmartCopy(static_cast<unsigned short>(formatTag), user, source, this, info, decoder);
}

long CConv2FileObj::GetDesiredBufferSize() { return -1; }

double CConv2FileObj::GetBytesToWrite(CConv2FileFormat*, const tWAVEFORMATEX*, double) {
  return 0.0;
}

void CConv2FileObj::MakeMostNaturalFormatCallback(CConv2FileFormat*, const tWAVEFORMATEX*,
                                                  ACMObject*) {}

void CConv2FileObj::UserMaximumsCallback(CConv2FileFormat*, CConv2FileFormat*) {}

bool CConv2FileObj::ValidateFormat(CConv2FileFormat*) { return false; }

long CConv2FileObj::WriteTag(const char*, const char*, TMusicInfo*, CFileObj*) { return 0; }

long CConv2FileObj::ReserveTagSpace() { return 0; }

void CConv2FileObj::CreateDefaultTagTitleString(const char* path, char* out) {
  if (!out) return;
  out[0] = 0;
  if (!path) return;
  std::string name = ExtractFileName(path);
  RemoveExtensionFromFile(name);
  if (!name.empty() && name.back() == '.') name.pop_back();
  CopyBounded(out, 260, name);
}

CConv2FileObj* NewCConv2FileObj(_tFileConversionTypedef type, int encoder) {
  if (type < 0 || type >= FILE_CONVERSION_NONE) return nullptr;
  if (!IsConversionAvailable(type) && encoder == -1) return nullptr;
  switch (type) {
    case FILE_CONVERSION_WAVE:
      return new (std::nothrow) CConv2WaveFile;
    case FILE_CONVERSION_MP3: {
      const int e = encoder == -1 ? GetMP3Encoder() : encoder;
      if (e == MP3_ENCODER_LAME) return new (std::nothrow) CLameConv2MP3;
      if (e == MP3_ENCODER_BLADE) return new (std::nothrow) CBladeConv2MP3;
      return nullptr;
    }
    case FILE_CONVERSION_WMA:
      return new (std::nothrow) CConv2WmaFile;
    default:
      return nullptr;
  }
}

_tFileConversionTypedef DetermineTargetConversion(const char* path) {
  if (!path || !HasFileExtension(path, "wav")) return FILE_CONVERSION_WAVE;
  if (IsConversionAvailable(FILE_CONVERSION_MP3)) return FILE_CONVERSION_MP3;
  if (IsConversionAvailable(FILE_CONVERSION_WMA)) return FILE_CONVERSION_WMA;
  return FILE_CONVERSION_NONE;
}
