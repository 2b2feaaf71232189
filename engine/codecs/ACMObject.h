// The engine's decoder object: turns a compressed source format into PCM
// through the codec layer (platform/acm), and converts one PCM format into
// another for the WAV writer. It is also the interface of the engine's other
// decoders (MPEG, WMA), which override these operations in this order, so
// sounds, buffers and writers talk to every decoder the same way.
//
// Life: made with the source format, given a destination (SuggestPCMFormat or
// SetDestFormat), stream opened on first use (EnableStream), copied with Copy
// when a sound is copied. Nothing throws; results are 1/0 or byte counts.
//
// Output blocks handed to Convert are allocated with malloc; a decoder allowed
// to grow one (mayGrow) does so with realloc and updates the pointer. Callers
// keep them in a TConvertBlock and lend its pointer to Convert for the call.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/WaveFormat.h"
#include "platform/WaveFormatBuffer.h"
#include "platform/acm/Acm.h"

class CACMBuffer;
class CPeaks;
class CRefObj;
class CSeekMap;

struct TConvertBlockFree {
  void operator()(char* block) const { std::free(block); }
};
using TConvertBlock = std::unique_ptr<char, TConvertBlockFree>;
// An output block of `bytes` bytes for Convert; empty when memory runs out.
TConvertBlock NewConvertBlock(int64_t bytes);

// 1 for the first conversion of a stream or the first after a seek, 2 after.
enum TConversionFlag : int32_t { CONVERSION_FIRST = 1, CONVERSION_FOLLOWING = 2 };

// Progress of a scan: called with the source bytes of each step; 0 cancels the
// scan, -1 pauses it (the callback is then called with 0 until it answers
// otherwise), anything else goes on.
typedef int (*TScanProgress)(unsigned long value, void* user);

class ACMObject {
 public:
  // formatBytes: the bytes readable at `source` when known (a "fmt " chunk's
  // size); extra bytes claimed beyond them are not copied.
  ACMObject(const tWAVEFORMATEX* source, unsigned long flags, int64_t formatBytes = -1);
  // Same formats and settings; the copy's stream is closed.
  ACMObject(const ACMObject& other);
  ACMObject& operator=(const ACMObject&) = delete;

  virtual ~ACMObject();
  virtual ACMObject* Copy();
  virtual int IsACM();
  virtual int ACMDriverInstalled();
  virtual int ActivateDriver(int on);
  // A 16-bit PCM destination for the source, from the codec layer; only while
  // no stream is open. On failure there is no destination.
  virtual int SuggestPCMFormat();
  // Only while no stream is open (else 0, keeping the old destination).
  virtual int SetDestFormat(const tWAVEFORMATEX* format);
  // The source format as text, with the codec's name for its tag.
  virtual int GetSrcFormatStr(char* out, long size);
  virtual int EnableStream(int on);
  // Decoded bytes for `sourceBytes` source bytes, as the codec estimates them.
  virtual double GetConvertedBufferSize(int64_t sourceBytes);
  // Source bytes whose decoding fills at most `pcmBytes`.
  virtual int64_t GetSourceBufferSize(int64_t pcmBytes);
  virtual long BlockSize(const tWAVEFORMATEX* format);
  // Walks the source data [dataStart, dataEnd) once, decoding it through
  // NewScanDecoder: the decoded length, and on request a seek map and the
  // waveform peaks. Progress adds up to the data size. Nothing is done when
  // scanFlag, buildPeaks and buildSeekMap are all 0. 0 when the scan fails or
  // is cancelled (maps made here are then deleted and nulled).
  int ParseScanAndBuild(CRefObj* source, CSeekMap** seekMap, CPeaks** peaks, int64_t* lengthMs,
                        int* progressReported, int64_t dataStart, int64_t dataEnd, int stopAsked,
                        int scanFlag, int buildPeaks, int buildSeekMap, long msPerPeak,
                        int peakFlag, int peaksToFile, TScanProgress progress, void* user);
  // One conversion: srcLength becomes the source bytes used; the result is the
  // bytes produced into dst (dstSize bytes), 0 when the stream cannot take the
  // request, -1 when the codec fails. Callers set mayGrow on the source's
  // last block: a decoder may then grow dst, and the codec gives out what
  // it still holds.
  virtual int64_t Convert(char* src, int64_t& srcLength, char*& dst, int64_t dstSize,
                          TConversionFlag flag, int mayGrow);
  virtual int FirstFrameDecodesToCDQuality();
  virtual void CheckMinimumSrcSize(uint64_t* size);
  virtual int GetInitialNumOffsetsInRev();
  virtual void AdjustSrcOffset(uint64_t* offset);
  virtual bool Resume();
  virtual bool Pause();
  virtual CACMBuffer* NewBuffer(CACMBuffer& from);
  virtual CACMBuffer* NewBuffer(CSeekMap* seekMap);

