// The engine room of the converter: the queue of source files (each bound to
// its target writer) and one or more workers that take files from it in
// turn, each converting one file at a time through its own sound group and
// mixer. It keeps the byte counters the progress display shows, lets the
// window pause, resume and cancel, and lets the workers ask the user
// questions through the window, one question at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "converter/run/IRunWindow.h"
#include "converter/run/RunWorker.h"

class CConv2FileObj;
class CInstanceChannel;
class CPCMSound;
class CPreferences;
struct TPlaylistRefusal;

// A file whose target is settled, as the window names it: its number in
// the run and the run's job count at that moment.
struct TNamedTarget {
  int number = 0;
  int count = 0;
  std::string source, target;
};

// A file a worker has in hand, as the window shows it.
struct TFileInProgress {
  int number = 0;
  std::string source, target;
  int percent = 0;  // of its source mixed, or of its analysis while analysing
  bool analysing = false;
};

class CConversionRun {
 public:
  CConversionRun(CPreferences& preferences, CInstanceChannel* channel, uint32_t firstEntry);
  ~CConversionRun();
  CConversionRun(const CConversionRun&) = delete;
  CConversionRun& operator=(const CConversionRun&) = delete;

  void SetWindow(IRunWindow* window) { window_ = window; }
  // Makes the workers (each with its sound group and mixer) and starts
  // them; 0 when not even one can be made. Without a count, the settings'.
  int Start(int workers = 0);
  int WorkerCount() const { return static_cast<int>(workers_.size()); }
  // The intake of one source file; 1 also when it was only logged.
  int AddFile(const std::string& path, uint32_t targetType);
  // The intake of a name from the command line, a drop or the hand-off:
  // playlists are expanded, other files go to AddFile. A playlist of several
  // entries is put to the chooser when the caller runs on the window's
  // thread, else to the window as a question that the worker waits for.
  int Intake(const std::string& path, uint32_t targetType, IPlaylistChooser* chooser = nullptr);
  // The playlist question the worker waits on, for the window to answer.
  bool TakePlaylistQuestion(TPlaylistQuestion* question);
  // The window's answer: the chosen entries are queued and the wait ends.
  void AnswerPlaylist(const std::vector<std::string>& chosen);
  // Target types (as bits 1 << type) that files asked for but no writer
  // exists for, since the last call; each is reported once per run.
  uint32_t TakeUnavailableTargets();
  // Cancels: the workers abandon their files and end; waits for them.
  void Stop();
  // Ends a run whose files are all done: the workers end, and files handed
  // off from now on stay in the channel. False, with the run going on, when
  // a file was taken meanwhile.
  bool Finish();
  // No file queued and none in progress.
  bool Idle() const;
  bool IsRunning() const { return workersActive_ > 0; }
  void Pause(bool on);
  bool Paused() const { return paused_; }
  // Takes the files other instances handed off since the last look; a
  // caller on the window's thread passes its playlist chooser.
  bool PollHandOff(IPlaylistChooser* chooser = nullptr);
  uint32_t HandOffTaken() const { return handOffTaken_; }
  void DeleteWrittenTargets();

  // For the window, under the run's lock. The names are those of the first
  // file in progress (the last one's once none is).
  std::string TakeSourceName();
  std::string TakeTargetName();
  // Every file in progress, by number.
  std::vector<TFileInProgress> FilesInProgress() const;
  // The file the open question is about.
  void QuestionNames(std::string* source, std::string* target) const;
  // Every file whose target was settled since the last call, in order, so
  // that each can be named even when it ends before the window looks.
  std::vector<TNamedTarget> TakeNamedTargets();
  bool FormatToggle();
  std::string FormatDescription() const;
  double SourceFraction() const;
  int JobCount() const { return jobsAdded_; }
  int ConvertedCount() const { return jobsConverted_; }
  int FailedCount() const { return jobsFailed_; }
  // Files tried and skipped by an answer (they count as converted too).
  int SkippedCount() const { return jobsSkipped_; }
  // Names the intake refused (missing, empty, of no known type, no encoder).
  int RefusedCount() const { return refused_; }
  double EstimatedTotalBytes() const { return estimatedTotal_; }
  double WrittenBytes() const { return written_; }
  double MixedSourceBytes() const { return mixedSource_; }
  std::string TargetDirectory() const;
  // The folder the user chose while asked about disk space: the asking file
  // measures it again, and so does the status line.
  void SetTargetDirectory(const std::string& dir);
  bool Analysing() const;
  int AnalysisPercent() const;
  // The target types (as bits 1 << type) of the files in progress.
  uint32_t TypesInProgress() const;
  // The files in progress of these types are converted again.
  void Retry(uint32_t typeMask);

  // The window's answer to the question the worker asked; it ends the
  // worker's wait.
  void Answer(TOverwriteAnswer answer);
  void Answer(TDiskFullAnswer answer);
  void Answer(TConvertAnywayAnswer answer);
  // Ends the wait without an answer (the run quits, or the question is not known).
  void DropQuestion() { waiting_ = false; }
  bool WaitingForAnswer() const { return waiting_; }

