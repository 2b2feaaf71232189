#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/PCMSound.h"
#include "engine/core/SoundGroup.h"
#include "platform/data/MemObj.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;

namespace {

// An atom that tells when it is destroyed.
class ProbeAtom : public CAudioAtom {
 public:
  explicit ProbeAtom(bool* destroyed, long length = 1000)
      : destroyed_(destroyed), length_(length) {}
  ~ProbeAtom() override { *destroyed_ = true; }
  long Length(int) override { return length_; }
  const tWAVEFORMATEX* AtomFormat() override { return format.nSamplesPerSec ? &format : nullptr; }
  tWAVEFORMATEX format{};

 private:
  bool* destroyed_;
  long length_;
};

CPCMSound* LoadedSound(uint16_t channels, uint32_t rate, uint16_t bits, CMemObj** mem) {
  std::string wav = Riff(Chunk("fmt ", FmtData(1, channels, rate, bits)) +
                         Chunk("data", std::string(rate * channels * bits / 8, '\0')));
  *mem = new CMemObj;
  (*mem)->Create(wav.data(), static_cast<int64_t>(wav.size()));
  auto* sound = new CPCMSound;
  EXPECT_EQ(sound->InitialLoad(*mem, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  return sound;
}

void Release(CAudioAtom* atom) { DeleteAtom(&atom); }

}  // namespace

TEST(SoundGroup, MembersLiveUntilTheGroupLetsGo) {
  bool destroyed = false;
  CAudioAtom* group = new CSoundGroup;
  CAudioAtom* atom = new ProbeAtom(&destroyed);
  atom->Add(group, 0);
  EXPECT_EQ(atom->References(), 2);
  CAudioAtom* caller = atom;
  DeleteAtom(&caller);
  EXPECT_EQ(caller, atom);  // references remain: the pointer stays
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(static_cast<CSoundGroup*>(group)->NumAtoms(kAtomMaskAll, 0), 0);  // a plain atom
  EXPECT_EQ(static_cast<CSoundGroup*>(group)->IsMember(atom), 1);
  atom->Remove();
  EXPECT_TRUE(destroyed);

  // A group's destruction releases the members it still holds.
  bool second = false;
  CAudioAtom* other = new ProbeAtom(&second);
  other->Add(group, 0);
  Release(other);
  EXPECT_FALSE(second);
  DeleteAtom(&group);
  EXPECT_EQ(group, nullptr);
  EXPECT_TRUE(second);
}

TEST(SoundGroup, BestFormatFollowsItsSounds) {
  CMemObj *m1, *m2;
  CPCMSound* low = LoadedSound(1, 22050, 8, &m1);
  CPCMSound* high = LoadedSound(2, 44100, 16, &m2);
  CSoundGroup* group = new CSoundGroup;
  EXPECT_EQ(group->BestFormat().nSamplesPerSec, 11025u);
  EXPECT_EQ(group->BestFormat().wBitsPerSample, 8);
  low->Add(group, 0);
  EXPECT_EQ(group->BestFormat().nSamplesPerSec, 22050u);
  EXPECT_EQ(group->BestFormat().wBitsPerSample, 8);
  high->Add(group, 0);
  EXPECT_EQ(group->BestFormat().nSamplesPerSec, 44100u);
  EXPECT_EQ(group->BestFormat().wBitsPerSample, 16);
  EXPECT_EQ(group->BestFormat().nAvgBytesPerSec, 44100u * 4);
  EXPECT_EQ(group->NumAtoms(kAtomMaskAudio, 0), 2);
  high->Remove();
  EXPECT_EQ(group->BestFormat().nSamplesPerSec, 22050u);
  EXPECT_EQ(group->BestFormat().wBitsPerSample, 8);
  EXPECT_EQ(group->BestFormat().nBlockAlign, 2);

  // Rate classes.
  tWAVEFORMATEX f = Pcm(1, 32000, 16);
  CSoundGroup classes;
  classes.UpdateBestFormat(&f, 1);
  EXPECT_EQ(classes.BestFormat().nSamplesPerSec, 22050u);
  f = Pcm(1, 48000, 16);
  EXPECT_EQ(classes.UpdateBestFormat(&f, 1), 1);
  EXPECT_EQ(classes.BestFormat().nSamplesPerSec, 44100u);
  f.nSamplesPerSec = 0;
  EXPECT_EQ(classes.UpdateBestFormat(&f, 1), 0);

  Release(low);
  Release(high);
  Release(group);
  CRefObj* o = m1;
  DeleteRefObject(&o);
  o = m2;
  DeleteRefObject(&o);
}

TEST(SoundGroup, AddingWithAdjustShiftsToTheStart) {
  bool d1 = false, d2 = false;
  CAudioAtom* outer = new CSoundGroup;
  CAudioAtom* inner = new CSoundGroup;
  bool d0 = false;
  CAudioAtom* anchor = new ProbeAtom(&d0, 5000);
  anchor->Add(outer, 0);
  inner->Add(outer, 1000);
  CAudioAtom* a = new ProbeAtom(&d1, 1000);
  a->Add(inner, 500);
  long offset = -1;
  EXPECT_EQ(static_cast<CSoundGroup*>(inner)->GetAtom(0, &offset), a);
  EXPECT_EQ(offset, 0);
  EXPECT_EQ(inner->OffsetInParent(), 1500);
  EXPECT_EQ(a->AbsoluteOffset(), 1500);
  EXPECT_EQ(a->LevelsDeep(), 2);

  CAudioAtom* b = new ProbeAtom(&d2, 1000);
  b->Add(inner, 2000);
  EXPECT_EQ(inner->Length(0), 3000);
  EXPECT_EQ(b->AbsoluteOffset(), 3500);
  b->Move(200);
  EXPECT_EQ(inner->Length(0), 1200);
  EXPECT_EQ(static_cast<CSoundGroup*>(inner)->GetAtom(5, nullptr), nullptr);

  char name[64];
  outer->SetAtomName("Outer");
  inner->SetAtomName("Inner");
  b->SetAtomName("B");
  b->GetNestedName(name, sizeof name, 5);
  EXPECT_STREQ(name, "Outer : Inner : B");
  b->GetNestedName(name, 12, 5);
  EXPECT_STREQ(name, "Outer : ");
  b->GetNestedName(name, sizeof name, 1);
  EXPECT_STREQ(name, "Inner : B");

  for (CAudioAtom* x : {a, b, inner, anchor}) Release(x);
  Release(outer);
  EXPECT_TRUE(d0 && d1 && d2);
}

TEST(SoundGroup, PlayOnceMapCombiningAndEmptyGroups) {
  CSoundGroup group;
  EXPECT_EQ(group.FinishedWithPlayOnce(), 0);
  EXPECT_EQ(group.Length(0), 0);

  EXPECT_EQ(CAudioAtom::MapCombiningEnabled(), 1);
  CAudioAtom::DisableMapCombining();
  CAudioAtom::DisableMapCombining();
  CAudioAtom::EnableMapCombining();
  EXPECT_EQ(CAudioAtom::MapCombiningEnabled(), 0);
  CAudioAtom::EnableMapCombining();
  EXPECT_EQ(CAudioAtom::MapCombiningEnabled(), 1);

  // Play-once mode reaches every member.
  bool d = false;
  CAudioAtom* atom = new ProbeAtom(&d);
  atom->Add(&group, 0);
  group.SetPlayOnceMode(1);
  EXPECT_EQ(atom->InPlayOnceMode(), 1);
  EXPECT_EQ(group.FinishedWithPlayOnce(), 1);  // a plain atom has nothing to play
  group.Mute(1);
  EXPECT_EQ(atom->Muted(), 1);
  atom->Remove();
  Release(atom);
  EXPECT_TRUE(d);
}

// An atom belongs to one group at a time and a group never to itself; what
// is refused changes no reference and no count.
TEST(SoundGroup, MembershipIsRefusedWhereItWouldBreakTheTree) {
  bool d1 = false, d2 = false;
  CSoundGroup* outer = new CSoundGroup;
  CSoundGroup* inner = new CSoundGroup;
  CSoundGroup* other = new CSoundGroup;
  CAudioAtom* atom = new ProbeAtom(&d1);
  inner->Add(outer, 0);
  atom->Add(inner, 0);
  EXPECT_EQ(atom->References(), 2);
  EXPECT_EQ(inner->AddSubAtom(atom, 300, 0, 0), nullptr);  // already a member
  EXPECT_EQ(other->AddSubAtom(atom, 0, 0, 0), nullptr);    // a member elsewhere
  EXPECT_EQ(outer->AddSubAtom(outer, 0, 0, 0), nullptr);   // itself
  EXPECT_EQ(inner->AddSubAtom(outer, 0, 0, 0), nullptr);   // what contains it
  EXPECT_EQ(atom->References(), 2);
  EXPECT_EQ(outer->References(), 1);
  EXPECT_EQ(inner->IsMember(atom), 1);
  EXPECT_EQ(other->IsMember(atom), 0);
  EXPECT_EQ(inner->IsMember(outer), 0);
  EXPECT_EQ(atom->Parent(), inner);

  // Moving keeps the single reference and places the member anew.
  ASSERT_NE(inner->MoveSubAtom(atom, 400, 0, 1), nullptr);
  long offset = -1;
  EXPECT_EQ(inner->GetAtom(0, &offset), atom);
  EXPECT_EQ(offset, 400);
  EXPECT_EQ(atom->AbsoluteOffset(), 400);
  EXPECT_EQ(atom->References(), 2);
  EXPECT_EQ(inner->Length(0), 1000);
  CAudioAtom* stray = new ProbeAtom(&d2);
  EXPECT_EQ(inner->MoveSubAtom(stray, 0, 0, 0), nullptr);  // no member
  EXPECT_EQ(stray->Parent(), nullptr);
  EXPECT_EQ(stray->References(), 1);
  Release(stray);
  EXPECT_TRUE(d2);

  // Once removed, it may join another group.
  atom->Remove();
  EXPECT_EQ(atom->Parent(), nullptr);
  EXPECT_NE(other->AddSubAtom(atom, 0, 0, 0), nullptr);
  EXPECT_EQ(atom->Parent(), other);
  Release(atom);
  EXPECT_FALSE(d1);
  Release(other);
  EXPECT_TRUE(d1);
  Release(inner);
  Release(outer);
}

// Only what was counted in is counted out of the best format, and a move
// counts its member once.
TEST(SoundGroup, BestFormatCountsEachMemberOnce) {
  CMemObj *m1, *m2;
  CPCMSound* member = LoadedSound(2, 44100, 16, &m1);
  CPCMSound* stranger = LoadedSound(2, 44100, 16, &m2);
  CSoundGroup* group = new CSoundGroup;
  member->Add(group, 0);
  ASSERT_EQ(group->BestFormat().nSamplesPerSec, 44100u);
  EXPECT_EQ(group->RemoveSubAtom(stranger, 1, 1), stranger);
  EXPECT_EQ(group->BestFormat().nSamplesPerSec, 44100u);
  EXPECT_EQ(group->BestFormat().wBitsPerSample, 16);
  member->Move(250);
  member->Move(0);
  EXPECT_EQ(group->BestFormat().wBitsPerSample, 16);
  member->Remove();
  EXPECT_EQ(group->BestFormat().nSamplesPerSec, 11025u);
  EXPECT_EQ(group->BestFormat().wBitsPerSample, 8);

  EXPECT_EQ(member->SetEffect(nullptr), 0);  // a sound takes no effects
  Release(member);
  Release(stranger);
  Release(group);
  CRefObj* o = m1;
  DeleteRefObject(&o);
  o = m2;
  DeleteRefObject(&o);
}
