// A contiguous array of untyped item pointers, each with a sort value, kept
// in one block that grows and shrinks 10 entries at a time; lookups by sort
// value bisect. The list does not own its items.
#pragma once

class CMyArrayList {
 public:
  CMyArrayList() = default;
  CMyArrayList(const CMyArrayList& other);
  CMyArrayList& operator=(const CMyArrayList& other);
  ~CMyArrayList();

  int InsertNewHead(void* item, long value);  // always 0
  int AppendToTail(void* item, long value);   // index of the new (or, on failure, last) entry
  int AddSorted(void* item, long value);      // index of the new entry, -1 on failure
  void Remove(void* item);
  void RemoveByIndex(int i);
  void RemoveAll();
  int Member(void* item);
  void* Index(int i, long* value = nullptr);
  // The entry whose value equals `value` (the last of equal ones), else the
  // last entry below it, else the first entry.
  void* ElemBySortValue(long value, int* index, long* foundValue);
  void AdjustAllSortValues(long delta);
  void ScaleAllSortValues(double factor);
  int Count() const { return count_; }
  int Capacity() const { return capacity_; }

 private:
  struct Entry {
    void* item;
    long value;
  };
  enum _tshift { kTowardEnd, kTowardFront };
  bool Grow(int n);
  void Shrink(int n);
  void Shift(int i, _tshift direction);
  int InsertAt(int i, void* item, long value);

  Entry* entries_ = nullptr;
  int capacity_ = 0;
  int count_ = 0;
  int reserved_ = 0;
};
