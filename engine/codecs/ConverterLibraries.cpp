#include "engine/codecs/ConverterLibraries.h"

#include <cstring>
#include <mutex>
#include <string>

#include "engine/base/EngineGlobals.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2MP3.h"
#include "engine/codecs/ConversionTypes.h"
#include "platform/os/SharedLibrary.h"
#include "platform/outside/BladeEnc.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/wma/SupportsWma.h"
#include "platform/wma/WmaGlue.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {

struct EncoderRow {
  const char* library;
  const char* nameKey;
};
const EncoderRow kEncoders[3] = {{"Lame_enc.so", "IDS_STRING_LAME"},
                                 {"BladeEnc.so", "IDS_STRING_BLADE"},
                                 {nullptr, "IDS_STRING_NOT_ASSIGNED"}};

// The current encoder and the WMA-decoding flag are engine-wide values
// (EngineGlobals.h), reset at engine start-up; only the loaded libraries and
// the encoders' availability live here.
os::SharedLibrary encoderLibraries[2];
int encoderAvailable[2] = {0, 0};
CWmaGlue wmaDecoding, wmaWriting;
// Files converted at once load and look up the libraries from several
// threads: a load never overlaps another's load, look-up or unload.
std::recursive_mutex libraryLock;
using LibraryGuard = std::lock_guard<std::recursive_mutex>;

_tMP3EncoderDllTypedef CurrentEncoder() {
  int value = GetCurrentMP3EncoderValue();
  return value == MP3_ENCODER_LAME || value == MP3_ENCODER_BLADE
             ? static_cast<_tMP3EncoderDllTypedef>(value)
             : MP3_ENCODER_NOT_ASSIGNED;
}
void SetCurrentEncoder(_tMP3EncoderDllTypedef e) { SetCurrentMP3EncoderValue(e); }

std::string EngineText(const char* key, size_t max) {
  std::string s = TonalisLoadKeyed(key);
  if (s.size() > max) s.resize(max);
  return s;
}

bool LoadEncoder(int e) {
  LibraryGuard guard(libraryLock);
  if (encoderLibraries[e].IsLoaded()) return true;
  return encoderLibraries[e].Load(CompanionLibrary(kEncoders[e].library));
}

// The version record begins with four bytes: library major and minor,
// engine major and minor.
std::string VersionText(int e) {
  auto version = reinterpret_cast<BEVERSION>(encoderLibraries[e].Symbol("beVersion"));
  if (!version) return "";
  BE_VERSION record{};
  version(&record);
  return FormatKeyed("IDS_STRING_BLADE_VERSION", EngineText("IDS_STRING_BLADE_VERSION", 59),
                     {record.byDLLMajorVersion, record.byDLLMinorVersion, record.byMajorVersion,
                      record.byMinorVersion});
}

}  // namespace

bool LoadMP3EncoderLibrary(int encoder) {
  return encoder >= 0 && encoder < 2 && LoadEncoder(encoder);
}

void* MP3EncoderSymbol(int encoder, const char* name) {
  LibraryGuard guard(libraryLock);
  return encoder >= 0 && encoder < 2 ? encoderLibraries[encoder].Symbol(name) : nullptr;
}

const char* MP3EncoderLibraryName(int encoder) {
  return encoder >= 0 && encoder < 2 ? kEncoders[encoder].library : nullptr;
}

void DetermineConvertersAvailable(_tMP3EncoderDllTypedef preferred, void* mp3Format) {
  LibraryGuard guard(libraryLock);
  SetCurrentEncoder(preferred);
  for (int e = 0; e < 2; ++e) {
    // A handle of the probe's own: one a writer holds stays as it is.
    os::SharedLibrary probe;
    if (encoderLibraries[e].IsLoaded() || probe.Load(CompanionLibrary(kEncoders[e].library))) {
      encoderAvailable[e] = 1;
      if (CurrentEncoder() == MP3_ENCODER_NOT_ASSIGNED)
        SetCurrentEncoder(static_cast<_tMP3EncoderDllTypedef>(e));
    }
  }
  const _tMP3EncoderDllTypedef current = CurrentEncoder();
  bool currentAvailable = current < 2 && encoderAvailable[current];
  if (!currentAvailable) {
    for (int e = 0; e < 2; ++e)
      if (encoderAvailable[e]) {
        SetCurrentEncoder(static_cast<_tMP3EncoderDllTypedef>(e));
        // The record is brought into the new encoder's reach.
        if (mp3Format) {
          CConv2FileObj* writer = NewCConv2FileObj(FILE_CONVERSION_MP3, e);
          if (auto* mp3 = dynamic_cast<CConv2MP3*>(writer))
            mp3->UpdateSettingsAfterEncoderChange(static_cast<CConv2FileFormat*>(mp3Format));
          CRefObj* made = writer;
          DeleteRefObject(&made);
        }
        break;
      }
  }
  if (LoadLibraryWMADecoder()) {
    SetWMADecodingAvailable(1);
    wmaDecoding.Unload();
  }
  if (wmaWriting.IsLoaded() || wmaWriting.Load()) {
    SetConversionAvailable(FILE_CONVERSION_WMA, 1);
    wmaWriting.Unload();
  }
  SetConversionAvailable(FILE_CONVERSION_MP3, ConversionToMP3Allowed());
}

