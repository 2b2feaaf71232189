// What the target format rules need to know of a source's decoder.
#pragma once

class ACMObject;

// The decoder's best bit rate in bit/s, 0 when it has none (PCM codecs).
unsigned long DecoderBestBitrate(ACMObject* decoder);
// The sample rate of the decoded stream, 0 when unknown.
unsigned long DecoderFrequency(ACMObject* decoder);
