// File names on the clipboard. The utilities library has no display
// connection, so there are never any: callers that run a window read the
// clipboard through their toolkit.
#pragma once

// Always 0.
unsigned int NumFileNamesOnClipboard();
// Clears out (size bytes); there is no name to copy.
void GetFileNameFromClipboard(int index, char* out, int size);
