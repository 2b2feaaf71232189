// What the worker does with one queued file: load and analyse the source,
// normalise it, choose and check the target, ask where needed, let the mixer
// render the sound once into the writer, finish the file and account for it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

#include "converter/prefs/Preferences.h"
#include "converter/run/ConversionRun.h"
#include "converter/run/IRunWindow.h"
#include "converter/ui/ErrorLog.h"
#include "engine/base/EngineErrors.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/Conv2WaveFile.h"
#include "engine/core/PCMMixer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundGroup.h"
#include "engine/media/MusicInfo.h"
#include "platform/LastError.h"
#include "platform/Log.h"
#include "platform/os/Directories.h"
#include "platform/os/DiskSpace.h"
#include "platform/os/FileOps.h"
#include "platform/os/FileStatus.h"
#include "platform/paths/Paths.h"
#include "utilities/strings/KeyedFormat.h"

namespace {

constexpr long kMsPerPeak = 20;
// What a target names as the program that wrote it (a WAV's "ISFT", the
// encoder text of tagged targets).
constexpr const char* kSoftwareName = SONODUCT_SOFTWARE_NAME;

void SleepMs(long ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Every folder level of path, from the root on; an existing one is success.
bool MakeFolders(const std::string& dir) {
  if (os::IsDirectory(dir)) return true;
  for (size_t at = dir.find('/', 1); at != std::string::npos; at = dir.find('/', at + 1))
    os::MakeDirectory(dir.substr(0, at));
  os::MakeDirectory(dir);
  return os::IsDirectory(dir);
}

// A failure the encoder reported, not the disk: the MP3 encoder library's,
// or the WMA writer's (its own codes included).
bool IsEncoderError(uint32_t error) {
  return error == kErrMp3Encoder || error == kErrWmaWriter ||
         (error >= kErrWmaLibraryFirst && error <= kErrWmaLibraryLast);
}

const char* ExtensionOf(CConv2FileObj* job) {
  return job->DefaultExt() ? job->DefaultExt() : "wav";
}

}  // namespace

struct TRunCallbacks {
  static TDataWriteCode Sink(char* data, long& bytes, void* user) {
    auto* w = static_cast<TRunWorker*>(user);
    return w->run->WriteBlock(*w, data, bytes);
  }
  static int Progress(unsigned long bytes, void* user) {
    auto* w = static_cast<TRunWorker*>(user);
    return w->run->AnalysisProgress(*w, bytes);
  }
};

int CConversionRun::AnalysisProgress(TRunWorker& w, unsigned long bytes) {
  w.analysisDone += static_cast<double>(bytes);
  if (w.analysisTotal > 0)
    w.analysisPercent = static_cast<int>(w.analysisDone * 100 / w.analysisTotal);
  if (cancel || quit) return 0;
  if (paused_) return -1;
  return 1;
}

void CConversionRun::SkipFile(TRunWorker& w, double estimate, bool countSource,
                              int64_t sourceSize) {
  AddTo(estimatedTotal_, -std::min(estimate, estimatedTotal_.load()));
  if (countSource) CountMixed(w, static_cast<double>(sourceSize));
}

void CConversionRun::CountMixed(TRunWorker& w, double bytes) {
  w.mixedCounted += bytes;
  AddTo(mixedSource_, bytes);
}

int CConversionRun::ConvertNext(TRunWorker& w) {
  CConv2FileObj* job = w.job;
  std::string dir;
  {
    std::lock_guard<std::mutex> lock(lock_);
    dir = prefs_.defaultDir;
    if (!dir.empty() && dir[0] == '.') dir = ExtractDirectory(job->GetPath());
    if (!dir.empty() && dir.back() != '/') dir += '/';
    targetDir_ = dir;
    w.dir = dir;
    w.sound = nullptr;
  }
  w.mixedCounted = 0;
  w.accounted = w.retried = false;
  w.soundMixedSeen = 0;
  w.fileWritten = 0;
  w.estimate = 0;
  int result = 0;
  const std::string sourcePath = job->GetPath();
  CRefObj* copy = nullptr;
  if (job->Open(sourcePath, 0, 0)) copy = job->Copy();
  if (!copy) LogKeyed("AFE_FILE_NOT_FOUND", sourcePath);
  if (copy) {
    auto* sound = new CPCMSound;
    copy->Seek(0, kSeekBegin);
    bool analysis =
        prefs_.normalizeVolume || prefs_.trimSoundsAutomatically || prefs_.warnAboutIncompleteSongs;
    w.analysing = analysis;
    w.analysisPercent = 0;
    w.analysisDone = 0;
    w.analysisTotal = static_cast<double>(copy->Size());
    SetNames(w, sourcePath, "");
    SetLastError(0);
    int loaded = sound->InitialLoad(copy, 2000, 0, analysis ? 1 : 0, 0, 0, kMsPerPeak,
                                    analysis ? &TRunCallbacks::Progress : nullptr, &w);
    w.analysing = false;
    uint32_t error = GetLastError();
    if (loaded && sound->Length(0) != 0 && !cancel) {
      if (prefs_.normalizeVolume) {
        double factor = sound->GetNormalizedVolume(prefs_.normalizeLevel * 0.01);
        // On the source envelope: adding the sound to the group rebuilds the
        // effective envelope from it.
        if (factor > 0 && std::isfinite(factor))
          sound->GetSrcMap()->MultiplySimpleEvents(MAP_VOLUME, factor);
      }
      {
        std::lock_guard<std::mutex> lock(lock_);
        w.sound = sound;
      }
      result = ConvertToTarget(w);
    } else if (!cancel) {
      bool wma = HasFileExtension(sourcePath, "wma");
      const char* key;
      if (error == kErrNoData)
        key = "NFE_MissingDataChunk";
      else if (error == kErrCorrupted || sound->Length(0) == 0)
        key = wma ? "NFE_CorruptedWMA" : "NFE_Corrupted";
      else
        key = error == kErrNoMpegStream ? "NFE_Unparseable" : "NFE_Unknown";
      LogKeyed(key, sourcePath);
    }
    {
      std::lock_guard<std::mutex> lock(lock_);
      w.sound = nullptr;
    }
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);
    DeleteRefObject(&copy);
  }
  job->Close();
  std::lock_guard<std::mutex> lock(lock_);
  const bool again = w.accounted ? w.retried : w.retry.load();
  w.retry = false;
  if (again && !quit && !cancel) {
    // Converted again with the new settings: it goes back to the head of
    // the queue, with its number, and its counts are taken back.
    AddTo(mixedSource_, -std::min(w.mixedCounted, mixedSource_.load()));
    jobs_.push_front({job, w.intakeBytes, w.number});
  } else {
    // Tags and bytes that do not decode are never mixed, a file may fail
    // before any is, and a source may have changed since its intake: once a
    // file was tried, it counts with the size the total took, so the run's
    // progress reaches 100 %.
    if (!quit) {
      AddTo(mixedSource_, static_cast<double>(w.intakeBytes) - w.mixedCounted);
      if (result)
        ++jobsConverted_;
      else
        ++jobsFailed_;
    }
    CRefObj* obj = job;
    DeleteRefObject(&obj);
  }
  w.job = nullptr;
  w.claimed.clear();
  w.formatText.clear();
  w.currentType = 3;
  return result;
}

