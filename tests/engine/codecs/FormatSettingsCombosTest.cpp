// The settings pages' lists: what each offers for a writer and a record,
// what selecting and reading do, and how one choice refreshes the lists it
// limits.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/BladeConv2MP3.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/LameConv2MP3.h"
#include "engine/codecs/settings/MP3AdvancedSettings.h"
#include "engine/codecs/settings/MP3Settings.h"
#include "engine/codecs/settings/SettingsModels.h"
#include "engine/codecs/settings/WMASettings.h"
#include "engine/codecs/settings/WaveSettings.h"
#include "tests/TestSupport.h"

namespace {

class FormatSettingsCombos : public ::testing::Test {
 protected:
  void SetUp() override { SetTonalisStringFile(testsupport::BinPath("tonalis-strings.ini")); }
};

std::vector<long> Values(const CComboModel& combo) {
  std::vector<long> values;
  for (int i = 0; i < combo.Count(); ++i) values.push_back(combo.At(i).value);
  return values;
}

long SelectedValue(const CComboModel& combo) {
  long value = -1;
  combo.SelectedValue(&value);
  return value;
}

// A LAME record with explicit settings: MPEG-1 at 192, VBR 128 to 320.
CConv2FileFormat Mp3Record() {
  CConv2FileFormat f(kFormatTagMp3);
  f.usePreset = 0;
  return f;
}

TEST_F(FormatSettingsCombos, WaveRatesSelectAndStoreTheRecordsRate) {
  CComboModel combo;
  LoadStringsWaveSampleRates(&combo);
  EXPECT_EQ(Values(combo), (std::vector<long>{44100, 22050, 11025}));
  EXPECT_EQ(combo.At(1).text, "22050 Hz");
  CConv2FileFormat f(kFormatTagPcm);
  f.nSamplesPerSec = 22050;
  EXPECT_TRUE(SetWaveSampleRateValue(&combo, &f));
  EXPECT_EQ(combo.Selected(), 1);
  f.nSamplesPerSec = 48000;
  EXPECT_FALSE(SetWaveSampleRateValue(&combo, &f));
  EXPECT_EQ(combo.Selected(), -1);
  combo.Select(2);
  ASSERT_TRUE(GetWaveSampleRateValue(&combo, &f));
  EXPECT_EQ(f.nSamplesPerSec, 11025u);
  EXPECT_EQ(f.nAvgBytesPerSec, 11025u * 4);
}

// Reading a list with nothing selected leaves every field as it was.
TEST_F(FormatSettingsCombos, NothingSelectedNeverStores) {
  CLameConv2MP3 lame;
  CComboModel combo, other, third, fourth;
  CEditModel edit;
  CRadioModel stereo, mono;
  CConv2FileFormat f = Mp3Record();
  f.tagType = TAG_ID3_V1;
  f.mpegVersion = 0;
  f.nSamplesPerSec = 22050;
  const CConv2FileFormat before = f;
  auto unchanged = [&] { return std::memcmp(&f, &before, sizeof f) == 0; };

  LoadStringsWaveSampleRates(&combo);
  EXPECT_FALSE(GetWaveSampleRateValue(&combo, &f));
  LoadStringsMP3TagTypes(&combo);
  EXPECT_FALSE(GetMP3TagTypeValue(&combo, &f));
  LoadStringsMP3Modes(&combo, &lame);
  EXPECT_FALSE(GetMP3ModeValue(&combo, &f));
  LoadStringsMP3Versions(&combo, &lame);
  EXPECT_FALSE(GetMP3VersionValue(&combo, &other, &third, &fourth, &edit, &f));
  LoadStringsMP3Bitrates(&combo, &f);
  EXPECT_FALSE(GetMP3BitrateValue(&combo, &f));
  LoadStringsMP3MinBitrates(&combo, &f);
  EXPECT_FALSE(GetMP3MinBitrateValue(&combo, &other, &edit, &f));
  LoadStringsMP3MaxBitrates(&combo, &f);
  EXPECT_FALSE(GetMP3MaxBitrateValue(&combo, &other, &edit, &f));
  LoadStringsWMASampleRates(&combo);
  EXPECT_FALSE(GetWMASampleRateValue(&combo, &other, &stereo, &mono, &f));
  LoadStringsWMABitrates(&combo, &f);
  EXPECT_FALSE(GetWMABitrateValue(&combo, &stereo, &mono, &f));
  EXPECT_TRUE(unchanged());
  EXPECT_TRUE(edit.Text().empty()) << "the ABR edit is not refreshed either";
}

TEST_F(FormatSettingsCombos, TagKindsAndModesFollowTheWriter) {
  CComboModel tags;
  LoadStringsMP3TagTypes(&tags);
  EXPECT_EQ(Values(tags), (std::vector<long>{TAG_ID3_V2, TAG_ID3_V1, TAG_NONE}));

  CLameConv2MP3 lame;
  CBladeConv2MP3 blade;
  CComboModel modes;
  LoadStringsMP3Modes(&modes, &lame);
  EXPECT_EQ(Values(modes), (std::vector<long>{0, 1, 2, 3}));
  LoadStringsMP3Modes(&modes, &blade);
  EXPECT_EQ(Values(modes), (std::vector<long>{0, 2, 3}));
  EXPECT_EQ(modes.At(1).text, "Dual Channel");

  CConv2FileFormat f = Mp3Record();
  f.mode = 1;  // joint stereo, which BladeEnc lacks
  EXPECT_TRUE(SetMP3ModeValue(&modes, &f, &blade));
  EXPECT_EQ(f.mode, 0);
  EXPECT_EQ(modes.Selected(), 0);
  modes.Select(2);
  ASSERT_TRUE(GetMP3ModeValue(&modes, &f));
  EXPECT_EQ(f.mode, 3);
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(f.nBlockAlign, 2);

  CComboModel versions;
  LoadStringsMP3Versions(&versions, &lame);
  EXPECT_EQ(Values(versions), (std::vector<long>{1, 0, 2}));
  LoadStringsMP3Versions(&versions, &blade);
  EXPECT_EQ(Values(versions), (std::vector<long>{1}));
}

TEST_F(FormatSettingsCombos, BitrateListsFollowTheVersionsLadder) {
  CConv2FileFormat f = Mp3Record();
  CComboModel rates, mins, maxs;
  f.bitrate = 500;
  LoadStringsMP3Bitrates(&rates, &f);
  ASSERT_EQ(rates.Count(), 14);
  EXPECT_TRUE(SetMP3BitrateValue(&rates, &f));
  EXPECT_EQ(rates.Selected(), 0);
  EXPECT_EQ(f.bitrate, 320u);
  EXPECT_EQ(rates.At(0).text, "320 kbit/s");

  f.mpegVersion = 0;
  LoadStringsMP3Bitrates(&rates, &f);
  EXPECT_EQ(Values(rates),
            (std::vector<long>{160, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8}));
  LoadStringsMP3MinBitrates(&mins, &f);
  LoadStringsMP3MaxBitrates(&maxs, &f);
  EXPECT_EQ(mins.Count(), 12);
  EXPECT_EQ(mins.At(0).value, 128);
  EXPECT_EQ(maxs.Count(), 12);
  EXPECT_EQ(maxs.At(maxs.Count() - 1).value, 16);
  f.minBitrate = 2;
  EXPECT_TRUE(SetMP3MinBitrateValue(&mins, &f));
  EXPECT_EQ(f.minBitrate, 8u);
  // A value inside the range but off the ladder selects nothing.
  f.maxBitrate = 100;
  EXPECT_FALSE(SetMP3MaxBitrateValue(&maxs, &f));
  EXPECT_EQ(maxs.Selected(), -1);

  // MPEG-2.5 frames carry at most 64 kbit/s.
  f.mpegVersion = 2;
  LoadStringsMP3Bitrates(&rates, &f);
  EXPECT_EQ(Values(rates), (std::vector<long>{64, 56, 48, 40, 32, 24, 16, 8}));
}

TEST_F(FormatSettingsCombos, VersionChangeReloadsTheBitrateLists) {
  CLameConv2MP3 lame;
  CComboModel versions, rates, mins, maxs;
  CEditModel abr;
  InitMP3ABREdit(&abr);
  CConv2FileFormat f = Mp3Record();  // MPEG-1, 192, 128 to 320, ABR 192
  LoadStringsMP3Versions(&versions, &lame);
  LoadStringsMP3Bitrates(&rates, &f);
  LoadStringsMP3MinBitrates(&mins, &f);
  LoadStringsMP3MaxBitrates(&maxs, &f);

  versions.SelectValue(0);
  ASSERT_TRUE(GetMP3VersionValue(&versions, &rates, &mins, &maxs, &abr, &f));
  EXPECT_EQ(f.mpegVersion, 0);
  EXPECT_EQ(f.nSamplesPerSec, 22050u);
  EXPECT_EQ(rates.Count(), 13);
  EXPECT_EQ(f.bitrate, 160u);
  EXPECT_EQ(SelectedValue(rates), 160);
  EXPECT_EQ(f.minBitrate, 128u);
  EXPECT_EQ(SelectedValue(mins), 128);
  EXPECT_EQ(f.maxBitrate, 160u);
  EXPECT_EQ(SelectedValue(maxs), 160);
  EXPECT_EQ(f.abrBitrate, 159u);
  EXPECT_EQ(abr.Text(), "159");

  versions.SelectValue(2);
  ASSERT_TRUE(GetMP3VersionValue(&versions, &rates, &mins, &maxs, &abr, &f));
  EXPECT_EQ(f.nSamplesPerSec, 11025u);
  EXPECT_EQ(f.bitrate, 64u);
  EXPECT_EQ(f.minBitrate, 56u);
  EXPECT_EQ(f.maxBitrate, 64u);
  EXPECT_EQ(abr.Text(), "63");

  f.minBitrate = 8;
  f.maxBitrate = 16;
  versions.SelectValue(1);
  ASSERT_TRUE(GetMP3VersionValue(&versions, &rates, &mins, &maxs, &abr, &f));
  EXPECT_EQ(rates.Count(), 14);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.minBitrate, 32u);
  EXPECT_EQ(f.maxBitrate, 40u);
  EXPECT_EQ(SelectedValue(maxs), 40);
  EXPECT_TRUE(lame.ValidateFormat(&f));
}

