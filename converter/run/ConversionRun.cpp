#include "converter/run/ConversionRun.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "converter/instance/InstanceChannel.h"
#include "converter/prefs/Preferences.h"
#include "converter/run/DoneSound.h"
#include "converter/run/IRunWindow.h"
#include "converter/ui/ErrorLog.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/core/AudioAtom.h"
#include "engine/core/PCMMixer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundGroup.h"
#include "engine/media/Playlist.h"
#include "platform/LastError.h"
#include "platform/os/FileOps.h"
#include "platform/paths/Paths.h"
#include "utilities/strings/KeyedFormat.h"

namespace {
void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool IsPlaylistName(const std::string& path) {
  for (const char* ext : {"m3u", "m3u8", "pls", "pl", "asx", "qvl"})
    if (HasFileExtension(path, ext)) return true;
  return false;
}

void Release(CConv2FileObj*& writer) {
  CRefObj* obj = writer;
  DeleteRefObject(&obj);
  writer = nullptr;
}
}  // namespace

CConversionRun::CConversionRun(CPreferences& preferences, CInstanceChannel* channel,
                               uint32_t firstEntry)
    : prefs_(preferences), channel_(channel), handOffTaken_(firstEntry) {}

CConversionRun::~CConversionRun() {
  Stop();
  std::lock_guard<std::mutex> lock(lock_);
  for (TJob& job : jobs_) Release(job.writer);
  jobs_.clear();
  writtenTargets_.clear();
}

int CConversionRun::Start(int count) {
  if (count <= 0) count = prefs_.ConversionWorkers();
  for (int i = 0; i < count; ++i) {
    auto w = std::make_unique<TRunWorker>(this);
    w->group = std::make_unique<CSoundGroup>();
    // The mixer never opens a device here: its output goes to the writers.
    _tInitMixer init{0, 2, 512, {WAVE_FORMAT_PCM, 1, 11025, 0, 0, 16, 0}};
    w->mixer = std::make_unique<CPCMMixer>(&init);
    workers_.push_back(std::move(w));
  }
  workersActive_ = workersLooping_ = count;
  int started = 0;
  for (auto& w : workers_) {
    try {
      w->thread = std::thread(&CConversionRun::Work, this, w.get());
      ++started;
    } catch (...) {
      --workersActive_;
      --workersLooping_;
    }
  }
  return started > 0 ? 1 : 0;
}

void CConversionRun::Stop() {
  running_ = false;
  cancel = true;
  for (auto& w : workers_)
    if (w->thread.joinable()) w->thread.join();
}

void CConversionRun::Pause(bool on) {
  paused_ = on;
  std::lock_guard<std::mutex> lock(lock_);
  for (auto& w : workers_) {
    if (!w->sound) continue;
    if (on)
      w->sound->Pause();
    else
      w->sound->Resume();
  }
}

void CConversionRun::LogKeyed(const char* key, const std::string& arg) {
  std::string line = LoadFormatted(key, arg);
  if (line.size() > 1024) line.resize(1024);
  ErrorLog().Add(line);
}

int CConversionRun::AddFile(const std::string& path, uint32_t targetType) {
  static const char* const kHandled[] = {"mp3", "mp2", "mp1", "wav", "wma"};
  bool handled = false;
  for (const char* ext : kHandled) handled = handled || HasFileExtension(path, ext);
  if (!handled) {
    LogKeyed("AFE_UNHANDLED_FILE_TYPE", path);
    ++refused_;
    return 1;
  }
  std::lock_guard<std::mutex> lock(lock_);
  for (const TJob& job : jobs_)
    if (job.writer->GetPath() == path) return 1;
  for (auto& w : workers_)
    if (w->job && w->job->GetPath() == path) return 1;
  if (targetType > 2) return 0;
  CConv2FileObj* writer = NewCConv2FileObj(static_cast<_tFileConversionTypedef>(targetType), -1);
  if (!writer) {
    // No encoder for the target (nor memory for a writer): the file is not taken.
    unavailableTargets_ |= 1u << targetType;
    LogKeyed("AFE_TARGET_UNAVAILABLE", path);
    ++refused_;
    return 0;
  }
  int opened = writer->Open(path, 0, 0);
  int64_t size = opened ? writer->Size() : -1;
  if (opened && size > 0) {
    AddTo(totalSource_, static_cast<double>(size));
    AddTo(estimatedTotal_,
          writer->GetBytesToWrite(&prefs_.Format(writer->GetConversionType()), nullptr, -1.0));
    // The source is opened again when its turn comes, so that a long queue
    // holds no descriptors.
    writer->Close();
    jobs_.push_back({writer, size});
    ++jobsAdded_;
    return 1;
  }
  LogKeyed(size == 0 ? "AFE_EMPTY_FILE" : "AFE_FILE_NOT_FOUND", path);
  ++refused_;
  Release(writer);
  return opened;
}

