#include "engine/codecs/mpeg/MpegStream.h"

#include <algorithm>
#include <cstring>

#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

namespace {

constexpr int64_t kCapacity = 4 * CMpegStream::kMaxFreeFormatBytes;

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

CMpegStream::CMpegStream() : buffer_(static_cast<size_t>(kCapacity)) {}

void CMpegStream::SetReader(ReadFn read, void* context) {
  read_ = read;
  context_ = context;
  exactReads_ = false;
  Reset();
}

void CMpegStream::Reset() {
  begin_ = end_ = 0;
  pendingSkip_ = 0;
  consumed_ = 0;
  junk_ = 0;
  eof_ = false;
  synced_ = false;
  ref_ = FrameHeader{};
  freeBytes_ = 0;
}

void CMpegStream::Skip(int64_t n) {
  if (n > 0) pendingSkip_ += n;
}

void CMpegStream::Drop(int64_t n) {
  begin_ += n;
  consumed_ += n;
  if (begin_ == end_) begin_ = end_ = 0;
}

void CMpegStream::DropJunk(int64_t n) {
  junk_ += n;
  synced_ = false;
  Drop(n);
}

int CMpegStream::Fill(int64_t n) {
  for (;;) {
    if (pendingSkip_ > 0) {
      int64_t d = std::min(pendingSkip_, Buffered());
      pendingSkip_ -= d;
      Drop(d);
    }
    if (pendingSkip_ == 0 && Buffered() >= n) return kMpegOk;
    if (eof_) return kMpegErrorEndOfInput;
    if (n > kCapacity || !read_) return kMpegErrorBadArgument;
    int64_t need = pendingSkip_ > 0 ? pendingSkip_ : n - Buffered();
    if (begin_ > 0 && kCapacity - end_ < std::min(need, kCapacity - Buffered())) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, static_cast<size_t>(Buffered()));
      end_ -= begin_;
      begin_ = 0;
    }
    int64_t room = kCapacity - end_;
    // Large reads unless the source refuses requests larger than it holds
    // (the streaming ring): then exactly what is needed.
    int64_t ask = exactReads_ ? std::min(need, room) : room;
    int64_t r = read_(context_, buffer_.data() + end_, ask);
    if (r == kMpegErrorNotEnoughData && !exactReads_) {
      exactReads_ = true;
      continue;
    }
    if (r == 0 || r == kMpegErrorPastEndOfBuffer) {
      eof_ = true;
      continue;
    }
    if (r < 0) return static_cast<int>(r);
    end_ += std::min(r, ask);
  }
}

bool CMpegStream::TagAt(const uint8_t* p, int64_t available) const {
  if (available >= 3 && (std::memcmp(p, "TAG", 3) == 0 || std::memcmp(p, "ID3", 3) == 0))
    return true;
  return available >= 4 &&
         std::memcmp(p, "APETAGEX", static_cast<size_t>(std::min<int64_t>(available, 8))) == 0;
}

int CMpegStream::SkipTag() {
  const uint8_t* p = Data();
  if (std::memcmp(p, "ID3", 3) == 0) {
    int r = Fill(10);
    if (r == kMpegErrorEndOfInput) return 0;
    if (r < 0) return r;
    p = Data();
    if (p[3] == 0xFF || p[4] == 0xFF || ((p[6] | p[7] | p[8] | p[9]) & 0x80) != 0) return 0;
    int64_t size = int64_t(p[6]) << 21 | int64_t(p[7]) << 14 | int64_t(p[8]) << 7 | int64_t(p[9]);
    Skip(10 + size + ((p[5] & 0x10) ? 10 : 0));
    return 1;
  }
  if (std::memcmp(p, "TAG", 3) == 0) {
    Skip(128);
    return 1;
  }
  if (std::memcmp(p, "APET", 4) == 0) {
    int r = Fill(32);
    if (r == kMpegErrorEndOfInput) return 0;
    if (r < 0) return r;
    p = Data();
    if (std::memcmp(p, "APETAGEX", 8) != 0) return 0;
    // The size counts the items and the footer; a header says so in its flags.
    uint32_t size = Le32(p + 12);
    bool isHeader = (Le32(p + 20) & (1u << 29)) != 0;
    Skip(isHeader ? 32 + int64_t(size) : 32);
    return 1;
  }
  return 0;
}

int CMpegStream::MeasureFree(FrameHeader* h) {
  int64_t want = 1024;
  for (;;) {
    int r = Fill(want);
    bool end = r == kMpegErrorEndOfInput;
    if (r < 0 && !end) return r;
    // The same windows whatever the source delivers at once, so that a file
    // and a fed ring measure alike.
    int n = MeasureFreeFormat(Data(), static_cast<size_t>(std::min(want, Buffered())), *h);
    if (n > 0) {
      ApplyFreeFormatSize(h, n);
      freeBytes_ = n;
      return kMpegOk;
    }
    if (end || want >= kMaxFreeFormatBytes) return 1;
    want = std::min(want * 2, kMaxFreeFormatBytes);
  }
}

int CMpegStream::NextFrame(FrameHeader* out, const uint8_t** frame) {
  for (;;) {
    int r = Fill(4);
    if (r == kMpegErrorEndOfInput) {
      junk_ += Buffered();
      Drop(Buffered());
      return r;
    }
    if (r < 0) return r;
    FrameHeader h;
    if (!ParseFrameHeader(Data(), &h)) {
      int t = SkipTag();
      if (t < 0) return t;
      if (t == 0) DropJunk(1);
      continue;
    }
    bool trusted = synced_ && HeadersCompatible(ref_, h);
    if (h.bitrateIndex == 0) {
      if (trusted && freeBytes_ > 0) {
        ApplyFreeFormatSize(&h, freeBytes_);
      } else {
        r = MeasureFree(&h);
        if (r < 0) return r;
        if (r == 1) {
          DropJunk(1);
          continue;
        }
      }
    }
    if (h.frameBytes <= 4) {
      DropJunk(1);
      continue;
    }
    // An untrusted header needs a look at what follows it.
    r = Fill(h.frameBytes + (trusted ? 0 : 8));
    if (r == kMpegErrorEndOfInput) {
      if (Buffered() < h.frameBytes) {
        if (trusted) {
          // The last frame is cut short: there is nothing to decode it from.
          junk_ += Buffered();
          Drop(Buffered());
          return kMpegErrorEndOfInput;
        }
        DropJunk(1);
        continue;
      }
    } else if (r < 0) {
      return r;
    }
    int64_t after = Buffered() - h.frameBytes;
    if (!trusted && after >= 4) {
      const uint8_t* next = Data() + h.frameBytes;
      FrameHeader nh;
      bool follows = ParseFrameHeader(next, &nh) && HeadersCompatible(h, nh);
      if (!follows && !TagAt(next, after)) {
        DropJunk(1);
        continue;
      }
    }
    *out = h;
    *frame = Data();
    Drop(h.frameBytes);
    synced_ = true;
    ref_ = h;
    return kMpegOk;
  }
}

}  // namespace mpegaudio
