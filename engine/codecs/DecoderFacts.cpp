#include "engine/codecs/DecoderFacts.h"

// PCM-codec decoders carry neither a bit rate nor a rate of their own; the
// MPEG and WMA decoders answer through their own objects when they exist.
unsigned long DecoderBestBitrate(ACMObject*) { return 0; }
unsigned long DecoderFrequency(ACMObject*) { return 0; }
