#include "engine/media/MyList.h"

CMyList::CMyList(const CMyList& other) { CopyFrom(other); }

// Assignment copies the entries: two lists sharing nodes could not both free them.
CMyList& CMyList::operator=(const CMyList& other) {
  if (this != &other) {
    RemoveAll();
    CopyFrom(other);
  }
  return *this;
}

CMyList::~CMyList() { RemoveAll(); }

void CMyList::CopyFrom(const CMyList& other) {
  for (Node* n = other.first_; n; n = n->next) AppendToTail(n->item, n->value);
}

int CMyList::InsertNewHead(void* item, long value) {
  Node* node = new Node{item, value, first_};
  first_ = node;
  if (!last_) last_ = node;
  ++count_;
  if (cursor_) ++cursorIndex_;  // the cursor stays on the same node
  return 0;
}

int CMyList::AppendToTail(void* item, long value) {
  Node* node = new Node{item, value, nullptr};
  if (last_)
    last_->next = node;
  else
    first_ = node;
  last_ = node;
  return ++count_ - 1;
}

// Links node behind `before` (at position beforeIndex); before is never null.
void CMyList::InsertBehind(Node* before, int beforeIndex, Node* node) {
  node->next = before->next;
  before->next = node;
  if (last_ == before) last_ = node;
  ++count_;
  if (cursor_ && cursorIndex_ > beforeIndex) ++cursorIndex_;
}

int CMyList::AddSorted(void* item, long value) {
  if (!first_ || first_->value >= value) return InsertNewHead(item, value);
  if (value >= last_->value) return AppendToTail(item, value);
  // Behind the last entry whose value is below `value`, so before equal values.
  Node* before = first_;
  int index = 0;
  while (before->next && before->next->value < value) {
    before = before->next;
    ++index;
  }
  InsertBehind(before, index, new Node{item, value, nullptr});
  return index + 1;
}

int CMyList::InsertAfter(void* item, int i) {
  if (!first_) {
    AppendToTail(item, 0);
    return 0;
  }
  if (i >= count_ - 1) return AppendToTail(item, 0);
  if (i < 0) i = 0;
  Index(i);
  InsertBehind(cursor_, i, new Node{item, 0, nullptr});
  return i + 1;
}

void CMyList::Unlink(Node* before, Node* node) {
  if (before)
    before->next = node->next;
  else
    first_ = node->next;
  if (last_ == node) last_ = before;
  delete node;
  --count_;
}

void CMyList::Remove(void* item) {
  Node* before = nullptr;
  int index = 0;
  for (Node* n = first_; n; before = n, n = n->next, ++index) {
    if (n->item == item) {
      Unlink(before, n);
      // The cursor rests on the node before the one removed.
      cursor_ = before;
      cursorIndex_ = before ? index - 1 : 0;
      return;
    }
  }
}

void CMyList::RemoveByIndex(int i) {
  if (i < 0 || i >= count_) return;
  Node* before = nullptr;
  if (i > 0) {
    Index(i - 1);
    before = cursor_;
  }
  Unlink(before, before ? before->next : first_);
  cursor_ = before;
  cursorIndex_ = before ? i - 1 : 0;
}

void CMyList::RemoveAll() {
  Node* n = first_;
  while (n) {
    Node* next = n->next;
    delete n;
    n = next;
  }
  first_ = last_ = cursor_ = nullptr;
  cursorIndex_ = count_ = 0;
}

int CMyList::Member(void* item) {
  Node* before = nullptr;
  int index = 0;
  for (Node* n = first_; n; before = n, n = n->next, ++index) {
    if (n->item == item) {
      cursor_ = before;
      cursorIndex_ = before ? index - 1 : 0;
      return 1;
    }
  }
  return 0;
}

void* CMyList::Index(int i, long* value) {
  if (i >= count_ || !first_) return nullptr;
  if (i < 0) i = 0;
  Node* n = first_;
  int at = 0;
  if (cursor_ && i >= cursorIndex_) {
    n = cursor_;
    at = cursorIndex_;
  }
  while (at < i) {
    n = n->next;
    ++at;
  }
  cursor_ = n;
  cursorIndex_ = at;
  if (value) *value = n->value;
  return n->item;
}

void* CMyList::ElemBySortValue(long value, int* index, long* foundValue) {
  if (!first_) return nullptr;
  Node* found = first_;
  int at = 0;
  if (first_->value < value) {
    for (Node* n = first_; n->next && n->next->value < value; n = n->next) {
      found = n->next;
      ++at;
    }
  }
  cursor_ = found;
  cursorIndex_ = at;
  if (index) *index = at;
  if (foundValue) *foundValue = found->value;
  return found->item;
}
