#include "converter/ui/ConsoleWindow.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "converter/prefs/Preferences.h"
#include "converter/run/ConversionRun.h"
#include "converter/ui/ConsolePrompts.h"
#include "converter/ui/ErrorLog.h"
#include "platform/os/DiskSpace.h"
#include "platform/os/FileStatus.h"
#include "platform/os/Signals.h"
#include "platform/os/Terminal.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {

using Clock = std::chrono::steady_clock;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Megabytes of 1,000,000 bytes as whole part and hundredths.
void Megabytes(double bytes, int64_t* whole, int64_t* hundredths) {
  if (!(bytes > 0)) bytes = 0;
  auto h = static_cast<int64_t>(bytes / 10000.0);
  *whole = h / 100;
  *hundredths = h % 100;
}

// The date of a file's last change, as the overwrite question shows it.
std::string DateText(const std::string& path) {
  os::FileTimes times;
  if (!os::GetFileTimes(path, &times)) return "";
  std::time_t t = static_cast<std::time_t>(times.modifiedNs / 1000000000);
  std::tm local{};
  localtime_r(&t, &local);
  std::string format = LoadKeyedString("CW_Dated").substr(0, 64);
  char out[128];
  if (std::strftime(out, sizeof out, format.c_str(), &local) == 0) return "";
  return std::string(" ") + out;
}

// The buttons that answer a worker's question; the others stop the run.
bool AnswersQuestion(int button) {
  return button == kButtonYes || button == kButtonYesAll || button == kButtonSkip ||
         button == kButtonSkipAll || button == kButtonContinue;
}

TOverwriteAnswer OverwriteAnswerOf(int button) {
  switch (button) {
    case kButtonYes:
      return TOverwriteAnswer::OverwriteThis;
    case kButtonYesAll:
      return TOverwriteAnswer::OverwriteAll;
    case kButtonSkip:
      return TOverwriteAnswer::SkipThis;
    case kButtonSkipAll:
      return TOverwriteAnswer::SkipAll;
    default:
      return TOverwriteAnswer::Cancel;
  }
}

TDiskFullAnswer DiskFullAnswerOf(int button) {
  return button == kButtonContinue ? TDiskFullAnswer::ContinueUntilFull : TDiskFullAnswer::Stop;
}

TConvertAnywayAnswer ConvertAnywayAnswerOf(int button) {
  switch (button) {
    case kButtonYes:
      return TConvertAnywayAnswer::Convert;
    case kButtonSkip:
      return TConvertAnywayAnswer::Skip;
    default:
      return TConvertAnywayAnswer::Cancel;
  }
}

}  // namespace

CConsoleWindow::CConsoleWindow(CPreferences& preferences, CConsolePrompts& prompts)
    : prefs_(preferences), prompts_(prompts), terminal_(os::StderrIsTerminal()) {
  prompts_.SetBeforeQuestion([this] { ClearLine(); });
}

void CConsoleWindow::PostQuestion(int question, int) { question_ = question; }

void CConsoleWindow::ClearLine() {
  if (terminal_ && lineShown_) os::WriteError("\r\x1b[K");
  lineShown_ = false;
}

void CConsoleWindow::Show(const std::string& line) {
  os::WriteError("\r\x1b[K" + line);
  lineShown_ = true;
}

std::string CConsoleWindow::StatusText(CConversionRun& run) const {
  if (run.FormatToggle()) return LoadKeyedString("CW_Format") + " " + run.FormatDescription();
  int file = run.ConvertedCount() + run.FailedCount() + 1;
  if (file > run.JobCount()) file = run.JobCount();
  std::string analysis;
  if (run.Analysing()) {
    const char* key = prefs_.normalizeVolume           ? "CW_Normalizing"
                      : prefs_.trimSoundsAutomatically ? "CW_Scanning"
                                                       : "CW_Analyzing";
    analysis = " " + LoadFormatted(key, file, run.AnalysisPercent()) + " ";
  }
  int64_t ww, wh, fw, fh, rw, rh;
  Megabytes(run.WrittenBytes(), &ww, &wh);
  std::string dir = run.TargetDirectory();
  Megabytes(static_cast<double>(os::FreeBytes(dir.empty() ? prefs_.defaultDir : dir)), &fw, &fh);
  Megabytes(run.EstimatedTotalBytes() - run.WrittenBytes(), &rw, &rh);
  return LoadFormatted("CW_ToGo", analysis, ww, wh, "", fw, fh, rw, rh);
}

