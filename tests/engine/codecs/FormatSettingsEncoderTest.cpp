// The encoder choice of the MP3 page: the encoders offered, and the switch
// to another encoder's writer, which must never lose the working one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2MP3.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/LameConv2MP3.h"
#include "engine/codecs/settings/MP3Settings.h"
#include "engine/codecs/settings/SettingsModels.h"
#include "platform/paths/ProgramDirectory.h"
#include "tests/TestSupport.h"

namespace {

// Set in a copy of this program that has the encoder libraries beside it.
constexpr const char* kBesideVariable = "SONODUCT_TEST_ENCODERS_BESIDE";

void Release(CConv2MP3* writer) {
  CRefObj* object = writer;
  DeleteRefObject(&object);
}

class FormatSettingsEncoder : public ::testing::Test {
 protected:
  void SetUp() override { SetTonalisStringFile(testsupport::BinPath("tonalis-strings.ini")); }
};

TEST_F(FormatSettingsEncoder, SwitchReplacesTheWriterOnlyWhenTheNewOneIsMade) {
  CComboModel encoders;
  encoders.Add("LAME", MP3_ENCODER_LAME, MP3_ENCODER_LAME);
  encoders.Add("BladeEnc", MP3_ENCODER_BLADE, MP3_ENCODER_BLADE);
  encoders.Add("none", MP3_ENCODER_NOT_ASSIGNED, MP3_ENCODER_NOT_ASSIGNED);
  CSliderModel slider;
  CTextModel name, text, settings;
  CConv2FileFormat f(kFormatTagMp3);
  f.preset = 4;  // FM: MPEG-2, which BladeEnc cannot write
  f.mode = 1;
  CConv2MP3* writer = new CLameConv2MP3;
  _tMP3EncoderDllTypedef encoder = MP3_ENCODER_LAME;

  EXPECT_EQ(GetMP3EncoderValue(&encoders, &slider, &name, &text, &settings, &encoder, &f, &writer),
            MP3EncoderChange::kNotRead);
  SetMP3EncoderValue(&encoders, MP3_ENCODER_LAME, MP3_ENCODER_NOT_ASSIGNED);
  EXPECT_EQ(encoders.Selected(), 0);
  EXPECT_EQ(GetMP3EncoderValue(&encoders, &slider, &name, &text, &settings, &encoder, &f, &writer),
            MP3EncoderChange::kUnchanged);

  encoders.Select(1);
  ASSERT_EQ(GetMP3EncoderValue(&encoders, &slider, &name, &text, &settings, &encoder, &f, &writer),
            MP3EncoderChange::kChanged);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(writer->GetMP3EncoderType(), MP3_ENCODER_BLADE);
  EXPECT_EQ(encoder, MP3_ENCODER_BLADE);
  EXPECT_EQ(f.mpegVersion, 1);
  EXPECT_EQ(f.mode, 0);
  EXPECT_EQ(f.preset, 5);
  EXPECT_EQ(slider.High(), 5);
  EXPECT_EQ(slider.Position(), 0);
  EXPECT_EQ(name.Text(), "Voice");
  EXPECT_EQ(text.Text(), "(MPEG-1 Layer 3, 64 kbit/s, Mono)");
  EXPECT_EQ(settings.Text().rfind("MPEG-1 Layer 3", 0), 0u) << settings.Text();

  // No writer exists for "no encoder": the BladeEnc one stays and is shown again.
  CConv2MP3* kept = writer;
  const CConv2FileFormat before = f;
  encoders.Select(2);
  EXPECT_EQ(GetMP3EncoderValue(&encoders, &slider, &name, &text, &settings, &encoder, &f, &writer),
            MP3EncoderChange::kFailed);
  EXPECT_EQ(writer, kept);
  EXPECT_EQ(writer->GetMP3EncoderType(), MP3_ENCODER_BLADE);
  EXPECT_EQ(encoder, MP3_ENCODER_BLADE);
  EXPECT_EQ(encoders.Selected(), 1);
  EXPECT_EQ(f.preset, before.preset);
  EXPECT_EQ(f.bitrate, before.bitrate);
  EXPECT_EQ(name.Text(), "Voice");
  Release(writer);
}

// Only the encoders whose libraries lie beside the program are offered. This
// program has none beside it, so the check of both runs in a copy that has them.
TEST_F(FormatSettingsEncoder, OffersTheEncodersBesideTheProgram) {
  if (!std::getenv(kBesideVariable)) {
    DetermineConvertersAvailable(MP3_ENCODER_NOT_ASSIGNED, nullptr);
    CComboModel none;
    LoadStringsMP3Encoders(&none);
    EXPECT_EQ(none.Count(), 0);

    testsupport::TempDir dir;
    const std::string copy = dir.File("test_engine");
    std::string setup = "cp '" + ProgramPath() + "' '" + copy + "'";
    for (const char* library : {"Lame_enc.so", "BladeEnc.so"})
      setup += " && ln -s '" + testsupport::BinPath(library) + "' '" + dir.File(library) + "'";
    ASSERT_EQ(testsupport::Run(setup).exitCode, 0);
    const auto run = testsupport::Run(
        "'" + copy + "' --gtest_filter=FormatSettingsEncoder.OffersTheEncodersBesideTheProgram",
        {std::string(kBesideVariable) + "=1"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("[  PASSED  ] 1 test"), std::string::npos) << run.out;
    return;
  }
  DetermineConvertersAvailable(MP3_ENCODER_LAME, nullptr);
  CComboModel encoders;
  LoadStringsMP3Encoders(&encoders);
  ASSERT_EQ(encoders.Count(), 2);
  EXPECT_EQ(encoders.At(0).data, MP3_ENCODER_LAME);
  EXPECT_EQ(encoders.At(1).data, MP3_ENCODER_BLADE);
  EXPECT_EQ(encoders.At(0).text.rfind("LAME MP3 encoder (version ", 0), 0u) << encoders.At(0).text;
  SetMP3EncoderValue(&encoders, MP3_ENCODER_BLADE, MP3_ENCODER_LAME);
  EXPECT_EQ(encoders.Selected(), 1);
  EXPECT_EQ(FreeConversionLibraries(), 1);
}

}  // namespace
