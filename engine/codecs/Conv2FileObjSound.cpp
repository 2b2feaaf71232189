// The writer operations that take a sound. They answer "not possible" until
// sounds can be loaded; each then passes the sound's format, music
// information and decoder on to the operation that takes them.
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2FileObj.h"

int CConv2FileObj::Create(const char*, CConv2FileFormat*, CPCMSound*) { return 0; }

void CConv2FileObj::GetTargetFormat(CConv2FileFormat*, CConv2FileFormat*, CPCMSound*) {}

long CConv2FileObj::WriteTag(const char*, const char*, CPCMSound*) { return -1; }

void CConv2FileFormat::SmartCopy(unsigned short, const CConv2FileFormat*, CPCMSound*,
                                 CConv2FileObj*) {}
