// The per-track record of playlists and compilation files: shorter texts,
// plus the track's file, size, length and source format, and values that
// compilation files carry and that are kept unchanged through a read and a write.
#pragma once

#include <cstdint>

#include "engine/media/MusicInfo.h"
#include "platform/WaveFormat.h"

class CRIFF;

typedef int32_t TQVLVersion;  // version of a compilation file's records, 0-5

class TONALIS_CMusicInfo {
 public:
  // Flags: [0] copyrighted, [1] CD quality source, [2] and [3] skip marks,
  // [4]-[7] carried for compilation files, [8] original bit.
  enum { kFlagCopyrighted = 0, kFlagCdQuality = 1, kFlagOriginal = 8, kFlagCount = 9 };
  static constexpr int kRecordBytes = 6175;  // a version 5 record

  TONALIS_CMusicInfo();
  TONALIS_CMusicInfo(const TONALIS_CMusicInfo& other);
  virtual ~TONALIS_CMusicInfo();
  TONALIS_CMusicInfo& operator=(const TONALIS_CMusicInfo& other);
  TONALIS_CMusicInfo& operator=(const TMusicInfo& info);
  void CopySlim(const TONALIS_CMusicInfo& other);
  void CopyToTMusicInfo(TMusicInfo& info) const;
  void Initialize();
  bool Read(CRIFF& riff, TQVLVersion version);
  bool Write(CRIFF& riff, TQVLVersion version);

  char title[256];
  char extraText[512];
  char artist[256];
  char album[256];
  char genre[256];
  int32_t genreIndex;
  char comment[2048];
  char copyright[1024];
  int32_t year;
  int32_t tagSize;
  int32_t tagType;
  int32_t compA;
  uint8_t mcdi[804];
  int32_t mcdiLength;
  int32_t trackNumber;
  int32_t totalTracks;
  bool flags[kFlagCount];
  char filePath[260];
  int32_t fileSize;
  int32_t compB;
  char sourceFormat[128];
  char encoder[256];
  tWAVEFORMATEX waveFormat;
  int32_t compC, compD;
  int32_t length;  // playing time in ms
  int32_t compE, compF, compG, compH;
  int32_t compI, compJ, compK, compL, compM, compN;

 private:
  bool _readString(CRIFF& riff, char* out, long n);
  bool _writeString(CRIFF& riff, const char* text, long n);
  bool _readOldBool(CRIFF& riff, bool* value);
  void _wasteBytes(CRIFF& riff, long n);
  bool _readNumber(CRIFF& riff, int32_t* value);
  bool _writeNumber(CRIFF& riff, int32_t value);
  void ReadOldTail(CRIFF& riff);
};
