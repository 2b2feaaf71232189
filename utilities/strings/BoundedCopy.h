// Copies into caller-supplied character buffers that can never overflow.
#pragma once

#include <cstdint>
#include <string_view>

// Copies as much of text as fits into out (size bytes, terminator included),
// cut at a UTF-8 character boundary, and returns the bytes copied. Does
// nothing and returns 0 when out is null or size <= 0.
int64_t CopyBounded(char* out, int64_t size, std::string_view text);

// Copies text only when all of it fits; otherwise out becomes empty (when
// size > 0) and the result is false. For paths, which are never cut short.
bool CopyWhole(char* out, int64_t size, std::string_view text);

// Length of s, reading at most max bytes (s may lack a terminator there).
int64_t BoundedLength(const char* s, int64_t max);