TEST_F(FormatSettingsCombos, MinimumAndMaximumNeverCross) {
  CComboModel mins, maxs;
  CEditModel abr;
  CConv2FileFormat f = Mp3Record();
  f.minBitrate = 128;
  f.maxBitrate = 160;
  f.abrBitrate = 150;
  LoadStringsMP3MinBitrates(&mins, &f);
  LoadStringsMP3MaxBitrates(&maxs, &f);
  SetMP3MaxBitrateValue(&maxs, &f);

  mins.SelectValue(192);
  ASSERT_TRUE(GetMP3MinBitrateValue(&mins, &maxs, &abr, &f));
  EXPECT_EQ(f.minBitrate, 192u);
  EXPECT_EQ(f.maxBitrate, 224u);
  EXPECT_EQ(SelectedValue(maxs), 224);
  EXPECT_EQ(abr.Text(), "193");

  maxs.SelectValue(96);
  ASSERT_TRUE(GetMP3MaxBitrateValue(&maxs, &mins, &abr, &f));
  EXPECT_EQ(f.maxBitrate, 96u);
  EXPECT_EQ(f.minBitrate, 80u);
  EXPECT_EQ(SelectedValue(mins), 80);
  EXPECT_EQ(abr.Text(), "95");

  // The top of the minimum list still leaves the maximum its highest entry.
  mins.SelectValue(256);
  ASSERT_TRUE(GetMP3MinBitrateValue(&mins, &maxs, &abr, &f));
  EXPECT_EQ(f.maxBitrate, 320u);
}

