// The calling thread's last-error value: the reason behind a 0, null or -1
// result of an exported call. Application codes have the form 0x2000xxxx.
#pragma once

#include <cstdint>

void SetLastError(uint32_t code);
uint32_t GetLastError();
