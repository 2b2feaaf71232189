#include "platform/registry/RegBatch.h"

#include "platform/registry/RegStore.h"

CRegBatch::CRegBatch(TRegRoot root) {
  CRegStore* store = CRegStore::Get(root);
  if (store != nullptr && store->BeginBatch()) store_ = store;
}

CRegBatch::~CRegBatch() { End(); }

int CRegBatch::End() {
  if (store_ == nullptr) return 0;
  int ok = store_->EndBatch();
  store_ = nullptr;
  return ok;
}
