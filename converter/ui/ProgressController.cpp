#include "converter/ui/ProgressController.h"

#include <cstdio>
#include <ctime>

#include "converter/app/IEngineServices.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/ErrorLog.h"
#include "converter/ui/Megabytes.h"
#include "converter/ui/PlaylistChoice.h"
#include "converter/ui/Prompts.h"
#include "platform/os/DiskSpace.h"
#include "platform/os/FileStatus.h"
#include "platform/paths/Paths.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Text(const char* key, size_t max) { return LoadKeyedString(key).substr(0, max); }

// The date of a file's last change, as the overwrite question shows it.
std::string DateText(const std::string& path) {
  os::FileTimes times;
  if (!os::GetFileTimes(path, &times)) return "";
  std::time_t t = static_cast<std::time_t>(times.modifiedNs / 1000000000);
  std::tm local{};
  localtime_r(&t, &local);
  std::string format = Text("CW_Dated", 64);
  char out[128];
  if (std::strftime(out, sizeof out, format.c_str(), &local) == 0) return "";
  return std::string(" ") + out;
}

// The buttons that answer a worker's question; the others stop the run.
bool AnswersQuestion(int button) {
  return button == kButtonYes || button == kButtonYesAll || button == kButtonSkip ||
         button == kButtonSkipAll || button == kButtonContinue || button == kButtonNewDir;
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
  switch (button) {
    case kButtonContinue:
      return TDiskFullAnswer::ContinueUntilFull;
    case kButtonNewDir:
      return TDiskFullAnswer::Retry;
    default:
      return TDiskFullAnswer::Stop;
  }
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

void LogKeyed(const char* key, const std::string& path) {
  ErrorLog().Add(LoadFormatted(key, path).substr(0, 1024));
}

}  // namespace

CProgressController::CProgressController(CPreferences& preferences, IPrompter& prompter,
                                         IProgressView& view)
    : prefs_(preferences), prompter_(prompter), view_(view) {}

CProgressController::~CProgressController() = default;

void CProgressController::PostQuestion(int question, int) {
  question_ = question;
  view_.Wake();
}

bool CProgressController::Begin(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
                                uint32_t nextEntry) {
  run_ = std::make_unique<CConversionRun>(prefs_, &channel, nextEntry);
  run_->SetWindow(this);
  ended_ = cancelled_ = cancelling_ = deleteConverted_ = false;
  question_ = 0;
  for (const TQueuedFile& f : queue) run_->Intake(f.path, f.targetType, this);
  if (!run_->Start()) {
    TPrompt p = MessagePrompt(kPromptError, LoadKeyedString("IDS_CONVERSION_START_FAIL"));
    prompter_.Ask(p);
    return false;
  }
  nextTick_ = started_ = Clock::now();
  return true;
}

bool CProgressController::Step() {
  if (!run_) return false;
  if (prompting_) {
    // A question is open: the run goes on, and so do the texts.
    if (Clock::now() >= nextTick_) Tick();
    return true;
  }
  ReportUnavailableTargets();
  if (int q = question_.exchange(0)) Answer(q);
  if (!ended_) ShowNames();
  // The end is seen at once, not at the next tick.
  if (!ended_ && AllTried()) EndRun();
  if (!ended_ && Clock::now() >= nextTick_) Tick();
  return !(ended_ && !run_->IsRunning());
}

int CProgressController::Finish(uint32_t& nextEntry) {
  if (!run_) return 0;
  ReportUnavailableTargets();
  ShowNames();
  if (deleteConverted_) run_->DeleteWrittenTargets();
  nextEntry = run_->HandOffTaken();
  return run_->ConvertedCount();
}

int CProgressController::NotConverted() const {
  return run_ ? run_->JobCount() - run_->ConvertedCount() : 0;
}

void CProgressController::Tick() {
  nextTick_ = Clock::now() + std::chrono::milliseconds(1000);
  // While a prompt is open, the files handed off wait for the next tick.
  if (!prompting_) run_->PollHandOff(this);
  if (run_->ConvertedCount() + run_->FailedCount() >= run_->JobCount()) return;
  if (!prompting_) ShowNames();
  view_.ShowProgress(Texts());
}

