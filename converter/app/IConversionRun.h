// One conversion run of the first instance.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/app/QueuedFile.h"

class CInstanceChannel;

class IConversionRun {
 public:
  virtual ~IConversionRun() = default;
  // Converts the queued files, and the files that other instances post into
  // the channel from entry `nextEntry` on, which the run fetches as they come
  // and advances `nextEntry` past. Returns when the run ends: the number of
  // files converted, or -1 when no run could be made.
  virtual int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
                      uint32_t& nextEntry) = 0;
  // Whether the user stopped the last run; the program then ends, and what
  // was handed off in that moment starts no further run.
  virtual bool UserCancelled() const = 0;
};
