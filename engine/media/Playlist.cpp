#include "engine/media/Playlist.h"

#include <algorithm>
#include <random>

#include "engine/media/AsxReader.h"
#include "engine/media/IniPlaylistReaders.h"
#include "engine/media/M3UReader.h"
#include "engine/media/PlaylistScanner.h"
#include "engine/media/PlaylistText.h"
#include "engine/media/PlaylistTrackReader.h"
#include "platform/Log.h"
#include "platform/data/FileObj.h"
#include "platform/os/SmallFile.h"
#include "platform/paths/Paths.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/Utf8.h"
#include "utilities/strings/Windows1252.h"

namespace {

constexpr int kSkipMarkA = 2;
constexpr int kSkipMarkB = 3;

bool HasSkipMark(const TONALIS_CMusicInfo& track) {
  return track.flags[kSkipMarkA] || track.flags[kSkipMarkB];
}

const char* ProblemText(TPlaylistEntryProblem problem) {
  switch (problem) {
    case PLAYLIST_ENTRY_OK:
      break;
    case PLAYLIST_ENTRY_MISSING:
      return "no such file";
    case PLAYLIST_ENTRY_REMOTE:
      return "not a local file";
    case PLAYLIST_ENTRY_TOO_LONG:
      return "name too long";
    case PLAYLIST_ENTRY_NOT_REGULAR:
      return "not a regular file";
    case PLAYLIST_ENTRY_BAD_NAME:
      return "name holds a NUL byte";
    case PLAYLIST_ENTRY_UNREADABLE:
      return "sound file cannot be loaded";
  }
  return "";
}

}  // namespace

