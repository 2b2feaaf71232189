#include "engine/core/InitialLoad.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "engine/base/EngineErrors.h"
#include "engine/base/EngineGlobals.h"
#include "engine/base/SampleBuffer.h"
#include "engine/base/TempPaths.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/ACMObject.h"
#include "engine/codecs/WMAObject.h"
#include "engine/codecs/XAMObject.h"
#include "engine/codecs/mpeg/MpegHeader.h"
#include "engine/media/FrameHeader.h"
#include "engine/media/Id3Tag.h"
#include "engine/media/Id3TagV2.h"
#include "engine/media/MP3Info.h"
#include "engine/media/MusicInfo.h"
#include "engine/media/PeakRuns.h"
#include "engine/media/Peaks.h"
#include "engine/media/SeekMap.h"
#include "platform/LastError.h"
#include "platform/data/ByteOrder.h"
#include "platform/data/FileObj.h"
#include "platform/os/FileStatus.h"
#include "platform/paths/Paths.h"
#include "platform/riff/RIFF.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/Utf8.h"

namespace {
constexpr uint32_t kFormWave = FourCC("WAVE");
constexpr uint32_t kFormRmp3 = FourCC("RMP3");
constexpr uint32_t kChunkFmt = FourCC("fmt ");
constexpr uint32_t kChunkData = FourCC("data");
constexpr uint32_t kListInfo = FourCC("INFO");
// A "fmt " chunk carries at most the record and a 16-bit count of extra bytes.
constexpr int64_t kMaxFormatBytes = sizeof(tWAVEFORMATEX) + 0xffff;
constexpr int64_t kScanPiece = 64 * 1024;
constexpr size_t kTextField = 1024;
// Tag kind of music information read from a WAV file's INFO list.
constexpr int32_t kTagTypeWaveInfo = 4;

bool IsMpegExtension(const std::string& path) {
  return HasFileExtension(path, "mp3") || HasFileExtension(path, "mp2") ||
         HasFileExtension(path, "mp1");
}

std::string PathOf(CRefObj* source) {
  if (!source || !(source->Type() & kRefObjFile)) return {};
  auto* file = dynamic_cast<CFileObj*>(source);
  return file ? file->GetPath() : std::string();
}

// Texts of WAV files are UTF-8 or, from older writers, ISO-8859-1.
std::string ToUtf8(const std::string& s) { return IsValidUtf8(s) ? s : Latin1ToUtf8(s); }

// The leading decimal number of text; -1 when it starts with none.
long LeadingNumber(const char* text, const char** end) {
  const char* p = text;
  while (*p == ' ') ++p;
  if (*p < '0' || *p > '9') {
    if (end) *end = p;
    return -1;
  }
  long n = 0;
  while (*p >= '0' && *p <= '9') {
    if (n < 100000) n = n * 10 + (*p - '0');
    ++p;
  }
  if (end) *end = p;
  return n;
}

void SetGenre(TMusicInfo* info, const std::string& text) {
  const char* s = text.c_str();
  if (s[0] == '(') {
    int digits = 0;
    long n = 0;
    while (digits < 4 && s[1 + digits] >= '0' && s[1 + digits] <= '9')
      n = n * 10 + (s[1 + digits++] - '0');
    if (digits >= 1 && digits <= 3 && s[1 + digits] == ')' && n < 255) {
      info->genreIndex = static_cast<int32_t>(n);
      CopyBounded(info->genre, sizeof info->genre, "(" + std::to_string(n) + ")");
      return;
    }
  }
  // A genre's display name (what our own WAV writer and other programs
  // write) is read as its number, so the genre reaches ID3 targets too.
  CId3Tag tag;
  char name[CId3Tag::kGenreTextSize];
  CopyBounded(name, sizeof name, text);
  tag.genreString(name, 0);
  if (tag.getGenreIndex() != CId3Tag::kNoGenre) {
    info->genreIndex = tag.getGenreIndex();
    CopyBounded(info->genre, sizeof info->genre, "(" + std::to_string(info->genreIndex) + ")");
    return;
  }
  CopyBounded(info->genre, sizeof info->genre, text);
}

// Whether a cache file may stand in for its source: written after the
// source last changed (equal times count as stale).
bool CacheIsFresh(const std::string& cache, const std::string& source) {
  os::FileTimes c, s;
  if (!os::GetFileTimes(cache, &c)) return false;
  if (!os::GetFileTimes(source, &s)) return false;
  return c.modifiedNs > s.modifiedNs && c.modifiedNs > s.changedNs;
}
}  // namespace

CInitialLoad::CInitialLoad() = default;

CInitialLoad::~CInitialLoad() { CSeekMap::Release(seekMap_); }

ACMObject* CInitialLoad::StealACMObject() { return decoder_.release(); }

CWaveFormatBuffer CInitialLoad::StealWaveFomatEx() {
  CWaveFormatBuffer f = std::move(format_);
  format_.Clear();
  return f;
}

TMusicInfo* CInitialLoad::StealMusicInfo() { return musicInfo_.release(); }

std::string CInitialLoad::CacheFilePath(const std::string& sourcePath, const char* suffix,
                                        bool create) {
  return MakeTempPath(sourcePath + suffix, create);
}

