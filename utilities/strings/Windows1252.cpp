#include "utilities/strings/Windows1252.h"

#include <cstdint>

#include "utilities/strings/Utf8.h"

namespace {

// Code points of the bytes 0x80-0x9F.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80)
      out += static_cast<char>(c);
    else if (c < 0xA0)
      AppendUtf8(out, kHighControls[c - 0x80]);
    else
      AppendUtf8(out, c);
  }
  return out;
}
