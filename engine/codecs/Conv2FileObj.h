// The base of all conversion writers: one object is both the data object over
// the target file and the encoder in front of it. Writers also carry the
// format rules of their target, which the target-format decision calls back.
#pragma once

#include <cstdint>

#include "engine/codecs/ConversionTypes.h"
#include "engine/media/TagType.h"
#include "platform/WaveFormat.h"
#include "platform/data/FileObj.h"

class ACMObject;
class CConv2FileFormat;
class CPCMSound;
struct TMusicInfo;

class CConv2FileObj : public CFileObj {
 public:
  CConv2FileObj();
  ~CConv2FileObj() override;

  using CFileObj::Create;
  virtual int Create(const char* path, CConv2FileFormat* format, CPCMSound* sound);
  virtual int Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcmFormat);
  virtual _tFileConversionTypedef GetConversionType();
  virtual int GetFormatType();
  virtual const char* DefaultExt();
  // The bytes put into the file for this block, or -1; *written gets the
  // bytes written when the file took the whole converted block, else 0.
  virtual long WriteStreamData(const void* data, long length, long* written);
  virtual long EndWriteStream();
  virtual long FinalData(const char* targetPath, const char* softwareName, int* listWritten,
                         TMusicInfo* info);
  virtual void GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tagType,
                                   _tSoundQualityTypedef quality);
  virtual void GetTargetFormatStr(char* out, long outSize, CConv2FileFormat* format);
  virtual void GetTargetFormat(CConv2FileFormat* out, CConv2FileFormat* user, CPCMSound* sound);
  virtual void GetTargetFormat(CConv2FileFormat* out, CConv2FileFormat* user,
                               const tWAVEFORMATEX* source, TMusicInfo* info, ACMObject* decoder);
  virtual long GetDesiredBufferSize();
  virtual double GetBytesToWrite(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                 double durationMs);
  virtual void MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                             ACMObject* decoder);
  virtual void UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums);
  virtual bool ValidateFormat(CConv2FileFormat* format);
  virtual long WriteTag(const char* targetPath, const char* softwareName, CPCMSound* sound);
  virtual long WriteTag(const char* targetPath, const char* softwareName, TMusicInfo* info,
                        CFileObj* sourceFile);
  virtual long ReserveTagSpace();

  int NeedToResample() const { return needToResample; }
  void SetNeedToResample(int value) { needToResample = value; }
  // The file name of path without folder and extension; out stays empty when
  // there is none. out holds at least 260 bytes.
  static void CreateDefaultTagTitleString(const char* path, char* out);

 protected:
  int32_t conversionType = FILE_CONVERSION_NONE;
  int32_t formatTag = 0;
  const char* defaultExt = nullptr;
  int32_t tagType = TAG_NONE;
  int32_t needToResample = 0;
};

// A writer for the target, or null when it is not available (asked for with
// encoder -1) or cannot be made. For MP3, -1 means the current MP3 encoder.
CConv2FileObj* NewCConv2FileObj(_tFileConversionTypedef type, int encoder);
// The target a source file is converted into by default.
_tFileConversionTypedef DetermineTargetConversion(const char* path);
// WAV data padded to whole CD sectors when on (off from start-up on).
void SetWaveCDBlockAlign(int on);
int GetWaveCDBlockAlign();
