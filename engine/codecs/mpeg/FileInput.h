// The file input module: reads a file, or standard input for "-", as bytes.
// For names ending in ".mp3" it publishes the file's ID3v1 tag as the
// properties "id3/title", "id3/artist", "id3/album", "id3/year",
// "id3/comment" (texts) and "id3/genre" (the genre number).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/codecs/mpeg/MpegModule.h"

namespace mpegaudio {

const MpegInputModule* MpegFileInputModule();

class CFileInput {
 public:
  CFileInput(MpegDecoder* host, std::string name) : host_(host), name_(std::move(name)) {}
  ~CFileInput() { Close(); }
  CFileInput(const CFileInput&) = delete;
  CFileInput& operator=(const CFileInput&) = delete;

  int Open();
  int Close();
  int64_t Read(void* buffer, int64_t size);
  int Seek(int64_t offset);
  bool Seekable() const { return seekable_; }
  int64_t Size() const { return size_; }

 private:
  void PublishId3v1();

  MpegDecoder* host_;
  std::string name_;
  FILE* file_ = nullptr;
  bool standardInput_ = false;
  bool seekable_ = false;
  int64_t size_ = 0;
};

}  // namespace mpegaudio