std::string CInitialLoad::SourceCachePath(const std::string& sourcePath, const char* suffix,
                                          bool create) const {
  if (!gaplessDecode_) return CacheFilePath(sourcePath, suffix, create);
  return CacheFilePath(sourcePath, (std::string(".gapless") + suffix).c_str(), create);
}

int CInitialLoad::DoInitialLoad(CRefObj* source, int buildSeekMap, int scanFlag, int buildPeaks,
                                int peakFlag, long msPerPeak, TLoadCallback callback, void* user) {
  SetLastError(0);
  gaplessDecode_ = false;
  if (!source) return 0;
  const int64_t p0 = source->Tell();
  const std::string path = PathOf(source);
  CRIFF riff;
  _chunkInfo info{};
  if (riff.Open(source, &info)) {
    if (info.type == kFormWave)
      return LoadWave(source, riff, buildSeekMap, scanFlag, buildPeaks, peakFlag, msPerPeak,
                      callback, user);
    if (info.type == kFormRmp3) {
      if (!riff.SeekToChunk(kChunkData, 1)) {
        SetLastError(kErrNoData);
        return 0;
      }
      if (!ParseMpegChunk(source, riff)) return 0;
      return ScanCompressed(source, buildSeekMap, scanFlag, buildPeaks, peakFlag, msPerPeak,
                            callback, user);
    }
    if (IsMpegExtension(path))
      return ParseAsMpeg(source, p0) && ScanCompressed(source, buildSeekMap, scanFlag, buildPeaks,
                                                       peakFlag, msPerPeak, callback, user);
    SetLastError(kErrRiffForm);
    return 0;
  }
  if (IsMpegExtension(path))
    return ParseAsMpeg(source, p0) && ScanCompressed(source, buildSeekMap, scanFlag, buildPeaks,
                                                     peakFlag, msPerPeak, callback, user);
  if (HasFileExtension(path, "wma")) {
    source->Seek(p0, kSeekBegin);
    // The reader finds its own way through the file: no seek map.
    if (!ParseWMA(source) ||
        !ScanCompressed(source, 0, scanFlag, buildPeaks, peakFlag, msPerPeak, callback, user))
      return 0;
    // A file that ends long before the length its header gives is cut off.
    if (lengthMs_ < streamLengthMs_ * 9 / 10 - 100) {
      SetLastError(kErrCorrupted);
      return 0;
    }
    return 1;
  }
  SetLastError(0);  // not a kind of file this loader knows
  return 0;
}

int CInitialLoad::ParseAsMpeg(CRefObj* source, int64_t p0) {
  source->Seek(p0, kSeekBegin);
  return ParseMP3(source);
}

// MPEG audio held in a RIFF chunk (an "RMP3" file's or a WAVE file's "data"
// chunk, the reader standing on it): the stream is looked for inside the
// chunk and ends with it, so the chunks behind it are never decoded.
int CInitialLoad::ParseMpegChunk(CRefObj* source, CRIFF& riff) {
  _chunkInfo ci{};
  _subChunk sub{};
  riff.GetCurrentChunkInfo(&ci, &sub);
  if (sub.dataSize <= 0) {
    SetLastError(kErrEmptyData);
    return 0;
  }
  const int64_t chunkEnd = sub.dataOffset + sub.dataSize;
  source->Seek(sub.dataOffset, kSeekBegin);
  if (!ParseMP3(source)) return 0;
  if (dataEnd_ > chunkEnd) {
    dataEnd_ = chunkEnd;
    if (dataStart_ >= dataEnd_ || !source->SetDataOffsets(dataStart_, dataEnd_)) {
      SetLastError(dataStart_ >= dataEnd_ ? kErrNoMpegStream : kErrDataArea);
      return 0;
    }
  }
  return 1;
}

int CInitialLoad::ScanCompressed(CRefObj* source, int buildSeekMap, int scanFlag, int buildPeaks,
                                 int peakFlag, long msPerPeak, TLoadCallback callback, void* user) {
  const long length = ParseScanAndBuildForCompressed(source, buildSeekMap, scanFlag, buildPeaks,
                                                     peakFlag, msPerPeak, callback, user);
  if (length < 0) return 0;
  lengthMs_ = length;
  return 1;
}

