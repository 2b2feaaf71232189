#include "engine/media/MP3Info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/base/EngineGlobals.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegHeader.h"
#include "platform/data/RefObj.h"
#include "utilities/strings/BoundedCopy.h"

static_assert(std::is_trivially_copyable_v<CMP3Info>, "CMP3Info is copied bytewise");

namespace {

// The decoder's parsed header (CMP3Info's own FrameHeader() is the reference frame's).
using Header = mpegaudio::FrameHeader;

constexpr int kScanWindow = 8192;
constexpr int kFramesToCheck = 10;
constexpr int kWalkWindow = 65536;
// Bit rates a frame count may imply, kbit/s: the range of the standards' tables.
constexpr double kLowestRate = 8.0;
constexpr double kHighestRate = 448.0;

// Reads len bytes at pos into buf; what could not be read is zeroed, so a
// short read never leaves older bytes behind. The bytes read.
int64_t ReadAt(CRefObj* source, int64_t pos, char* buf, int64_t len) {
  int64_t got = 0;
  if (source->Seek(pos, kSeekBegin)) got = source->Read(buf, len);
  if (got < 0) got = 0;
  if (got > len) got = len;
  std::memset(buf + got, 0, static_cast<size_t>(len - got));
  return got;
}

// The source seen through a window of one read, refilled whenever the four
// header bytes at a position are not all among the bytes the last read gave.
class HeaderWindow {
 public:
  HeaderWindow(CRefObj* source, int size) : source_(source), bytes_(size) {}
  // The header word at pos, or false when fewer than four bytes can be read there.
  bool At(int64_t pos, uint32_t* word) {
    if (pos < start_ || pos + 4 > start_ + count_) {
      start_ = pos;
      count_ = ReadAt(source_, pos, bytes_.data(), static_cast<int64_t>(bytes_.size()));
      if (count_ < 4) return false;
    }
    *word = mpegaudio::ReadHeaderWord(
        reinterpret_cast<const uint8_t*>(&bytes_[static_cast<size_t>(pos - start_)]));
    return true;
  }

 private:
  CRefObj* source_;
  std::vector<char> bytes_;
  int64_t start_ = 0, count_ = 0;
};

// A header the stream information measures: one the decoder's parser takes,
// with a bit rate from the table (free format is left to the loader).
bool Measurable(uint32_t word, Header* h) {
  return mpegaudio::ParseFrameHeader(word, h) && h->bitrateIndex != 0;
}

// Audio data holds patterns that pass for a header now and then; the first
// frame counts only when a header of the same stream follows it, or the file
// (or a tag begins there: ID3v1, ID3v2, APE). Otherwise a free-format
// stream, whose own headers never pass, would be measured from such a pattern.
bool FollowedByFrame(CRefObj* source, int64_t pos, const Header& h, int64_t fileSize) {
  const int64_t next = pos + h.frameBytes;
  if (next + 4 > fileSize) return next <= fileSize;
  char bytes[8];
  const int64_t got = ReadAt(source, next, bytes, std::min<int64_t>(8, fileSize - next));
  if (got < 4) return false;
  if (std::memcmp(bytes, "TAG", 3) == 0 || std::memcmp(bytes, "ID3", 3) == 0) return true;
  if (got == 8 && std::memcmp(bytes, "APETAGEX", 8) == 0) return true;
  Header n;
  return Measurable(mpegaudio::ReadHeaderWord(reinterpret_cast<const uint8_t*>(bytes)), &n) &&
         mpegaudio::HeadersCompatible(h, n);
}

}  // namespace

