#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Digits(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + i % 10);
  return s;
}

std::string ReadAll(CRefObj* obj, int64_t chunk, bool data) {
  std::string out;
  char buf[256];
  for (;;) {
    int64_t got = data ? obj->ReadData(buf, chunk) : obj->Read(buf, chunk);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

}  // namespace

TEST(FileObj, OpensRegularFilesOnlyAndReportsMissingOnes) {
  TempDir dir;
  CFileObj f;
  EXPECT_FALSE(f.Open(dir.File("missing"), 0, 0));
  EXPECT_EQ(f.Size(), -1);  // callers tell "not found" from "empty" by this
  EXPECT_EQ(f.Tell(), -1);
  EXPECT_FALSE(f.Open(dir.Path(), 0, 0));
  EXPECT_FALSE(f.Open("", 0, 0));

  // A FIFO with no writer must be refused at once, not wait for one.
  std::string fifo = dir.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(f.Open(fifo, 0, 0));
  EXPECT_FALSE(f.Create(fifo));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_FALSE(f.IsOpen());

  ASSERT_TRUE(WriteFile(dir.File("a"), "hello"));
  ASSERT_TRUE(f.Open(dir.File("a"), 0, 0));
  EXPECT_EQ(f.GetPath(), dir.File("a"));
  EXPECT_EQ(f.Type(), kRefObjFile);
  EXPECT_EQ(f.Size(), 5);
  EXPECT_EQ(f.Write("x", 1), 0);  // opened for reading
  EXPECT_EQ(ReadAll(&f, 2, false), "hello");
  EXPECT_TRUE(f.Close());
  EXPECT_EQ(f.GetPath(), dir.File("a"));
}

TEST(FileObj, CreateTruncatesAndWritesReadBack) {
  TempDir dir;
  std::string path = dir.File("out.bin");
  ASSERT_TRUE(WriteFile(path, Digits(1000)));
  CFileObj f;
  ASSERT_TRUE(f.Create(path));
  EXPECT_EQ(f.Size(), 0);
  EXPECT_EQ(f.Write("abcdef", 6), 6);
  // Overwrite in the middle after a read filled the buffer: the read must see it.
  ASSERT_TRUE(f.Seek(0, kSeekBegin));
  char b[3] = {};
  EXPECT_EQ(f.Read(b, 2), 2);
  ASSERT_TRUE(f.Seek(-1, kSeekCurrent));
  EXPECT_EQ(f.Write("XY", 2), 2);
  ASSERT_TRUE(f.Seek(0, kSeekBegin));
  EXPECT_EQ(ReadAll(&f, 4, false), "aXYdef");
  // Seeking past the end and writing leaves a hole of zeros.
  ASSERT_TRUE(f.Seek(2, kSeekEnd));
  EXPECT_EQ(f.Write("z", 1), 1);
  EXPECT_EQ(f.Size(), 9);
  EXPECT_FALSE(f.Seek(-100, kSeekCurrent));
  EXPECT_EQ(f.Tell(), 9);
  f.Close();
  EXPECT_EQ(ReadFile(path), std::string("aXYdef\0\0z", 9));
}

TEST(FileObj, SmallReadsAcrossTheBufferMatchTheFile) {
  TempDir dir;
  std::string content;
  for (int i = 0; i < 200000; ++i) content += static_cast<char>(i * 7 + i / 251);
  ASSERT_TRUE(WriteFile(dir.File("big"), content));
  CFileObj f;
  ASSERT_TRUE(f.Open(dir.File("big")));
  // Odd sizes so that reads straddle buffer refills; one large read in between.
  std::string got;
  char small[37];
  for (int i = 0; i < 3000; ++i) got.append(small, static_cast<size_t>(f.Read(small, 37)));
  std::string large(100000, '\0');
  large.resize(static_cast<size_t>(f.Read(large.data(), 100000)));
  got += large;
  got += ReadAll(&f, 251, false);
  EXPECT_EQ(got, content);
  // Backward seek into already buffered data.
  ASSERT_TRUE(f.Seek(65530, kSeekBegin));
  char b[12];
  ASSERT_EQ(f.Read(b, 12), 12);
  EXPECT_EQ(std::string(b, 12), content.substr(65530, 12));
}

TEST(FileObj, DataWindowVirtualStartAndModes) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.File("w"), "HEADER0123456789TAIL"));
  CFileObj f;
  ASSERT_TRUE(f.Open(dir.File("w"), 0, 0));
  // Without a window the data is the whole file.
  EXPECT_EQ(f.GetDataStart(), 0);
  EXPECT_EQ(f.GetDataEnd(), 20);
  EXPECT_EQ(f.DataSize(), 20);

  EXPECT_FALSE(f.SetDataOffsets(8, 4));
  EXPECT_FALSE(f.SetDataOffsets(-1, 4));
  ASSERT_TRUE(f.SetDataOffsets(6, 16));
  EXPECT_EQ(f.DataSize(), 10);
  ASSERT_TRUE(f.SeekToData(0));
  EXPECT_EQ(f.Tell(), 6);
  // Short at the window end, then nothing more.
  char b[32];
  EXPECT_EQ(f.ReadData(b, 32), 10);
  EXPECT_EQ(std::string(b, 10), "0123456789");
  EXPECT_EQ(f.Tell(), f.GetDataEnd());  // how play-once streaming knows it is done
  EXPECT_EQ(f.ReadData(b, 32), 0);
  EXPECT_FALSE(f.SeekToData(11));
  // Read and Seek still see the whole file.
  ASSERT_TRUE(f.Seek(0, kSeekBegin));
  EXPECT_EQ(f.Read(b, 6), 6);
  EXPECT_EQ(std::string(b, 6), "HEADER");
  // Before the window nothing of the window is there.
  ASSERT_TRUE(f.Seek(2, kSeekBegin));
  EXPECT_EQ(f.ReadData(b, 4), 0);

  // Virtual start: mode 1 presents the data from there and loops round.
  EXPECT_FALSE(f.SetVirtualStart(10));
  ASSERT_TRUE(f.SetVirtualStart(4));
  EXPECT_EQ(f.SetDataMode(1), 0);
  ASSERT_TRUE(f.SeekToData(0));
  EXPECT_EQ(f.Tell(), 10);
  EXPECT_EQ(f.ReadData(b, 15), 15);
  EXPECT_EQ(std::string(b, 15), "456789012345678");
  ASSERT_TRUE(f.SeekToData(13));  // (4 + 13) mod 10
  EXPECT_EQ(f.ReadData(b, 2), 2);
  EXPECT_EQ(std::string(b, 2), "78");
  // Mode 0 ignores the virtual start.
  EXPECT_EQ(f.SetDataMode(0), 1);
  ASSERT_TRUE(f.SeekToData(1));
  EXPECT_EQ(f.Tell(), 7);

  // A damaged length past the file's end is cut to the data that exists.
  ASSERT_TRUE(f.SetDataOffsets(16, 1000000));
  EXPECT_EQ(f.GetDataEnd(), 20);
  EXPECT_EQ(f.GetVirtualStart(), 0);  // 4 no longer fits in 4 bytes
  EXPECT_FALSE(f.SetDataOffsets(21, 30));
}

