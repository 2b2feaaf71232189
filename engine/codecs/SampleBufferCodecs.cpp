// The sample-buffer helpers that depend on the decoder object.
#include "engine/base/SampleBuffer.h"
#include "engine/codecs/ACMObject.h"

long BlockSize(const tWAVEFORMATEX* format, ACMObject* decoder) {
  if (decoder) return decoder->BlockSize(format);
  return format ? format->nBlockAlign : 0;
}

int IsPCMOrACM(ACMObject* decoder) { return !decoder || decoder->IsACM() != 0; }
