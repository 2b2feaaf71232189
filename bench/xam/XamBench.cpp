// CPU time of what a conversion with normalisation costs the MPEG decoding
// object: the whole-file scan (length, seek map, peaks) and then a full
// decode through the decoding buffer, as the sound reads it.
//   xam-bench FILE.mp3 [RUNS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "engine/codecs/ACMBuffer.h"
#include "engine/codecs/XAMObject.h"
#include "engine/media/Peaks.h"
#include "engine/media/SeekMap.h"
#include "platform/data/FileObj.h"

namespace {

class Buffer : public CACMBuffer {
 public:
  using CACMBuffer::ReadData;
};

double Cpu() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: xam-bench FILE.mp3 [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  CFileObj file;
  if (!file.Open(argv[1])) return 1;
  const int64_t size = file.Size();
  file.SetDataOffsets(0, size);
  // 192 kbit/s, 44.1 kHz stereo layer III, as the loader describes it.
  std::vector<uint8_t> record(32, 0);
  tWAVEFORMATEX f{WAVE_FORMAT_MPEGLAYER3, 2, 44100, 24000, 1, 16, 14};
  std::memcpy(record.data(), &f, sizeof f);
  const uint16_t frame = 626;
  std::memcpy(record.data() + 24, &frame, 2);
  std::vector<double> scans, decodes;
  for (int run = 0; run < runs; ++run) {
    XAMObject x(reinterpret_cast<tWAVEFORMATEX*>(record.data()), 0, 32);
    x.SetAverageFrameSize(626.9);
    CSeekMap* map = nullptr;
    CPeaks* peaks = nullptr;
    int64_t lengthMs = 0;
    double t0 = Cpu();
    if (!x.ParseScanAndBuild(&file, &map, &peaks, &lengthMs, nullptr, 0, size, 0, 1, 1, 1, 20, 0, 0,
                             nullptr, nullptr))
      return 1;
    double t1 = Cpu();
    Buffer b;
    b.Init(&file, 65536, 0, 50);
    b.SetACMObject(&x);
    b.format = *x.DestFormat();
    b.SetReadVariables(0, UINT32_MAX);
    std::vector<uint8_t> block(176400);
    int64_t total = 0;
    for (int64_t n; (n = b.ReadData(block.data(), 176400)) > 0;) total += n;
    double t2 = Cpu();
    scans.push_back(t1 - t0);
    decodes.push_back(t2 - t1);
    if (run == 0)
      std::printf("length %lld ms, %d seek points, %ld peaks, %lld bytes decoded\n",
                  static_cast<long long>(lengthMs), map->Count(), peaks->GetNumPeaks(),
                  static_cast<long long>(total));
    delete peaks;
    CSeekMap::Release(map);
  }
  std::sort(scans.begin(), scans.end());
  std::sort(decodes.begin(), decodes.end());
  double s = scans[scans.size() / 2], d = decodes[decodes.size() / 2];
  std::printf("median CPU: scan %.3f s, decode %.3f s, both %.3f s\n", s, d, s + d);
  return 0;
}
