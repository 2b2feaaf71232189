// The choice of a playlist's entries before they are queued, as plain
// state: every entry with whether it can be converted and the space its
// target needs, all checked at first; pages of ten; check all and none; the
// space needed against the space free; and what OK queues.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CPreferences;

struct TPlaylistRow {
  std::string path;
  bool available = false;  // a writer of the target type opens it
  double estimate = 0;     // bytes its target takes
  bool checked = true;
};

class CPlaylistChoice {
 public:
  static constexpr int kPageSize = 10;

  // Estimates each entry for the target type with the settings' format.
  CPlaylistChoice(const std::string& playlist, uint32_t targetType,
                  const std::vector<std::string>& entries, CPreferences& preferences);

  const std::string& Playlist() const { return playlist_; }
  uint32_t TargetType() const { return targetType_; }
  int Count() const { return static_cast<int>(rows_.size()); }
  const TPlaylistRow& Row(int index) const { return rows_.at(static_cast<size_t>(index)); }
  // The first entry of the page shown.
  int First() const { return first_; }
  bool CanGoBack() const { return first_ > 0; }
  bool CanGoOn() const { return first_ < Count() - kPageSize; }
  void Back();
  void On();
  void CheckAll();
  void UncheckAll();
  // Selecting a row of an available entry checks or unchecks it.
  void Toggle(int index);

  // The texts of the dialog.
  std::string RowText(int index) const;
  std::string BackLabel() const;
  std::string OnLabel() const;
  std::string RequiredText() const;
  std::string AvailableText() const;
  std::string CountText() const;
  int CheckedCount() const;
  double RequiredBytes() const;

  // The do-not-ask-again box.
  bool dontAsk = false;
  // OK: the entries to queue, in playlist order; the box goes to the settings.
  std::vector<std::string> Accept();

 private:
  std::string playlist_;
  uint32_t targetType_;
  CPreferences& prefs_;
  std::vector<TPlaylistRow> rows_;
  int first_ = 0;
};
