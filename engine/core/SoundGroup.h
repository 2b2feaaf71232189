// The container of the atom tree: members sorted by their offset in
// milliseconds, one reference held on each, and the best format among the
// sounds inside (the format a mix of them needs to lose nothing).
#pragma once

#include <cstdint>

#include "engine/core/AudioAtom.h"
#include "engine/media/MyArrayList.h"

class CSoundGroup : public CAudioAtom {
 public:
  static constexpr uint32_t kInfoMarker = 0x1234567a;

  CSoundGroup();
  ~CSoundGroup() override;

  int Type() override;
  // A group file member: the list "sgrp" with the atom chunk, the source
  // envelope, the member count, the information block and the members.
  int Load(CRIFF* riff, int scanFlag, int buildPeaks, int buildSeekMap, int msPerPeak,
           TLoadCallback callback, void* user) override;
  int Save(CRIFF* riff, int embed) override;
  // The bytes Save writes: the group's list with all its members.
  long SaveSize(int embed) override;
  int PreLoad(CRIFF* riff) override;
  int PostLoad(CRIFF* riff) override;
  int Play(long startMs) override;
  int Stop() override;
  void Mute(int on) override;
  long Length(int useRateMap) override;
  void Scale(double factor) override;
  void CombineWithSubMaps(TMapType kind, int recurse) override;
  CAudioAtom* AddSubAtom(CAudioAtom* atom, long offsetMs, int adjust, int resize) override;
  CAudioAtom* RemoveSubAtom(CAudioAtom* atom, int resize, int notify) override;
  CAudioAtom* MoveSubAtom(CAudioAtom* atom, long offsetMs, int adjust, int resize) override;
  CAudioAtom* Resize(CAudioAtom* atom) override;
  void SetPlayOnceMode(int on) override;
  int FinishedWithPlayOnce() override;
  const tWAVEFORMATEX* AtomFormat() override;

  virtual void SubAtomMapsUpdated(TMapType kind);
  virtual int CanAdjust();
  // Counts format into (adding) or out of the best format; 1 when the best
  // bits or rate changed. Formats with rate 0 are ignored.
  virtual int UpdateBestFormat(const tWAVEFORMATEX* format, int adding);
  // Makes the member a list of this type describes and loads it; 0 when the
  // type is not a member's or the member fails to load.
  virtual int LoadSubAtom(CRIFF* riff, uint32_t listType, int scanFlag, int buildPeaks,
                          int buildSeekMap, int msPerPeak, TLoadCallback callback, void* user);

  CAudioAtom* OffsetSubordinates(long deltaMs, int adjust, int resize);
  void UpdateSubAtomAbsoluteOffsets();
  int NumAtoms(int typeMask, int recursive);
  CAudioAtom* GetAtom(int index, long* offsetMs);
  CAudioAtom* GetAtomBefore(long timeMs, int& index, long);
  int IsMember(CAudioAtom* atom);
  const tWAVEFORMATEX& BestFormat() const { return bestFormat_; }

  void SetComments(const char* text);
  const char* GetComments() const { return comments_; }
  const char* GetCreationTime() const { return creationTime_; }
  long LastSavedNumAtoms() const { return lastSavedNumAtoms_; }
  // The data size of the sound data below the group as its file stores it
  // (saved, or read back with the file).
  long LastSavedDataSize() const { return lastSavedDataSize_; }
  // The bytes of sound data below the group: every member sound's source
  // data and that of the sub-groups' sounds, which loading it reads.
  long DataSizeOfSubGroups();
  // The size of the group file that holds this group saved by reference
  // (Save(riff, 0) as the file's one list): the RIFF header and SaveSize(0).
  long GetSavedSize(CRIFF* riff);

 private:
  // Shifts the members so that the first starts at 0 and moves the group by
  // the same amount inside its parent; returns the atom to recombine.
  CAudioAtom* AdjustToFirstMember(CAudioAtom* result);
  // Whether atom may join: not a member yet, in no other group, and not this
  // group or one that contains it.
  bool CanTake(CAudioAtom* atom);
  long ComputeLength(int useRateMap);

  CMyArrayList atoms_;  // sort value: offset in ms
  long cachedLength_ = 0;
  int lengthValid_ = 0;
  char comments_[1024] = {};
  char creationTime_[64] = {};
  long lastSavedNumAtoms_ = -1;
  long lastSavedDataSize_ = 0;
  tWAVEFORMATEX bestFormat_{};
  int count8Bit_ = 0, count16Bit_ = 0;
  int count11k_ = 0, count22k_ = 0, count44k_ = 0;
};
