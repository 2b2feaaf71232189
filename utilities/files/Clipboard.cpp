#include "utilities/files/Clipboard.h"

unsigned int NumFileNamesOnClipboard() { return 0; }

void GetFileNameFromClipboard(int /*index*/, char* out, int size) {
  if (out != nullptr && size > 0) out[0] = '\0';
}