namespace {

// The decoder delay in samples that the MPEG wave format announces.
constexpr uint16_t kMpegCodecDelay = 1393;

// What the loader needs to know of a stream to set up its decoder.
struct TStreamFacts {
  int64_t dataStart = 0;
  int64_t dataEnd = 0;
  int channels = 0;
  int frequency = 0;
  int layer = 3;
  float version = 1;
  int mode = 0;
  int bitrate = 0;      // kbit/s
  int bestBitrate = 0;  // kbit/s
  double frameSize = 0;
  bool vbr = false;
};

// A free-format stream (bit-rate index 0) states no frame length: it is the
// distance between two consecutive headers of the same kind. The stream
// information refuses such headers, so the loader finds the stream itself:
// a header of free format followed by two more of the same kind at one frame
// length (give or take one padding slot).
bool FindFreeFormatStream(CRefObj* source, int64_t from, TStreamFacts* facts) {
  using mpegaudio::FrameHeader;
  constexpr int64_t kWindow = 256 * 1024;
  std::vector<uint8_t> bytes(static_cast<size_t>(kWindow));
  source->Seek(from, kSeekBegin);
  const int64_t got = source->Read(bytes.data(), kWindow);
  if (got < 8) return false;
  // Version, layer, bit-rate index, sample rate and channel mode stay the
  // same from frame to frame.
  auto sameKind = [&](int64_t at, const FrameHeader& h) {
    FrameHeader n;
    return mpegaudio::ParseFrameHeader(&bytes[at], &n) && mpegaudio::HeadersCompatible(h, n) &&
           n.bitrateIndex == h.bitrateIndex && n.mode == h.mode;
  };
  // Each candidate costs a look over the next 8 KiB; noise that keeps
  // looking like headers ends the search early.
  int candidates = 0;
  for (int64_t i = 0; i + 4 <= got && candidates < 256; ++i) {
    FrameHeader h;
    if (bytes[i] != 0xff || !mpegaudio::ParseFrameHeader(&bytes[i], &h) || h.bitrateIndex != 0)
      continue;
    ++candidates;
    const int slot = mpegaudio::SlotBytes(h);
    for (int64_t j = i + 24; j + 4 <= got && j - i <= 8 * 1024; ++j) {
      if (bytes[j] != 0xff || !sameKind(j, h)) continue;
      const int64_t length = j - i - mpegaudio::PaddingBytes(h);
      bool third = false;
      for (int64_t k = j + length; k <= j + length + slot && k + 4 <= got; k += slot)
        third = third || sameKind(k, h);
      if (!third) continue;
      source->Seek(0, kSeekEnd);
      const int64_t end = std::max(source->Tell(), from + got);
      CFrameHeader header;
      header.header = h.word;
      facts->dataStart = from + i;
      facts->dataEnd = end;
      facts->layer = h.layer;
      facts->version = header.getVersion();
      facts->frequency = h.sampleRate;
      facts->mode = h.mode;
      facts->channels = h.channels;
      facts->frameSize = static_cast<double>(length);
      facts->bitrate =
          facts->frequency
              ? static_cast<int>(length * 8 * facts->frequency / h.samplesPerFrame / 1000)
              : 0;
      facts->bestBitrate = facts->bitrate;
      return facts->frequency > 0 && facts->bitrate > 0;
    }
  }
  return false;
}

}  // namespace

int CInitialLoad::ParseMP3(CRefObj* source) {
  if (!source) {
    SetLastError(kErrNoMpegStream);
    return 0;
  }
  const int64_t start = source->Tell();
  CMP3Info info{};
  TStreamFacts facts;
  bool measured = info.loadInfo(source) == 0;
  const bool freeFormat = !measured;
  if (measured) {
    facts.dataStart = info.DataStart();
    facts.dataEnd = info.DataEnd();
    facts.channels = info.Channels();
    facts.frequency = info.getFrequency();
    facts.layer = info.getLayer();
    facts.version = info.getZeVersion();
    facts.mode = static_cast<int>(info.BestMode());
    facts.bitrate = info.getBitrate();
    facts.bestBitrate = static_cast<int>(info.BestBitrate());
    facts.frameSize = info.GetAverageFrameSize();
    facts.vbr = info.isVBitRate() != 0;
  } else {
    // A free-format stream, after an ID3v2 tag when there is one.
    int64_t from = start;
    if (info.GetTagType() == TAG_ID3_V2) from = start + 10 + info.GetTagSize();
    measured = FindFreeFormatStream(source, from, &facts) ||
               (from != start && FindFreeFormatStream(source, start, &facts));
    if (measured && facts.dataEnd - facts.dataStart >= 128) {
      // An ID3v1 tag ends the stream when the file carries one.
      char last[3] = {};
      source->Seek(-128, kSeekEnd);
      if (source->Read(last, 3) == 3 && std::memcmp(last, "TAG", 3) == 0) facts.dataEnd -= 128;
    }
  }
  if (!measured || facts.frequency <= 0 || facts.channels <= 0 || facts.bitrate <= 0 ||
      facts.dataStart < 0 || facts.dataStart >= facts.dataEnd) {
    SetLastError(kErrNoMpegStream);
    return 0;
  }
  dataStart_ = facts.dataStart;
  dataEnd_ = facts.dataEnd;

  auto* mpeg = format_.Allocate(sizeof(tMPEGLAYER3WAVEFORMAT)) ? format_.As<tMPEGLAYER3WAVEFORMAT>()
                                                               : nullptr;
  if (!mpeg) {
    SetLastError(kErrMemory);
    return 0;
  }
  mpeg->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  mpeg->wfx.nChannels = static_cast<uint16_t>(facts.channels);
  mpeg->wfx.nSamplesPerSec = static_cast<uint32_t>(facts.frequency);
  mpeg->wfx.nAvgBytesPerSec = static_cast<uint32_t>(facts.bitrate) * 125;
  mpeg->wfx.nBlockAlign = facts.layer == 1 ? 4 : 1;
  mpeg->wfx.wBitsPerSample = 16;
  // The extra bytes are the 12 that follow the record; a larger count would
  // send readers past its end.
  mpeg->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  mpeg->wID = MPEGLAYER3_ID_MPEG;
  mpeg->fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  mpeg->nBlockSize = static_cast<uint16_t>(std::clamp(facts.frameSize, 1.0, 65535.0));
  mpeg->nFramesPerBlock = 1;
  mpeg->nCodecDelay = kMpegCodecDelay;

  if (freeFormat) info.getID3InfoOnly(source);
  SetMusInfoFromMP3Info(source, &info);
  // Until a scan measures the decoded length, the stream information's
  // estimate stands for it.
  streamLengthMs_ = freeFormat ? 0 : info.getLengthInMs();
  if (!GetMPEGDecodingEnabled()) {
    SetLastError(kErrNoMpegStream);
    return 0;
  }
  auto* xam = new (std::nothrow) XAMObject(format_.Get(), 0);
  decoder_.reset(xam);
  if (!xam) {
    SetLastError(kErrMemory);
    return 0;
  }
  gaplessDecode_ = xam->IsGapless() && info.EncoderDelay() >= 0;
  xam->SetBitRate(static_cast<uint32_t>(facts.bitrate) * 1000);
  xam->SetBestBitRate(static_cast<uint32_t>(std::max(facts.bestBitrate, facts.bitrate)) * 1000);
  xam->SetVBR(facts.vbr ? 1 : 0);
  xam->SetLayer(facts.layer);
  xam->SetFrequency(static_cast<uint32_t>(facts.frequency));
  xam->SetAverageFrameSize(facts.frameSize);
  xam->SetVersion(facts.version);
  xam->SetMode(facts.mode);
  xam->SetFirstFrameDecodesToCDQuality(facts.frequency == 44100 && facts.channels == 2 ? 1 : 0);
  if (!xam->ActivateDriver(1) || !xam->SuggestPCMFormat()) {
    SetLastError(kErrNoPCMFromMpeg);
    return 0;
  }
  if (!source->SetDataOffsets(dataStart_, dataEnd_)) {
    SetLastError(kErrDataArea);
    return 0;
  }
  loaded_ = 1;
  return 1;
}

