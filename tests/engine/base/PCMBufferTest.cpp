#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "engine/base/PCMBuffer.h"
#include "platform/data/FileObj.h"
#include "platform/data/MemObj.h"
#include "tests/TestSupport.h"

namespace {

std::vector<uint8_t> Ramp(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return v;
}

// Reads everything the buffer hands out through the protocol its owners use.
std::vector<uint8_t> Drain(CPCMBuffer& buffer, uint32_t chunk) {
  std::vector<uint8_t> out;
  uint64_t left = 0;
  int guard = 0;
  while (buffer.BytesLeftToRead(&left) && !buffer.BufferFinished() && ++guard < 100000) {
    buffer.Fill();
    uint8_t *a, *b;
    uint32_t al, bl;
    buffer.Lock(&a, &al, &b, &bl);
    if (al + bl == 0) break;
    uint32_t take = std::min<uint32_t>(chunk, al + bl);
    take = static_cast<uint32_t>(std::min<uint64_t>(take, left));
    uint32_t fromA = std::min(take, al);
    out.insert(out.end(), a, a + fromA);
    if (take > fromA) out.insert(out.end(), b, b + (take - fromA));
    buffer.UpdateReadOffset(take);
    buffer.Unlock();
  }
  return out;
}

TEST(PCMBuffer, StreamsTheDataWindowInOrderThroughTheRing) {
  auto data = Ramp(10000);
  CMemObj mem;
  ASSERT_TRUE(mem.Create(data.data(), data.size()));
  mem.SetDataOffsets(100, 9100);
  CPCMBuffer buffer;
  ASSERT_EQ(buffer.Init(&mem, 1000, 0, 50), 1);
  ASSERT_EQ(buffer.SetReadVariables(0, 9000), 1);
  auto out = Drain(buffer, 333);
  ASSERT_EQ(out.size(), 9000u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin() + 100));
  EXPECT_TRUE(buffer.BufferFinished());

  // A later start, and the low-activity release in the middle of a read.
  ASSERT_EQ(buffer.SetReadVariables(4000, 2000), 1);
  buffer.Fill();
  uint8_t *a, *b;
  uint32_t al, bl;
  buffer.Lock(&a, &al, &b, &bl);
  buffer.UpdateReadOffset(10);
  buffer.LowActivityMode();
  auto rest = Drain(buffer, 100);
  ASSERT_EQ(rest.size(), 1990u);
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), data.begin() + 100 + 4010));
}

TEST(PCMBuffer, LoadedOnceWrapsAndCopiesShareTheData) {
  auto data = Ramp(1000);
  CMemObj mem;
  ASSERT_TRUE(mem.Create(data.data(), data.size()));
  CPCMBuffer buffer;
  ASSERT_EQ(buffer.Init(&mem, 1000, 1, 50), 1);
  ASSERT_EQ(buffer.SetReadVariables(900, 200), 1);
  uint8_t *a, *b;
  uint32_t al, bl;
  buffer.Lock(&a, &al, &b, &bl);
  EXPECT_EQ(al, 100u);
  EXPECT_EQ(a[0], data[900]);
  buffer.UpdateReadOffset(100);
  buffer.Lock(&a, &al, &b, &bl);
  EXPECT_EQ(a[0], data[0]);
  EXPECT_EQ(al, 1000u);

  CPCMBuffer* copy = buffer.Copy();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->IsLoadedOnce());
  EXPECT_EQ(copy->NewDataInBuffer(), 1000u);
  copy->SetReadVariables(0, 1000);
  auto out = Drain(*copy, 64);
  EXPECT_EQ(out, data);
  delete copy;
  // The original still reads after its copy is gone.
  buffer.SetReadVariables(0, 10);
  EXPECT_EQ(Drain(buffer, 64), std::vector<uint8_t>(data.begin(), data.begin() + 10));
}

TEST(PCMBuffer, ShortSourceNeverHandsOutTheUnreadRing) {
  auto data = Ramp(600);
  CMemObj mem;
  ASSERT_TRUE(mem.Create(data.data(), data.size()));
  CPCMBuffer buffer;
  ASSERT_EQ(buffer.Init(&mem, 1000, 1, 50), 1);
  EXPECT_EQ(buffer.LoadedBytes(), 600u);
  buffer.SetReadVariables(0, 1000);
  auto out = Drain(buffer, 128);
  EXPECT_EQ(out.size(), 1000u);  // wraps over the 600 real bytes
  EXPECT_TRUE(std::equal(out.begin() + 600, out.end(), data.begin()));
}

TEST(PCMBuffer, FillHonoursTheThresholdAndCounters) {
  auto data = Ramp(5000);
  CMemObj mem;
  ASSERT_TRUE(mem.Create(data.data(), data.size()));
  CPCMBuffer buffer;
  ASSERT_EQ(buffer.Init(&mem, 1000, 0, 50), 1);
  buffer.SetReadVariables(0, 5000);
  ASSERT_EQ(buffer.Fill(), 1);
  EXPECT_EQ(buffer.NewDataInBuffer(), 1000u);
  buffer.UpdateReadOffset(400);  // 60 % still held
  EXPECT_EQ(buffer.Fill(), 0);
  EXPECT_EQ(buffer.NewDataInBuffer(), 600u);
  buffer.UpdateReadOffset(200);
  EXPECT_EQ(buffer.Fill(), 1);
  EXPECT_EQ(buffer.NewDataInBuffer(), 1000u);
  buffer.AdjustBytesToRead(-4500);
  EXPECT_TRUE(buffer.BufferFinished());
  uint64_t left = 9;
  EXPECT_EQ(buffer.BytesLeftToRead(&left), 0);
  EXPECT_EQ(left, 0u);
}

TEST(PCMBuffer, FileSourceDeletedWhileStreamingEndsCleanly) {
  testsupport::TempDir dir;
  std::string path = dir.File("a.raw");
  auto data = Ramp(50000);
  ASSERT_TRUE(testsupport::WriteFile(path, std::string(data.begin(), data.end())));
  CFileObj file;
  ASSERT_TRUE(file.Open(path, 0, 0));
  CPCMBuffer buffer;
  ASSERT_EQ(buffer.Init(&file, 4096, 0, 50), 1);
  buffer.SetReadVariables(0, 60000);  // asks for more than there is
  std::remove(path.c_str());
  auto out = Drain(buffer, 1000);
  EXPECT_EQ(out.size(), 50000u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
}

}  // namespace