// The file in hand during the target step.
struct CConversionRun::TTargetFile {
  TTargetFile(TRunWorker& worker, CPreferences& prefs)
      : w(worker),
        sound(worker.sound),
        job(worker.job),
        type(job->GetConversionType()),
        prefFormat(prefs.Format(type)),
        sourcePath(job->GetPath()),
        sourceSize(job->Size()),
        estimate(job->GetBytesToWrite(&prefFormat, nullptr, -1.0)) {}

  TRunWorker& w;
  CPCMSound* sound;
  CConv2FileObj* job;
  int type;
  CConv2FileFormat& prefFormat;
  std::string sourcePath;
  int64_t sourceSize;
  double estimate;         // the writer's own estimate of the target's size
  std::string name;        // the target's file name
  std::string dir;         // its directory
  std::string target;      // its path
  tWAVEFORMATEX pcm{};     // what the mixer renders: the target format as PCM
  bool abandoned = false;  // cancelled, quit or retried when the stream ended
};

int CConversionRun::ConvertToTarget(TRunWorker& w) {
  TTargetFile file(w, prefs_);
  w.fileWritten = 0;
  w.estimate = file.estimate;
  w.writeFailed = false;
  w.encoderFailed = false;

  if (!NameTarget(file) || !FitsTarget(file) || !WaitForDiskSpace(file) || !PlaceTarget(file))
    return 0;
  TStep asked = AskAboutTarget(file);
  if (asked != TStep::Go) return asked == TStep::Skipped ? 1 : 0;
  if (!SettleFormat(file) || !CreateTarget(file)) return 0;
  int result = FinishTarget(file, Render(file));
  AccountFor(file, result);
  return result;
}

