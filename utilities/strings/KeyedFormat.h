// The checked formatter for keyed texts used as formats.
//
// A text from a strings file belongs to its translator; used as a printf
// format it must never be able to crash the program or read arguments that
// are not there. Every keyed format therefore goes through FormatKeyed (or
// its shorthands below), which accepts only conversions that match the
// arguments the caller supplies, one by one and in order:
//
//   integer argument (any integral type, char and bool too):
//       %d %i %u %o %x %X %c
//   floating argument (double or float; an integer is accepted too):
//       %f %F %e %E %g %G %a %A
//   text argument (const char*, std::string, std::string_view):
//       %s
//
// Each may carry flags (- + space # 0), a width and a precision (up to 4096
// each, written as digits; '*' is refused) and a length modifier (hh h l ll
// L q j z t), which is ignored because the argument's own type decides.
// "%%" is a percent sign and takes no argument. Anything else — a conversion
// of the wrong type, more conversions than arguments, arguments left over,
// %n, %p, positional "%1$s", an unknown letter or a lone '%' at the end —
// makes the whole result the key followed by the arguments, separated by
// spaces, so that the user still sees what the message was about.
//
// A missing key yields the key's own name as the format; it holds no
// conversions, so with arguments the fallback shows the key and the
// arguments, and without arguments the key. A text meant to show a percent
// sign must write "%%".
//
//   std::string msg = LoadFormatted("CFE_DirectoryDoesNotExist", dir);
//   std::string s = FormatKeyed("PL_AvSpace2", "%d.%02d MB free", {whole, hundredths});
//   CopyBounded(buffer, sizeof buffer, msg);   // into a caller's buffer
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "utilities/strings/StringFile.h"

// One argument of a checked format. It holds a view of text arguments, so
// it is meant only to be built in the call that formats it.
class FormatArg {
 public:
  enum class Kind { kInteger, kReal, kText };

  template <std::integral T>
  FormatArg(T v) : kind_(Kind::kInteger), integer_(static_cast<int64_t>(v)) {}
  FormatArg(double v) : kind_(Kind::kReal), real_(v) {}
  FormatArg(float v) : kind_(Kind::kReal), real_(v) {}
  FormatArg(const char* s) : kind_(Kind::kText), text_(s != nullptr ? s : "(null)") {}
  FormatArg(const std::string& s) : kind_(Kind::kText), text_(s) {}
  FormatArg(std::string_view s) : kind_(Kind::kText), text_(s) {}

  Kind GetKind() const { return kind_; }
  int64_t Integer() const { return integer_; }
  double Real() const { return real_; }
  std::string_view Text() const { return text_; }
  // The argument as the fallback shows it.
  std::string ToString() const;

 private:
  Kind kind_;
  int64_t integer_ = 0;
  double real_ = 0.0;
  std::string_view text_;
};

// Formats format with args when every conversion matches; false (out left
// alone) otherwise.
bool FormatChecked(std::string_view format, std::initializer_list<FormatArg> args,
                   std::string* out);

// format filled with args, or the key and the arguments when they don't match.
std::string FormatKeyed(const char* key, std::string_view format,
                        std::initializer_list<FormatArg> args);

// The key followed by the arguments, separated by spaces.
std::string FormatFallback(const char* key, std::initializer_list<FormatArg> args);

// Looks key up in the current strings file (escapes handled as by
// MyLoadString) and formats it with args.
template <class... Args>
std::string LoadFormatted(const char* key, const Args&... args) {
  return FormatKeyed(key, LoadKeyedString(key), {FormatArg(args)...});
}

// The same with the text looked up in the strings file at file.
template <class... Args>
std::string LoadFormattedFrom(const char* file, const char* key, const Args&... args) {
  return FormatKeyed(key, LoadKeyedString(key, file), {FormatArg(args)...});
}
