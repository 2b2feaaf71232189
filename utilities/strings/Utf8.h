// UTF-8, the system's text encoding, and ISO-8859-1, the encoding of ID3v1
// fields, older tags and WAV texts from older writers. Valid UTF-8 is that of
// RFC 3629: no overlong forms, no surrogates, nothing past U+10FFFF. Where
// text may come from either encoding, a byte that does not begin a valid
// sequence is taken as the ISO-8859-1 character of that value, so text from
// older sources survives instead of being dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Appends the code point cp (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);

// The code point that starts at text[*at] (*at < text.size()), moving *at
// behind it: a whole sequence when it is valid, otherwise one byte read as
// ISO-8859-1.
uint32_t NextCodePoint(std::string_view text, size_t* at);

bool IsValidUtf8(std::string_view text);

// Every byte as the ISO-8859-1 character it stands for, NUL included.
std::string Latin1ToUtf8(std::string_view bytes);

// UTF-8 text as ISO-8859-1: characters past U+00FF become '?', bytes that are
// not valid UTF-8 are kept as the ISO-8859-1 characters they already are.
std::string Utf8ToLatin1(std::string_view text);

// Appends the code point cp as UTF-16: one unit, or a surrogate pair past U+FFFF.
void AppendUtf16(std::u16string& out, uint32_t cp);

// UTF-8 text as UTF-16; bytes that are not valid UTF-8 are read as ISO-8859-1.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-8 text as UTF-16 where the text is known to be UTF-8: each byte that
// does not begin a valid sequence becomes U+FFFD.
std::u16string Utf8ToUtf16Replacing(std::string_view text);

// UTF-16 units as UTF-8, up to the first zero unit; a lone surrogate
// becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);
