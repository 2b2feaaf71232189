#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

const char* MpegResultText(int code) {
  switch (code) {
    case kMpegOk:
      return "success";
    case kMpegErrorOutOfMemory:
      return "out of memory";
    case kMpegErrorBadArgument:
      return "bad argument";
    case kMpegErrorWrongState:
      return "wrong state";
    case kMpegErrorNotEnoughData:
      return "not enough buffered data";
    case kMpegErrorModuleVersion:
      return "module version mismatch";
    case kMpegErrorCannotOpenInput:
      return "cannot open input";
    case kMpegErrorEndOfInput:
      return "end of input";
    case kMpegErrorPermissionDenied:
      return "permission denied";
    case kMpegErrorCannotOpenOutput:
      return "cannot open output";
    case kMpegErrorWriteFailed:
      return "cannot write output";
    case kMpegErrorNoSuchModule:
      return "no module with that id";
    case kMpegErrorUnknownName:
      return "no module for that name";
    case kMpegErrorFileNotFound:
      return "file not found";
    case kMpegErrorPastEndOfBuffer:
      return "read past the end of the buffer";
    case kMpegErrorNoCodec:
      return "no codec accepts the stream";
    case kMpegErrorFrameAbandoned:
      return "frame abandoned";
    case kMpegErrorPropertyNotFound:
      return "property not found";
    case kMpegErrorPropertyType:
      return "property of another type";
    default:
      return code >= 0 ? "success" : "unknown error";
  }
}

}  // namespace mpegaudio
