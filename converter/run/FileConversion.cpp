// What the worker does with one queued file: load and analyse the source,
// normalise it, choose and check the target, ask where needed, let the mixer
// render the sound once into the writer, finish the file and account for it.
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
    return static_cast<CConversionRun*>(user)->WriteBlock(data, bytes);
  }
  static int Progress(unsigned long bytes, void* user) {
    return static_cast<CConversionRun*>(user)->AnalysisProgress(bytes);
  }
};

int CConversionRun::AnalysisProgress(unsigned long bytes) {
  analysisDone_ += static_cast<double>(bytes);
  if (analysisTotal_ > 0) analysisPercent_ = static_cast<int>(analysisDone_ * 100 / analysisTotal_);
  if (cancel || quit) return 0;
  if (paused_) return -1;
  return 1;
}

void CConversionRun::SkipFile(double estimate, bool countSource, int64_t sourceSize) {
  double e = estimatedTotal_ - estimate;
  estimatedTotal_ = e > 0 ? e : 0;
  if (countSource) mixedSource_ = mixedSource_ + static_cast<double>(sourceSize);
}

int CConversionRun::ConvertNext() {
  CConv2FileObj* job = nullptr;
  int64_t intakeBytes = 0;
  std::string dir;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (!jobs_.empty()) {
      job = jobs_.front().writer;
      intakeBytes = jobs_.front().sourceBytes;
    }
    dir = prefs_.defaultDir;
    if (!dir.empty() && dir[0] == '.' && job) dir = ExtractDirectory(job->GetPath());
    if (!dir.empty() && dir.back() != '/') dir += '/';
    targetDir_ = dir;
    sound_ = nullptr;
    currentType_ = job ? job->GetConversionType() : 3;
  }
  int result = 0;
  const std::string sourcePath = job ? job->GetPath() : std::string();
  const double mixedBefore = mixedSource_;
  CRefObj* copy = nullptr;
  if (job && job->Open(sourcePath, 0, 0)) copy = job->Copy();
  if (job && !copy) LogKeyed("AFE_FILE_NOT_FOUND", sourcePath);
  if (copy) {
    auto* sound = new CPCMSound;
    copy->Seek(0, kSeekBegin);
    bool analysis =
        prefs_.normalizeVolume || prefs_.trimSoundsAutomatically || prefs_.warnAboutIncompleteSongs;
    analysing_ = analysis;
    analysisPercent_ = 0;
    analysisDone_ = 0;
    analysisTotal_ = static_cast<double>(copy->Size());
    SetNames(sourcePath, "");
    SetLastError(0);
    int loaded = sound->InitialLoad(copy, 2000, 0, analysis ? 1 : 0, 0, 0, kMsPerPeak,
                                    analysis ? &TRunCallbacks::Progress : nullptr, this);
    analysing_ = false;
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
        sound_ = sound;
        job_ = job;
      }
      result = ConvertToTarget(sound, job);
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
      sound_ = nullptr;
      job_ = nullptr;
    }
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);
    DeleteRefObject(&copy);
    currentType_ = 3;
  }
  if (job) job->Close();
  if (retry) {
    retry = false;
    return result;
  }
  // Tags and bytes that do not decode are never mixed, a file may fail before
  // any is, and a source may have changed since its intake: once a file was
  // tried, it counts with the size the total took, so the run's progress
  // reaches 100 %.
  if (!quit) mixedSource_ = mixedBefore + static_cast<double>(intakeBytes);
  if (!quit) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!jobs_.empty() && jobs_.front().writer == job) {
      jobs_.pop_front();
      CRefObj* obj = job;
      DeleteRefObject(&obj);
    }
    if (result)
      ++jobsConverted_;
    else
      ++jobsFailed_;
  }
  return result;
}

