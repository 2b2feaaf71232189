#include "engine/media/PeakRuns.h"

#include <algorithm>

#include "engine/media/Peaks.h"

CPeakRuns::CPeakRuns(CPeaks* peaks, const tWAVEFORMATEX* format, long msPerPeak, int toFile)
    : peaks_(peaks), format_(format), toFile_(toFile) {
  double exact = static_cast<double>(msPerPeak) * format->nAvgBytesPerSec / 1000.0;
  uint32_t align = std::max<uint32_t>(format->nBlockAlign, 1);
  run_ = static_cast<int64_t>(exact / align) * align;
  if (run_ < align) run_ = align;
  fraction_ = std::max(0.0, exact - static_cast<double>(run_));
}

void CPeakRuns::Add(const char* data, int64_t bytes) {
  while (bytes > 0) {
    int64_t n = std::min(bytes, run_ - filled_);
    max_ = std::max(max_, peaks_->CheckMaxPeaks(data, data + n, format_));
    filled_ += n;
    data += n;
    bytes -= n;
    if (filled_ == run_) {
      carried_ += fraction_;
      if (carried_ >= static_cast<double>(run_))
        carried_ -= static_cast<double>(run_);
      else
        peaks_->StreamPeakFromParse(static_cast<unsigned char>(max_ * 255 / 32767), toFile_);
      filled_ = 0;
      max_ = 0;
    }
  }
}
