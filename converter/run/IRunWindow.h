// Where a conversion run sends the worker's questions: the progress window
// (a terminal front-end or a real window) answers them on its own thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Questions, by the number of the window message that carries them.
enum TRunQuestion {
  kAskOverwrite = 1027,
  kAskDiskFull = 1029,
  kAskPlaylist = 1031,
  kAskSilent = 1032,
  kAskPartial = 1033
};

// The answers, one type per question. OverwriteAll, SkipAll and
// ContinueUntilFull stand for the rest of the run; the others for one file.
// Cancel and Stop mean that the user stopped the run: the file is abandoned.

// An existing target (1027).
enum class TOverwriteAnswer { OverwriteThis, OverwriteAll, SkipThis, SkipAll, Cancel };
// The disk is almost full (1029). Retry measures again, in the run's target
// directory as it is then (a new folder may have been chosen meanwhile).
enum class TDiskFullAnswer { Retry, ContinueUntilFull, Stop };
// A silent source (1032) or a partial song (1033).
enum class TConvertAnywayAnswer { Convert, Skip, Cancel };

// A playlist of several entries waiting for the user's choice.
struct TPlaylistQuestion {
  std::string playlist;
  uint32_t targetType = 0;
  std::vector<std::string> entries;  // in order, nested playlists left out
};

// Who chooses a playlist's entries on the window's own thread.
class IPlaylistChooser {
 public:
  virtual ~IPlaylistChooser() = default;
  // The entries to queue (none when the user cancelled).
  virtual std::vector<std::string> ChooseEntries(const TPlaylistQuestion& question) = 0;
};

class IRunWindow {
 public:
  virtual ~IRunWindow() = default;
  // Called on the worker's thread; the window answers later on its own
  // thread through the run's Answer (or DropQuestion), which ends the wait.
  virtual void PostQuestion(int question, int parameter) = 0;
};
