#include "platform/acm/WidePcmDriver.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "platform/acm/SampleLayout.h"
#include "platform/acm/WidePcmConversion.h"

namespace {

struct TTag {
  uint16_t tag;
  uint32_t formatSize;
  const char* name;
};
constexpr TTag kTags[] = {
    {WAVE_FORMAT_IEEE_FLOAT, sizeof(tWAVEFORMATEX), "IEEE Float"},
    {WAVE_FORMAT_EXTENSIBLE, sizeof(tWAVEFORMATEXTENSIBLE), "Extensible"},
    {WAVE_FORMAT_PCM, sizeof(tWAVEFORMATEX), "PCM"},
};

// A source of this driver's, with the channels it decodes into.
bool ReadSource(const tWAVEFORMATEX* f, CSampleLayout* layout, uint16_t* dstChannels) {
  if (!layout->Read(f)) return false;
  if (!layout->extensible && layout->encoding == CSampleLayout::kInteger && layout->bytes <= 2 &&
      layout->channels <= 2)
    return false;
  *dstChannels = static_cast<uint16_t>(std::min(layout->channels, 2));
  return true;
}

}  // namespace

const char* CWidePcmDriver::ShortName() const { return "Wide PCM"; }
const char* CWidePcmDriver::LongName() const {
  return "Wide PCM and IEEE float to 16-bit PCM decoder";
}
int CWidePcmDriver::FormatTagCount() const { return static_cast<int>(std::size(kTags)); }

void CWidePcmDriver::FormatTagDetails(int index, ACMFORMATTAGDETAILSA* d) const {
  const TTag& t = kTags[std::clamp(index, 0, FormatTagCount() - 1)];
  d->dwFormatTag = t.tag;
  d->cbFormatSize = t.formatSize;
  d->fdwSupport = 0;
  d->cFormats = 1;
  acm::CopyName(d->szFormatTag, sizeof d->szFormatTag, t.name);
}

MMRESULT CWidePcmDriver::Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t,
                                 uint32_t flags) {
  CSampleLayout layout;
  uint16_t channels = 0;
  if (!ReadSource(src, &layout, &channels)) return ACMERR_NOTPOSSIBLE;
  tWAVEFORMATEX f;
  acm::MakePcm16(&f, layout.rate, channels);
  if (!acm::FixedFieldsAgree(&f, dst, flags)) return ACMERR_NOTPOSSIBLE;
  *dst = f;
  return MMSYSERR_NOERROR;
}

MMRESULT CWidePcmDriver::Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst,
                              CAcmConversion** out) {
  CSampleLayout layout;
  uint16_t channels = 0;
  if (!ReadSource(src, &layout, &channels) || !acm::IsPcm16(dst, layout.rate, channels))
    return ACMERR_NOTPOSSIBLE;
  if (!out) return MMSYSERR_NOERROR;
  *out = new (std::nothrow) CWidePcmConversion(layout, channels);
  return *out ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}
