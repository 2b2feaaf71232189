// Group files: a tree of groups and sounds written to a RIFF file and read back.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/PCMBuffer.h"
#include "engine/core/InitialLoad.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundGroup.h"
#include "platform/data/FileObj.h"
#include "platform/data/MemObj.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;
using testsupport::TempDir;

namespace {

CPCMSound* SoundOver(const std::string& path) {
  auto* file = new CFileObj;
  auto* sound = new CPCMSound;
  EXPECT_TRUE(file->Open(path, 0, 0));
  EXPECT_EQ(sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
  return sound;
}

void Release(CAudioAtom* atom) { DeleteAtom(&atom); }

}  // namespace

TEST(GroupFile, TreeOfGroupsAndSoundsRoundTrips) {
  TempDir dir;
  std::string a = dir.File("a.wav"), b = dir.File("b.wav");
  ASSERT_TRUE(Sox("-n -r 8000 -c 1 -b 16 '" + a + "' synth 0.5 sine 300"));
  ASSERT_TRUE(Sox("-n -r 22050 -c 2 -b 16 '" + b + "' synth 0.25 sine 500"));

  CSoundGroup* root = new CSoundGroup;
  CSoundGroup* inner = new CSoundGroup;
  CPCMSound* first = SoundOver(a);
  CPCMSound* second = SoundOver(b);
  CPCMSound* embedded = SoundOver(a);
  first->SetAtomName("first");
  first->GetSrcMap()->MultiplySimpleEvents(MAP_VOLUME, 0.5);
  first->Mute(1);
  second->SetAtomName("second");
  inner->SetAtomName("inner");
  root->SetComments("two sounds");
  first->Add(root, 0);
  inner->Add(root, 300);
  second->Add(inner, 0);
  embedded->Add(inner, 100);
  EXPECT_EQ(root->NumAtoms(kAtomMaskAudio, 1), 3);

  std::string groupPath = dir.File("tree.sgp");
  {
    CFileObj out;
    ASSERT_TRUE(out.Create(groupPath));
    CRIFF riff;
    ASSERT_TRUE(riff.Create(&out, FourCC("SGRP")));
    ASSERT_EQ(root->Save(&riff, 0), 1);
    ASSERT_TRUE(riff.Close());
  }
  // Saved once more with the sounds' data embedded instead of their paths.
  std::string embedPath = dir.File("embed.sgp");
  {
    CFileObj out;
    ASSERT_TRUE(out.Create(embedPath));
    CRIFF riff;
    ASSERT_TRUE(riff.Create(&out, FourCC("SGRP")));
    ASSERT_EQ(root->Save(&riff, 1), 1);
    ASSERT_TRUE(riff.Close());
  }
  for (CAudioAtom* x : {static_cast<CAudioAtom*>(first), static_cast<CAudioAtom*>(second),
                        static_cast<CAudioAtom*>(embedded), static_cast<CAudioAtom*>(inner)})
    Release(x);
  Release(root);

  _formatSupportedInfo info{};
  ASSERT_EQ(FileFormatSupported(groupPath.c_str(), &info), 1);
  EXPECT_EQ(info.isGroupFile, 1);

  CFileObj in;
  ASSERT_TRUE(in.Open(groupPath, 0, 0));
  CRIFF reader;
  ASSERT_TRUE(reader.Open(&in));
  ASSERT_TRUE(reader.SeekToChunk(kFourCCList, 1, FourCC("sgrp")));
  CSoundGroup* loaded = new CSoundGroup;
  ASSERT_EQ(loaded->Load(&reader, 0, 0, 0, 20, nullptr, nullptr), 1);
  EXPECT_STREQ(loaded->GetComments(), "two sounds");
  EXPECT_EQ(loaded->LastSavedNumAtoms(), 2);
  EXPECT_EQ(loaded->NumAtoms(kAtomMaskAudio, 1), 3);
  long offset = -1;
  auto* s1 = dynamic_cast<CPCMSound*>(loaded->GetAtom(0, &offset));
  ASSERT_NE(s1, nullptr);
  EXPECT_EQ(offset, 0);
  EXPECT_STREQ(s1->GetAtomName(), "first");
  EXPECT_EQ(s1->Muted(), 1);
  EXPECT_EQ(s1->Length(0), 500);
  EXPECT_DOUBLE_EQ(s1->GetSrcMap()->GetSimpleValueAtTime(100, MAP_VOLUME), 0.5);
  auto* g = dynamic_cast<CSoundGroup*>(loaded->GetAtom(1, &offset));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(offset, 300);
  EXPECT_STREQ(g->GetAtomName(), "inner");
  ASSERT_EQ(g->NumAtoms(kAtomMaskAudio, 0), 2);
  auto* s2 = dynamic_cast<CPCMSound*>(g->GetAtom(0, &offset));
  ASSERT_NE(s2, nullptr);
  EXPECT_EQ(s2->Format()->nSamplesPerSec, 22050u);
  EXPECT_EQ(s2->AbsoluteOffset(), 300);
  // The third sound shares the file of the first: it is a copy of that sound.
  auto* s3 = dynamic_cast<CPCMSound*>(g->GetAtom(1, &offset));
  ASSERT_NE(s3, nullptr);
  EXPECT_EQ(offset, 100);
  EXPECT_EQ(s3->GetBuffer()->IsLoadedOnce(), 1);
  EXPECT_EQ(loaded->BestFormat().nSamplesPerSec, 22050u);
  Release(loaded);

  // Embedded data is not loaded back; the other members still are.
  CFileObj in2;
  ASSERT_TRUE(in2.Open(embedPath, 0, 0));
  CRIFF reader2;
  ASSERT_TRUE(reader2.Open(&in2));
  ASSERT_TRUE(reader2.SeekToChunk(kFourCCList, 1, FourCC("sgrp")));
  CSoundGroup* partial = new CSoundGroup;
  ASSERT_EQ(partial->Load(&reader2, 0, 0, 0, 20, nullptr, nullptr), 1);
  EXPECT_EQ(partial->NumAtoms(kAtomMaskAudio, 1), 0);
  Release(partial);
}

// What a group says it will take is what its file takes, by reference and
// with the data embedded, and the data size of its sounds is stored with it.
TEST(GroupFile, SavedSizesAreTheFilesSizes) {
  TempDir dir;
  std::string a = dir.File("a.wav"), b = dir.File("b.wav");
  ASSERT_TRUE(Sox("-n -r 8000 -c 1 -b 16 '" + a + "' synth 0.5 sine 300"));  // 8000 bytes
  // 5512 whole frames of 4 bytes
  ASSERT_TRUE(Sox("-n -r 22050 -c 2 -b 16 '" + b + "' synth 0.25 sine 500"));
  // A sound over memory has no file to name: its data is always embedded,
  // here an odd number of bytes, which the file pads.
  std::string odd =
      Riff(Chunk("fmt ", FmtData(1, 1, 8000, 8)) + Chunk("data", std::string(1001, 'x')));
  auto* mem = new CMemObj;
  mem->Create(odd.data(), static_cast<int64_t>(odd.size()));
  auto* inMemory = new CPCMSound;
  ASSERT_EQ(inMemory->InitialLoad(mem, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);

  CSoundGroup* root = new CSoundGroup;
  CSoundGroup* inner = new CSoundGroup;
  CPCMSound* first = SoundOver(a);
  CPCMSound* second = SoundOver(b);
  first->GetSrcMap()->AddSimpleEvent(MAP_PAN, 250, 0.5);  // a longer envelope
  first->Add(root, 0);
  inner->Add(root, 200);
  second->Add(inner, 0);
  inMemory->Add(inner, 50);
  EXPECT_EQ(root->DataSizeOfSubGroups(), 8000 + 22048 + 1001);
  EXPECT_EQ(inner->DataSizeOfSubGroups(), 22048 + 1001);
  EXPECT_EQ(root->LastSavedDataSize(), 0);
  EXPECT_NE(std::strlen(root->GetCreationTime()), 0u);

  auto save = [&](const std::string& path, int embed) {
    CFileObj out;
    EXPECT_TRUE(out.Create(path));
    CRIFF riff;
    EXPECT_TRUE(riff.Create(&out, FourCC("SGRP")));
    EXPECT_EQ(root->Save(&riff, embed), 1);
    EXPECT_TRUE(riff.Close());
    return static_cast<long>(testsupport::ReadFile(path).size());
  };
  const long expected = root->GetSavedSize(nullptr);
  EXPECT_EQ(save(dir.File("ref.sgp"), 0), expected);
  EXPECT_EQ(root->LastSavedDataSize(), 8000 + 22048 + 1001);
  const long embedded = CAudioAtom::kListHeaderBytes + root->SaveSize(1);
  EXPECT_EQ(save(dir.File("embed.sgp"), 1), embedded);

  // Read back, each group has the data size it was saved with.
  CFileObj in;
  ASSERT_TRUE(in.Open(dir.File("ref.sgp"), 0, 0));
  CRIFF reader;
  ASSERT_TRUE(reader.Open(&in));
  ASSERT_TRUE(reader.SeekToChunk(kFourCCList, 1, FourCC("sgrp")));
  CSoundGroup* loaded = new CSoundGroup;
  ASSERT_EQ(loaded->Load(&reader, 0, 0, 0, 20, nullptr, nullptr), 1);
  EXPECT_EQ(loaded->LastSavedDataSize(), 8000 + 22048 + 1001);
  EXPECT_STREQ(loaded->GetCreationTime(), root->GetCreationTime());
  auto* loadedInner = dynamic_cast<CSoundGroup*>(loaded->GetAtom(1, nullptr));
  ASSERT_NE(loadedInner, nullptr);
  EXPECT_EQ(loadedInner->LastSavedDataSize(), 22048 + 1001);
  // The sound over memory was embedded and is not loaded back.
  EXPECT_EQ(loaded->DataSizeOfSubGroups(), 8000 + 22048);

  for (CAudioAtom* x : {static_cast<CAudioAtom*>(first), static_cast<CAudioAtom*>(second),
                        static_cast<CAudioAtom*>(inMemory), static_cast<CAudioAtom*>(inner),
                        static_cast<CAudioAtom*>(root), static_cast<CAudioAtom*>(loaded)})
    Release(x);
  CRefObj* obj = mem;
  DeleteRefObject(&obj);
}
