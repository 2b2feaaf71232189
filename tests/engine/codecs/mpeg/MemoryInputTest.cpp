// The memory input: the streaming ring (feeding, reading all or nothing,
// wrapping, emptying) and static buffers named "size@address".
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "engine/codecs/mpeg/MemoryInput.h"
#include "engine/codecs/mpeg/MpegResult.h"

using namespace mpegaudio;

TEST(MemoryInput, RingTakesWhatFitsAndHandsOutAllOrNothing) {
  CMemoryInput in;
  ASSERT_TRUE(in.SetName(""));
  ASSERT_EQ(in.Open(), kMpegOk);
  EXPECT_FALSE(in.Seekable());
  EXPECT_EQ(in.Size(), 0) << "a ring's size is unknown until reported";

  std::vector<uint8_t> data(100000);
  std::iota(data.begin(), data.end(), 0);
  EXPECT_EQ(in.Message(kMemoryInputFeed, data.data(), 100000), kMemoryInputRingBytes);
  EXPECT_EQ(in.Message(kMemoryInputFeed, data.data(), 10), 0) << "full";

  std::vector<uint8_t> out(kMemoryInputRingBytes + 1);
  EXPECT_EQ(in.Read(out.data(), kMemoryInputRingBytes + 1), kMpegErrorNotEnoughData);
  EXPECT_EQ(in.Buffered(), kMemoryInputRingBytes) << "a refused read takes nothing";
  ASSERT_EQ(in.Read(out.data(), 60000), 60000);
  EXPECT_EQ(std::memcmp(out.data(), data.data(), 60000), 0);

  // Refill across the end of the ring and read across it.
  ASSERT_EQ(in.Message(kMemoryInputFeed, data.data() + kMemoryInputRingBytes, 30000), 30000);
  ASSERT_EQ(in.Read(out.data(), kMemoryInputRingBytes - 60000 + 30000),
            kMemoryInputRingBytes - 60000 + 30000);
  EXPECT_EQ(std::memcmp(out.data(), data.data() + 60000, kMemoryInputRingBytes - 60000 + 30000), 0);
  EXPECT_EQ(in.Buffered(), 0);

  EXPECT_EQ(in.Message(kMemoryInputFeed, data.data(), 500), 500);
  EXPECT_EQ(in.Message(kMemoryInputFlush, nullptr, 0), kMpegOk);
  EXPECT_EQ(in.Read(out.data(), 1), kMpegErrorNotEnoughData);
  EXPECT_EQ(in.Message(kMemoryInputSetSize, nullptr, 123456), kMpegOk);
  EXPECT_EQ(in.Size(), 123456);
  EXPECT_EQ(in.Message(kMemoryInputFeed, nullptr, 5), kMpegErrorBadArgument);
  EXPECT_EQ(in.Message(9999, nullptr, 0), kMpegErrorBadArgument);

  // Reopening empties the ring, as a restart after a seek needs.
  EXPECT_EQ(in.Message(kMemoryInputFeed, data.data(), 500), 500);
  ASSERT_EQ(in.Close(), kMpegOk);
  ASSERT_EQ(in.Open(), kMpegOk);
  EXPECT_EQ(in.Buffered(), 0);

  // Once the feeder says nothing more comes, a short read takes the rest,
  // then the input ends; a flush takes the end back.
  EXPECT_EQ(in.Message(kMemoryInputFeed, data.data(), 300), 300);
  EXPECT_EQ(in.Message(kMemoryInputEnd, nullptr, 0), kMpegOk);
  EXPECT_EQ(in.Read(out.data(), 200), 200);
  EXPECT_EQ(in.Read(out.data(), 200), 100);
  EXPECT_EQ(std::memcmp(out.data(), data.data() + 200, 100), 0);
  EXPECT_EQ(in.Read(out.data(), 200), 0);
  EXPECT_EQ(in.Message(kMemoryInputFlush, nullptr, 0), kMpegOk);
  EXPECT_EQ(in.Read(out.data(), 1), kMpegErrorNotEnoughData);
}

TEST(MemoryInput, StaticBufferByNameWithA64BitAddress) {
  std::vector<uint8_t> data(3000);
  std::iota(data.begin(), data.end(), 7);
  std::string name = MemoryInputBufferName(data.data(), 3000);
  const uint8_t* p = nullptr;
  int64_t size = 0;
  ASSERT_TRUE(CMemoryInput::ParseName(name, &p, &size));
  EXPECT_EQ(p, data.data());
  EXPECT_EQ(size, 3000);
  // Addresses above 4 GiB survive (the upper half of the name).
  ASSERT_TRUE(CMemoryInput::ParseName("10@7ffd12345678", &p, &size));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p), uintptr_t{0x7ffd12345678});
  EXPECT_EQ(size, 16);

  CMemoryInput in;
  ASSERT_TRUE(in.SetName(name));
  ASSERT_EQ(in.Open(), kMpegOk);
  EXPECT_TRUE(in.Seekable());
  EXPECT_EQ(in.Size(), 3000);
  uint8_t out[4096];
  ASSERT_EQ(in.Read(out, 1000), 1000);
  EXPECT_EQ(std::memcmp(out, data.data(), 1000), 0);
  EXPECT_EQ(in.Read(out, 4096), 2000) << "a short read at the end";
  EXPECT_EQ(std::memcmp(out, data.data() + 1000, 2000), 0);
  EXPECT_EQ(in.Read(out, 1), kMpegErrorPastEndOfBuffer);
  ASSERT_EQ(in.Seek(2990), kMpegOk);
  EXPECT_EQ(in.Read(out, 100), 10);
  EXPECT_EQ(in.Seek(3001), kMpegErrorBadArgument);
  EXPECT_EQ(in.Message(kMemoryInputFeed, "x", 1), kMpegErrorBadArgument)
      << "no feeding a static buffer";

  // The set-name message switches back to a ring.
  EXPECT_EQ(in.Message(kMemoryInputSetName, "", 0), kMpegOk);
  EXPECT_FALSE(in.Seekable());
  EXPECT_EQ(in.Message(kMemoryInputSetName, name.c_str(), -1), kMpegOk);
  EXPECT_EQ(in.Size(), 3000);
}

TEST(MemoryInput, RefusesMalformedNames) {
  for (const char* bad : {"12", "@", "12@", "@1000", "zz@1000", "10@0", "1@ffffffffffffffff",
                          "10@12345678901234567", "-1@1000", "10@10 ", "song.mp3"})
    EXPECT_FALSE(CMemoryInput::ParseName(bad, nullptr, nullptr)) << bad;
  EXPECT_TRUE(CMemoryInput::ParseName("0@0", nullptr, nullptr)) << "an empty buffer";
  EXPECT_EQ(MpegMemoryInputModule()->probe(nullptr), 1);
  EXPECT_EQ(MpegMemoryInputModule()->probe("song.mp3"), 0);
}
