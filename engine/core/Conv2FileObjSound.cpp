// The writer operations that take a sound: each passes the sound's format,
// music information, decoder or source on to the operation that takes them.
#include <new>

#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/WaveConverter.h"
#include "engine/core/PCMSound.h"

int CConv2FileObj::Create(const char* path, CConv2FileFormat* format, CPCMSound* sound) {
  if (!sound || !sound->Format()) return 0;
  return Create(path, format, sound->Format());
}

void CConv2FileObj::GetTargetFormat(CConv2FileFormat* out, CConv2FileFormat* user,
                                    CPCMSound* sound) {
  if (!sound || !sound->Format()) return;
  // A decoded source is judged by its compressed format, which is what the
  // file holds; plain PCM by its own.
  const tWAVEFORMATEX* source = sound->GetACMObj() ? sound->ActualFormat() : sound->Format();
  GetTargetFormat(out, user, source, sound->GetMusicInfo(), sound->GetACMObj());
}

long CConv2FileObj::WriteTag(const char* targetPath, const char* softwareName, CPCMSound* sound) {
  if (!sound) return -1;
  CRefObj* source = sound->GetRefObj();
  auto* file = source && (source->Type() & kRefObjFile) ? dynamic_cast<CFileObj*>(source) : nullptr;
  return WriteTag(targetPath, softwareName, sound->GetMusicInfo(), file);
}

void CConv2FileFormat::SmartCopy(unsigned short tag, const CConv2FileFormat* user, CPCMSound* sound,
                                 CConv2FileObj* writer) {
  if (!sound || !sound->Format()) return;
  SmartCopy(tag, user, sound->Format(), writer, sound->GetMusicInfo(), sound->GetACMObj());
}

double EstimateDurationMs(CConv2FileObj* writer, CConv2FileFormat* user, CConv2FileFormat* target,
                          double durationMs) {
  if (!writer || !target) return 0.0;
  auto* sound = new (std::nothrow) CPCMSound;
  if (!sound) return 0.0;
  writer->Seek(0, kSeekBegin);
  const int loaded = sound->InitialLoad(writer, 2000, 0, 0, 0, 0, 20, nullptr, nullptr);
  double duration = 0.0;
  if (loaded) {
    duration = durationMs >= 0.0 ? durationMs : static_cast<double>(sound->Length(0));
    writer->GetTargetFormat(target, user, sound);
  }
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  return duration;
}

double EstimateWaveBytes(CConv2FileObj* writer, CConv2FileFormat* format, const tWAVEFORMATEX*,
                         double durationMs) {
  CConv2FileFormat target(WAVE_FORMAT_PCM);
  const double duration = EstimateDurationMs(writer, format, &target, durationMs);
  return duration * 0.001 * target.nAvgBytesPerSec;
}
