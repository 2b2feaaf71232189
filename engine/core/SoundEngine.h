// Start and stop of the sound engine: the engine thread that services the
// current mixer for device playback and recording, the engine-wide mixer
// lock, the current mixer and the sound registry.
//
// The mixer is a unit of its own: it plugs into the engine thread through
// SetMixerService, which gives the one pass the thread runs over the current
// mixer. The sound registry (SoundLoaded.h) lives for the whole process;
// start-up only makes sure it exists.
#pragma once

#include <mutex>

typedef void* HINSTANCE;
class CPCMMixer;

// Starts the engine: resets the engine-wide values, makes the sound registry,
// starts the engine thread and sets the engine's strings file. 1 on success
// (also when the engine already runs), 0 when the thread cannot be started.
int SoundEngineStartup(HINSTANCE instance = nullptr);
// Stops and joins the engine thread. Called by
// itself at process exit after a successful start-up.
void SoundEngineShutdown();
int SoundEngineRunning();
HINSTANCE GetEngineModuleHandle();

// The current mixer, read and set under the mixer lock.
void SetCurrentMixer(CPCMMixer* mixer);
CPCMMixer* GetCurrentMixer();
// The engine-wide mixer lock (recursive). It orders the engine thread's
// passes against the callers' mixer operations.
std::recursive_mutex& GetMixerLock();

// One pass of the engine thread over the current mixer (Idle, recording,
// Mix, Close as the mixer decides), called under the mixer lock whenever a
// current mixer is set. Returns nonzero when it played or recorded anything:
// the thread then comes back after 1 ms instead of 20 ms.
using TMixerService = int (*)(CPCMMixer* mixer);
void SetMixerService(TMixerService service);
