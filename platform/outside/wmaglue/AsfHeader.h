// The ASF Header Object of a file: the children we read and rewrite (File
// Properties, Stream Properties, Content Description, Extended Content
// Description) and every other child kept byte for byte. Parsing is of
// untrusted input: every length is checked against what is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/outside/wmaglue/AttributeList.h"

namespace wmaglue {

class CAsfHeader {
 public:
  // Bytes of a Header Object from its first 30 bytes; 0 when they do not start one.
  static uint64_t ObjectSize(const uint8_t* data, size_t size);
  static constexpr size_t kPrefixSize = 30;

  // Sets the play duration (less the preroll, 100 ns) in the File Properties
  // Object of a whole Header Object, in place; false when there is none.
  static bool SetDuration(uint8_t* data, size_t size, uint64_t duration);

  // Reads and parses the Header Object at the start of a file; false when
  // it is missing, malformed or larger than is sensible to hold.
  bool Load(const std::string& path);
  // Bytes of the Header Object last parsed.
  uint64_t Size() const { return size_; }

  // Parses a whole Header Object. false when it is malformed or lacks the
  // File Properties Object.
  bool Parse(const uint8_t* data, size_t size);
  // The Header Object again, with the attributes in their objects, and the
  // file size of the File Properties Object set for a file whose Header
  // Object is followed by `restSize` bytes.
  std::vector<uint8_t> Serialize(uint64_t restSize) const;

  // Play duration less the preroll, in 100 ns units.
  uint64_t Duration() const;
  // The first audio stream's average bytes per second × 8; 0 without one.
  uint32_t AudioBitrate() const { return audioBitrate_; }

  // Title, Author, Copyright and Description (those not empty) first, then
  // the extended content descriptors in file order.
  CAttributeList attributes;

 private:
  struct TChild {
    uint8_t guid[16];
    std::vector<uint8_t> body;  // after the 24-byte object header
  };

  bool ParseChild(const TChild& child);
  bool ParseContentDescription(const std::vector<uint8_t>& body);
  bool ParseExtendedContent(const std::vector<uint8_t>& body);
  void ParseStreamProperties(const std::vector<uint8_t>& body);
  std::vector<uint8_t> ContentDescriptionBody() const;
  std::vector<uint8_t> ExtendedContentBody() const;

  std::vector<TChild> children_;
  uint64_t size_ = 0;
  uint8_t reserved_[2] = {1, 2};
  uint64_t playDuration_ = 0;  // 100 ns
  uint64_t prerollMs_ = 0;
  uint32_t audioBitrate_ = 0;
  std::vector<uint8_t> rating_;  // the Content Description's fifth text, kept as it was
};

}  // namespace wmaglue