namespace {
// The text of the genre name a genre table lookup gives for numbers it does
// not know.
std::string UnknownGenreText() { return TonalisLoadKeyed("ID3_not_supported"); }
}  // namespace

int CInitialLoad::SetMusInfoFromMP3Info(CRefObj* source, CMP3Info* info) {
  musicInfo_.reset(new (std::nothrow) TMusicInfo);
  if (!musicInfo_) {
    SetLastError(kErrMemory);
    return 0;
  }
  TMusicInfo* m = musicInfo_.get();
  if (!info) return 1;
  auto* file = dynamic_cast<CFileObj*>(source);
  const int64_t position = source ? source->Tell() : 0;
  if (info->GetTagType() == TAG_ID3_V2) {
    // The tag reader takes its tag from the start of the file; a tag found
    // anywhere else (inside a RIFF chunk) is not read.
    if (file && info->DataStart() >= 10 + static_cast<int64_t>(info->GetTagSize())) {
      // Text frames come first in practice; a tag larger than this (pictures)
      // is read only as far.
      constexpr uint32_t kMaxTagRead = 16u << 20;
      const uint32_t size = std::min(info->GetTagSize(), kMaxTagRead);
      CId3TagV2 tag(size);
      // A tag that ends early still gives the frames read before its end.
      tag.Read(file, size);
      tag.GetMusicInfo(m);
      if (m->genreIndex != 255 && m->genre == UnknownGenreText()) {
        m->genre[0] = '\0';
        m->genreIndex = 255;
      }
    }
  } else if (info->isTagged()) {
    char text[1024] = {};
    info->getTitle(text);
    CopyBounded(m->title, sizeof m->title, text);
    info->getArtist(text);
    CopyBounded(m->artist, sizeof m->artist, text);
    info->getAlbum(text);
    CopyBounded(m->album, sizeof m->album, text);
    info->getComment(text);
    CopyBounded(m->comment, sizeof m->comment, text);
    // A genre number the table does not know is no genre at all.
    const int genre = info->getGenreIndex();
    info->getGenre(text);
    if (genre >= 0 && genre < 255 && text != UnknownGenreText()) {
      CopyBounded(m->genre, sizeof m->genre, text);
      m->genreIndex = genre;
    }
    const int track = info->getTrackNumber();
    if (track >= 1 && track <= 99) m->trackNumber = track;
    const int year = info->getYear();
    m->year = year >= 1000 && year <= 3000 ? year : 0;
  }
  if (source) source->Seek(position, kSeekBegin);
  m->tagSize = static_cast<int32_t>(info->GetTagSize());
  m->tagType = static_cast<int32_t>(info->GetTagType());
  m->privateBit = info->Private() ? 1 : 0;
  m->originalBit = info->Original() ? 1 : 0;
  m->copyrighted = info->Copyrighted() || m->copyright[0] ? 1 : 0;
  return 1;
}

