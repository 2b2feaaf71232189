// Path helpers. Paths are UTF-8 byte strings with '/' as the separator;
// absolute means beginning with '/'. Every character other than '/' is an
// ordinary name character. The lexical helpers never touch the file system.
#pragma once

#include <string>

// The folder part of a path with its trailing '/': "/a/b.wav" -> "/a/",
// "b.wav" -> "", "/a/" -> "/a/".
std::string ExtractDirectory(const std::string& path);
// The part behind the last '/': "/a/b.wav" -> "b.wav", "/a/" -> "".
std::string ExtractFileName(const std::string& path);
// Cuts the extension of the last name component, keeping its dot:
// "song.mp3" -> "song.". A name without one (also a dot file such as
// ".config") stays as it is.
void RemoveExtensionFromFile(std::string& name);
// 1 when the last name component has the extension ext (given without its
// dot; compared without regard to ASCII case).
int HasFileExtension(const std::string& path, const std::string& ext);
// 1 when the path names something that exists and is not a directory.
int DoesFileExist(const std::string& path);
// 1 unless the path begins with '/'.
int IsRelativePath(const std::string& path);

// Lexical clean-up: doubled separators and "." removed, ".." taken back
// against the component before it ("/.." stays "/"); a trailing '/' is kept.
std::string NormalizePath(const std::string& path);
// The path made absolute against the current directory and normalised;
// "" (with the last error set) when the current directory is unknown.
std::string MakeAbsolute(const std::string& path);
// rel against baseDir (itself made absolute when relative), normalised. An
// absolute rel is only normalised.
std::string RelativeToAbsolute(const std::string& rel, const std::string& baseDir);
// abs expressed from baseDir, with ".." where needed: "/a/b/c.wav" from "/a/d/"
// -> "../b/c.wav"; "." for baseDir itself.
std::string AbsoluteToRelative(const std::string& abs, const std::string& baseDir);
// 1 when both paths lie on the same file system (device), judged by the
// nearest existing folder of each, so paths still to be created qualify.
int HasSameDrive(const std::string& a, const std::string& b);
// 1 when both paths name the same existing file (same device and inode):
// also through links, doubled separators or differently cased names on
// case-insensitive media.
int SameFile(const std::string& a, const std::string& b);
