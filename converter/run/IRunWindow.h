// Where a conversion run sends the worker's questions: the progress window
// (a terminal front-end or a real window) answers them on its own thread.
#pragma once

// Questions, by the number of the window message that carries them.
enum TRunQuestion {
  kAskOverwrite = 1027,
  kAskDiskFull = 1029,
  kAskPlaylist = 1031,
  kAskSilent = 1032,
  kAskPartial = 1033
};

class IRunWindow {
 public:
  virtual ~IRunWindow() = default;
  // Called on the worker's thread; the window answers later on its own
  // thread, stores the answer in the run and clears its waiting flag.
  virtual void PostQuestion(int question, int parameter) = 0;
};
