// Feeds arbitrary bytes to the MPEG stream-information scan (frame headers,
// "Xing"/"Info" headers, the tags around the frames) as a whole file, and
// reads every figure the scan derives from them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/media/FrameHeader.h"
#include "engine/media/MP3Info.h"
#include "fuzz/FuzzCheck.h"
#include "platform/data/MemObj.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMemObj file;
  if (!file.Create(data, static_cast<int64_t>(size))) return 0;
  CMP3Info info{};
  if (info.loadInfo(&file) != CMP3Info::kInfoOk) return 0;

  FUZZ_CHECK(info.DataStart() >= 0 && info.DataStart() <= info.DataEnd());
  FUZZ_CHECK(info.DataEnd() <= static_cast<int64_t>(size));
  FUZZ_CHECK(info.FrameHeader().isValidHeader() == 1);
  FUZZ_CHECK(info.getFrequency() > 0 && info.FrameHeader().getFrameLength() > 0);
  volatile int64_t sink = 0;
  sink = sink + info.getBitrate() + info.getLengthInSeconds() + info.getLengthInMs() +
         info.getNumberOfFrames() + info.HeaderFrameCount() + info.BestBitrate() +
         info.BestSamplingRate() + info.BestMode() + info.BestNumChannels() + info.Channels() +
         info.getLayer() + info.getLayerIndex() + info.isVBitRate() + info.hasXingHeader() +
         info.FrameHeader().getSamplesPerFrame() + info.FrameHeader().getSideInfoSize() +
         static_cast<int64_t>(info.GetAverageFrameSize());
  char text[64];
  info.getVersion(text);
  info.getMode(text);
  FUZZ_CHECK(info.getLengthInMs() >= 0 && info.getNumberOfFrames() >= 0);
  return 0;
}
