#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/base/EngineGlobals.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/ConversionTypes.h"
#include "engine/codecs/ConverterLibraries.h"

namespace {

// No MP3 encoder lies beside the test program, only the WMA library: WAV and
// WMA are offered, and WMA reads.
TEST(ConverterLibraries, WithoutMp3EncodersMp3IsNotOffered) {
  DetermineConvertersAvailable(MP3_ENCODER_NOT_ASSIGNED, nullptr);
  int flags[3] = {-1, -1, -1};
  int count = 0;
  GetConvertersAvailable(&count, flags);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(flags[0], 1);
  EXPECT_EQ(flags[1], 0);
  EXPECT_EQ(flags[2], 1);
  EXPECT_EQ(GetMP3Encoder(), MP3_ENCODER_NOT_ASSIGNED);
  EXPECT_FALSE(SetMP3Encoder(MP3_ENCODER_LAME));
  EXPECT_FALSE(SetMP3Encoder(MP3_ENCODER_NOT_ASSIGNED));
  EXPECT_EQ(ConversionToMP3Allowed(), 0);
  EXPECT_EQ(NewCConv2FileObj(FILE_CONVERSION_MP3, -1), nullptr);
  EXPECT_EQ(WMADecodingAvailable(), 1);
  DetermineConvertersAvailable(MP3_ENCODER_LAME, nullptr);
  EXPECT_EQ(GetMP3Encoder(), MP3_ENCODER_LAME);  // unchanged: nothing to switch to

  char a[20], b[20], c[20];
  char* names[3] = {a, b, c};
  int available[3] = {-1, -1, -1};
  GetMP3EncoderNamesAndAvailablity(names, sizeof a, available);
  EXPECT_EQ(std::strlen(a), 19u);  // "LAME MP3 encoder (not available)" cut
  EXPECT_EQ(available[0], 0);
  EXPECT_EQ(available[2], 0);
  EXPECT_GT(std::strlen(c), 0u);
  EXPECT_EQ(FreeConversionLibraries(), 1);
}

// The current encoder is the engine-wide value, which engine start-up resets.
TEST(ConverterLibraries, CurrentEncoderIsTheEngineWideOne) {
  DetermineConvertersAvailable(MP3_ENCODER_BLADE, nullptr);
  EXPECT_EQ(GetCurrentMP3EncoderValue(), MP3_ENCODER_BLADE);
  ResetEngineGlobals();
  EXPECT_EQ(GetMP3Encoder(), MP3_ENCODER_NOT_ASSIGNED);
  EXPECT_EQ(WMADecodingAvailable(), 0);
}

}  // namespace
