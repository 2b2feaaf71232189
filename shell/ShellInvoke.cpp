#include "shell/ShellInvoke.h"

#include "platform/os/Spawn.h"

namespace shell {

int ParseShellEntry(const std::string& text) {
  if (text.size() != 1) return -1;
  char c = text[0];
  if (c >= '0' && c < '0' + CShellMenu::kCommandCount) return c - '0';
  switch (c) {
    case 'C':
    case 'c':
      return CShellMenu::kConvertWav;
    case 'M':
    case 'm':
      return CShellMenu::kConvertWma;
    case 'O':
    case 'o':
      return CShellMenu::kOptions;
  }
  // '3' is the MP3 switch but also a command offset; as an offset it is MP3
  // as well, so both readings agree.
  return -1;
}

TInvokeReport InvokeShellCommand(const CShellMenu& menu, int offset,
                                 const std::string& programPath) {
  TInvokeReport report;
  const TShellMenuItem* item = menu.Command(offset);
  if (!item || item->kind == TShellItemKind::kSeparator) return report;
  if (!item->enabled) {
    report.result = TInvokeResult::kDisabled;
    return report;
  }
  const auto runs = menu.Invocations(offset, programPath);
  report.skipped = static_cast<int>(menu.Files().size() - runs.size());
  for (const auto& argv : runs) {
    // No wait: the converter runs on by itself; only a failed start counts.
    os::SpawnResult r = os::SpawnDetached(argv, 0);
    if (r.state == os::SpawnState::NotStarted)
      ++report.failed;
    else
      ++report.started;
  }
  if (report.failed > 0)
    report.result = TInvokeResult::kStartFailed;
  else if (report.started == 0)
    report.result = TInvokeResult::kNothingToConvert;
  else
    report.result = TInvokeResult::kStarted;
  return report;
}

}  // namespace shell
