#include "engine/codecs/mpeg/FileOutput.h"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "engine/codecs/mpeg/MpegDecoder.h"
#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

namespace {

int Probe(const char* name) { return name && *name ? 1 : 0; }

const MpegNamePattern kPatterns[] = {{"wav:*", "file name (WAV format)"},
                                     {"*, or raw:*", "file name (raw PCM format)"},
                                     {"-", "standard output"}};

int Describe(MpegModuleInfo* info) {
  *info = MpegModuleInfo{"Output To File", "Version 1.2", nullptr, nullptr, 3, kPatterns};
  return kMpegOk;
}

int New(MpegDecoder* host, const char* name, void** instance) {
  if (!name || !*name) return kMpegErrorBadArgument;
  std::unique_ptr<CFileOutput> out(new (std::nothrow) CFileOutput(host, name));
  if (!out) return kMpegErrorOutOfMemory;
  if (out->Path().empty()) return kMpegErrorBadArgument;
  *instance = out.release();  // the decoder owns it until Delete
  return kMpegOk;
}

int Delete(void* instance) {
  delete static_cast<CFileOutput*>(instance);
  return kMpegOk;
}

int Open(void* instance) { return static_cast<CFileOutput*>(instance)->Open(); }
int Close(void* instance) { return static_cast<CFileOutput*>(instance)->Close(); }
int Write(void* instance, const MpegOutputBlock* block) {
  return static_cast<CFileOutput*>(instance)->Write(block);
}

const MpegOutputModule kModule = {
    kMpegModuleVersion, Probe, Describe, New, Delete, Open, Close, Write};

void Le16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Le32(uint8_t* p, uint32_t v) {
  Le16(p, v & 0xFFFF);
  Le16(p + 2, v >> 16);
}
void Be16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
void Be32(uint8_t* p, uint32_t v) {
  Be16(p, v >> 16);
  Be16(p + 2, v & 0xFFFF);
}

uint32_t Clamp32(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

// The sample rate as an 80-bit IEEE extended number, as AIFF stores it.
void Extended80(uint8_t* p, uint32_t rate) {
  std::memset(p, 0, 10);
  if (rate == 0) return;
  int exponent = 31 - std::countl_zero(rate);
  uint64_t mantissa = static_cast<uint64_t>(rate) << (63 - exponent);
  Be16(p, static_cast<uint32_t>(16383 + exponent));
  for (int i = 0; i < 8; ++i) p[2 + i] = static_cast<uint8_t>(mantissa >> (56 - 8 * i));
}

}  // namespace

const MpegOutputModule* MpegFileOutputModule() { return &kModule; }

CFileOutput::CFileOutput(MpegDecoder* host, const std::string& name) : host_(host) {
  struct Prefix {
    const char* text;
    Format format;
  };
  static const Prefix kPrefixes[] = {
      {"wav:", kWav}, {"raw:", kRaw}, {"aiff:", kAiff}, {"sun:", kSun}};
  path_ = name;
  for (const Prefix& p : kPrefixes)
    if (name.compare(0, std::strlen(p.text), p.text) == 0) {
      format_ = p.format;
      path_ = name.substr(std::strlen(p.text));
      break;
    }
}

CFileOutput::~CFileOutput() { Close(); }

int CFileOutput::Open() {
  Close();
  headerWritten_ = failed_ = false;
  dataBytes_ = 0;
  if (path_ == "-") {
    file_ = stdout;
    ownsFile_ = false;
  } else {
    file_ = fopen(path_.c_str(), "wb");
    ownsFile_ = true;
    if (!file_) {
      std::string detail = path_ + ": " + std::strerror(errno);
      MpegDecoderReportError(host_, kMpegErrorCannotOpenOutput, kMsgCannotOpenOutputFile,
                             detail.c_str());
      return kMpegErrorCannotOpenOutput;
    }
  }
  return kMpegOk;
}

bool CFileOutput::Put(const void* data, size_t size) {
  if (failed_ || fwrite(data, 1, size, file_) != size) failed_ = true;
  return !failed_;
}

int CFileOutput::WriteFailed() {
  std::string detail = path_ + ": " + std::strerror(errno);
  MpegDecoderReportError(host_, kMpegErrorWriteFailed, kMsgCannotWriteOutputFile, detail.c_str());
  return kMpegErrorWriteFailed;
}

bool CFileOutput::WriteHeader(uint64_t dataBytes) {
  uint8_t h[54];
  uint32_t blockAlign = static_cast<uint32_t>(channels_) * 2;
  switch (format_) {
    case kRaw:
      return true;
    case kWav: {
      uint32_t data = Clamp32(dataBytes);
      std::memcpy(h, "RIFF", 4);
      Le32(h + 4, data > 0xFFFFFFFFu - 36 ? 0xFFFFFFFFu : data + 36);
      std::memcpy(h + 8, "WAVEfmt ", 8);
      Le32(h + 16, 16);
      Le16(h + 20, 1);
      Le16(h + 22, static_cast<uint32_t>(channels_));
      Le32(h + 24, static_cast<uint32_t>(sampleRate_));
      Le32(h + 28, static_cast<uint32_t>(sampleRate_) * blockAlign);
      Le16(h + 32, blockAlign);
      Le16(h + 34, 16);
      std::memcpy(h + 36, "data", 4);
      Le32(h + 40, data);
      return Put(h, 44);
    }
    case kAiff: {
      uint32_t data = Clamp32(dataBytes);
      if (data > 0xFFFFFFFFu - 46) data = 0xFFFFFFFFu - 46;
      std::memcpy(h, "FORM", 4);
      Be32(h + 4, data + 46);
      std::memcpy(h + 8, "AIFFCOMM", 8);
      Be32(h + 16, 18);
      Be16(h + 20, static_cast<uint32_t>(channels_));
      Be32(h + 22, data / blockAlign);
      Be16(h + 26, 16);
      Extended80(h + 28, static_cast<uint32_t>(sampleRate_));
      std::memcpy(h + 38, "SSND", 4);
      Be32(h + 42, data + 8);
      Be32(h + 46, 0);
      Be32(h + 50, 0);
      return Put(h, 54);
    }
    case kSun:
      std::memcpy(h, ".snd", 4);
      Be32(h + 4, 24);
      Be32(h + 8, dataBytes == UINT64_MAX ? 0xFFFFFFFFu : Clamp32(dataBytes));
      Be32(h + 12, 3);  // 16-bit linear PCM
      Be32(h + 16, static_cast<uint32_t>(sampleRate_));
      Be32(h + 20, static_cast<uint32_t>(channels_));
      return Put(h, 24);
  }
  return false;
}

int CFileOutput::Write(const MpegOutputBlock* block) {
  if (!file_) return kMpegErrorWrongState;
  if (!block || block->channels <= 0 || block->sampleCount < 0 ||
      (block->sampleCount > 0 && !block->samples))
    return kMpegErrorBadArgument;
  if (!headerWritten_) {
    channels_ = block->channels;
    sampleRate_ = block->sampleRate;
    // The final sizes are filled in on closing when the file can seek;
    // a pipe keeps the largest values, which readers take as "until the end".
    if (!WriteHeader(UINT64_MAX)) return WriteFailed();
    headerWritten_ = true;
  }
  size_t count = static_cast<size_t>(block->sampleCount) * static_cast<size_t>(block->channels);
  size_t bytes = count * 2;
  const void* data = block->samples;
  if (format_ == kAiff || format_ == kSun || std::endian::native != std::endian::little) {
    bool big = format_ == kAiff || format_ == kSun;
    swapped_.resize(bytes);
    for (size_t i = 0; i < count; ++i) {
      uint16_t v = static_cast<uint16_t>(block->samples[i]);
      if (big)
        Be16(&swapped_[2 * i], v);
      else
        Le16(&swapped_[2 * i], v);
    }
    data = swapped_.data();
  }
  if (!Put(data, bytes)) return WriteFailed();
  dataBytes_ += bytes;
  return kMpegOk;
}

int CFileOutput::Close() {
  if (!file_) return kMpegOk;
  int result = kMpegOk;
  if (!headerWritten_ && !WriteHeader(0)) result = WriteFailed();
  if (headerWritten_ && format_ != kRaw && fseeko(file_, 0, SEEK_SET) == 0 && !failed_) {
    if (!WriteHeader(dataBytes_)) result = WriteFailed();
  }
  if (fflush(file_) != 0 && result == kMpegOk) result = WriteFailed();
  if (ownsFile_ && fclose(file_) != 0 && result == kMpegOk) result = WriteFailed();
  file_ = nullptr;
  return result;
}

}  // namespace mpegaudio
