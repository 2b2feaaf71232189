// The settings pages' edit box and texts: the average bit rate kept inside
// the VBR range, and the preset and settings descriptions.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/BladeConv2MP3.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/LameConv2MP3.h"
#include "engine/codecs/settings/MP3AdvancedSettings.h"
#include "engine/codecs/settings/MP3Settings.h"
#include "engine/codecs/settings/SettingsModels.h"
#include "engine/codecs/settings/WMASettings.h"
#include "tests/TestSupport.h"

namespace {

class FormatSettingsTexts : public ::testing::Test {
 protected:
  void SetUp() override { SetTonalisStringFile(testsupport::BinPath("tonalis-strings.ini")); }
};

TEST_F(FormatSettingsTexts, AbrEditStaysStrictlyInsideTheVbrRange) {
  CEditModel edit;
  InitMP3ABREdit(&edit);
  EXPECT_EQ(edit.MaxLength(), 3u);
  CConv2FileFormat f(kFormatTagMp3);
  f.minBitrate = 128;
  f.maxBitrate = 320;
  f.abrBitrate = 64;
  SetMP3ABREditValue(&edit, &f);
  EXPECT_EQ(edit.Text(), "129");
  EXPECT_EQ(f.abrBitrate, 129u);
  f.abrBitrate = 320;
  SetMP3ABREditValue(&edit, &f);
  EXPECT_EQ(edit.Text(), "319");

  edit.SetText("2005");  // cut to three characters, as typed into the box
  GetMP3ABREditValue(&edit, &f);
  EXPECT_EQ(f.abrBitrate, 200u);
  EXPECT_EQ(edit.Text(), "200");
  edit.SetText("x");
  GetMP3ABREditValue(&edit, &f);
  EXPECT_EQ(f.abrBitrate, 129u);
}

TEST_F(FormatSettingsTexts, Mp3SettingsTextNamesWhatTheWriterWrites) {
  CLameConv2MP3 lame;
  CBladeConv2MP3 blade;
  CTextModel text;
  CConv2FileFormat f(kFormatTagMp3);
  f.enableVBR = 1;
  f.writeVBRHeader = 1;
  f.crc = 1;
  f.privateBit = 1;
  SetMP3UserSettingsString(&text, &f, &lame);
  EXPECT_EQ(text.Text(),
            "MPEG-1 Layer 3, VBR 128-320 kbit/s, quality 2, Stereo, VBR header, private, "
            "checksums");
  // BladeEnc has neither VBR nor its header.
  SetMP3UserSettingsString(&text, &f, &blade);
  EXPECT_EQ(text.Text(), "MPEG-1 Layer 3, 192 kbit/s, Stereo, private, checksums");

  CTextModel name, settings;
  f.preset = 5;
  f.crc = 0;
  f.privateBit = 0;
  SetMP3PresetString(&name, &settings, &f, &lame);
  EXPECT_EQ(name.Text(), "Voice");
  EXPECT_EQ(settings.Text(), "(MPEG-1 Layer 3, 64 kbit/s, Mono)");
  f.preset = 11;
  SetMP3PresetString(&name, &settings, &f, &lame);
  EXPECT_EQ(name.Text(), "");
  EXPECT_EQ(settings.Text(), "");
}

TEST_F(FormatSettingsTexts, WmaTextsDescribeThePresetAndTheSettings) {
  CTextModel name, settings, user;
  CConv2FileFormat f(kFormatTagWma);
  f.preset = 3;
  SetWMAPresetString(&name, &settings, &f);
  EXPECT_EQ(name.Text(), "FM radio");
  EXPECT_EQ(settings.Text(), "(WMA 32 kbit/s, 22.050 kHz, Stereo)");
  f.bitrate = 48;
  f.nChannels = 1;
  f.copyrightBit = 1;
  SetWMAUserSettingsString(&user, &f);
  EXPECT_EQ(user.Text(), "WMA 48 kbit/s, 44.100 kHz, Mono, copy protected");
  f.preset = 0;
  SetWMAPresetString(&name, &settings, &f);
  EXPECT_EQ(settings.Text(), "");
}

}  // namespace
