// Feeds arbitrary bytes to the WMA library's ASF Header Object parser. A
// header that parses is written again and must parse back to the same
// attributes, duration and bit rate, and write to the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/outside/wmaglue/AsfHeader.h"

namespace {

bool SameAttributes(const wmaglue::CAttributeList& a, const wmaglue::CAttributeList& b) {
  const auto& x = a.Items();
  const auto& y = b.Items();
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (x[i].name != y[i].name || x[i].type != y[i].type || x[i].value != y[i].value) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wmaglue::CAsfHeader::ObjectSize(data, size);
  wmaglue::CAsfHeader header;
  if (!header.Parse(data, size)) return 0;
  uint16_t count = 0;
  header.attributes.GetCount(0, &count);
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t stream = 0, nameLength = 0, valueLength = 0;
    WMT_ATTR_DATATYPE type;
    header.attributes.GetByIndex(i, &stream, nullptr, &nameLength, &type, nullptr, &valueLength);
    std::vector<char16_t> name(nameLength);
    std::vector<uint8_t> value(valueLength);
    header.attributes.GetByIndex(i, &stream, name.data(), &nameLength, &type, value.data(),
                                 &valueLength);
  }
  const std::vector<uint8_t> written = header.Serialize(1000);
  wmaglue::CAsfHeader again;
  FUZZ_CHECK(again.Parse(written.data(), written.size()));
  FUZZ_CHECK(SameAttributes(header.attributes, again.attributes));
  FUZZ_CHECK(again.Duration() == header.Duration());
  FUZZ_CHECK(again.AudioBitrate() == header.AudioBitrate());
  FUZZ_CHECK(again.Serialize(1000) == written);
  return 0;
}
