#include "platform/LastError.h"

namespace {
thread_local uint32_t lastError = 0;
}

void SetLastError(uint32_t code) { lastError = code; }
uint32_t GetLastError() { return lastError; }
