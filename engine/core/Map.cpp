#include "engine/core/Map.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "platform/LastError.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {
constexpr uint32_t kErrorMemory = 0x20000001;

double Neutral(TMapType kind) { return kind == MAP_PAN ? 0.0 : 1.0; }

double Lerp(long t0, double v0, long t1, double v1, long t) {
  if (t1 == t0) return v1;
  return v0 + (v1 - v0) * static_cast<double>(t - t0) / static_cast<double>(t1 - t0);
}

struct Point {
  long time;
  double value;
};

// Event data is malloc'ed: AddEvent takes data of that kind. Until it does,
// the data is held here.
struct FreeData {
  void operator()(void* data) const { std::free(data); }
};
using EventData = std::unique_ptr<void, FreeData>;

// A copy of size bytes; empty for no bytes or when memory runs out.
EventData CopyOfData(const void* bytes, unsigned long size) {
  EventData data(size ? std::malloc(size) : nullptr);
  if (data) std::memcpy(data.get(), bytes, size);
  return data;
}
}  // namespace

CMap::CMap() = default;

CMap::CMap(const CMap& other) { Copy(const_cast<CMap*>(&other), MAP_ALL); }

CMap::CMap(const CMap& other, long start, long end) {
  Copy(const_cast<CMap*>(&other), MAP_ALL, start, end);
}

CMap& CMap::operator=(const CMap& other) {
  if (this != &other) {
    RemoveAllSimpleEvents(MAP_ALL);
    Copy(const_cast<CMap*>(&other), MAP_ALL);
  }
  return *this;
}

CMap::~CMap() { RemoveAllSimpleEvents(MAP_ALL); }

bool CMap::Matches(const _tvol_pan_data* e, TMapType kind) {
  return kind == MAP_ALL || static_cast<int>(kind) == -1 || e->kind == kind;
}

double CMap::Value(const _tvol_pan_data* e) {
  double v = 0.0;
  if (e->data && e->size >= sizeof(double)) std::memcpy(&v, e->data, sizeof v);
  return v;
}

void CMap::FreeEvent(_tvol_pan_data* e) {
  if (!e) return;
  std::free(e->data);
  delete e;
}

_tvol_pan_data* CMap::Event(int index, long* timeMs) {
  return static_cast<_tvol_pan_data*>(events_.Index(index, timeMs));
}

int CMap::NumEvents(int kind) {
  if (kind == -1 || kind == MAP_ALL) return events_.Count();
  int n = 0;
  for (int i = 0; i < events_.Count(); ++i)
    if (Event(i, nullptr)->kind == kind) ++n;
  return n;
}

int CMap::AddEvent(TMapType kind, long timeMs, void* data, unsigned long size) {
  for (int i = 0; i < events_.Count(); ++i) {
    long t;
    _tvol_pan_data* e = Event(i, &t);
    if (t == timeMs && e->kind == kind) return -1;
    if (t > timeMs) break;
  }
  std::unique_ptr<_tvol_pan_data> e(new (std::nothrow) _tvol_pan_data{kind, data, size});
  int index = e ? events_.AddSorted(e.get(), timeMs) : -1;
  if (index < 0) {
    SetLastError(kErrorMemory);
    return -1;
  }
  e.release();  // the list holds the event; FreeEvent deletes it
  lastAdded_ = index;
  return index;
}

int CMap::AddSimpleEvent(TMapType kind, long timeMs, double value) {
  EventData data = CopyOfData(&value, sizeof value);
  if (!data) {
    SetLastError(kErrorMemory);
    return 0;
  }
  if (AddEvent(kind, timeMs, data.get(), sizeof value) < 0) return 0;
  data.release();  // the map owns it now
  return 1;
}

void CMap::RemoveEvent(int index) {
  _tvol_pan_data* e = Event(index, nullptr);
  if (!e) return;
  events_.RemoveByIndex(index);
  FreeEvent(e);
  lastAdded_ = -1;
}

void CMap::RemoveSimpleEvent(TMapType kind, long timeMs) {
  for (int i = 0; i < events_.Count(); ++i) {
    long t;
    _tvol_pan_data* e = Event(i, &t);
    if (t == timeMs && e->kind == kind) {
      RemoveEvent(i);
      return;
    }
  }
}

void CMap::RemoveSimpleEventByIndex(int index) { RemoveEvent(index); }

