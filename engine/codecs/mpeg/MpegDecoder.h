// The MPEG audio decoder library's instance and its C-style interface. An
// instance connects one input module (where the compressed bytes come from),
// one codec module (what turns them into PCM) and optionally one output
// module (where the PCM goes). Nothing throws and nothing is printed: every
// call returns a result code (MpegResult.h) and descriptive messages go to the
// instance's error callback.
#pragma once

#include <cstdint>

#include "engine/codecs/mpeg/MpegModule.h"
#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

struct MpegDecoder;

// code, category ("internal error", "cannot open input file", ...) and detail.
using MpegErrorCallback = void (*)(void* user, int code, const char* message, const char* detail);
using MpegStatusCallback = void (*)(void* user, const MpegStatusBlock* status);

int MpegDecoderCreate(MpegDecoder** decoder);
// Releases the input, the output and the instance; clears *decoder.
int MpegDecoderDestroy(MpegDecoder** decoder);

void MpegDecoderSetErrorCallback(MpegDecoder* decoder, MpegErrorCallback callback, void* user);
void MpegDecoderSetStatusCallback(MpegDecoder* decoder, MpegStatusCallback callback, void* user);

// Register a module; the result is its id (0, 1, ... in order of registration
// over all kinds) or an error. The descriptor must outlive the instance.
int MpegDecoderRegisterInput(MpegDecoder* decoder, const MpegInputModule* module);
int MpegDecoderRegisterCodec(MpegDecoder* decoder, const MpegCodecModule* module);
int MpegDecoderRegisterOutput(MpegDecoder* decoder, const MpegOutputModule* module);
// Self-description of a registered module of any kind.
int MpegDecoderDescribeModule(MpegDecoder* decoder, int id, MpegModuleInfo* info);

// id -1 picks the first input module whose probe accepts the name.
int MpegDecoderSelectInput(MpegDecoder* decoder, const char* name, int id);
int MpegDecoderOpenInput(MpegDecoder* decoder);
int MpegDecoderCloseInput(MpegDecoder* decoder);
int MpegDecoderReleaseInput(MpegDecoder* decoder);
// The input module's answer (a count or a code); kMpegErrorWrongState without an input.
int64_t MpegDecoderSendInputMessage(MpegDecoder* decoder, int code, const void* data, int64_t size);

// The output is optional; while it is open every decoded frame is written to it.
int MpegDecoderSelectOutput(MpegDecoder* decoder, const char* name, int id);
int MpegDecoderOpenOutput(MpegDecoder* decoder);
int MpegDecoderCloseOutput(MpegDecoder* decoder);
int MpegDecoderReleaseOutput(MpegDecoder* decoder);

// Content type offered to the codecs' probes when the input opens; "audio/mpeg" by default.
int MpegDecoderSetContentType(MpegDecoder* decoder, const char* contentType);

// Decodes the next frame into the output block. kMpegErrorFrameAbandoned
// when a frame could not be completed (a streaming input ran dry: feed more
// and call again; or the frame's data was inconsistent and it was skipped),
// kMpegErrorEndOfInput when the stream holds no further frame.
int MpegDecoderDecodeFrame(MpegDecoder* decoder);
const MpegOutputBlock* MpegDecoderOutput(const MpegDecoder* decoder);
const MpegStatusBlock* MpegDecoderStatus(const MpegDecoder* decoder);

// The property table. A string stays valid until its property changes.
int MpegDecoderSetPropertyInteger(MpegDecoder* decoder, const char* name, int64_t value);
int MpegDecoderSetPropertyString(MpegDecoder* decoder, const char* name, const char* value);
int MpegDecoderGetPropertyInteger(const MpegDecoder* decoder, const char* name, int64_t* value);
int MpegDecoderGetPropertyString(const MpegDecoder* decoder, const char* name, const char** value);

// For modules: report a failure through the instance's error callback.
void MpegDecoderReportError(MpegDecoder* decoder, int code, const char* message,
                            const char* detail);

// For codecs: the selected input, with the instance keeping its position.
int64_t MpegDecoderInputRead(MpegDecoder* decoder, void* buffer, int64_t size);
int MpegDecoderInputSeek(MpegDecoder* decoder, int64_t offset);
int MpegDecoderInputSeekable(MpegDecoder* decoder);
int64_t MpegDecoderInputSize(MpegDecoder* decoder);
int64_t MpegDecoderInputPosition(MpegDecoder* decoder);

// Property names the MPEG codec publishes.
inline constexpr const char kPropertyMpegLevel[] = "mpeg/level";  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
inline constexpr const char kPropertyMpegLayer[] = "mpeg/layer";  // 1, 2 or 3
inline constexpr const char kPropertyMpegMode[] = "mpeg/mode";  // 0 stereo, 1 joint, 2 dual, 3 mono
// Set by the caller before the input opens: nonzero drops the encoder delay
// and padding announced by a LAME tag (off by default: every frame in full).
inline constexpr const char kPropertyMpegGapless[] = "mpeg/gapless";

}  // namespace mpegaudio