  // Requests from the window: cancel ends the workers, quit abandons the
  // files in progress (the user stopped the run).
  std::atomic<bool> cancel{false};
  std::atomic<bool> quit{false};

 private:
  friend struct TRunCallbacks;
  struct TTargetFile;
  // How a step of the target left the file: go on, skipped by an answer
  // (done without being written), or failed.
  enum class TStep { Go, Skipped, Failed };
  // A queued file: its writer, opened on the source when its turn comes, the
  // source's size at the intake, which the progress counts, and its number
  // once a worker took it (a file converted again keeps it).
  struct TJob {
    CConv2FileObj* writer;
    int64_t sourceBytes;
    int number = 0;
  };

  void Work(TRunWorker* w);
  bool TakeJob(TRunWorker& w);
  int ConvertNext(TRunWorker& w);
  int ConvertToTarget(TRunWorker& w);
  // The steps of ConvertToTarget, in order.
  bool NameTarget(TTargetFile& file);
  bool FitsTarget(const TTargetFile& file);
  bool WaitForDiskSpace(TTargetFile& file);
  bool PlaceTarget(TTargetFile& file);
  bool ClaimTarget(TTargetFile& file);
  TStep AskAboutTarget(TTargetFile& file);
  TStep CheckExistingTarget(TTargetFile& file);
  TStep CheckPartialSong(TTargetFile& file);
  TStep CheckSilence(TTargetFile& file);
  TStep AskConvertAnyway(TTargetFile& file, int question);
  TStep SkipTarget(TTargetFile& file, bool countSource);
  bool SettleFormat(TTargetFile& file);
  bool CreateTarget(TTargetFile& file);
  int Render(TTargetFile& file);
  int FinishTarget(TTargetFile& file, int result);
  void AccountFor(TTargetFile& file, int result);
  void CountWritten(TRunWorker& w, int64_t bytes);
  void CountMixed(TRunWorker& w, double bytes);
  int WriteBlock(TRunWorker& w, char* data, long& length);
  int AnalysisProgress(TRunWorker& w, unsigned long bytes);
  // What the other files in progress will still write.
  double StillToWriteByOthers(const TRunWorker& w) const;
  // The turn to ask the user: one question at a time, whichever worker asks.
  // False when the run quits while waiting for it.
  bool TakeQuestionTurn(std::unique_lock<std::mutex>& turn);
  // Asks the window and waits for the answer, within the asker's turn; false
  // when the run quits meanwhile.
  bool AskWindow(const TRunWorker& w, int question, int parameter = 0);
  void SetNames(TRunWorker& w, const std::string& source, const std::string& target);
  const TRunWorker* FirstInProgress() const;
  void LogKeyed(const char* key, const std::string& arg);
  void LogRefusal(const TPlaylistRefusal& refusal);
  void SkipFile(TRunWorker& w, double estimate, bool countSource, int64_t sourceSize);

  CPreferences& prefs_;
  CInstanceChannel* channel_;
  IRunWindow* window_ = nullptr;

  mutable std::mutex lock_;
  std::mutex pollLock_;
  // Hand-off entries taken but not yet through the intake: the run does not end meanwhile.
  std::atomic<int> intaking_{0};
  // The playlist question of a worker (its own flag, apart from the other
  // questions'); one at a time.
  std::mutex playlistLock_, playlistTurn_;
  TPlaylistQuestion playlistQuestion_;
  std::atomic<bool> playlistWaiting_{false}, playlistPosted_{false};
  std::deque<TJob> jobs_;
  std::vector<std::string> writtenTargets_;
  std::vector<TNamedTarget> namedTargets_;
  std::string sourceName_, targetName_, targetDir_, chosenDir_;
  bool formatToggle_ = false;
  int64_t lastToggle_ = 0;

  std::atomic<double> estimatedTotal_{0}, written_{0}, totalSource_{0}, mixedSource_{0};
  std::atomic<int> jobsAdded_{0}, jobsTaken_{0}, jobsConverted_{0}, jobsFailed_{0}, jobsSkipped_{0},
      refused_{0};
  std::atomic<bool> running_{true}, paused_{false};
  // Workers started and not yet ended; of them, those still in their loop
  // (the last to leave it plays the done sound).
  std::atomic<int> workersActive_{0}, workersLooping_{0};
  uint32_t handOffTaken_;
  std::atomic<uint32_t> unavailableTargets_{0}, unavailableReported_{0};

  std::vector<std::unique_ptr<TRunWorker>> workers_;

  // The open question and the last answer to each. Answers that stand for
  // the rest of the run (OverwriteAll, SkipAll, ContinueUntilFull) stay.
  std::mutex questionTurn_;
  const TRunWorker* asking_ = nullptr;
  std::atomic<bool> waiting_{false};
  std::atomic<TOverwriteAnswer> overwrite_{TOverwriteAnswer::SkipThis};
  std::atomic<TDiskFullAnswer> diskFull_{TDiskFullAnswer::Retry};
  std::atomic<TConvertAnywayAnswer> convertAnyway_{TConvertAnywayAnswer::Convert};
};