TEST_F(FormatSettingsCombos, WmaRateChangePicksANaturalBitrateAndTheChannelsItAllows) {
  CComboModel rates, bitrates;
  CRadioModel stereo, mono;
  CConv2FileFormat f(kFormatTagWma);  // 44100 Hz stereo, 128 kbit/s
  f.bitrate = 128;
  LoadStringsWMASampleRates(&rates);
  EXPECT_EQ(Values(rates), (std::vector<long>{48000, 44100, 32000, 22050, 16000, 11025, 8000}));
  LoadStringsWMABitrates(&bitrates, &f);
  EXPECT_EQ(bitrates.At(0).value, 192);
  EXPECT_EQ(bitrates.At(bitrates.Count() - 1).value, 32);

  rates.SelectValue(32000);
  ASSERT_TRUE(GetWMASampleRateValue(&rates, &bitrates, &stereo, &mono, &f));
  EXPECT_EQ(f.nSamplesPerSec, 32000u);
  EXPECT_EQ(f.bitrate, 48u);
  EXPECT_EQ(Values(bitrates), (std::vector<long>{48, 40, 36, 32, 20}));
  EXPECT_EQ(SelectedValue(bitrates), 48);
  EXPECT_TRUE(stereo.checked && stereo.enabled);
  EXPECT_FALSE(mono.checked || mono.enabled) << "48 kbit/s is above the mono maximum";

  // 11025 Hz is mono only.
  rates.SelectValue(11025);
  ASSERT_TRUE(GetWMASampleRateValue(&rates, &bitrates, &stereo, &mono, &f));
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(f.bitrate, 8u);
  EXPECT_EQ(Values(bitrates), (std::vector<long>{8}));
  EXPECT_TRUE(mono.checked && mono.enabled);
  EXPECT_FALSE(stereo.checked || stereo.enabled);

  // 48000 Hz is stereo only, although its bit rates lie in the mono range too.
  rates.SelectValue(48000);
  ASSERT_TRUE(GetWMASampleRateValue(&rates, &bitrates, &stereo, &mono, &f));
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.bitrate, 128u);
  EXPECT_TRUE(stereo.checked && stereo.enabled);
  EXPECT_FALSE(mono.enabled);
  EXPECT_EQ(f.nAvgBytesPerSec, 48000u * 4);
}