// The source's file name with the writer's extension.
bool CConversionRun::NameTarget(TTargetFile& file) {
  file.name = ExtractFileName(file.sourcePath);
  if (file.name.empty()) {
    LogKeyed("CFE_ExtractFailure", file.sourcePath);
    return false;
  }
  RemoveExtensionFromFile(file.name);
  if (file.name.empty() || file.name.back() != '.') file.name += '.';
  file.name += ExtensionOf(file.job);
  return true;
}

// A WAV file ends at 4 GB: a target that would pass it is refused before
// anything is asked or written.
bool CConversionRun::FitsTarget(const TTargetFile& file) {
  if (file.type != FILE_CONVERSION_WAVE || CConv2WaveFile::DataFits(file.estimate)) return true;
  LogKeyed("CFE_TargetTooLarge", file.sourcePath);
  return false;
}

// Asks while the target directory has less room than the estimate, unless
// the user chose to go on until the disk is full; an answer may have changed
// the directory, so it is measured again.
bool CConversionRun::WaitForDiskSpace(TTargetFile& file) {
  file.dir = file.w.dir;
  auto tooLittle = [&] {
    return diskFull_ != TDiskFullAnswer::ContinueUntilFull &&
           static_cast<double>(os::FreeBytes(file.dir)) <
               file.estimate + StillToWriteByOthers(file.w);
  };
  if (!tooLittle()) return true;
  std::unique_lock<std::mutex> turn;
  if (!TakeQuestionTurn(turn)) return false;
  while (tooLittle()) {
    diskFull_ = TDiskFullAnswer::Retry;  // what an unanswered question means
    {
      std::lock_guard<std::mutex> lock(lock_);
      chosenDir_.clear();
    }
    if (!AskWindow(file.w, kAskDiskFull)) return false;
    PollHandOff();
    if (quit || cancel || diskFull_ == TDiskFullAnswer::Stop) return false;
    std::lock_guard<std::mutex> lock(lock_);
    if (!chosenDir_.empty()) file.w.dir = chosenDir_;
    file.dir = file.w.dir;
  }
  return true;
}

// The files in progress on other workers will still write what their
// estimates say they have not yet written; the check counts it as taken.
double CConversionRun::StillToWriteByOthers(const TRunWorker& w) const {
  std::lock_guard<std::mutex> lock(lock_);
  double rest = 0;
  for (const auto& other : workers_) {
    if (other.get() == &w || !other->job) continue;
    double left = other->estimate - static_cast<double>(other->fileWritten);
    if (left > 0) rest += left;
  }
  return rest;
}

