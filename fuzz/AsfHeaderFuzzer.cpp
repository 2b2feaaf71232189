// Feeds arbitrary bytes to the ASF Header Object parser of wmaglue.so, as the
// reader and the metadata editor read a file's start, and walks every
// attribute it finds. What parses must write out as a header that parses
// and writes out the same again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/outside/wmaglue/AsfHeader.h"

using wmaglue::CAsfHeader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint64_t headerSize = CAsfHeader::ObjectSize(data, size);
  if (headerSize == 0 || headerSize > size) return 0;
  CAsfHeader header;
  if (!header.Parse(data, static_cast<size_t>(headerSize))) return 0;
  uint16_t count = 0;
  FUZZ_CHECK(header.attributes.GetCount(0, &count) == WM_OK);
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t nameLength = 0, valueLength = 0;
    WMT_ATTR_DATATYPE type{};
    FUZZ_CHECK(header.attributes.GetByIndex(i, nullptr, nullptr, &nameLength, &type, nullptr,
                                            &valueLength) == WM_OK);
    std::vector<char16_t> name(nameLength);
    std::vector<uint8_t> value(valueLength);
    FUZZ_CHECK(header.attributes.GetByIndex(i, nullptr, name.data(), &nameLength, &type,
                                            value.data(), &valueLength) == WM_OK);
    FUZZ_CHECK(nameLength > 0 && name[nameLength - 1] == 0);
  }
  const uint64_t rest = size - headerSize;
  const std::vector<uint8_t> written = header.Serialize(rest);
  CAsfHeader again;
  FUZZ_CHECK(again.Parse(written.data(), written.size()));
  FUZZ_CHECK(again.Duration() == header.Duration());
  FUZZ_CHECK(again.AudioBitrate() == header.AudioBitrate());
  FUZZ_CHECK(again.Serialize(rest) == written);
  std::vector<uint8_t> copy(data, data + headerSize);
  (void)CAsfHeader::SetDuration(copy.data(), copy.size(), 12345);
  return 0;
}
