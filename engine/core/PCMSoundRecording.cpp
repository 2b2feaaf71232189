// A sound's recording side: the WAV file the captured blocks go to and the
// peaks built from them.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <string>

#include "engine/base/PCMBuffer.h"
#include "engine/base/SampleBuffer.h"
#include "engine/codecs/ACMObject.h"
#include "engine/core/PCMMixer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/RecordState.h"
#include "engine/core/SoundEngine.h"
#include "engine/media/Peaks.h"
#include "platform/data/FileObj.h"
#include "platform/data/MemObj.h"
#include "platform/os/FileOps.h"
#include "platform/riff/FourCC.h"

int CPCMSound::Record(TRecordType type, tWAVEFORMATEX* format, char* path, int buildPeaks,
                      long msPerPeak) {
  // The mixer lock first: the engine thread holds it when it calls WriteData.
  std::lock_guard<std::recursive_mutex> mixerLock(GetMixerLock());
  std::lock_guard<std::recursive_mutex> lock(section_);
  if (type == 0) {
    CPCMMixer* mixer = GetCurrentMixer();
    if (recordState_ || !format || !mixer) return 0;
    tWAVEFORMATEX f = *format;
    ValidateFormat(&f, WAVE_FORMAT_PCM);
    if (f.nBlockAlign == 0 || f.nAvgBytesPerSec == 0) return 0;
    buffer_.reset();
    peaks_.reset();
    DeleteRefObject(&source_);
    sourceFormat_.Clear();
    decoder_.reset();
    if (path && *path) {
      auto* file = new (std::nothrow) CFileObj;
      if (file && file->Create(path))
        source_ = file;
      else if (file)
        delete file;
    }
    if (!source_) {
      auto* memory = new (std::nothrow) CMemObj;
      if (!memory) return 0;
      if (!memory->Create()) {
        delete memory;
        return 0;
      }
      source_ = memory;
    }
    auto state = std::make_unique<RecordState>();
    const int64_t align = f.nBlockAlign;
    state->bytesPerPeak = align * (msPerPeak * int64_t{f.nAvgBytesPerSec} / 1000 / align);
    state->exactBytesPerPeak = static_cast<double>(msPerPeak) * f.nAvgBytesPerSec / 1000.0;
    state->buildPeaks = buildPeaks && state->bytesPerPeak > 0;
    state->msPerPeak = msPerPeak;
    const int64_t fmtBytes = 18 + f.cbSize;
    if (!sourceFormat_.Set(&f) || !state->riff.Create(source_, FourCC("WAVE")) ||
        !state->riff.WriteSubChunk(FourCC("fmt "), sourceFormat_.Get(), fmtBytes) ||
        !state->riff.StartWriteStream(FourCC("data"))) {
      DropFailedRecording();
      return 0;
    }
    state->recorder = mixer;
    recordState_ = std::move(state);
    virtualLength_ = 0;
    SetVirtualLength(0);
    if (!mixer->Record(this, &f)) {
      recordState_.reset();
      DropFailedRecording();
      return 0;
    }
    return 1;
  }

  if (!recordState_) return 0;
  // Ends the capture: the mixer hands over what it still holds first.
  RecordState& state = *recordState_;
  if (state.recorder) state.recorder->StopAtom(this, 1);
  state.riff.EndWriteStream();
  state.riff.Close();
  int ok = 1;
  const tWAVEFORMATEX* f = sourceFormat_.Get();
  // Find the data again, as a reader of the finished file would.
  CRIFF reader;
  _subChunk data{};
  source_->Seek(0, kSeekBegin);
  if (!reader.Open(source_) || !reader.SeekToChunk(FourCC("data"), 1) ||
      !reader.GetCurrentChunkInfo(nullptr, &data))
    ok = 0;
  else
    source_->SetDataOffsets(data.dataOffset, data.dataOffset + data.dataSize);
  const int64_t align = f->nBlockAlign, avg = f->nAvgBytesPerSec;
  const long lengthMs = ok ? static_cast<long>(data.dataSize * 1000 / avg) : 0;
  if (ok) {
    const int64_t half = std::max(align, align * (avg * 500 / 1000 / align));
    buffer_.reset(new (std::nothrow) CPCMBuffer);
    if (buffer_) {
      buffer_->format = *f;
      source_->SetDataMode(0);
      source_->SeekToData(0);
      if (buffer_->Init(source_, static_cast<uint32_t>(half), 0, 50)) {
        source_->SetDataMode(1);
        buffer_->SetRefObj(source_);
      } else {
        buffer_.reset();
        ok = 0;
      }
    } else {
      ok = 0;
    }
  }
  virtualLength_ = 0;
  SetVirtualLength(lengthMs);
  if (ok && state.buildPeaks) {
    // A last piece shorter than a peak still counts.
    if (state.pieceBytes > 0) state.peaks.AppendToTail(nullptr, state.pieceMax * 255 / 32767);
    auto peaks = std::make_unique<CPeaks>();
    if (peaks->LoadPeaksFromArrayList(state.peaks, static_cast<unsigned long>(state.msPerPeak),
                                      lengthMs, state.maxLeft, state.maxRight, source_))
      peaks_ = std::move(peaks);
  }
  recordState_.reset();
  return ok;
}

