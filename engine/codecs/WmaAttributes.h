// The Windows Media attributes that carry a piece's music information, and
// their reading into a TMusicInfo. The WMA reader and writer share these.
#pragma once

#include <cstdint>

struct IWMHeaderInfo;
struct TMusicInfo;

inline constexpr char16_t kWmaAttrTitle[] = u"Title";
inline constexpr char16_t kWmaAttrAuthor[] = u"Author";
inline constexpr char16_t kWmaAttrAlbum[] = u"WM/AlbumTitle";
inline constexpr char16_t kWmaAttrDescription[] = u"Description";
inline constexpr char16_t kWmaAttrCopyright[] = u"Copyright";
inline constexpr char16_t kWmaAttrMcdi[] = u"WM/MCDI";
inline constexpr char16_t kWmaAttrGenre[] = u"WM/Genre";
inline constexpr char16_t kWmaAttrYear[] = u"WM/Year";
// Files FFmpeg writes name the year "date".
inline constexpr char16_t kWmaAttrDate[] = u"date";
inline constexpr char16_t kWmaAttrTrack[] = u"WM/Track";
inline constexpr char16_t kWmaAttrTrackNumber[] = u"WM/TrackNumber";
inline constexpr char16_t kWmaAttrDuration[] = u"Duration";
inline constexpr char16_t kWmaAttrBitrate[] = u"Bitrate";

// What the file-wide attributes of a WMA file say.
struct TWmaStreamInfo {
  uint64_t duration = 0;  // 100 ns
  uint32_t bitRate = 0;   // bit/s
};

// Walks the file-wide attributes: the duration and bit rate into stream, the
// music information into info when it is given (each field found sets its
// tag kind to WMA attributes). Values too large to be music information are
// passed over. False when the attributes cannot be counted.
bool ReadWmaAttributes(IWMHeaderInfo* header, TWmaStreamInfo* stream, TMusicInfo* info);

// A "(N)" genre with one to three digits and N below 255 gives N; a genre
// name the ID3 genre table knows gives its number and the text becomes
// "(N)"; any other text is kept, with no number.
void SetGenreFromText(TMusicInfo* info, const char* text);
