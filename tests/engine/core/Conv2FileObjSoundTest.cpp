#include <gtest/gtest.h>

#include <cstring>

#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/Conv2WaveFile.h"
#include "engine/core/PCMSound.h"
#include "engine/media/MusicInfo.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;
using testsupport::TempDir;

// A WAV source converted to a CD-quality WAV as the converter drives it:
// size estimate, target format and file from the sound, a play-once render
// into the writer, and the music information carried over.
TEST(Conv2FileObjSound, ConvertsASoundThroughTheWaveWriter) {
  ASSERT_EQ(testsupport::MissingPrograms({"ffmpeg"}), "");
  TempDir dir;
  std::string source = dir.File("source.wav");
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i 'sine=f=330:d=1.5' -ac 2 -ar 44100 "
                             "-metadata title=Tune -y '" +
                             source + "'")
                .exitCode,
            0);

  CConv2WaveFile writer;
  ASSERT_TRUE(writer.Open(source, 0, 0));
  CConv2FileFormat preference;
  preference.SetSoundQuality(SOUND_QUALITY_CD);
  double estimate = writer.GetBytesToWrite(&preference, nullptr, -1.0);
  EXPECT_NEAR(estimate, 1.5 * 176400, 1.0);

  CFileObj* file = new CFileObj;
  ASSERT_TRUE(file->Open(source, 0, 0));
  CPCMSound* sound = new CPCMSound;
  ASSERT_EQ(sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  CConv2FileFormat run;
  writer.GetTargetFormat(&run, &preference, sound);
  EXPECT_EQ(run.nSamplesPerSec, 44100u);
  EXPECT_EQ(run.nChannels, 2);

  std::string target = dir.File("target.wav");
  ASSERT_EQ(writer.Create(target.c_str(), &run, sound), 1);
  tWAVEFORMATEX out{};
  run.MakeIntoWaveFormatEx(&out);
  out.wFormatTag = WAVE_FORMAT_PCM;
  Render r = RenderPlayOnce(*sound, out, out.nAvgBytesPerSec);
  long written = 0;
  ASSERT_EQ(writer.WriteStreamData(r.bytes.data(), static_cast<long>(r.bytes.size()), &written),
            static_cast<long>(r.bytes.size()));
  EXPECT_GE(writer.EndWriteStream(), 0);
  int listWritten = 0;
  EXPECT_GT(writer.FinalData(target.c_str(), "Sonoduct", &listWritten, sound->GetMusicInfo()), 0);
  writer.Close();
  EXPECT_EQ(writer.WriteTag(target.c_str(), "Sonoduct", sound), 0);

  EXPECT_EQ(SoxSamples(target), SoxSamples(source));
  CFileObj* back = new CFileObj;
  ASSERT_TRUE(back->Open(target, 0, 0));
  CPCMSound* check = new CPCMSound;
  ASSERT_EQ(check->InitialLoad(back, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  ASSERT_NE(check->GetMusicInfo(), nullptr);
  EXPECT_STREQ(check->GetMusicInfo()->title, "Tune");
  EXPECT_EQ(check->Length(0), 1500);

  for (CPCMSound* s : {sound, check}) {
    CAudioAtom* atom = s;
    DeleteAtom(&atom);
  }
  for (CFileObj* f : {file, back}) {
    CRefObj* obj = f;
    DeleteRefObject(&obj);
  }
}
