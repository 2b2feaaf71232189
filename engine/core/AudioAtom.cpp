#include "engine/core/AudioAtom.h"

#include <atomic>
#include <cstring>
#include <string>

#include "engine/core/PCMMixer.h"
#include "engine/core/SoundEngine.h"
#include "platform/data/ByteOrder.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {
std::atomic<int> gMapCombiningDisabled{0};
constexpr int kMaxNestedNames = 10;
}  // namespace

CAudioAtom::CAudioAtom() {
  srcMap_.SetDefaultMap(1000, MAP_ALL);
  SetDefaultMap(1000, MAP_ALL);
}

CAudioAtom::~CAudioAtom() = default;

CAudioAtom* CAudioAtom::Copy(long, long) { return nullptr; }
CAudioAtom* CAudioAtom::Copy() { return nullptr; }
int CAudioAtom::Type() { return kAtomPlain; }

long CAudioAtom::DecReference() { return --references_; }

void CAudioAtom::NotifyAtom(TSoundStateCode, long) {}

int CAudioAtom::Load(CRIFF*, int, int, int, int, TLoadCallback, void*) { return 0; }
int CAudioAtom::Save(CRIFF*, int) { return 0; }
long CAudioAtom::SaveSize(int) { return 0; }
int CAudioAtom::PreSave(CRIFF*) { return 0; }
int CAudioAtom::PostSave(CRIFF*) { return 0; }
int CAudioAtom::PreLoad(CRIFF*) { return 0; }
int CAudioAtom::PostLoad(CRIFF*) { return 0; }
int CAudioAtom::Play(long) { return 0; }
long CAudioAtom::CurrentPlayOffset() { return 0; }
int CAudioAtom::Playing() { return playing_; }
int CAudioAtom::Stop() { return 0; }
void CAudioAtom::NotifyOfNewPosition() {}

void CAudioAtom::NotifyOfNewLength() {
  SetMixerFlag(kMixerNewLength);
  srcMap_.AdjustEndPoint(MAP_ALL, Length(0));
}

void CAudioAtom::Mute(int on) {
  if (on)
    chunkFlags_ |= kChunkMuted;
  else
    chunkFlags_ &= ~kChunkMuted;
  NotifyAtom(on ? SOUND_STATE_MUTED : SOUND_STATE_UNMUTED, 0);
}

void CAudioAtom::SetLock(int on) {
  if (on)
    chunkFlags_ |= kChunkLocked;
  else
    chunkFlags_ &= ~kChunkLocked;
  NotifyAtom(on ? SOUND_STATE_LOCKED : SOUND_STATE_UNLOCKED, 0);
}

void CAudioAtom::SetPlayMode(int mode, long timeMs) {
  playing_ = mode;
  NotifyAtom(mode ? SOUND_STATE_PLAYING : SOUND_STATE_STOPPED, timeMs);
}

long CAudioAtom::Length(int) { return 0; }

void CAudioAtom::SetVirtualLength(long ms) {
  NotifyOfNewLength();
  if (ms > 0) lastRateLength_ = srcMap_.GetRateMapAdjustedTime(ms);
}

void CAudioAtom::Scale(double factor) {
  srcMap_.ScaleEvents(factor);
  SetVirtualLength(static_cast<long>(static_cast<double>(Length(0)) * factor));
  if (parent_) parent_->Resize(this);
  CombineWithParentMap(MAP_ALL);
  CombineWithSubMaps(MAP_ALL, 1);
}

void CAudioAtom::CombineWithParentMap(TMapType kind) {
  if (!MapCombiningEnabled()) return;
  std::lock_guard<std::recursive_mutex> lock(section_);
  RemoveAllSimpleEvents(kind);
  CMap::Copy(&srcMap_, kind);
  if (parent_ && parent_->CanCombine() && CanCombine() && parent_->Length(0) != 0 &&
      Length(0) != 0) {
    const long offset = OffsetInParent();
    if (kind == MAP_ALL) {
      CombineMap(parent_, offset, MAP_VOLUME);
      CombineMap(parent_, offset, MAP_PAN);
    } else {
      CombineMap(parent_, offset, kind);
    }
  }
  NotifyOfNewMap();
  SetMixerFlag(kMixerMapRecombined);
  if ((kind == MAP_ALL || kind == MAP_RATE) && playing_) SetMixerFlag(kMixerNewPosition);
}

void CAudioAtom::CombineWithSubMaps(TMapType, int) {}
int CAudioAtom::CanCombine() { return 1; }
void CAudioAtom::NotifyOfMemberChange() {}

void CAudioAtom::Recombine(CAudioAtom* atom) {
  if (!atom || !MapCombiningEnabled()) return;
  atom->CombineWithParentMap(MAP_ALL);
  atom->CombineWithSubMaps(MAP_ALL, 1);
}

CAudioAtom* CAudioAtom::Add(CAudioAtom* group, long offsetMs) {
  if (!group) return nullptr;
  CAudioAtom* changed = group->AddSubAtom(this, offsetMs, 1, 1);
  Recombine(changed);
  SetMixerFlag(kMixerMembershipChanged);
  return changed;
}

CAudioAtom* CAudioAtom::Move(long offsetMs) {
  SetMixerFlag(kMixerMembershipChanged);
  if (!parent_) return nullptr;
  CAudioAtom* changed = parent_->MoveSubAtom(this, offsetMs, 1, 1);
  Recombine(changed);
  return changed;
}