void CConsoleWindow::Tick(CConversionRun& run) {
  run.PollHandOff();
  if (run.ConvertedCount() + run.FailedCount() >= run.JobCount()) return;
  ShowNames(run);
  ShowStatus(run);
}

// The status line, on a terminal: overall percentage, file counter, errors,
// pause and the byte counts.
void CConsoleWindow::ShowStatus(CConversionRun& run) {
  if (!terminal_) return;
  int file = run.ConvertedCount() + run.FailedCount() + 1;
  if (file > run.JobCount()) file = run.JobCount();
  int percent = static_cast<int>(run.SourceFraction() * 100);
  std::string counter = LoadFormatted("CW_Progress", file, run.JobCount()).substr(0, 64);
  std::string errors;
  if (ErrorLog().Count() > 0) errors = ", " + LoadFormatted("CED_Title", ErrorLog().Count());
  std::string paused = run.Paused() ? LoadKeyedString("CW_Paused") : "";
  Show(std::to_string(percent) + "% " + counter + errors + paused + "  " + StatusText(run));
}

// One line per file, once its target is known.
void CConsoleWindow::ShowNames(CConversionRun& run) {
  for (const TNamedTarget& named : run.TakeNamedTargets()) {
    // A file converted again (its settings changed) keeps its line.
    if (named.number == lastNumberShown_ && named.target == lastTargetShown_) continue;
    ClearLine();
    prompts_.Say(LoadFormatted("CW_Progress", named.number, named.count).substr(0, 64) + ": " +
                 named.source + " -> " + named.target);
    lastTargetShown_ = named.target;
    lastNumberShown_ = named.number;
  }
}

// The prompt of a worker's question; an empty one for a question not known here.
TPrompt CConsoleWindow::QuestionPrompt(int question, const std::string& source,
                                       const std::string& target) const {
  TPrompt p;
  switch (question) {
    case kAskOverwrite:
      p = BuildPrompt(kPromptOverwrite,
                      LoadFormatted("CW_Overwrite", target, DateText(target)).substr(0, 256));
      break;
    case kAskDiskFull:
      p = BuildPrompt(kPromptDiskFull, "");
      // There is no Options sheet to pick another folder from here.
      p.choices.erase(p.choices.begin());
      break;
    case kAskSilent:
      p = BuildPrompt(kPromptSilent, LoadFormatted("CW_TrimAll", source).substr(0, 512));
      break;
    case kAskPartial:
      p = BuildPrompt(kPromptPartial, LoadFormatted("CW_WarnIncomplete", source).substr(0, 512));
      break;
    default:
      break;
  }
  return p;
}

// Once per run and target type, the user learns why its files were not taken.
void CConsoleWindow::ReportUnavailableTargets(CConversionRun& run) {
  static const char* const kTypeNames[] = {"IDS_OPTIONS_WAVE", "IDS_OPTIONS_MP3",
                                           "IDS_OPTIONS_WMA"};
  uint32_t missing = run.TakeUnavailableTargets();
  for (uint32_t type = 0; type < 3; ++type) {
    if (!(missing & 1u << type)) continue;
    ClearLine();
    prompts_.Say("sonoduct: " + LoadFormatted("CW_TargetUnavailable",
                                              LoadKeyedString(kTypeNames[type]).substr(0, 64))
                                    .substr(0, 512));
  }
}

