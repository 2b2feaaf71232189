// Whether WMA can be read on this installation.
#pragma once

// 1 when the WMA library loads from the program directory with all its entry
// points, else 0. The library is unloaded again after the check.
int AC_SupportsWMA();
