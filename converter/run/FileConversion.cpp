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
  std::string dir;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (!jobs_.empty()) job = jobs_.front();
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
  int64_t sourceBytes = 0;
  CRefObj* copy = nullptr;
  if (job && job->Open(sourcePath, 0, 0)) copy = job->Copy();
  if (copy) sourceBytes = copy->Size();
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
  // Tags and bytes that do not decode are never mixed: once a file is done,
  // all of its bytes count, so the run's progress reaches 100 %.
  if (!quit && sourceBytes > 0 && mixedSource_ < mixedBefore + static_cast<double>(sourceBytes))
    mixedSource_ = mixedBefore + static_cast<double>(sourceBytes);
  if (!quit) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!jobs_.empty() && jobs_.front() == job) {
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

int CConversionRun::ConvertToTarget(CPCMSound* sound, CConv2FileObj* job) {
  skipThis = false;
  const int type = job->GetConversionType();
  CConv2FileFormat& prefFormat = prefs_.Format(type);
  const std::string sourcePath = job->GetPath();
  const int64_t sourceSize = job->Size();
  double estimate = job->GetBytesToWrite(&prefFormat, nullptr, -1.0);
  fileWritten_ = 0;
  writeFailed_ = false;

  std::string name = ExtractFileName(sourcePath);
  if (name.empty()) {
    LogKeyed("CFE_ExtractFailure", sourcePath);
    return 0;
  }
  RemoveExtensionFromFile(name);
  if (name.empty() || name.back() != '.') name += '.';
  name += job->DefaultExt() ? job->DefaultExt() : "wav";

  std::string dir = TargetDirectory();
  while (!continueUntilFull && static_cast<double>(os::FreeBytes(dir)) < estimate) {
    if (!AskWindow(kAskDiskFull)) return 0;
    PollHandOff();
    if (quit || cancel) return 0;
    dir = TargetDirectory();
  }
  std::string target = dir + name;
  SetNames(sourcePath, target);
  if (!MakeFolders(dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir)) {
    LogKeyed("CFE_DirectoryDoesNotExist", dir);
    return 0;
  }
  overwriteThis = false;
  // A target is never its own source, whatever the names look like.
  if (SameFile(target, sourcePath) || target == sourcePath) {
    target = target.substr(0, target.size() - 4) + "1." +
             (job->DefaultExt() ? job->DefaultExt() : "wav");
    SetNames(sourcePath, target);
  }
  if (DoesFileExist(target)) {
    if (skipAll) {
      SkipFile(estimate, true, sourceSize);
      return 1;
    }
    if (prefs_.promptForOverWrites && !overwriteAll) {
      if (!AskWindow(kAskOverwrite)) return 0;
      PollHandOff();
      if (!overwriteThis) {
        SkipFile(estimate, true, sourceSize);
        return 1;
      }
    }
  }
  if (sound->IsPartialSong() && prefs_.warnAboutIncompleteSongs) {
    if (!AskWindow(kAskPartial)) return 0;
    PollHandOff();
    if (skipThis) {
      SkipFile(estimate, false, sourceSize);
      return 1;
    }
  }
  if (prefs_.trimSoundsAutomatically) {
    if (sound->IsTotalSilence()) {
      if (!AskWindow(kAskSilent)) return 0;
      PollHandOff();
      if (skipThis) {
        SkipFile(estimate, false, sourceSize);
        return 1;
      }
    } else {
      sound->SetVirtualLength(sound->GetAutoTrimTimeEnd());
      sound->SetAutoTrim(1);
    }
  }

  job->GetTargetFormat(&runFormat_, &prefFormat, sound);
  if (!job->ValidateFormat(&runFormat_)) {
    LogKeyed("CFE_InvalidTargetFormat", sourcePath);
    return 0;
  }
  {
    char text[1024];
    job->GetTargetFormatStr(text, sizeof text, &runFormat_);
    std::lock_guard<std::mutex> lock(lock_);
    formatText_ = text;
    formatToggle_ = false;
    lastToggle_ = std::time(nullptr);
  }
  tWAVEFORMATEX pcm{};
  runFormat_.MakeIntoWaveFormatEx(&pcm);
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  if (!job->Create(target.c_str(), &runFormat_, &pcm)) {
    LogKeyed("CFE_FileCreationFail", target);
    return 0;
  }
  long reserved = job->ReserveTagSpace();
  if (reserved == -1) {
    LogKeyed("CFE_TagSpaceReservationFail", target);
    job->Close();
    os::RemoveFile(target);
    return 0;
  }
  fileWritten_ += reserved;
  written_ = written_ + reserved;

  sound->Add(group_.get(), 0);
  group_->SetPlayOnceMode(1);
  group_->Resize(nullptr);
  positionMs_ = 0;
  soundMixedSeen_ = 0;
  long groupLength = group_->Length(0);
  job->SetNeedToResample(0);
  int mixed = mixer_->MixToDataSink(group_.get(), &TRunCallbacks::Sink, this, &pcm, groupLength,
                                    job->GetDesiredBufferSize());
  {
    std::lock_guard<std::mutex> lock(lock_);
    sound_ = nullptr;
  }
  int result = mixed ? 1 : 0;
  long ended = job->EndWriteStream();
  if (ended > 0) {
    fileWritten_ += ended;
    written_ = written_ + ended;
  } else if (ended == -1) {
    writeFailed_ = true;
  }
  const bool abandoned = cancel || quit || retry;
  if (result && !writeFailed_) {
    int done = 0;
    char title[1024] = {};
    CConv2FileObj::CreateDefaultTagTitleString(sourcePath.c_str(), title);
    long list = job->FinalData(target.c_str(), title, &done, sound->GetMusicInfo());
    if (list < 0) writeFailed_ = true;
    if (done && list > 0) {
      fileWritten_ += list;
      written_ = written_ + list;
    }
  }
  sound->Remove();
  if (!job->Close()) writeFailed_ = true;
  if (result && !writeFailed_ && !abandoned) {
    char title[1024] = {};
    CConv2FileObj::CreateDefaultTagTitleString(sourcePath.c_str(), title);
    long tag = job->WriteTag(target.c_str(), title, sound);
    if (tag == -1) {
      LogKeyed("CFE_TagSpaceCreationFail", target);
      result = 0;
    } else {
      fileWritten_ += tag;
      written_ = written_ + tag;
    }
  }
  // A file the disk refused is a failure: its broken target goes. A cancel
  // keeps what was written.
  if (writeFailed_ && !abandoned) {
    LogKeyed("CFE_WriteFailure", target);
    os::RemoveFile(target);
    result = 0;
  }
  if (result && !abandoned)
    prefs_.SaveLastConversionType(static_cast<uint32_t>(type), HKEY_CURRENT_USER);

  if (retry) {
    double m = mixedSource_ - static_cast<double>(soundMixedSeen_);
    mixedSource_ = m > 0 ? m : 0;
    double w = written_ - static_cast<double>(fileWritten_);
    written_ = w > 0 ? w : 0;
    os::RemoveFile(target);
  } else {
    if (static_cast<double>(fileWritten_) != estimate) {
      double e = estimatedTotal_ + static_cast<double>(fileWritten_) - estimate;
      estimatedTotal_ = e > 0 ? e : 0;
    }
    if (result || abandoned) {
      std::lock_guard<std::mutex> lock(lock_);
      writtenTargets_.push_back(target);
    }
  }
  std::lock_guard<std::mutex> lock(lock_);
  formatText_.clear();
  return result;
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
      return 1;
    }
  }
  fileWritten_ += n;
  written_ = written_ + n;
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
