#include "platform/outside/wmaglue/AsfHeader.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/data/ByteOrder.h"
#include "platform/outside/wmaglue/Utf16.h"

namespace wmaglue {

namespace {

// The object GUIDs as stored: the first three fields little-endian.
constexpr uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                         0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t kStreamProperties[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                           0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t kContentDescription[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kExtendedContent[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                          0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr uint8_t kAudioMedia[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                     0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

// Header Objects beyond this are refused rather than read into memory.
constexpr uint64_t kMaxHeaderBytes = 64u << 20;
constexpr size_t kObjectHeader = 24;  // GUID and 64-bit size
// Field offsets in the bodies (after the object header).
constexpr size_t kFileSizeAt = 16, kPlayDurationAt = 40, kPrerollAt = 56, kFilePropsSize = 80;
constexpr size_t kStreamTypeAt = 0, kTypeDataLengthAt = 40, kTypeDataAt = 54;

// The Content Description's texts in their order; the fifth, Rating, is kept.
const char16_t* const kDescriptionNames[4] = {u"Title", u"Author", u"Copyright", u"Description"};

// Value types of the Extended Content Description.
enum : uint16_t { kEcdString = 0, kEcdBinary, kEcdBool, kEcdDword, kEcdQword, kEcdWord };

bool SameGuid(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 16) == 0; }

int DescriptionIndex(const std::u16string& name) {
  for (int i = 0; i < 4; ++i)
    if (SameName(name, kDescriptionNames[i])) return i;
  return -1;
}

// A little-endian UTF-16 text of `bytes` bytes, cut at its first terminator.
std::u16string ReadText(const uint8_t* p, size_t bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const char16_t c = LoadLE16(p + i);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

void Append16(std::vector<uint8_t>* out, uint16_t v) {
  uint8_t b[2];
  StoreLE16(b, v);
  out->insert(out->end(), b, b + 2);
}

void Append64(std::vector<uint8_t>* out, uint64_t v) {
  uint8_t b[8];
  StoreLE64(b, v);
  out->insert(out->end(), b, b + 8);
}

void AppendObject(std::vector<uint8_t>* out, const uint8_t* guid,
                  const std::vector<uint8_t>& body) {
  out->insert(out->end(), guid, guid + 16);
  Append64(out, kObjectHeader + body.size());
  out->insert(out->end(), body.begin(), body.end());
}

}  // namespace

uint64_t CAsfHeader::ObjectSize(const uint8_t* data, size_t size) {
  if (size < kPrefixSize || !SameGuid(data, kHeaderObject)) return 0;
  const uint64_t objectSize = LoadLE64(data + 16);
  return objectSize >= kPrefixSize ? objectSize : 0;
}

bool CAsfHeader::SetDuration(uint8_t* data, size_t size, uint64_t duration) {
  if (ObjectSize(data, size) != size) return false;
  for (size_t at = kPrefixSize; size - at >= kObjectHeader;) {
    const uint64_t childSize = LoadLE64(data + at + 16);
    if (childSize < kObjectHeader || childSize > size - at) return false;
    if (SameGuid(data + at, kFileProperties) && childSize >= kObjectHeader + kFilePropsSize) {
      uint8_t* body = data + at + kObjectHeader;
      StoreLE64(body + kPlayDurationAt, duration + LoadLE64(body + kPrerollAt) * 10000);
      return true;
    }
    at += childSize;
  }
  return false;
}

bool CAsfHeader::Load(const std::string& path) {
  *this = CAsfHeader();
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return false;
  uint8_t prefix[kPrefixSize];
  if (std::fread(prefix, 1, sizeof prefix, file.get()) != sizeof prefix) return false;
  const uint64_t size = ObjectSize(prefix, sizeof prefix);
  if (size == 0 || size > kMaxHeaderBytes) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  std::memcpy(bytes.data(), prefix, sizeof prefix);
  const size_t rest = bytes.size() - sizeof prefix;
  if (std::fread(bytes.data() + sizeof prefix, 1, rest, file.get()) != rest) return false;
  return Parse(bytes.data(), bytes.size());
}

bool CAsfHeader::Parse(const uint8_t* data, size_t size) {
  *this = CAsfHeader();
  if (ObjectSize(data, size) != size) return false;
  size_ = size;
  reserved_[0] = data[28];
  reserved_[1] = data[29];
  bool haveFileProperties = false;
  size_t at = kPrefixSize;
  while (at < size) {
    if (size - at < kObjectHeader) return false;
    const uint64_t childSize = LoadLE64(data + at + 16);
    if (childSize < kObjectHeader || childSize > size - at) return false;
    TChild child;
    std::memcpy(child.guid, data + at, 16);
    child.body.assign(data + at + kObjectHeader, data + at + childSize);
    if (!ParseChild(child)) return false;
    haveFileProperties = haveFileProperties || SameGuid(child.guid, kFileProperties);
    children_.push_back(std::move(child));
    at += childSize;
  }
  return haveFileProperties;
}

bool CAsfHeader::ParseChild(const TChild& child) {
  const auto& body = child.body;
  if (SameGuid(child.guid, kFileProperties)) {
    if (body.size() < kFilePropsSize) return false;
    playDuration_ = LoadLE64(body.data() + kPlayDurationAt);
    prerollMs_ = LoadLE64(body.data() + kPrerollAt);
    return true;
  }
  if (SameGuid(child.guid, kStreamProperties)) {
    ParseStreamProperties(body);
    return true;
  }
  if (SameGuid(child.guid, kContentDescription)) return ParseContentDescription(body);
  if (SameGuid(child.guid, kExtendedContent)) return ParseExtendedContent(body);
  return true;
}

void CAsfHeader::ParseStreamProperties(const std::vector<uint8_t>& body) {
  if (audioBitrate_ != 0 || body.size() < kTypeDataAt) return;
  if (!SameGuid(body.data() + kStreamTypeAt, kAudioMedia)) return;
  const uint32_t typeLength = LoadLE32(body.data() + kTypeDataLengthAt);
  // The wave format's average bytes per second sits 8 bytes in.
  if (typeLength < 12 || typeLength > body.size() - kTypeDataAt) return;
  audioBitrate_ = LoadLE32(body.data() + kTypeDataAt + 8) * 8;
}

bool CAsfHeader::ParseContentDescription(const std::vector<uint8_t>& body) {
  if (body.size() < 10) return false;
  size_t at = 10;
  for (int i = 0; i < 5; ++i) {
    const size_t length = LoadLE16(body.data() + 2 * i);
    if (length > body.size() - at) return false;
    if (i < 4) {
      const std::u16string text = ReadText(body.data() + at, length);
      // The first of several descriptions wins, as it does for the editor.
      if (!text.empty() && attributes.Find(kDescriptionNames[i]) == nullptr)
        attributes.Add(CAttributeList::Text(kDescriptionNames[i], text));
    } else {
      rating_.assign(body.data() + at, body.data() + at + length);
    }
    at += length;
  }
  return true;
}

bool CAsfHeader::ParseExtendedContent(const std::vector<uint8_t>& body) {
  if (body.size() < 2) return false;
  const size_t count = LoadLE16(body.data());
  size_t at = 2;
  const uint8_t* p = body.data();
  for (size_t i = 0; i < count; ++i) {
    if (body.size() - at < 2) return false;
    const size_t nameLength = LoadLE16(p + at);
    at += 2;
    if (body.size() - at < nameLength + 4) return false;
    TWmAttribute a;
    a.name = ReadText(p + at, nameLength);
    at += nameLength;
    const uint16_t type = LoadLE16(p + at);
    const size_t valueLength = LoadLE16(p + at + 2);
    at += 4;
    if (body.size() - at < valueLength) return false;
    const uint8_t* value = p + at;
    at += valueLength;
    switch (type) {
      case kEcdString:
        a = CAttributeList::Text(a.name, ReadText(value, valueLength));
        break;
      case kEcdBinary:
        a.type = WMT_TYPE_BINARY;
        a.value.assign(value, value + valueLength);
        break;
      case kEcdBool:
        // Stored in 32 bits; some writers use 16.
        a = CAttributeList::Number(a.name, WMT_TYPE_BOOL,
                                   valueLength >= 4   ? LoadLE32(value) != 0
                                   : valueLength >= 2 ? LoadLE16(value) != 0
                                                      : 0);
        break;
      case kEcdDword:
        if (valueLength < 4) continue;
        a = CAttributeList::Number(a.name, WMT_TYPE_DWORD, LoadLE32(value));
        break;
      case kEcdQword:
        if (valueLength < 8) continue;
        a = CAttributeList::Number(a.name, WMT_TYPE_QWORD, LoadLE64(value));
        break;
      case kEcdWord:
        if (valueLength < 2) continue;
        a = CAttributeList::Number(a.name, WMT_TYPE_WORD, LoadLE16(value));
        break;
      default:
        continue;  // an unknown type: skipped here, kept in the file unless edited
    }
    if (!a.name.empty()) attributes.Add(std::move(a));
  }
  return true;
}

uint64_t CAsfHeader::Duration() const {
  const uint64_t preroll = prerollMs_ * 10000;
  return playDuration_ > preroll ? playDuration_ - preroll : 0;
}

std::vector<uint8_t> CAsfHeader::ContentDescriptionBody() const {
  std::vector<uint8_t> texts[5];
  bool any = !rating_.empty();
  for (int i = 0; i < 4; ++i) {
    // An empty text is stored as none, as it reads back.
    const TWmAttribute* a = attributes.Find(kDescriptionNames[i]);
    const std::u16string text = a != nullptr ? CAttributeList::TextOf(*a) : u"";
    if (text.empty()) continue;
    texts[i] = CAttributeList::Text(u"", text.substr(0, 0x7FFE)).value;
    any = true;
  }
  texts[4] = rating_;
  if (!any) return {};
  std::vector<uint8_t> body(10);
  for (int i = 0; i < 5; ++i)
    StoreLE16(body.data() + 2 * i, static_cast<uint16_t>(texts[i].size()));
  for (const auto& t : texts) body.insert(body.end(), t.begin(), t.end());
  return body;
}

std::vector<uint8_t> CAsfHeader::ExtendedContentBody() const {
  std::vector<uint8_t> body(2);
  uint16_t count = 0;
  for (const auto& a : attributes.Items()) {
    if (DescriptionIndex(a.name) >= 0 || a.value.size() > 0xFFFF || count == 0xFFFF) continue;
    const std::vector<uint8_t> name = CAttributeList::Text(u"", a.name).value;
    if (name.size() > 0xFFFF) continue;
    uint16_t type = kEcdBinary;
    switch (a.type) {
      case WMT_TYPE_STRING:
        type = kEcdString;
        break;
      case WMT_TYPE_BOOL:
        type = kEcdBool;
        break;
      case WMT_TYPE_DWORD:
        type = kEcdDword;
        break;
      case WMT_TYPE_QWORD:
        type = kEcdQword;
        break;
      case WMT_TYPE_WORD:
        type = kEcdWord;
        break;
      default:
        break;
    }
    Append16(&body, static_cast<uint16_t>(name.size()));
    body.insert(body.end(), name.begin(), name.end());
    Append16(&body, type);
    Append16(&body, static_cast<uint16_t>(a.value.size()));
    body.insert(body.end(), a.value.begin(), a.value.end());
    ++count;
  }
  if (count == 0) return {};
  StoreLE16(body.data(), count);
  return body;
}

std::vector<uint8_t> CAsfHeader::Serialize(uint64_t restSize) const {
  const std::vector<uint8_t> description = ContentDescriptionBody();
  const std::vector<uint8_t> extended = ExtendedContentBody();
  bool descriptionDone = false, extendedDone = false;
  std::vector<uint8_t> out(kPrefixSize, 0);
  uint32_t count = 0;
  size_t filePropertiesAt = 0;
  for (const auto& child : children_) {
    if (SameGuid(child.guid, kContentDescription)) {
      if (descriptionDone || description.empty()) continue;
      AppendObject(&out, child.guid, description);
      descriptionDone = true;
    } else if (SameGuid(child.guid, kExtendedContent)) {
      if (extendedDone || extended.empty()) continue;
      AppendObject(&out, child.guid, extended);
      extendedDone = true;
    } else {
      if (SameGuid(child.guid, kFileProperties)) filePropertiesAt = out.size() + kObjectHeader;
      AppendObject(&out, child.guid, child.body);
    }
    ++count;
  }
  if (!descriptionDone && !description.empty()) {
    AppendObject(&out, kContentDescription, description);
    ++count;
  }
  if (!extendedDone && !extended.empty()) {
    AppendObject(&out, kExtendedContent, extended);
    ++count;
  }
  std::memcpy(out.data(), kHeaderObject, 16);
  StoreLE64(out.data() + 16, out.size());
  StoreLE32(out.data() + 24, count);
  out[28] = reserved_[0];
  out[29] = reserved_[1];
  if (filePropertiesAt != 0)
    StoreLE64(out.data() + filePropertiesAt + kFileSizeAt, out.size() + restSize);
  return out;
}

}  // namespace wmaglue
