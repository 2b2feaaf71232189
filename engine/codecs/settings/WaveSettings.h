// The WAV page's sample-rate list over a target record.
#pragma once

class CComboModel;
class CConv2FileFormat;

// 44100, 22050 and 11025 Hz.
void LoadStringsWaveSampleRates(CComboModel* combo);
// Selects the record's rate; false (nothing selected) when the list lacks it.
bool SetWaveSampleRateValue(CComboModel* combo, const CConv2FileFormat* record);
// Stores the selected rate; false, with the record unchanged, when nothing is selected.
bool GetWaveSampleRateValue(const CComboModel* combo, CConv2FileFormat* record);
