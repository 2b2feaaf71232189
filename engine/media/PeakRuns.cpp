#include "engine/media/PeakRuns.h"

#include <algorithm>
#include <cstring>

#include "engine/media/Peaks.h"

CPeakRuns::CPeakRuns(CPeaks* peaks, const tWAVEFORMATEX* format, long msPerPeak, int toFile)
    : peaks_(peaks),
      format_(format),
      toFile_(toFile),
      align_(std::max<int64_t>(format->nBlockAlign, 1)),
      // At least one frame a run.
      framesTimesMs_(std::max<int64_t>(
          static_cast<int64_t>(format->nSamplesPerSec) * std::max<long>(msPerPeak, 1), 1000)) {
  split_.reserve(static_cast<size_t>(align_));
}

void CPeakRuns::Store() {
  peaks_->StreamPeakFromParse(static_cast<unsigned char>(max_ * 255 / 32767), toFile_);
  ++index_;
  max_ = 0;
  open_ = false;
}

void CPeakRuns::AddFrames(const char* data, int64_t frames) {
  int64_t at = 0;
  while (at < frames) {
    const int64_t n = std::min(frames - at, RunEnd() - frame_);
    max_ = std::max(max_,
                    peaks_->CheckMaxPeaks(data + at * align_, data + (at + n) * align_, format_));
    open_ = true;
    frame_ += n;
    at += n;
    if (frame_ >= RunEnd()) Store();
  }
}

void CPeakRuns::Add(const char* data, int64_t bytes) {
  if (!data || bytes <= 0) return;
  if (!split_.empty()) {
    const auto n = std::min<int64_t>(bytes, align_ - static_cast<int64_t>(split_.size()));
    split_.insert(split_.end(), data, data + n);
    data += n;
    bytes -= n;
    if (static_cast<int64_t>(split_.size()) < align_) return;
    AddFrames(split_.data(), 1);
    split_.clear();
  }
  const int64_t frames = bytes / align_;
  AddFrames(data, frames);
  split_.assign(data + frames * align_, data + bytes);
}

void CPeakRuns::Finish() {
  if (open_) Store();
}
