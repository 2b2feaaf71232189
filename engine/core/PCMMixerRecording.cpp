// The mixer's recording side: the capture ring the engine thread services.
#include <algorithm>
#include <cstring>

#include "engine/base/SampleBuffer.h"
#include "engine/core/PCMMixer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundEngine.h"
#include "platform/Log.h"

int CPCMMixer::FullDuplexTest(unsigned int, tWAVEFORMATEX* output, tWAVEFORMATEX* input) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!output || !input) return 0;
  // The mixer's own devices may be busy with playing or recording: the test
  // opens streams of its own.
  os::WaveOut out;
  os::WaveIn in;
  const int64_t outQueue = output->nAvgBytesPerSec / 10, inQueue = input->nAvgBytesPerSec / 10;
  if (!out.Open(output->nChannels, output->nSamplesPerSec, output->wBitsPerSample, outQueue)) {
    deviceError_ = out.Error();
    LogFmt("Full duplex test: the output does not open: %s", out.Error().c_str());
    return 0;
  }
  if (!in.Open(input->nChannels, input->nSamplesPerSec, input->wBitsPerSample, inQueue)) {
    deviceError_ = in.Error();
    LogFmt("Full duplex test: the input does not open while the output is: %s", in.Error().c_str());
    return 0;
  }
  deviceError_.clear();
  return 1;
}

int CPCMMixer::Record(CPCMSound* sound, tWAVEFORMATEX* format) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!sound || !format) return 0;
  if (recordingOn_) EndRecording();
  if (!StartRecording(format, recording_[0].bufferCount, recording_[0].bufferBytes)) return 0;
  recordingSound_ = sound;
  return 1;
}

CPCMSound* CPCMMixer::GetRecordingSound() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  return recordingSound_;
}

int CPCMMixer::Recording() { return recordingOn_; }

int CPCMMixer::StartRecording(tWAVEFORMATEX* format, int count, unsigned long bytes) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!format) return 0;
  if (recordingOn_) EndRecording();
  tWAVEFORMATEX f = *format;
  ValidateFormat(&f, WAVE_FORMAT_PCM);
  if (f.nBlockAlign == 0 || f.nAvgBytesPerSec == 0) return 0;
  if (count > 0) {
    recording_[1].bufferCount = count;
    recording_[1].bufferBytes = static_cast<uint32_t>(bytes);
  }
  const int n = std::clamp<int32_t>(recording_[1].bufferCount, 1, 64);
  int64_t size = recording_[1].bufferBytes / f.nBlockAlign * f.nBlockAlign;
  if (size == 0)
    size = f.nBlockAlign * std::max<int64_t>(1, f.nAvgBytesPerSec / 10 / f.nBlockAlign);
  if (!input_.Open(f.nChannels, f.nSamplesPerSec, f.wBitsPerSample, size * n)) {
    deviceError_ = input_.Error();
    LogFmt("Recording: the input device does not open: %s", input_.Error().c_str());
    return 0;
  }
  deviceError_.clear();
  captureFormat_ = f;
  captures_.assign(static_cast<size_t>(n), CaptureBuffer{});
  for (CaptureBuffer& b : captures_)
    b.block.assign(static_cast<size_t>(size), f.wBitsPerSample == 8 ? 128 : 0);
  nextCapture_ = 0;
  meterPos_ = 0;
  meterLeft_ = meterRight_ = 0;
  meterStep_ = int64_t{f.nBlockAlign} * (int64_t{f.nAvgBytesPerSec} * 80 / 1000 / f.nBlockAlign);
  recordingOn_ = 1;
  if (!input_.Start()) {
    deviceError_ = input_.Error();
    LogFmt("Recording: the input device does not start: %s", input_.Error().c_str());
    EndRecording();
    return 0;
  }
  return 1;
}

bool CPCMMixer::DeliverCapture(CaptureBuffer& buffer) {
  if (buffer.failed || buffer.filled == 0) return true;
  bool ok = true;
  if (recordingSound_) {
    _bufferType data{};
    data.precision = PRECISION_NATIVE;
    data.format = &captureFormat_;
    data.data = buffer.block.data();
    data.bufferBytes = buffer.filled;
    ok = recordingSound_->WriteData(&data) == RENDER_MORE;
  }
  if (!ok) {
    buffer.failed = true;
    return false;
  }
  std::fill(buffer.block.begin(), buffer.block.end(), captureFormat_.wBitsPerSample == 8 ? 128 : 0);
  buffer.filled = 0;
  return true;
}

void CPCMMixer::ContinueRecording() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!recordingOn_ || captures_.empty()) return;
  for (;;) {
    CaptureBuffer& b = captures_[nextCapture_];
    const int64_t room = static_cast<int64_t>(b.block.size()) - b.filled;
    const int64_t got = input_.Read(b.block.data() + b.filled, room);
    if (got < 0) {
      LogFmt("Recording: the input device failed: %s", input_.Error().c_str());
      EndRecording();
      return;
    }
    if (got > 0) {
      long left = 0, right = 0;
      const uint8_t* p = b.block.data() + b.filled;
      GetMaxSample(p, p + got, &captureFormat_, left, right);
      meterLeft_ = std::max(meterLeft_, left);
      meterRight_ = std::max(meterRight_, right);
      b.filled += static_cast<uint32_t>(got);
    }
    if (b.filled == b.block.size()) {
      if (!DeliverCapture(b)) {
        EndRecording();
        return;
      }
      nextCapture_ = (nextCapture_ + 1) % captures_.size();
    }
    if (got < room) break;
  }
  const int64_t position = input_.CapturedBytes();
  if (meterStep_ > 0 && position - meterPos_ >= meterStep_) {
    meterPos_ = position;
    UpdatePeak(meterLeft_ / 32767.0, meterRight_ / 32767.0, static_cast<unsigned long>(position));
    meterLeft_ = meterRight_ = 0;
  }
}

void CPCMMixer::EndRecording() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!recordingOn_) return;
  recordingOn_ = 0;
  // What the device still holds is part of the recording.
  bool ok = true;
  while (ok && input_.IsOpen() && !captures_.empty()) {
    CaptureBuffer& b = captures_[nextCapture_];
    if (b.failed) break;
    const int64_t room = static_cast<int64_t>(b.block.size()) - b.filled;
    const int64_t got = input_.Read(b.block.data() + b.filled, room);
    if (got > 0) b.filled += static_cast<uint32_t>(got);
    if (got < room) break;
    ok = DeliverCapture(b);
    nextCapture_ = (nextCapture_ + 1) % captures_.size();
  }
  for (size_t i = 0; ok && i < captures_.size(); ++i)
    ok = DeliverCapture(captures_[(nextCapture_ + i) % captures_.size()]);
  input_.Close();
  captures_.clear();
  if (recordingSound_) recordingSound_->RecordingEnded(this);
  recordingSound_ = nullptr;
}

void CPCMMixer::UpdatePeak(double, double, unsigned long) {}
