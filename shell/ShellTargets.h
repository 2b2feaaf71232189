// The conversion targets the file manager's menu offers, which of them the
// converter can write (it records that in the registry store), and the kinds
// of file the menu is offered for.
#pragma once

#include <string>

namespace shell {

// Target indices, as the converter numbers its target types.
constexpr int kTargetWav = 0;
constexpr int kTargetMp3 = 1;
constexpr int kTargetWma = 2;
constexpr int kTargetCount = 3;

struct TShellTarget {
  const char* labelKey;
  const char* helpKey;
  char letter;  // the converter's switch for this target
  bool availableByDefault;
};

// Indexed by the target numbers above.
extern const TShellTarget kShellTargets[kTargetCount];

// Which targets the converter can write.
struct TTargetAvailability {
  bool available[kTargetCount] = {true, false, false};
};

// The converter's key below HKEY_CURRENT_USER and its values.
constexpr const char* kConverterKey = "SOFTWARE\\Quillon\\Sonoduct";
constexpr const char* kNumAvailableValue = "NumAvailableConversionTypes";
constexpr const char* kAvailableValuePrefix = "AvailableConversionType";

// The availability as the registry store records it: the defaults, unless
// the converter's key holds NumAvailableConversionTypes, in which case each
// AvailableConversionType<index> that is there sets its target (nonzero =
// available). A key that can't be opened leaves the defaults.
TTargetAvailability ReadTargetAvailability();

enum class TShellFileKind {
  kOther,     // not offered
  kSound,     // a sound file the converter reads
  kPlaylist,  // a playlist whose entries it converts
};

// The kind of a file by its name's extension (behind the last dot of the
// name, compared without ASCII case).
TShellFileKind ShellFileKind(const std::string& path);
// Whether the name ends in ".wma" (without ASCII case).
bool IsWmaFile(const std::string& path);
// Whether the name ends in ".wav" (without ASCII case).
bool IsWavFile(const std::string& path);

}  // namespace shell