  const tWAVEFORMATEX* SourceFormat() const { return sourceFormat.Get(); }
  const tWAVEFORMATEX* DestFormat() const { return destFormat.Get(); }
  HACMSTREAM Stream() const { return stream; }
  unsigned long Flags() const { return flags; }
  void SetBitRate(uint32_t rate) { bitRate = rate; }
  uint32_t GetBitRate() const { return bitRate; }
  void SetFrequency(uint32_t hz) { frequency = hz; }
  uint32_t GetFrequency() const { return frequency; }
  void SetBestBitRate(uint32_t rate) { bestBitRate = rate; }
  uint32_t GetBestBitRate() const { return bestBitRate; }
  // A float source's loudest decoded value as the last scan met it, full
  // scale 1.0 (above 1.0 its decoding clips); 0 when the codec does not say.
  double SourcePeak() const { return sourcePeak; }
  // Whether a scan measures that peak (float sources): a cached peak file
  // then cannot stand in for the scan.
  int MeasuresSourcePeak();
  // A gain the codec applies to a float source before narrowing it to 16
  // bits: given to the open stream and to every one opened later, and kept
  // by copies. 0 for a gain that is negative or not finite.
  int SetSourceGain(double gain);

 protected:
  // What one step of a scan decoded.
  struct TScanBlock {
    const char* pcm = nullptr;  // in the destination format
    int64_t bytes = 0;
    bool seekPoint = false;     // the block is a seek point at sourceOffset
    uint64_t sourceOffset = 0;  // from the data start
    bool damaged = false;       // a bad frame was passed over or stood in for
    bool otherShape = false;    // converted from another rate or channel count
    int64_t consumed = -1;      // source bytes used so far, when progress is due
  };
  enum TScanStep { SCAN_BLOCK, SCAN_END, SCAN_FAILED };
  // Decodes the source of one scan block by block. It is made with the source
  // positioned at the data start, in raw data mode.
  class CScanDecoder {
   public:
    virtual ~CScanDecoder() = default;
    virtual TScanStep Next(TScanBlock* block) = 0;
    // The scan has ended, all of it when `complete`.
    virtual void Finish(bool complete) { (void)complete; }
  };
  class CStreamScan;
  // The scan of [dataStart, dataEnd) of `source`; called with the stream
  // open. This class's own converts blocks through Convert. Null on failure.
  virtual std::unique_ptr<CScanDecoder> NewScanDecoder(CRefObj* source, int64_t dataStart,
                                                       int64_t dataEnd);

  // A record with its extra bytes into copy; a PCM record's extra count is
  // never followed. A null format empties the copy; false (and an empty copy)
  // when memory runs out.
  static bool CopyFormat(const tWAVEFORMATEX* format, CWaveFormatBuffer* copy,
                         int64_t formatBytes = -1);
  // The codec's size estimate, asked in a scaled form for small counts.
  double StreamSize(int64_t bytes, int64_t scale, uint32_t direction);

  unsigned long flags;
  HACMDRIVERID driverId = nullptr;
  HACMSTREAM stream = nullptr;
  int32_t driverInstalled = 1;
  CWaveFormatBuffer sourceFormat;
  CWaveFormatBuffer destFormat;  // empty: none
  uint32_t bitRate = 0;
  uint32_t frequency = 0;
  uint32_t bestBitRate = 0;
  double sourcePeak = 0;
  double sourceGain = 1;
};
