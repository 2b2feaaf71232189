// A node of the tree the mixer renders: a position in its parent, a reference
// count, the flags the mixer reads and two envelopes. The atom itself is its
// effective envelope (its own envelope combined with its parents'); the
// source envelope holds what was edited on the atom alone.
#pragma once

#include <cstdint>
#include <mutex>

#include "engine/core/Map.h"
#include "platform/WaveFormat.h"

class CRIFF;

enum TSoundStateCode : int32_t {
  SOUND_STATE_PLAYING = 0,
  SOUND_STATE_STOPPED = 2,
  SOUND_STATE_MUTED = 3,
  SOUND_STATE_UNMUTED = 4,
  SOUND_STATE_LOCKED = 6,
  SOUND_STATE_UNLOCKED = 7
};

// Mixer flags.
enum : uint32_t {
  kMixerMembershipChanged = 0x1,  // added to or removed from a group
  kMixerMapRecombined = 0x2,      // the effective envelope was rebuilt
  kMixerNewLength = 0x4,
  kMixerNewPosition = 0x10,  // the playing position must be recomputed
  kMixerStopRequested = 0x20
};

// Chunk flags, saved with the atom.
enum : uint32_t { kChunkMuted = 0x1, kChunkLocked = 0x2 };

// Type() values and the masks built from them.
enum : int {
  kAtomPlain = 1,
  kAtomGroup = 2,
  kAtomSound = 4,
  kAtomMaskAll = 30,     // every kind of member
  kAtomMaskAudio = 0x1c  // the kinds that carry audio
};

// Progress callback of loading: 0 aborts, -1 asks the caller to wait.
typedef int (*TLoadCallback)(unsigned long progress, void* user);

class CAudioAtom : public CMap {
 public:
  CAudioAtom();
  CAudioAtom(const CAudioAtom&) = delete;
  CAudioAtom& operator=(const CAudioAtom&) = delete;
  ~CAudioAtom() override;

  virtual CAudioAtom* Copy(long startMs, long lengthMs);
  virtual CAudioAtom* Copy();
  virtual int Type();
  virtual long DecReference();
  virtual void NotifyAtom(TSoundStateCode code, long timeMs);
  virtual int Load(CRIFF* riff, int scanFlag, int buildPeaks, int buildSeekMap, int msPerPeak,
                   TLoadCallback callback, void* user);
  virtual int Save(CRIFF* riff, int embed);
  virtual long SaveSize(int embed);
  virtual int PreSave(CRIFF* riff);
  virtual int PostSave(CRIFF* riff);
  virtual int PreLoad(CRIFF* riff);
  virtual int PostLoad(CRIFF* riff);
  virtual int Play(long startMs);
  virtual long CurrentPlayOffset();
  virtual int Playing();
  virtual int Stop();
  virtual void NotifyOfNewPosition();
  virtual void NotifyOfNewLength();
  virtual void Mute(int on);
  virtual void SetPlayMode(int mode, long timeMs);
  virtual long Length(int useRateMap);
  virtual void SetVirtualLength(long ms);
  virtual void Scale(double factor);
  virtual void CombineWithParentMap(TMapType kind);
  virtual void CombineWithSubMaps(TMapType kind, int recurse);
  virtual int CanCombine();
  virtual void NotifyOfMemberChange();
  virtual CAudioAtom* Add(CAudioAtom* group, long offsetMs);
  virtual CAudioAtom* Move(long offsetMs);
  virtual int Remove();
  virtual long AbsoluteOffset();
  virtual CAudioAtom* AddSubAtom(CAudioAtom* atom, long offsetMs, int adjust, int resize);
  virtual CAudioAtom* RemoveSubAtom(CAudioAtom* atom, int resize, int notify);
  virtual CAudioAtom* MoveSubAtom(CAudioAtom* atom, long offsetMs, int adjust, int resize);
  virtual CAudioAtom* Resize(CAudioAtom* atom);
  virtual void SetPlayOnceMode(int on);
  virtual int FinishedWithPlayOnce();
  // The format this atom contributes to its group's best format (a sound's
  // data format, a group's best format); null for atoms without audio.
  virtual const tWAVEFORMATEX* AtomFormat();

