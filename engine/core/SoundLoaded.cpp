#include "engine/core/SoundLoaded.h"

#include <cstring>
#include <memory>
#include <new>

#include "engine/core/PCMSound.h"
#include "platform/data/FileObj.h"

namespace {
const std::string* FilePathOf(CPCMSound* sound) {
  CRefObj* source = sound ? sound->GetRefObj() : nullptr;
  if (!source || !(source->Type() & kRefObjFile)) return nullptr;
  auto* file = dynamic_cast<CFileObj*>(source);
  return file ? &file->GetPath() : nullptr;
}
}  // namespace

void CSoundLoaded::Add(CPCMSound* sound) {
  std::lock_guard<std::mutex> lock(lock_);
  if (sound && !sounds_.Member(sound)) sounds_.AppendToTail(sound, 0);
}

void CSoundLoaded::Remove(CPCMSound* sound) {
  std::lock_guard<std::mutex> lock(lock_);
  sounds_.Remove(sound);
}

CPCMSound* CSoundLoaded::Find(const char* path) {
  if (!path) return nullptr;
  std::lock_guard<std::mutex> lock(lock_);
  for (int i = 0; i < sounds_.Count(); ++i) {
    auto* sound = static_cast<CPCMSound*>(sounds_.Index(i));
    const std::string* p = FilePathOf(sound);
    if (p && *p == path) return sound;
  }
  return nullptr;
}

CMyArrayList* CSoundLoaded::Duplicates(CPCMSound* sound) {
  const std::string* path = FilePathOf(sound);
  if (!path) return nullptr;
  std::lock_guard<std::mutex> lock(lock_);
  std::unique_ptr<CMyArrayList> list;
  for (int i = 0; i < sounds_.Count(); ++i) {
    auto* other = static_cast<CPCMSound*>(sounds_.Index(i));
    if (other == sound) continue;
    const std::string* p = FilePathOf(other);
    if (!p || *p != *path) continue;
    if (!list) list.reset(new (std::nothrow) CMyArrayList);
    if (!list) return nullptr;
    list->AppendToTail(other, 0);
  }
  return list.release();  // the caller deletes the list
}

int CSoundLoaded::Count() {
  std::lock_guard<std::mutex> lock(lock_);
  return sounds_.Count();
}

CSoundLoaded* GetSoundRegistry() {
  // Made on first use, so that sounds made before or without engine start-up
  // are registered too; lives until the process ends.
  static CSoundLoaded* registry = new CSoundLoaded;
  return registry;
}

void AddTheSound(CPCMSound* sound) { GetSoundRegistry()->Add(sound); }
void RemoveTheSound(CPCMSound* sound) { GetSoundRegistry()->Remove(sound); }
CPCMSound* SoundExists(const char* path) { return GetSoundRegistry()->Find(path); }
CMyArrayList* GetDuplicateList(CPCMSound* sound) { return GetSoundRegistry()->Duplicates(sound); }
