// Process identity for records shared between instances of the program.
#pragma once

#include <cstdint>

int32_t CurrentProcessId();
// Nonzero when a process with this id exists (also one of another user, which
// we may not signal). Ids below 1 never name a live process here.
int IsProcessAlive(int32_t pid);
