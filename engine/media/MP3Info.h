// Measures an MPEG audio stream before it is decoded: where the frames begin
// and end, which ID3 tags surround them, the rates and channel mode, whether
// the bit rate varies, and how long the stream plays.
//
// The scan looks at the first ten valid frames for the stream's facts. When
// the first frame carries no usable frame count ("Xing" header, or the "Info"
// header of constant-rate streams), it then walks the frame headers to the end
// of the audio, so that the length of a variable-rate file without one is right
// too (the walk reads headers only and never decodes).
#pragma once

#include <cstdint>

#include "engine/media/FrameHeader.h"
#include "engine/media/Id3Tag.h"
#include "engine/media/TagType.h"
#include "engine/media/VBitRate.h"

class CRefObj;

class CMP3Info {
 public:
  // Results of loadInfo.
  enum : int { kInfoOk = 0, kInfoNoSource = 2, kInfoNoFrames = 4 };

  // Measures source from its current position: 0 on success, 2 when source is
  // null, 4 when no valid frame header was found.
  int loadInfo(CRefObj* source);
  // Reads only the ID3v1 tag at the end of source; the tag loader's result.
  int getID3InfoOnly(CRefObj* source);

  int64_t getFileSize() const { return fileSize; }
  int64_t DataStart() const { return dataStart; }
  int64_t DataEnd() const { return dataEnd; }
  int64_t DataSize() const { return dataEnd - dataStart; }
  uint32_t GetTagSize() const { return tagSize; }
  _tTagTypedef GetTagType() const { return tagType; }
  int isTagged() const { return tagged; }
  // A "Xing" header was found, or the frames differ in bit rate or mode.
  int isVBitRate() const { return hasVbrHeader || variableBitrate; }
  int hasXingHeader() const { return hasVbrHeader; }
  int BestBitrate() const { return static_cast<int>(bestBitrate); }
  int BestSamplingRate() const { return static_cast<int>(bestSamplingRate); }
  int BestMode() const { return static_cast<int>(bestMode); }
  int BestNumChannels() const { return bestChannels; }

  // From the reference frame header.
  float getZeVersion() const { return frameHeader.getVersion(); }
  int getFrequency() const { return frameHeader.getFrequency(); }
  int getLayer() const { return frameHeader.getLayer(); }
  int getLayerIndex() const { return frameHeader.getLayerIndex(); }
  int Private() const { return frameHeader.getPrivateBit(); }
  int Copyrighted() const { return frameHeader.getCoprightBit(); }
  int Original() const { return frameHeader.getOrginalBit(); }
  int Channels() const { return frameHeader.getModeIndex() == 3 ? 1 : 2; }
  const CFrameHeader& FrameHeader() const { return frameHeader; }
  // The mode text; out holds CFrameHeader::kModeTextSize bytes.
  void getMode(char* out) const { frameHeader.getMode(out); }
  // "MPEG 1 Layer III" and the like; out holds kVersionTextSize bytes.
  static constexpr int kVersionTextSize = 24;
  void getVersion(char* out) const;

  // Computed from the headers, the "Xing" counts and the sizes.
  int getBitrate() const;  // kbit/s, the average for variable rates
  int getLengthInSeconds() const;
  int64_t getLengthInMs() const;
  float GetAverageFrameSize() const;
  int64_t getNumberOfFrames() const;
  // The audio frame count of the encoder's "Xing" (or constant-rate "Info")
  // header when it is plausible, else -1.
  int64_t HeaderFrameCount() const;
  // From an encoder's LAME tag: the samples of delay it put in front and of
  // padding after the input, -1 without a tag. The length leaves them out
  // while the engine decodes gapless.
  int EncoderDelay() const { return encoderDelay; }
  int EncoderPadding() const { return encoderPadding; }

  // From the ID3v1 tag. The text getters fill CId3Tag::kTextSize bytes,
  // getGenre CId3Tag::kGenreTextSize.
  const char* TitleString() const { return id3Tag.TitleString(); }
  const char* ArtistString() const { return id3Tag.ArtistString(); }
  const char* AlbumString() const { return id3Tag.AlbumString(); }
  void getTitle(char* out) const { id3Tag.getTitle(out); }
  void getArtist(char* out) const { id3Tag.getArtist(out); }
  void getAlbum(char* out) const { id3Tag.getAlbum(out); }
  void getComment(char* out) const { id3Tag.getComment(out); }
  void getGenre(char* out) const;
  int getGenreIndex() const { return id3Tag.getGenreIndex(); }
  int getYear() const { return id3Tag.getYear(); }
  int getTrackNumber() const { return id3Tag.getTrackNumber(); }
  const CId3Tag& Id3Tag() const { return id3Tag; }

 private:
  // The frame bytes the "Xing" header's counts stand for.
  int64_t XingBytes() const;
  // Counts the frames from data start to data end, stepping from header to
  // header and searching on byte by byte where a frame does not follow.
  void WalkFrames();
  // What the decoder gives of `samples` decoded samples.
  int64_t DecodedSamples(int64_t samples) const;

  CFrameHeader frameHeader;
  CVBitRate vbrHeader;
  CId3Tag id3Tag;
  int32_t hasVbrHeader = 0;
  int32_t variableBitrate = 0;
  int32_t tagged = 0;
  _tTagTypedef tagType = TAG_NONE;
  CRefObj* source = nullptr;  // borrowed
  int64_t fileSize = 0;
  int64_t dataStart = 0;
  int64_t dataEnd = 0;
  uint32_t tagSize = 0;
  int32_t bestSamplingRate = 1;
  int32_t bestMode = 3;
  int32_t bestChannels = 1;
  int32_t bestBitrate = 0;
  // Audio frames counted by the walk, -1 when the stream was not walked.
  int64_t walkedFrames = -1;
  // The first frame is an encoder's "Xing" or "Info" header frame, and the
  // frame count it gives (-1 without one).
  int32_t headerFrame = 0;
  int32_t headerFrames = -1;
  int32_t encoderDelay = -1;
  int32_t encoderPadding = -1;
  int32_t tagFrames = -1;  // the header frame's own count, unchecked
};
