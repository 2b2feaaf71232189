// Made-up names for new sounds: a prefix and a running number.
#pragma once

#include <string>

// Sets the prefix (null: none); the counter keeps running.
void SetNewNamePrefix(const char* prefix);
// Writes prefix + counter ("Track1", then "Track2" ...) and advances the
// counter; out must hold the prefix and 11 more bytes.
void GenerateUniqueName(char* out);
std::string GenerateUniqueName();
