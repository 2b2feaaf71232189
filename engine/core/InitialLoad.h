// Recognises a source (RIFF WAV, MPEG audio, WMA), builds its decoder, finds
// where the audio data lies, fills the music information and scans the data
// once for the peak cache. Used on the stack of CPCMSound::InitialLoad; what
// the caller keeps it takes with the Steal calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/AudioAtom.h"
#include "platform/WaveFormat.h"
#include "platform/WaveFormatBuffer.h"

class ACMObject;
class CPeaks;
class CSeekMap;
class CRefObj;
class CMP3Info;
class CRIFF;
struct TMusicInfo;

class CInitialLoad {
 public:
  CInitialLoad();
  ~CInitialLoad();
  CInitialLoad(const CInitialLoad&) = delete;
  CInitialLoad& operator=(const CInitialLoad&) = delete;

  int DoInitialLoad(CRefObj* source, int buildSeekMap, int scanFlag, int buildPeaks, int peakFlag,
                    long msPerPeak, TLoadCallback callback, void* user);

  int ParseMP3(CRefObj* source);
  int ParseWMA(CRefObj* source);
  int SetMusInfoFromWaveInfo(CRefObj* source, CRIFF* riff);
  int SetMusInfoFromMP3Info(CRefObj* source, CMP3Info* info);
  int ParsePeaksForUncompressed(CRefObj* source, long msPerPeak, TLoadCallback callback,
                                void* user);
  // Walks compressed data once through the decoder (length, peaks, seek
  // map); the result is the length in ms, or -1 when the scan failed or was
  // stopped.
  long ParseScanAndBuildForCompressed(CRefObj* source, int buildSeekMap, int scanFlag,
                                      int buildPeaks, int peakFlag, long msPerPeak,
                                      TLoadCallback callback, void* user);
  // A cached peak file for the source, used when it is newer than the source
  // and has the requested resolution.
  int LoadPeakMap(CRefObj* source, long msPerPeak);
  // The cached seek map of a file source (its ".isk" file), used when it is
  // newer than the source and was made for the same file size and data.
  int LoadSeekMap(CRefObj* source);
  // Writes the loader's seek map to the source's ".isk" file.
  int SaveSeekMap(CRefObj* source);

  // The decoder and the music information go to the caller, who deletes them;
  // the format is moved out. The loader holds none of them afterwards.
  ACMObject* StealACMObject();
  CWaveFormatBuffer StealWaveFomatEx();
  TMusicInfo* StealMusicInfo();
  CPeaks* GetPeaks() const { return peaks_.get(); }
  // Shared: a holder that keeps it takes its own reference.
  CSeekMap* GetSeekMap() const { return seekMap_; }
  const tWAVEFORMATEX* Format() const { return format_.Get(); }
  int64_t DataStart() const { return dataStart_; }
  int64_t DataEnd() const { return dataEnd_; }
  long LengthMs() const { return lengthMs_; }
  int Loaded() const { return loaded_; }

  // Where the cache file with this suffix (".ipk", ".isk") of a source lies:
  // its whole path mapped into the engine's temporary folder (beside the
  // source while none is set). create makes the folders on the way.
  static std::string CacheFilePath(const std::string& sourcePath, const char* suffix,
                                   bool create = false);

 private:
  int LoadWave(CRefObj* source, CRIFF& riff, int& buildSeekMap, int scanFlag, int buildPeaks,
               int peakFlag, long msPerPeak, TLoadCallback callback, void* user);
  int ParseAsMpeg(CRefObj* source, int64_t p0);
  int ParseMpegChunk(CRefObj* source, CRIFF& riff);
  // The compressed scan; its length becomes lengthMs.
  int ScanCompressed(CRefObj* source, int buildSeekMap, int scanFlag, int buildPeaks, int peakFlag,
                     long msPerPeak, TLoadCallback callback, void* user);
  int FindWaveData(CRefObj* source, CRIFF& riff);
  // The source's cache file with this suffix; a stream decoded without its
  // encoder delay and padding has other positions and length than a full
  // decode, so its caches have names of their own.
  std::string SourceCachePath(const std::string& sourcePath, const char* suffix,
                              bool create = false) const;

  int loaded_ = 0;
  bool gaplessDecode_ = false;  // the MPEG decoder drops a LAME tag's delay and padding
  std::unique_ptr<ACMObject> decoder_;
  CWaveFormatBuffer format_;  // 18 + extra bytes
  int64_t dataStart_ = -1;
  int64_t dataEnd_ = -1;
  long lengthMs_ = 0;
  int64_t streamLengthMs_ = 0;   // an MPEG stream's length as its headers tell it
  CSeekMap* seekMap_ = nullptr;  // one reference
  std::unique_ptr<CPeaks> peaks_;
  std::unique_ptr<TMusicInfo> musicInfo_;
};

// What FileFormatSupported found out; the caller zeroes it first.
struct _formatSupportedInfo {
  int32_t compressed;
  int32_t codecInstalled;
  int32_t decodable;
  int32_t isRIFF;
  int32_t isGroupFile;
  tWAVEFORMATEX format;
  uint32_t chunkInfo[3];
};

// Whether a file can be opened as a source at all (cheaper than loading it).
int FileFormatSupported(const char* path, _formatSupportedInfo* info);
