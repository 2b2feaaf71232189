// Feeds arbitrary bytes to the playlist readers. The first byte chooses the
// format (M3U, PLS, "pl", ASX, compilation, scanned, scanned 16-bit text,
// every-other scan); the rest is the file. The readers' pure parts run on
// the bytes in memory, and the whole load runs on the bytes written to a
// file in a folder that holds a few sound file names, a subfolder and a FIFO.
// Every track must name a regular file by an absolute path that fits its
// field, and every entry without a track must say why.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/media/AsxReader.h"
#include "engine/media/IniPlaylistReaders.h"
#include "engine/media/M3UReader.h"
#include "engine/media/Playlist.h"
#include "engine/media/PlaylistScanner.h"
#include "engine/media/PlaylistText.h"
#include "engine/media/QvlFile.h"
#include "fuzz/FuzzCheck.h"
#include "platform/data/MemObj.h"

namespace {

const char* const kExtensions[] = {"m3u", "pls", "pl", "asx", "qvl", "lst", "cl5", "cl3"};

// A folder with the files entries may name: "a.mp3", "b c.wav", ".intro.mp3",
// "sub/d.mp3", and the FIFO "pipe.mp3", which must never be opened.
const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/playlist-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern) != nullptr);
    std::string dir = pattern;
    for (const char* name : {"a.mp3", "b c.wav", ".intro.mp3", "sub/d.mp3"}) {
      if (std::strchr(name, '/')) mkdir((dir + "/sub").c_str(), 0700);
      std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
      FUZZ_CHECK(f != nullptr);
      std::fputs("not a sound", f);
      std::fclose(f);
    }
    FUZZ_CHECK(mkfifo((dir + "/pipe.mp3").c_str(), 0600) == 0);
    return dir;
  }();
  return folder;
}

void CheckItems(const std::vector<TPlaylistItem>& items) {
  for (const auto& item : items) FUZZ_CHECK(item.lengthMs >= 0);
}

void ReadInMemory(std::string_view bytes) {
  std::string text = DecodePlaylistText(bytes);
  CheckItems(ReadM3UEntries(text));
  std::vector<TPlaylistItem> items;
  ReadPLSEntries(text, &items);
  ReadIniListEntries(text, &items);
  CheckItems(items);
  CheckItems(ReadASXEntries(text));
  for (int width : {1, 2}) {
    int n = 0;
    ScanForSoundPaths(bytes, width, [&](const std::string& path) {
      FUZZ_CHECK(!path.empty() && path[0] == '/' && path.size() <= kPlaylistMaxPath + 4);
      return ++n % 2 == 0;
    });
  }
  CMemObj mem;
  if (mem.Create(bytes.data(), static_cast<int64_t>(bytes.size()))) {
    TTrackRecords records;
    ReadQvlRecords(&mem, &records);
    FUZZ_CHECK(records.size() <= bytes.size() / 6136);
  }
}

void LoadFromFile(std::string_view bytes, const char* ext) {
  const std::string path = Folder() + "/list." + ext;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  std::fclose(f);
  CPlaylist list;
  bool loaded = list.LoadFromFile(path.c_str(), false);
  FUZZ_CHECK(loaded == (list.NumTracks() > 0));
  for (int i = 0; i < list.NumTracks(); ++i) {
    const char* file = list.GetTrackFilePath(i);
    FUZZ_CHECK(file != nullptr && file[0] == '/');
    FUZZ_CHECK(strnlen(file, 260) <= kPlaylistMaxPath);
    struct stat st;
    FUZZ_CHECK(stat(file, &st) == 0 && S_ISREG(st.st_mode));
  }
  FUZZ_CHECK(list.GetTrackFilePath(list.NumTracks()) == nullptr);
  for (const auto& r : list.Refusals()) FUZZ_CHECK(r.problem != PLAYLIST_ENTRY_OK);
  CPlaylist counter;
  counter.GetSongCount(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* ext = kExtensions[data[0] % 8];
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  ReadInMemory(bytes);
  LoadFromFile(bytes, ext);
  return 0;
}