// A WMA source: a first decoder object reads the stream's format and
// attributes, and a copy of it becomes the decoder.
int CInitialLoad::ParseWMA(CRefObj* source) {
  if (!source || !GetMPEGDecodingEnabled() || !GetWMADecodingAvailable()) return 0;
  tWAVEFORMATEX preliminary{};
  preliminary.wFormatTag = WAVE_FORMAT_WMAUDIO2;
  preliminary.nChannels = 2;
  preliminary.nSamplesPerSec = 44100;
  preliminary.wBitsPerSample = 16;
  preliminary.nAvgBytesPerSec = 16000;
  preliminary.nBlockAlign = 4;
  musicInfo_.reset(new (std::nothrow) TMusicInfo);
  std::unique_ptr<WMAObject> first(new (std::nothrow) WMAObject(&preliminary, 0));
  if (!musicInfo_ || !first) {
    SetLastError(kErrMemory);
    return 0;
  }
  if (!first->LoadInfo(source, musicInfo_.get())) {
    // A file the reader cannot open or measure is damaged as far as we can tell.
    if (GetLastError() != kErrWmaUnavailable) SetLastError(kErrCorrupted);
    return 0;
  }
  if (!format_.Set(first->SourceFormat(), 0)) {
    SetLastError(kErrMemory);
    return 0;
  }
  decoder_.reset(first->Copy());
  if (!decoder_) {
    SetLastError(kErrMemory);
    return 0;
  }
  source->SeekToData(0);
  dataStart_ = source->Tell();
  dataEnd_ = dataStart_ + source->DataSize();
  streamLengthMs_ = static_cast<int64_t>(first->GetDuration() / 10000);
  loaded_ = 1;
  return 1;
}

int CInitialLoad::LoadWave(CRefObj* source, CRIFF& riff, int& buildSeekMap, int scanFlag,
                           int buildPeaks, int peakFlag, long msPerPeak, TLoadCallback callback,
                           void* user) {
  if (!riff.SeekToChunk(kChunkFmt, 1)) {
    SetLastError(kErrNoFmt);
    return 0;
  }
  _chunkInfo ci{};
  _subChunk sub{};
  riff.GetCurrentChunkInfo(&ci, &sub);
  // A chunk that claims more bytes than the file holds is damaged.
  if (static_cast<int64_t>(ci.size) > sub.dataSize) {
    SetLastError(kErrShortFmt);
    return 0;
  }
  const int64_t chunkBytes = std::min<int64_t>(ci.size, kMaxFormatBytes);
  const int64_t blockBytes = std::max<int64_t>(chunkBytes, sizeof(tWAVEFORMATEX));
  if (!format_.Allocate(static_cast<size_t>(blockBytes))) {
    SetLastError(kErrMemory);
    return 0;
  }
  tWAVEFORMATEX* format = format_.Get();
  if (riff.ReadCurrentSubChunk(format, chunkBytes) != chunkBytes) {
    SetLastError(kErrShortFmt);
    return 0;
  }
  if (chunkBytes < static_cast<int64_t>(sizeof(tWAVEFORMATEX))) format->cbSize = 0;

  const uint16_t tag = format->wFormatTag;
  if (tag == WAVE_FORMAT_PCM) {
    const tWAVEFORMATEX& f = *format;
    if ((f.nChannels != 1 && f.nChannels != 2) || f.nSamplesPerSec < 1 ||
        f.nSamplesPerSec > 48000 || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)) {
      // Wider samples, more channels or higher rates than the engine works in
      // are decoded to its 16-bit PCM by the codec layer, when a codec reads them.
      decoder_.reset(new (std::nothrow) ACMObject(format, 0, chunkBytes));
      if (!decoder_ || !decoder_->SuggestPCMFormat()) {
        SetLastError(decoder_ ? kErrBadPCMFormat : kErrMemory);
        decoder_.reset();
        return 0;
      }
    } else {
      ValidateFormat(format, WAVE_FORMAT_PCM);
    }
  } else {
    // The extra bytes go to the decoder: they must lie inside the chunk, and
    // a compressed format without a block size cannot be read in blocks. A
    // chunk of 16 bytes (older float writers) has no extra bytes at all.
    if (static_cast<int64_t>(sizeof(tWAVEFORMATEX)) + format->cbSize > blockBytes ||
        format->nBlockAlign == 0) {
      SetLastError(format->nBlockAlign == 0 ? kErrBadPCMFormat : kErrShortFmt);
      return 0;
    }
    if (tag == WAVE_FORMAT_MPEGLAYER3) {
      // The stream lies in the data chunk; the tags, when the stream has
      // none, come from the file's INFO list.
      if (!riff.SeekToChunk(kChunkData, 1)) {
        SetLastError(kErrNoData);
        return 0;
      }
      if (!ParseMpegChunk(source, riff)) return 0;
      if (!musicInfo_ || musicInfo_->tagType == 0) {
        std::unique_ptr<TMusicInfo> fromStream = std::move(musicInfo_);
        if (!SetMusInfoFromWaveInfo(source, &riff)) musicInfo_ = std::move(fromStream);
      }
      return ScanCompressed(source, buildSeekMap, scanFlag, buildPeaks, peakFlag, msPerPeak,
                            callback, user);
    }
    // Any other compressed format is decoded through the codec registry
    // when a codec there can turn it into PCM.
    decoder_.reset(new (std::nothrow) ACMObject(format, 0, chunkBytes));
    if (!decoder_) {
      SetLastError(kErrMemory);
      return 0;
    }
    decoder_->ActivateDriver(1);
    if (!decoder_->SuggestPCMFormat() || !decoder_->DestFormat() ||
        decoder_->DestFormat()->nAvgBytesPerSec == 0) {
      decoder_.reset();
      if (IsMpegExtension(PathOf(source)))
        return ParseAsMpeg(source, 0) && ScanCompressed(source, buildSeekMap, scanFlag, buildPeaks,
                                                        peakFlag, msPerPeak, callback, user);
      SetLastError(0);
      return 0;
    }
  }

  if (!FindWaveData(source, riff)) return 0;
  SetMusInfoFromWaveInfo(source, &riff);
  loaded_ = 1;
  buildSeekMap = 0;
  if (decoder_) {
    long length = ParseScanAndBuildForCompressed(source, buildSeekMap, scanFlag, buildPeaks,
                                                 peakFlag, msPerPeak, callback, user);
    if (length < 0) return 0;
    lengthMs_ = length;
    return 1;
  }
  if (buildPeaks) return ParsePeaksForUncompressed(source, msPerPeak, callback, user);
  lengthMs_ = static_cast<long>((dataEnd_ - dataStart_) * 1000 / format_.Get()->nAvgBytesPerSec);
  if (callback) return callback(0, user) != 0 ? 1 : 0;
  return 1;
}

