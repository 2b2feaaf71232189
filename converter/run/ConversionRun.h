// The engine room of the converter: the queue of source files (each bound to
// its target writer), one sound group and one mixer that renders into the
// writers, and a worker thread that converts the queued files one at a time.
// It keeps the byte counters the progress display shows, lets the window
// pause, resume and cancel, and lets the worker ask the user questions
// through the window.
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
#include "engine/codecs/Conv2FileFormat.h"

class CConv2FileObj;
class CInstanceChannel;
class CPCMMixer;
class CPCMSound;
class CPreferences;
class CSoundGroup;
struct TPlaylistRefusal;

// A file whose target is settled, as the window names it: its number in
// the run and the run's job count at that moment.
struct TNamedTarget {
  int number = 0;
  int count = 0;
  std::string source, target;
};

class CConversionRun {
 public:
  CConversionRun(CPreferences& preferences, CInstanceChannel* channel, uint32_t firstEntry);
  ~CConversionRun();
  CConversionRun(const CConversionRun&) = delete;
  CConversionRun& operator=(const CConversionRun&) = delete;

  void SetWindow(IRunWindow* window) { window_ = window; }
  // Makes the group and the mixer and starts the worker; 0 when they can't be made.
  int Start();
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
  // Cancels: the worker abandons the current file and ends; waits for it.
  void Stop();
  // Ends a run whose files are all done: the worker ends, and files handed
  // off from now on stay in the channel. False, with the run going on, when
  // a file was taken meanwhile.
  bool Finish();
  // No file queued and none in progress.
  bool Idle() const;
  bool IsRunning() const { return workerActive_; }
  void Pause(bool on);
  bool Paused() const { return paused_; }
  // Takes the files other instances handed off since the last look; a
  // caller on the window's thread passes its playlist chooser.
  bool PollHandOff(IPlaylistChooser* chooser = nullptr);
  uint32_t HandOffTaken() const { return handOffTaken_; }
  void DeleteWrittenTargets();

  // For the window, under the run's lock.
  std::string TakeSourceName();
  std::string TakeTargetName();
  // Every file whose target was settled since the last call, in order, so
  // that each can be named even when it ends before the window looks.
  std::vector<TNamedTarget> TakeNamedTargets();
  bool SourceNameChanged() const { return sourceChanged_; }
  bool TargetNameChanged() const { return targetChanged_; }
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
  void SetTargetDirectory(const std::string& dir);
  bool Analysing() const { return analysing_; }
  int AnalysisPercent() const { return analysisPercent_; }
  int CurrentTargetType() const { return currentType_; }

  // The window's answer to the question the worker asked; it ends the
  // worker's wait.
  void Answer(TOverwriteAnswer answer);
  void Answer(TDiskFullAnswer answer);
  void Answer(TConvertAnywayAnswer answer);
  // Ends the wait without an answer (the run quits, or the question is not known).
  void DropQuestion() { waiting_ = false; }
  bool WaitingForAnswer() const { return waiting_; }

  // Requests from the window: cancel ends the worker, quit abandons the file
  // in progress (the user stopped the run), retry converts it again.
  std::atomic<bool> cancel{false};
  std::atomic<bool> quit{false};
  std::atomic<bool> retry{false};

 private:
  friend struct TRunCallbacks;
  struct TTargetFile;
  // How a step of the target left the file: go on, skipped by an answer
  // (done without being written), or failed.
  enum class TStep { Go, Skipped, Failed };

