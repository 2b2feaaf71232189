// The MP3 page of the Options sheet as plain state: the encoder, the preset
// slider with its texts, preset or own settings (edited in the advanced
// dialog), the user-maximums box and the tag kind. It holds the writer that
// describes the presets for the chosen encoder.
#pragma once

#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/ConverterLibraries.h"
#include "engine/codecs/settings/SettingsModels.h"

class CConv2MP3;
class COptionsSession;

class CMp3Page {
 public:
  // Null when no writer can be made for the preferred encoder: the page is left out.
  static CMp3Page* Make(COptionsSession& session);
  ~CMp3Page();
  CMp3Page(const CMp3Page&) = delete;
  CMp3Page& operator=(const CMp3Page&) = delete;

  CComboModel encoder;
  CSliderModel preset;
  CTextModel presetName, presetText, settingsText;
  CRadioModel usePreset, ownSettings;
  bool userMaximums = false;
  CComboModel tag;

  void EncoderChanged();
  void PresetMoved();
  void ChoiceChanged();
  // The advanced dialog's result: the working copy takes it when it differs.
  void AdvancedDone(const CConv2FileFormat& edited);
  CConv2MP3* Writer() { return writer_; }
  CConv2FileFormat& Working();

  bool Commit();

 private:
  CMp3Page(COptionsSession& session, CConv2MP3* writer);
  void Describe();

  COptionsSession& session_;
  CConv2MP3* writer_;
  _tMP3EncoderDllTypedef encoderChoice_;
  bool advancedChanged_ = false;
};
