// Which tag a source carries or a target gets.
#pragma once

#include <cstdint>

enum _tTagTypedef : int32_t {
  TAG_NONE = 0,
  TAG_ID3_V1 = 1,
  TAG_ID3_V2 = 2,
  TAG_WMA_ATTRIBUTES = 3,  // the WMA writer's own attributes
  TAG_UNCHANGED = 5        // only as an argument: keep the tag kind
};
