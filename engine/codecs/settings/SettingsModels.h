// Plain models of the controls on the format settings pages: what a combo
// box, a slider, an edit box, a static text or a radio button shows, with no
// window behind it. The settings helpers fill and read these; the pages bind
// them to their widgets.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A list of entries, each a text with the value it stands for and an item
// datum, and the selected entry (-1: none).
class CComboModel {
 public:
  struct Entry {
    std::string text;
    long value = 0;
    long data = 0;
  };

  void Clear();
  // Adds an entry at the end; its index.
  int Add(const std::string& text, long value, long data = 0);
  // Adds the text of a key of the engine's strings file.
  int AddKeyed(const char* key, long value, long data = 0);

  int Count() const { return static_cast<int>(entries.size()); }
  const Entry& At(int index) const { return entries[static_cast<size_t>(index)]; }
  // Index of value in the value table, or -1.
  int IndexOfValue(long value) const;
  int IndexOfData(long data) const;

  int Selected() const { return selected; }
  // Selects an entry; an index outside the list selects none.
  void Select(int index);
  // Selects the entry of value; false (and nothing selected) when the table lacks it.
  bool SelectValue(long value);
  // The selected entry's value or item datum; false when nothing is selected.
  bool SelectedValue(long* value) const;
  bool SelectedData(long* data) const;

  bool enabled = true;

 private:
  std::vector<Entry> entries;
  int selected = -1;
};

// A track bar: a range and a position kept inside it.
class CSliderModel {
 public:
  void SetRange(int low, int high);
  void SetPosition(int position);
  int Low() const { return low; }
  int High() const { return high; }
  int Position() const { return position; }

  bool enabled = true;

 private:
  int low = 0;
  int high = 0;
  int position = 0;
};

// An edit box: its text, cut to the maximum length when one is set.
class CEditModel {
 public:
  void SetMaxLength(size_t length);
  size_t MaxLength() const { return maxLength; }
  void SetText(const std::string& text);
  const std::string& Text() const { return text; }

  bool enabled = true;

 private:
  std::string text;
  size_t maxLength = 0;  // 0: no limit
};

// A static text.
class CTextModel {
 public:
  void SetText(const std::string& value) { text = value; }
  const std::string& Text() const { return text; }

 private:
  std::string text;
};

// One radio button: whether it is checked and whether it can be chosen.
struct CRadioModel {
  bool checked = false;
  bool enabled = true;
};
