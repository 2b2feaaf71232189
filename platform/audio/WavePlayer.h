// Plays a PCM WAV file on the default sound device, to its end. No device,
// or a file that isn't 8- or 16-bit PCM, is an ordinary failure.
#pragma once

#include <string>

bool PlayWaveFile(const std::string& path);
