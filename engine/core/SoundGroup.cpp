#include "engine/core/SoundGroup.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "engine/base/EngineErrors.h"
#include "engine/base/FileDates.h"
#include "engine/core/PCMSound.h"
#include "platform/LastError.h"
#include "platform/data/ByteOrder.h"
#include "platform/data/RefObj.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

// Of two atoms that a tree change asks to recombine, the one nearer the root.
CAudioAtom* Shallower(CAudioAtom* a, CAudioAtom* b) {
  if (!a) return b;
  if (!b) return a;
  return b->LevelsDeep() < a->LevelsDeep() ? b : a;
}

constexpr uint32_t kListGroup = FourCC("sgrp");
constexpr uint32_t kListSound = FourCC("sndc");
// The group information block: comments, creation time, marker, data size of
// the sub-groups, zero-filled to its stored size.
constexpr int kInfoBytes = 2152;
constexpr int kInfoCommentsAt = 0, kInfoTimeAt = 1024, kInfoMarkerAt = 1088, kInfoDataSizeAt = 1092;

uint32_t RateClass(uint32_t rate) {
  if (rate <= 11025) return 11025;
  if (rate >= 44100) return 44100;
  return 22050;
}
}  // namespace

CSoundGroup::CSoundGroup() {
  bestFormat_.wFormatTag = WAVE_FORMAT_PCM;
  bestFormat_.nChannels = 2;
  bestFormat_.nSamplesPerSec = 11025;
  bestFormat_.nAvgBytesPerSec = 22050;
  bestFormat_.nBlockAlign = 2;
  bestFormat_.wBitsPerSample = 8;
  bestFormat_.cbSize = 0;
  GetCurrentTimeString(creationTime_);
}

CSoundGroup::~CSoundGroup() {
  Lock lock(section_);
  while (atoms_.Count() > 0) {
    auto* atom = static_cast<CAudioAtom*>(atoms_.Index(atoms_.Count() - 1));
    atoms_.RemoveByIndex(atoms_.Count() - 1);
    atom->SetParent(nullptr);
    atom->SetLevelsDeep(0);
    DeleteAtom(&atom);
  }
}

int CSoundGroup::Type() { return kAtomGroup; }

int CSoundGroup::Play(long startMs) {
  if (startMs > Length(0) || Playing()) return 0;
  return PlayAtomOnCurrentMixer(this, startMs);
}

int CSoundGroup::Stop() {
  if (Playing()) SetMixerFlag(kMixerStopRequested);
  return 1;
}

void CSoundGroup::Mute(int on) {
  {
    Lock lock(section_);
    for (int i = 0; i < atoms_.Count(); ++i) static_cast<CAudioAtom*>(atoms_.Index(i))->Mute(on);
  }
  CAudioAtom::Mute(on);
}

long CSoundGroup::ComputeLength(int useRateMap) {
  if (atoms_.Count() == 0) return 0;
  long first = 0;
  atoms_.Index(0, &first);
  long end = first;
  for (int i = 0; i < atoms_.Count(); ++i) {
    long offset = 0;
    auto* atom = static_cast<CAudioAtom*>(atoms_.Index(i, &offset));
    end = std::max(end, offset + atom->Length(useRateMap));
  }
  return end - first;
}

long CSoundGroup::Length(int useRateMap) {
  Lock lock(section_);
  if (useRateMap) return ComputeLength(useRateMap);
  if (!lengthValid_) {
    cachedLength_ = ComputeLength(0);
    lengthValid_ = 1;
  }
  return cachedLength_;
}

void CSoundGroup::Scale(double factor) {
  DisableMapCombining();
  {
    Lock lock(section_);
    std::vector<CAudioAtom*> members;
    for (int i = 0; i < atoms_.Count(); ++i)
      members.push_back(static_cast<CAudioAtom*>(atoms_.Index(i)));
    // Walk so that no member is moved past one not yet moved.
    if (factor > 1.0) std::reverse(members.begin(), members.end());
    for (CAudioAtom* atom : members) {
      long offset = atom->AbsoluteOffset() - AbsoluteOffset();
      MoveSubAtom(atom, static_cast<long>(static_cast<double>(offset) * factor), 0, 0);
      atom->Scale(factor);
    }
  }
  EnableMapCombining();
  lengthValid_ = 0;
  CAudioAtom::Scale(factor);
}