void CMap::RemoveAllSimpleEvents(TMapType kind) {
  for (int i = events_.Count() - 1; i >= 0; --i)
    if (Matches(Event(i, nullptr), kind)) RemoveEvent(i);
  lastAdded_ = -1;
}

void* CMap::GetEventData(int index, long* timeMs) {
  _tvol_pan_data* e = Event(index, timeMs);
  return e ? e->data : nullptr;
}

void* CMap::GetNextEvent(TMapType kind, int& index, long* timeMs) {
  for (int i = std::max(index, 0); i < events_.Count(); ++i) {
    _tvol_pan_data* e = Event(i, timeMs);
    if (Matches(e, kind)) {
      index = i;
      return e->data;
    }
  }
  return nullptr;
}

void* CMap::GetDataBefore(long timeMs, TMapType kind, long* eventTime, int* index) {
  void* found = nullptr;
  for (int i = 0; i < events_.Count(); ++i) {
    long t;
    _tvol_pan_data* e = Event(i, &t);
    if (t > timeMs) break;
    if (Matches(e, kind)) {
      found = e->data;
      if (eventTime) *eventTime = t;
      if (index) *index = i;
    }
  }
  return found;
}

int CMap::IndexToEventNumber(int index, TMapType kind) {
  int n = 0;
  for (int i = 0; i < index && i < events_.Count(); ++i)
    if (Matches(Event(i, nullptr), kind)) ++n;
  return n;
}

int CMap::EventNumberToIndex(int number, TMapType kind) {
  for (int i = 0; i < events_.Count(); ++i)
    if (Matches(Event(i, nullptr), kind) && number-- == 0) return i;
  return -1;
}

double CMap::GetSimpleValueAtTime(long timeMs, TMapType kind) {
  bool haveBefore = false, haveAfter = false;
  long t0 = 0, t1 = 0;
  double v0 = Neutral(kind), v1 = 0.0;
  for (int i = 0; i < events_.Count(); ++i) {
    long t;
    _tvol_pan_data* e = Event(i, &t);
    if (e->kind != kind) continue;
    if (t <= timeMs) {
      haveBefore = true;
      t0 = t;
      v0 = Value(e);
    } else {
      haveAfter = true;
      t1 = t;
      v1 = Value(e);
      break;
    }
  }
  if (!haveBefore) return haveAfter ? v1 : Neutral(kind);
  if (haveAfter && v1 != v0) return Lerp(t0, v0, t1, v1, timeMs);
  return v0;
}

void CMap::MultiplySimpleEvents(TMapType kind, double factor) {
  for (int i = 0; i < events_.Count(); ++i) {
    _tvol_pan_data* e = Event(i, nullptr);
    if (!Matches(e, kind) || e->size < sizeof(double)) continue;
    double v = Value(e) * factor;
    std::memcpy(e->data, &v, sizeof v);
  }
}

void CMap::InvertSimpleEvents(TMapType kind) {
  for (int i = 0; i < events_.Count(); ++i) {
    _tvol_pan_data* e = Event(i, nullptr);
    if (!Matches(e, kind) || e->size < sizeof(double)) continue;
    double v = Value(e);
    switch (e->kind) {
      case MAP_VOLUME:
        v = std::clamp(2.0 - v, 0.0, 2.0);
        break;
      case MAP_PAN:
        v = -v;
        break;
      case MAP_RATE:
        v = v != 0.0 ? std::clamp(1.0 / v, 0.01, 2.0) : 2.0;
        break;
      default:
        continue;
    }
    std::memcpy(e->data, &v, sizeof v);
  }
}

int CMap::AddCalcSimplePoint(TMapType kind, long timeMs, double a, double b) {
  double v = 0.0;
  switch (kind) {
    case MAP_VOLUME:
      v = a * b;
      break;
    case MAP_PAN:
      v = std::clamp(a + b, -1.0, 1.0);
      break;
    case MAP_RATE:
      v = std::max(a * b, 0.01);
      break;
    default:
      break;
  }
  return AddSimpleEvent(kind, timeMs, v);
}

void CMap::ScaleEvents(double factor) {
  events_.ScaleAllSortValues(factor);
  lastAdded_ = -1;
}

