// The last-error code of the WMA library loader. It belongs to the engine's
// list of codes (engine/base/EngineErrors.h, which includes this header); it
// is defined here because the loader lives below the engine.
#pragma once

#include <cstdint>

// The library or one of its entry points is missing.
inline constexpr uint32_t kErrWmaUnavailable = 0x20000114;
