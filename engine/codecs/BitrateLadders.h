// The bit rates (kbit/s, ascending) that writers snap a requested rate to.
#pragma once

#include <cstddef>

// The nearest entry of each ladder; a tie goes to the lower entry.
unsigned long FindMostNaturalMPEG1BitRate(unsigned long kbps);
unsigned long FindMostNaturalMPEG2XBitRate(unsigned long kbps);
unsigned long FindMostNaturalWMABitRate(unsigned long kbps);

// Snaps *kbps to the nearest entry and gives its neighbours: the entry at or
// above the value (upper), the one below (lower) and a value strictly between
// them that stands for the request (between).
void FindMostNaturalMPEG1BitRates(unsigned long* upper, unsigned long* lower,
                                  unsigned long* between, unsigned long* kbps);
void FindMostNaturalMPEG2XBitRates(unsigned long* upper, unsigned long* lower,
                                   unsigned long* between, unsigned long* kbps);

// A whole ladder, lowest entry first, for lists that offer its entries.
struct TBitrateLadder {
  const unsigned long* entries;
  size_t count;
};
TBitrateLadder MPEG1BitrateLadder();
TBitrateLadder MPEG2XBitrateLadder();
TBitrateLadder WMABitrateLadder();
