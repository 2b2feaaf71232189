#include "converter/run/DoneSound.h"

#include "platform/audio/WavePlayer.h"
#include "platform/os/FileStatus.h"
#include "platform/os/Terminal.h"
#include "platform/paths/ProgramDirectory.h"

void PlayDoneSound() {
  const std::string dir = ProgramDirectory();
  for (const std::string& path : {dir + "done.wav", dir + "../share/sonoduct/done.wav"}) {
    if (!os::IsRegularFile(path)) continue;
    if (PlayWaveFile(path)) return;
    break;
  }
  // No sound device: the terminal's bell instead.
  if (os::StderrIsTerminal()) os::WriteError("\a");
}
