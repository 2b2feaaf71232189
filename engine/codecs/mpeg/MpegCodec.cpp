#include "engine/codecs/mpeg/MpegCodec.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/codecs/mpeg/MpegDecoder.h"
#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

namespace {

constexpr int kOpenProbeBytes = 152;

int Probe(const char* contentType) {
  if (!contentType) return 0;
  for (const char* t : {"audio/mpeg", "audio/x-mpeg", "audio/x-mp3"})
    if (std::strcmp(contentType, t) == 0) return 1;
  return 0;
}

const MpegNamePattern kPatterns[] = {
    {"audio/mpeg", "MPEG audio"}, {"audio/x-mpeg", "MPEG audio"}, {"audio/x-mp3", "MPEG audio"}};

int Describe(MpegModuleInfo* info) {
  *info = MpegModuleInfo{"MPEG Audio Codec", "Version 1.2", "MP1, MP2, MP3", "MPEG 1 or 2 audio", 3,
                         kPatterns};
  return kMpegOk;
}

int New(MpegDecoder* host, void** instance) {
  auto* codec = new (std::nothrow) CMpegCodec(host);
  if (!codec) return kMpegErrorOutOfMemory;
  *instance = codec;
  return kMpegOk;
}

int Delete(void* instance) {
  delete static_cast<CMpegCodec*>(instance);
  return kMpegOk;
}

int Open(void* instance) { return static_cast<CMpegCodec*>(instance)->Open(); }
int Decode(void* instance, MpegOutputBlock* output, MpegStatusBlock* status) {
  return static_cast<CMpegCodec*>(instance)->Decode(output, status);
}

int Query(void*, int code, int64_t* value) {
  if (code != kMpegQueryMaxOutputBytes || !value) return kMpegErrorBadArgument;
  *value = kMpegCodecMaxOutputBytes;
  return kMpegOk;
}

const MpegCodecModule kModule = {
    kMpegModuleVersion, Probe, Describe, New, Delete, Open, Decode, Query, nullptr};

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

int Level(const FrameHeader& h) { return h.mpeg25 ? 3 : h.lsf ? 2 : 1; }

}  // namespace

const MpegCodecModule* MpegCodecModuleDescriptor() { return &kModule; }

CMpegCodec::CMpegCodec(MpegDecoder* host) : host_(host) { stream_.SetReader(ReadInput, this); }

int64_t CMpegCodec::ReadInput(void* context, uint8_t* buffer, int64_t size) {
  return MpegDecoderInputRead(static_cast<CMpegCodec*>(context)->host_, buffer, size);
}

void CMpegCodec::PublishFormat(const FrameHeader& h) {
  MpegDecoderSetPropertyInteger(host_, kPropertyMpegLevel, Level(h));
  MpegDecoderSetPropertyInteger(host_, kPropertyMpegLayer, h.layer);
  MpegDecoderSetPropertyInteger(host_, kPropertyMpegMode, h.mode);
}

int CMpegCodec::Open() {
  stream_.Reset();
  frameDecoder_.Reset();
  empty_ = false;
  startOffset_ = 0;
  framesSeen_ = 0;
  haveFormat_ = false;
  averageBitrate_ = 0;
  reportedBitrate_ = 0;
  int64_t gapless = 0;
  gapless_ = MpegDecoderGetPropertyInteger(host_, kPropertyMpegGapless, &gapless) == kMpegOk &&
             gapless != 0;
  produced_ = 0;
  trimStart_ = 0;
  keep_ = -1;
  // A streaming input may hold nothing yet; then the stream is examined
  // when frames are decoded.
  int r = stream_.Fill(kOpenProbeBytes);
  if (r < 0 && r != kMpegErrorEndOfInput && r != kMpegErrorNotEnoughData) return r;
  const uint8_t* p = stream_.Data();
  if (stream_.Buffered() >= 10 && std::memcmp(p, "ID3", 3) == 0 &&
      ((p[6] | p[7] | p[8] | p[9]) & 0x80) == 0) {
    int64_t tag =
        10 + (int64_t(p[6]) << 21 | int64_t(p[7]) << 14 | int64_t(p[8]) << 7 | int64_t(p[9]));
    if (p[5] & 0x10) tag += 10;  // footer
    int64_t size = MpegDecoderInputSize(host_);
    if (size > 0 && tag > size) {
      empty_ = true;
      return kMpegOk;
    }
    startOffset_ = tag;
    stream_.Skip(tag);
    r = stream_.Fill(kOpenProbeBytes);
    if (r < 0 && r != kMpegErrorEndOfInput && r != kMpegErrorNotEnoughData) return r;
  }
  // Publish the first header found in the opening bytes.
  FrameHeader h;
  p = stream_.Data();
  for (int64_t i = 0; i + 4 <= stream_.Buffered(); ++i)
    if (ParseFrameHeader(p + i, &h)) {
      PublishFormat(h);
      break;
    }
  return kMpegOk;
}

