#include "engine/media/MyArrayList.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int kStep = 10;
}

CMyArrayList::CMyArrayList(const CMyArrayList& other) { *this = other; }

// Assignment copies the entries: two lists sharing one block could not both free it.
CMyArrayList& CMyArrayList::operator=(const CMyArrayList& other) {
  if (this == &other) return *this;
  RemoveAll();
  if (other.count_ > 0 && Grow(other.count_)) {
    std::memcpy(entries_, other.entries_, sizeof(Entry) * other.count_);
    count_ = other.count_;
  }
  return *this;
}

CMyArrayList::~CMyArrayList() { std::free(entries_); }

// Room for n more entries: the first block for n entries holds n - n % 10 + 10,
// each later growth adds 10.
bool CMyArrayList::Grow(int n) {
  if (count_ + n <= capacity_) return true;
  int capacity = capacity_ == 0 ? n - n % kStep + kStep : capacity_ + kStep;
  while (capacity < count_ + n) capacity += kStep;
  void* block = std::realloc(entries_, sizeof(Entry) * capacity);
  if (!block) return false;
  entries_ = static_cast<Entry*>(block);
  capacity_ = capacity;
  return true;
}

// Gives back n entries' room once they are free; frees the block when empty.
void CMyArrayList::Shrink(int n) {
  if (count_ == 0) {
    std::free(entries_);
    entries_ = nullptr;
    capacity_ = 0;
    return;
  }
  if (capacity_ - n < count_) return;
  if (void* block = std::realloc(entries_, sizeof(Entry) * (capacity_ - n))) {
    entries_ = static_cast<Entry*>(block);
    capacity_ -= n;
  }
}

// Moves the entries from position i one place toward the end (opening a gap
// at i; room must exist) or one place toward the front (closing the gap at i - 1).
void CMyArrayList::Shift(int i, _tshift direction) {
  if (direction == kTowardEnd)
    std::memmove(entries_ + i + 1, entries_ + i, sizeof(Entry) * (count_ - i));
  else
    std::memmove(entries_ + i - 1, entries_ + i, sizeof(Entry) * (count_ - i));
}

int CMyArrayList::InsertAt(int i, void* item, long value) {
  if (!Grow(1)) return -1;
  Shift(i, kTowardEnd);
  entries_[i] = {item, value};
  ++count_;
  return i;
}

int CMyArrayList::InsertNewHead(void* item, long value) {
  InsertAt(0, item, value);
  return 0;
}

int CMyArrayList::AppendToTail(void* item, long value) {
  if (!Grow(1)) return count_ - 1;
  entries_[count_] = {item, value};
  return count_++;
}

int CMyArrayList::AddSorted(void* item, long value) {
  if (count_ == 0 || entries_[0].value >= value) return InsertAt(0, item, value);
  if (value >= entries_[count_ - 1].value) {
    if (!Grow(1)) return -1;
    return AppendToTail(item, value);
  }
  // First position whose value is not below `value`: behind the last smaller one.
  int lo = 1, hi = count_ - 1;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (entries_[mid].value < value)
      lo = mid + 1;
    else
      hi = mid;
  }
  return InsertAt(lo, item, value);
}

void CMyArrayList::RemoveByIndex(int i) {
  if (i < 0 || i >= count_) return;
  Shift(i + 1, kTowardFront);
  --count_;
  Shrink(kStep);
}

void CMyArrayList::Remove(void* item) {
  for (int i = 0; i < count_; ++i) {
    if (entries_[i].item == item) {
      RemoveByIndex(i);
      return;
    }
  }
}

void CMyArrayList::RemoveAll() {
  std::free(entries_);
  entries_ = nullptr;
  capacity_ = count_ = 0;
}

int CMyArrayList::Member(void* item) {
  for (int i = 0; i < count_; ++i)
    if (entries_[i].item == item) return 1;
  return 0;
}

void* CMyArrayList::Index(int i, long* value) {
  if (i < 0 || i >= count_) return nullptr;
  if (value) *value = entries_[i].value;
  return entries_[i].item;
}

void* CMyArrayList::ElemBySortValue(long value, int* index, long* foundValue) {
  if (count_ == 0) return nullptr;
  // Last entry whose value is not above `value`; the first when all are above.
  int lo = 0, hi = count_;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (entries_[mid].value <= value)
      lo = mid + 1;
    else
      hi = mid;
  }
  int at = lo > 0 ? lo - 1 : 0;
  if (index) *index = at;
  if (foundValue) *foundValue = entries_[at].value;
  return entries_[at].item;
}

void CMyArrayList::AdjustAllSortValues(long delta) {
  for (int i = 0; i < count_; ++i) entries_[i].value += delta;
}

void CMyArrayList::ScaleAllSortValues(double factor) {
  for (int i = 0; i < count_; ++i)
    entries_[i].value = static_cast<long>(std::trunc(entries_[i].value * factor));
}