int CInitialLoad::FindWaveData(CRefObj* source, CRIFF& riff) {
  _chunkInfo ci{};
  _subChunk sub{};
  if (!riff.SeekToChunk(kChunkData, 1)) {
    SetLastError(kErrNoData);
    return 0;
  }
  riff.GetCurrentChunkInfo(&ci, &sub);
  // The reader cuts a length that runs past the end of the file to the bytes there.
  if (ci.size == 0 || sub.dataSize <= 0) {
    SetLastError(kErrEmptyData);
    return 0;
  }
  dataStart_ = sub.dataOffset;
  dataEnd_ = sub.dataOffset + sub.dataSize;
  if (!source->SetDataOffsets(dataStart_, dataEnd_)) {
    SetLastError(kErrDataArea);
    return 0;
  }
  dataEnd_ = source->GetDataEnd();
  return 1;
}

long CInitialLoad::ParseScanAndBuildForCompressed(CRefObj* source, int buildSeekMap, int scanFlag,
                                                  int buildPeaks, int peakFlag, long msPerPeak,
                                                  TLoadCallback callback, void* user) {
  if (!decoder_) return -1;
  if (callback && callback(0, user) == 0) return -1;
  const int previousMode = source->SetDataMode(0);
  source->SeekToData(0);
  const bool cachedPeaks =
      buildPeaks && !decoder_->MeasuresSourcePeak() && LoadPeakMap(source, msPerPeak);
  const int peaksWanted = buildPeaks && !cachedPeaks ? 1 : 0;
  const int mapWanted = buildSeekMap && !LoadSeekMap(source) ? 1 : 0;
  int reported = 0;
  int64_t length = 0;
  CSeekMap* map = nullptr;
  CPeaks* scanned = nullptr;
  // Peaks stay in memory: a peak file is only ever written into the
  // engine's cache folder, never beside the user's source.
  const int ok = decoder_->ParseScanAndBuild(source, &map, &scanned, &length, &reported, dataStart_,
                                             dataEnd_, 0, scanFlag, peaksWanted, mapWanted,
                                             msPerPeak, peakFlag, 0, callback, user);
  std::unique_ptr<CPeaks> built(scanned);  // the scan hands its peaks over
  source->SetDataMode(previousMode);
  if (!ok) {
    CSeekMap::Release(map);
    SetLastError(kErrCorrupted);
    return -1;
  }
  if (built) {
    peaks_ = std::move(built);
    // The next load of the same file takes its peaks from the engine's cache
    // folder instead of decoding it again.
    const std::string path = PathOf(source);
    if (!path.empty() && peaks_->GetNumPeaks() > 0)
      peaks_->SaveAs(SourceCachePath(path, ".ipk", true).c_str());
  }
  if (map) {
    CSeekMap::Release(seekMap_);
    seekMap_ = map;
    SaveSeekMap(source);
  }
  if (!reported && callback &&
      callback(static_cast<unsigned long>(dataEnd_ - dataStart_), user) == 0)
    return -1;
  if (cachedPeaks && peaks_) length = peaks_->LengthOfSound();
  if (length <= 0 && streamLengthMs_ > 0) length = streamLengthMs_;
  if (length <= 0) {
    // Without a scan the length follows from the compressed rate.
    const int64_t avg = format_.Get()->nAvgBytesPerSec;
    length = avg ? (dataEnd_ - dataStart_) * 1000 / avg : 0;
  }
  return static_cast<long>(length);
}