int CAudioAtom::Remove() {
  if (Playing()) Stop();
  SetMixerFlag(kMixerMembershipChanged);
  if (!parent_) return 0;
  // The group's reference goes with the removal; keep the atom alive until
  // it is known whether anyone else still holds it.
  AddReference();
  CAudioAtom* changed = parent_->RemoveSubAtom(this, 1, 1);
  const bool survives = References() > 1;
  if (survives) Recombine(changed);
  CAudioAtom* self = this;
  DeleteAtom(&self);
  return 1;
}

long CAudioAtom::AbsoluteOffset() { return absoluteOffset_; }

long CAudioAtom::OffsetInParent() {
  return parent_ ? absoluteOffset_ - parent_->AbsoluteOffset() : absoluteOffset_;
}

CAudioAtom* CAudioAtom::AddSubAtom(CAudioAtom* atom, long, int, int) {
  if (atom) atom->SetLevelsDeep(levelsDeep_ + 1);
  return this;
}

CAudioAtom* CAudioAtom::RemoveSubAtom(CAudioAtom*, int, int) { return nullptr; }
CAudioAtom* CAudioAtom::MoveSubAtom(CAudioAtom*, long, int, int) { return nullptr; }
CAudioAtom* CAudioAtom::Resize(CAudioAtom* atom) { return atom; }
void CAudioAtom::SetPlayOnceMode(int on) { playOnceMode_ = on; }
int CAudioAtom::FinishedWithPlayOnce() { return 1; }
const tWAVEFORMATEX* CAudioAtom::AtomFormat() { return nullptr; }

void CAudioAtom::SetAtomName(const char* name) {
  std::strncpy(name_, name ? name : "", sizeof name_ - 1);
  name_[sizeof name_ - 1] = 0;
}

void CAudioAtom::GetNestedName(char* out, long max, int levels) {
  if (!out || max <= 0) return;
  out[0] = 0;
  CAudioAtom* chain[kMaxNestedNames];
  int n = 0;
  for (CAudioAtom* p = parent_; p && n < levels && n < kMaxNestedNames; p = p->Parent())
    chain[n++] = p;
  std::string text;
  auto append = [&](const std::string& piece) {
    if (static_cast<long>(text.size() + piece.size()) >= max) return false;
    text += piece;
    return true;
  };
  bool fits = true;
  for (int i = n - 1; i >= 0 && fits; --i)
    fits = append(std::string(chain[i]->GetAtomName()) + " : ");
  if (fits) append(name_);
  std::memcpy(out, text.c_str(), text.size() + 1);
}

int CAudioAtom::SaveAtomChunk(CRIFF* riff) {
  if (!riff) return 0;
  uint8_t chunk[kAtomChunkBytes] = {};
  StoreLE32(chunk, static_cast<uint32_t>(Length(0)));
  StoreLE32(chunk + 4, static_cast<uint32_t>(AbsoluteOffset()));
  std::memcpy(chunk + 8, name_, sizeof name_);
  StoreLE32(chunk + 520, kAtomChunkMarker);
  StoreLE32(chunk + 524, static_cast<uint32_t>(virtualDataStart_));
  StoreLE32(chunk + 528, chunkFlags_);
  return riff->WriteSubChunk(FourCC("atom"), chunk, sizeof chunk) && srcMap_.WriteMap(riff);
}

long CAudioAtom::SavedChunkBytes(int64_t dataBytes) {
  return static_cast<long>(8 + dataBytes + (dataBytes & 1));
}

long CAudioAtom::AtomChunkSaveSize() {
  return SavedChunkBytes(kAtomChunkBytes) + SavedChunkBytes(4 + srcMap_.MapSaveSize());
}

int CAudioAtom::LoadAtomChunk(CRIFF* riff) {
  if (!riff || !riff->SeekToChunk(FourCC("atom"), 1)) return 0;
  uint8_t chunk[kAtomChunkBytes] = {};
  if (riff->ReadCurrentSubChunk(chunk, sizeof chunk) < 520) return 0;
  absoluteOffset_ = static_cast<int32_t>(LoadLE32(chunk + 4));
  std::memcpy(name_, chunk + 8, sizeof name_);
  name_[sizeof name_ - 1] = 0;
  const uint32_t marker = LoadLE32(chunk + 520);
  virtualDataStart_ = 0;
  chunkFlags_ = 0;
  if (marker == kAtomChunkMarker || marker == kAtomChunkMarkerOld)
    virtualDataStart_ = static_cast<int32_t>(LoadLE32(chunk + 524));
  if (marker == kAtomChunkMarker) chunkFlags_ = LoadLE32(chunk + 528);
  const long length = static_cast<int32_t>(LoadLE32(chunk));
  SetVirtualLength(length);
  srcMap_.RemoveAllSimpleEvents(MAP_ALL);
  if (riff->SeekToChunk(FourCC("smap"), 1)) srcMap_.ReadMap(riff);
  if (srcMap_.NumEvents(-1) == 0) srcMap_.SetDefaultMap(length > 0 ? length : 1000, MAP_ALL);
  return 1;
}

void CAudioAtom::EnableMapCombining() { --gMapCombiningDisabled; }
void CAudioAtom::DisableMapCombining() { ++gMapCombiningDisabled; }
int CAudioAtom::MapCombiningEnabled() { return gMapCombiningDisabled.load() == 0 ? 1 : 0; }

void DeleteAtom(CAudioAtom** atom) {
  if (!atom || !*atom) return;
  if ((*atom)->DecReference() <= 0) {
    delete *atom;
    *atom = nullptr;
  }
}

int PlayAtomOnCurrentMixer(CAudioAtom* atom, long startMs) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  CPCMMixer* mixer = GetCurrentMixer();
  return mixer ? mixer->Play(atom, startMs, 0) : 0;
}
