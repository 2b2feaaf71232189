// The sound that marks the end of a run: "done.wav" beside the program,
// played on the sound device; a terminal bell when it can't be played.
#pragma once

void PlayDoneSound();
