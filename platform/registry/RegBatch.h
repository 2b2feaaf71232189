// Groups many changes to one root into a single write of its store, e.g. a
// whole set of preferences saved at exit. While the object lives the store
// is locked against other processes and against other threads of this one;
// the changes this thread makes meanwhile through any CRegKey of that root
// are seen at once by its reads and written when the batch ends. Batches
// nest; only the outermost writes. A process forked during a batch must not
// use the registry (it inherits the held lock but not the thread).
#pragma once

#include "platform/registry/RegRoots.h"

class CRegStore;

class CRegBatch {
 public:
  explicit CRegBatch(TRegRoot root);
  // Ends the batch (see End) when End was not called.
  ~CRegBatch();
  CRegBatch(const CRegBatch&) = delete;
  CRegBatch& operator=(const CRegBatch&) = delete;

  // Whether the batch began; without it each change is written alone.
  int Active() const { return store_ != nullptr; }
  // Writes the changes and lets the store go. 1 or 0 (reason in the last
  // error); on failure the store stays as it was before the batch, although
  // each change returned 1.
  int End();

 private:
  CRegStore* store_ = nullptr;
};
