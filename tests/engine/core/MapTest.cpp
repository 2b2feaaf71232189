#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/Map.h"
#include "platform/data/MemObj.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {

double ValueAt(CMap& map, int index) {
  double v;
  std::memcpy(&v, map.GetEventData(index, nullptr), sizeof v);
  return v;
}

TEST(Map, EventsOfOneKindAreUniquePerTimeAndInterpolate) {
  CMap map;
  EXPECT_EQ(map.AddSimpleEvent(MAP_VOLUME, 500, 1.0), 1);
  EXPECT_EQ(map.AddSimpleEvent(MAP_VOLUME, 500, 0.7), 0);
  EXPECT_EQ(map.AddSimpleEvent(MAP_PAN, 500, 0.2), 1);  // another kind may share the time
  EXPECT_EQ(map.NumEvents(MAP_VOLUME), 1);
  EXPECT_EQ(map.NumEvents(-1), 2);
  map.RemoveSimpleEvent(MAP_VOLUME, 500);
  map.AddSimpleEvent(MAP_VOLUME, 0, 1.0);
  map.AddSimpleEvent(MAP_VOLUME, 500, 0.5);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(250, MAP_VOLUME), 0.75);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(600, MAP_VOLUME), 0.5);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(100, MAP_RATE), 1.0);  // no rate events
  map.MultiplySimpleEvents(MAP_VOLUME, 3.0);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(0, MAP_VOLUME), 3.0);  // without limits
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(500, MAP_PAN), 0.2);

  long t = -1;
  int index = 0;
  ASSERT_NE(map.GetNextEvent(MAP_PAN, index, &t), nullptr);
  EXPECT_EQ(t, 500);
  EXPECT_EQ(index, 1);  // a time equal to the last goes behind it
  EXPECT_EQ(map.IndexToEventNumber(index, MAP_VOLUME), 1);
  EXPECT_EQ(map.EventNumberToIndex(1, MAP_VOLUME), 2);
  EXPECT_EQ(map.EventNumberToIndex(2, MAP_VOLUME), -1);
  EXPECT_NE(map.GetDataBefore(499, MAP_VOLUME, &t, &index), nullptr);
  EXPECT_EQ(t, 0);
  EXPECT_EQ(map.GetDataBefore(-1, MAP_VOLUME, &t, &index), nullptr);
}

TEST(Map, InvertLimitsAndCombinedPointsLimit) {
  CMap map;
  map.AddSimpleEvent(MAP_RATE, 0, 0.25);
  map.AddSimpleEvent(MAP_RATE, 10, 0.5);
  map.AddSimpleEvent(MAP_RATE, 20, 4.0);
  map.AddSimpleEvent(MAP_VOLUME, 0, 2.5);
  map.InvertSimpleEvents(MAP_ALL);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(0, MAP_RATE), 2.0);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(10, MAP_RATE), 2.0);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(20, MAP_RATE), 0.25);
  EXPECT_DOUBLE_EQ(map.GetSimpleValueAtTime(0, MAP_VOLUME), 0.0);

  CMap own, parent;
  own.AddSimpleEvent(MAP_PAN, 0, 0.8);
  own.AddSimpleEvent(MAP_PAN, 1000, 0.8);
  parent.AddSimpleEvent(MAP_PAN, 0, 0.5);
  parent.AddSimpleEvent(MAP_PAN, 5000, 0.5);
  own.CombineMap(&parent, 100, MAP_PAN);
  EXPECT_DOUBLE_EQ(own.GetSimpleValueAtTime(500, MAP_PAN), 1.0);
}

TEST(Map, CombineWalksBothEnvelopesInParentTime) {
  CMap own, parent;
  own.AddSimpleEvent(MAP_VOLUME, 0, 1.0);
  own.AddSimpleEvent(MAP_VOLUME, 1000, 0.5);
  parent.AddSimpleEvent(MAP_VOLUME, 0, 1.0);
  parent.AddSimpleEvent(MAP_VOLUME, 600, 0.5);  // 100 ms into the atom
  parent.AddSimpleEvent(MAP_VOLUME, 2000, 0.5);
  own.CombineMap(&parent, 500, MAP_VOLUME);
  ASSERT_EQ(own.NumEvents(MAP_VOLUME), 3);
  long t;
  own.GetEventData(0, &t);
  EXPECT_EQ(t, 0);
  EXPECT_NEAR(ValueAt(own, 0), 1.0 * (1.0 - 0.5 * 500 / 600), 1e-9);
  own.GetEventData(1, &t);
  EXPECT_EQ(t, 100);
  EXPECT_NEAR(ValueAt(own, 1), 0.95 * 0.5, 1e-9);
  own.GetEventData(2, &t);
  EXPECT_EQ(t, 1000);
  EXPECT_NEAR(ValueAt(own, 2), 0.25, 1e-9);

  CMap single;  // a parent with one event changes nothing
  single.AddSimpleEvent(MAP_VOLUME, 0, 0.1);
  own.CombineMap(&single, 0, MAP_VOLUME);
  EXPECT_EQ(own.NumEvents(MAP_VOLUME), 3);
}

