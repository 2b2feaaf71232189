// mpegdec [--gapless] INPUT OUTPUT
//   --gapless  drop the encoder delay and padding a LAME tag announces, so
//           the output is as long as the encoder's input
//   INPUT   a file name, or "-" for standard input
//   OUTPUT  "wav:NAME" for a WAV file, "raw:NAME" or NAME for raw 16-bit
//           little-endian PCM, "-" for raw PCM on standard output
// Prints nothing on success; reports errors on standard error and exits
// nonzero when the input holds no decodable audio.
#include <cstdio>
#include <cstring>

#include "engine/codecs/mpeg/FileInput.h"
#include "engine/codecs/mpeg/FileOutput.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegDecoder.h"

using namespace mpegaudio;

namespace {

void PrintError(void* user, int code, const char* message, const char* detail) {
  const char* input = static_cast<const char*>(user);
  if (detail && *detail)
    std::fprintf(stderr, "mpegdec: %s: %s: %s (%d)\n", input, message, detail, code);
  else
    std::fprintf(stderr, "mpegdec: %s: %s (%d)\n", input, message, code);
}

int Fail(const char* input, const char* what, int code) {
  std::fprintf(stderr, "mpegdec: %s: %s: %s (%d)\n", input, what, MpegResultText(code), code);
  return 1;
}

int Run(const char* input, const char* output, bool gapless) {
  MpegDecoder* d = nullptr;
  if (MpegDecoderCreate(&d) != kMpegOk) {
    std::fprintf(stderr, "mpegdec: out of memory\n");
    return 1;
  }
  MpegDecoderSetErrorCallback(d, PrintError, const_cast<char*>(input));
  if (gapless) MpegDecoderSetPropertyInteger(d, kPropertyMpegGapless, 1);
  int status = 1;
  int r = MpegDecoderRegisterInput(d, MpegFileInputModule());
  if (r >= 0) r = MpegDecoderRegisterCodec(d, MpegCodecModuleDescriptor());
  if (r >= 0) r = MpegDecoderRegisterOutput(d, MpegFileOutputModule());
  if (r < 0) {
    Fail(input, "cannot set up the decoder", r);
  } else if ((r = MpegDecoderSelectInput(d, input, -1)) < 0 || (r = MpegDecoderOpenInput(d)) < 0) {
    Fail(input, "cannot open the input", r);
  } else if ((r = MpegDecoderSelectOutput(d, output, -1)) < 0 ||
             (r = MpegDecoderOpenOutput(d)) < 0) {
    Fail(output, "cannot open the output", r);
  } else {
    for (;;) {
      r = MpegDecoderDecodeFrame(d);
      if (r == kMpegOk || r == kMpegErrorFrameAbandoned) continue;
      break;
    }
    const MpegStatusBlock* s = MpegDecoderStatus(d);
    int closed = MpegDecoderCloseOutput(d);
    if (r != kMpegErrorEndOfInput)
      Fail(input, "decoding stopped", r);
    else if (closed < 0)
      Fail(output, "cannot finish the output", closed);
    else if (s->frame == 0)
      std::fprintf(stderr, "mpegdec: %s: no decodable MPEG audio found\n", input);
    else
      status = 0;
  }
  MpegDecoderDestroy(&d);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  bool gapless = argc > 1 && std::strcmp(argv[1], "--gapless") == 0;
  if (gapless) {
    --argc;
    ++argv;
  }
  if (argc != 3 || !*argv[1] || !*argv[2]) {
    std::fprintf(stderr,
                 "usage: mpegdec INPUT OUTPUT\n"
                 "       mpegdec --gapless INPUT OUTPUT\n"
                 "  INPUT   file name, or - for standard input\n"
                 "  OUTPUT  wav:NAME, raw:NAME, NAME (raw PCM), or - (raw PCM on standard output)\n"
                 "  --gapless  drop the encoder delay and padding a LAME tag announces\n");
    return 2;
  }
  return Run(argv[1], argv[2], gapless);
}
