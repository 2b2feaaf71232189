// Feeds arbitrary bytes to the CD track file reader as a file's contents.
// What parses must give times that the fmt chunk's bytes give, and a failed
// parse must leave the reader as it was or cleared.
#include <cstddef>
#include <cstdint>

#include "engine/media/CDAParser.h"
#include "fuzz/FuzzCheck.h"
#include "platform/data/MemObj.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMemObj source;
  if (!source.Create(data, static_cast<int64_t>(size))) return 0;
  CCDAParser parser;
  const int parsed = parser.Parse(&source);
  FUZZ_CHECK((parsed != 0) == (parser.Parsed() != 0));
  if (parsed) {
    // Minutes up to 255, seconds and frames up to 255: never negative, never
    // beyond what the bytes can say.
    const long most = 255 * 60000L + 255 * 1000L + 255 * 1000L / 75;
    FUZZ_CHECK(parser.TrackOffset() >= 0 && parser.TrackOffset() <= most);
    FUZZ_CHECK(parser.TrackLength() >= 0 && parser.TrackLength() <= most);
  }
  return 0;
}
