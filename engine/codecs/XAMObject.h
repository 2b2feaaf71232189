// The engine's MPEG audio decoder object (layers I, II and III of MPEG-1,
// MPEG-2 and MPEG-2.5). It implements the ACMObject interface over the
// engine's own MPEG decoder library, so a sound reads through it with an
// ordinary CACMBuffer: the buffer feeds compressed bytes, Convert hands back
// PCM. The destination is always 16-bit PCM; frames of another shape (a mono
// frame for a stereo destination, another rate) are converted on the way.
//
// Playback decodes through the library's memory input (a 64 KiB streaming
// ring); the whole-file scan uses a second decoder instance of its own.
//
// Life: made by the loader from the MPEG layer III wave format it builds
// (tMPEGLAYER3WAVEFORMAT, whose block size is the frame size), given the stream's
// settings, scanned once (ParseScanAndBuild), then EnableStream(1) and
// Convert calls, the first after every seek flagged CONVERSION_FIRST.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/ACMObject.h"

namespace mpegaudio {
struct MpegDecoder;
struct MpegInputModule;
}  // namespace mpegaudio

class XAMObject : public ACMObject {
 public:
  // The destination becomes 16-bit PCM of the source's channels and rate.
  XAMObject(const tWAVEFORMATEX* source, unsigned long flags, int64_t formatBytes = -1);
  // The settings, not the decoder: a copy starts disabled, with mode 0.
  XAMObject(const XAMObject& other);
  ~XAMObject() override;

  ACMObject* Copy() override;
  int IsACM() override { return 0; }
  int ACMDriverInstalled() override { return 1; }
  int ActivateDriver(int) override { return 1; }
  int SuggestPCMFormat() override { return 1; }
  // Takes the first 18 bytes of the format, completed as 16-bit PCM.
  int SetDestFormat(const tWAVEFORMATEX* format) override;
  // "192 kbit/s, MPEG-1 Layer 3, Joint Stereo"-style text from the engine's strings.
  int GetSrcFormatStr(char* out, long size) override;
  // 1 creates and opens the decoder (once); 0 changes nothing.
  int EnableStream(int on) override;
  double GetConvertedBufferSize(int64_t sourceBytes) override;
  int64_t GetSourceBufferSize(int64_t pcmBytes) override;
  // The frame size: the block size of an MPEG layer III wave format.
  long BlockSize(const tWAVEFORMATEX* format) override;
  // Feeds src to the ring (srcLength becomes the bytes it took) and decodes
  // whole frames into dst while a frame still fits. dst is a malloc'ed block
  // that may be reallocated (always when a frame needs more room than is
  // left, doubled with mayGrow); a frame that cannot be placed is kept for
  // the next call. Stops when the ring holds no complete frame. mayGrow also
  // marks the source's last block: once it is all in the ring, the ring's
  // last frame decodes although no header follows it.
  int64_t Convert(char* src, int64_t& srcLength, char*& dst, int64_t dstSize, TConversionFlag flag,
                  int mayGrow) override;
  int FirstFrameDecodesToCDQuality() override { return firstFrameDecodesToCDQuality; }
  // At least 2048 bytes, so that every feed can complete a frame.
  void CheckMinimumSrcSize(uint64_t* size) override;
  int GetInitialNumOffsetsInRev() override { return -2; }
  // Starts 4 bytes early, not before the data.
  void AdjustSrcOffset(uint64_t* offset) override;

  // Settings the loader gives from the stream information.
  void SetVBR(int on) { vbr = on ? 1 : 0; }
  int IsVBR() const { return vbr; }
  void SetVersion(float v) { version = v; }
  float Version() const { return version; }
  void SetLayer(int l) { layer = l; }
  int Layer() const { return layer; }
  void SetMode(int m) { mode = m; }
  int Mode() const { return mode; }
  void SetAverageFrameSize(double bytes) { averageFrameSize = bytes; }
  double AverageFrameSize() const { return averageFrameSize; }
  // Whether a LAME tag's encoder delay and padding are dropped.
  bool IsGapless() const { return gapless; }
  void SetFirstFrameDecodesToCDQuality(int on) { firstFrameDecodesToCDQuality = on ? 1 : 0; }