  long References() const { return references_; }
  void AddReference() { ++references_; }

  long LevelsDeep() const { return levelsDeep_; }
  void SetLevelsDeep(long levels) { levelsDeep_ = levels; }
  uint32_t MixerFlags() const { return mixerFlags_; }
  void SetMixerFlag(uint32_t flag) { mixerFlags_ |= flag; }
  void ClearMixerFlag(uint32_t flag) { mixerFlags_ &= ~flag; }
  int GetFlag(uint32_t flag) const { return (mixerFlags_ & flag) ? 1 : 0; }
  void NotifyOfNewMap() { newMap_ = playing_; }
  int HasNewMap() const { return newMap_; }
  void ClearNewMapFlag() { newMap_ = 0; }
  uint32_t GetChunkFlags() const { return chunkFlags_; }
  int Muted() const { return (chunkFlags_ & kChunkMuted) ? 1 : 0; }
  int Locked() const { return (chunkFlags_ & kChunkLocked) ? 1 : 0; }
  void SetLock(int on);
  int UsingMap() const { return usingMap_; }
  void UseMap(int on) { usingMap_ = on; }
  int InPlayOnceMode() const { return playOnceMode_; }

  void SetAtomName(const char* name);
  const char* GetAtomName() const { return name_; }
  // Names of up to min(levels, 10) ancestors, outermost first, each followed
  // by " : ", then the atom's own, stopping before a piece that would not fit.
  void GetNestedName(char* out, long max, int levels);

  CAudioAtom* Parent() const { return parent_; }
  void SetParent(CAudioAtom* parent) { parent_ = parent; }
  void SetAbsoluteOffset(long ms) { absoluteOffset_ = ms; }
  long OffsetInParent();
  void SetPrivateData(void* data) { privateData_ = data; }
  void* GetPrivateData() const { return privateData_; }
  CMap* GetSrcMap() { return &srcMap_; }
  double GetLastRateLength() const { return lastRateLength_; }
  void SetVirtualDataStart(long start) { virtualDataStart_ = start; }
  long GetVirtualDataStart() const { return virtualDataStart_; }

  std::recursive_mutex& Section() { return section_; }

  // The "atom" chunk (length, offset, name, virtual data start, chunk
  // flags) and the source envelope, as group files store them.
  static constexpr uint32_t kAtomChunkMarker = 0x12345679;
  static constexpr uint32_t kAtomChunkMarkerOld = 0x12345678;
  static constexpr int kAtomChunkBytes = 584;
  int SaveAtomChunk(CRIFF* riff);
  int LoadAtomChunk(CRIFF* riff);
  // The bytes SaveAtomChunk writes.
  long AtomChunkSaveSize();
  // The bytes a chunk of dataBytes takes in a RIFF file (header and pad
  // byte), and the header of a list or of the file itself.
  static long SavedChunkBytes(int64_t dataBytes);
  static constexpr long kListHeaderBytes = 12;

  // Envelope recombination is switched off while a tree is rearranged in
  // bulk; calls nest.
  static void EnableMapCombining();
  static void DisableMapCombining();
  static int MapCombiningEnabled();

 protected:
  // Recombines the atom that a tree change returned, when combining is on.
  static void Recombine(CAudioAtom* atom);

  std::recursive_mutex section_;
  long references_ = 1;
  long levelsDeep_ = 0;
  uint32_t mixerFlags_ = 0;
  int newMap_ = 0;
  uint32_t chunkFlags_ = 0;
  int playing_ = 0;
  int usingMap_ = 1;
  int playOnceMode_ = 0;
  char name_[512] = {};
  CAudioAtom* parent_ = nullptr;
  long absoluteOffset_ = 0;
  void* privateData_ = nullptr;
  CMap srcMap_;
  double lastRateLength_ = 0.0;
  long virtualDataStart_ = 0;
};

// Releases the caller's reference: destroys the atom and nulls the pointer
// with the last one; otherwise the pointer is left as it was. Null is ignored.
void DeleteAtom(CAudioAtom** atom);

// Starts an atom on the current mixer; 0 while there is no mixer to play it.
int PlayAtomOnCurrentMixer(CAudioAtom* atom, long startMs);
