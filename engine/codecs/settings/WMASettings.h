// The WMA page over a target record: sample rate, bit rate and channels,
// which the WMA rate table ties together, and the preset slider, which
// offers only the presets the WMA library's encoder produces.
//
// Get... functions store the selected entry and return true; with nothing
// selected they return false and leave the record as it is.
#pragma once

#include <cstdint>

class CComboModel;
class CConv2FileFormat;
class CConv2WmaFile;
class CSliderModel;
class CTextModel;
struct CRadioModel;

// 48000 down to 8000 Hz.
void LoadStringsWMASampleRates(CComboModel* combo);
// Selects the record's rate when it differs from previous.
void SetWMASampleRateValue(CComboModel* combo, const CConv2FileFormat* record, uint32_t previous);
// Stores the rate. When it changed, the bit rate and channels are made
// natural for it, the bit-rate list is reloaded and reselected, and the
// radio buttons follow.
bool GetWMASampleRateValue(const CComboModel* rate, CComboModel* bitrate, CRadioModel* stereo,
                           CRadioModel* mono, CConv2FileFormat* record);

// The WMA ladder from 192 down to 5 kbit/s, those the record's rate takes
// with one or with two channels.
void LoadStringsWMABitrates(CComboModel* combo, const CConv2FileFormat* record);
// Selects the record's bit rate when it differs from previous.
void SetWMABitrateValue(CComboModel* combo, const CConv2FileFormat* record, uint32_t previous);
// Stores the bit rate. When it changed, the channels become those the rate
// table allows for it, and the radio buttons follow.
bool GetWMABitrateValue(const CComboModel* bitrate, CRadioModel* stereo, CRadioModel* mono,
                        CConv2FileFormat* record);

// Checks the button of the record's channels and enables the modes the rate
// table allows at its rate and bit rate: only stereo above the mono maximum,
// only mono below the stereo minimum, only the channels a rate forces.
void SetWMARadioMode(CRadioModel* stereo, CRadioModel* mono, const CConv2FileFormat* record);
// Stores the channels of the checked button; false when neither is checked.
bool GetWMARadioMode(const CRadioModel* stereo, const CRadioModel* mono, CConv2FileFormat* record);

// The WMA library's output formats decide which presets are offered; each
// function takes a writer to ask, or makes one of its own for the moment when
// given none. InitWMAPresetSlider gives one position per offered preset and
// selects the record's, or the CD preset when the record's is not offered
// (the first offered when neither is), storing it. The result is the number
// offered; with none the slider is disabled and the record kept; without a
// slider it only counts.
int InitWMAPresetSlider(CSliderModel* slider, CConv2FileFormat* record,
                        CConv2WmaFile* writer = nullptr);
// Stores the preset at the slider's position; false (record unchanged) when
// no preset is offered there.
bool GetWMAPresetValue(const CSliderModel* slider, CConv2FileFormat* record,
                       CConv2WmaFile* writer = nullptr);
// The preset row (preset - 1) at a slider position, or -1.
int GetPresetIndexFromSliderIndex(int position, CConv2WmaFile* writer = nullptr);
// The record's preset: its name, and "(settings)" of the format it makes.
// Both empty for a record without a valid preset.
void SetWMAPresetString(CTextModel* name, CTextModel* text, const CConv2FileFormat* record);
// The record's settings ("WMA 128 kbit/s, 44.100 kHz, Stereo"), marked when copy protected.
void SetWMAUserSettingsString(CTextModel* text, const CConv2FileFormat* record);