std::string CProgressController::StatusText() {
  CConversionRun& run = *run_;
  if (run.FormatToggle()) return Text("CW_Format", 512) + " " + run.FormatDescription();
  int file = run.ConvertedCount() + run.FailedCount() + 1;
  if (file > run.JobCount()) file = run.JobCount();
  std::string analysis;
  if (run.Analysing()) {
    const char* key = prefs_.normalizeVolume           ? "CW_Normalizing"
                      : prefs_.trimSoundsAutomatically ? "CW_Scanning"
                                                       : "CW_Analyzing";
    analysis = " " + LoadFormatted(key, file, run.AnalysisPercent()) + " ";
  }
  std::string dir = run.TargetDirectory();
  if (dir.empty()) dir = prefs_.defaultDir;
  int64_t free = os::FreeBytes(dir);
  int64_t ww, wh, fw, fh, rw, rh;
  Megabytes(run.WrittenBytes(), &ww, &wh);
  Megabytes(static_cast<double>(free), &fw, &fh);
  Megabytes(run.EstimatedTotalBytes() - run.WrittenBytes(), &rw, &rh);
  // A network folder that tells no free space gets the line without it.
  if (free < 0 || (free == 0 && !os::IsOnLocalDisk(dir)))
    return LoadFormatted("CW_ToGoUNC", analysis, ww, wh, rw, rh);
  return LoadFormatted("CW_ToGo", analysis, ww, wh, "", fw, fh, rw, rh);
}

// "song.wav 42%" (the analysis' percentage while analysing).
std::string CProgressController::InProgressName(const TFileInProgress& f) {
  return ExtractFileName(f.source) + " " + std::to_string(f.percent) + "%";
}

// "File 3 of 20: song.wav 42%".
std::string CProgressController::InProgressLine(const TFileInProgress& f, int jobs) {
  return LoadFormatted("CW_Progress", f.number, jobs).substr(0, 64) + ": " + InProgressName(f);
}

TProgressTexts CProgressController::Texts() {
  TProgressTexts t;
  CConversionRun& run = *run_;
  int jobs = run.JobCount();
  int file = run.ConvertedCount() + run.FailedCount() + 1;
  if (file > jobs) file = jobs;
  t.counter = LoadFormatted("CW_Progress", file, jobs).substr(0, 64);
  t.source = run.TakeSourceName();
  t.target = run.TakeTargetName();
  if (t.target.empty()) t.target = prefs_.defaultDir;
  t.jobs = jobs;
  t.inProgress = run.FilesInProgress();
  if (t.inProgress.size() < 2) t.inProgress.clear();
  t.status = StatusText();
  double fraction = run.SourceFraction();
  t.barPosition = static_cast<int>(fraction * 1000);
  t.percent = static_cast<int>(fraction * 100);
  t.paused = run.Paused();
  t.pauseLabel = Text(t.paused ? "IDS_UNPAUSE" : "IDS_PAUSE", 64);
  std::string counter;
  if (ErrorLog().Count() > 0)
    counter = " " + LoadFormatted("CW_Errors1", file, jobs, ErrorLog().Count()) + " ";
  else if (jobs > 1)
    counter = " " + LoadFormatted("CW_Progress2", file, jobs) + " ";
  std::string pause = t.paused ? LoadKeyedString("CW_Paused") : "";
  t.title = std::to_string(t.percent) + "%" + counter + pause + " - " +
            LoadKeyedString("ProgramName") + " ";
  if (cancelling_) t.title += LoadKeyedString("CW_Cancelling");
  return t;
}