// The file in hand during the target step.
struct CConversionRun::TTargetFile {
  TTargetFile(CPCMSound* s, CConv2FileObj* j, CPreferences& prefs)
      : sound(s),
        job(j),
        type(j->GetConversionType()),
        prefFormat(prefs.Format(type)),
        sourcePath(j->GetPath()),
        sourceSize(j->Size()),
        estimate(j->GetBytesToWrite(&prefFormat, nullptr, -1.0)) {}

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

int CConversionRun::ConvertToTarget(CPCMSound* sound, CConv2FileObj* job) {
  TTargetFile file(sound, job, prefs_);
  fileWritten_ = 0;
  writeFailed_ = false;
  encoderFailed_ = false;

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
  file.dir = TargetDirectory();
  while (diskFull_ != TDiskFullAnswer::ContinueUntilFull &&
         static_cast<double>(os::FreeBytes(file.dir)) < file.estimate) {
    diskFull_ = TDiskFullAnswer::Retry;  // what an unanswered question means
    if (!AskWindow(kAskDiskFull)) return false;
    PollHandOff();
    if (quit || cancel || diskFull_ == TDiskFullAnswer::Stop) return false;
    file.dir = TargetDirectory();
  }
  return true;
}

// The target path, with its directory made where missing.
bool CConversionRun::PlaceTarget(TTargetFile& file) {
  const std::string& dir = file.dir;
  file.target = dir + file.name;
  SetNames(file.sourcePath, file.target);
  if (!MakeFolders(dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir)) {
    LogKeyed("CFE_DirectoryDoesNotExist", dir);
    return false;
  }
  // A target is never its own source, whatever the names look like.
  if (SameFile(file.target, file.sourcePath) || file.target == file.sourcePath) {
    file.target = file.target.substr(0, file.target.size() - 4) + "1." + ExtensionOf(file.job);
    SetNames(file.sourcePath, file.target);
  }
  std::lock_guard<std::mutex> lock(lock_);
  namedTargets_.push_back(
      {jobsConverted_ + jobsFailed_ + 1, jobsAdded_, file.sourcePath, file.target});
  return true;
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
  const TOverwriteAnswer standing = overwrite_;
  if (standing == TOverwriteAnswer::SkipAll) return SkipTarget(file, true);
  if (!prefs_.promptForOverWrites || standing == TOverwriteAnswer::OverwriteAll) return TStep::Go;
  overwrite_ = TOverwriteAnswer::SkipThis;  // what an unanswered question means
  if (!AskWindow(kAskOverwrite)) return TStep::Failed;
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
  convertAnyway_ = TConvertAnywayAnswer::Convert;  // what an unanswered question means
  if (!AskWindow(question)) return TStep::Failed;
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
CConversionRun::TStep CConversionRun::SkipTarget(const TTargetFile& file, bool countSource) {
  SkipFile(file.estimate, countSource, file.sourceSize);
  ++jobsSkipped_;
  return TStep::Skipped;
}

// The actual target format, from the preference and the source; its
// description goes to the window.
bool CConversionRun::SettleFormat(TTargetFile& file) {
  file.job->GetTargetFormat(&runFormat_, &file.prefFormat, file.sound);
  if (!file.job->ValidateFormat(&runFormat_)) {
    LogKeyed("CFE_InvalidTargetFormat", file.sourcePath);
    return false;
  }
  char text[1024];
  file.job->GetTargetFormatStr(text, sizeof text, &runFormat_);
  std::lock_guard<std::mutex> lock(lock_);
  formatText_ = text;
  formatToggle_ = false;
  lastToggle_ = std::time(nullptr);
  return true;
}

// Creates the target and reserves its tag space; a target without that
// space goes again.
bool CConversionRun::CreateTarget(TTargetFile& file) {
  runFormat_.MakeIntoWaveFormatEx(&file.pcm);
  file.pcm.wFormatTag = WAVE_FORMAT_PCM;
  if (!file.job->Create(file.target.c_str(), &runFormat_, &file.pcm)) {
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
  CountWritten(reserved);
  return true;
}

// The mixer renders the sound once, in the target format, into WriteBlock;
// 1 when the mix ran to its end.
int CConversionRun::Render(TTargetFile& file) {
  file.sound->Add(group_.get(), 0);
  group_->SetPlayOnceMode(1);
  group_->Resize(nullptr);
  positionMs_ = 0;
  soundMixedSeen_ = 0;
  long groupLength = group_->Length(0);
  file.job->SetNeedToResample(0);
  int mixed = mixer_->MixToDataSink(group_.get(), &TRunCallbacks::Sink, this, &file.pcm,
                                    groupLength, file.job->GetDesiredBufferSize());
  {
    std::lock_guard<std::mutex> lock(lock_);
    sound_ = nullptr;
  }
  return mixed ? 1 : 0;
}

// Ends the stream, writes the final data, closes the file and writes the
// tag. A file the disk refused is a failure: its broken target goes. A
// cancel keeps what was written.
int CConversionRun::FinishTarget(TTargetFile& file, int result) {
  CConv2FileObj* job = file.job;
  long ended = job->EndWriteStream();
  if (ended > 0)
    CountWritten(ended);
  else if (ended == -1) {
    writeFailed_ = true;
    encoderFailed_ = IsEncoderError(GetLastError());
  }
  file.abandoned = cancel || quit || retry;
  if (result && !writeFailed_) {
    int done = 0;
    long list =
        job->FinalData(file.target.c_str(), kSoftwareName, &done, file.sound->GetMusicInfo());
    if (list < 0) {
      writeFailed_ = true;
      encoderFailed_ = IsEncoderError(GetLastError());
    }
    if (done && list > 0) CountWritten(list);
  }
  file.sound->Remove();
  if (!job->Close()) writeFailed_ = true;
  if (result && !writeFailed_ && !file.abandoned) {
    long tag = job->WriteTag(file.target.c_str(), kSoftwareName, file.sound);
    if (tag == -1) {
      LogKeyed("CFE_TagSpaceCreationFail", file.target);
      result = 0;
    } else {
      CountWritten(tag);
    }
  }
  if (writeFailed_ && !file.abandoned) {
    LogKeyed(encoderFailed_ ? "CFE_EncoderFailure" : "CFE_WriteFailure", file.target);
    os::RemoveFile(file.target);
    result = 0;
  }
  if (result && !file.abandoned)
    prefs_.SaveLastConversionType(static_cast<uint32_t>(file.type), HKEY_CURRENT_USER);
  return result;
}

// A retried file takes its counts back and loses its target; any other
// corrects the estimated total by what it really wrote.
void CConversionRun::AccountFor(const TTargetFile& file, int result) {
  if (retry) {
    double m = mixedSource_ - static_cast<double>(soundMixedSeen_);
    mixedSource_ = m > 0 ? m : 0;
    double w = written_ - static_cast<double>(fileWritten_);
    written_ = w > 0 ? w : 0;
    os::RemoveFile(file.target);
  } else {
    if (static_cast<double>(fileWritten_) != file.estimate) {
      double e = estimatedTotal_ + static_cast<double>(fileWritten_) - file.estimate;
      estimatedTotal_ = e > 0 ? e : 0;
    }
    if (result || file.abandoned) {
      std::lock_guard<std::mutex> lock(lock_);
      writtenTargets_.push_back(file.target);
    }
  }
  std::lock_guard<std::mutex> lock(lock_);
  formatText_.clear();
}

void CConversionRun::CountWritten(int64_t bytes) {
  fileWritten_ += bytes;
  written_ = written_ + static_cast<double>(bytes);
}

int CConversionRun::WriteBlock(char* data, long& length) {
  if (length < 1) return 1;
  while (paused_) {
    if (cancel) return 1;
    if (!running_) break;
    PollHandOff();
    SleepMs(80);
  }
  if (cancel || !running_ || retry || quit) return 1;
  CPCMSound* sound;
  CConv2FileObj* job;
  {
    std::lock_guard<std::mutex> lock(lock_);
    sound = sound_;
    job = job_;
  }
  if (!job) return 1;
  const int64_t avg = runFormat_.nAvgBytesPerSec ? runFormat_.nAvgBytesPerSec : 1;
  const int64_t align = runFormat_.nBlockAlign ? runFormat_.nBlockAlign : 1;
  double duration = static_cast<double>(length) * 1000.0 / static_cast<double>(avg);
  if (duration < 1) duration = 1;
  long n = 0;
  const char* from = data;
  long count = length;
  if (sound && sound->IsAutoTrim()) {
    double trimStart = static_cast<double>(sound->GetAutoTrimTimeStart());
    if (positionMs_ + duration <= trimStart) {
      count = 0;  // all of it lies before the sound starts
    } else if (positionMs_ < trimStart) {
      // The block straddles the start: its part after the start is kept.
      int64_t skip = static_cast<int64_t>((trimStart - positionMs_) * avg / 1000) / align * align;
      from += skip;
      count -= static_cast<long>(skip);
    }
  }
  if (count > 0) {
    n = job->WriteStreamData(from, count, nullptr);
    if (n == -1) {
      writeFailed_ = true;
      encoderFailed_ = IsEncoderError(GetLastError());
      return 1;
    }
  }
  CountWritten(n);
  PollHandOff();
  positionMs_ += duration;
  if (sound) {
    uint64_t mixed = sound->GetSourceBytesMixedInPlayOnceMode();
    if (mixed > soundMixedSeen_) {
      mixedSource_ = mixedSource_ + static_cast<double>(mixed - soundMixedSeen_);
      soundMixedSeen_ = mixed;
    }
  }
  SleepMs(prefs_.cpuSleepTime);
  return 0;
}
