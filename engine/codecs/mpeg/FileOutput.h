// The file output module: writes decoded PCM (16-bit) to a file or to
// standard output ("-"). "wav:NAME" writes a RIFF WAVE file, "aiff:NAME" an
// AIFF file, "sun:NAME" a Sun audio file, "raw:NAME" or a plain NAME raw
// little-endian samples. The container takes the format of the first frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegModule.h"

namespace mpegaudio {

const MpegOutputModule* MpegFileOutputModule();

class CFileOutput {
 public:
  enum Format { kRaw, kWav, kAiff, kSun };

  CFileOutput(MpegDecoder* host, const std::string& name);
  ~CFileOutput();
  CFileOutput(const CFileOutput&) = delete;
  CFileOutput& operator=(const CFileOutput&) = delete;

  int Open();
  int Close();
  int Write(const MpegOutputBlock* block);
  Format GetFormat() const { return format_; }
  const std::string& Path() const { return path_; }

 private:
  bool WriteHeader(uint64_t dataBytes);
  bool Put(const void* data, size_t size);
  int WriteFailed();

  MpegDecoder* host_;
  Format format_ = kRaw;
  std::string path_;  // "-" for standard output
  FILE* file_ = nullptr;
  bool ownsFile_ = false;
  bool headerWritten_ = false;
  bool failed_ = false;
  int channels_ = 2;
  int sampleRate_ = 44100;
  uint64_t dataBytes_ = 0;
  std::vector<uint8_t> swapped_;
};

}  // namespace mpegaudio