CMpegCodec::VbrHeader CMpegCodec::ReadVbrHeader(const FrameHeader& h, const uint8_t* frame) {
  VbrHeader v;
  if (h.layer != 3) return v;
  int at = 4 + (h.protection ? 2 : 0) + Layer3SideInfoBytes(h);
  if (at + 8 <= h.frameBytes &&
      (std::memcmp(frame + at, "Xing", 4) == 0 || std::memcmp(frame + at, "Info", 4) == 0)) {
    // Only a tag whose announced fields fit in the frame counts as one.
    uint32_t flags = Be32(frame + at + 4);
    int end = at + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) +
              ((flags & 8) ? 4 : 0);
    if (end > h.frameBytes) return v;
    v.present = true;
    if (flags & 1) v.frames = Be32(frame + at + 8);
    // The LAME extension follows: encoder delay and padding, 12 bits each, 21 bytes in.
    if (end + 24 <= h.frameBytes &&
        (std::memcmp(frame + end, "LAME", 4) == 0 || std::memcmp(frame + end, "Lavc", 4) == 0 ||
         std::memcmp(frame + end, "Lavf", 4) == 0)) {
      const uint8_t* p = frame + end + 21;
      v.delay = p[0] << 4 | p[1] >> 4;
      v.padding = (p[1] & 0x0F) << 8 | p[2];
    }
    return v;
  }
  constexpr int kVbriAt = 4 + 32, kVbriBytes = 26;
  if (kVbriAt + kVbriBytes <= h.frameBytes && std::memcmp(frame + kVbriAt, "VBRI", 4) == 0) {
    v.present = true;
    v.frames = Be32(frame + kVbriAt + 14);
  }
  return v;
}

int CMpegCodec::Decode(MpegOutputBlock* output, MpegStatusBlock* status) {
  if (empty_) return kMpegErrorEndOfInput;
  for (;;) {
    FrameHeader h;
    const uint8_t* frame = nullptr;
    int r = stream_.NextFrame(&h, &frame);
    if (r == kMpegErrorNotEnoughData) return kMpegErrorFrameAbandoned;
    if (r < 0) return r;
    if (framesSeen_++ == 0) {
      VbrHeader v = ReadVbrHeader(h, frame);
      if (v.present) {
        if (gapless_ && v.delay >= 0) {
          // The decoder's own delay of 529 samples comes on top of the encoder's.
          trimStart_ = v.delay + kMpegDecoderDelay;
          if (v.frames > 0)
            keep_ = std::max<int64_t>(0, v.frames * h.samplesPerFrame - v.delay - v.padding);
        }
        continue;
      }
    }

    int d = frameDecoder_.DecodeFrame(h, frame, static_cast<size_t>(h.frameBytes), pcm_);
    status->position = startOffset_ + stream_.Consumed();
    // A frame that cannot be decoded (inconsistent data, or main data that
    // reaches back before the first frame seen) gives no output at all.
    if (d < 0) {
      if (d == kFrameBadData) ++status->badFrames;
      return kMpegErrorFrameAbandoned;
    }

    if (!haveFormat_ || Level(h) != Level(format_) || h.layer != format_.layer ||
        h.mode != format_.mode || h.sampleRate != format_.sampleRate ||
        h.channels != format_.channels) {
      if (!haveFormat_ || Level(h) != Level(format_) || h.layer != format_.layer ||
          h.mode != format_.mode)
        PublishFormat(h);
      status->changes |= kMpegChangedFormat;
      haveFormat_ = true;
      format_ = h;
    }

    if (h.bitrateKbps > 0) {
      if (averageBitrate_ == 0) {
        averageBitrate_ = int64_t(h.bitrateKbps) << 10;
      } else {
        averageBitrate_ = SmoothBitrate(averageBitrate_, h.bitrateKbps);
      }
      int value = static_cast<int>((averageBitrate_ + 512) >> 10);
      int diff = value > reportedBitrate_ ? value - reportedBitrate_ : reportedBitrate_ - value;
      if (reportedBitrate_ == 0 || diff > reportedBitrate_ / 32) {
        reportedBitrate_ = value;
        status->changes |= kMpegChangedBitrate;
      }
    }
    status->bitrate = reportedBitrate_;
    ++status->frame;
    status->size = MpegDecoderInputSize(host_);
    if (reportedBitrate_ > 0) {
      // bytes * 8 / (kbit/s) is milliseconds
      status->elapsedMs = (status->position - startOffset_) * 8 / reportedBitrate_;
      status->remainingMs =
          status->size > 0
              ? (status->size > status->position ? status->size - status->position : 0) * 8 /
                    reportedBitrate_
              : -1;
    }

    int64_t first = produced_, last = produced_ + h.samplesPerFrame;
    produced_ = last;
    first = std::max(first, trimStart_);
    if (keep_ >= 0) last = std::min(last, trimStart_ + keep_);
    // A frame that is all encoder delay or padding decodes to no samples.
    last = std::max(first, last);
    int offset = static_cast<int>(first - (produced_ - h.samplesPerFrame));
    if (offset > 0 && last > first)
      std::memmove(pcm_, pcm_ + offset * h.channels,
                   sizeof(int16_t) * static_cast<size_t>((last - first) * h.channels));
    output->samples = pcm_;
    output->sampleCount = static_cast<int>(last - first);
    output->bytesPerSample = 2;
    output->channels = h.channels;
    output->sampleRate = h.sampleRate;
    return kMpegOk;
  }
}

}  // namespace mpegaudio
