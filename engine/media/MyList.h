// A singly linked list of untyped item pointers, each with a sort value,
// with a remembered cursor so that reading positions in increasing order
// costs one step each. The list does not own its items.
#pragma once

#include <memory>

class CMyList {
 public:
  CMyList() = default;
  CMyList(const CMyList& other);
  CMyList& operator=(const CMyList& other);
  ~CMyList();

  int InsertNewHead(void* item, long value);  // always 0
  int AppendToTail(void* item, long value);   // index of the new entry
  int AddSorted(void* item, long value);      // index of the new entry
  int InsertAfter(void* item, int i);         // i + 1, or 0 into an empty list
  void Remove(void* item);                    // the first entry holding item
  void RemoveByIndex(int i);
  void RemoveAll();
  int Member(void* item);  // 1 when present
  // The item at position i (null at or beyond the count; a negative i gives
  // the first item) and its sort value when `value` is not null.
  void* Index(int i, long* value = nullptr);
  // The first entry when its value is not below `value`, otherwise the last
  // entry whose value is below it. The cursor is left on the result.
  void* ElemBySortValue(long value, int* index, long* foundValue);
  int Count() const { return count_; }

 private:
  // Each node owns the rest of the chain behind it.
  struct Node {
    void* item;
    long value;
    std::unique_ptr<Node> next;
  };
  void InsertBehind(Node* before, int beforeIndex, std::unique_ptr<Node> node);
  void Unlink(Node* before, Node* node);
  void CopyFrom(const CMyList& other);

  std::unique_ptr<Node> first_;
  Node* last_ = nullptr;
  Node* cursor_ = nullptr;
  int cursorIndex_ = 0;
  int count_ = 0;
};