int CMP3Info::loadInfo(CRefObj* src) {
  tagSize = 0;
  tagType = TAG_NONE;
  if (!src) return kInfoNoSource;
  source = src;
  frameHeader = CFrameHeader();
  vbrHeader = CVBitRate();
  id3Tag = CId3Tag();
  hasVbrHeader = 0;
  variableBitrate = 0;
  tagged = 0;
  walkedFrames = -1;
  headerFrame = 0;
  headerFrames = -1;
  encoderDelay = -1;
  encoderPadding = -1;
  tagFrames = -1;

  int64_t start = src->Tell();
  if (start < 0) start = 0;
  fileSize = src->Seek(0, kSeekEnd) ? src->Tell() : 0;
  if (fileSize < 0) fileSize = 0;

  // An ID3v2 tag in front: its size has 7 bits in each of four bytes.
  int64_t scan = start;
  char id3[10];
  if (ReadAt(source, start, id3, sizeof id3) == sizeof id3 && std::memcmp(id3, "ID3", 3) == 0) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(id3 + 6);
    uint32_t size = (uint32_t(s[0] & 0x7F) << 21) | (uint32_t(s[1] & 0x7F) << 14) |
                    (uint32_t(s[2] & 0x7F) << 7) | (s[3] & 0x7F);
    if (start + 10 + int64_t(size) < fileSize) {
      tagSize = size;
      tagType = TAG_ID3_V2;
      scan = start + 10 + size;
    }
  }

  // The first ten valid frames give the stream's facts.
  bestBitrate = 0;
  bestSamplingRate = 1;
  bestChannels = 1;
  bestMode = 3;
  int64_t first = -1, reference = -1;
  Header firstHeader;
  HeaderWindow window(source, kScanWindow);
  int framesLeft = kFramesToCheck;
  int64_t pos = scan;
  uint32_t word = 0;
  while (pos < fileSize && window.At(pos, &word)) {
    Header h;
    if (!Measurable(word, &h) || (first < 0 && !FollowedByFrame(source, pos, h, fileSize))) {
      ++pos;
      continue;
    }
    if (first < 0) {
      first = reference = pos;
      firstHeader = h;
      bestBitrate = h.bitrateKbps;
    } else {
      if (h.bitrateKbps != firstHeader.bitrateKbps || h.mode != firstHeader.mode)
        variableBitrate = 1;
      if (h.bitrateKbps > bestBitrate) bestBitrate = h.bitrateKbps;
    }
    // The sampling rate is kept rounded to the CD family; a frame above it
    // becomes the reference.
    int frequency = h.sampleRate;
    if (frequency > bestSamplingRate) {
      bestSamplingRate = frequency > 22050 ? 44100 : frequency > 11025 ? 22050 : 11025;
      reference = pos;
    }
    if (h.mode < bestMode) bestMode = h.mode;
    if (bestMode != 3) bestChannels = 2;
    pos += h.frameBytes;
    if (--framesLeft == 0) break;
  }
  // The scan ends without a frame only where the source has no more bytes.
  if (first < 0) return kInfoNoFrames;

  char bytes[CId3Tag::kTagBytes];
  if (ReadAt(source, reference, bytes, 4) < 4) return kInfoNoFrames;
  frameHeader.loadHeader(bytes);
  if (!frameHeader.isValidHeader()) return kInfoNoFrames;
  dataStart = first;

  // The "Xing" header sits behind the first frame's side information (and
  // its CRC word, when the frame is protected).
  int64_t xing = dataStart + 4 + (firstHeader.protection ? 2 : 0) +
                 mpegaudio::Layer3SideInfoBytes(firstHeader);
  int got = static_cast<int>(ReadAt(source, xing, bytes, CVBitRate::kHeaderBytes));
  hasVbrHeader = vbrHeader.loadHeader(bytes, got);
  // Encoders mark the first frame "Xing" (variable rate) or "Info" (constant
  // rate) when it holds their stream header instead of audio.
  headerFrame =
      got >= 4 && (std::memcmp(bytes, "Xing", 4) == 0 || std::memcmp(bytes, "Info", 4) == 0);
  if (hasVbrHeader)
    headerFrames = vbrHeader.getNumberOfFrames();
  else if (headerFrame)
    headerFrames = CVBitRate::FrameCount(bytes, got);

  // A LAME tag behind the header frame's counts gives the encoder delay and
  // padding, read by the decoder's own parser so that both agree.
  if (headerFrame) {
    std::vector<char> frame(static_cast<size_t>(firstHeader.frameBytes));
    if (ReadAt(source, dataStart, frame.data(), firstHeader.frameBytes) == firstHeader.frameBytes) {
      mpegaudio::CMpegCodec::VbrHeader v = mpegaudio::CMpegCodec::ReadVbrHeader(
          firstHeader, reinterpret_cast<const uint8_t*>(frame.data()));
      encoderDelay = v.delay;
      encoderPadding = v.padding;
      tagFrames = v.frames > 0x7FFFFFFF ? -1 : static_cast<int32_t>(v.frames);
    }
  }

  // An ID3v1 tag ends the file.
  dataEnd = fileSize;
  if (fileSize >= CId3Tag::kTagBytes && ReadAt(source, fileSize - CId3Tag::kTagBytes, bytes,
                                               CId3Tag::kTagBytes) == CId3Tag::kTagBytes)
    tagged = id3Tag.loadTag(bytes);
  if (tagged) {
    dataEnd -= CId3Tag::kTagBytes;
    if (tagType == TAG_NONE) {
      tagType = TAG_ID3_V1;
      tagSize = CId3Tag::kTagBytes;
    }
  }
  if (dataEnd < dataStart) dataEnd = dataStart;

  if (HeaderFrameCount() < 0) WalkFrames();
  return kInfoOk;
}

void CMP3Info::WalkFrames() {
  Header first;
  HeaderWindow window(source, kWalkWindow);
  int64_t frames = 0;
  int64_t pos = dataStart;
  uint32_t word = 0;
  while (pos + 4 <= dataEnd && window.At(pos, &word)) {
    // Only frames of the stream's own version, layer and rate count.
    Header h;
    bool fits = Measurable(word, &h) && (frames == 0 || mpegaudio::HeadersCompatible(first, h));
    int length = fits ? h.frameBytes : 0;
    if (!fits || pos + length > dataEnd) {
      ++pos;
      continue;
    }
    if (frames == 0)
      first = h;
    else if (h.bitrateKbps != first.bitrateKbps || h.mode != first.mode)
      variableBitrate = 1;
    ++frames;
    pos += length;
  }
  // The encoder's header frame plays no audio.
  walkedFrames = headerFrame && frames > 0 ? frames - 1 : frames;
}

