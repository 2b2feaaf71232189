#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2WaveFile.h"
#include "engine/media/MusicInfo.h"
#include "platform/data/FileObj.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"
#include "tests/TestSupport.h"

namespace {

tWAVEFORMATEX Pcm(uint16_t channels, uint32_t rate) {
  return {1, channels, rate, rate * channels * 2, static_cast<uint16_t>(channels * 2), 16, 0};
}

// Chunks of the written file: id -> data (the first of each id; INFO sub-chunks by their own id).
struct WavFile {
  tWAVEFORMATEX format{};
  std::string data;
  std::vector<std::pair<std::string, std::string>> info;
};

WavFile ReadBack(const std::string& path) {
  WavFile w;
  CFileObj file;
  EXPECT_TRUE(file.Open(path, 0, 0));
  CRIFF riff;
  EXPECT_TRUE(riff.Open(&file));
  if (riff.SeekToChunk(FourCC("fmt "), 1)) riff.ReadCurrentSubChunk(&w.format, sizeof w.format);
  _subChunk sub{};
  if (riff.SeekToChunk(FourCC("data"), 1) && riff.GetCurrentChunkInfo(nullptr, &sub)) {
    w.data.resize(static_cast<size_t>(sub.dataSize));
    riff.ReadCurrentSubChunk(w.data.data(), sub.dataSize);
  }
  if (riff.SeekToChunk(FourCC("LIST"), 1, FourCC("INFO")) && riff.Descend()) {
    do {
      _chunkInfo info{};
      if (!riff.GetCurrentChunkInfo(&info, &sub)) break;
      std::string bytes(static_cast<size_t>(sub.dataSize), '\0');
      riff.ReadCurrentSubChunk(bytes.data(), sub.dataSize);
      w.info.emplace_back(FourCCToString(info.id), bytes);
    } while (riff.SeekToNextChunk());
  }
  return w;
}

std::string Convert(const std::string& path, CConv2FileFormat& target, const tWAVEFORMATEX& pcm,
                    const std::vector<std::string>& blocks, TMusicInfo* info, long* listBytes) {
  CConv2WaveFile writer;
  EXPECT_TRUE(writer.Create(path.c_str(), &target, &pcm));
  std::string expected;
  for (const std::string& b : blocks) {
    long written = -2;
    long n = writer.WriteStreamData(b.data(), static_cast<long>(b.size()), &written);
    EXPECT_GE(n, 0);
    EXPECT_EQ(written, n);
  }
  EXPECT_EQ(writer.EndWriteStream(), 0);
  int listWritten = 0;
  long count = writer.FinalData(path.c_str(), "Sonod", &listWritten, info);
  EXPECT_EQ(listWritten, 1);
  if (listBytes) *listBytes = count;
  EXPECT_TRUE(writer.Close());
  return expected;
}

TEST(Conv2WaveFile, SamePcmIsWrittenUnchangedAndSoxReadsIt) {
  testsupport::TempDir dir;
  std::string path = dir.File("out.wav");
  CConv2FileFormat target;
  tWAVEFORMATEX pcm = Pcm(2, 44100);
  std::string a(4000, '\0'), b(1236, '\0');
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<char>(i * 13);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>(i * 7 + 1);
  long listBytes = 0;
  Convert(path, target, pcm, {a, b}, nullptr, &listBytes);
  WavFile w = ReadBack(path);
  EXPECT_EQ(w.data, a + b);
  EXPECT_EQ(w.format.nSamplesPerSec, 44100u);
  EXPECT_EQ(w.format.cbSize, 0);
  ASSERT_EQ(w.info.size(), 1u);
  EXPECT_EQ(w.info[0].first, "ISFT");
  EXPECT_EQ(w.info[0].second.size(), 8u);  // 5 characters: even 6, plus 2
  EXPECT_EQ(listBytes, 4 + 8 + 8);
  ASSERT_EQ(testsupport::MissingPrograms({"soxi"}), "");
  auto r = testsupport::Run("soxi -s '" + path + "'");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(std::stol(r.out), static_cast<long>((a.size() + b.size()) / 4));
}

TEST(Conv2WaveFile, MixesToTheTargetShapeWithoutAConverter) {
  testsupport::TempDir dir;
  std::string path = dir.File("up.wav");
  CConv2FileFormat target;  // 44100 Hz stereo 16-bit
  tWAVEFORMATEX pcm = Pcm(1, 22050);
  std::vector<int16_t> samples(1001);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 20);
  std::string block(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
  CConv2WaveFile writer;
  ASSERT_TRUE(writer.Create(path.c_str(), &target, &pcm));
  EXPECT_TRUE(writer.NeedToResample());
  long written = 0;
  EXPECT_EQ(writer.WriteStreamData(block.data(), static_cast<long>(block.size()), &written),
            static_cast<long>(block.size() * 4 / 4 * 4));
  writer.EndWriteStream();
  int listWritten = 0;
  writer.FinalData(path.c_str(), "S", &listWritten, nullptr);
  ASSERT_TRUE(writer.Close());
  WavFile w = ReadBack(path);
  ASSERT_EQ(w.data.size(), block.size() * 4);
  std::vector<int16_t> out(w.data.size() / 2);
  std::memcpy(out.data(), w.data.data(), w.data.size());
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 10);  // halfway between the first two source frames
  EXPECT_EQ(out[4], 20);
  EXPECT_EQ(out[5], 20);
}