void CSoundGroup::CombineWithSubMaps(TMapType kind, int recurse) {
  Lock lock(section_);
  for (int i = 0; i < atoms_.Count(); ++i) {
    auto* atom = static_cast<CAudioAtom*>(atoms_.Index(i));
    atom->CombineWithParentMap(kind);
    if (recurse) atom->CombineWithSubMaps(kind, recurse);
  }
}

CAudioAtom* CSoundGroup::AdjustToFirstMember(CAudioAtom* result) {
  if (atoms_.Count() == 0 || !CanAdjust()) return result;
  long first = 0;
  atoms_.Index(0, &first);
  if (first == 0) return result;
  atoms_.AdjustAllSortValues(-first);
  if (parent_) {
    CAudioAtom* moved = parent_->MoveSubAtom(this, OffsetInParent() + first, 1, 0);
    result = Shallower(result, moved);
  }
  UpdateSubAtomAbsoluteOffsets();
  return result;
}

bool CSoundGroup::CanTake(CAudioAtom* atom) {
  if (atom->Parent() && atom->Parent() != this) return false;
  if (atoms_.Member(atom)) return false;
  // A group inside itself would make every walk over the tree endless.
  for (CAudioAtom* p = this; p; p = p->Parent())
    if (p == atom) return false;
  return true;
}

CAudioAtom* CSoundGroup::AddSubAtom(CAudioAtom* atom, long offsetMs, int adjust, int resize) {
  if (!atom) return nullptr;
  Lock lock(section_);
  if (!CanTake(atom) || atoms_.AddSorted(atom, offsetMs) < 0) return nullptr;
  atom->SetLevelsDeep(levelsDeep_ + 1);
  atom->SetAbsoluteOffset(absoluteOffset_ + offsetMs);
  atom->SetParent(this);
  atom->AddReference();
  CAudioAtom* result = atom;
  long first = 0;
  atoms_.Index(0, &first);
  if (adjust && offsetMs != 0 && first > 0 && CanAdjust()) {
    result = AdjustToFirstMember(result);
  } else {
    atom->NotifyOfNewPosition();
    if (atom->Type() == kAtomGroup) static_cast<CSoundGroup*>(atom)->UpdateSubAtomAbsoluteOffsets();
  }
  if (resize) result = Shallower(result, Resize(atom));
  if (adjust) NotifyOfMemberChange();
  UpdateBestFormat(atom->AtomFormat(), 1);
  return result;
}

CAudioAtom* CSoundGroup::RemoveSubAtom(CAudioAtom* atom, int resize, int notify) {
  if (!atom) return nullptr;
  Lock lock(section_);
  CAudioAtom* result = atom;
  if (atoms_.Member(atom)) {
    // Only a member's format was counted in.
    UpdateBestFormat(atom->AtomFormat(), 0);
    atom->SetLevelsDeep(0);
    atoms_.Remove(atom);
    atom->SetParent(nullptr);
    atom->NotifyOfNewPosition();
    if (atom->References() <= 1) result = nullptr;  // goes with the group's reference
    DeleteAtom(&atom);
  }
  result = AdjustToFirstMember(result);
  if (resize) result = Shallower(result, Resize(this));
  if (notify) NotifyOfMemberChange();
  return result;
}

CAudioAtom* CSoundGroup::MoveSubAtom(CAudioAtom* atom, long offsetMs, int adjust, int resize) {
  if (!atom) return nullptr;
  Lock lock(section_);
  if (!atoms_.Member(atom)) return nullptr;
  atoms_.Remove(atom);
  UpdateBestFormat(atom->AtomFormat(), 0);
  CAudioAtom* result = AddSubAtom(atom, offsetMs, adjust, resize);
  if (!result) {
    // It could not be put back (memory): it leaves the group with its reference.
    atom->SetParent(nullptr);
    atom->SetLevelsDeep(0);
    DeleteAtom(&atom);
    lengthValid_ = 0;
    return nullptr;
  }
  atom->DecReference();  // adding took a second reference
  return result;
}

