// A source's loudness as one byte per fixed slice of time (0 silence ... 255
// full scale), built while the source is first scanned. As each peak arrives
// the view works out where the sound really starts and ends, whether the
// whole source is silent and whether it ends abruptly (a partial song).
// Long sequences spill to a peak file (".ipk"); several views can share one
// record, which goes with the last of them.
//
// Peak file, little-endian 32-bit numbers: length in ms, ms per peak, number
// of peaks, one byte per peak (peak i at byte 12 + i), then maximum left,
// maximum right, trim start, trim end, total silence, bad frames, non-CD
// quality frames.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WaveFormat.h"

class CFileObj;
class CMap;
class CMyArrayList;
class CRefObj;

class CPeaks {
 public:
  CPeaks();
  CPeaks(unsigned long milsPerPeak, long count);
  CPeaks(const CPeaks& other);
  CPeaks(const CPeaks& other, long offset, int relative);
  CPeaks& operator=(const CPeaks&) = delete;
  virtual ~CPeaks();
  virtual CPeaks* Copy();
  virtual CPeaks* Copy(long offset, int relative);
  // Makes this view one more view of other's record.
  virtual void Clone(CPeaks& other);
  void SetVirtualStart(long start);

  // Building.
  void InitPeakData(unsigned long milsPerPeak, long count, int allInMemory);
  void InitStreamPeaksFromParse(int* toFile, CRefObj* source);
  void StreamPeakFromParse(unsigned char peak, int toFile);
  void FinishPeaksFromParse(long lengthMs, int toFile);
  void FinishPeaksFromParse(unsigned long count, long lengthMs, int toFile);
  // Largest magnitude of the interleaved frames between begin and end, keeping
  // the running maxima per channel.
  long CheckMaxPeaks(const char* begin, const char* end, const tWAVEFORMATEX* format);
  void SetMaxPeaks(long left, long right);
  // Peaks from a list whose sort values are the peak bytes, in order.
  int LoadPeaksFromArrayList(CMyArrayList& list, unsigned long milsPerPeak, long lengthMs,
                             long left, long right, CRefObj* source);

  // Files.
  int InitPeaksToFile(CRefObj* source);
  int InitPeaksToFile(const char* name);
  int _InitPeaksToFile_(const char* path);
  int StreamPeaksToFile(long count);
  int FinishPeaksToFile();
  int InitBlankFile(const char* name, long lengthMs);
  int OpenPeaksFile(const char* path, int mode);
  int LoadPeaksFromFile(const char* path, int headerOnly);
  int StreamPeaksFromFile(long count, unsigned long* got, int* atEnd);
  int SeekToPeakIndex(long index);
  void ClosePeaksFile();
  void DeletePeakFile();
  int SaveAs(const char* path);
  int IsPeakFileOpen() const;
  int IsPeakFileWriteMode() const;

  // Queries.
  long LengthOfSound() const;
  unsigned long NumMilsPerPeak() const;
  long GetNumPeaks() const;
  long GetBufferedPeaks() const;
  unsigned char* GetDataPtr() const;
  double GetFractionalAmps() const;
  long GetMaxLeft() const;
  long GetMaxRight() const;
  long GetAutoTrimTimeStart() const;
  long GetAutoTrimTimeEnd() const;
  int IsTotalSilence() const;
  int IsPartialSong() const;
  int IsStreaming()
      const;  // -1 count unknown, 0 all in memory, 1 the buffer is a window on the file
  int HasBadFrames() const;
  void SetHasBadFrames(int value);
  int HasNonCDQualityFrames() const;
  void SetHasNonCDQualityFrames(int value);
  int WroteToDisk() const;
  void SetWroteToDiskFlag(int value);
  const std::string& PeakFileName() const;

  // Memory.
  void Unload();
  void ConserveMemory();
  void ReloadFromDisk();
  void IncrementReferences();
  void DecrementReferences();
  int References() const;

  // Derived displays.
  void Mix(CPeaks* other, long index, long count);
  CPeaks* GenerateRateDisplay(CMap* rateMap, long lengthMs, unsigned long milsPerPeak);
  void InitPeaksForMix(unsigned long milsPerPeak, long count, long lengthMs);

  static long DetermineBufferSize(unsigned long milsPerPeak);

 private:
  struct Record;
  void Release();
  void SilenceCheck(unsigned char peak);
  bool WriteNumbers(const int32_t* values, int count);
  Record* EnsureRecord();

  CFileObj* file_ = nullptr;  // the open peak file
  Record* record_ = nullptr;
  long virtualStart_ = 0;
  long cursor_ = 0;
  long streamed_ = 0;
  bool fileWriteMode_ = false;
};
