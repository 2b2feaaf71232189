// The WAV writer: "RIFF"/"WAVE" with an 18-byte "fmt " chunk, the PCM in a
// "data" chunk and the music information in a "LIST"/"INFO" chunk.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/codecs/Conv2FileObj.h"
#include "platform/riff/RIFF.h"

class CConv2WaveFile : public CConv2FileObj {
 public:
  CConv2WaveFile();
  ~CConv2WaveFile() override;

  int Close() override;
  using CConv2FileObj::Create;
  int Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcmFormat) override;
  long WriteStreamData(const void* data, long length, long* written) override;
  long EndWriteStream() override;
  long FinalData(const char* targetPath, const char* softwareName, int* listWritten,
                 TMusicInfo* info) override;
  void GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tagType,
                           _tSoundQualityTypedef quality) override;
  void GetTargetFormatStr(char* out, long outSize, CConv2FileFormat* format) override;
  double GetBytesToWrite(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                         double durationMs) override;
  void MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                     ACMObject* decoder) override;
  void UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) override;
  bool ValidateFormat(CConv2FileFormat* format) override;
  using CConv2FileObj::WriteTag;
  long WriteTag(const char* targetPath, const char* softwareName, TMusicInfo* info,
                CFileObj* sourceFile) override;

  // Bytes of a CD sector; with CD block alignment the data is padded to whole sectors.
  static constexpr int64_t kCDBlockBytes = 2352;
  // Whether a target with this many bytes of data (a GetBytesToWrite
  // estimate) stays within the 4 GB a RIFF file can count, with room for its
  // headers, the sector padding and the INFO list.
  static bool DataFits(double dataBytes);

 private:
  bool SetUpConverter();
  long WriteTextChunk(uint32_t id, const char* text);

  CRIFF riff;
  std::unique_ptr<uint8_t[]> convertBuffer;
  uint32_t convertBufferSize = 0;
  tWAVEFORMATEX sourceFormat{};
  tWAVEFORMATEX targetFormat{};
  ACMObject* converter = nullptr;
  int32_t convertPass = 1;
  bool closed_ = false;
};
