// Which system the program runs on. The enumeration keeps the values that
// stored reports and callers know; on Linux the answer is always
// OUR_WIN_UNKNOWN and the text names the Linux system.
#pragma once

enum TOurWinVersion {
  OUR_WIN_95 = 0,
  OUR_WIN_95_OSR2 = 1,
  OUR_WIN_98 = 2,
  OUR_WIN_98_SE = 3,
  OUR_WIN_ME = 4,
  OUR_WIN_NT4 = 5,
  OUR_WIN_2000 = 6,
  OUR_WIN_XP = 7,
  OUR_WIN_UNKNOWN = 8,
};

// Writes, when out is not null, "<system> <release> <machine>\n" from uname
// (at most 259 bytes; out must hold 260), e.g. "Linux 6.1.0-13-amd64 x86_64\n".
TOurWinVersion GetWindowsSystemVersion(char* out);