// The target path, with its directory made where missing.
bool CConversionRun::PlaceTarget(TTargetFile& file) {
  const std::string& dir = file.dir;
  file.target = dir + file.name;
  SetNames(file.w, file.sourcePath, file.target);
  if (!MakeFolders(dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir)) {
    LogKeyed("CFE_DirectoryDoesNotExist", dir);
    return false;
  }
  // A target is never its own source, whatever the names look like.
  if (SameFile(file.target, file.sourcePath) || file.target == file.sourcePath) {
    file.target = file.target.substr(0, file.target.size() - 4) + "1." + ExtensionOf(file.job);
    SetNames(file.w, file.sourcePath, file.target);
  }
  if (!ClaimTarget(file)) return false;
  std::lock_guard<std::mutex> lock(lock_);
  namedTargets_.push_back({file.w.number, jobsAdded_, file.sourcePath, file.target});
  return true;
}

// A target that another file in progress writes is waited for, so that it
// is found existing as when the files are converted one after the other;
// the look and the claim are one step, so two files never wait for each other.
bool CConversionRun::ClaimTarget(TTargetFile& file) {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(lock_);
      bool taken = false;
      for (const auto& other : workers_)
        taken = taken || (other.get() != &file.w && other->claimed == file.target);
      if (!taken) {
        file.w.claimed = file.target;
        return true;
      }
    }
    if (quit || cancel) return false;
    SleepMs(50);
  }
}

// The questions, in order: an existing target, a song that ends early, a
// silent source.
CConversionRun::TStep CConversionRun::AskAboutTarget(TTargetFile& file) {
  TStep step = CheckExistingTarget(file);
  if (step == TStep::Go) step = CheckPartialSong(file);
  if (step == TStep::Go) step = CheckSilence(file);
  return step;
}

CConversionRun::TStep CConversionRun::CheckExistingTarget(TTargetFile& file) {
  if (!DoesFileExist(file.target)) return TStep::Go;
  std::unique_lock<std::mutex> turn;
  // A standing answer may come with the question another file is asked now.
  if (prefs_.promptForOverWrites && !TakeQuestionTurn(turn)) return TStep::Failed;
  const TOverwriteAnswer standing = overwrite_;
  if (standing == TOverwriteAnswer::SkipAll) return SkipTarget(file, true);
  if (!prefs_.promptForOverWrites || standing == TOverwriteAnswer::OverwriteAll) return TStep::Go;
  overwrite_ = TOverwriteAnswer::SkipThis;  // what an unanswered question means
  if (!AskWindow(file.w, kAskOverwrite)) return TStep::Failed;
  PollHandOff();
  switch (overwrite_.load()) {
    case TOverwriteAnswer::OverwriteThis:
    case TOverwriteAnswer::OverwriteAll:
      return TStep::Go;
    case TOverwriteAnswer::Cancel:
      return TStep::Failed;
    case TOverwriteAnswer::SkipThis:
    case TOverwriteAnswer::SkipAll:
      break;
  }
  return SkipTarget(file, true);
}

CConversionRun::TStep CConversionRun::CheckPartialSong(TTargetFile& file) {
  if (!file.sound->IsPartialSong() || !prefs_.warnAboutIncompleteSongs) return TStep::Go;
  return AskConvertAnyway(file, kAskPartial);
}

// With trimming on, a silent source is asked about; any other loses its
// silent end here and its silent start in WriteBlock.
CConversionRun::TStep CConversionRun::CheckSilence(TTargetFile& file) {
  if (!prefs_.trimSoundsAutomatically) return TStep::Go;
  if (file.sound->IsTotalSilence()) return AskConvertAnyway(file, kAskSilent);
  file.sound->SetVirtualLength(file.sound->GetAutoTrimTimeEnd());
  file.sound->SetAutoTrim(1);
  return TStep::Go;
}

CConversionRun::TStep CConversionRun::AskConvertAnyway(TTargetFile& file, int question) {
  std::unique_lock<std::mutex> turn;
  if (!TakeQuestionTurn(turn)) return TStep::Failed;
  convertAnyway_ = TConvertAnywayAnswer::Convert;  // what an unanswered question means
  if (!AskWindow(file.w, question)) return TStep::Failed;
  PollHandOff();
  switch (convertAnyway_.load()) {
    case TConvertAnywayAnswer::Convert:
      break;
    case TConvertAnywayAnswer::Skip:
      return SkipTarget(file, false);
    case TConvertAnywayAnswer::Cancel:
      return TStep::Failed;
  }
  return TStep::Go;
}

