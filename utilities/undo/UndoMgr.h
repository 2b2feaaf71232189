// An undo and redo history of CUndoAtom changes, grouped into undo sets that
// are undone and redone as a whole, with tracking of whether the document
// differs from its last saved state.
//
// The history keeps at most a maximum of atoms; when it grows past that, the
// oldest whole sets leave it, never part of a set and never the set being
// built. When the saved state itself leaves the history (trimmed, or cut off
// as the redo part by a new change), no position reaches it any more and the
// document stays dirty until the next save or clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "utilities/undo/UndoAtom.h"

class CUndoMgr {
 public:
  using TDirtyCallback = void (*)(int dirty, unsigned long user);

  CUndoMgr() : CUndoMgr(400) {}
  explicit CUndoMgr(int maxNodes);
  ~CUndoMgr();
  CUndoMgr(const CUndoMgr&) = delete;
  CUndoMgr& operator=(const CUndoMgr&) = delete;

  // Adds a clone of atom; nothing while new undos are disabled.
  void AddUndoNode(CUndoAtom& atom);
  // Adds the atom itself, which the manager then owns; while new undos are
  // disabled it is not taken and stays the caller's.
  void AddUndoNode(CUndoAtom* atom);

  // Atoms added after this form a new set.
  void NextUndoSet() { ++currentId_; }
  int CurrentUndoID() const { return currentId_; }

  int CanUndo() const;
  int CanRedo() const;
  // Undoes or redoes the whole set at the current position; nothing when
  // there is nothing to undo or redo.
  void Undo();
  void Redo();
  void GetCurrentUndoText(char* out, unsigned size);
  void GetCurrentRedoText(char* out, unsigned size);

  void ClearUndoHistory();
  void OnSave();
  int Dirty() const { return dirty_; }
  void SetDirty(int dirty);
  void SetDirtyStatusCallback(TDirtyCallback callback, unsigned long user);

  void DisableNewUndos() { ++disableCount_; }
  void EnableNewUndos() { --disableCount_; }
  int GetDisableUndoCount() const { return disableCount_; }
  int CanAddUndoNodes() const { return disableCount_ == 0; }

 private:
  // Positions count the applied atoms: 0 is the base, before every atom.
  static constexpr ptrdiff_t kNoPosition = -1;

  void Append(std::unique_ptr<CUndoAtom> atom);
  void TrimOldestSets();
  void UpdateDirtyFromPosition();

  std::deque<std::unique_ptr<CUndoAtom>> history_;
  int currentId_ = 0;
  int maxNodes_;
  ptrdiff_t current_ = 0;
  ptrdiff_t saved_ = 0;  // kNoPosition once the saved state left the history
  int dirty_ = 0;
  TDirtyCallback callback_ = nullptr;
  unsigned long user_ = 0;
  int disableCount_ = 0;
};