int CMP3Info::getID3InfoOnly(CRefObj* src) {
  if (!src) return 0;
  source = src;
  if (fileSize <= 0 && src->Seek(0, kSeekEnd)) fileSize = src->Tell();
  if (fileSize < 0) fileSize = 0;
  dataEnd = fileSize;
  char bytes[CId3Tag::kTagBytes];
  tagged = fileSize >= CId3Tag::kTagBytes && ReadAt(source, fileSize - CId3Tag::kTagBytes, bytes,
                                                    CId3Tag::kTagBytes) == CId3Tag::kTagBytes
               ? id3Tag.loadTag(bytes)
               : 0;
  if (tagged) {
    tagSize = CId3Tag::kTagBytes;
    tagType = TAG_ID3_V1;
  }
  return tagged;
}

void CMP3Info::getVersion(char* out) const {
  int layer = frameHeader.getLayer();
  const char* letters = layer == 1 ? "I" : layer == 2 ? "II" : layer == 3 ? "III" : "";
  char version[16];
  std::snprintf(version, sizeof version, "%g", static_cast<double>(frameHeader.getVersion()));
  CopyBounded(out, kVersionTextSize, std::string("MPEG ") + version + " Layer " + letters);
}

void CMP3Info::getGenre(char* out) const {
  CId3Tag tag = id3Tag;
  tag.genreString(out, 1);
}

int64_t CMP3Info::HeaderFrameCount() const {
  if (headerFrames <= 1) return -1;
  int spf = frameHeader.getSamplesPerFrame();
  int frequency = frameHeader.getFrequency();
  if (spf <= 0 || frequency <= 0) return -1;
  // A count that would make the bit rate impossible is not believed.
  double frames = headerFrames;
  double kbps = DataSize() * 8.0 * frequency / (frames * spf * 1000.0);
  if (kbps < kLowestRate || kbps > kHighestRate) return -1;
  return headerFrames;
}

int64_t CMP3Info::getNumberOfFrames() const {
  int64_t xing = HeaderFrameCount();
  if (xing > 0) return xing;
  if (walkedFrames >= 0) return walkedFrames;
  float size = GetAverageFrameSize();
  return size > 0 ? static_cast<int64_t>(DataSize() / size) : 0;
}

float CMP3Info::GetAverageFrameSize() const {
  int64_t frames = HeaderFrameCount();
  if (frames <= 0 && walkedFrames > 0) frames = walkedFrames;
  if (frames > 0 && DataSize() >= frames) return static_cast<float>(double(DataSize()) / frames);
  int frequency = frameHeader.getFrequency();
  if (frequency <= 0) return 0;
  // Bytes per frame: bit rate × samples per frame / 8 / sample rate.
  return static_cast<float>(frameHeader.getBitrate() * 1000.0 / frequency *
                            (frameHeader.getSamplesPerFrame() / 8));
}

int CMP3Info::getBitrate() const {
  // Constant-rate streams give their header's rate; variable ones the average.
  int64_t frames = hasVbrHeader ? HeaderFrameCount() : -1;
  if (frames <= 0 && variableBitrate && walkedFrames > 0) frames = walkedFrames;
  int k = frameHeader.getSamplesPerFrame() / 8;
  if (frames <= 1 || k <= 0) return frameHeader.getBitrate();
  float bytesPerFrame = static_cast<float>(double(DataSize()) / frames);
  return static_cast<int>(frameHeader.getFrequency() * double(bytesPerFrame) / (k * 1000.0));
}

int64_t CMP3Info::DecodedSamples(int64_t samples) const {
  if (!GetGaplessMP3Decoding() || encoderDelay < 0) return samples;
  // The decoder drops its own delay with the encoder's, and keeps only the
  // tag's frames less delay and padding when the tag counts them.
  int64_t decoded = std::max<int64_t>(0, samples - encoderDelay - mpegaudio::kMpegDecoderDelay);
  if (tagFrames > 0)
    decoded = std::min<int64_t>(
        decoded, std::max<int64_t>(0, int64_t(tagFrames) * frameHeader.getSamplesPerFrame() -
                                          encoderDelay - encoderPadding));
  return decoded;
}

int64_t CMP3Info::getLengthInMs() const {
  int64_t frames = HeaderFrameCount();
  if (frames <= 0) frames = walkedFrames;
  int frequency = frameHeader.getFrequency();
  if (frames >= 0 && frequency > 0) {
    int64_t samples = frames * frameHeader.getSamplesPerFrame();
    return DecodedSamples(samples) * 1000 / frequency;
  }
  int kbps = frameHeader.getBitrate();
  return kbps > 0 ? DataSize() * 8 / kbps : 0;
}

int CMP3Info::getLengthInSeconds() const { return static_cast<int>(getLengthInMs() / 1000); }
