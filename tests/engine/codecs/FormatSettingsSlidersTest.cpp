// The settings pages' sliders: VBR quality, and the preset sliders, which
// offer only the presets the writer (MP3) or the WMA library's encoder can
// make.
#include <gtest/gtest.h>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/BladeConv2MP3.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2WmaFile.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/LameConv2MP3.h"
#include "engine/codecs/settings/MP3AdvancedSettings.h"
#include "engine/codecs/settings/MP3Settings.h"
#include "engine/codecs/settings/SettingsModels.h"
#include "engine/codecs/settings/WMASettings.h"
#include "tests/TestSupport.h"

namespace {

TEST(FormatSettingsSliders, VbrQualityRunsFromWorstOnTheLeft) {
  CSliderModel slider;
  CTextModel text;
  CConv2FileFormat f(kFormatTagMp3);  // quality 2
  InitMP3VBRQualitySlider(&slider, &f);
  EXPECT_EQ(slider.Low(), 0);
  EXPECT_EQ(slider.High(), 9);
  EXPECT_EQ(slider.Position(), 7);
  slider.SetPosition(9);
  GetMP3VBRQualityValue(&slider, &f);
  EXPECT_EQ(f.vbrQuality, 0);
  SetMP3VBRQualityString(&text, &f);
  EXPECT_EQ(text.Text(), "0");
}

TEST(FormatSettingsSliders, Mp3PresetSliderOffersWhatTheWriterWrites) {
  CBladeConv2MP3 blade;
  CLameConv2MP3 lame;
  CSliderModel slider;
  CConv2FileFormat f(kFormatTagMp3);

  // BladeEnc writes MPEG-1 only: presets 5 to 10.
  f.preset = 8;
  EXPECT_FALSE(InitMP3PresetSlider(&slider, &f, &blade));
  EXPECT_EQ(slider.Low(), 0);
  EXPECT_EQ(slider.High(), 5);
  EXPECT_EQ(slider.Position(), 3);
  for (int position = 0; position <= 5; ++position) {
    slider.SetPosition(position);
    ASSERT_TRUE(GetMP3PresetValue(&slider, &f, &blade));
    EXPECT_EQ(f.preset, 5 + position);
  }

  // A preset below those offered takes the first position, and the page is told.
  f.preset = 2;
  EXPECT_TRUE(InitMP3PresetSlider(&slider, &f, &blade));
  EXPECT_EQ(slider.Position(), 0);
  EXPECT_EQ(f.preset, 2) << "stored only when the page reads the slider";
  ASSERT_TRUE(GetMP3PresetValue(&slider, &f, &blade));
  EXPECT_EQ(f.preset, 5);
  f.preset = 11;
  EXPECT_TRUE(InitMP3PresetSlider(&slider, &f, &blade));
  EXPECT_EQ(slider.Position(), 5);

  // No preset means the CD preset; LAME offers all ten.
  f.preset = 0;
  EXPECT_FALSE(InitMP3PresetSlider(&slider, &f, &lame));
  EXPECT_EQ(f.preset, 9);
  EXPECT_EQ(slider.High(), 9);
  EXPECT_EQ(slider.Position(), 8);
  EXPECT_TRUE(slider.enabled);

  // Without a writer nothing is offered, and reading stores nothing.
  EXPECT_FALSE(InitMP3PresetSlider(&slider, &f, nullptr));
  EXPECT_FALSE(slider.enabled);
  EXPECT_FALSE(GetMP3PresetValue(&slider, &f, nullptr));
  EXPECT_EQ(f.preset, 9);
}

class FormatSettingsWmaSlider : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTonalisStringFile(testsupport::BinPath("tonalis-strings.ini"));
    DetermineConvertersAvailable(MP3_ENCODER_NOT_ASSIGNED, nullptr);
    ASSERT_EQ(ConversionToWMAAllowed(), 1);
  }
};

TEST_F(FormatSettingsWmaSlider, OffersThePresetsTheEncoderProduces) {
  CConv2WmaFile writer;
  const int offered = writer.NumPresetWMAFormatsAvailable();
  ASSERT_GT(offered, 0);
  EXPECT_EQ(InitWMAPresetSlider(nullptr, nullptr), offered);
  ASSERT_TRUE(writer.IsWMAFormatAvailable(WMA_PRESET_CD));

  CSliderModel slider;
  CConv2FileFormat f(kFormatTagWma);
  f.preset = 0;  // not a preset: the CD preset is taken
  EXPECT_EQ(InitWMAPresetSlider(&slider, &f, &writer), offered);
  EXPECT_EQ(f.preset, WMA_PRESET_CD);
  EXPECT_EQ(slider.High(), offered - 1);
  EXPECT_EQ(GetPresetIndexFromSliderIndex(slider.Position(), &writer), WMA_PRESET_CD - 1);

  // Each position reads back as an offered preset, in rising order.
  int last = 0;
  for (int position = 0; position < offered; ++position) {
    slider.SetPosition(position);
    ASSERT_TRUE(GetWMAPresetValue(&slider, &f, &writer));
    EXPECT_GT(f.preset, last);
    EXPECT_TRUE(writer.IsWMAFormatAvailable(static_cast<_tWMAPresetTypedef>(f.preset)));
    last = f.preset;
  }
  EXPECT_EQ(GetPresetIndexFromSliderIndex(-1, &writer), -1);
  EXPECT_EQ(GetPresetIndexFromSliderIndex(offered), -1);

  // A position no preset is offered at leaves the record's preset alone.
  CSliderModel wide;
  wide.SetRange(0, 20);
  wide.SetPosition(offered);
  f.preset = WMA_PRESET_RADIO;
  EXPECT_FALSE(GetWMAPresetValue(&wide, &f, &writer));
  EXPECT_EQ(f.preset, WMA_PRESET_RADIO);
}

}  // namespace
