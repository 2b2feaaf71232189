#include "utilities/undo/UndoMgr.h"

#include <utility>

namespace {

// Raises the disable count while an undo or redo runs, so that atoms the
// application adds while applying a change are ignored.
class TDisabled {
 public:
  explicit TDisabled(CUndoMgr& mgr) : mgr_(mgr) { mgr_.DisableNewUndos(); }
  ~TDisabled() { mgr_.EnableNewUndos(); }
  TDisabled(const TDisabled&) = delete;
  TDisabled& operator=(const TDisabled&) = delete;

 private:
  CUndoMgr& mgr_;
};

}  // namespace

CUndoMgr::CUndoMgr(int maxNodes) : maxNodes_(maxNodes) {}

CUndoMgr::~CUndoMgr() = default;

void CUndoMgr::AddUndoNode(CUndoAtom& atom) {
  if (!CanAddUndoNodes()) return;
  std::unique_ptr<CUndoAtom> copy(atom.Clone());
  if (copy) Append(std::move(copy));
}

void CUndoMgr::AddUndoNode(CUndoAtom* atom) {
  if (!CanAddUndoNodes() || atom == nullptr) return;
  Append(std::unique_ptr<CUndoAtom>(atom));
}

void CUndoMgr::Append(std::unique_ptr<CUndoAtom> atom) {
  atom->SetUndoID(currentId_);
  // The redo part goes; a saved state inside it can't be reached any more.
  history_.erase(history_.begin() + current_, history_.end());
  if (saved_ > current_) saved_ = kNoPosition;
  history_.push_back(std::move(atom));
  current_ = static_cast<ptrdiff_t>(history_.size());
  TrimOldestSets();
  SetDirty(1);
}

void CUndoMgr::TrimOldestSets() {
  while (history_.size() > static_cast<size_t>(maxNodes_ < 0 ? 0 : maxNodes_)) {
    int32_t oldest = history_.front()->UndoID();
    if (oldest == history_.back()->UndoID()) return;
    ptrdiff_t removed = 0;
    while (!history_.empty() && history_.front()->UndoID() == oldest) {
      history_.pop_front();
      ++removed;
    }
    current_ -= removed;
    // The state after the removed atoms is now the base; one before them is gone.
    if (saved_ != kNoPosition) saved_ = saved_ >= removed ? saved_ - removed : kNoPosition;
  }
}

int CUndoMgr::CanUndo() const { return !history_.empty() && current_ > 0; }

int CUndoMgr::CanRedo() const {
  return !history_.empty() && current_ < static_cast<ptrdiff_t>(history_.size());
}

void CUndoMgr::Undo() {
  if (!CanUndo()) return;
  TDisabled disabled(*this);
  int32_t set = history_[current_ - 1]->UndoID();
  do {
    history_[current_ - 1]->Apply(0);
    --current_;
  } while (current_ > 0 && history_[current_ - 1]->UndoID() == set);
  UpdateDirtyFromPosition();
}

void CUndoMgr::Redo() {
  if (!CanRedo()) return;
  TDisabled disabled(*this);
  const ptrdiff_t end = static_cast<ptrdiff_t>(history_.size());
  int32_t set = history_[current_]->UndoID();
  do {
    history_[current_]->Apply(1);
    ++current_;
  } while (current_ < end && history_[current_]->UndoID() == set);
  UpdateDirtyFromPosition();
}

void CUndoMgr::GetCurrentUndoText(char* out, unsigned size) {
  if (out != nullptr && CanUndo()) history_[current_ - 1]->GetText(out, size);
}

void CUndoMgr::GetCurrentRedoText(char* out, unsigned size) {
  if (out != nullptr && CanRedo()) history_[current_]->GetText(out, size);
}

void CUndoMgr::ClearUndoHistory() {
  if (history_.empty()) return;
  history_.clear();
  current_ = saved_ = 0;
  SetDirty(0);
}

void CUndoMgr::OnSave() {
  saved_ = current_;
  SetDirty(0);
}

void CUndoMgr::SetDirty(int dirty) {
  if (dirty == dirty_) return;
  dirty_ = dirty;
  if (callback_ != nullptr) callback_(dirty_, user_);
}

void CUndoMgr::SetDirtyStatusCallback(TDirtyCallback callback, unsigned long user) {
  callback_ = callback;
  user_ = user;
}

void CUndoMgr::UpdateDirtyFromPosition() { SetDirty(current_ != saved_ ? 1 : 0); }
