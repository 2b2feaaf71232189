#include <gtest/gtest.h>

#include <vector>

#include "engine/media/MyArrayList.h"
#include "engine/media/MyList.h"

namespace {

int a, b, c, d, e;

template <class List>
std::vector<void*> Items(List& list) {
  std::vector<void*> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Index(i));
  return out;
}

template <class List>
void CheckSortedInsertion() {
  List list;
  list.AddSorted(&a, 10);
  list.AddSorted(&b, 30);
  list.AddSorted(&c, 20);
  EXPECT_EQ(list.AddSorted(&d, 20), 1);  // before the equal value
  EXPECT_EQ(list.AddSorted(&e, 30), 4);  // behind the equal last value
  EXPECT_EQ(Items(list), (std::vector<void*>{&a, &d, &c, &b, &e}));
  long value = 0;
  EXPECT_EQ(list.Index(3, &value), &b);
  EXPECT_EQ(value, 30);
  EXPECT_EQ(list.Index(5), nullptr);
  list.Remove(&c);
  EXPECT_EQ(Items(list), (std::vector<void*>{&a, &d, &b, &e}));
  EXPECT_EQ(list.Member(&c), 0);
  EXPECT_EQ(list.Member(&e), 1);
  list.RemoveByIndex(0);
  EXPECT_EQ(list.Index(0), &d);
  list.RemoveAll();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Index(0), nullptr);
}

TEST(Lists, SortedInsertionKeepsOrderAndPutsNewEqualsFirst) {
  CheckSortedInsertion<CMyList>();
  CheckSortedInsertion<CMyArrayList>();
}

TEST(Lists, ArrayLookupBySortValue) {
  CMyArrayList list;
  list.AppendToTail(&a, 0);
  list.AppendToTail(&b, 100);
  list.AppendToTail(&c, 200);
  int index = -1;
  long found = -1;
  list.ElemBySortValue(50, &index, &found);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(found, 0);
  list.ElemBySortValue(100, &index, nullptr);
  EXPECT_EQ(index, 1);
  list.ElemBySortValue(250, &index, nullptr);
  EXPECT_EQ(index, 2);
  list.ElemBySortValue(-5, &index, nullptr);
  EXPECT_EQ(index, 0);
  // Two entries follow the same at-or-before rule as longer lists.
  CMyArrayList two;
  two.AppendToTail(&a, 0);
  two.AppendToTail(&b, 100);
  two.ElemBySortValue(50, &index, nullptr);
  EXPECT_EQ(index, 0);
  two.ElemBySortValue(100, &index, nullptr);
  EXPECT_EQ(index, 1);
}

TEST(Lists, LinkedLookupBySortValue) {
  CMyList list;
  list.AppendToTail(&a, 0);
  list.AppendToTail(&b, 100);
  list.AppendToTail(&c, 200);
  int index = -1;
  list.ElemBySortValue(100, &index, nullptr);
  EXPECT_EQ(index, 0);  // an equal value is not taken
  list.ElemBySortValue(150, &index, nullptr);
  EXPECT_EQ(index, 1);
  list.ElemBySortValue(-5, &index, nullptr);
  EXPECT_EQ(index, 0);
}

TEST(Lists, ArrayCapacityMovesInStepsOfTen) {
  CMyArrayList list;
  std::vector<int> items(11);
  for (int i = 0; i < 11; ++i) list.AppendToTail(&items[i], i);
  EXPECT_EQ(list.Capacity(), 20);
  list.RemoveByIndex(3);
  EXPECT_EQ(list.Capacity(), 10);
  EXPECT_EQ(list.Index(3), &items[4]);
  for (int i = 0; i < 10; ++i) list.RemoveByIndex(0);
  EXPECT_EQ(list.Capacity(), 0);
  list.AppendToTail(&a, 1);
  list.ScaleAllSortValues(2.6);
  list.AdjustAllSortValues(-1);
  long value = 0;
  list.Index(0, &value);
  EXPECT_EQ(value, 1);
}

TEST(Lists, CursorSurvivesEditsAndCopiesAreIndependent) {
  CMyList list;
  std::vector<int> items(5);
  for (int i = 0; i < 5; ++i) list.AppendToTail(&items[i], i);
  EXPECT_EQ(list.Index(3), &items[3]);
  list.InsertNewHead(&a, -1);
  EXPECT_EQ(list.Index(4), &items[3]);
  EXPECT_EQ(list.InsertAfter(&b, 1), 2);
  EXPECT_EQ(Items(list),
            (std::vector<void*>{&a, &items[0], &b, &items[1], &items[2], &items[3], &items[4]}));
  list.Remove(&items[4]);
  EXPECT_EQ(list.Index(5), &items[3]);
  EXPECT_EQ(list.AppendToTail(&c, 9), 6);

  CMyList copy;
  copy = list;
  list.RemoveAll();
  EXPECT_EQ(copy.Count(), 7);
  EXPECT_EQ(copy.Index(6), &c);
  CMyArrayList array;
  array.AppendToTail(&a, 1);
  CMyArrayList arrayCopy(array);
  array.RemoveAll();
  EXPECT_EQ(arrayCopy.Index(0), &a);
}

}  // namespace
