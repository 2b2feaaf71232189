// The engine's last-error codes (platform/LastError.h), each defined here
// once: the reason behind a failed engine call, which the converter maps to
// its messages.
#pragma once

#include <cstdint>

// Set by the WMA library loader in platform/; defined there, since platform/
// cannot see this header: kErrWmaUnavailable (0x20000114), the library or one
// of its entry points is missing.
#include "platform/wma/WmaErrors.h"

// Memory ran out.
inline constexpr uint32_t kErrMemory = 0x20000001;

// Group files.
// A sound's source reference holds no path.
inline constexpr uint32_t kErrNoSoundPath = 0x200000be;
// Loading a member failed in a way that makes the rest of the group file useless.
inline constexpr uint32_t kErrStopLoading = 0x200000bf;

// Recognising and loading a source.
// A RIFF file of a form its reader does not take: a sound of a form other
// than WAVE or RMP3, without an MPEG extension; a CD track file not of CDDA.
inline constexpr uint32_t kErrRiffForm = 0x20000104;
// The "fmt " chunk is shorter than it claims.
inline constexpr uint32_t kErrShortFmt = 0x20000105;
// No "fmt " chunk.
inline constexpr uint32_t kErrNoFmt = 0x20000106;
// No "data" chunk.
inline constexpr uint32_t kErrNoData = 0x20000107;
// The data area cannot be set on the source.
inline constexpr uint32_t kErrDataArea = 0x20000108;
// The source is damaged: its compressed data cannot be scanned, or a CD
// track file is no RIFF file at all.
inline constexpr uint32_t kErrCorrupted = 0x20000109;
// The MPEG decoder cannot produce PCM.
inline constexpr uint32_t kErrNoPCMFromMpeg = 0x2000010a;
// No valid MPEG audio stream.
inline constexpr uint32_t kErrNoMpegStream = 0x2000010b;

// A WMA file whose first output is not audio in a wave format, or that
// gives no bit rate.
inline constexpr uint32_t kErrWmaNotAudio = 0x2000010e;
// The MP3 encoder library lacks an entry point or refused the stream.
inline constexpr uint32_t kErrMp3Encoder = 0x2000010f;

// ID3v2 tags: no tag buffer, or frames that do not fit it.
inline constexpr uint32_t kErrId3V2Frames = 0x20000110;

// WMA. A writer or metadata-editor operation failed.
inline constexpr uint32_t kErrWmaWriter = 0x20000111;
// No WMA reader could be made.
inline constexpr uint32_t kErrWmaReader = 0x20000112;
// An attribute could not be set on a WMA file.
inline constexpr uint32_t kErrWmaAttribute = 0x20000115;
// Codes the WMA library itself may leave, which the writer keeps.
inline constexpr uint32_t kErrWmaLibraryFirst = 0x20000116;
inline constexpr uint32_t kErrWmaLibraryLast = 0x20000118;

// Loading a source, continued.
// PCM with unsupported channels, rate or bits.
inline constexpr uint32_t kErrBadPCMFormat = 0x20000201;
// An empty "data" chunk.
inline constexpr uint32_t kErrEmptyData = 0x20000202;

// Playing and rendering a sound.
// The sound's buffer cannot be positioned or locked.
inline constexpr uint32_t kErrBufferPosition = 0x20000203;
// The decoder's stream cannot be enabled.
inline constexpr uint32_t kErrDecoderStream = 0x20000204;