  void Worker();
  int ConvertNext();
  int ConvertToTarget(CPCMSound* sound, CConv2FileObj* job);
  // The steps of ConvertToTarget, in order.
  bool NameTarget(TTargetFile& file);
  bool FitsTarget(const TTargetFile& file);
  bool WaitForDiskSpace(TTargetFile& file);
  bool PlaceTarget(TTargetFile& file);
  TStep AskAboutTarget(TTargetFile& file);
  TStep CheckExistingTarget(TTargetFile& file);
  TStep CheckPartialSong(TTargetFile& file);
  TStep CheckSilence(TTargetFile& file);
  TStep AskConvertAnyway(TTargetFile& file, int question);
  TStep SkipTarget(const TTargetFile& file, bool countSource);
  bool SettleFormat(TTargetFile& file);
  bool CreateTarget(TTargetFile& file);
  int Render(TTargetFile& file);
  int FinishTarget(TTargetFile& file, int result);
  void AccountFor(const TTargetFile& file, int result);
  void CountWritten(int64_t bytes);
  int WriteBlock(char* data, long& length);
  int AnalysisProgress(unsigned long bytes);
  // Asks the window and waits for the answer; false when the run quits meanwhile.
  bool AskWindow(int question, int parameter = 0);
  void SetNames(const std::string& source, const std::string& target);
  void LogKeyed(const char* key, const std::string& arg);
  void LogRefusal(const TPlaylistRefusal& refusal);
  void SkipFile(double estimate, bool countSource, int64_t sourceSize);

  CPreferences& prefs_;
  CInstanceChannel* channel_;
  IRunWindow* window_ = nullptr;

  mutable std::mutex lock_;
  std::mutex pollLock_;
  // Hand-off entries taken but not yet through the intake: the run does not end meanwhile.
  std::atomic<int> intaking_{0};
  // The playlist question of the worker (its own flag, apart from the other questions').
  std::mutex playlistLock_;
  TPlaylistQuestion playlistQuestion_;
  std::atomic<bool> playlistWaiting_{false}, playlistPosted_{false};
  // A queued file: its writer, opened on the source when its turn comes, and
  // the source's size at the intake, which the progress counts.
  struct TJob {
    CConv2FileObj* writer;
    int64_t sourceBytes;
  };
  std::deque<TJob> jobs_;
  std::vector<std::string> writtenTargets_;
  std::vector<TNamedTarget> namedTargets_;
  std::string sourceName_, targetName_, targetDir_, formatText_;
  std::atomic<bool> sourceChanged_{false}, targetChanged_{false};
  bool formatToggle_ = false;
  int64_t lastToggle_ = 0;

  std::atomic<double> estimatedTotal_{0}, written_{0}, totalSource_{0}, mixedSource_{0};
  int64_t fileWritten_ = 0;
  std::atomic<int> jobsAdded_{0}, jobsConverted_{0}, jobsFailed_{0}, jobsSkipped_{0}, refused_{0};
  std::atomic<bool> running_{true}, paused_{false}, workerActive_{false};
  uint32_t handOffTaken_;
  std::atomic<uint32_t> unavailableTargets_{0}, unavailableReported_{0};

  std::unique_ptr<CSoundGroup> group_;
  std::unique_ptr<CPCMMixer> mixer_;
  CPCMSound* sound_ = nullptr;
  CConv2FileObj* job_ = nullptr;
  std::atomic<int> currentType_{3};
  uint64_t soundMixedSeen_ = 0;
  double positionMs_ = 0;
  bool writeFailed_ = false;
  bool encoderFailed_ = false;  // the failed write was the encoder's, not the disk's
  CConv2FileFormat runFormat_{1};

  // The open question and the last answer to each. Answers that stand for
  // the rest of the run (OverwriteAll, SkipAll, ContinueUntilFull) stay.
  std::atomic<bool> waiting_{false};
  std::atomic<TOverwriteAnswer> overwrite_{TOverwriteAnswer::SkipThis};
  std::atomic<TDiskFullAnswer> diskFull_{TDiskFullAnswer::Retry};
  std::atomic<TConvertAnywayAnswer> convertAnyway_{TConvertAnywayAnswer::Convert};

  std::atomic<bool> analysing_{false};
  std::atomic<int> analysisPercent_{0};
  double analysisTotal_ = 0, analysisDone_ = 0;

  std::thread worker_;
};
