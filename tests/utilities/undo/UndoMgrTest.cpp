#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "utilities/undo/UndoMgr.h"

namespace {

// An atom that records its applications in a shared log and counts clones
// and deletions, so tests see what the manager did with it.
struct TJournal {
  std::vector<std::string> applied;
  int clones = 0;
  int deleted = 0;
};

class TLoggedAtom : public CUndoAtom {
 public:
  TLoggedAtom(TJournal& journal, std::string name) : journal_(journal), name_(std::move(name)) {}
  ~TLoggedAtom() override { ++journal_.deleted; }
  CUndoAtom* Clone() override {
    ++journal_.clones;
    return new TLoggedAtom(journal_, name_);
  }
  void Apply(int redo) override { journal_.applied.push_back((redo ? "+" : "-") + name_); }
  void GetText(char* out, unsigned size) override { std::snprintf(out, size, "%s", name_.c_str()); }

 private:
  TJournal& journal_;
  std::string name_;
};

struct TDirtyLog {
  std::vector<int> values;
  static void Record(int dirty, unsigned long user) {
    reinterpret_cast<TDirtyLog*>(user)->values.push_back(dirty);
  }
};

void AddSet(CUndoMgr& mgr, TJournal& journal, std::vector<std::string> names) {
  for (const std::string& name : names) mgr.AddUndoNode(new TLoggedAtom(journal, name));
  mgr.NextUndoSet();
}

std::string UndoText(CUndoMgr& mgr) {
  char text[32] = "";
  mgr.GetCurrentUndoText(text, sizeof text);
  return text;
}

std::string RedoText(CUndoMgr& mgr) {
  char text[32] = "";
  mgr.GetCurrentRedoText(text, sizeof text);
  return text;
}

}  // namespace

TEST(UndoMgr, UndoesAndRedoesWholeSetsNewestFirst) {
  TJournal journal;
  CUndoMgr mgr;
  EXPECT_FALSE(mgr.CanUndo());
  EXPECT_FALSE(mgr.CanRedo());
  AddSet(mgr, journal, {"a1", "a2", "a3"});
  AddSet(mgr, journal, {"b1", "b2"});
  EXPECT_EQ(UndoText(mgr), "b2");

  mgr.Undo();
  EXPECT_EQ(journal.applied, (std::vector<std::string>{"-b2", "-b1"}));
  EXPECT_EQ(UndoText(mgr), "a3");
  EXPECT_EQ(RedoText(mgr), "b1");
  mgr.Undo();
  EXPECT_EQ(journal.applied, (std::vector<std::string>{"-b2", "-b1", "-a3", "-a2", "-a1"}));
  EXPECT_FALSE(mgr.CanUndo());
  EXPECT_TRUE(mgr.CanRedo());
  mgr.Undo();  // nothing left: no effect
  EXPECT_EQ(journal.applied.size(), 5u);

  journal.applied.clear();
  mgr.Redo();
  EXPECT_EQ(journal.applied, (std::vector<std::string>{"+a1", "+a2", "+a3"}));
  mgr.Redo();
  EXPECT_EQ(journal.applied, (std::vector<std::string>{"+a1", "+a2", "+a3", "+b1", "+b2"}));
  EXPECT_FALSE(mgr.CanRedo());
  mgr.Redo();
  EXPECT_EQ(journal.applied.size(), 5u);
}

TEST(UndoMgr, NewChangeDiscardsTheRedoPart) {
  TJournal journal;
  {
    CUndoMgr mgr;
    AddSet(mgr, journal, {"a"});
    AddSet(mgr, journal, {"b1", "b2"});
    mgr.Undo();
    EXPECT_TRUE(mgr.CanRedo());
    AddSet(mgr, journal, {"c"});
    EXPECT_FALSE(mgr.CanRedo());
    EXPECT_EQ(journal.deleted, 2);
    mgr.Undo();
    EXPECT_EQ(journal.applied.back(), "-c");
    mgr.Undo();
    EXPECT_EQ(journal.applied.back(), "-a");
  }
  EXPECT_EQ(journal.deleted, 4);  // the rest went with the manager
}

TEST(UndoMgr, TrimsWholeOldestSetsButNeverTheCurrentOne) {
  TJournal journal;
  CUndoMgr mgr(4);
  AddSet(mgr, journal, {"a1", "a2"});
  AddSet(mgr, journal, {"b1", "b2"});
  EXPECT_EQ(journal.deleted, 0);
  AddSet(mgr, journal, {"c"});
  EXPECT_EQ(journal.deleted, 2);
  mgr.Undo();
  mgr.Undo();
  EXPECT_FALSE(mgr.CanUndo());
  EXPECT_EQ(journal.applied, (std::vector<std::string>{"-c", "-b2", "-b1"}));

  // One set longer than the maximum stays whole while it is being built.
  CUndoMgr small(2);
  TJournal big;
  for (int i = 0; i < 5; ++i) small.AddUndoNode(new TLoggedAtom(big, "x"));
  EXPECT_EQ(big.deleted, 0);
  small.Undo();
  EXPECT_EQ(big.applied.size(), 5u);
  EXPECT_FALSE(small.CanUndo());
}

