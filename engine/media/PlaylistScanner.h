// Finds the paths of sound files in a file of any kind, text or binary (the
// lists of other programs, whose layout is not known): a path begins at a
// '/' that follows no name character and runs over name characters up to a
// sound file's extension.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

constexpr int64_t kScannerMaxBytes = 1000000;

// Calls take(path) for each candidate in order. take answers whether the
// path was taken; the scan goes on behind a taken path's extension and one
// byte behind the start of one that was not. charWidth 2 reads 16-bit
// little-endian text by the low byte of each character.
void ScanForSoundPaths(std::string_view bytes, int charWidth,
                       const std::function<bool(const std::string&)>& take);
