// The MP3 writers' format rules, which hold without an encoder library:
// presets, what each encoder can write, the bit rate a size estimate uses,
// and the settings text.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/BladeConv2MP3.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/LameConv2MP3.h"
#include "engine/codecs/MP3Presets.h"
#include "tests/TestSupport.h"

namespace {

CConv2FileFormat Preset(CConv2MP3& writer, long preset) {
  CConv2FileFormat f(kFormatTagMp3);
  writer.GetFormatFromPreset(&f, preset, TAG_ID3_V2, SOUND_QUALITY_PRESET);
  return f;
}

TEST(Conv2MP3, EveryPresetIsValidForLameAndTheMpeg1OnesForBladeEnc) {
  CLameConv2MP3 lame;
  CBladeConv2MP3 blade;
  for (long p = 1; p <= kMP3PresetCount; ++p) {
    SCOPED_TRACE(p);
    CConv2FileFormat f = Preset(lame, p);
    EXPECT_EQ(f.nSamplesPerSec, MP3Preset(p)->sampleRate);
    EXPECT_EQ(f.nChannels, MP3Preset(p)->channels);
    EXPECT_TRUE(lame.ValidateFormat(&f));
    CConv2FileFormat b = Preset(blade, p);
    EXPECT_NE(b.mode, 1) << "BladeEnc has no joint stereo";
    EXPECT_EQ(blade.ValidateFormat(&b), MP3Preset(p)->mpegVersion == 1);
  }
}

TEST(Conv2MP3, EncoderChangeBringsTheRecordIntoReach) {
  CBladeConv2MP3 blade;
  CLameConv2MP3 lame;
  CConv2FileFormat f = Preset(lame, 4);  // FM: MPEG-2, 22050 Hz, joint stereo
  blade.UpdateSettingsAfterEncoderChange(&f);
  EXPECT_EQ(f.mpegVersion, 1);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.mode, 0);
  EXPECT_GE(f.preset, 5) << "the lowest MPEG-1 preset";
  EXPECT_TRUE(blade.ValidateFormat(&f));

  // MPEG-2.5 frames carry at most 64 kbit/s, and the text says what is written.
  CConv2FileFormat low = Preset(lame, 2);
  low.usePreset = 0;
  low.bitrate = 128;
  lame.UpdateSettingsAfterEncoderChange(&low);
  EXPECT_EQ(low.bitrate, 64u);
  EXPECT_TRUE(lame.ValidateFormat(&low));
  SetTonalisStringFile(testsupport::BinPath("tonalis-strings.ini"));
  char text[256];
  lame.GetTargetFormatStr(text, sizeof text, &low);
  EXPECT_NE(std::string(text).find("64 kbit/s"), std::string::npos) << text;
  EXPECT_NE(std::string(text).find("MPEG-2.5"), std::string::npos) << text;
}

TEST(Conv2MP3, SizeEstimatesUseTheAverageBitRate) {
  CLameConv2MP3 lame;
  CBladeConv2MP3 blade;
  CConv2FileFormat f = Preset(lame, 9);
  EXPECT_EQ(lame.GetBitrateForBytesToWrite(&f), 192.0);
  f.enableVBR = 1;  // quality 2 between 128 and 320
  EXPECT_EQ(lame.GetBitrateForBytesToWrite(&f), 128.0 + (95 - 20) * 192 / 100);
  EXPECT_EQ(blade.GetBitrateForBytesToWrite(&f), 192.0) << "BladeEnc has no VBR";
  f.enableABR = 1;
  EXPECT_EQ(lame.GetBitrateForBytesToWrite(&f), 192.0);
}

}  // namespace
