// Engine-wide switches and the table of loaded encoder libraries. They are
// set from the caller's thread before conversions start and reset by
// SoundEngineStartup.
#pragma once

constexpr int kEncoderLibrarySlots = 16;

// Whether the loaders decode MPEG audio (start-up: 1).
int GetMPEGDecodingEnabled();
void SetMPEGDecodingEnabled(int enabled);
// Whether MP3 streams with an encoder's LAME tag decode to their exact
// length, without the encoder delay and padding (start-up: 1).
int GetGaplessMP3Decoding();
void SetGaplessMP3Decoding(int on);
// Whether the WMA library could be loaded (start-up: 0).
int GetWMADecodingAvailable();
void SetWMADecodingAvailable(int available);
// The handles of the loaded encoder and decoder libraries,
// kEncoderLibrarySlots entries, all null after start-up.
void** EncoderLibraryHandles();
// The current MP3 encoder as its _tMP3EncoderDllTypedef value (start-up: 2,
// none chosen yet).
int GetCurrentMP3EncoderValue();
void SetCurrentMP3EncoderValue(int value);

// Puts every value above back to its start-up value.
void ResetEngineGlobals();
