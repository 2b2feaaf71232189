// Which targets can be written, by the outside libraries found at run time:
// an MP3 encoder with the BladeEnc interface (two are known by file name)
// and the WMA library. WAV is always available.
#pragma once

#include <cstdint>

class CWmaGlue;

enum _tMP3EncoderDllTypedef : int32_t {
  MP3_ENCODER_LAME = 0,
  MP3_ENCODER_BLADE = 1,
  MP3_ENCODER_NOT_ASSIGNED = 2
};

void DetermineConvertersAvailable(_tMP3EncoderDllTypedef preferred, void* mp3Format);
int ConversionToMP3Allowed();
int ConversionToWMAAllowed();
int IntegratedMP3Allowed();
void GetConvertersAvailable(int* flags);
void GetConvertersAvailable(int* count, int* flags);
int GetMP3EncoderArraySize();
void GetMP3EncodersAvailable(int* flags);
_tMP3EncoderDllTypedef GetMP3Encoder();
bool SetMP3Encoder(_tMP3EncoderDllTypedef encoder);
void GetMP3EncoderNamesAndAvailablity(char** names, unsigned maxLen, int* available);
void GetMP3EncoderMenuInfo(_tMP3EncoderDllTypedef* current, int* count, char** names,
                           unsigned maxLen, int* available);
int FreeConversionLibraries();
// 1 when the WMA library could be loaded for decoding (only when the platform reads WMA).
int LoadLibraryWMADecoder();
int WMADecodingAvailable();
// The WMA library with its entry points: loaded for decoding (as
// LoadLibraryWMADecoder does) or for writing (loaded when it is not, without
// asking whether the platform reads WMA); null when it cannot be loaded.
const CWmaGlue* WMADecoderLibrary();
const CWmaGlue* WMAWriterLibrary();

// The MP3 writers' loader: encoder e's library, loaded from the program
// directory when it is not yet; false when it cannot be.
bool LoadMP3EncoderLibrary(int encoder);
// An entry point of encoder e's loaded library, or null.
void* MP3EncoderSymbol(int encoder, const char* name);

// The file name of an encoder's library in the program directory.
const char* MP3EncoderLibraryName(int encoder);
