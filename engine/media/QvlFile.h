// Compilation files ("qvl"): a RIFF file of form "cdss" whose chunk "cdhd"
// holds the record version and the track count (32 bits each) and whose
// chunk "cdtr" holds the tracks, one music information record each.
#pragma once

#include <memory>
#include <vector>

#include "engine/media/TonalisMusicInfo.h"

class CRefObj;

using TTrackRecords = std::vector<std::unique_ptr<TONALIS_CMusicInfo>>;

enum class TQvlReadResult { kRead, kNotRiff, kBadHeader };

// Appends the records of the compilation file in obj. A file without
// "cdhd" or "cdtr" holds no records; the count is bounded by what "cdtr"
// holds, and a record cut short by the chunk's end is left out.
TQvlReadResult ReadQvlRecords(CRefObj* obj, TTrackRecords* records);

// Writes the records as a compilation file of version 5 into obj; false
// when a write fails.
bool WriteQvlRecords(CRefObj* obj, const TTrackRecords& records);
