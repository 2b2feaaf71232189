// The engine's message texts, looked up by key in "tonalis-strings.ini".
#pragma once

#include <string>

#include "utilities/strings/KeyedFormat.h"

// The engine's strings file; until start-up or SetTonalisStringFile sets it,
// the file found beside the program (or in ../share/sonoduct/).
std::string GetTonalisStringFile();
void SetTonalisStringFile(const std::string& path);

// The text for key through MyLoadString (line-feed escapes handled), cut to
// max - 1 bytes; the key itself when the file lacks it. 1 when the text is
// not empty.
int TonalisLoadString(const char* key, char* out, int max);

// The text for key, without a length limit.
std::string TonalisLoadKeyed(const char* key);

// The text for key used as a checked format (see KeyedFormat.h).
template <class... Args>
std::string TonalisLoadFormatted(const char* key, const Args&... args) {
  return LoadFormattedFrom(GetTonalisStringFile().c_str(), key, args...);
}