CAudioAtom* CSoundGroup::Resize(CAudioAtom* atom) {
  Lock lock(section_);
  const long previous = cachedLength_;
  lengthValid_ = 0;
  if (Length(0) == previous) return atom;
  NotifyOfNewLength();
  if (parent_) {
    CAudioAtom* higher = parent_->Resize(this);
    if (higher && higher->CanCombine()) return higher;
  }
  return this;
}

CAudioAtom* CSoundGroup::OffsetSubordinates(long deltaMs, int adjust, int resize) {
  if (deltaMs == 0) return this;
  Lock lock(section_);
  std::vector<std::pair<CAudioAtom*, long>> members;
  for (int i = 0; i < atoms_.Count(); ++i) {
    long offset = 0;
    auto* atom = static_cast<CAudioAtom*>(atoms_.Index(i, &offset));
    members.emplace_back(atom, offset);
  }
  CAudioAtom* result = nullptr;
  for (auto& [atom, offset] : members)
    result = Shallower(result, MoveSubAtom(atom, offset + deltaMs, adjust, 0));
  if (resize) result = Shallower(result, Resize(this));
  return result ? result : this;
}

void CSoundGroup::UpdateSubAtomAbsoluteOffsets() {
  Lock lock(section_);
  for (int i = 0; i < atoms_.Count(); ++i) {
    long offset = 0;
    auto* atom = static_cast<CAudioAtom*>(atoms_.Index(i, &offset));
    atom->SetAbsoluteOffset(absoluteOffset_ + offset);
    atom->NotifyOfNewPosition();
    if (atom->Type() == kAtomGroup) static_cast<CSoundGroup*>(atom)->UpdateSubAtomAbsoluteOffsets();
  }
}

int CSoundGroup::NumAtoms(int typeMask, int recursive) {
  Lock lock(section_);
  int n = 0;
  for (int i = 0; i < atoms_.Count(); ++i) {
    auto* atom = static_cast<CAudioAtom*>(atoms_.Index(i));
    if (atom->Type() & typeMask) ++n;
    if (recursive && atom->Type() == kAtomGroup)
      n += static_cast<CSoundGroup*>(atom)->NumAtoms(kAtomMaskAll, 1);
  }
  return n;
}

CAudioAtom* CSoundGroup::GetAtom(int index, long* offsetMs) {
  Lock lock(section_);
  if (index < 0 || index >= atoms_.Count()) return nullptr;
  return static_cast<CAudioAtom*>(atoms_.Index(index, offsetMs));
}

CAudioAtom* CSoundGroup::GetAtomBefore(long timeMs, int& index, long) {
  Lock lock(section_);
  if (atoms_.Count() == 0) return nullptr;
  long found = 0;
  return static_cast<CAudioAtom*>(atoms_.ElemBySortValue(timeMs, &index, &found));
}

int CSoundGroup::IsMember(CAudioAtom* atom) {
  Lock lock(section_);
  return atoms_.Member(atom) ? 1 : 0;
}

void CSoundGroup::SetPlayOnceMode(int on) {
  Lock lock(section_);
  playOnceMode_ = on;
  for (int i = 0; i < atoms_.Count(); ++i)
    static_cast<CAudioAtom*>(atoms_.Index(i))->SetPlayOnceMode(on);
}

int CSoundGroup::FinishedWithPlayOnce() {
  Lock lock(section_);
  for (int i = 0; i < atoms_.Count(); ++i)
    if (static_cast<CAudioAtom*>(atoms_.Index(i))->FinishedWithPlayOnce()) return 1;
  return 0;
}

const tWAVEFORMATEX* CSoundGroup::AtomFormat() { return &bestFormat_; }

void CSoundGroup::SubAtomMapsUpdated(TMapType) {}
int CSoundGroup::CanAdjust() { return 1; }

