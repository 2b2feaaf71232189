// The diagnostic log. It is off unless the environment variable SONODUCT_LOG
// is set: "stderr" (or "-") writes to standard error, a value holding a '/'
// names the log file, and any other value (such as 1) writes to
// $XDG_STATE_HOME/sonoduct/sonoduct.log (default ~/.local/state/sonoduct/).
// Each line carries the time and the process id; lines from several threads
// and processes never interleave.
#pragma once

// Appends one line (a trailing line break is added when missing).
void Log(const char* text);
// printf-style; the caller's format is a literal of the program, never a keyed text.
void LogFmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Nonzero while logging is on.
int LoggingNow();
