#include <gtest/gtest.h>

#include <string>

#include "platform/data/MemObj.h"

TEST(MemObj, GrowsOnWriteAndReadsBack) {
  CMemObj m;
  EXPECT_FALSE(m.IsOpen());
  EXPECT_EQ(m.Size(), -1);
  EXPECT_EQ(m.Write("x", 1), 0);
  ASSERT_TRUE(m.Create());
  EXPECT_EQ(m.Type(), kRefObjMemory);
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Write("hello", 5), 5);
  ASSERT_TRUE(m.Seek(3, kSeekEnd));
  EXPECT_EQ(m.Write("!", 1), 1);
  EXPECT_EQ(m.Size(), 9);
  ASSERT_TRUE(m.Seek(0, kSeekBegin));
  char b[16];
  EXPECT_EQ(m.Read(b, 16), 9);
  EXPECT_EQ(std::string(b, 9), std::string("hello\0\0\0!", 9));
  EXPECT_EQ(m.Read(b, 16), 0);
  EXPECT_FALSE(m.Seek(-10, kSeekCurrent));
}

TEST(MemObj, CopiesShareBytesWithOwnPositionAndWindow) {
  CMemObj m;
  ASSERT_TRUE(m.Create("0123456789", 10));
  ASSERT_TRUE(m.SetDataOffsets(2, 6));
  CRefObj* copy = m.Copy();
  ASSERT_NE(copy, nullptr);
  ASSERT_TRUE(copy->SeekToData(0));
  char b[8];
  EXPECT_EQ(copy->ReadData(b, 8), 4);
  EXPECT_EQ(std::string(b, 4), "2345");
  EXPECT_EQ(m.Tell(), 0);
  // A write through one is seen by the other; the bytes outlive the original.
  ASSERT_TRUE(m.Seek(3, kSeekBegin));
  EXPECT_EQ(m.WriteData("ABCDEF", 6), 3);  // stops at the window end
  m.Close();
  ASSERT_TRUE(copy->Seek(0, kSeekBegin));
  EXPECT_EQ(copy->Read(b, 8), 8);
  EXPECT_EQ(std::string(b, 8), "012ABC67");
  DeleteRefObject(&copy);
}
