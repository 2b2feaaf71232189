#include "converter/ui/PlaylistChoice.h"

#include <algorithm>

#include "converter/prefs/Preferences.h"
#include "converter/ui/Megabytes.h"
#include "engine/codecs/Conv2FileObj.h"
#include "platform/os/DiskSpace.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {

// The target's size for one entry; negative when no writer of the type opens it.
double Estimate(const std::string& path, uint32_t type, CPreferences& prefs) {
  if (type > 2) return -1;
  CConv2FileObj* writer = NewCConv2FileObj(static_cast<_tFileConversionTypedef>(type), -1);
  if (!writer) return -1;
  double bytes = -1;
  if (writer->Open(path, 0, 0)) {
    bytes = writer->GetBytesToWrite(&prefs.Format(writer->GetConversionType()), nullptr, -1.0);
    writer->Close();
  }
  CRefObj* obj = writer;
  DeleteRefObject(&obj);
  return bytes;
}

}  // namespace

CPlaylistChoice::CPlaylistChoice(const std::string& playlist, uint32_t targetType,
                                 const std::vector<std::string>& entries, CPreferences& preferences)
    : playlist_(playlist), targetType_(targetType), prefs_(preferences) {
  for (const std::string& path : entries) {
    TPlaylistRow row;
    row.path = path;
    double bytes = Estimate(path, targetType, preferences);
    row.available = bytes >= 0;
    row.estimate = row.available ? bytes : 0;
    rows_.push_back(row);
  }
}

void CPlaylistChoice::Back() { first_ = std::max(0, first_ - kPageSize); }

void CPlaylistChoice::On() {
  if (CanGoOn()) first_ += kPageSize;
}

void CPlaylistChoice::CheckAll() {
  for (TPlaylistRow& row : rows_) row.checked = true;
}

void CPlaylistChoice::UncheckAll() {
  for (TPlaylistRow& row : rows_) row.checked = false;
}

void CPlaylistChoice::Toggle(int index) {
  if (index < 0 || index >= Count()) return;
  TPlaylistRow& row = rows_[static_cast<size_t>(index)];
  if (row.available) row.checked = !row.checked;
}

int CPlaylistChoice::CheckedCount() const {
  return static_cast<int>(std::count_if(
      rows_.begin(), rows_.end(), [](const TPlaylistRow& r) { return r.available && r.checked; }));
}

double CPlaylistChoice::RequiredBytes() const {
  double sum = 0;
  for (const TPlaylistRow& r : rows_)
    if (r.available && r.checked) sum += r.estimate;
  return sum;
}

std::string CPlaylistChoice::RowText(int index) const {
  const TPlaylistRow& row = Row(index);
  std::string number = std::to_string(index + 1) + ".  ";
  return number + (row.available ? row.path : LoadKeyedString("PL_NotFound").substr(0, 64));
}

std::string CPlaylistChoice::BackLabel() const {
  return LoadFormatted("PL_Prev", kPageSize).substr(0, 512);
}

// The next page's size, or ten when that is more (or there is none).
std::string CPlaylistChoice::OnLabel() const {
  int after = Count() - first_ - kPageSize;
  int shown = after > 0 && after < kPageSize ? after : kPageSize;
  return LoadFormatted("PL_Next", shown).substr(0, 512);
}

std::string CPlaylistChoice::RequiredText() const {
  int64_t whole, hundredths;
  Megabytes(RequiredBytes(), &whole, &hundredths);
  return LoadFormatted("PL_ReqSpace", whole, hundredths).substr(0, 512);
}

std::string CPlaylistChoice::AvailableText() const {
  int64_t whole, hundredths;
  Megabytes(static_cast<double>(os::FreeBytes(prefs_.defaultDir)), &whole, &hundredths);
  return LoadFormatted("PL_AvSpace2", whole, hundredths).substr(0, 512);
}

std::string CPlaylistChoice::CountText() const {
  return LoadFormatted("PL_NumToConvert", CheckedCount(), Count()).substr(0, 512);
}

std::vector<std::string> CPlaylistChoice::Accept() {
  prefs_.convertPlaylistFilesWithoutPrompting = dontAsk ? 1 : 0;
  std::vector<std::string> chosen;
  for (const TPlaylistRow& r : rows_)
    if (r.available && r.checked) chosen.push_back(r.path);
  return chosen;
}
