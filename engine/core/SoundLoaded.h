// The registry of live sounds, so that sounds over the same file can be
// found. Every CPCMSound enters it when constructed and leaves it in Unload.
#pragma once

#include <mutex>

#include "engine/media/MyArrayList.h"

class CPCMSound;

class CSoundLoaded {
 public:
  void Add(CPCMSound* sound);
  void Remove(CPCMSound* sound);
  // The first registered sound whose source is a file with exactly this path.
  CPCMSound* Find(const char* path);
  // Every other registered sound over the same file as sound; null when
  // there is none or its source is not a file. The caller deletes the list.
  CMyArrayList* Duplicates(CPCMSound* sound);
  int Count();

 private:
  std::mutex lock_;
  CMyArrayList sounds_;
};

// The engine's one registry.
CSoundLoaded* GetSoundRegistry();

void AddTheSound(CPCMSound* sound);
void RemoveTheSound(CPCMSound* sound);
CPCMSound* SoundExists(const char* path);
CMyArrayList* GetDuplicateList(CPCMSound* sound);
