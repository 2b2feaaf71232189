#include "utilities/strings/KeyedFormat.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxWidth = 4096;

// Appends one conversion, printed by snprintf from a conversion directive that this
// file has rebuilt (so its shape is known) and one argument of the right type.
template <class T>
void AppendPrinted(std::string* out, const std::string& spec, T value) {
  char small[128];
  int n = std::snprintf(small, sizeof small, spec.c_str(), value);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out->append(small, static_cast<size_t>(n));
    return;
  }
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::snprintf(big.data(), big.size(), spec.c_str(), value);
  out->append(big.data(), static_cast<size_t>(n));
}

// Reads up to kMaxWidth as digits at format[*i]; false when larger.
bool ReadNumber(std::string_view format, size_t* i, int* value) {
  *value = 0;
  while (*i < format.size() && format[*i] >= '0' && format[*i] <= '9') {
    *value = *value * 10 + (format[*i] - '0');
    if (*value > kMaxWidth) return false;
    ++*i;
  }
  return true;
}

}  // namespace

std::string FormatArg::ToString() const {
  switch (kind_) {
    case Kind::kInteger:
      return std::to_string(integer_);
    case Kind::kReal: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%g", real_);
      return buf;
    }
    case Kind::kText:
      return std::string(text_);
  }
  return {};
}

bool FormatChecked(std::string_view format, std::initializer_list<FormatArg> args,
                   std::string* out) {
  std::string result;
  const FormatArg* next = args.begin();
  size_t i = 0;
  while (i < format.size()) {
    size_t pct = format.find('%', i);
    if (pct == std::string_view::npos) {
      result.append(format.substr(i));
      break;
    }
    result.append(format.substr(i, pct - i));
    i = pct + 1;
    if (i < format.size() && format[i] == '%') {
      result += '%';
      ++i;
      continue;
    }
    std::string flags;
    while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr && format[i] != '\0')
      flags += format[i++];
    int width = 0, precision = -1;
    if (!ReadNumber(format, &i, &width)) return false;
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (!ReadNumber(format, &i, &precision)) return false;
    }
    while (i < format.size() && std::strchr("hlLqjzt", format[i]) != nullptr && format[i] != '\0')
      ++i;
    if (i >= format.size() || next == args.end()) return false;
    char conv = format[i++];
    const FormatArg& arg = *next++;

    // Rebuild the directive, keeping only the flags that C defines for
    // the conversion.
    auto spec = [&](const char* allowed, bool withPrecision, const char* length) {
      std::string s = "%";
      for (char f : flags)
        if (std::strchr(allowed, f) != nullptr) s += f;
      if (width > 0) s += std::to_string(width);
      if (withPrecision && precision >= 0) s += "." + std::to_string(precision);
      return s + length + conv;
    };
    switch (conv) {
      case 'd':
      case 'i':
        if (arg.GetKind() != FormatArg::Kind::kInteger) return false;
        AppendPrinted(&result, spec("-+ 0", true, "ll"), static_cast<long long>(arg.Integer()));
        break;
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        if (arg.GetKind() != FormatArg::Kind::kInteger) return false;
        AppendPrinted(&result, spec("-#0", true, "ll"),
                      static_cast<unsigned long long>(arg.Integer()));
        break;
      case 'c':
        if (arg.GetKind() != FormatArg::Kind::kInteger) return false;
        AppendPrinted(&result, spec("-", false, ""),
                      static_cast<int>(static_cast<unsigned char>(arg.Integer())));
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A': {
        double v;
        if (arg.GetKind() == FormatArg::Kind::kReal)
          v = arg.Real();
        else if (arg.GetKind() == FormatArg::Kind::kInteger)
          v = static_cast<double>(arg.Integer());
        else
          return false;
        AppendPrinted(&result, spec("-+ #0", true, ""), v);
        break;
      }
      case 's': {
        if (arg.GetKind() != FormatArg::Kind::kText) return false;
        // Padding and cutting by hand: the view need not be terminated.
        std::string_view t = arg.Text();
        if (precision >= 0 && t.size() > static_cast<size_t>(precision)) {
          size_t cut = static_cast<size_t>(precision);
          while (cut > 0 && (static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80)
            --cut;  // never half a character
          t = t.substr(0, cut);
        }
        size_t pad = static_cast<size_t>(width) > t.size() ? width - t.size() : 0;
        bool left = flags.find('-') != std::string::npos;
        if (!left) result.append(pad, ' ');
        result.append(t);
        if (left) result.append(pad, ' ');
        break;
      }
      default:
        return false;
    }
  }
  if (next != args.end()) return false;
  if (out != nullptr) *out = std::move(result);
  return true;
}

std::string FormatFallback(const char* key, std::initializer_list<FormatArg> args) {
  std::string s = key != nullptr ? key : "";
  for (const FormatArg& a : args) {
    s += ' ';
    s += a.ToString();
  }
  return s;
}

std::string FormatKeyed(const char* key, std::string_view format,
                        std::initializer_list<FormatArg> args) {
  std::string out;
  if (FormatChecked(format, args, &out)) return out;
  return FormatFallback(key, args);
}