// Why an entry of a playlist gave no file, in the error log.
void CConversionRun::LogRefusal(const TPlaylistRefusal& r) {
  const char* key = "PL_EntryMissing";
  switch (r.problem) {
    case PLAYLIST_ENTRY_REMOTE:
      key = "PL_EntryRemote";
      break;
    case PLAYLIST_ENTRY_TOO_LONG:
      key = "PL_EntryTooLong";
      break;
    case PLAYLIST_ENTRY_NOT_REGULAR:
    case PLAYLIST_ENTRY_BAD_NAME:
      key = "PL_EntryNotFile";
      break;
    default:
      break;
  }
  ErrorLog().Add(LoadFormatted(key, r.playlist, r.entry).substr(0, 1024));
  ++refused_;
}

int CConversionRun::Intake(const std::string& path, uint32_t targetType,
                           IPlaylistChooser* chooser) {
  if (!IsPlaylistName(path)) return AddFile(path, targetType);
  // A playlist of its own for each intake: the window's and the worker's
  // intakes never share one.
  CPlaylist playlist;
  bool loaded = playlist.LoadFromFile(path.c_str(), false);
  for (const TPlaylistRefusal& r : playlist.Refusals()) LogRefusal(r);
  if (!loaded || playlist.NumTracks() == 0) {
    LogKeyed("PL_NoValidFiles", path);
    ++refused_;
    return 1;
  }
  std::vector<std::string> entries;
  for (int i = 0; i < playlist.NumTracks(); ++i) {
    std::string entry = playlist.GetTrackFilePath(i);
    if (!IsPlaylistName(entry)) entries.push_back(entry);  // nested playlists are passed over
  }
  if (entries.empty()) return 1;  // only nested playlists: nothing to ask about
  std::vector<std::string> chosen;
  if (playlist.NumTracks() == 1 || prefs_.convertPlaylistFilesWithoutPrompting) {
    chosen = entries;
  } else if (chooser) {
    chosen = chooser->ChooseEntries({path, targetType, entries});
  } else if (window_ && !quit) {
    // One playlist question at a time, whichever worker took the playlist.
    std::unique_lock<std::mutex> turn(playlistTurn_, std::defer_lock);
    while (!turn.try_lock()) {
      if (!running_ || quit) return 1;
      SleepMs(50);
    }
    {
      std::lock_guard<std::mutex> lock(playlistLock_);
      playlistQuestion_ = {path, targetType, entries};
    }
    playlistWaiting_ = playlistPosted_ = true;
    window_->PostQuestion(kAskPlaylist, static_cast<int>(targetType));
    while (playlistWaiting_ && running_ && !quit) SleepMs(50);
    playlistWaiting_ = playlistPosted_ = false;
    return 1;  // the window queued the chosen entries
  }
  for (const std::string& entry : chosen) AddFile(entry, targetType);
  return 1;
}

bool CConversionRun::TakePlaylistQuestion(TPlaylistQuestion* question) {
  if (!playlistPosted_.exchange(false)) return false;
  std::lock_guard<std::mutex> lock(playlistLock_);
  *question = playlistQuestion_;
  return true;
}

void CConversionRun::AnswerPlaylist(const std::vector<std::string>& chosen) {
  uint32_t type;
  {
    std::lock_guard<std::mutex> lock(playlistLock_);
    type = playlistQuestion_.targetType;
  }
  for (const std::string& entry : chosen) AddFile(entry, type);
  playlistWaiting_ = false;
}

uint32_t CConversionRun::TakeUnavailableTargets() {
  uint32_t all = unavailableTargets_;
  return all & ~unavailableReported_.fetch_or(all);
}