// A skipped file counts as done; an existing target's source counts as mixed.
CConversionRun::TStep CConversionRun::SkipTarget(TTargetFile& file, bool countSource) {
  SkipFile(file.w, file.estimate, countSource, file.sourceSize);
  ++jobsSkipped_;
  return TStep::Skipped;
}

// The actual target format, from the preference and the source; its
// description goes to the window.
bool CConversionRun::SettleFormat(TTargetFile& file) {
  CConv2FileFormat& format = file.w.format;
  file.job->GetTargetFormat(&format, &file.prefFormat, file.sound);
  if (!file.job->ValidateFormat(&format)) {
    LogKeyed("CFE_InvalidTargetFormat", file.sourcePath);
    return false;
  }
  char text[1024];
  file.job->GetTargetFormatStr(text, sizeof text, &format);
  std::lock_guard<std::mutex> lock(lock_);
  file.w.formatText = text;
  formatToggle_ = false;
  lastToggle_ = std::time(nullptr);
  return true;
}

// Creates the target and reserves its tag space; a target without that
// space goes again.
bool CConversionRun::CreateTarget(TTargetFile& file) {
  CConv2FileFormat& format = file.w.format;
  format.MakeIntoWaveFormatEx(&file.pcm);
  file.pcm.wFormatTag = WAVE_FORMAT_PCM;
  if (!file.job->Create(file.target.c_str(), &format, &file.pcm)) {
    LogKeyed("CFE_FileCreationFail", file.target);
    return false;
  }
  long reserved = file.job->ReserveTagSpace();
  if (reserved == -1) {
    LogKeyed("CFE_TagSpaceReservationFail", file.target);
    file.job->Close();
    os::RemoveFile(file.target);
    return false;
  }
  CountWritten(file.w, reserved);
  return true;
}

// The worker's mixer renders the sound once, in the target format, into
// WriteBlock; 1 when the mix ran to its end.
int CConversionRun::Render(TTargetFile& file) {
  TRunWorker& w = file.w;
  file.sound->Add(w.group.get(), 0);
  w.group->SetPlayOnceMode(1);
  w.group->Resize(nullptr);
  w.positionMs = 0;
  w.soundMixedSeen = 0;
  long groupLength = w.group->Length(0);
  file.job->SetNeedToResample(0);
  int mixed = w.mixer->MixToDataSink(w.group.get(), &TRunCallbacks::Sink, &w, &file.pcm,
                                     groupLength, file.job->GetDesiredBufferSize());
  {
    std::lock_guard<std::mutex> lock(lock_);
    w.sound = nullptr;
  }
  return mixed ? 1 : 0;
}

// Ends the stream, writes the final data, closes the file and writes the
// tag. A file the disk refused is a failure: its broken target goes. A
// cancel keeps what was written.
int CConversionRun::FinishTarget(TTargetFile& file, int result) {
  TRunWorker& w = file.w;
  CConv2FileObj* job = file.job;
  long ended = job->EndWriteStream();
  if (ended > 0)
    CountWritten(w, ended);
  else if (ended == -1) {
    w.writeFailed = true;
    w.encoderFailed = IsEncoderError(GetLastError());
  }
  file.abandoned = cancel || quit || w.retry;
  if (result && !w.writeFailed) {
    int done = 0;
    long list =
        job->FinalData(file.target.c_str(), kSoftwareName, &done, file.sound->GetMusicInfo());
    if (list < 0) {
      w.writeFailed = true;
      w.encoderFailed = IsEncoderError(GetLastError());
    }
    if (done && list > 0) CountWritten(w, list);
  }
  file.sound->Remove();
  if (!job->Close()) w.writeFailed = true;
  if (result && !w.writeFailed && !file.abandoned) {
    long tag = job->WriteTag(file.target.c_str(), kSoftwareName, file.sound);
    if (tag == -1) {
      LogKeyed("CFE_TagSpaceCreationFail", file.target);
      result = 0;
    } else {
      CountWritten(w, tag);
    }
  }
  if (w.writeFailed && !file.abandoned) {
    LogKeyed(w.encoderFailed ? "CFE_EncoderFailure" : "CFE_WriteFailure", file.target);
    os::RemoveFile(file.target);
    result = 0;
  }
  if (result && !file.abandoned) {
    std::lock_guard<std::mutex> lock(lock_);  // the settings' store is shared by the workers
    prefs_.SaveLastConversionType(static_cast<uint32_t>(file.type), HKEY_CURRENT_USER);
  }
  return result;
}