TEST(Map, EndPointsOffsetsAndScaling) {
  CMap map;
  map.AddSimpleEvent(MAP_VOLUME, 0, 1.0);
  map.AddSimpleEvent(MAP_VOLUME, 200, 1.0);
  map.AddSimpleEvent(MAP_VOLUME, 1000, 0.0);
  map.AddSimpleEvent(MAP_PAN, 300, 0.0);
  map.AdjustEndPoint(MAP_VOLUME, 100);
  long t;
  int index = map.EventNumberToIndex(2, MAP_VOLUME);
  map.GetEventData(index, &t);
  EXPECT_EQ(t, 220);
  map.OffsetEvents(MAP_PAN, -250);
  index = 0;
  map.GetNextEvent(MAP_PAN, index, &t);
  EXPECT_EQ(t, 50);
  EXPECT_EQ(index, 1);  // resorted among the volume events
  map.ScaleEvents(2.0);
  map.GetDataBefore(10000, MAP_VOLUME, &t, nullptr);
  EXPECT_EQ(t, 440);
  EXPECT_EQ(map.MapSaveSize(), 4 * (12 + 8));

  CMap window(map, 100, 450);
  EXPECT_EQ(window.NumEvents(-1), 3);
  CMap defaults;
  defaults.SetDefaultMap(3000, MAP_ALL);
  EXPECT_EQ(defaults.NumEvents(-1), 6);
  EXPECT_DOUBLE_EQ(defaults.GetSimpleValueAtTime(1500, MAP_RATE), 1.0);
}

TEST(Map, RateIntegration) {
  CMap map;
  EXPECT_DOUBLE_EQ(map.GetRateMapAdjustedTime(1234), 1234.0);
  map.AddSimpleEvent(MAP_RATE, 0, 1.0);
  map.AddSimpleEvent(MAP_RATE, 1000, 2.0);
  EXPECT_DOUBLE_EQ(map.GetRateMapAdjustedTime(1000), 1500.0);
  EXPECT_DOUBLE_EQ(map.GetRateMapAdjustedTime(500), 500 * (1.0 + 0.001 * 500 / 2));
  EXPECT_DOUBLE_EQ(map.GetRateMapAdjustedTime(2000), 3500.0);  // constant after the last
  EXPECT_DOUBLE_EQ(map.GetRateTime(1000), 1000 * (1.0 + 0.5) / 2);
  CMap late;
  late.AddSimpleEvent(MAP_RATE, 1000, 2.0);
  EXPECT_DOUBLE_EQ(late.GetRateMapAdjustedTime(1500), 1000 + 1000.0);
}

}  // namespace

namespace {

TEST(Map, StoredFormRoundTripsThroughRiff) {
  CMap map;
  map.AddSimpleEvent(MAP_VOLUME, 0, 0.5);
  map.AddSimpleEvent(MAP_PAN, 250, -0.25);
  map.AddSimpleEvent(MAP_RATE, 1000, 1.5);
  CMemObj mem;
  ASSERT_TRUE(mem.Create());
  CRIFF writer;
  ASSERT_TRUE(writer.Create(&mem, FourCC("TEST")));
  ASSERT_EQ(map.WriteMap(&writer), 1);
  ASSERT_TRUE(writer.WriteSubChunk(FourCC("next"), "ab", 2));
  ASSERT_TRUE(writer.Close());

  mem.Seek(0, kSeekBegin);
  CRIFF reader;
  ASSERT_TRUE(reader.Open(&mem));
  ASSERT_TRUE(reader.SeekToChunk(FourCC("smap"), 1));
  CMap back;
  ASSERT_EQ(back.ReadMap(&reader), 1);
  EXPECT_EQ(back.NumEvents(-1), 3);
  EXPECT_DOUBLE_EQ(back.GetSimpleValueAtTime(300, MAP_PAN), -0.25);
  EXPECT_DOUBLE_EQ(back.GetSimpleValueAtTime(1000, MAP_RATE), 1.5);
  EXPECT_EQ(back.MapSaveSize(), map.MapSaveSize());
  _chunkInfo info{};
  ASSERT_TRUE(reader.GetCurrentChunkInfo(&info));
  EXPECT_EQ(info.id, FourCC("next"));  // moved on behind the map
}

TEST(Map, DamagedStoredFormKeepsWhatCanBeRead) {
  // Two events claimed, the second's data size runs past the chunk.
  std::vector<uint8_t> chunk = {2, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 8, 0, 0, 0};
  double v = 0.75;
  const auto* p = reinterpret_cast<const uint8_t*>(&v);
  chunk.insert(chunk.end(), p, p + 8);
  chunk.insert(chunk.end(), {1, 0, 0, 0, 20, 0, 0, 0, 0xff, 0xff, 0, 0, 1, 2});
  CMemObj mem;
  ASSERT_TRUE(mem.Create());
  CRIFF writer;
  ASSERT_TRUE(writer.Create(&mem, FourCC("TEST")));
  ASSERT_TRUE(writer.WriteSubChunk(FourCC("smap"), chunk.data(), chunk.size()));
  ASSERT_TRUE(writer.Close());
  mem.Seek(0, kSeekBegin);
  CRIFF reader;
  ASSERT_TRUE(reader.Open(&mem));
  ASSERT_TRUE(reader.SeekToChunk(FourCC("smap"), 1));
  CMap back;
  EXPECT_EQ(back.ReadMap(&reader), 1);
  EXPECT_EQ(back.NumEvents(-1), 1);
  EXPECT_DOUBLE_EQ(back.GetSimpleValueAtTime(10, MAP_VOLUME), 0.75);
}

}  // namespace
