#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "utilities/data/ByteQueue.h"

namespace {

std::vector<unsigned char> Counting(size_t n, unsigned start = 0) {
  std::vector<unsigned char> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(start + i);
  return v;
}

}  // namespace

TEST(ByteQueue, HandsBytesOutInOrderAcrossBlocks) {
  CByteQueue q;
  unsigned char out[64];
  EXPECT_EQ(q.GetData(out, sizeof out), 0u);
  EXPECT_FALSE(q.AddData(nullptr, 5));
  auto a = Counting(10), b = Counting(20, 10);
  EXPECT_FALSE(q.AddData(a.data(), 0));
  ASSERT_TRUE(q.AddData(a.data(), 10));
  ASSERT_TRUE(q.AddData(b.data(), 20));
  ASSERT_EQ(q.GetData(out, 25), 25u);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(out[i], i);
  EXPECT_EQ(q.TotalBytesAvailable(), 5u);
  EXPECT_EQ(q.GetData(nullptr, 5), 0u);
  EXPECT_EQ(q.GetData(out, 0), 0u);
  ASSERT_EQ(q.GetData(out, 64), 5u);
  EXPECT_EQ(out[4], 29);
  // Small blocks are freed once read.
  EXPECT_EQ(q.BlockCount(), 0u);
}

TEST(ByteQueue, RecyclesBlocksWithinTheLimits) {
  CByteQueue q;
  auto big = Counting(40000);
  ASSERT_TRUE(q.AddData(big.data(), big.size()));
  std::vector<unsigned char> out(60000);
  ASSERT_EQ(q.GetData(out.data(), 40000), 40000u);
  EXPECT_EQ(q.BlockCount(), 1u);  // kept for the next delivery
  auto next = Counting(50000, 7);
  ASSERT_TRUE(q.AddData(next.data(), next.size()));
  EXPECT_EQ(q.TotalBytesAvailable(), 50000u);
  EXPECT_EQ(q.BlockCount(), 2u);  // 40000 in the recycled block, 10000 in a new one
  ASSERT_EQ(q.GetData(out.data(), 60000), 50000u);
  EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 50000), next);
  // Steady deliveries of one recycled size need no new blocks.
  for (int round = 0; round < 5; ++round) {
    ASSERT_TRUE(q.AddData(big.data(), 40000));
    ASSERT_EQ(q.GetData(out.data(), 40000), 40000u);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 40000), big);
  }
  EXPECT_LE(q.BlockCount(), 2u);

  // Switching recycling off works only on a queue without blocks.
  q.SetRecycleBuffers(false);
  EXPECT_TRUE(q.RecycleBuffers());
  q.RemoveEverything();
  q.SetRecycleBuffers(false);
  EXPECT_FALSE(q.RecycleBuffers());
  ASSERT_TRUE(q.AddData(big.data(), 40000));
  ASSERT_EQ(q.GetData(out.data(), 40000), 40000u);
  EXPECT_EQ(q.BlockCount(), 0u);
  // The limits stay fixed.
  q.SetMinRecycleBufferSize(10);
  EXPECT_EQ(q.MinRecycleBufferSize(), 32000u);
  EXPECT_EQ(q.MaxRecycleBufferSize(), 1000000u);
}

TEST(ByteQueue, CopiesHoldOnlyTheUnreadBytes) {
  CByteQueue q;
  auto a = Counting(40000);
  ASSERT_TRUE(q.AddData(a.data(), a.size()));
  unsigned char out[100];
  ASSERT_EQ(q.GetData(out, 100), 100u);
  CByteQueue copy(q);
  EXPECT_EQ(copy.TotalBytesAvailable(), 39900u);
  copy = copy;
  EXPECT_EQ(copy.TotalBytesAvailable(), 39900u);
  ASSERT_EQ(copy.GetData(out, 1), 1u);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(q.TotalBytesAvailable(), 39900u);  // the original is untouched
}

TEST(ByteQueue, OneThreadFillsWhileAnotherDrains) {
  CByteQueue q;
  constexpr size_t kTotal = 3'000'000;
  std::thread producer([&] {
    std::vector<unsigned char> chunk(33000);
    for (size_t sent = 0; sent < kTotal; sent += chunk.size()) {
      for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<unsigned char>(sent + i);
      while (q.TotalBytesAvailable() > 200000) std::this_thread::yield();
      ASSERT_TRUE(q.AddData(chunk.data(), static_cast<unsigned long>(chunk.size())));
    }
  });
  size_t received = 0;
  bool inOrder = true;
  std::vector<unsigned char> out(5000);
  const size_t expected = (kTotal + 32999) / 33000 * 33000;
  while (received < expected) {
    unsigned long n = q.GetData(out.data(), static_cast<unsigned long>(out.size()));
    for (unsigned long i = 0; i < n; ++i)
      inOrder = inOrder && out[i] == static_cast<unsigned char>(received + i);
    received += n;
    if (n == 0) std::this_thread::yield();
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(q.TotalBytesAvailable(), 0u);
}