// The mix adds into the block it fills, so an 8-bit block starts as 8-bit
// silence (128), not as zero bytes (full scale negative).
TEST(Conv2WaveFile, EightBitTargetsAreMixedOntoSilence) {
  testsupport::TempDir dir;
  std::string path = dir.File("eight.wav");
  CConv2FileFormat target;
  target.nChannels = 1;
  target.nSamplesPerSec = 22050;
  target.wBitsPerSample = 8;
  target.CalcBlockAlignNAvgBytesPerSec();
  tWAVEFORMATEX pcm = Pcm(1, 22050);
  std::vector<int16_t> samples(500, 10 * 256);
  std::string block(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
  CConv2WaveFile writer;
  ASSERT_TRUE(writer.Create(path.c_str(), &target, &pcm));
  long written = 0;
  EXPECT_EQ(writer.WriteStreamData(block.data(), static_cast<long>(block.size()), &written), 500);
  writer.EndWriteStream();
  int listWritten = 0;
  writer.FinalData(path.c_str(), "S", &listWritten, nullptr);
  ASSERT_TRUE(writer.Close());
  WavFile w = ReadBack(path);
  ASSERT_EQ(w.data.size(), 500u);
  for (size_t i = 1; i < w.data.size(); ++i) ASSERT_EQ(static_cast<uint8_t>(w.data[i]), 138) << i;
}

TEST(Conv2WaveFile, InfoListFromTheMusicInformation) {
  testsupport::TempDir dir;
  std::string strings = dir.File("tonalis-strings.ini");
  ASSERT_TRUE(
      testsupport::WriteFile(strings, "[Strings]\nID3_Rock=Rock\nID3_not_supported=Unknown\n"));
  std::string oldStrings = GetTonalisStringFile();
  SetTonalisStringFile(strings);
  std::string path = dir.File("tags.wav");
  CConv2FileFormat target;
  tWAVEFORMATEX pcm = Pcm(2, 44100);
  TMusicInfo info;
  info.tagType = TAG_ID3_V2;
  std::strcpy(info.title, "Song");
  std::strcpy(info.artist, "Band");
  std::strcpy(info.album, "Disc");
  std::strcpy(info.comment, "hello");
  info.year = 1999;
  info.trackNumber = 5;
  info.totalTracks = 12;
  info.genreIndex = 17;
  info.mcdiLength = 3;
  info.mcdi[0] = 1, info.mcdi[1] = 2, info.mcdi[2] = 3;
  long listBytes = 0;
  Convert(path, target, pcm, {std::string(400, '\0')}, &info, &listBytes);
  WavFile w = ReadBack(path);
  std::vector<std::string> order;
  for (auto& [id, bytes] : w.info) order.push_back(id);
  EXPECT_EQ(order, (std::vector<std::string>{"ICMT", "IART", "INAM", "IGNR", "ICRD", "IALB", "ITRK",
                                             "IMCD", "ISFT"}));
  auto text = [&](const char* id) {
    for (auto& [i, bytes] : w.info)
      if (i == id) return std::string(bytes.c_str());
    return std::string("<none>");
  };
  EXPECT_EQ(text("ITRK"), "5/12");
  EXPECT_EQ(text("IGNR"), "Rock");  // the genre's display name
  EXPECT_EQ(text("ICRD"), "1999");
  long sum = 4;
  for (auto& [id, bytes] : w.info) sum += 8 + static_cast<long>(bytes.size());
  EXPECT_EQ(listBytes, sum);

  // Out-of-range year and track, track without a count, tag kind 0.
  info.year = 3001;
  info.trackNumber = 100;
  Convert(path, target, pcm, {std::string(4, '\0')}, &info, nullptr);
  w = ReadBack(path);
  EXPECT_EQ(text("ICRD"), "<none>");
  EXPECT_EQ(text("ITRK"), "<none>");
  info.trackNumber = 5;
  info.totalTracks = 0;
  info.genreIndex = 200;  // no table knows it: left out
  Convert(path, target, pcm, {std::string(4, '\0')}, &info, nullptr);
  w = ReadBack(path);
  EXPECT_EQ(text("ITRK"), "5");
  EXPECT_EQ(text("IGNR"), "<none>");
  info.tagType = 0;
  Convert(path, target, pcm, {std::string(4, '\0')}, &info, nullptr);
  w = ReadBack(path);
  ASSERT_EQ(w.info.size(), 1u);
  EXPECT_EQ(w.info[0].first, "ISFT");
  SetTonalisStringFile(oldStrings);
}

TEST(Conv2WaveFile, CreateFailsOnAnUnwritablePathAndCdPaddingFillsSectors) {
  CConv2FileFormat target;
  tWAVEFORMATEX pcm = Pcm(2, 44100);
  CConv2WaveFile bad;
  EXPECT_FALSE(bad.Create("/nonexistent-dir/x.wav", &target, &pcm));

  testsupport::TempDir dir;
  std::string path = dir.File("cd.wav");
  SetWaveCDBlockAlign(1);
  CConv2WaveFile writer;
  ASSERT_TRUE(writer.Create(path.c_str(), &target, &pcm));
  std::string block(1000, '\x11');
  long written = 0;
  writer.WriteStreamData(block.data(), 1000, &written);
  EXPECT_EQ(writer.EndWriteStream(), 2352 - 1000);
  SetWaveCDBlockAlign(0);
  int listWritten = 0;
  writer.FinalData(path.c_str(), "S", &listWritten, nullptr);
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(ReadBack(path).data.size(), 2352u);
}

}  // namespace
