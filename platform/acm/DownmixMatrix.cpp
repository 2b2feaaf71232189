#include "platform/acm/DownmixMatrix.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// Speaker bits of WAVE_FORMAT_EXTENSIBLE's mask, lowest first; a file's
// channels are its mask's speakers in this order.
enum TSide { kLeftFront, kRightFront, kCentre, kLfe, kLeft, kRight };
constexpr TSide kSpeakerSide[18] = {
    kLeftFront,   // front left
    kRightFront,  // front right
    kCentre,      // front centre
    kLfe,         // low frequency
    kLeft,        // back left
    kRight,       // back right
    kLeft,        // front left of centre
    kRight,       // front right of centre
    kCentre,      // back centre
    kLeft,        // side left
    kRight,       // side right
    kCentre,      // top centre
    kLeft,        // top front left
    kCentre,      // top front centre
    kRight,       // top front right
    kLeft,        // top back left
    kCentre,      // top back centre
    kRight,       // top back right
};
constexpr uint32_t kKnownSpeakers = (1u << 18) - 1;

const double kMinus3dB = std::sqrt(0.5);

}  // namespace

CDownmixMatrix::CDownmixMatrix(int channels, uint32_t mask) {
  channels = std::clamp(channels, 0, CSampleLayout::kMaxChannels);
  mask &= kKnownSpeakers;
  if (std::popcount(mask) >= channels) ByMask(channels, mask);
  // A mask of nothing but the LFE channel would leave silence.
  if (!Scale(channels)) {
    for (int c = 0; c < channels; ++c) (c % 2 ? right : left)[c] = 1;
    Scale(channels);
  }
}

void CDownmixMatrix::ByMask(int channels, uint32_t mask) {
  for (int c = 0; c < channels; ++c) {
    const int bit = std::countr_zero(mask);
    mask &= mask - 1;
    switch (kSpeakerSide[bit]) {
      case kLeftFront:
        left[c] = 1;
        break;
      case kRightFront:
        right[c] = 1;
        break;
      case kCentre:
        left[c] = right[c] = kMinus3dB;
        break;
      case kLfe:
        break;
      case kLeft:
        left[c] = kMinus3dB;
        break;
      case kRight:
        right[c] = kMinus3dB;
        break;
    }
  }
}

bool CDownmixMatrix::Scale(int channels) {
  double leftSum = 0, rightSum = 0;
  for (int c = 0; c < channels; ++c) {
    leftSum += left[c];
    rightSum += right[c];
  }
  const double sum = std::max(leftSum, rightSum);
  if (sum <= 0) return false;
  for (int c = 0; c < channels; ++c) {
    left[c] /= sum;
    right[c] /= sum;
  }
  return true;
}
