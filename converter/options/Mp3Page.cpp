#include "converter/options/Mp3Page.h"

#include <cstring>

#include "converter/options/OptionsSession.h"
#include "converter/prefs/Preferences.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/Conv2MP3.h"
#include "engine/codecs/settings/MP3Settings.h"

CMp3Page* CMp3Page::Make(COptionsSession& session) {
  int preferred = static_cast<int>(session.Preferences().preferredMP3Encoder);
  auto* writer = dynamic_cast<CConv2MP3*>(NewCConv2FileObj(FILE_CONVERSION_MP3, preferred));
  if (!writer) return nullptr;
  return new CMp3Page(session, writer);
}

CMp3Page::CMp3Page(COptionsSession& session, CConv2MP3* writer)
    : session_(session),
      writer_(writer),
      encoderChoice_(
          static_cast<_tMP3EncoderDllTypedef>(session.Preferences().preferredMP3Encoder)) {
  CConv2FileFormat& f = Working();
  LoadStringsMP3Encoders(&encoder);
  SetMP3EncoderValue(&encoder, encoderChoice_, MP3_ENCODER_NOT_ASSIGNED);
  if (InitMP3PresetSlider(&preset, &f, writer_)) GetMP3PresetValue(&preset, &f, writer_);
  ownSettings.checked = session.Preferences().mp3Advanced != 0;
  usePreset.checked = !ownSettings.checked;
  userMaximums = f.soundQuality == SOUND_QUALITY_USER_MAXIMUMS;
  LoadStringsMP3TagTypes(&tag);
  SetMP3TagTypeValue(&tag, &f);
  ChoiceChanged();
}

CMp3Page::~CMp3Page() {
  CRefObj* obj = writer_;
  DeleteRefObject(&obj);
}

CConv2FileFormat& CMp3Page::Working() { return session_.Working(kPageMp3); }

void CMp3Page::Describe() {
  SetMP3PresetString(&presetName, &presetText, &Working(), writer_);
  SetMP3UserSettingsString(&settingsText, &Working(), writer_);
}

void CMp3Page::EncoderChanged() {
  // The new writer is made before the old one goes; a failure keeps the old.
  GetMP3EncoderValue(&encoder, &preset, &presetName, &presetText, &settingsText, &encoderChoice_,
                     &Working(), &writer_);
  Describe();
}

void CMp3Page::PresetMoved() {
  GetMP3PresetValue(&preset, &Working(), writer_);
  Describe();
}

void CMp3Page::ChoiceChanged() {
  preset.enabled = usePreset.checked;
  Working().usePreset = usePreset.checked ? 1 : 0;
  Describe();
}

void CMp3Page::AdvancedDone(const CConv2FileFormat& edited) {
  if (std::memcmp(&edited, &Working(), sizeof edited) == 0) return;
  Working() = edited;
  advancedChanged_ = true;
  Describe();
}

bool CMp3Page::Commit() {
  CPreferences& prefs = session_.Preferences();
  CConv2FileFormat& f = Working();
  f.SetSoundQuality(userMaximums ? SOUND_QUALITY_USER_MAXIMUMS : SOUND_QUALITY_PRESET);
  GetMP3TagTypeValue(&tag, &f);
  if (encoderChoice_ != static_cast<_tMP3EncoderDllTypedef>(prefs.preferredMP3Encoder) &&
      SetMP3Encoder(encoderChoice_)) {
    prefs.preferredMP3Encoder = encoderChoice_;
    prefs.changedFormat[kPageMp3] = true;
  }
  uint32_t advanced = ownSettings.checked ? 1 : 0;
  if (advanced != prefs.mp3Advanced) {
    prefs.mp3Advanced = advanced;
    prefs.changedFormat[kPageMp3] = true;
  }
  if (advancedChanged_) prefs.changedFormat[kPageMp3] = true;
  session_.CommitFormat(kPageMp3);
  return true;
}
