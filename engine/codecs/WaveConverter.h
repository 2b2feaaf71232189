// What the WAV writer needs of the codec layer and of sounds: a converter from
// the PCM the mixer renders to the target's format, and the size estimate.
#pragma once

#include "platform/WaveFormat.h"

class ACMObject;
class CConv2FileFormat;
class CConv2FileObj;

// A converter for source -> target through the codec layer, or null when the
// layer has no driver for the pair (the writer then mixes with MixConvertPCM).
ACMObject* NewWaveConverter(const tWAVEFORMATEX* source, const tWAVEFORMATEX* target);
// Bytes of converted output, or -1.
long WaveConverterConvert(ACMObject* converter, const unsigned char* data, long length,
                          unsigned char* out, long outLength, int pass);
void DeleteWaveConverter(ACMObject*& converter);
// Loads the source opened in writer anew: target gets the actual format for
// the user's format, and the result is durationMs, or the source's length
// when durationMs is negative (0 when the source cannot be loaded).
double EstimateDurationMs(CConv2FileObj* writer, CConv2FileFormat* user, CConv2FileFormat* target,
                          double durationMs);
// The bytes a target file of `format` would take for the source opened in writer.
double EstimateWaveBytes(CConv2FileObj* writer, CConv2FileFormat* format,
                         const tWAVEFORMATEX* source, double durationMs);