void CConsoleWindow::Answer(CConversionRun& run, int question) {
  ClearLine();
  if (run.quit) {
    run.DropQuestion();
    return;
  }
  std::string source = run.TakeSourceName();
  std::string target = run.TakeTargetName();
  int button = kButtonCancel;
  for (;;) {
    TPrompt p = QuestionPrompt(question, source, target);
    if (p.choices.empty()) {
      run.DropQuestion();
      return;
    }
    button = prompts_.Ask(p);
    ApplyPromptAnswer(p, button, &prefs_);
    // Any other button runs the Cancel command; back in the run, it asks again.
    if (AnswersQuestion(button) || Cancel(run)) break;
  }
  switch (question) {
    case kAskOverwrite:
      run.Answer(OverwriteAnswerOf(button));
      break;
    case kAskDiskFull:
      run.Answer(DiskFullAnswerOf(button));
      break;
    default:
      run.Answer(ConvertAnywayAnswerOf(button));
      break;
  }
}

bool CConsoleWindow::Cancel(CConversionRun& run) {
  bool wasPaused = run.Paused();
  if (!wasPaused) run.Pause(true);
  if (run.ConvertedCount() == 0 && run.WrittenBytes() <= 0 && run.MixedSourceBytes() <= 0) {
    run.quit = true;
    cancelled_ = true;
    EndRun(run);
    return true;
  }
  TPrompt p;
  p.title = LoadKeyedString("CW_CancelQTitle").substr(0, 64);
  p.text = LoadKeyedString("CW_CancelQ").substr(0, 128);
  p.choices = {{kButtonYes, "Yes"}, {kButtonSkip, "No"}, {kButtonCancel, "Cancel"}};
  p.safeAnswer = kButtonSkip;  // keep what was converted
  int answer = prompts_.Ask(p);
  if (answer == kButtonCancel) {
    if (!wasPaused) run.Pause(false);
    return false;
  }
  deleteConverted_ = answer == kButtonYes;
  run.quit = true;
  cancelled_ = true;
  EndRun(run);
  return true;
}

void CConsoleWindow::EndRun(CConversionRun& run) {
  if (ended_) return;
  ended_ = true;
  run.Pause(false);
  ClearLine();
  if (run.quit) {
    run.Stop();
    return;
  }
  // A last look for names handed off in the final moment: the run goes on
  // with them. Those handed off after the end wait in the channel, and the
  // program's entry starts a run for them.
  if (run.PollHandOff() || !run.Finish()) ended_ = false;
}

bool CConsoleWindow::AllTried(CConversionRun& run) const {
  return run.ConvertedCount() + run.FailedCount() >= run.JobCount() && run.Idle();
}

int CConsoleWindow::Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
                            uint32_t& nextEntry) {
  CConversionRun run(prefs_, &channel, nextEntry);
  run.SetWindow(this);
  ended_ = false;
  cancelled_ = false;
  deleteConverted_ = false;
  for (const TQueuedFile& f : queue) run.AddFile(f.path, f.targetType);
  if (!run.Start()) {
    prompts_.ShowErrorMessage("IDS_CONVERSION_START_FAIL");
    startFailed_ = true;
    return -1;
  }
  os::InstallInterruptHandler();
  auto nextTick = Clock::now();
  for (;;) {
    ReportUnavailableTargets(run);
    if (int q = question_.exchange(0)) Answer(run, q);
    if (os::TakeInterrupt() && !ended_) Cancel(run);
    if (!ended_) ShowNames(run);
    // The end is seen at once, not at the next tick.
    if (!ended_ && AllTried(run)) EndRun(run);
    if (!ended_ && Clock::now() >= nextTick) {
      Tick(run);
      nextTick += std::chrono::milliseconds(1000);
    }
    if (ended_ && !run.IsRunning()) break;
    SleepMs(20);
  }
  ReportUnavailableTargets(run);
  ShowNames(run);
  if (!cancelled_ && run.JobCount() > 0 && terminal_) {
    // The last status line stays, at 100 % after the last file.
    ShowStatus(run);
    os::WriteError("\n");
    lineShown_ = false;
  }
  ClearLine();
  if (deleteConverted_) run.DeleteWrittenTargets();
  nextEntry = run.HandOffTaken();
  failed_ += run.JobCount() - run.ConvertedCount();
  // Files the intake refused (missing, empty, of no known type) did not convert either.
  if (ErrorLog().Count() > 0 && failed_ == 0) failed_ = ErrorLog().Count();
  return run.ConvertedCount();
}
