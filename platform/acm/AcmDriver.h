// What a codec driver provides to the registry (Acm.h): the format tags it
// knows, format suggestions, and conversion streams between a pair of formats.
//
// Format records given to a driver are complete: 18 bytes and cbSize extra
// bytes behind them. A driver checks every field it relies on, since formats
// come from files, and refuses (ACMERR_NOTPOSSIBLE) what it cannot convert
// safely.
#pragma once

#include <cstdint>

#include "platform/acm/Acm.h"

// One open conversion. Only one thread uses a stream at a time.
class CAcmConversion {
 public:
  virtual ~CAcmConversion();
  // Converts from header->pbSrc/cbSrcLength into pbDst/cbDstLength and sets
  // cbSrcLengthUsed and cbDstLengthUsed. flags: ACM_STREAMCONVERTF_*.
  virtual MMRESULT Convert(ACMSTREAMHEADER* header, uint32_t flags) = 0;
  // See acmStreamSize.
  virtual MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) = 0;
  // Forgets held frames and running state.
  virtual void Reset() = 0;
  // See acmStreamMessage; none by default.
  virtual MMRESULT Message(uint32_t message, uintptr_t param1, uintptr_t param2);
};

class CAcmDriver {
 public:
  virtual ~CAcmDriver();
  virtual const char* ShortName() const = 0;
  virtual const char* LongName() const = 0;
  virtual int FormatTagCount() const = 0;
  // Tag number `index` (0 .. FormatTagCount() - 1): its tag, name, largest
  // record size and format count.
  virtual void FormatTagDetails(int index, ACMFORMATTAGDETAILSA* details) const = 0;
  // See acmFormatSuggest; dst holds dstSize bytes.
  virtual MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                           uint32_t flags) = 0;
  // ACMERR_NOTPOSSIBLE when the pair is not converted by this driver. With a
  // null `out` only the answer is given.
  virtual MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                        CAcmConversion** out) = 0;
};

// Helpers the drivers share.
namespace acm {

// Channels, rate and bits of a PCM record a driver can read or write.
bool IsUsablePcm(const tWAVEFORMATEX* f);
// 16-bit PCM with the given rate and channels.
bool IsPcm16(const tWAVEFORMATEX* f, uint32_t rate, uint16_t channels);
// A 16-bit PCM record for rate and channels, completed.
void MakePcm16(tWAVEFORMATEX* f, uint32_t rate, uint16_t channels);
// The fields a suggestion must keep from the caller's destination agree with
// the driver's proposal (the proposal's tag, channels, rate and bits).
bool FixedFieldsAgree(const tWAVEFORMATEX* proposal, const tWAVEFORMATEX* dst, uint32_t flags);
// Block size usual for block codecs at a rate: 256 bytes per channel up to
// 11025 Hz, 512 up to 22050 Hz, 1024 above.
uint16_t UsualBlockAlign(uint32_t rate, uint16_t channels);
// Tag details of a codec driver: index 0 its own tag, index 1 PCM.
void CodecTagDetails(int index, uint16_t tag, uint32_t formatSize, const char* name,
                     ACMFORMATTAGDETAILSA* details);
// Suggests 16-bit PCM of the source's rate and channels, honouring the fixed fields.
MMRESULT SuggestPcm16(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t flags);
// Copies at most size - 1 characters and terminates.
void CopyName(char* out, size_t size, const char* name);

}  // namespace acm
