// Characters of file names.
#pragma once

#include <string>

// Copies in to out, each of / \ : * ? " < > | replaced by replacement. Only
// '/' (and NUL) are impossible in names here, but the others are refused by
// FAT media and by other systems' tools the converted files travel to, so
// names the program makes up stay clear of them. out must hold as many bytes
// as in.
void ValidateFileName(const char* in, char* out, char replacement);
std::string ValidateFileName(const std::string& in, char replacement);

// Whether c is a plain file-name character, as the playlist scanner uses it
// to find where a path embedded in binary data ends: letters and digits
// (every byte of a UTF-8 sequence counts as one), space and
// $ % ' - _ @ ~ ` ! ( ) ^ # & + , ; = [ ] . ; with allowPathChars also the
// separator '/' and ':'. Refused always: * ? " < > | \ and control bytes.
bool IsValidFileNameChar(char c, bool allowPathChars);
