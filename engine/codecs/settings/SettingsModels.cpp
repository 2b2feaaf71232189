#include "engine/codecs/settings/SettingsModels.h"

#include <algorithm>

#include "engine/base/TonalisStrings.h"

namespace {

// Entry texts are short names ("44100 Hz", "Joint Stereo").
constexpr int kEntryTextBytes = 256;

}  // namespace

void CComboModel::Clear() {
  entries.clear();
  selected = -1;
}

int CComboModel::Add(const std::string& text, long value, long data) {
  entries.push_back({text, value, data});
  return Count() - 1;
}

int CComboModel::AddKeyed(const char* key, long value, long data) {
  char text[kEntryTextBytes];
  TonalisLoadString(key, text, sizeof text);
  return Add(text, value, data);
}

int CComboModel::IndexOfValue(long value) const {
  for (int i = 0; i < Count(); ++i)
    if (At(i).value == value) return i;
  return -1;
}

int CComboModel::IndexOfData(long data) const {
  for (int i = 0; i < Count(); ++i)
    if (At(i).data == data) return i;
  return -1;
}

void CComboModel::Select(int index) { selected = index >= 0 && index < Count() ? index : -1; }

bool CComboModel::SelectValue(long value) {
  Select(IndexOfValue(value));
  return selected >= 0;
}

bool CComboModel::SelectedValue(long* value) const {
  if (selected < 0) return false;
  if (value) *value = At(selected).value;
  return true;
}

bool CComboModel::SelectedData(long* data) const {
  if (selected < 0) return false;
  if (data) *data = At(selected).data;
  return true;
}

void CSliderModel::SetRange(int newLow, int newHigh) {
  low = newLow;
  high = std::max(newLow, newHigh);
  position = std::clamp(position, low, high);
}

void CSliderModel::SetPosition(int value) { position = std::clamp(value, low, high); }

void CEditModel::SetMaxLength(size_t length) {
  maxLength = length;
  SetText(text);
}

void CEditModel::SetText(const std::string& value) {
  text = maxLength && value.size() > maxLength ? value.substr(0, maxLength) : value;
}
