#include "engine/codecs/WaveConverter.h"

// Until the codec layer's drivers are wired in, every pair is mixed by the
// integer converter, and no estimate is made.
ACMObject* NewWaveConverter(const tWAVEFORMATEX*, const tWAVEFORMATEX*) { return nullptr; }

long WaveConverterConvert(ACMObject*, const unsigned char*, long, unsigned char*, long, int) {
  return -1;
}

void DeleteWaveConverter(ACMObject*& converter) { converter = nullptr; }

double EstimateWaveBytes(CConv2FileObj*, CConv2FileFormat*, const tWAVEFORMATEX*, double) {
  return 0.0;
}
