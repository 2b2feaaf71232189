// Comparison of text without regard to ASCII case, as the lists and the
// string class use it; bytes outside ASCII compare as they are.
#pragma once

#include <string_view>

// -1, 0 or 1 by the unsigned order of the bytes with 'A'..'Z' read as 'a'..'z'.
int CompareNoCase(std::string_view a, std::string_view b);

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}