bool CConversionRun::PollHandOff(IPlaylistChooser* chooser) {
  if (waiting_ || playlistWaiting_ || !channel_) return false;
  std::vector<HandOffEntry> taken;
  {
    // The index and the entries are taken under the lock; the intake, which
    // may ask about a playlist, runs outside it.
    std::lock_guard<std::mutex> polling(pollLock_);
    if (!running_) return false;  // ended: what comes now is for the next run
    uint32_t count = channel_->Count();
    if (count <= handOffTaken_) return false;
    for (uint32_t i = handOffTaken_; i < count; ++i) {
      HandOffEntry entry{};
      if (!channel_->Get(i, entry)) {
        // An entry that can never be taken is passed over (the channel logged
        // it); one not fetched (the lock timed out) is kept for the next poll.
        if (GetLastError() == kErrBadHandOffEntry) continue;
        count = i;
        break;
      }
      taken.push_back(entry);
    }
    if (count <= handOffTaken_) return false;
    handOffTaken_ = count;
    ++intaking_;
  }
  for (const HandOffEntry& entry : taken) Intake(entry.path, entry.targetType, chooser);
  --intaking_;
  return true;
}

void CConversionRun::DeleteWrittenTargets() {
  std::lock_guard<std::mutex> lock(lock_);
  for (const std::string& path : writtenTargets_) os::RemoveFile(path);
  writtenTargets_.clear();
}

void CConversionRun::SetNames(TRunWorker& w, const std::string& source, const std::string& target) {
  std::lock_guard<std::mutex> lock(lock_);
  w.source = source;
  w.target = target;
  sourceName_ = source;
  targetName_ = target;
}

// The worker with the lowest-numbered file, under the run's lock.
const TRunWorker* CConversionRun::FirstInProgress() const {
  const TRunWorker* first = nullptr;
  for (const auto& w : workers_)
    if (w->job && (!first || w->number < first->number)) first = w.get();
  return first;
}

std::vector<TNamedTarget> CConversionRun::TakeNamedTargets() {
  std::lock_guard<std::mutex> lock(lock_);
  std::vector<TNamedTarget> named;
  named.swap(namedTargets_);
  return named;
}

std::string CConversionRun::TakeSourceName() {
  std::lock_guard<std::mutex> lock(lock_);
  const TRunWorker* first = FirstInProgress();
  return first ? first->source : sourceName_;
}

std::string CConversionRun::TakeTargetName() {
  std::lock_guard<std::mutex> lock(lock_);
  const TRunWorker* first = FirstInProgress();
  return first ? first->target : targetName_;
}

std::vector<TFileInProgress> CConversionRun::FilesInProgress() const {
  std::lock_guard<std::mutex> lock(lock_);
  std::vector<TFileInProgress> files;
  for (const auto& w : workers_) {
    if (!w->job) continue;
    TFileInProgress f;
    f.number = w->number;
    f.source = w->source.empty() ? w->job->GetPath() : w->source;
    f.target = w->target;
    f.analysing = w->analysing;
    if (f.analysing)
      f.percent = w->analysisPercent;
    else if (w->intakeBytes > 0)
      f.percent =
          static_cast<int>(std::min<double>(100.0, static_cast<double>(w->soundMixedSeen) * 100.0 /
                                                       static_cast<double>(w->intakeBytes)));
    files.push_back(std::move(f));
  }
  std::sort(files.begin(), files.end(),
            [](const TFileInProgress& a, const TFileInProgress& b) { return a.number < b.number; });
  return files;
}

void CConversionRun::QuestionNames(std::string* source, std::string* target) const {
  std::lock_guard<std::mutex> lock(lock_);
  const TRunWorker* w = asking_ ? asking_ : FirstInProgress();
  *source = w ? w->source : sourceName_;
  *target = w ? w->target : targetName_;
}

bool CConversionRun::FormatToggle() {
  std::lock_guard<std::mutex> lock(lock_);
  const TRunWorker* first = FirstInProgress();
  bool known = first && !first->formatText.empty();
  int64_t now = std::time(nullptr);
  if (known && now - lastToggle_ >= 3) {
    formatToggle_ = !formatToggle_;
    lastToggle_ = now;
  }
  return formatToggle_ && known;
}

std::string CConversionRun::FormatDescription() const {
  std::lock_guard<std::mutex> lock(lock_);
  const TRunWorker* first = FirstInProgress();
  return first ? first->formatText : std::string();
}

double CConversionRun::SourceFraction() const {
  double total = totalSource_;
  if (!(total > 0)) return 0.0;
  double f = mixedSource_ / total;
  return f > 1.0 ? 1.0 : f;
}

