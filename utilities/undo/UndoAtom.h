// One change that an editing application can undo and redo. The application
// derives its own atoms and hands them to a CUndoMgr, which owns them from
// then on and deletes them through the virtual destructor.
#pragma once

#include <cstdint>

class CUndoAtom {
 public:
  virtual ~CUndoAtom() = default;
  // A new heap copy of this atom.
  virtual CUndoAtom* Clone() = 0;
  // 0 undoes the change, 1 redoes it.
  virtual void Apply(int redo) = 0;
  // A short description for menus, NUL-terminated within size bytes.
  virtual void GetText(char* out, unsigned size) = 0;

  // The undo set the atom belongs to; written by the manager.
  int32_t UndoID() const { return undoId_; }
  void SetUndoID(int32_t id) { undoId_ = id; }

 private:
  int32_t undoId_ = 0;
};
