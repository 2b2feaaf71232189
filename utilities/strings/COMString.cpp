#include "utilities/strings/COMString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "utilities/strings/NoCase.h"
#include "utilities/strings/Utf8.h"

namespace {

std::string_view View(const char* text) { return text == nullptr ? "" : text; }

std::string FromUtf16(const char16_t* text) {
  return text == nullptr ? std::string() : Utf16ToUtf8(std::u16string_view(text));
}

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

CCOMString::CCOMString(std::string text) : text_(std::move(text)) { CutAtNul(); }

CCOMString::CCOMString(const char* text) : text_(View(text)) {}

CCOMString::CCOMString(const char16_t* text) : text_(FromUtf16(text)) {}

CCOMString::CCOMString(const std::u16string& text) : text_(Utf16ToUtf8(text)) {}

CCOMString::CCOMString(char ch, int count) {
  if (count > 0 && ch != '\0') text_.assign(static_cast<size_t>(count), ch);
}

CCOMString& CCOMString::operator=(const char* text) {
  // Copied first: text may point into this string.
  std::string copy(View(text));
  text_.swap(copy);
  return *this;
}

CCOMString& CCOMString::operator=(const char16_t* text) {
  text_ = FromUtf16(text);
  return *this;
}

void CCOMString::CutAtNul() { text_.resize(std::strlen(text_.c_str())); }

char CCOMString::GetAt(int i) const {
  return i >= 0 && i < GetLength() ? text_[static_cast<size_t>(i)] : '\0';
}

void CCOMString::SetAt(int i, char ch) {
  if (i < 0 || i >= GetLength()) return;
  text_[static_cast<size_t>(i)] = ch;
  if (ch == '\0') text_.resize(static_cast<size_t>(i));
}

CCOMString operator+(const CCOMString& a, const CCOMString& b) {
  return CCOMString(a.text_ + b.text_);
}
CCOMString operator+(const CCOMString& a, const char* b) {
  return CCOMString(a.text_ + std::string(View(b)));
}
CCOMString operator+(const char* a, const CCOMString& b) {
  return CCOMString(std::string(View(a)) + b.text_);
}
CCOMString operator+(const CCOMString& a, const char16_t* b) {
  return CCOMString(a.text_ + FromUtf16(b));
}
CCOMString operator+(const char16_t* a, const CCOMString& b) {
  return CCOMString(FromUtf16(a) + b.text_);
}

CCOMString& CCOMString::operator+=(const CCOMString& other) {
  text_ += std::string(other.text_);  // a copy, for s += s
  return *this;
}

CCOMString& CCOMString::operator+=(const char* text) {
  text_ += std::string(View(text));
  return *this;
}

CCOMString& CCOMString::operator+=(const char16_t* text) {
  text_ += FromUtf16(text);
  return *this;
}

CCOMString& CCOMString::operator+=(char ch) {
  if (ch != '\0') text_ += ch;
  return *this;
}

CCOMString CCOMString::Mid(int start, int count) const {
  start = std::max(start, 0);
  count = std::max(count, 0);
  if (start >= GetLength()) return CCOMString();
  count = std::min(count, GetLength() - start);
  return CCOMString(text_.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

CCOMString CCOMString::Left(int count) const { return Mid(0, count); }

CCOMString CCOMString::Right(int count) const {
  if (count <= 0) return CCOMString();
  if (count >= GetLength()) return *this;
  return Mid(GetLength() - count, count);
}

CCOMString CCOMString::SpanIncluding(const char* set) const {
  return Left(static_cast<int>(std::strspn(text_.c_str(), View(set).data())));
}

CCOMString CCOMString::SpanExcluding(const char* set) const {
  return Left(static_cast<int>(std::strcspn(text_.c_str(), View(set).data())));
}

int CCOMString::Find(char ch, int start) const {
  if (start < 0) start = 0;
  if (start >= GetLength() || ch == '\0') return -1;
  size_t at = text_.find(ch, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CCOMString::Find(const char* text, int start) const {
  if (start < 0) start = 0;
  if (start > GetLength()) return -1;
  size_t at = text_.find(View(text), static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CCOMString::FindOneOf(const char* set) const {
  if (set == nullptr || *set == '\0') return -1;
  size_t at = text_.find_first_of(set);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CCOMString::Compare(const char* text) const { return Sign(text_.compare(View(text))); }

int CCOMString::CompareNoCase(const char* text) const { return ::CompareNoCase(text_, View(text)); }

int CCOMString::Collate(const char* text) const {
  return Sign(std::strcoll(text_.c_str(), View(text).data()));
}

void CCOMString::MakeUpper() {
  for (char& c : text_) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

void CCOMString::MakeLower() {
  for (char& c : text_) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

void CCOMString::MakeReverse() {
  std::string reversed(text_.size(), '\0');
  size_t end = text_.size();
  for (size_t at = 0; at < text_.size();) {
    size_t begin = at;
    NextCodePoint(text_, &at);
    end -= at - begin;
    std::copy(text_.begin() + begin, text_.begin() + at, reversed.begin() + end);
  }
  text_.swap(reversed);
}

void CCOMString::TrimLeft() {
  size_t n = 0;
  while (n < text_.size() && IsAsciiSpace(text_[n])) ++n;
  text_.erase(0, n);
}

void CCOMString::TrimRight() {
  while (!text_.empty() && IsAsciiSpace(text_.back())) text_.pop_back();
}

int CCOMString::Replace(char oldCh, char newCh) {
  if (oldCh == newCh || oldCh == '\0') return 0;
  int replaced = 0;
  for (char& c : text_) {
    if (c == oldCh) {
      c = newCh;
      ++replaced;
    }
  }
  CutAtNul();
  return replaced;
}

int CCOMString::Replace(const char* oldText, const char* newText) {
  std::string_view from = View(oldText), to = View(newText);
  if (from.empty()) return 0;
  std::string result;
  int replaced = 0;
  size_t at = 0;
  for (size_t found; (found = text_.find(from, at)) != std::string::npos;
       at = found + from.size()) {
    result.append(text_, at, found - at).append(to);
    ++replaced;
  }
  if (replaced == 0) return 0;
  result.append(text_, at, std::string::npos);
  text_.swap(result);
  return replaced;
}

bool CCOMString::Format(const char* format, ...) {
  if (format == nullptr) return false;
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int needed = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  bool ok = false;
  if (needed >= 0) {
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    ok = std::vsnprintf(buffer.data(), buffer.size(), format, again) == needed;
    if (ok) text_.assign(buffer.data());  // up to a NUL the arguments may hold
  }
  va_end(again);
  return ok;
}

std::u16string CCOMString::ToUtf16() const { return Utf8ToUtf16Replacing(text_); }

char16_t* CCOMString::AllocSysString() const {
  std::u16string units = ToUtf16();
  auto* copy = new (std::nothrow) char16_t[units.size() + 1];
  if (copy == nullptr) return nullptr;
  std::copy(units.begin(), units.end(), copy);
  copy[units.size()] = u'\0';
  return copy;
}