std::string CProgressController::SummaryText() const {
  if (!run_) return {};
  const CConversionRun& run = *run_;
  int skipped = run.SkippedCount();
  int converted = run.ConvertedCount() - skipped;
  int failed = run.JobCount() - run.ConvertedCount() + run.RefusedCount();
  int64_t whole, hundredths;
  Megabytes(run.WrittenBytes(), &whole, &hundredths);
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count();
  char duration[32];
  if (seconds >= 3600)
    std::snprintf(duration, sizeof duration, "%lld:%02lld:%02lld",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
  else
    std::snprintf(duration, sizeof duration, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  return LoadFormatted("CW_Summary", converted < 0 ? 0 : converted, skipped, failed, whole,
                       hundredths, std::string(duration))
      .substr(0, 512);
}

void CProgressController::ShowNames() {
  for (const TNamedTarget& named : run_->TakeNamedTargets()) view_.ShowNamed(named);
}

// Once per run and target type, the user learns why its files were not taken.
void CProgressController::ReportUnavailableTargets() {
  static const char* const kTypeNames[] = {"IDS_OPTIONS_WAVE", "IDS_OPTIONS_MP3",
                                           "IDS_OPTIONS_WMA"};
  uint32_t missing = run_->TakeUnavailableTargets();
  // A window shows the notice as a dialog: the loop that runs meanwhile only
  // updates the texts.
  bool nested = prompting_;
  prompting_ = true;
  for (uint32_t type = 0; type < 3; ++type)
    if (missing & 1u << type)
      view_.ShowNotice(
          LoadFormatted("CW_TargetUnavailable", Text(kTypeNames[type], 64)).substr(0, 512));
  prompting_ = nested;
}

// The prompt of a worker's question; an empty one for a question not known here.
TPrompt CProgressController::QuestionPrompt(int question, const std::string& source,
                                            const std::string& target) const {
  TPrompt p;
  switch (question) {
    case kAskOverwrite:
      p = BuildPrompt(kPromptOverwrite,
                      LoadFormatted("CW_Overwrite", target, DateText(target)).substr(0, 256));
      break;
    case kAskDiskFull:
      p = BuildPrompt(kPromptDiskFull, "");
      // Without an Options sheet there is no other folder to choose.
      if (!showOptions_) p.choices.erase(p.choices.begin());
      if (!showOptions_) p.defaultButton = kButtonCancel;
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

std::vector<std::string> CProgressController::ChooseEntries(const TPlaylistQuestion& question) {
  CPlaylistChoice choice(question.playlist, question.targetType, question.entries, prefs_);
  bool nested = prompting_;
  prompting_ = true;
  bool ok = prompter_.ChoosePlaylist(choice);
  prompting_ = nested;
  return ok ? choice.Accept() : std::vector<std::string>();
}

void CProgressController::Answer(int question) {
  CConversionRun& run = *run_;
  if (question == kAskPlaylist) {
    TPlaylistQuestion playlist;
    if (run.TakePlaylistQuestion(&playlist))
      run.AnswerPlaylist(run.quit ? std::vector<std::string>() : ChooseEntries(playlist));
    return;
  }
  if (run.quit) {
    run.DropQuestion();
    return;
  }
  std::string source, target;
  run.QuestionNames(&source, &target);
  int button = kButtonCancel;
  for (;;) {
    TPrompt p = QuestionPrompt(question, source, target);
    if (p.choices.empty()) {
      run.DropQuestion();
      return;
    }
    prompting_ = true;
    button = prompter_.Ask(p);
    prompting_ = false;
    ApplyPromptAnswer(p, button, &prefs_);
    // Any other button runs the Cancel command; back in the run, it asks again.
    if (AnswersQuestion(button) || Cancel()) break;
  }
  if (run.quit) {
    run.DropQuestion();
    return;
  }
  switch (question) {
    case kAskOverwrite:
      run.Answer(OverwriteAnswerOf(button));
      break;
    case kAskDiskFull:
      if (button == kButtonNewDir) {
        prompting_ = true;
        showOptions_();
        prompting_ = false;
        run.SetTargetDirectory(prefs_.defaultDir);
      }
      run.Answer(DiskFullAnswerOf(button));
      break;
    default:
      run.Answer(ConvertAnywayAnswerOf(button));
      break;
  }
}

void CProgressController::TogglePause() {
  if (!run_ || ended_) return;
  run_->Pause(!run_->Paused());
  view_.ShowProgress(Texts());
}

bool CProgressController::Cancel() {
  CConversionRun& run = *run_;
  if (ended_) return true;
  bool wasPaused = run.Paused();
  if (!wasPaused) run.Pause(true);
  if (run.ConvertedCount() == 0 && run.WrittenBytes() <= 0 && run.MixedSourceBytes() <= 0) {
    run.quit = true;
    cancelled_ = true;
    EndRun();
    return true;
  }
  TPrompt p;
  p.title = Text("CW_CancelQTitle", 64);
  p.text = Text("CW_CancelQ", 128);
  p.choices = {{kButtonYes, Text("Yes", 64)},
               {kButtonSkip, Text("No", 64)},
               {kButtonCancel, Text("Cancel", 64)}};
  p.safeAnswer = kButtonSkip;  // keep what was converted
  p.defaultButton = kButtonSkip;
  p.escapeButton = kButtonCancel;
  p.helpPage = kHelpProgress;
  bool nested = prompting_;
  prompting_ = true;
  int answer = prompter_.Ask(p);
  prompting_ = nested;
  if (answer != kButtonYes && answer != kButtonSkip) {
    if (!wasPaused) run.Pause(false);
    return false;
  }
  deleteConverted_ = answer == kButtonYes;
  run.quit = true;
  cancelled_ = true;
  EndRun();
  return true;
}

void CProgressController::Options() {
  if (!run_ || ended_ || !showOptions_) return;
  CConversionRun& run = *run_;
  bool wasPaused = run.Paused();
  if (!wasPaused) run.Pause(true);
  for (bool& changed : prefs_.changedFormat) changed = false;
  prefs_.changedNormalizeTrim = false;
  prompting_ = true;
  showOptions_();
  uint32_t changed = prefs_.changedNormalizeTrim ? 7u : 0u;
  for (uint32_t type = 0; type < 3; ++type)
    if (prefs_.changedFormat[type]) changed |= 1u << type;
  if (changed & run.TypesInProgress()) {
    TPrompt p = MessagePrompt(kPromptInfo, LoadKeyedString("IDS_OPTIONS_RECONVERT"));
    prompter_.Ask(p);
    run.Retry(changed);
  }
  prompting_ = false;
  if (!wasPaused) run.Pause(false);
  view_.ShowProgress(Texts());
}

void CProgressController::Drop(const std::vector<std::string>& paths) {
  if (!run_ || ended_) return;
  for (std::string path : paths) {
    if (path.size() > 4095) continue;
    if (os::IsDirectory(path)) {
      LogKeyed("AFE_UNHANDLED_FILE_TYPE", path);
      continue;
    }
    if (!os::PathExists(path)) {
      LogKeyed("AFE_FILE_NOT_FOUND", path);
      continue;
    }
    uint32_t type = engine_ ? engine_->DetermineTargetConversion(path) : kTargetWave;
    if (type == kTargetNone) {
      TPrompt p = WaveToWavePrompt(path);
      prompting_ = true;
      int answer = prompter_.Ask(p);
      prompting_ = false;
      if (answer != kButtonYes) continue;
      type = kTargetWave;
    }
    run_->Intake(path, type, this);
  }
  view_.ShowProgress(Texts());
}

void CProgressController::EndRun() {
  if (ended_) return;
  ended_ = true;
  CConversionRun& run = *run_;
  run.Pause(false);
  if (run.quit) {
    cancelling_ = true;
    run.Stop();
    return;
  }
  // A last look for names handed off in the final moment: the run goes on
  // with them. Those handed off after the end wait in the channel, and the
  // program's entry starts a run for them.
  if (run.PollHandOff(this) || !run.Finish()) ended_ = false;
}

bool CProgressController::AllTried() const {
  return run_->ConvertedCount() + run_->FailedCount() >= run_->JobCount() && run_->Idle();
}
