#include "platform/registry/RegTree.h"

#include <cstdio>

namespace {

constexpr char kSeparator = '\\';

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

// Length of the valid UTF-8 sequence starting at s[i], or 0 when there is none.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned c = b(i);
  if (c < 0x80) return 1;
  size_t len;
  unsigned min;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  unsigned code = c & (0x3F >> (len - 1));
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return len;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AppendHexByte(std::string& out, unsigned char c) {
  static const char digits[] = "0123456789abcdef";
  out += digits[c >> 4];
  out += digits[c & 15];
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Writes bytes outside `special`, controls and invalid UTF-8 as they are, the
// rest through `escape`.
template <typename Escape>
void AppendEscaped(std::string& out, std::string_view s, std::string_view special, Escape escape) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = Utf8Length(s, i);
    if (len == 0 || IsControl(c) || (len == 1 && special.find(s[i]) != std::string_view::npos)) {
      escape(out, c);
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  AppendEscaped(out, s, "\\\"", [](std::string& o, unsigned char c) {
    switch (c) {
      case '\\':
        o += "\\\\";
        break;
      case '"':
        o += "\\\"";
        break;
      case '\n':
        o += "\\n";
        break;
      case '\r':
        o += "\\r";
        break;
      case '\t':
        o += "\\t";
        break;
      default:
        o += "\\x";
        AppendHexByte(o, c);
    }
  });
  out += '"';
  return out;
}

std::string PercentEncode(std::string_view path) {
  std::string out;
  AppendEscaped(out, path, "%[]", [](std::string& o, unsigned char c) {
    o += '%';
    AppendHexByte(o, c);
  });
  return out;
}

bool PercentDecode(std::string_view s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

// Reads a quoted string at s[pos]; pos ends behind the closing quote.
bool Unquote(std::string_view s, size_t& pos, std::string& out) {
  out.clear();
  if (pos >= s.size() || s[pos] != '"') return false;
  for (++pos; pos < s.size(); ++pos) {
    char c = s[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++pos >= s.size()) return false;
    switch (s[pos]) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (pos + 2 >= s.size()) return false;
        int hi = HexValue(s[pos + 1]), lo = HexValue(s[pos + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Parses the part of a value line after "name=".
bool ParseData(std::string_view s, TRegValueType& type, std::string& data) {
  size_t colon = s.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view kind = s.substr(0, colon), rest = s.substr(colon + 1);
  data.clear();
  if (kind == "dword") {
    if (rest.size() != 8) return false;
    uint32_t v = 0;
    for (char c : rest) {
      int h = HexValue(c);
      if (h < 0) return false;
      v = (v << 4) | static_cast<uint32_t>(h);
    }
    for (int k = 0; k < 4; ++k) data += static_cast<char>((v >> (8 * k)) & 0xFF);
    type = REG_DWORD;
    return true;
  }
  if (kind == "sz") {
    size_t pos = 0;
    if (!Unquote(rest, pos, data) || pos != rest.size()) return false;
    type = REG_SZ;
    return true;
  }
  if (kind == "hex") {
    for (size_t i = 0; i < rest.size(); i += 3) {
      if (i + 2 > rest.size()) return false;
      int hi = HexValue(rest[i]), lo = HexValue(rest[i + 1]);
      if (hi < 0 || lo < 0) return false;
      data += static_cast<char>(hi * 16 + lo);
      if (i + 2 < rest.size() && rest[i + 2] != ',') return false;
      if (i + 2 < rest.size() && i + 3 == rest.size()) return false;  // trailing comma
    }
    type = REG_BINARY;
    return true;
  }
  return false;
}

bool IsDescendant(const std::string& key, const std::string& folded) {
  if (folded.empty()) return !key.empty();
  return key.size() > folded.size() && key.compare(0, folded.size(), folded) == 0 &&
         key[folded.size()] == kSeparator;
}

}  // namespace

bool CRegTree::PathOrder::operator()(const std::string& a, const std::string& b) const {
  const auto rank = [](char c) {
    return c == kSeparator ? 0u : static_cast<unsigned>(static_cast<unsigned char>(c)) + 1;
  };
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned ra = rank(a[i]), rb = rank(b[i]);
    if (ra != rb) return ra < rb;
  }
  return a.size() < b.size();
}

CRegTree::CRegTree() { keys_[""] = Key{}; }

std::string CRegTree::Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldChar(c);
  return out;
}

bool CRegTree::FoldPath(std::string_view path, std::string& folded) {
  folded.clear();
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t end = path.find(kSeparator, start);
    if (end == std::string_view::npos) end = path.size();
    if (end == start) return false;  // empty component
    if (end == path.size()) break;
    start = end + 1;
  }
  folded = Fold(path);
  return true;
}

bool CRegTree::KeyExists(const std::string& folded) const { return keys_.count(folded) != 0; }

bool CRegTree::CreateKey(std::string_view path) {
  std::string folded;
  if (!FoldPath(path, folded)) return false;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(kSeparator, start);
    if (end == std::string_view::npos) end = path.size();
    std::string prefix = folded.substr(0, end);
    if (!keys_.count(prefix)) keys_[prefix] = Key{std::string(path.substr(start, end - start)), {}};
    start = end + 1;
  }
  return true;
}

bool CRegTree::DeleteKey(const std::string& folded) {
  if (folded.empty()) return false;
  auto it = keys_.find(folded);
  if (it == keys_.end()) return false;
  auto end = std::next(it);
  while (end != keys_.end() && IsDescendant(end->first, folded)) ++end;
  keys_.erase(it, end);
  return true;
}

bool CRegTree::DeleteChildren(const std::string& folded) {
  auto it = keys_.find(folded);
  if (it == keys_.end()) return false;
  auto first = std::next(it), end = first;
  while (end != keys_.end() && IsDescendant(end->first, folded)) ++end;
  if (first == end) return false;
  keys_.erase(first, end);
  return true;
}

std::vector<std::string> CRegTree::SubKeys(const std::string& folded) const {
  std::vector<std::string> names;
  auto it = keys_.find(folded);
  if (it == keys_.end()) return names;
  size_t skip = folded.empty() ? 0 : folded.size() + 1;
  for (++it; it != keys_.end() && IsDescendant(it->first, folded); ++it)
    if (it->first.find(kSeparator, skip) == std::string::npos) names.push_back(it->second.leaf);
  return names;
}

std::string CRegTree::DisplayPath(const std::string& folded) const {
  std::string out;
  size_t start = 0;
  while (start < folded.size()) {
    size_t end = folded.find(kSeparator, start);
    if (end == std::string::npos) end = folded.size();
    auto it = keys_.find(folded.substr(0, end));
    if (!out.empty()) out += kSeparator;
    out += it != keys_.end() ? it->second.leaf : folded.substr(start, end - start);
    start = end + 1;
  }
  return out;
}

const std::vector<TRegValue>* CRegTree::Values(const std::string& folded) const {
  auto it = keys_.find(folded);
  return it == keys_.end() ? nullptr : &it->second.values;
}

const TRegValue* CRegTree::FindValue(const std::string& folded, std::string_view name) const {
  const auto* values = Values(folded);
  if (values == nullptr) return nullptr;
  for (const auto& v : *values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

bool CRegTree::SetValue(const std::string& folded, std::string_view name, TRegValueType type,
                        std::string_view data) {
  auto it = keys_.find(folded);
  if (it == keys_.end()) return false;
  for (auto& v : it->second.values) {
    if (SameName(v.name, name)) {
      v.type = type;
      v.data = data;
      return true;
    }
  }
  it->second.values.push_back(TRegValue{std::string(name), type, std::string(data)});
  return true;
}

bool CRegTree::DeleteValue(const std::string& folded, std::string_view name) {
  auto it = keys_.find(folded);
  if (it == keys_.end()) return false;
  auto& values = it->second.values;
  for (auto v = values.begin(); v != values.end(); ++v) {
    if (SameName(v->name, name)) {
      values.erase(v);
      return true;
    }
  }
  return false;
}

std::string CRegTree::FormatValue(const TRegValue& v) {
  std::string out = Quote(v.name);
  switch (v.type) {
    case REG_DWORD: {
      uint32_t n = 0;
      for (size_t k = 0; k < 4 && k < v.data.size(); ++k)
        n |= static_cast<uint32_t>(static_cast<unsigned char>(v.data[k])) << (8 * k);
      char buf[16];
      std::snprintf(buf, sizeof buf, "%08x", n);
      out += "=dword:";
      out += buf;
      break;
    }
    case REG_SZ:
      out += "=sz:";
      out += Quote(v.data);
      break;
    default:
      out += "=hex:";
      for (size_t k = 0; k < v.data.size(); ++k) {
        if (k) out += ',';
        AppendHexByte(out, static_cast<unsigned char>(v.data[k]));
      }
  }
  return out;
}

std::string CRegTree::FormatKeyName(std::string_view name) { return PercentEncode(name); }

std::string CRegTree::Serialize(const char* rootName) const {
  std::string out = "# Quillon registry: ";
  out += rootName;
  out += "\n";
  for (const auto& [folded, key] : keys_) {
    if (folded.empty() && key.values.empty()) continue;
    out += "\n[";
    out += PercentEncode(DisplayPath(folded));
    out += "]\n";
    for (const auto& v : key.values) {
      out += FormatValue(v);
      out += '\n';
    }
  }
  return out;
}

bool CRegTree::Parse(std::string_view text, std::string& error) {
  keys_.clear();
  keys_[""] = Key{};
  const auto fail = [&](size_t line, const char* what) {
    keys_.clear();
    keys_[""] = Key{};
    error = "line " + std::to_string(line) + ": " + what;
    return false;
  };
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (!text.empty() && text.back() != '\n') {
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    return fail(lines, "the file ends without a line break (cut short?)");
  }
  std::map<std::string, bool, PathOrder> declared;
  std::string current;
  bool inSection = false;
  size_t lineNo = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      std::string path;
      if (line.back() != ']' || line.size() < 2 ||
          !PercentDecode(line.substr(1, line.size() - 2), path))
        return fail(lineNo, "malformed section header");
      if (!FoldPath(path, current)) return fail(lineNo, "key path with an empty name");
      if (declared.count(current)) return fail(lineNo, "key listed twice");
      declared[current] = true;
      CreateKey(path);
      inSection = true;
      continue;
    }
    if (line[0] != '"') return fail(lineNo, "neither a section nor a value");
    if (!inSection) return fail(lineNo, "value outside a key section");
    size_t p = 0;
    std::string name, data;
    TRegValueType type = REG_NONE;
    if (!Unquote(line, p, name)) return fail(lineNo, "malformed value name");
    if (p >= line.size() || line[p] != '=') return fail(lineNo, "'=' missing after value name");
    if (!ParseData(line.substr(p + 1), type, data)) return fail(lineNo, "malformed value data");
    if (FindValue(current, name)) return fail(lineNo, "value listed twice");
    SetValue(current, name, type, data);
  }
  error.clear();
  return true;
}

bool CRegTree::operator==(const CRegTree& other) const { return keys_ == other.keys_; }
