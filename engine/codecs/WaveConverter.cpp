#include "engine/codecs/WaveConverter.h"

// Until the codec layer's drivers are wired in, every pair is mixed by the
// integer converter. The size estimate lives with the sound-taking writer
// operations (Conv2FileObjSound.cpp).
ACMObject* NewWaveConverter(const tWAVEFORMATEX*, const tWAVEFORMATEX*) { return nullptr; }

long WaveConverterConvert(ACMObject*, const unsigned char*, long, unsigned char*, long, int) {
  return -1;
}

void DeleteWaveConverter(ACMObject*& converter) { converter = nullptr; }
