// Conversion runs inside a test process, in a private home: HOME and the XDG
// folders point into a temporary folder, the converter's strings are loaded,
// and the settings make plain, quick runs into dir/out.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "converter/prefs/Preferences.h"
#include "tests/TestSupport.h"
#include "utilities/strings/StringFile.h"

namespace runsandbox {

// Enters the sandbox and returns the output folder (without its separator).
inline std::string Enter(const testsupport::TempDir& dir, CPreferences& prefs) {
  for (const char* var : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
    std::string path = dir.Path() + "/" + var;
    EXPECT_EQ(testsupport::Run("mkdir -m 700 -p '" + path + "'").exitCode, 0);
    setenv(var, path.c_str(), 1);
  }
  setenv("HOME", dir.Path().c_str(), 1);
  std::string strings = testsupport::SourceDir() + "/converter/sonoduct-strings.ini";
  SetStringFile(strings.c_str());
  std::string out = dir.Path() + "/out";
  EXPECT_EQ(testsupport::Run("mkdir -p '" + out + "'").exitCode, 0);
  prefs.defaultDir = out + "/";
  prefs.cpuSleepTime = 0;
  prefs.playSound = 0;
  prefs.normalizeVolume = 0;
  prefs.trimSoundsAutomatically = 0;
  prefs.warnAboutIncompleteSongs = 0;
  return out;
}

// A 22.05 kHz mono WAV that sox makes from its arguments ("synth 1 sine 440").
inline std::string Sound(const testsupport::TempDir& dir, const std::string& name,
                         const std::string& synth) {
  std::string path = dir.File(name);
  auto r = testsupport::Run("sox -n -r 22050 -c 1 -b 16 '" + path + "' " + synth);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

// A tone of that many seconds.
inline std::string Tone(const testsupport::TempDir& dir, const std::string& name, double seconds) {
  return Sound(dir, name, "synth " + std::to_string(seconds) + " sine 440 vol 0.5");
}

inline bool Exists(const std::string& path) {
  return testsupport::Run("test -e '" + path + "'").exitCode == 0;
}

}  // namespace runsandbox
