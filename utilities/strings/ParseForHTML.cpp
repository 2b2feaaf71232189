#include "utilities/strings/ParseForHTML.h"

#include <cstring>

#include "utilities/strings/BoundedCopy.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Lower(const std::string& s) {
  std::string l = s;
  for (char& c : l)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return l;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string Anchor(const std::string& href, const std::string& shown) {
  return "<a href=\"" + href + "\">" + shown + "</a>";
}

std::string LinkWord(const std::string& word) {
  std::string l = Lower(word);
  if (StartsWith(l, "href")) return word;
  size_t at = l.find('@');
  if (at != std::string::npos && l.find('.', at) != std::string::npos) {
    if (StartsWith(l, "mailto:")) return Anchor(word, word.substr(7));
    return Anchor("mailto:" + word, word);
  }
  if (StartsWith(l, "http://") || StartsWith(l, "https://")) return Anchor(word, word);
  if (StartsWith(l, "www") || l.find(".com") != std::string::npos ||
      l.find(".edu") != std::string::npos || l.find(".org") != std::string::npos)
    return Anchor("http://" + word, word);
  return word;
}

}  // namespace

std::string ParseForHTML(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '<') {
      size_t close = text.find('>', i);
      size_t end = close == std::string::npos ? text.size() : close + 1;
      out.append(text, i, end - i);
      i = end;
    } else if (IsSpace(c) || c == '>') {
      out += c;
      ++i;
    } else {
      size_t end = i;
      while (end < text.size() && !IsSpace(text[end]) && text[end] != '<' && text[end] != '>')
        ++end;
      out += LinkWord(text.substr(i, end - i));
      i = end;
    }
  }
  return out;
}

void ParseForHTML(const char* text, long length, char* out, long outSize) {
  if (out == nullptr || outSize <= 0) return;
  if (text == nullptr || length <= 0) {
    out[0] = '\0';
    return;
  }
  std::string in(text, static_cast<size_t>(BoundedLength(text, length)));
  CopyBounded(out, outSize, ParseForHTML(in));
}