int CInitialLoad::SetMusInfoFromWaveInfo(CRefObj*, CRIFF* riff) {
  if (!riff || !riff->SeekToChunk(kFourCCList, 1, kListInfo)) return 0;
  if (!riff->Descend()) return 0;
  musicInfo_.reset(new (std::nothrow) TMusicInfo);
  if (!musicInfo_) {
    riff->Ascend();
    return 0;
  }
  TMusicInfo* m = musicInfo_.get();
  int found = 0;
  std::vector<char> text(kTextField);
  bool more = true;
  while (more) {
    _chunkInfo ci{};
    _subChunk sub{};
    if (!riff->GetCurrentChunkInfo(&ci, &sub)) break;
    if (ci.id == FourCC("IMCD")) {
      uint8_t bytes[4 + sizeof m->mcdi] = {};
      int64_t got = riff->ReadCurrentSubChunk(bytes, sizeof bytes);
      if (got < 4) break;
      uint32_t word = LoadLE32(bytes);
      int64_t stored = std::clamp<int64_t>(static_cast<int64_t>(ci.size) - 6, 0, got - 4);
      std::memset(m->mcdi, 0, sizeof m->mcdi);
      std::memcpy(m->mcdi, bytes + 4, static_cast<size_t>(stored));
      m->mcdiLength = static_cast<int32_t>(std::min<uint32_t>(word, sizeof m->mcdi));
      m->tagType = kTagTypeWaveInfo;
      ++found;
    } else {
      char* field = nullptr;
      switch (ci.id) {
        case FourCC("INAM"):
          field = m->title;
          break;
        case FourCC("IART"):
          field = m->artist;
          break;
        case FourCC("IALB"):
          field = m->album;
          break;
        case FourCC("ICMT"):
          field = m->comment;
          break;
        case FourCC("IENG"):
          field = m->encoder;
          break;
        case FourCC("ICOP"):
          field = m->copyright;
          break;
        case FourCC("ICRD"):
        case FourCC("ITRK"):
        case FourCC("IGNR"):
          field = text.data();
          break;
        default:
          break;
      }
      if (field) {
        int64_t got = riff->ReadCurrentSubChunk(text.data(), static_cast<int64_t>(kTextField - 1));
        if (got < 0 || (got == 0 && sub.dataSize > 0)) break;
        std::string value(text.data(), static_cast<size_t>(got));
        value = ToUtf8(value.substr(0, value.find('\0')));
        if (field != text.data()) {
          CopyBounded(field, kTextField, value);
        } else if (ci.id == FourCC("ICRD")) {
          long year = LeadingNumber(value.c_str(), nullptr);
          m->year = (year >= 1000 && year <= 3000) ? static_cast<int32_t>(year) : 0;
        } else if (ci.id == FourCC("ITRK")) {
          const char* rest = nullptr;
          long n = LeadingNumber(value.c_str(), &rest);
          m->trackNumber = (n >= 1 && n <= 99) ? static_cast<int32_t>(n) : -1;
          if (*rest == '/' && rest[1]) {
            long total = LeadingNumber(rest + 1, nullptr);
            m->totalTracks = (total >= 1 && total <= 99) ? static_cast<int32_t>(total) : -1;
          }
        } else {
          SetGenre(m, value);
        }
        m->tagType = kTagTypeWaveInfo;
        ++found;
      }
    }
    more = riff->SeekToNextChunk() != 0;
  }
  riff->Ascend();
  return found ? 1 : 0;
}

int CInitialLoad::LoadPeakMap(CRefObj* source, long msPerPeak) {
  const std::string path = PathOf(source);
  if (path.empty() || msPerPeak <= 0) return 0;
  const std::string cache = SourceCachePath(path, ".ipk");
  if (!CacheIsFresh(cache, path)) return 0;
  std::unique_ptr<CPeaks> peaks(new (std::nothrow) CPeaks);
  if (!peaks) return 0;
  if (!peaks->LoadPeaksFromFile(cache.c_str(), 0) ||
      peaks->NumMilsPerPeak() != static_cast<unsigned long>(msPerPeak))
    return 0;
  peaks_ = std::move(peaks);
  lengthMs_ = peaks_->LengthOfSound();
  return 1;
}

namespace {

// What a seek map of the source's data is made from: the file's size and
// the data's place in it.
bool SeekMapStamp(CRefObj* source, int64_t dataStart, int64_t dataEnd, CSeekMap::Stamp* stamp) {
  auto* file = dynamic_cast<CFileObj*>(source);
  const int64_t size = file ? file->Size() : -1;
  if (size < 0 || dataStart < 0 || dataEnd < dataStart) return false;
  *stamp = CSeekMap::Stamp{static_cast<uint64_t>(size), static_cast<uint64_t>(dataStart),
                           static_cast<uint64_t>(dataEnd)};
  return true;
}

}  // namespace

int CInitialLoad::LoadSeekMap(CRefObj* source) {
  const std::string path = PathOf(source);
  CSeekMap::Stamp stamp;
  if (path.empty() || !SeekMapStamp(source, dataStart_, dataEnd_, &stamp)) return 0;
  const std::string cache = SourceCachePath(path, ".isk");
  if (!CacheIsFresh(cache, path)) return 0;
  CSeekMap* map = CSeekMap::LoadFromFile(cache, stamp);
  if (!map) return 0;
  CSeekMap::Release(seekMap_);
  seekMap_ = map;
  return 1;
}

