#include "platform/outside/mp3enc/StreamTable.h"

namespace mp3enc {

namespace {

// handle = serial * kSlots + slot + 1, kept below 2^32 so it never wraps to 0.
constexpr uint32_t kSerials = UINT32_MAX / StreamTable::kSlots;

}  // namespace

StreamTable& StreamTable::Instance() {
  static StreamTable table;
  return table;
}

BE_ERR StreamTable::Add(std::shared_ptr<LameStream> stream, HBE_STREAM* handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (uint32_t i = 0; i < kSlots; ++i) {
    if (slots_[i].stream) continue;
    serial_ = (serial_ + 1) % kSerials;
    slots_[i].handle = serial_ * kSlots + i + 1;
    slots_[i].stream = std::move(stream);
    *handle = slots_[i].handle;
    return BE_ERR_SUCCESSFUL;
  }
  return BE_ERR_NO_MORE_HANDLES;
}

int StreamTable::IndexOf(HBE_STREAM handle) const {
  if (handle == 0) return -1;
  const uint32_t i = (handle - 1) % kSlots;
  return slots_[i].stream && slots_[i].handle == handle ? static_cast<int>(i) : -1;
}

std::shared_ptr<LameStream> StreamTable::Find(HBE_STREAM handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const int i = IndexOf(handle);
  return i < 0 ? nullptr : slots_[i].stream;
}

bool StreamTable::Remove(HBE_STREAM handle) {
  std::shared_ptr<LameStream> closing;  // released after the lock
  std::lock_guard<std::mutex> lock(mutex_);
  const int i = IndexOf(handle);
  if (i < 0) return false;
  closing = std::move(slots_[i].stream);
  slots_[i].handle = 0;
  return true;
}

void StreamTable::KeepTagFrame(std::vector<uint8_t> frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  tagFrame_ = std::move(frame);
}

std::vector<uint8_t> StreamTable::TagFrame() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tagFrame_;
}

}  // namespace mp3enc