  // For the codec-layer driver, whose caller owns dst: feeds src and decodes
  // into dst without ever growing it. srcLength becomes the bytes the decoder
  // actually read; the rest is dropped from the ring for the caller to offer
  // again, so no frame is left behind in the ring when the source ends. A
  // frame larger than the room left is handed out over several calls.
  // `last`: src ends the stream, so the last frame need not wait for a
  // header after it.
  int64_t DecodeInto(const char* src, int64_t& srcLength, char* dst, int64_t dstSize,
                     bool last = false);
  // Empties the ring and resets the decoder, as after a seek.
  int Restart();

  // Milliseconds per frame for the layer and source rate; 0 for rates
  // outside 32000, 44100 and 48000 Hz.
  double MilsPerFrame() const;
  // The frames the playback decoder has decoded since it was last opened.
  int64_t LastFrameDecoded() const;
  // 1 at the first nonzero 16-bit sample, with zeroBytes the bytes of zero
  // samples before it; 0 when all are zero (an odd last byte is ignored).
  static int AllZeros(const short* samples, int64_t bytes, int64_t& zeroBytes);

  // One decoded frame: 16-bit interleaved samples.
  struct Frame {
    const int16_t* samples = nullptr;
    int count = 0;  // per channel
    int channels = 0;
    int rate = 0;
  };

 protected:
  // Decodes frame by frame with a second decoder instance: a seek point a
  // frame, progress every few frames.
  std::unique_ptr<CScanDecoder> NewScanDecoder(CRefObj* source, int64_t dataStart,
                                               int64_t dataEnd) override;

 private:
  class CFrameScan;

  // What decoding one frame gave.
  enum TFrameResult { FRAME_OK, FRAME_BAD, FRAME_SILENT, FRAME_STARVED, FRAME_END };
  // Decodes the next frame of `d`. FRAME_BAD: a damaged frame was skipped;
  // FRAME_SILENT: a frame whose bit reservoir lies before the data seen (the
  // first frame after a seek) stands as a frame of silence, so positions stay
  // true; FRAME_STARVED: the input holds no complete frame; FRAME_END: the
  // stream ends or fails.
  TFrameResult DecodeOne(mpegaudio::MpegDecoder* d, Frame* frame) const;
  int SamplesPerFrame(mpegaudio::MpegDecoder* d) const;
  // Places a frame at dst + produced in the destination format, growing dst
  // when allowed and needed; the bytes written, or -1 when there is no room.
  int64_t PlaceFrame(const Frame& f, char*& dst, int64_t& capacity, int64_t produced,
                     bool growable);
  // The destination bytes a frame becomes (an upper bound when converted).
  int64_t PlacedBytes(const Frame& f) const;
  void KeepPending(const Frame& f);
  // Tells the ring that no more bytes come.
  void EndInput();
  void DestroyDecoder();

  mpegaudio::MpegDecoder* decoder = nullptr;
  const mpegaudio::MpegInputModule* memoryInput = nullptr;
  int32_t streamEnabled = 0;
  int32_t vbr = 0;
  float version = 1.0f;
  int32_t layer = 3;
  double averageFrameSize = 0;
  int32_t mode = 0;
  int32_t firstFrameDecodesToCDQuality = 0;
  // Decodes a stream with a LAME tag to its exact length (the engine's
  // setting when the object was made).
  bool gapless = true;

  // Copies up to room bytes of the held output to at; the bytes copied.
  int64_t EmitPending(char* at, int64_t room);
  int64_t PendingBytes() const { return pendingLen - pendingPos; }
  void DropPending() { pendingPos = pendingLen = heldBack = ringHeld = 0; }

  // Decoded output (destination format) that found no room yet.
  std::vector<char> pending;
  int64_t pendingPos = 0;
  int64_t pendingLen = 0;
  // Source bytes DecodeInto handed back although it had read them, so that
  // its caller goes on offering data while output is still held.
  int64_t heldBack = 0;
  // Bytes DecodeInto left in the ring: the start of a frame still incomplete.
  int64_t ringHeld = 0;
  // Whether bytes reached the ring since it was last opened: only then does
  // the caller's last block end the input (an empty first call ends nothing).
  bool fedSinceStart = false;
};
