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
  for (const Node* n = other.first_.get(); n; n = n->next.get()) AppendToTail(n->item, n->value);
}

int CMyList::InsertNewHead(void* item, long value) {
  first_ = std::unique_ptr<Node>(new Node{item, value, std::move(first_)});
  if (!last_) last_ = first_.get();
  ++count_;
  if (cursor_) ++cursorIndex_;  // the cursor stays on the same node
  return 0;
}

int CMyList::AppendToTail(void* item, long value) {
  auto node = std::unique_ptr<Node>(new Node{item, value, nullptr});
  Node* added = node.get();
  if (last_)
    last_->next = std::move(node);
  else
    first_ = std::move(node);
  last_ = added;
  return ++count_ - 1;
}

// Links node behind `before` (at position beforeIndex); before is never null.
void CMyList::InsertBehind(Node* before, int beforeIndex, std::unique_ptr<Node> node) {
  node->next = std::move(before->next);
  before->next = std::move(node);
  if (last_ == before) last_ = before->next.get();
  ++count_;
  if (cursor_ && cursorIndex_ > beforeIndex) ++cursorIndex_;
}

int CMyList::AddSorted(void* item, long value) {
  if (!first_ || first_->value >= value) return InsertNewHead(item, value);
  if (value >= last_->value) return AppendToTail(item, value);
  // Behind the last entry whose value is below `value`, so before equal values.
  Node* before = first_.get();
  int index = 0;
  while (before->next && before->next->value < value) {
    before = before->next.get();
    ++index;
  }
  InsertBehind(before, index, std::unique_ptr<Node>(new Node{item, value, nullptr}));
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
  InsertBehind(cursor_, i, std::unique_ptr<Node>(new Node{item, 0, nullptr}));
  return i + 1;
}

// Unlinks and deletes node, which follows before (or is the first node).
void CMyList::Unlink(Node* before, Node* node) {
  std::unique_ptr<Node>& link = before ? before->next : first_;
  std::unique_ptr<Node> gone = std::move(link);
  link = std::move(node->next);
  if (last_ == node) last_ = before;
  --count_;
}

void CMyList::Remove(void* item) {
  Node* before = nullptr;
  int index = 0;
  for (Node* n = first_.get(); n; before = n, n = n->next.get(), ++index) {
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
  Unlink(before, before ? before->next.get() : first_.get());
  cursor_ = before;
  cursorIndex_ = before ? i - 1 : 0;
}

void CMyList::RemoveAll() {
  // One node at a time: a long chain is never destroyed recursively.
  while (first_) first_ = std::move(first_->next);
  last_ = cursor_ = nullptr;
  cursorIndex_ = count_ = 0;
}

int CMyList::Member(void* item) {
  Node* before = nullptr;
  int index = 0;
  for (Node* n = first_.get(); n; before = n, n = n->next.get(), ++index) {
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
  Node* n = first_.get();
  int at = 0;
  if (cursor_ && i >= cursorIndex_) {
    n = cursor_;
    at = cursorIndex_;
  }
  while (at < i) {
    n = n->next.get();
    ++at;
  }
  cursor_ = n;
  cursorIndex_ = at;
  if (value) *value = n->value;
  return n->item;
}

void* CMyList::ElemBySortValue(long value, int* index, long* foundValue) {
  if (!first_) return nullptr;
  Node* found = first_.get();
  int at = 0;
  if (first_->value < value) {
    for (Node* n = first_.get(); n->next && n->next->value < value; n = n->next.get()) {
      found = n->next.get();
      ++at;
    }
  }
  cursor_ = found;
  cursorIndex_ = at;
  if (index) *index = at;
  if (foundValue) *foundValue = found->value;
  return found->item;
}