std::string DefaultTrackTitle(const std::string& path) {
  std::string name = ExtractFileName(path);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

CPlaylist::CPlaylist() = default;
CPlaylist::~CPlaylist() = default;

CPlaylist::TFormat CPlaylist::FormatOf(const std::string& path) {
  auto is = [&](const char* ext) { return HasFileExtension(path, ext) != 0; };
  if (is("qvl")) return TFormat::kQvl;
  if (is("m3u") || is("m3u8")) return TFormat::kM3U;
  if (is("pls")) return TFormat::kPls;
  if (is("pl")) return TFormat::kIniList;
  for (const char* ext : {"mp3", "mp2", "mp1", "mpg", "wma", "wav"})
    if (is(ext)) return TFormat::kSingle;
  if (is("asx")) return TFormat::kAsx;
  return TFormat::kScan;
}

bool CPlaylist::LoadFromFile(const char* path, bool checkFiles) {
  LogFmt("CPlaylist::LoadFromFile: file <%s>", path ? path : "");
  counting_ = false;
  checkFiles_ = checkFiles;
  error_ = PLAYLIST_ERROR_NONE;
  std::string absolute = path && *path ? MakeAbsolute(path) : std::string();
  if (!absolute.empty()) ReadPlaylist(absolute, FormatOf(absolute));
  if (tracks_.empty()) {
    error_ = PLAYLIST_ERROR_EMPTY;
    return false;
  }
  return true;
}

int CPlaylist::GetSongCount(const char* path) {
  counting_ = true;
  songCount_ = 0;
  error_ = PLAYLIST_ERROR_NONE;
  std::string absolute = path && *path ? MakeAbsolute(path) : std::string();
  TFormat format = FormatOf(absolute);
  if (format != TFormat::kQvl && format != TFormat::kM3U && format != TFormat::kPls &&
      format != TFormat::kIniList) {
    error_ = PLAYLIST_ERROR_FORMAT;
    return 0;
  }
  if (!absolute.empty()) ReadPlaylist(absolute, format);
  if (songCount_ == 0 && error_ == PLAYLIST_ERROR_NONE) error_ = PLAYLIST_ERROR_EMPTY;
  return songCount_;
}

bool CPlaylist::ReadPlaylist(const std::string& path, TFormat format) {
  switch (format) {
    case TFormat::kQvl:
      return ReadQvl(path);
    case TFormat::kM3U:
      return ReadM3U(path);
    case TFormat::kPls:
      return ReadPls(path);
    case TFormat::kIniList:
      return ReadIniList(path);
    case TFormat::kSingle:
      return AddItem(path, {path, {}, {}, 0});
    case TFormat::kAsx:
      return ReadAsx(path);
    case TFormat::kScan:
      return ReadScanned(path);
  }
  return false;
}

// The playlist's text as UTF-8; a missing, unreadable, empty or too large
// file sets PLAYLIST_ERROR_OPEN.
bool CPlaylist::ReadText(const std::string& path, int64_t maxBytes, std::string* text) {
  std::string bytes;
  os::TSmallFileResult result = os::ReadSmallFile(path, maxBytes, &bytes);
  if (result == os::TSmallFileResult::kTooBig)
    LogFmt("CPlaylist: file <%s> is larger than %lld bytes", path.c_str(),
           static_cast<long long>(maxBytes));
  if (result != os::TSmallFileResult::kRead || bytes.empty()) {
    LogFmt("CPlaylist: can't read file <%s>", path.c_str());
    error_ = PLAYLIST_ERROR_OPEN;
    return false;
  }
  *text = DecodePlaylistText(bytes);
  return true;
}

bool CPlaylist::ReadM3U(const std::string& path) {
  std::string text;
  if (!ReadText(path, kM3UMaxBytes, &text)) return false;
  AddItems(path, ReadM3UEntries(text));
  return true;
}

bool CPlaylist::ReadPls(const std::string& path) {
  std::string text;
  if (!ReadText(path, kIniPlaylistMaxBytes, &text)) return false;
  std::vector<TPlaylistItem> items;
  if (ReadPLSEntries(text, &items) == TIniPlaylistResult::kNoEntries) {
    error_ = PLAYLIST_ERROR_EMPTY;
    return false;
  }
  AddItems(path, items);
  return true;
}

bool CPlaylist::ReadIniList(const std::string& path) {
  std::string text;
  if (!ReadText(path, kIniPlaylistMaxBytes, &text)) return false;
  std::vector<TPlaylistItem> items;
  if (ReadIniListEntries(text, &items) == TIniPlaylistResult::kNoEntries) {
    error_ = PLAYLIST_ERROR_EMPTY;
    return false;
  }
  AddItems(path, items);
  return true;
}

bool CPlaylist::ReadAsx(const std::string& path) {
  LogFmt("Entering CPlaylist::_readASXPlayList, file <%s>", path.c_str());
  std::string text;
  if (!ReadText(path, kAsxMaxBytes, &text)) return false;
  AddItems(path, ReadASXEntries(text));
  Log("Leaving CPlaylist::_readASXPlayList, normal exit");
  return true;
}

bool CPlaylist::ReadQvl(const std::string& path) {
  CFileObj file;
  TTrackRecords records;
  if (!file.Open(path) || ReadQvlRecords(&file, &records) != TQvlReadResult::kRead) {
    error_ = PLAYLIST_ERROR_OPEN;
    return false;
  }
  const std::string dir = ExtractDirectory(path);
  for (auto& record : records) {
    std::string entry = record->filePath;
    TPlaylistEntryPath found = ResolvePlaylistEntry(entry, dir);
    if (found.problem != PLAYLIST_ENTRY_OK) {
      Refuse(path, entry, found.path, found.problem);
      continue;
    }
    CopyWhole(record->filePath, sizeof record->filePath, found.path);
    AddTrack(std::move(record), path, entry, nullptr);
  }
  return true;
}

bool CPlaylist::ReadScanned(const std::string& path) {
  LogFmt("Entered CPlaylist::_readGenericPlaylist, file <%s>", path.c_str());
  std::string bytes;
  if (os::ReadSmallFile(path, kScannerMaxBytes, &bytes) != os::TSmallFileResult::kRead) {
    LogFmt("Exiting CPlaylist::_readGenericPlaylist, can't read file <%s>", path.c_str());
    error_ = PLAYLIST_ERROR_OPEN;
    return false;
  }
  const int width = HasFileExtension(path, "cl5") ? 2 : 1;
  // These lists name each file twice.
  const bool everyOther = HasFileExtension(path, "cl3") || HasFileExtension(path, "cl4");
  const std::string dir = ExtractDirectory(path);
  int qualifying = 0;
  ScanForSoundPaths(bytes, width, [&](const std::string& candidate) {
    std::string entry = IsValidUtf8(candidate) ? candidate : Windows1252ToUtf8(candidate);
    LogFmt("CPlaylist::_readGenericPlaylist, located potential sound file <%s>", entry.c_str());
    TPlaylistEntryPath found = ResolvePlaylistEntry(entry, dir);
    if (found.problem != PLAYLIST_ENTRY_OK) {
      Refuse(path, entry, found.path, found.problem);
      return false;
    }
    if (everyOther && qualifying++ % 2 == 1) return true;
    AddItem(path, {found.path, {}, {}, 0});
    return true;
  });
  Log("Leaving CPlaylist::_readGenericPlaylist, returning true");
  return true;
}

void CPlaylist::AddItems(const std::string& playlist, const std::vector<TPlaylistItem>& items) {
  for (const TPlaylistItem& item : items) AddItem(playlist, item);
}

bool CPlaylist::AddItem(const std::string& playlist, const TPlaylistItem& item) {
  if (item.entry.empty() && item.title.empty() && item.artist.empty()) return false;
  TPlaylistEntryPath found = ResolvePlaylistEntry(item.entry, ExtractDirectory(playlist));
  if (found.problem != PLAYLIST_ENTRY_OK) {
    Refuse(playlist, item.entry, found.path, found.problem);
    return false;
  }
  auto track = std::make_unique<TONALIS_CMusicInfo>();
  CopyWhole(track->filePath, sizeof track->filePath, found.path);
  return AddTrack(std::move(track), playlist, item.entry, &item);
}

bool CPlaylist::AddTrack(std::unique_ptr<TONALIS_CMusicInfo> track, const std::string& playlist,
                         const std::string& entry, const TPlaylistItem* given) {
  if (counting_) {
    ++songCount_;
    return true;
  }
  if (trackReader_ && !HasSkipMark(*track)) {
    if (trackReader_->ReadTrack(*track)) {
      if (!track->title[0])
        CopyBounded(track->title, sizeof track->title, DefaultTrackTitle(track->filePath));
    } else if (checkFiles_) {
      Refuse(playlist, entry, track->filePath, PLAYLIST_ENTRY_UNREADABLE);
      return false;
    }
  }
  if (given) {
    if (!track->title[0]) CopyBounded(track->title, sizeof track->title, given->title);
    if (!track->artist[0]) CopyBounded(track->artist, sizeof track->artist, given->artist);
    if (track->length == 0) track->length = given->lengthMs;
  }
  tracks_.push_back(std::move(track));
  return true;
}

void CPlaylist::Refuse(const std::string& playlist, const std::string& entry,
                       const std::string& path, TPlaylistEntryProblem problem) {
  if (counting_) return;
  LogFmt("CPlaylist: entry <%s> of <%s> gives no track: %s", entry.c_str(), playlist.c_str(),
         ProblemText(problem));
  refusals_.push_back({playlist, entry, path, problem});
}

int CPlaylist::NumTracks() const { return static_cast<int>(tracks_.size()); }

TONALIS_CMusicInfo* CPlaylist::GetTrackInfo(int i) const {
  return i >= 0 && i < NumTracks() ? tracks_[static_cast<size_t>(i)].get() : nullptr;
}

char* CPlaylist::GetTrackFilePath(int i) const {
  TONALIS_CMusicInfo* track = GetTrackInfo(i);
  return track ? track->filePath : nullptr;
}

char* CPlaylist::GetTrackTitle(int i) const {
  TONALIS_CMusicInfo* track = GetTrackInfo(i);
  return track ? track->title : nullptr;
}

void CPlaylist::DeleteAll() {
  tracks_.clear();
  refusals_.clear();
}

bool CPlaylist::SaveToFile(const char* path) {
  if (tracks_.empty()) {
    error_ = PLAYLIST_ERROR_EMPTY;
    return false;
  }
  std::string name = path ? path : "";
  if (!HasFileExtension(name, "qvl")) {
    // Writing M3U, PLS and "pl" lists is not supported.
    error_ = PLAYLIST_ERROR_FORMAT;
    return false;
  }
  CFileObj file;
  if (!file.Create(name) || !WriteQvlRecords(&file, tracks_)) {
    error_ = PLAYLIST_ERROR_OPEN;
    return false;
  }
  return file.Close() != 0;
}

void CPlaylist::Randomize() {
  std::mt19937 random(std::random_device{}());
  std::shuffle(tracks_.begin(), tracks_.end(), random);
}
