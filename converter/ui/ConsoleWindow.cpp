#include "converter/ui/ConsoleWindow.h"

#include <chrono>
#include <thread>

#include "converter/ui/ConsolePrompts.h"
#include "converter/ui/ErrorLog.h"
#include "platform/os/Signals.h"
#include "platform/os/Terminal.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

// The first code points of a UTF-8 line that fit the columns (one each).
std::string FitColumns(const std::string& line, int columns) {
  int count = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (count++ == columns) return line.substr(0, i);
  }
  return line;
}

CConsoleWindow::CConsoleWindow(CPreferences& preferences, CConsolePrompts& prompts)
    : prefs_(preferences), prompts_(prompts), terminal_(os::StderrIsTerminal()) {
  prompts_.SetBeforeQuestion([this] { ClearLine(); });
}

void CConsoleWindow::ClearLine() {
  if (terminal_ && lineShown_) os::WriteError("\r\x1b[K");
  lineShown_ = false;
}

// Cut to the terminal's width, so that the line never wraps and each redraw
// replaces it whole; the width is asked anew, since the terminal may be resized.
void CConsoleWindow::Show(const std::string& line) {
  int columns = os::StderrColumns();
  std::string shown = columns > 1 ? FitColumns(line, columns - 1) : line;
  os::WriteError("\r\x1b[K" + shown);
  lineShown_ = true;
}

// On a terminal: overall percentage, file counter, errors, pause and the byte counts.
void CConsoleWindow::ShowProgress(const TProgressTexts& t) {
  if (!terminal_) return;
  std::string errors;
  if (ErrorLog().Count() > 0) errors = ", " + LoadFormatted("CED_Title", ErrorLog().Count());
  std::string paused = t.paused ? LoadKeyedString("CW_Paused") : "";
  std::string files;
  for (const TFileInProgress& f : t.inProgress)
    files += (files.empty() ? "  [" : ", ") + CProgressController::InProgressName(f);
  if (!files.empty()) files += "]";
  Show(std::to_string(t.percent) + "% " + t.counter + errors + paused + files + "  " + t.status);
}

// One line per file, once its target is known.
void CConsoleWindow::ShowNamed(const TNamedTarget& named) {
  // A file converted again (its settings changed) keeps its line.
  if (named.number == lastNumberShown_ && named.target == lastTargetShown_) return;
  ClearLine();
  prompts_.Say(LoadFormatted("CW_Progress", named.number, named.count).substr(0, 64) + ": " +
               named.source + " -> " + named.target);
  lastTargetShown_ = named.target;
  lastNumberShown_ = named.number;
}

void CConsoleWindow::ShowNotice(const std::string& text) {
  ClearLine();
  prompts_.Say("sonoduct: " + text);
}

int CConsoleWindow::Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
                            uint32_t& nextEntry) {
  CProgressController controller(prefs_, prompts_, *this);
  cancelled_ = false;
  if (!controller.Begin(queue, channel, nextEntry)) {
    startFailed_ = true;
    return -1;
  }
  os::InstallInterruptHandler();
  for (;;) {
    if (os::TakeInterrupt() && !controller.Ended()) controller.Cancel();
    if (!controller.Step()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  int converted = controller.Finish(nextEntry);
  cancelled_ = controller.Cancelled();
  if (!cancelled_ && controller.Run()->JobCount() > 0 && terminal_) {
    // The last status line stays, at 100 % after the last file.
    ShowProgress(controller.Texts());
    os::WriteError("\n");
    lineShown_ = false;
  }
  ClearLine();
  // One line says what the run did, on a terminal and in a pipe alike.
  if (!controller.Run()->quit || controller.Run()->ConvertedCount() > 0)
    prompts_.Say(controller.SummaryText());
  failed_ += controller.NotConverted();
  // Files the intake refused (missing, empty, of no known type) did not convert either.
  if (ErrorLog().Count() > 0 && failed_ == 0) failed_ = ErrorLog().Count();
  return converted;
}
