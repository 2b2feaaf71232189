// Windows-1252, the encoding in which Windows programs wrote text files such
// as playlists: ISO-8859-1 except for 0x80-0x9F, which hold typographic
// characters (the euro sign, quotes, dashes) instead of control codes.
#pragma once

#include <string>
#include <string_view>

// Every byte as the Windows-1252 character it stands for. The five bytes
// that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become
// the control characters of the same value, as Windows converts them.
std::string Windows1252ToUtf8(std::string_view bytes);