int ConversionToMP3Allowed() { return encoderAvailable[0] || encoderAvailable[1] ? 1 : 0; }
int ConversionToWMAAllowed() { return IsConversionAvailable(FILE_CONVERSION_WMA); }
int IntegratedMP3Allowed() { return 1; }

void GetConvertersAvailable(int* flags) {
  if (!flags) return;
  for (int t = 0; t < FILE_CONVERSION_NONE; ++t) flags[t] = IsConversionAvailable(t);
}

void GetConvertersAvailable(int* count, int* flags) {
  if (count) *count = FILE_CONVERSION_NONE;
  GetConvertersAvailable(flags);
}

int GetMP3EncoderArraySize() { return 3; }

void GetMP3EncodersAvailable(int* flags) {
  if (!flags) return;
  flags[0] = encoderAvailable[0];
  flags[1] = encoderAvailable[1];
}

_tMP3EncoderDllTypedef GetMP3Encoder() { return CurrentEncoder(); }

bool SetMP3Encoder(_tMP3EncoderDllTypedef e) {
  if (e != MP3_ENCODER_LAME && e != MP3_ENCODER_BLADE) return false;
  LibraryGuard guard(libraryLock);
  if (e == CurrentEncoder() && encoderLibraries[e].IsLoaded()) return true;
  if (!encoderAvailable[e]) return false;
  SetCurrentEncoder(e);
  return true;
}

void GetMP3EncoderNamesAndAvailablity(char** names, unsigned maxLen, int* available) {
  LibraryGuard guard(libraryLock);
  std::string notAvailable = EngineText("IDS_STRING_NOT_AVAILABLE", 63);
  for (int e = 0; e < 2; ++e) {
    std::string name = EngineText(kEncoders[e].nameKey, 63);
    if (encoderAvailable[e]) {
      bool loadedHere = !encoderLibraries[e].IsLoaded() && LoadEncoder(e);
      name += VersionText(e).substr(0, 319);
      if (loadedHere) encoderLibraries[e].Unload();
    } else {
      name += notAvailable;
    }
    if (name.size() > 384) name.resize(384);
    if (names && names[e] && maxLen > 0) CopyBounded(names[e], maxLen, name);
    if (available) available[e] = encoderAvailable[e];
  }
  if (names && names[2] && maxLen > 0)
    CopyBounded(names[2], maxLen < 64 ? maxLen : 64, EngineText("IDS_STRING_NOT_ASSIGNED", 63));
  if (available) available[2] = 0;
}

void GetMP3EncoderMenuInfo(_tMP3EncoderDllTypedef* current, int* count, char** names,
                           unsigned maxLen, int* available) {
  if (current) *current = CurrentEncoder();
  if (count) *count = 3;
  GetMP3EncoderNamesAndAvailablity(names, maxLen, available);
}

int FreeConversionLibraries() {
  LibraryGuard guard(libraryLock);
  bool ok = true;
  const _tMP3EncoderDllTypedef current = CurrentEncoder();
  if (current < 2 && encoderLibraries[current].IsLoaded())
    ok = encoderLibraries[current].Unload() && ok;
  wmaDecoding.Unload();
  wmaWriting.Unload();
  return ok ? 1 : 0;
}

int LoadLibraryWMADecoder() {
  LibraryGuard guard(libraryLock);
  if (AC_SupportsWMA() == 1 && !wmaDecoding.IsLoaded()) wmaDecoding.Load();
  return wmaDecoding.IsLoaded() ? 1 : 0;
}

int WMADecodingAvailable() { return GetWMADecodingAvailable(); }

const CWmaGlue* WMADecoderLibrary() { return LoadLibraryWMADecoder() ? &wmaDecoding : nullptr; }

const CWmaGlue* WMAWriterLibrary() {
  LibraryGuard guard(libraryLock);
  if (!wmaWriting.IsLoaded()) wmaWriting.Load();
  return wmaWriting.IsLoaded() ? &wmaWriting : nullptr;
}
