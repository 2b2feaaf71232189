// Module descriptors of the MPEG audio decoder library. A module is a table
// of methods that a decoder instance calls in a fixed order; the version word
// in front lets the decoder refuse tables laid out for another major version.
#pragma once

#include <cstdint>

namespace mpegaudio {

struct MpegDecoder;

constexpr uint32_t kMpegModuleVersion = 0x40300;
constexpr uint32_t MpegModuleMajor(uint32_t version) { return version >> 16; }

// One accepted name (or content type) and what it stands for.
struct MpegNamePattern {
  const char* pattern;
  const char* description;
};

// A module's self-description.
struct MpegModuleInfo {
  const char* name;
  const char* version;
  const char* shortDescription;  // codecs only: the formats, e.g. "MP1, MP2, MP3"
  const char* longDescription;   // codecs only
  int patternCount;
  const MpegNamePattern* patterns;
};

// The decoded samples of the last frame.
struct MpegOutputBlock {
  const int16_t* samples = nullptr;  // interleaved when stereo
  int sampleCount = 0;               // per channel
  int bytesPerSample = 2;
  int channels = 0;
  int sampleRate = 0;
};

// What changed with the last decoded frame (MpegStatusBlock::changes).
enum : int { kMpegChangedFormat = 1, kMpegChangedBitrate = 2, kMpegChangedState = 4 };

enum : int { kMpegInputNone = 0, kMpegInputSelected = 1, kMpegInputOpen = 2 };

struct MpegStatusBlock {
  int state = kMpegInputNone;
  int changes = 0;
  int64_t frame = 0;      // frames decoded since the input was opened
  int64_t badFrames = 0;  // frames skipped because their contents were inconsistent
  int bitrate = 0;        // kbit/s, smoothed over the recent frames
  int64_t position = 0;   // input bytes consumed by the codec
  int64_t size = 0;       // size of the input, 0 when unknown
  int64_t elapsedMs = 0;
  int64_t remainingMs = -1;  // -1 when the input size is unknown
};

// Methods return kMpegOk (0), a count, or a negative kMpegError... code.
struct MpegInputModule {
  uint32_t version;
  int (*probe)(const char* name);  // 1 when the module accepts the name
  int (*describe)(MpegModuleInfo* info);
  int (*newInstance)(MpegDecoder* host, const char* name, void** instance);
  int (*deleteInstance)(void* instance);
  int (*open)(void* instance);
  int (*close)(void* instance);
  int64_t (*read)(void* instance, void* buffer, int64_t size);  // 0 at the end of the input
  int (*seek)(void* instance, int64_t offset);
  int (*seekable)(void* instance);
  int64_t (*size)(void* instance);  // 0 when unknown
  int64_t (*sendMessage)(void* instance, int code, const void* data, int64_t size);
};

// Queries a codec answers (MpegCodecModule::query).
enum : int { kMpegQueryMaxOutputBytes = 1 };

// A codec reads its stream through the host's MpegDecoderInput... calls.
struct MpegCodecModule {
  uint32_t version;
  int (*probe)(const char* contentType);
  int (*describe)(MpegModuleInfo* info);
  int (*newInstance)(MpegDecoder* host, void** instance);
  int (*deleteInstance)(void* instance);
  int (*open)(void* instance);
  int (*decode)(void* instance, MpegOutputBlock* output, MpegStatusBlock* status);
  int (*query)(void* instance, int code, int64_t* value);
  int (*close)(void* instance);  // may be null
};

struct MpegOutputModule {
  uint32_t version;
  int (*probe)(const char* name);
  int (*describe)(MpegModuleInfo* info);
  int (*newInstance)(MpegDecoder* host, const char* name, void** instance);
  int (*deleteInstance)(void* instance);
  int (*open)(void* instance);
  int (*close)(void* instance);
  int (*write)(void* instance, const MpegOutputBlock* block);
};

}  // namespace mpegaudio