// Events of one kind are taken out and put back at their new times, so the
// list stays sorted among the other kinds' events.
void CMap::OffsetEvents(TMapType kind, long delta) {
  if (delta == 0) return;
  if (kind == MAP_ALL) {
    events_.AdjustAllSortValues(delta);
    lastAdded_ = -1;
    return;
  }
  std::vector<std::pair<_tvol_pan_data*, long>> moved;
  for (int i = events_.Count() - 1; i >= 0; --i) {
    long t;
    _tvol_pan_data* e = Event(i, &t);
    if (e->kind == kind) {
      moved.emplace_back(e, t + delta);
      events_.RemoveByIndex(i);
    }
  }
  for (auto it = moved.rbegin(); it != moved.rend(); ++it)
    if (events_.AddSorted(it->first, it->second) < 0) FreeEvent(it->first);
  lastAdded_ = -1;
}

void CMap::AdjustEndPoint(TMapType kind, long endMs) {
  if (endMs == 0) return;
  if (kind == MAP_ALL) {
    for (TMapType k : {MAP_VOLUME, MAP_PAN, MAP_RATE}) AdjustEndPoint(k, endMs);
    return;
  }
  int last = -1, before = -1;
  long lastTime = 0, beforeTime = 0;
  for (int i = 0; i < events_.Count(); ++i) {
    long t;
    if (Event(i, &t)->kind != kind) continue;
    before = last;
    beforeTime = lastTime;
    last = i;
    lastTime = t;
  }
  if (last < 0 || lastTime == endMs) return;
  long target = endMs;
  if (before >= 0 && target <= beforeTime) target = beforeTime + 20;
  _tvol_pan_data* e = Event(last, nullptr);
  events_.RemoveByIndex(last);
  if (events_.AddSorted(e, target) < 0) FreeEvent(e);
  lastAdded_ = -1;
}

void CMap::SetDefaultMap(long endMs, TMapType kind) {
  for (TMapType k : {MAP_VOLUME, MAP_PAN, MAP_RATE}) {
    if (kind != MAP_ALL && kind != k) continue;
    AddSimpleEvent(k, 0, Neutral(k));
    AddSimpleEvent(k, endMs, Neutral(k));
  }
}

void CMap::Copy(CMap* from, TMapType kind) {
  Copy(from, kind, std::numeric_limits<long>::min(), std::numeric_limits<long>::max());
}

void CMap::Copy(CMap* from, TMapType kind, long start, long end) {
  if (!from || from == this) return;
  for (int i = 0; i < from->events_.Count(); ++i) {
    long t;
    _tvol_pan_data* e = from->Event(i, &t);
    if (!Matches(e, kind) || t < start || t > end) continue;
    EventData data = CopyOfData(e->data, e->size);
    if (e->size && !data) continue;
    if (AddEvent(e->kind, t, data.get(), e->size) >= 0) data.release();  // the map owns it now
  }
}

void CMap::CombineMap(CMap* parent, long offsetMs, TMapType kind) {
  if (kind == MAP_ALL) {
    for (TMapType k : {MAP_VOLUME, MAP_PAN, MAP_RATE}) CombineMap(parent, offsetMs, k);
    return;
  }
  if (!parent || parent == this || parent->NumEvents(kind) < 2) return;
  auto collect = [kind](CMap* map, long shift) {
    std::vector<Point> points;
    for (int i = 0; i < map->events_.Count(); ++i) {
      long t;
      _tvol_pan_data* e = map->Event(i, &t);
      if (e->kind == kind) points.push_back({t + shift, Value(e)});
    }
    return points;
  };
  std::vector<Point> own = collect(this, offsetMs);  // in parent time
  std::vector<Point> par = collect(parent, 0);
  RemoveAllSimpleEvents(kind);
  if (own.empty()) return;

  size_t i = 0, j = 0;
  while (j < par.size() && par[j].time <= own[0].time) ++j;
  AddCalcSimplePoint(kind, own[0].time - offsetMs, own[0].value,
                     parent->GetSimpleValueAtTime(own[0].time, kind));
  i = 1;
  while (i < own.size() && j < par.size()) {
    if (own[i].time < par[j].time) {
      AddCalcSimplePoint(kind, own[i].time - offsetMs, own[i].value,
                         parent->GetSimpleValueAtTime(own[i].time, kind));
      ++i;
    } else if (par[j].time < own[i].time) {
      double ownValue =
          Lerp(own[i - 1].time, own[i - 1].value, own[i].time, own[i].value, par[j].time);
      AddCalcSimplePoint(kind, par[j].time - offsetMs, ownValue, par[j].value);
      ++j;
    } else {
      AddCalcSimplePoint(kind, own[i].time - offsetMs, own[i].value, par[j].value);
      ++i;
      ++j;
    }
  }
}

