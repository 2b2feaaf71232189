// Ctrl+C for the console front-end: the first interrupt is noted for the
// program to handle (as its Cancel command), not a sudden death.
#pragma once

namespace os {

void InstallInterruptHandler();
// True once per interrupt since the last call.
bool TakeInterrupt();

}  // namespace os
