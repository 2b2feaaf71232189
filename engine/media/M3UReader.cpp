#include "engine/media/M3UReader.h"

#include "engine/media/PlaylistText.h"

std::vector<TPlaylistItem> ReadM3UEntries(std::string_view text) {
  std::vector<TPlaylistItem> items;
  for (std::string_view line : SplitPlaylistLines(text)) {
    if (std::string_view("#$*,;?^").find(line[0]) != std::string_view::npos) continue;
    items.push_back({std::string(line), {}, {}, 0});
  }
  return items;
}
