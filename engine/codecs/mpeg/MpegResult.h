// Result codes of the MPEG audio decoder library and the texts that go with
// them. Every operation returns 0 or a positive count on success and one of
// these negative codes on failure.
#pragma once

namespace mpegaudio {

enum : int {
  kMpegOk = 0,
  kMpegErrorOutOfMemory = -100,
  kMpegErrorBadArgument = -102,
  kMpegErrorWrongState = -103,
  kMpegErrorNotEnoughData = -104,  // a streaming input holds fewer bytes than asked for
  kMpegErrorModuleVersion = -106,
  kMpegErrorCannotOpenInput = -500,
  kMpegErrorEndOfInput = -501,  // the stream holds no further frame
  kMpegErrorPermissionDenied = -504,
  kMpegErrorCannotOpenOutput = -505,
  kMpegErrorWriteFailed = -506,
  kMpegErrorNoSuchModule = -507,
  kMpegErrorUnknownName = -508,
  kMpegErrorFileNotFound = -513,
  kMpegErrorPastEndOfBuffer = -514,  // read past the end of a static memory buffer
  kMpegErrorNoCodec = -600,
  kMpegErrorFrameAbandoned = -700,  // the frame could not be completed; nothing was output
  kMpegErrorPropertyNotFound = -900,
  kMpegErrorPropertyType = -901,
};

// Texts handed to the error callback: a category, then a detail.
inline constexpr const char kMsgInternalError[] = "internal error";
inline constexpr const char kMsgNullInputModule[] = "null input module";
inline constexpr const char kMsgInputNotOpen[] = "input not open";
inline constexpr const char kMsgInputNotClosed[] = "input not closed";
inline constexpr const char kMsgNullInputInstance[] = "null input instance";
inline constexpr const char kMsgOutputNotOpen[] = "output not open";
inline constexpr const char kMsgOutputNotClosed[] = "output not closed";
inline constexpr const char kMsgNullOutputModule[] = "null output module";
inline constexpr const char kMsgNullOutputInstance[] = "null output instance";
inline constexpr const char kMsgNullControlBlock[] = "null control block";
inline constexpr const char kMsgNullNew[] = "null 'new' method in module";
inline constexpr const char kMsgNullOpen[] = "null 'open' method in module";
inline constexpr const char kMsgNullClose[] = "null 'close' method in module";
inline constexpr const char kMsgNullRead[] = "null 'read' method in module";
inline constexpr const char kMsgNullWrite[] = "null 'write' method in module";
inline constexpr const char kMsgNullDecode[] = "null 'decode' method in module";
inline constexpr const char kMsgNullProbe[] = "null 'probe' method in module";
inline constexpr const char kMsgNullQuery[] = "null 'query' method";
inline constexpr const char kMsgCannotOpenInputFile[] = "cannot open input file";
inline constexpr const char kMsgCannotOpenOutputFile[] = "cannot open output file";
inline constexpr const char kMsgCannotWriteOutputFile[] = "cannot write output file";
inline constexpr const char kMsgPermissionDenied[] = "permission denied";
inline constexpr const char kMsgFileNotFound[] = "file not found";
inline constexpr const char kMsgUnknownModuleName[] = "unknown module name";
inline constexpr const char kMsgUnknownDeviceName[] = "unknown device name";

// A short description of a result code; never null.
const char* MpegResultText(int code);

}  // namespace mpegaudio
