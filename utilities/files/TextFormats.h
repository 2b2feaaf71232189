// Small text helpers: trimming, times and sizes for display, searching and
// upper-casing.
#pragma once

#include <cstdint>
#include <string>

// Copies in without leading and trailing spaces, tabs and line feeds
// (carriage returns stay) to out, which must hold as many bytes as in. True
// when the result is not empty. in and out may be the same buffer.
bool TrimWhitespace(const char* in, char* out);

// ms as "MM:SS" or "MM:SS:mmm" (withMs), with "HH:" in front when the hours
// are not 0 and noHours is 0; with noHours the hours are simply left out.
// Negative lengths show as 0. The result is at most 31 bytes; out must hold
// 32.
void MakeLengthString(int64_t ms, char* out, int withMs, int noHours);
std::string MakeLengthString(int64_t ms, bool withMs, bool noHours);

// "999 Bytes", "1 KB" (bytes / 1000 below one million), "1.00 MB"; cut to
// size - 1 bytes, nothing written when size <= 0.
void MakeFileSizeString(uint64_t bytes, char* out, int size);
std::string MakeFileSizeString(uint64_t bytes);

// The first c in s and its index, or null and -1.
char* StrChrPos(char* s, char c, int* index);
// Upper-cases the ASCII letters of s in place (bytes of UTF-8 sequences stay).
void MakeUpperCase(char* s);