int CSoundGroup::UpdateBestFormat(const tWAVEFORMATEX* format, int adding) {
  if (!format || format->nSamplesPerSec == 0) return 0;
  Lock lock(section_);
  const uint16_t oldBits = bestFormat_.wBitsPerSample;
  const uint32_t oldRate = bestFormat_.nSamplesPerSec;
  const uint32_t rateClass = RateClass(format->nSamplesPerSec);
  const int delta = adding ? 1 : -1;
  (format->wBitsPerSample == 8 ? count8Bit_ : count16Bit_) += delta;
  (rateClass == 11025 ? count11k_ : rateClass == 22050 ? count22k_ : count44k_) += delta;
  count8Bit_ = std::max(count8Bit_, 0);
  count16Bit_ = std::max(count16Bit_, 0);
  count11k_ = std::max(count11k_, 0);
  count22k_ = std::max(count22k_, 0);
  count44k_ = std::max(count44k_, 0);
  if (adding) {
    bestFormat_.wBitsPerSample = std::max(bestFormat_.wBitsPerSample, format->wBitsPerSample);
    bestFormat_.nSamplesPerSec = std::max(bestFormat_.nSamplesPerSec, rateClass);
  } else {
    if (count16Bit_ == 0) bestFormat_.wBitsPerSample = 8;
    if (count44k_ == 0) bestFormat_.nSamplesPerSec = count22k_ > 0 ? 22050 : 11025;
  }
  bestFormat_.nBlockAlign =
      static_cast<uint16_t>(bestFormat_.nChannels * bestFormat_.wBitsPerSample / 8);
  bestFormat_.nAvgBytesPerSec = bestFormat_.nSamplesPerSec * bestFormat_.nBlockAlign;
  bestFormat_.cbSize = 0;
  if (auto* group = dynamic_cast<CSoundGroup*>(parent_)) group->UpdateBestFormat(format, adding);
  return (oldBits != bestFormat_.wBitsPerSample || oldRate != bestFormat_.nSamplesPerSec) ? 1 : 0;
}

void CSoundGroup::SetComments(const char* text) {
  std::strncpy(comments_, text ? text : "", sizeof comments_ - 1);
  comments_[sizeof comments_ - 1] = 0;
}

int CSoundGroup::PreLoad(CRIFF* riff) { return riff && riff->Descend(); }

int CSoundGroup::PostLoad(CRIFF* riff) {
  if (!riff || !riff->Ascend()) return 0;
  riff->SeekToNextChunk();
  return 1;
}

int CSoundGroup::Save(CRIFF* riff, int embed) {
  if (!riff) return 0;
  Lock lock(section_);
  uint8_t count[4];
  StoreLE32(count, static_cast<uint32_t>(atoms_.Count()));
  uint8_t info[kInfoBytes] = {};
  std::memcpy(info + kInfoCommentsAt, comments_, sizeof comments_);
  std::memcpy(info + kInfoTimeAt, creationTime_, sizeof creationTime_);
  StoreLE32(info + kInfoMarkerAt, kInfoMarker);
  // The field holds 32 bits; larger totals are stored as its largest value.
  const long dataSize = std::min<long>(DataSizeOfSubGroups(), UINT32_MAX);
  StoreLE32(info + kInfoDataSizeAt, static_cast<uint32_t>(dataSize));
  int ok = riff->WriteListChunkHeader(kListGroup) && SaveAtomChunk(riff) &&
           riff->WriteSubChunk(FourCC("sgdt"), count, sizeof count) &&
           riff->WriteSubChunk(FourCC("sgif"), info, sizeof info);
  for (int i = 0; ok && i < atoms_.Count(); ++i)
    ok = static_cast<CAudioAtom*>(atoms_.Index(i))->Save(riff, embed);
  ok = riff->Ascend() && ok;
  if (ok) {
    lastSavedNumAtoms_ = atoms_.Count();
    lastSavedDataSize_ = dataSize;
  }
  return ok;
}

