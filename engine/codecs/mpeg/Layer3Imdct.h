// Layer III hybrid filter bank, second stage: IMDCT of one subband's lines
// (36-point long or three 12-point short transforms), windowing by block
// type, and overlap-add with the previous granule.
#pragma once

namespace mpegaudio {

// Plain IMDCTs: 18 lines to 36 samples, 6 lines to 12 samples.
void Layer3ImdctLong(const float* in, float* out);
void Layer3ImdctShort(const float* in, float* out);

// One subband of a long block (block type 0, 1 or 3): in holds its 18 lines,
// overlap the 18 samples carried over from the previous granule (replaced by
// this granule's second half). Writes 18 samples to out[0], out[stride], ...
void Layer3HybridLong(const float* in, int blockType, float* overlap, float* out, int stride);

// One subband of a short block: in holds the three windows' 6 lines each,
// window after window (in[6 * w + i]).
void Layer3HybridShort(const float* in, float* overlap, float* out, int stride);

}  // namespace mpegaudio