TEST(FileObj, LoopingWindowThatCannotBeReadDoesNotSpin) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.File("w"), "0123456789"));
  CFileObj f;
  ASSERT_TRUE(f.Open(dir.File("w")));
  ASSERT_TRUE(f.SetDataOffsets(4, 8));
  f.SetDataMode(1);
  // The file shrinks under the reader: the window can no longer be read.
  ASSERT_EQ(truncate(dir.File("w").c_str(), 2), 0);
  ASSERT_TRUE(f.SeekToData(0));
  char b[16];
  EXPECT_EQ(f.ReadData(b, 16), 0);
}

TEST(FileObj, CopiesReadIndependently) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.File("c"), "abcdefghij"));
  CFileObj f;
  ASSERT_TRUE(f.Open(dir.File("c")));
  ASSERT_TRUE(f.SetDataOffsets(2, 8));
  ASSERT_TRUE(f.Seek(3, kSeekBegin));
  CRefObj* copy = f.Copy();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->refCount, 1);
  EXPECT_EQ(copy->Tell(), 3);
  EXPECT_EQ(copy->GetDataStart(), 2);
  EXPECT_EQ(copy->GetDataEnd(), 8);
  EXPECT_EQ(static_cast<CFileObj*>(copy)->GetPath(), dir.File("c"));
  char a[3], b[3];
  EXPECT_EQ(copy->Read(a, 3), 3);
  EXPECT_EQ(f.Tell(), 3);
  ASSERT_TRUE(f.Seek(0, kSeekBegin));
  EXPECT_EQ(f.Read(b, 3), 3);
  EXPECT_EQ(std::string(a, 3), "def");
  EXPECT_EQ(std::string(b, 3), "abc");
  // The copy outlives the original and keeps reading.
  f.Close();
  EXPECT_EQ(copy->ReadData(a, 3), 2);
  EXPECT_EQ(std::string(a, 2), "gh");
  // A second holder keeps it alive until both have released it.
  CRefObj* second = copy;
  second->AddReference();
  DeleteRefObject(&copy);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(second->refCount, 1);
  EXPECT_TRUE(second->IsOpen());
  DeleteRefObject(&second);
  CRefObj* none = nullptr;
  DeleteRefObject(&none);
  DeleteRefObject(nullptr);
  CFileObj closed;
  EXPECT_EQ(closed.Copy(), nullptr);

  // A copy reads the file that is open, even after its name went elsewhere.
  ASSERT_TRUE(f.Open(dir.File("c")));
  ASSERT_EQ(rename(dir.File("c").c_str(), dir.File("moved").c_str()), 0);
  ASSERT_TRUE(WriteFile(dir.File("c"), "other"));
  copy = f.Copy();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Read(a, 3), 3);
  EXPECT_EQ(std::string(a, 3), "abc");
  DeleteRefObject(&copy);
}