bool CConversionRun::Analysing() const {
  std::lock_guard<std::mutex> lock(lock_);
  const TRunWorker* first = FirstInProgress();
  return first && first->analysing;
}

int CConversionRun::AnalysisPercent() const {
  std::lock_guard<std::mutex> lock(lock_);
  const TRunWorker* first = FirstInProgress();
  return first ? first->analysisPercent.load() : 0;
}

uint32_t CConversionRun::TypesInProgress() const {
  std::lock_guard<std::mutex> lock(lock_);
  uint32_t types = 0;
  for (const auto& w : workers_)
    if (w->job && w->currentType >= 0 && w->currentType < 3) types |= 1u << w->currentType;
  return types;
}

void CConversionRun::Retry(uint32_t typeMask) {
  std::lock_guard<std::mutex> lock(lock_);
  for (auto& w : workers_)
    if (w->job && w->currentType >= 0 && w->currentType < 3 && (typeMask & 1u << w->currentType))
      w->retry = true;
}

std::string CConversionRun::TargetDirectory() const {
  std::lock_guard<std::mutex> lock(lock_);
  return targetDir_;
}

void CConversionRun::SetTargetDirectory(const std::string& dir) {
  std::lock_guard<std::mutex> lock(lock_);
  targetDir_ = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  chosenDir_ = targetDir_;
}

bool CConversionRun::TakeQuestionTurn(std::unique_lock<std::mutex>& turn) {
  turn = std::unique_lock<std::mutex>(questionTurn_, std::defer_lock);
  while (!turn.try_lock()) {
    if (quit || cancel) return false;
    SleepMs(20);
  }
  return !quit && !cancel;
}

bool CConversionRun::AskWindow(const TRunWorker& w, int question, int parameter) {
  while (paused_ && !quit) {
    SleepMs(200);
    PollHandOff();
  }
  if (quit || !window_) return false;
  {
    std::lock_guard<std::mutex> lock(lock_);
    asking_ = &w;
  }
  waiting_ = true;
  window_->PostQuestion(question, parameter);
  while (waiting_ && !quit) SleepMs(50);
  std::lock_guard<std::mutex> lock(lock_);
  asking_ = nullptr;
  return !quit;
}

// Each answer is stored before the wait ends, so the worker reads it once
// it sees the wait over.
void CConversionRun::Answer(TOverwriteAnswer answer) {
  overwrite_ = answer;
  waiting_ = false;
}

void CConversionRun::Answer(TDiskFullAnswer answer) {
  diskFull_ = answer;
  waiting_ = false;
}

void CConversionRun::Answer(TConvertAnywayAnswer answer) {
  convertAnyway_ = answer;
  waiting_ = false;
}

// A free worker takes the file at the head of the queue.
bool CConversionRun::TakeJob(TRunWorker& w) {
  std::lock_guard<std::mutex> lock(lock_);
  if (jobs_.empty()) return false;
  TJob& job = jobs_.front();
  if (job.number == 0) job.number = ++jobsTaken_;
  w.job = job.writer;
  w.number = job.number;
  w.intakeBytes = job.sourceBytes;
  w.currentType = job.writer->GetConversionType();
  w.source = job.writer->GetPath();
  w.target.clear();
  w.formatText.clear();
  jobs_.pop_front();
  return true;
}

// Each worker stays until the window ends the run, taking files handed off
// meanwhile, so that a name posted in the last moment is converted too.
void CConversionRun::Work(TRunWorker* w) {
  if (channel_) channel_->ReopenMutex();
  while (running_ && !cancel) {
    if (!TakeJob(*w)) {
      PollHandOff();
      SleepMs(40);
      continue;
    }
    ConvertNext(*w);
  }
  if (--workersLooping_ == 0 && !cancel && prefs_.playSound && jobsConverted_ > 0) PlayDoneSound();
  --workersActive_;
}

bool CConversionRun::Finish() {
  {
    // Under the hand-off lock: no file is taken between the look and the end.
    std::lock_guard<std::mutex> polling(pollLock_);
    if (!Idle() || intaking_ > 0 || playlistWaiting_) return false;
    running_ = false;
  }
  for (auto& w : workers_)
    if (w->thread.joinable()) w->thread.join();
  return true;
}

bool CConversionRun::Idle() const {
  std::lock_guard<std::mutex> lock(lock_);
  if (!jobs_.empty()) return false;
  for (const auto& w : workers_)
    if (w->job) return false;
  return true;
}
