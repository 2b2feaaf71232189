// Test-only: runs data through a stream of the codec registry.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/acm/Acm.h"

namespace acmtest {

// Converts `in` from src to dst, handing it over in pieces of `piece` bytes
// (0: all at once) and giving back what the stream leaves unused with the next
// piece; the last call carries ACM_STREAMCONVERTF_END, the others
// ACM_STREAMCONVERTF_BLOCKALIGN. `ok` turns false on any
// failure.
inline std::vector<uint8_t> ConvertAll(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                                       const std::vector<uint8_t>& in, size_t piece, bool* ok,
                                       uint32_t extraFlags = 0) {
  *ok = false;
  std::vector<uint8_t> out;
  HACMSTREAM stream = nullptr;
  if (acmStreamOpen(&stream, nullptr, src, dst, nullptr, 0, 0, 0) != MMSYSERR_NOERROR) return out;
  if (piece == 0) piece = std::max<size_t>(in.size(), 1);
  size_t at = 0;
  bool good = true;
  for (int guard = 0; guard < 1000000 && good; ++guard) {
    size_t len = std::min(piece, in.size() - at);
    bool last = at + len == in.size();
    uint32_t room = 0;
    if (acmStreamSize(stream, static_cast<uint32_t>(std::max<size_t>(len, 1)), &room,
                      ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
      room = 0;
    room += 4096;  // encoders and the rate converter may hold frames back
    std::vector<uint8_t> source(in.begin() + at, in.begin() + at + len);
    source.push_back(0);  // a valid pointer for an empty piece
    std::vector<uint8_t> dest(room);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = source.data();
    h.cbSrcLength = static_cast<uint32_t>(len);
    h.pbDst = dest.data();
    h.cbDstLength = room;
    if (acmStreamPrepareHeader(stream, &h, 0) != MMSYSERR_NOERROR) {
      good = false;
      break;
    }
    uint32_t flags = extraFlags | (last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN);
    if (acmStreamConvert(stream, &h, flags) != MMSYSERR_NOERROR) good = false;
    out.insert(out.end(), dest.begin(), dest.begin() + h.cbDstLengthUsed);
    acmStreamUnprepareHeader(stream, &h, 0);
    at += h.cbSrcLengthUsed;
    if (last && h.cbSrcLengthUsed == len) break;
    if (h.cbSrcLengthUsed == 0 && h.cbDstLengthUsed == 0 && !last) {
      // Not a whole block in this piece: hand over a bigger one.
      piece *= 2;
    }
  }
  acmStreamClose(stream, 0);
  *ok = good;
  return out;
}

// The PCM format a source suggests (16-bit, same rate and channels).
inline bool SuggestPcm(const tWAVEFORMATEX* src, tWAVEFORMATEX* pcm) {
  *pcm = tWAVEFORMATEX{};
  pcm->wFormatTag = WAVE_FORMAT_PCM;
  return acmFormatSuggest(nullptr, src, pcm, sizeof *pcm, ACM_FORMATSUGGESTF_WFORMATTAG) ==
         MMSYSERR_NOERROR;
}

}  // namespace acmtest
