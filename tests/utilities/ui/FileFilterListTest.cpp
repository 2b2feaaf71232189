// The standard dialogs' filter lists as name filters.
#include <gtest/gtest.h>

#include "utilities/ui/FileFilterList.h"

namespace {

TEST(FileFilterList, PairsOfDescriptionAndPatterns) {
  const char list[] = "Sound\0*.wav;*.mp3\0All files\0*.*\0";
  std::vector<TFileFilter> filters = ParseFilterList(list);
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(NameFilterText(filters[0]), "Sound (*.wav *.mp3)");
  EXPECT_EQ(NameFilterText(filters[1]), "All files (*)");
}

TEST(FileFilterList, IncompleteAndEmptyLists) {
  EXPECT_TRUE(ParseFilterList(nullptr).empty());
  EXPECT_TRUE(ParseFilterList("").empty());
  const char dangling[] = "Sound\0*.wav\0Lonely\0";
  std::vector<TFileFilter> filters = ParseFilterList(dangling);
  ASSERT_EQ(filters.size(), 1u);
  EXPECT_EQ(filters[0].patterns, std::vector<std::string>{"*.wav"});
  // Empty patterns between separators are dropped.
  const char doubled[] = "WAV\0;*.wav;;\0";
  EXPECT_EQ(NameFilterText(ParseFilterList(doubled).at(0)), "WAV (*.wav)");
}

}  // namespace
