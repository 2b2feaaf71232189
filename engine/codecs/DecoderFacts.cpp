#include "engine/codecs/DecoderFacts.h"

#include "engine/codecs/ACMObject.h"

// The MPEG and WMA decoders are given their stream's rates when the source is
// loaded; platform codecs (IsACM) carry neither a bit rate nor a rate of their
// own, their output has the shape of the source format.
unsigned long DecoderBestBitrate(ACMObject* decoder) {
  return decoder && !decoder->IsACM() ? decoder->GetBestBitRate() : 0;
}

unsigned long DecoderFrequency(ACMObject* decoder) {
  return decoder && !decoder->IsACM() ? decoder->GetFrequency() : 0;
}