long CSoundGroup::SaveSize(int embed) {
  Lock lock(section_);
  long size =
      kListHeaderBytes + AtomChunkSaveSize() + SavedChunkBytes(4) + SavedChunkBytes(kInfoBytes);
  for (int i = 0; i < atoms_.Count(); ++i)
    size += static_cast<CAudioAtom*>(atoms_.Index(i))->SaveSize(embed);
  return size;
}

long CSoundGroup::GetSavedSize(CRIFF*) { return kListHeaderBytes + SaveSize(0); }

long CSoundGroup::DataSizeOfSubGroups() {
  Lock lock(section_);
  long size = 0;
  for (int i = 0; i < atoms_.Count(); ++i) {
    auto* atom = static_cast<CAudioAtom*>(atoms_.Index(i));
    if (atom->Type() == kAtomGroup) {
      size += static_cast<CSoundGroup*>(atom)->DataSizeOfSubGroups();
    } else if (atom->Type() == kAtomSound) {
      CRefObj* source = static_cast<CPCMSound*>(atom)->GetRefObj();
      if (source && source->DataSize() > 0) size += static_cast<long>(source->DataSize());
    }
  }
  return size;
}

int CSoundGroup::Load(CRIFF* riff, int scanFlag, int buildPeaks, int buildSeekMap, int msPerPeak,
                      TLoadCallback callback, void* user) {
  _chunkInfo list{};
  if (!riff || !riff->GetCurrentChunkInfo(&list) || list.type != kListGroup || !PreLoad(riff))
    return 0;
  if (!LoadAtomChunk(riff)) {
    PostLoad(riff);
    return 0;
  }
  long members = 0;
  uint8_t word[4] = {};
  if (riff->SeekToChunk(FourCC("sgdt"), 1) && riff->ReadCurrentSubChunk(word, 4) == 4)
    members = static_cast<int32_t>(LoadLE32(word));
  if (riff->SeekToChunk(FourCC("sgif"), 1)) {
    uint8_t info[kInfoBytes] = {};
    riff->ReadCurrentSubChunk(info, sizeof info);
    std::memcpy(comments_, info + kInfoCommentsAt, sizeof comments_);
    comments_[sizeof comments_ - 1] = 0;
    std::memcpy(creationTime_, info + kInfoTimeAt, sizeof creationTime_);
    creationTime_[sizeof creationTime_ - 1] = 0;
    lastSavedDataSize_ =
        LoadLE32(info + kInfoMarkerAt) == kInfoMarker ? LoadLE32(info + kInfoDataSizeAt) : 0;
  }
  lastSavedNumAtoms_ = members;
  long loaded = 0;
  bool more = riff->SeekToLevelBeginning() != 0;
  while (more && loaded < members) {
    _chunkInfo ci{};
    if (!riff->GetCurrentChunkInfo(&ci)) break;
    if (ci.id == kFourCCList && (ci.type == kListSound || ci.type == kListGroup)) {
      ++loaded;
      SetLastError(0);
      if (!LoadSubAtom(riff, ci.type, scanFlag, buildPeaks, buildSeekMap, msPerPeak, callback,
                       user) &&
          GetLastError() == kErrStopLoading)
        break;
      continue;  // a member's load leaves the reader on the next chunk
    }
    more = riff->SeekToNextChunk() != 0;
  }
  return PostLoad(riff);
}

int CSoundGroup::LoadSubAtom(CRIFF* riff, uint32_t listType, int scanFlag, int buildPeaks,
                             int buildSeekMap, int msPerPeak, TLoadCallback callback, void* user) {
  CAudioAtom* atom = nullptr;
  if (listType == kListSound)
    atom = new (std::nothrow) CPCMSound;
  else if (listType == kListGroup)
    atom = new (std::nothrow) CSoundGroup;
  if (!atom) {
    riff->SeekToNextChunk();
    return 0;
  }
  if (!atom->Load(riff, scanFlag, buildPeaks, buildSeekMap, msPerPeak, callback, user)) {
    DeleteAtom(&atom);
    return 0;
  }
  atom->Add(this, atom->AbsoluteOffset() - AbsoluteOffset());
  DeleteAtom(&atom);  // the group holds it now
  return 1;
}
