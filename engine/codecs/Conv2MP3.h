// The MP3 writer: drives an encoder library with the BladeEnc interface
// (platform/outside/BladeEnc.h), writes what it returns to the target file
// and puts the ID3 tags around the audio. CLameConv2MP3 and CBladeConv2MP3
// carry what differs between the two known libraries; this class also holds
// the MP3 format rules that the target-format decision calls back into.
//
// Life: Create (entry points looked up, stream open, buffers allocated),
// ReserveTagSpace, WriteStreamData per block, FinalData (the samples held
// back encoded, the stream flushed and closed), Close, WriteTag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/ConverterLibraries.h"
#include "platform/outside/BladeEnc.h"

class CConv2MP3 : public CConv2FileObj {
 public:
  // Capability bits of the writer's encoder.
  enum : uint32_t {
    kVBR = 0x01,
    kVBRXINGHeader = 0x02,
    kVBRQuality = 0x04,
    kABR = 0x08,
    kMPEG1 = 0x10,
    kMPEG2 = 0x20,
    kMPEG2_5 = 0x40,
    kJStereo = 0x80,
    kDualChannel = 0x100,
  };

  CConv2MP3();
  ~CConv2MP3() override;

  using CConv2FileObj::Create;
  int Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcm) override;
  long WriteStreamData(const void* data, long length, long* written) override;
  long EndWriteStream() override { return 0; }
  long FinalData(const char* targetPath, const char* softwareName, int* listWritten,
                 TMusicInfo* info) override;
  void GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tagType,
                           _tSoundQualityTypedef quality) override;
  void GetTargetFormatStr(char* out, long outSize, CConv2FileFormat* format) override;
  // The settings text of a format: version, bit-rate part and mode filled
  // into the text of frameKey ("IDS_MP3_FORMAT_SIMPLE" or "IDS_MP3_FORMAT_LAYER3").
  std::string SettingsText(const CConv2FileFormat* format, const char* frameKey) const;
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
  long ReserveTagSpace() override;

  virtual _tMP3EncoderDllTypedef GetMP3EncoderType() { return encoderType; }
  // Brings a record into the encoder's reach: modes, rates and bit rates it
  // supports, the preset within its range.
  virtual void UpdateSettingsAfterEncoderChange(CConv2FileFormat* format);
  // Whether the encoder's library is loaded or can be.
  virtual bool GetEncoderDll();
  // The bit rate (kbit/s) a file of this format is expected to average.
  virtual double GetBitrateForBytesToWrite(CConv2FileFormat* format);
  // Fills config for the target format and the PCM handed in.
  virtual void SetupConfig(CConv2FileFormat* format, const tWAVEFORMATEX* pcm);

  bool SupportsVBR() const { return capabilities & kVBR; }
  bool SupportsVBRXINGHeader() const { return capabilities & kVBRXINGHeader; }
  bool SupportsVBRQuality() const { return capabilities & kVBRQuality; }
  bool SupportsABR() const { return capabilities & kABR; }
  bool SupportsMPEG1() const { return capabilities & kMPEG1; }
  bool SupportsMPEG2() const { return capabilities & kMPEG2; }
  bool SupportsMPEG2_5() const { return capabilities & kMPEG2_5; }
  bool SupportsJStereo() const { return capabilities & kJStereo; }
  bool SupportsDualChannel() const { return capabilities & kDualChannel; }
  // Whether the writer's encoder writes this MPEG version (1, 0 or 2).
  bool SupportsVersion(int32_t version) const;

  // The version's sample rates, lowest first; its default is the middle one.
  static const uint32_t* VersionRates(int32_t version);
  static uint32_t DefaultRate(int32_t version) { return VersionRates(version)[1]; }
  static bool RateOfVersion(uint32_t rate, int32_t version);

 protected:
  // Encodes `samples` 16-bit samples from inputBuffer in one call and writes
  // the result; false after an encoder error or a short write (the stream is
  // then closed and marked failed).
  bool EncodeCall(const int16_t* samples, uint32_t count, long* fileBytes);
  // Closes the stream once; later calls do nothing.
  void CloseStream();
  void FreeBuffers();

  _tMP3EncoderDllTypedef encoderType = MP3_ENCODER_NOT_ASSIGNED;
  uint32_t capabilities = 0;
  std::vector<uint8_t> config;   // the encoder's configuration record
  uint32_t tagSpace = 0;         // bytes of the tag that ReserveTagSpace reserves
  uint32_t reservedTagSize = 0;  // what ReserveTagSpace wrote at the file's start
  std::vector<uint8_t> outputBuffer;
  std::vector<int16_t> inputBuffer;  // samples held back for a whole encoder call
  size_t heldSamples = 0;
  uint32_t outputBufferSize = 0;
  long desiredBufferSize = 0;
  uint32_t chunkSamples = 0;
  uint32_t encoderSamples = 0;
  tWAVEFORMATEX pcmFormat{};
  int32_t configuredMode = 0;
  HBE_STREAM stream = 0;
  bool streamOpen = false;
  bool streamFailed = false;

  BEINITSTREAM initStream = nullptr;
  BEENCODECHUNK encodeChunk = nullptr;
  BEDEINITSTREAM deinitStream = nullptr;
  BECLOSESTREAM closeStream = nullptr;
};