void CPCMSound::RecordingEnded(CPCMMixer* mixer) {
  std::lock_guard<std::recursive_mutex> lock(section_);
  if (recordState_ && recordState_->recorder == mixer) recordState_->recorder = nullptr;
}

// A recording that never started leaves no file behind.
void CPCMSound::DropFailedRecording() {
  std::string path;
  if (auto* file = dynamic_cast<CFileObj*>(source_)) path = file->GetPath();
  DeleteRefObject(&source_);
  sourceFormat_.Clear();
  if (!path.empty()) os::RemoveFile(path);
}

void CPCMSound::AddPeaks(const uint8_t* data, long bytes) {
  RecordState& s = *recordState_;
  const tWAVEFORMATEX* f = sourceFormat_.Get();
  const double fraction = s.exactBytesPerPeak - static_cast<double>(s.bytesPerPeak);
  for (long at = 0; at < bytes;) {
    const long take =
        static_cast<long>(std::min<int64_t>(bytes - at, s.bytesPerPeak - s.pieceBytes));
    long left = 0, right = 0;
    ::GetMaxSample(data + at, data + at + take, f, left, right);
    s.maxLeft = std::max(s.maxLeft, left);
    s.maxRight = std::max(s.maxRight, right);
    s.pieceMax = std::max({s.pieceMax, left, right});
    s.pieceBytes += take;
    at += take;
    if (s.pieceBytes < s.bytesPerPeak) break;
    s.pieceBytes = 0;
    // Pieces of whole blocks fall short of the exact length of a peak: once
    // they have fallen a whole peak behind, one piece joins the next.
    s.fraction += fraction;
    if (fraction > 0.0 && s.fraction >= s.exactBytesPerPeak) {
      s.fraction -= s.exactBytesPerPeak;
      continue;
    }
    s.peaks.AppendToTail(nullptr, std::min(255L, s.pieceMax * 255 / 32767));
    s.pieceMax = 0;
  }
}

TRenderResult CPCMSound::WriteData(_bufferType* buffer) {
  std::lock_guard<std::recursive_mutex> lock(section_);
  if (!recordState_ || !buffer || !buffer->data) return RENDER_ERROR;
  const long bytes = static_cast<long>(buffer->bufferBytes);
  if (recordState_->buildPeaks) AddPeaks(buffer->data, bytes);
  const int64_t written = recordState_->riff.WriteStreamData(buffer->data, bytes);
  return written == bytes ? RENDER_MORE : RENDER_ERROR;
}
