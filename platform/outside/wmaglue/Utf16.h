// Conversions between the UTF-16 texts of the interfaces and UTF-8.
#pragma once

#include <string>

namespace wmaglue {

// A terminated UTF-16 text as UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const char16_t* text);
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);
// Compares without regard to ASCII case.
bool SameName(const std::u16string& a, const std::u16string& b);

}  // namespace wmaglue
