// The MP3 page over a target record and the writer of the current encoder:
// the tag kind, the preset slider with its name and settings texts, the
// text of the user's own settings, and the encoder choice, which replaces
// the writer.
//
// Get... functions store the selected entry and return true; with nothing
// selected they return false and leave the record as it is.
#pragma once

#include "engine/codecs/ConverterLibraries.h"

class CComboModel;
class CConv2FileFormat;
class CConv2MP3;
class CSliderModel;
class CTextModel;

// ID3 version 2, ID3 version 1, none.
void LoadStringsMP3TagTypes(CComboModel* combo);
bool SetMP3TagTypeValue(CComboModel* combo, const CConv2FileFormat* record);
bool GetMP3TagTypeValue(const CComboModel* combo, CConv2FileFormat* record);

// One position per preset whose MPEG version the writer supports, lowest
// preset at position 0; a record without a preset takes the CD preset first.
// A preset the writer does not offer puts the slider at the last position
// when it is above the offered ones, else at the first; the result is then
// true, and the page treats it as the user moving the slider there
// (GetMP3PresetValue, SetMP3PresetString). With no preset offered the slider
// is disabled.
bool InitMP3PresetSlider(CSliderModel* slider, CConv2FileFormat* record, const CConv2MP3* writer);
// Stores the preset at the slider's position; false when none is offered there.
bool GetMP3PresetValue(const CSliderModel* slider, CConv2FileFormat* record,
                       const CConv2MP3* writer);
// The record's preset: its name, and "(settings)" of the format the preset
// makes with this writer. Both empty for a record without a valid preset.
void SetMP3PresetString(CTextModel* name, CTextModel* text, const CConv2FileFormat* record,
                        CConv2MP3* writer);
// The record's settings as the writer would encode them ("MPEG-1 Layer 3,
// 192 kbit/s, Stereo"), followed by its VBR-header, private, checksum,
// original and copyright marks.
void SetMP3UserSettingsString(CTextModel* text, const CConv2FileFormat* record,
                              const CConv2MP3* writer);

// The available encoders, each with its name and version; value and item
// datum are the encoder's number.
void LoadStringsMP3Encoders(CComboModel* combo);
// Selects encoder when it differs from previous.
void SetMP3EncoderValue(CComboModel* combo, _tMP3EncoderDllTypedef encoder,
                        _tMP3EncoderDllTypedef previous);

enum class MP3EncoderChange {
  kNotRead,    // nothing selected
  kUnchanged,  // the selected encoder is the current one
  kChanged,    // the new writer replaced the old one
  kFailed,     // no writer could be made: the old one stays, and is reselected
};
// Reads the selected encoder. When it differs from *encoder, a writer is made
// for it first; only when that succeeds is the old writer released, *writer
// and *encoder replaced, the record brought into the new encoder's reach and
// validated, and the preset slider and the three texts refreshed.
MP3EncoderChange GetMP3EncoderValue(CComboModel* encoders, CSliderModel* presetSlider,
                                    CTextModel* presetName, CTextModel* presetText,
                                    CTextModel* settingsText, _tMP3EncoderDllTypedef* encoder,
                                    CConv2FileFormat* record, CConv2MP3** writer);
