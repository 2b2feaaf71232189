// The MP3 advanced page over a target record and the writer of the current
// encoder: channel mode, MPEG version, the bit rates with their minimum and
// maximum, the average bit rate and the VBR quality. The lists depend on
// what the writer supports and on the record's MPEG version; a change of one
// choice refreshes the controls it limits.
//
// Get... functions store the selected entry and return true; with nothing
// selected they return false and leave the record as it is.
#pragma once

class CComboModel;
class CConv2FileFormat;
class CConv2MP3;
class CEditModel;
class CSliderModel;
class CTextModel;

// Stereo and mono always, joint stereo and dual channel when the writer has them.
void LoadStringsMP3Modes(CComboModel* combo, const CConv2MP3* writer);
// A mode the writer lacks becomes stereo first; channels follow the mode.
bool SetMP3ModeValue(CComboModel* combo, CConv2FileFormat* record, const CConv2MP3* writer);
// Stores the mode, with one channel for mono and two otherwise.
bool GetMP3ModeValue(const CComboModel* combo, CConv2FileFormat* record);

// The versions the writer supports: MPEG-1, MPEG-2, MPEG-2.5.
void LoadStringsMP3Versions(CComboModel* combo, const CConv2MP3* writer);
bool SetMP3VersionValue(CComboModel* combo, const CConv2FileFormat* record);
// Stores the version. When it changed, the rate moves to the version's
// default unless the version has it, and the bit-rate, minimum and maximum
// lists are reloaded for the version's ladder and reselected (each value
// limited to its new list), and the ABR edit is refreshed.
bool GetMP3VersionValue(const CComboModel* version, CComboModel* bitrate, CComboModel* min,
                        CComboModel* max, CEditModel* abrEdit, CConv2FileFormat* record);

// The ladder of the record's version, highest first; the minimum list leaves
// out the highest entry, the maximum list the lowest. MPEG-2.5 lists stop at
// the 64 kbit/s its frames carry.
void LoadStringsMP3Bitrates(CComboModel* combo, const CConv2FileFormat* record);
void LoadStringsMP3MinBitrates(CComboModel* combo, const CConv2FileFormat* record);
void LoadStringsMP3MaxBitrates(CComboModel* combo, const CConv2FileFormat* record);
// Each first limits the record's value to the list's lowest and highest
// entries (storing it), then selects it.
bool SetMP3BitrateValue(CComboModel* combo, CConv2FileFormat* record);
bool SetMP3MinBitrateValue(CComboModel* combo, CConv2FileFormat* record);
bool SetMP3MaxBitrateValue(CComboModel* combo, CConv2FileFormat* record);
bool GetMP3BitrateValue(const CComboModel* combo, CConv2FileFormat* record);
// Stores the minimum; when it changed and reaches the maximum, the maximum
// becomes the next ladder entry above it and is reselected. The ABR edit is refreshed.
bool GetMP3MinBitrateValue(const CComboModel* min, CComboModel* max, CEditModel* abrEdit,
                           CConv2FileFormat* record);
// Stores the maximum; when it changed and the minimum reaches it, the minimum
// becomes the next ladder entry below it and is reselected. The ABR edit is refreshed.
bool GetMP3MaxBitrateValue(const CComboModel* max, CComboModel* min, CEditModel* abrEdit,
                           CConv2FileFormat* record);

// The average bit rate: three digits, kept strictly between minimum and maximum.
void InitMP3ABREdit(CEditModel* edit);
// Moves the record's ABR bit rate strictly inside (minimum, maximum), to
// minimum + 1 or maximum - 1, and shows it.
void SetMP3ABREditValue(CEditModel* edit, CConv2FileFormat* record);
// Reads the digits the edit begins with (none read as 0), then as Set.
void GetMP3ABREditValue(CEditModel* edit, CConv2FileFormat* record);

// Range 0 to 9, position 9 - quality (best quality on the right).
void InitMP3VBRQualitySlider(CSliderModel* slider, const CConv2FileFormat* record);
void GetMP3VBRQualityValue(const CSliderModel* slider, CConv2FileFormat* record);
void SetMP3VBRQualityString(CTextModel* text, const CConv2FileFormat* record);
