// A text class for programs that exchange text with COM-style interfaces:
// system text (UTF-8) with conversions from and to UTF-16. The text never
// holds a NUL: its length is that of the C string it gives. Every operation
// keeps to the text it has: positions outside it read as NUL and are not
// written.
#pragma once

#include <string>
#include <string_view>

class CCOMString {
 public:
  CCOMString() = default;
  CCOMString(const CCOMString& other) = default;
  CCOMString(const char* text);  // null is the empty text
  // UTF-16 up to the first zero unit; lone surrogates become U+FFFD.
  CCOMString(const char16_t* text);
  CCOMString(const std::u16string& text);
  CCOMString(char ch, int count);  // empty when count <= 0 or ch is NUL
  virtual ~CCOMString() = default;

  CCOMString& operator=(const CCOMString& other) = default;
  CCOMString& operator=(const char* text);
  CCOMString& operator=(const char16_t* text);

  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  const char* GetString() const { return text_.c_str(); }
  operator const char*() const { return text_.c_str(); }
  // The byte at i; NUL outside the text.
  char GetAt(int i) const;
  char operator[](int i) const { return GetAt(i); }
  // Replaces the byte at i when i is inside the text; a NUL ends the text there.
  void SetAt(int i, char ch);
  void Empty() { text_.clear(); }

  friend CCOMString operator+(const CCOMString& a, const CCOMString& b);
  friend CCOMString operator+(const CCOMString& a, const char* b);
  friend CCOMString operator+(const char* a, const CCOMString& b);
  friend CCOMString operator+(const CCOMString& a, const char16_t* b);
  friend CCOMString operator+(const char16_t* a, const CCOMString& b);
  CCOMString& operator+=(const CCOMString& other);
  CCOMString& operator+=(const char* text);
  CCOMString& operator+=(const char16_t* text);
  CCOMString& operator+=(char ch);

  CCOMString Mid(int start) const { return Mid(start, GetLength() - start); }
  CCOMString Mid(int start, int count) const;
  CCOMString Left(int count) const;
  CCOMString Right(int count) const;
  CCOMString SpanIncluding(const char* set) const;
  CCOMString SpanExcluding(const char* set) const;

  int Find(char ch) const { return Find(ch, 0); }
  int Find(char ch, int start) const;
  int Find(const char* text) const { return Find(text, 0); }
  int Find(const char* text, int start) const;
  int FindOneOf(const char* set) const;

  // -1, 0 or 1 by unsigned byte order.
  int Compare(const CCOMString& other) const { return Compare(other.GetString()); }
  int Compare(const char* text) const;
  // Without ASCII case.
  int CompareNoCase(const char* text) const;
  // By the C library's collation of the current locale.
  int Collate(const char* text) const;

  friend bool operator==(const CCOMString& a, const CCOMString& b) { return a.Compare(b) == 0; }
  friend bool operator==(const CCOMString& a, const char* b) { return a.Compare(b) == 0; }
  friend bool operator==(const char* a, const CCOMString& b) { return b.Compare(a) == 0; }

  // Case mapping of ASCII letters; other bytes stay, so UTF-8 text stays valid.
  void MakeUpper();
  void MakeLower();
  // Reverses the characters: a UTF-8 sequence stays whole, other bytes go alone.
  void MakeReverse();
  // Remove leading or trailing ASCII white space.
  void TrimLeft();
  void TrimRight();
  // The number of bytes replaced; 0 when old equals new. A new NUL ends the text.
  int Replace(char oldCh, char newCh);
  // The number of occurrences replaced, found left to right without overlap;
  // 0 for an empty or null old.
  int Replace(const char* oldText, const char* newText);

  // printf-style formatting into the text; false (text unchanged) when the
  // format fails.
  bool Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The text as UTF-16; bytes that are not valid UTF-8 become U+FFFD.
  std::u16string ToUtf16() const;
  // The same as a NUL-terminated system string that the caller frees with
  // FreeSysString; null when it can't be allocated.
  char16_t* AllocSysString() const;
  static void FreeSysString(char16_t* text) { delete[] text; }

 private:
  explicit CCOMString(std::string text);
  // Ends the text at a NUL it may have taken in.
  void CutAtNul();

  std::string text_;
};

inline bool operator!=(const CCOMString& a, const CCOMString& b) { return !(a == b); }
inline bool operator!=(const CCOMString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const CCOMString& b) { return !(a == b); }