// A retried file loses its target and what it wrote (its mixed count goes
// when it is queued again); any other corrects the estimated total by what
// it really wrote.
void CConversionRun::AccountFor(TTargetFile& file, int result) {
  TRunWorker& w = file.w;
  const double wrote = static_cast<double>(w.fileWritten);
  w.accounted = true;
  w.retried = w.retry;
  if (w.retried) {
    AddTo(written_, -std::min(wrote, written_.load()));
    os::RemoveFile(file.target);
  } else {
    if (wrote != file.estimate) AddTo(estimatedTotal_, wrote - file.estimate);
    if (estimatedTotal_ < 0) estimatedTotal_ = 0;
    if (result || file.abandoned) {
      std::lock_guard<std::mutex> lock(lock_);
      writtenTargets_.push_back(file.target);
    }
  }
  std::lock_guard<std::mutex> lock(lock_);
  w.formatText.clear();
}

void CConversionRun::CountWritten(TRunWorker& w, int64_t bytes) {
  w.fileWritten += bytes;
  AddTo(written_, static_cast<double>(bytes));
}

int CConversionRun::WriteBlock(TRunWorker& w, char* data, long& length) {
  if (length < 1) return 1;
  while (paused_) {
    if (cancel) return 1;
    if (!running_) break;
    PollHandOff();
    SleepMs(80);
  }
  if (cancel || !running_ || w.retry || quit) return 1;
  CPCMSound* sound;
  CConv2FileObj* job;
  {
    std::lock_guard<std::mutex> lock(lock_);
    sound = w.sound;
    job = w.job;
  }
  if (!job) return 1;
  const int64_t avg = w.format.nAvgBytesPerSec ? w.format.nAvgBytesPerSec : 1;
  const int64_t align = w.format.nBlockAlign ? w.format.nBlockAlign : 1;
  double duration = static_cast<double>(length) * 1000.0 / static_cast<double>(avg);
  if (duration < 1) duration = 1;
  long n = 0;
  const char* from = data;
  long count = length;
  if (sound && sound->IsAutoTrim()) {
    double trimStart = static_cast<double>(sound->GetAutoTrimTimeStart());
    if (w.positionMs + duration <= trimStart) {
      count = 0;  // all of it lies before the sound starts
    } else if (w.positionMs < trimStart) {
      // The block straddles the start: its part after the start is kept.
      int64_t skip = static_cast<int64_t>((trimStart - w.positionMs) * avg / 1000) / align * align;
      from += skip;
      count -= static_cast<long>(skip);
    }
  }
  if (count > 0) {
    n = job->WriteStreamData(from, count, nullptr);
    if (n == -1) {
      w.writeFailed = true;
      w.encoderFailed = IsEncoderError(GetLastError());
      return 1;
    }
  }
  CountWritten(w, n);
  PollHandOff();
  w.positionMs += duration;
  if (sound) {
    uint64_t mixed = sound->GetSourceBytesMixedInPlayOnceMode();
    uint64_t seen = w.soundMixedSeen;
    if (mixed > seen) {
      CountMixed(w, static_cast<double>(mixed - seen));
      w.soundMixedSeen = mixed;
    }
  }
  SleepMs(prefs_.cpuSleepTime);
  return 0;
}