TEST(UndoMgr, DirtyFollowsTheSavedPositionThroughTheCallback) {
  TJournal journal;
  TDirtyLog log;
  CUndoMgr mgr;
  mgr.SetDirtyStatusCallback(&TDirtyLog::Record, reinterpret_cast<unsigned long>(&log));
  AddSet(mgr, journal, {"a"});
  EXPECT_EQ(mgr.Dirty(), 1);
  mgr.OnSave();
  EXPECT_EQ(mgr.Dirty(), 0);
  AddSet(mgr, journal, {"b"});
  AddSet(mgr, journal, {"c"});  // already dirty: no second call
  mgr.Undo();
  EXPECT_EQ(mgr.Dirty(), 1);
  mgr.Undo();  // back at the save
  EXPECT_EQ(mgr.Dirty(), 0);
  mgr.Undo();  // before the save
  EXPECT_EQ(mgr.Dirty(), 1);
  mgr.Redo();
  EXPECT_EQ(mgr.Dirty(), 0);
  mgr.Redo();
  EXPECT_EQ(mgr.Dirty(), 1);
  EXPECT_EQ(log.values, (std::vector<int>{1, 0, 1, 0, 1, 0, 1}));

  mgr.SetDirty(0);
  mgr.ClearUndoHistory();
  EXPECT_FALSE(mgr.CanUndo());
  EXPECT_EQ(mgr.Dirty(), 0);
  EXPECT_EQ(journal.deleted, 3);
}

TEST(UndoMgr, SavedStateThatLeftTheHistoryStaysDirty) {
  TJournal journal;
  CUndoMgr mgr;
  AddSet(mgr, journal, {"a"});
  AddSet(mgr, journal, {"b"});
  mgr.OnSave();
  mgr.Undo();
  AddSet(mgr, journal, {"c"});  // cuts off the saved state
  mgr.Undo();
  mgr.Undo();
  EXPECT_EQ(mgr.Dirty(), 1);
  mgr.Redo();
  EXPECT_EQ(mgr.Dirty(), 1);
  mgr.OnSave();
  EXPECT_EQ(mgr.Dirty(), 0);

  // Saved at the base, then the set before it was trimmed: the base no longer
  // is that state.
  CUndoMgr small(2);
  AddSet(small, journal, {"a"});
  small.OnSave();
  AddSet(small, journal, {"b"});
  AddSet(small, journal, {"c"});  // trims set "a"; the save was after it
  small.Undo();
  small.Undo();
  EXPECT_EQ(small.Dirty(), 0);

  // Saved with nothing applied, then the first set was trimmed: undoing
  // everything left no longer gives the saved document.
  CUndoMgr fresh(2);
  fresh.OnSave();
  AddSet(fresh, journal, {"a"});
  AddSet(fresh, journal, {"b"});
  AddSet(fresh, journal, {"c"});
  fresh.Undo();
  fresh.Undo();
  EXPECT_FALSE(fresh.CanUndo());
  EXPECT_EQ(fresh.Dirty(), 1);
}

TEST(UndoMgr, DisabledManagerTakesNothing) {
  TJournal journal;
  CUndoMgr mgr;
  TLoggedAtom atom(journal, "a");
  mgr.DisableNewUndos();
  mgr.DisableNewUndos();
  EXPECT_EQ(mgr.GetDisableUndoCount(), 2);
  EXPECT_FALSE(mgr.CanAddUndoNodes());
  mgr.AddUndoNode(atom);
  EXPECT_EQ(journal.clones, 0);
  auto* loose = new TLoggedAtom(journal, "b");
  mgr.AddUndoNode(loose);
  EXPECT_FALSE(mgr.CanUndo());
  delete loose;  // still the caller's
  mgr.EnableNewUndos();
  mgr.EnableNewUndos();
  mgr.AddUndoNode(atom);
  EXPECT_EQ(journal.clones, 1);
  EXPECT_TRUE(mgr.CanUndo());
}

// Atoms the application adds while a change is undone are ignored.
TEST(UndoMgr, AtomsAddedDuringUndoAreIgnored) {
  struct TReentrant : CUndoAtom {
    CUndoMgr* mgr = nullptr;
    TJournal* journal = nullptr;
    CUndoAtom* Clone() override { return new TReentrant(*this); }
    void Apply(int) override {
      TLoggedAtom stray(*journal, "stray");
      mgr->AddUndoNode(stray);
    }
    void GetText(char* out, unsigned size) override { std::snprintf(out, size, "r"); }
  };
  TJournal journal;
  CUndoMgr mgr;
  auto* atom = new TReentrant;
  atom->mgr = &mgr;
  atom->journal = &journal;
  mgr.AddUndoNode(atom);
  mgr.Undo();
  EXPECT_EQ(journal.clones, 0);  // the stray atom was not taken
  EXPECT_TRUE(mgr.CanRedo());
  EXPECT_EQ(mgr.GetDisableUndoCount(), 0);
}
