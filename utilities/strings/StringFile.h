// Texts looked up by key in the section "Strings" of an INI strings file.
// A key that the file lacks (or a file that is missing or was never set)
// yields the key's own name, so a caller always has something to show; a key
// present with an empty value yields an empty text. Loaders return 1 when the
// text is not empty, else 0.
//
// Texts are single lines; a backslash followed by n, r or t stands for a
// line feed, carriage return or tab, which the loaders below turn into
// control characters as each describes. Every copy into a caller's buffer is
// bounded by the size given and cut at a UTF-8 character boundary.
#pragma once

#include <string>

// Set the process-wide current strings file (the path as given, no search).
void SetStringFile(const char* path);
void SetLanguageFile(const char* path);
std::string GetStringFile();

// Looks key up in file (the current strings file when file is null), then
// turns each backslash-r-backslash-n and each backslash-n into one line feed;
// other backslashes stay.
int MyLoadString(const char* key, char* out, int size, const char* file);

// The lookup alone, in the current strings file, without escape handling.
int LoadLanguageString(const char* key, char* out, unsigned long size);

// The lookup in the current strings file, then backslash-n becomes carriage
// return and line feed, and backslash-t a tab. 0 for a null key or buffer or
// a size of 0.
int LoadLanguageStringFormatted(const char* key, char* out, unsigned long size);

// Copies in to out, each backslash followed by r or n becoming one carriage
// return. The output is never longer than the input and never longer than
// size - 1 bytes; nothing is written when size <= 0. in and out may be the
// same buffer.
void ParseCarriageReturns(const char* in, char* out, long size);

// MyLoadString without a length limit: the text for key in file (the current
// strings file when file is null; the key itself when file is empty),
// line-feed escapes turned into line feeds.
std::string LoadKeyedString(const char* key, const char* file = nullptr);
