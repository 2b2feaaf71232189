// Time-ordered events that shape an atom's volume, pan and playback rate.
// Each event carries a kind, a time in milliseconds and owned data; a simple
// event's data is one double, the value at that moment. The envelope is
// linear between events of one kind.
#pragma once

#include <cstdint>

#include "engine/media/MyArrayList.h"

class CRIFF;

enum TMapType : int32_t {
  MAP_VOLUME = 0,  // 0.0 ... 2.0, 1.0 unity
  MAP_PAN = 1,     // -1.0 left ... +1.0 right
  MAP_RATE = 2,    // >= 0.01, 1.0 normal speed
  MAP_ALL = 8      // all three, where an operation accepts it
};

// One event; the map owns the record and its data (allocated with malloc).
struct _tvol_pan_data {
  TMapType kind;
  void* data;
  unsigned long size;
};

class CMap;
typedef double (*TTypeCombineCallback)(CMap* map, TMapType kind, double a, double b);

class CMap {
 public:
  CMap();
  CMap(const CMap& other);                        // all events
  CMap(const CMap& other, long start, long end);  // the events from start to end
  CMap& operator=(const CMap& other);
  virtual ~CMap();
  virtual int NumEvents(int kind);  // -1 (or MAP_ALL) counts all events

  // Adds an event and takes ownership of `data` (malloc'ed) on success; returns
  // its index, or -1 when an event of that kind already sits at timeMs or
  // memory runs out (the data then stays the caller's).
  int AddEvent(TMapType kind, long timeMs, void* data, unsigned long size);
  int AddSimpleEvent(TMapType kind, long timeMs, double value);  // 1 or 0
  void RemoveEvent(int index);
  void RemoveSimpleEvent(TMapType kind, long timeMs);
  void RemoveSimpleEventByIndex(int index);
  void RemoveAllSimpleEvents(TMapType kind);

  void* GetEventData(int index, long* timeMs);
  // From index on, the data of the first event of that kind, index left on it;
  // null at the end.
  void* GetNextEvent(TMapType kind, int& index, long* timeMs);
  // The last event of that kind at or before timeMs, or null.
  void* GetDataBefore(long timeMs, TMapType kind, long* eventTime, int* index);
  int IndexToEventNumber(int index, TMapType kind);   // events of that kind before index
  int EventNumberToIndex(int number, TMapType kind);  // -1 when there is no such event

  double GetSimpleValueAtTime(long timeMs, TMapType kind);
  void MultiplySimpleEvents(TMapType kind, double factor);
  void InvertSimpleEvents(TMapType kind);
  int AddCalcSimplePoint(TMapType kind, long timeMs, double a, double b);
  void ScaleEvents(double factor);
  void OffsetEvents(TMapType kind, long delta);
  void AdjustEndPoint(TMapType kind, long endMs);
  void SetDefaultMap(long endMs, TMapType kind);

  void Copy(CMap* from, TMapType kind);
  void Copy(CMap* from, TMapType kind, long start, long end);
  void CombineMap(CMap* parent, long offsetMs, TMapType kind);

  double GetRateMapAdjustedTime(long ms);
  double GetRateTime(long ms);
  void SetTypeCombineCallback(TMapType kind, TTypeCombineCallback callback);

  int WriteMap(CRIFF* riff);
  int ReadMap(CRIFF* riff);
  long MapSaveSize();

 private:
  _tvol_pan_data* Event(int index, long* timeMs);
  static bool Matches(const _tvol_pan_data* e, TMapType kind);
  static double Value(const _tvol_pan_data* e);
  static void FreeEvent(_tvol_pan_data* e);
  double Integrate(long ms, bool inverse);

  CMyArrayList events_;  // sort value: time in ms
  int lastAdded_ = -1;
};