TEST_F(FormatSettingsCombos, WmaBitrateChangePicksTheChannels) {
  CComboModel bitrates;
  CRadioModel stereo, mono;
  CConv2FileFormat f(kFormatTagWma);
  f.nChannels = 1;
  f.bitrate = 48;
  f.CalcBlockAlignNAvgBytesPerSec();
  LoadStringsWMABitrates(&bitrates, &f);
  SetWMABitrateValue(&bitrates, &f, 0);
  EXPECT_EQ(SelectedValue(bitrates), 48);
  SetWMARadioMode(&stereo, &mono, &f);
  EXPECT_TRUE(mono.checked && mono.enabled && stereo.enabled);

  bitrates.SelectValue(64);
  ASSERT_TRUE(GetWMABitrateValue(&bitrates, &stereo, &mono, &f));
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_TRUE(stereo.checked);
  EXPECT_FALSE(mono.checked || mono.enabled);

  // 32 kbit/s is inside both ranges: the channels stay, both can be chosen.
  bitrates.SelectValue(32);
  ASSERT_TRUE(GetWMABitrateValue(&bitrates, &stereo, &mono, &f));
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_TRUE(stereo.enabled && mono.enabled);
  mono.checked = true;
  stereo.checked = false;
  ASSERT_TRUE(GetWMARadioMode(&stereo, &mono, &f));
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(f.nBlockAlign, 2);

  // At 32000 Hz 20 kbit/s is below the stereo minimum.
  f.nSamplesPerSec = 32000;
  f.nChannels = 2;
  LoadStringsWMABitrates(&bitrates, &f);
  bitrates.SelectValue(20);
  ASSERT_TRUE(GetWMABitrateValue(&bitrates, &stereo, &mono, &f));
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_FALSE(stereo.enabled);
}

}  // namespace