int CInitialLoad::SaveSeekMap(CRefObj* source) {
  const std::string path = PathOf(source);
  CSeekMap::Stamp stamp;
  if (!seekMap_ || path.empty() || !SeekMapStamp(source, dataStart_, dataEnd_, &stamp)) return 0;
  return seekMap_->SaveToFile(SourceCachePath(path, ".isk", true), stamp);
}

int CInitialLoad::ParsePeaksForUncompressed(CRefObj* source, long msPerPeak, TLoadCallback callback,
                                            void* user) {
  if (callback && callback(0, user) == 0) return 0;
  const tWAVEFORMATEX* f = format_.Get();
  const int64_t dataBytes = dataEnd_ - dataStart_;
  const int64_t avg = f->nAvgBytesPerSec;
  if (LoadPeakMap(source, msPerPeak)) return 1;
  if (msPerPeak <= 0 || static_cast<int64_t>(f->nSamplesPerSec) * msPerPeak < 1000) {
    SetLastError(kErrBadPCMFormat);
    return 0;
  }
  peaks_.reset(new (std::nothrow) CPeaks);
  if (!peaks_) {
    SetLastError(kErrMemory);
    return 0;
  }
  std::vector<uint8_t> piece;
  try {
    piece.resize(static_cast<size_t>(kScanPiece / f->nBlockAlign * f->nBlockAlign));
  } catch (const std::bad_alloc&) {
    SetLastError(kErrMemory);
    return 0;
  }
  peaks_->InitPeakData(static_cast<unsigned long>(msPerPeak), 0, 1);
  peaks_->InitStreamPeaksFromParse(nullptr, nullptr);
  CPeakRuns runs(peaks_.get(), f, msPerPeak, 0);

  const int previousMode = source->SetDataMode(0);
  source->SeekToData(0);
  int64_t done = 0;
  int answer = 1;
  while (done < dataBytes) {
    int64_t got = 0;
    if (answer != -1) {
      const int64_t want = std::min<int64_t>(static_cast<int64_t>(piece.size()), dataBytes - done);
      got = source->ReadData(piece.data(), want);
      if (got <= 0) break;  // a read error ends the scan; it is never data
      done += got;
      runs.Add(reinterpret_cast<const char*>(piece.data()), got);
    }
    if (callback) {
      answer = callback(static_cast<unsigned long>(got), user);
      if (answer == 0) {
        source->SetDataMode(previousMode);
        peaks_.reset();
        return 0;
      }
    }
  }
  runs.Finish();
  source->SetDataMode(previousMode);
  lengthMs_ = static_cast<long>(dataBytes * 1000 / avg);
  peaks_->FinishPeaksFromParse(lengthMs_, 0);
  return 1;
}

int FileFormatSupported(const char* path, _formatSupportedInfo* info) {
  if (!path) return 0;
  const std::string p = path;
  if (IsMpegExtension(p) || HasFileExtension(p, "wma")) return 1;
  if (HasFileExtension(p, "wav")) {
    CFileObj file;
    if (!file.Open(p, 0, 0)) return 0;
    CRIFF riff;
    int verdict = 0;
    if (riff.Open(&file)) {
      if (!riff.SeekToChunk(kChunkFmt, 1)) {
        SetLastError(kErrNoFmt);
      } else {
        _chunkInfo ci{};
        _subChunk sub{};
        riff.GetCurrentChunkInfo(&ci, &sub);
        const int64_t want = std::min<int64_t>(ci.size, kMaxFormatBytes);
        CWaveFormatBuffer chunk;
        tWAVEFORMATEX format{};
        if (!chunk.Allocate(static_cast<size_t>(want))) {
          SetLastError(kErrMemory);
        } else if (static_cast<int64_t>(ci.size) > sub.dataSize ||
                   riff.ReadCurrentSubChunk(chunk.Get(), want) != want) {
          SetLastError(kErrShortFmt);
        } else {
          verdict = 1;
          format = *chunk.Get();
          if (want < static_cast<int64_t>(sizeof format)) format.cbSize = 0;
          if (info) {
            info->chunkInfo[0] = ci.id;
            info->chunkInfo[1] = ci.size;
            info->chunkInfo[2] = ci.type;
            info->format = format;
            // While MPEG decoding is off every format counts as supported.
            if (format.wFormatTag != WAVE_FORMAT_PCM && GetMPEGDecodingEnabled()) {
              info->compressed = 1;
              const uint16_t tag = format.wFormatTag;
              if (tag == WAVE_FORMAT_MPEGLAYER3 || tag == WAVE_FORMAT_WMAUDIO2 || tag == 0x0009) {
                info->decodable = 1;
              } else {
                ACMObject probe(chunk.Get(), 0, static_cast<int64_t>(chunk.size()));
                info->codecInstalled = probe.ActivateDriver(1) && probe.ACMDriverInstalled();
                if (info->codecInstalled && probe.SuggestPCMFormat()) info->decodable = 1;
              }
            }
          }
        }
      }
    }
    if (info) info->isRIFF = verdict;
    return 1;
  }
  if (HasFileExtension(p, "sgp")) {
    CFileObj file;
    if (!file.Open(p, 0, 0)) return 0;
    CRIFF riff;
    if (!riff.Open(&file)) return 0;
    if (info) info->isGroupFile = info->isRIFF = 1;
    return 1;
  }
  return 0;
}