// Integral from 0 to ms of the rate (or of its inverse, interpolated between
// the inverted event values): 1.0 before the first event, linear between
// events, constant after the last.
double CMap::Integrate(long ms, bool inverse) {
  std::vector<Point> points;
  for (int i = 0; i < events_.Count(); ++i) {
    long t;
    _tvol_pan_data* e = Event(i, &t);
    if (e->kind != MAP_RATE) continue;
    double r = Value(e);
    if (inverse) r = r != 0.0 ? 1.0 / r : 100.0;
    points.push_back({t, r});
  }
  if (points.empty()) return static_cast<double>(ms);
  double total = 0.0;
  double t = 0.0, target = static_cast<double>(ms);
  if (points[0].time > 0) {
    double end = std::min(target, static_cast<double>(points[0].time));
    total += end - t;
    t = end;
    if (t >= target) return total;
  }
  for (size_t k = 0; k + 1 < points.size(); ++k) {
    double s0 = static_cast<double>(points[k].time), s1 = static_cast<double>(points[k + 1].time);
    if (s1 <= t) continue;
    double r0 = points[k].value, r1 = points[k + 1].value;
    double slope = s1 > s0 ? (r1 - r0) / (s1 - s0) : 0.0;
    double from = std::max(t, s0);
    double rFrom = r0 + slope * (from - s0);
    double to = std::min(target, s1);
    double d = to - from;
    total += d * (rFrom + slope * d / 2.0);
    t = to;
    if (t >= target) return total;
  }
  if (t < target)
    total += (target - std::max(t, static_cast<double>(points.back().time))) * points.back().value;
  return total;
}

double CMap::GetRateMapAdjustedTime(long ms) { return Integrate(ms, false); }

double CMap::GetRateTime(long ms) { return Integrate(ms, true); }

void CMap::SetTypeCombineCallback(TMapType, TTypeCombineCallback) {}

long CMap::MapSaveSize() {
  long size = 0;
  for (int i = 0; i < events_.Count(); ++i) size += 12 + static_cast<long>(Event(i, nullptr)->size);
  return size;
}

namespace {
void PutWord(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t GetWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
}  // namespace

// One streamed "smap" chunk: the event count, then per event its kind, time,
// data size and data, all little-endian.
int CMap::WriteMap(CRIFF* riff) {
  if (!riff) return 0;
  std::vector<uint8_t> out;
  out.reserve(4 + MapSaveSize());
  PutWord(out, static_cast<uint32_t>(events_.Count()));
  for (int i = 0; i < events_.Count(); ++i) {
    long t;
    _tvol_pan_data* e = Event(i, &t);
    PutWord(out, static_cast<uint32_t>(e->kind));
    PutWord(out, static_cast<uint32_t>(static_cast<int32_t>(t)));
    PutWord(out, static_cast<uint32_t>(e->size));
    const auto* bytes = static_cast<const uint8_t*>(e->data);
    if (e->size) out.insert(out.end(), bytes, bytes + e->size);
  }
  if (!riff->StartWriteStream(FourCC("smap"))) return 0;
  int64_t written = riff->WriteStreamData(out.data(), static_cast<int64_t>(out.size()));
  int ended = riff->EndWriteStream();
  return written == static_cast<int64_t>(out.size()) && ended;
}

int CMap::ReadMap(CRIFF* riff) {
  if (!riff) return 0;
  _subChunk sub{};
  if (!riff->GetCurrentChunkInfo(nullptr, &sub)) return 1;
  std::vector<uint8_t> in;
  try {
    in.resize(static_cast<size_t>(sub.dataSize));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  int64_t got = riff->ReadCurrentSubChunk(in.data(), sub.dataSize);
  if (got < 4) {
    riff->SeekToNextChunk();
    return 1;
  }
  uint32_t count = GetWord(in.data());
  size_t at = 4;
  for (uint32_t k = 0; k < count && at + 12 <= static_cast<size_t>(got); ++k) {
    auto kind = static_cast<TMapType>(GetWord(&in[at]));
    long t = static_cast<int32_t>(GetWord(&in[at + 4]));
    uint32_t size = GetWord(&in[at + 8]);
    at += 12;
    if (size > static_cast<size_t>(got) - at) break;  // an event that cannot be read back
    EventData data = CopyOfData(in.data() + at, size);
    at += size;
    if ((!size || data) && AddEvent(kind, t, data.get(), size) >= 0)
      data.release();  // the map owns it now
  }
  riff->SeekToNextChunk();
  return 1;
}
