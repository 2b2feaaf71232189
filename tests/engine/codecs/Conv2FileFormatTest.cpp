#include <gtest/gtest.h>

#include "engine/codecs/ACMObject.h"
#include "engine/codecs/BitrateLadders.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/Conv2WaveFile.h"
#include "engine/media/MusicInfo.h"

namespace {

TEST(Conv2FileFormat, RecordLayoutAndDefaults) {
  CConv2FileFormat mp3(kFormatTagMp3);
  const auto* base = reinterpret_cast<const char*>(&mp3);
  EXPECT_EQ(reinterpret_cast<const char*>(&mp3.conversionType) - base, 20);
  EXPECT_EQ(reinterpret_cast<const char*>(&mp3.mpegVersion) - base, 56);
  EXPECT_EQ(reinterpret_cast<const char*>(&mp3.noReservoir) - base, 108);
  EXPECT_EQ(mp3.nSamplesPerSec, 44100u);
  EXPECT_EQ(mp3.nChannels, 2);
  EXPECT_EQ(mp3.wBitsPerSample, 16);
  EXPECT_EQ(mp3.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(mp3.cbSize, 94);
  EXPECT_EQ(mp3.preset, 9);
  EXPECT_EQ(mp3.soundQuality, SOUND_QUALITY_PRESET);
  EXPECT_EQ(mp3.bitrate, 192u);
  EXPECT_EQ(mp3.enableVBR, 0);
  EXPECT_EQ(mp3.writeVBRHeader, 1);
  EXPECT_EQ(mp3.tagType, TAG_ID3_V2);
  EXPECT_EQ(mp3.conversionType, FILE_CONVERSION_MP3);
  CConv2FileFormat wav;
  EXPECT_EQ(wav.wFormatTag, 1);
  EXPECT_EQ(wav.soundQuality, SOUND_QUALITY_CD);
  EXPECT_EQ(wav.preset, 1);
  CConv2FileFormat odd(2);
  EXPECT_EQ(odd.conversionType, FILE_CONVERSION_NONE);
  EXPECT_EQ(GetFileConversionTypeFromFormatTag(2), FILE_CONVERSION_NONE);
  EXPECT_EQ(GetFileConversionTypeFromFormatTag(353), FILE_CONVERSION_WMA);
}

TEST(Conv2FileFormat, QualityMapPerTarget) {
  CConv2FileFormat mp3(kFormatTagMp3), wma(kFormatTagWma), wav(kFormatTagPcm);
  mp3.preset = 3;
  mp3.SetSoundQuality(SOUND_QUALITY_CD);
  EXPECT_EQ(mp3.soundQuality, SOUND_QUALITY_PRESET);
  EXPECT_EQ(mp3.preset, 9);
  wma.SetSoundQuality(SOUND_QUALITY_CD);
  EXPECT_EQ(wma.soundQuality, SOUND_QUALITY_PRESET);
  EXPECT_EQ(wma.preset, 7);
  wav.SetSoundQuality(SOUND_QUALITY_USER_MAXIMUMS);
  EXPECT_EQ(wav.soundQuality, SOUND_QUALITY_MOST_NATURAL);
  mp3.SetSoundQuality(SOUND_QUALITY_MOST_NATURAL);
  EXPECT_EQ(mp3.soundQuality, SOUND_QUALITY_USER_MAXIMUMS);
}

TEST(Conv2FileFormat, BitRateLadders) {
  EXPECT_EQ(FindMostNaturalMPEG1BitRate(0), 32u);
  EXPECT_EQ(FindMostNaturalMPEG1BitRate(144), 128u);
  EXPECT_EQ(FindMostNaturalMPEG1BitRate(145), 160u);
  EXPECT_EQ(FindMostNaturalMPEG1BitRate(1000), 320u);
  EXPECT_EQ(FindMostNaturalWMABitRate(21), 20u);
  EXPECT_EQ(FindMostNaturalWMABitRate(27), 22u);
  EXPECT_EQ(FindMostNaturalWMABitRate(28), 32u);
  EXPECT_EQ(FindMostNaturalMPEG2XBitRate(100), 96u);
  unsigned long up, low, mid, v = 150;
  FindMostNaturalMPEG1BitRates(&up, &low, &mid, &v);
  EXPECT_EQ(up, 160u);
  EXPECT_EQ(low, 128u);
  EXPECT_EQ(mid, 150u);
  EXPECT_EQ(v, 160u);
  v = 128;
  FindMostNaturalMPEG1BitRates(&up, &low, &mid, &v);
  EXPECT_EQ(up, 128u);
  EXPECT_EQ(low, 112u);
  EXPECT_EQ(mid, 127u);
  v = 999;
  FindMostNaturalMPEG2XBitRates(&up, &low, &mid, &v);
  EXPECT_EQ(up, 160u);
  EXPECT_EQ(low, 128u);
  EXPECT_EQ(mid, 159u);
  v = 1;
  FindMostNaturalMPEG2XBitRates(&up, &low, &mid, &v);
  EXPECT_EQ(up, 16u);
  EXPECT_EQ(mid, 9u);
  EXPECT_EQ(v, 8u);
}

TEST(Conv2FileFormat, WavTargetFormatsDecidedPerSource) {
  CConv2WaveFile writer;
  for (auto [rate, natural] : {std::pair{15999u, 11025u}, std::pair{16000u, 22050u},
                               std::pair{31999u, 22050u}, std::pair{32000u, 44100u}}) {
    CConv2FileFormat f;
    f.nSamplesPerSec = rate;
    writer.MakeMostNaturalFormatCallback(&f, nullptr, nullptr);
    EXPECT_EQ(f.nSamplesPerSec, natural) << rate;
  }
  tWAVEFORMATEX source{1, 1, 22050, 44100, 2, 16, 0};
  CConv2FileFormat user;  // CD quality: 44100 Hz stereo 16-bit whatever the source
  CConv2FileFormat out;
  out.SmartCopy(kFormatTagPcm, &user, &source, &writer, nullptr, nullptr);
  EXPECT_EQ(out.nSamplesPerSec, 44100u);
  EXPECT_EQ(out.nChannels, 2);
  EXPECT_EQ(out.wBitsPerSample, 16);

  user.SetSoundQuality(SOUND_QUALITY_MOST_NATURAL);
  TMusicInfo info;
  info.tagType = TAG_ID3_V1;
  info.copyrighted = 1;
  out.SmartCopy(kFormatTagPcm, &user, &source, &writer, &info, nullptr);
  EXPECT_EQ(out.nSamplesPerSec, 22050u);
  EXPECT_EQ(out.nChannels, 1);
  EXPECT_EQ(out.nAvgBytesPerSec, 44100u);
  EXPECT_EQ(out.tagType, TAG_ID3_V1);
  EXPECT_EQ(out.copyrightBit, 1);
  EXPECT_TRUE(writer.ValidateFormat(&out));

  // A 4-bit ADPCM source keeps its shape but is written as 16-bit PCM.
  tWAVEFORMATEX adpcm{WAVE_FORMAT_IMA_ADPCM, 2, 44100, 44359, 2048, 4, 2};
  out.SmartCopy(kFormatTagPcm, &user, &adpcm, &writer, nullptr, nullptr);
  EXPECT_EQ(out.wFormatTag, 1);
  EXPECT_EQ(out.wBitsPerSample, 16);
  EXPECT_EQ(out.nBlockAlign, 4);
  EXPECT_TRUE(writer.ValidateFormat(&out));

  // Sources the codec layer decodes take the shape of their decoded PCM:
  // mu-law becomes 16-bit, six 24-bit channels 16-bit stereo.
  tWAVEFORMATEX mulaw{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0};
  ACMObject mu(&mulaw, 0);
  ASSERT_EQ(mu.SuggestPCMFormat(), 1);
  out.SmartCopy(kFormatTagPcm, &user, &mulaw, &writer, nullptr, &mu);
  EXPECT_EQ(out.wBitsPerSample, 16);
  EXPECT_EQ(out.nChannels, 1);
  EXPECT_EQ(out.nSamplesPerSec, 11025u);
  EXPECT_TRUE(writer.ValidateFormat(&out));
  tWAVEFORMATEX six{WAVE_FORMAT_PCM, 6, 44100, 44100 * 18, 18, 24, 0};
  ACMObject wide(&six, 0);
  ASSERT_EQ(wide.SuggestPCMFormat(), 1);
  out.SmartCopy(kFormatTagPcm, &user, &six, &writer, nullptr, &wide);
  EXPECT_EQ(out.wBitsPerSample, 16);
  EXPECT_EQ(out.nChannels, 2);
  EXPECT_EQ(out.nSamplesPerSec, 44100u);
  EXPECT_EQ(out.nAvgBytesPerSec, 176400u);
  EXPECT_TRUE(writer.ValidateFormat(&out));

  CConv2FileFormat bad;
  bad.nSamplesPerSec = 48000;
  EXPECT_FALSE(writer.ValidateFormat(&bad));
  tWAVEFORMATEX wfx{};
  user.MakeIntoWaveFormatEx(&wfx);
  EXPECT_EQ(wfx.cbSize, 0);
}

TEST(Conv2FileFormat, TargetsByFileName) {
  EXPECT_EQ(DetermineTargetConversion("/a/b/song.mp3"), FILE_CONVERSION_WAVE);
  EXPECT_EQ(DetermineTargetConversion("/a/b/song.WAV"), FILE_CONVERSION_NONE);
  CRefObj* wav = NewCConv2FileObj(FILE_CONVERSION_WAVE, -1);
  EXPECT_NE(wav, nullptr);
  DeleteRefObject(&wav);
  EXPECT_EQ(NewCConv2FileObj(FILE_CONVERSION_MP3, -1), nullptr);
  EXPECT_EQ(NewCConv2FileObj(FILE_CONVERSION_NONE, -1), nullptr);
  char title[260];
  CConv2FileObj::CreateDefaultTagTitleString("/music/x.y/song.mp3", title);
  EXPECT_STREQ(title, "song");
  CConv2FileObj::CreateDefaultTagTitleString("", title);
  EXPECT_STREQ(title, "");
}

}  // namespace
