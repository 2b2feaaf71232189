// The WMA writer. It does not write the file itself: it hands PCM to a
// Windows Media writer that the WMA library makes for the target path, with a
// profile for the chosen bit rate, rate and channels, and afterwards writes
// the tags as attributes through the library's metadata editor. It also
// carries the WMA format rules and knows which output formats the library's
// encoder really produces, which decides the presets offered.
//
// Life: Create (writer with profile and input, writing begun),
// WriteStreamData per block, EndWriteStream (the file finished), FinalData,
// Close (writer flushed and released), WriteTag (editor opened, attributes
// set, editor closed).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/WMAPresets.h"
#include "platform/outside/WindowsMedia.h"

class CWmaGlue;

class CConv2WmaFile : public CConv2FileObj {
 public:
  CConv2WmaFile();
  ~CConv2WmaFile() override;

  int IsOpen() override;
  int Close() override;
  using CConv2FileObj::Create;
  int Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcm) override;
  // Hands the whole block to the writer; the result is the compressed bytes
  // it stands for, or -1 (the writer is then closed).
  long WriteStreamData(const void* data, long length, long* written) override;
  long EndWriteStream() override;
  long FinalData(const char* targetPath, const char* softwareName, int* listWritten,
                 TMusicInfo* info) override;
  void GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tagType,
                           _tSoundQualityTypedef quality) override;
  void GetTargetFormatStr(char* out, long outSize, CConv2FileFormat* format) override;
  using CConv2FileObj::GetTargetFormat;
  void GetTargetFormat(CConv2FileFormat* out, CConv2FileFormat* user, const tWAVEFORMATEX* source,
                       TMusicInfo* info, ACMObject* decoder) override;
  long GetDesiredBufferSize() override { return desiredBufferSize; }
  double GetBytesToWrite(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                         double durationMs) override;
  void MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                     ACMObject* decoder) override;
  void UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) override;
  bool ValidateFormat(CConv2FileFormat* format) override;
  using CConv2FileObj::WriteTag;
  long WriteTag(const char* targetPath, const char* softwareName, TMusicInfo* info,
                CFileObj* sourceFile) override;
  long ReserveTagSpace() override { return 0; }

  // Whether the WMA library is loaded for writing or can be.
  virtual bool GetEncoderDll();

  // The wave formats (tag 353) the library's encoder produces, cached; null
  // when the library is missing.
  const tWAVEFORMATEX* GetAvailableOutputFormats();
  int NumAvailableOutputFormats();
  // Whether a preset's rate and channels are produced at its bit rate (within 250 bit/s).
  bool IsWMAFormatAvailable(_tWMAPresetTypedef preset);
  int NumPresetWMAFormatsAvailable();
  // The lowest bit rate (kbit/s) the encoder takes at a rate and channel
  // count; 0 when it takes none there or the list is unknown.
  uint32_t LowestEncoderBitrate(uint32_t sampleRate, uint16_t channels);

 private:
  void ReleaseWriter();
  void ReleaseEditor();
  // Sets one attribute on stream 0; "not implemented" counts as success.
  bool SetAttribute(const char16_t* name, WMT_ATTR_DATATYPE type, const uint8_t* value,
                    uint16_t length);
  bool SetTextAttribute(const char16_t* name, const char* text);

  const CWmaGlue* glue = nullptr;
  IWMWriter* writer = nullptr;
  IWMMetadataEditor* editor = nullptr;
  IWMHeaderInfo* headerInfo = nullptr;
  double bitrateKbps = 0;
  long desiredBufferSize = 0;
  // PCM bytes handed to the writer; the time stamps follow from them.
  uint64_t pcmBytesWritten = 0;
  double estimatedBytes = 0;
  double pcmBytesPerSec = 0;
  double outputBytesPerSec = 0;
  uint16_t pcmBlockAlign = 0;
  int32_t protect = 0;
  std::vector<tWAVEFORMATEX> outputFormats;
  bool outputFormatsKnown = false;
};
