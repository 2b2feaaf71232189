// The text of a playlist file as UTF-8. Playlists come from many programs:
// a UTF-8 byte-order mark is skipped, UTF-16 text (with its mark) is
// converted, and each line that is not valid UTF-8 is read as Windows-1252,
// the encoding Windows players wrote them in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::string DecodePlaylistText(std::string_view bytes);

// The lines of a text, as M3U lists them: a line ends at CR or LF, and the
// end together with all white space after it is skipped, so blank lines
// vanish and lines lose their leading white space. Trailing spaces stay.
std::vector<std::string_view> SplitPlaylistLines(std::string_view text);
