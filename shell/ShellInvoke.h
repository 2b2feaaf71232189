// Carrying out a chosen menu entry: one detached converter process per file,
// each started from an argument vector (never through a shell) and reaped by
// the system, so a file manager that starts us leaves no zombies behind.
#pragma once

#include <string>

#include "shell/ShellMenu.h"

namespace shell {

enum class TInvokeResult {
  kStarted,           // every run was started
  kInvalidEntry,      // no such command offset, or the menu is empty
  kDisabled,          // the entry is grayed: its target can't be written
  kNothingToConvert,  // every file was left out (WMA while WMA can't be written)
  kStartFailed,       // at least one run could not be started
};

struct TInvokeReport {
  TInvokeResult result = TInvokeResult::kInvalidEntry;
  int started = 0;
  int failed = 0;
  int skipped = 0;  // files left out
};

// The command offset an entry argument names: "0" to "5", or a switch letter
// of the submenu (C, 3, M, O, in either case); -1 for anything else.
int ParseShellEntry(const std::string& text);

// Starts the runs of menu.Invocations(offset, programPath). A grayed entry
// starts nothing.
TInvokeReport InvokeShellCommand(const CShellMenu& menu, int offset,
                                 const std::string& programPath);

}  // namespace shell
