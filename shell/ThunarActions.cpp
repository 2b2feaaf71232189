#include "shell/ThunarActions.h"

namespace shell {

namespace {

constexpr const char* kNewDocument = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n";
constexpr const char* kRootEnd = "</actions>";

struct TElement {
  size_t begin = 0;
  size_t end = 0;  // behind the element
};

struct TDocument {
  std::vector<TElement> actions;         // every <action> element
  size_t rootEnd = std::string::npos;    // where the last "</actions>" begins
  size_t emptyRoot = std::string::npos;  // where "<actions/>" begins
  bool hasRoot = false;
};

bool At(const std::string& t, size_t i, const char* s) {
  return t.compare(i, std::char_traits<char>::length(s), s) == 0;
}

// Whether the tag name at i (behind '<' or "</") is exactly name.
bool IsName(const std::string& t, size_t i, const char* name) {
  size_t n = std::char_traits<char>::length(name);
  if (t.compare(i, n, name) != 0) return false;
  if (i + n >= t.size()) return false;
  char c = t[i + n];
  return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Skips a comment, CDATA section or processing instruction at i: the
// position behind it, i itself when none starts there, npos when it is open.
size_t SkipMarkup(const std::string& t, size_t i) {
  struct {
    const char* open;
    const char* close;
  } const kinds[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
  for (const auto& k : kinds) {
    if (!At(t, i, k.open)) continue;
    size_t e = t.find(k.close, i + std::char_traits<char>::length(k.open));
    return e == std::string::npos ? e : e + std::char_traits<char>::length(k.close);
  }
  return i;
}

// The end of the <action> element that begins at i; npos when it is open.
size_t ActionEnd(const std::string& t, size_t i) {
  size_t close = t.find('>', i);
  if (close == std::string::npos) return close;
  if (t[close - 1] == '/') return close + 1;  // <action/>
  for (size_t j = close + 1; j < t.size();) {
    size_t skipped = SkipMarkup(t, j);
    if (skipped == std::string::npos) return skipped;
    if (skipped != j) {
      j = skipped;
      continue;
    }
    if (At(t, j, "</") && IsName(t, j + 2, "action")) {
      size_t e = t.find('>', j);
      return e == std::string::npos ? e : e + 1;
    }
    ++j;
  }
  return std::string::npos;
}

bool Scan(const std::string& t, TDocument* doc) {
  for (size_t i = 0; i < t.size();) {
    size_t skipped = SkipMarkup(t, i);
    if (skipped == std::string::npos) return false;
    if (skipped != i) {
      i = skipped;
      continue;
    }
    if (t[i] == '<' && IsName(t, i + 1, "actions")) {
      size_t close = t.find('>', i);
      if (close == std::string::npos) return false;
      doc->hasRoot = true;
      if (t[close - 1] == '/') doc->emptyRoot = i;
      i = close + 1;
      continue;
    }
    if (t[i] == '<' && IsName(t, i + 1, "action")) {
      size_t end = ActionEnd(t, i);
      if (end == std::string::npos) return false;
      doc->actions.push_back({i, end});
      i = end;
      continue;
    }
    if (At(t, i, "</") && IsName(t, i + 2, "actions")) doc->rootEnd = i;
    ++i;
  }
  return doc->hasRoot && (doc->rootEnd != std::string::npos || doc->emptyRoot != std::string::npos);
}

bool IsOurs(const std::string& t, const TElement& e, const std::string& prefix) {
  const std::string open = "<unique-id>";
  size_t id = t.find(open, e.begin);
  if (id == std::string::npos || id >= e.end) return false;
  id += open.size();
  while (id < e.end && (t[id] == ' ' || t[id] == '\t' || t[id] == '\n' || t[id] == '\r')) ++id;
  return t.compare(id, prefix.size(), prefix) == 0 && id + prefix.size() <= e.end;
}

bool IsBlank(const std::string& t) { return t.find_first_not_of(" \t\r\n") == std::string::npos; }

}  // namespace

bool RemoveThunarActions(const std::string& text, const std::string& idPrefix, std::string* out) {
  TDocument doc;
  if (!Scan(text, &doc)) return false;
  std::string result;
  size_t from = 0;
  for (const TElement& e : doc.actions) {
    if (!IsOurs(text, e, idPrefix)) continue;
    // The element goes with the line break that follows it.
    size_t end = e.end;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    if (end < text.size() && text[end] == '\r') ++end;
    if (end < text.size() && text[end] == '\n') ++end;
    result.append(text, from, e.begin - from);
    from = end;
  }
  result.append(text, from, std::string::npos);
  *out = result;
  return true;
}

bool MergeThunarActions(const std::string& text, const std::string& idPrefix,
                        const std::vector<std::string>& ours, std::string* out) {
  std::string ourText;
  for (const std::string& element : ours) ourText += element + "\n";
  if (IsBlank(text)) {
    *out = kNewDocument + ourText + kRootEnd + "\n";
    return true;
  }
  std::string kept;
  if (!RemoveThunarActions(text, idPrefix, &kept)) return false;
  TDocument doc;
  if (!Scan(kept, &doc)) return false;
  if (doc.rootEnd == std::string::npos) {
    // "<actions/>": opened into a root that holds ours.
    size_t close = kept.find('>', doc.emptyRoot);
    *out =
        kept.substr(0, doc.emptyRoot) + "<actions>\n" + ourText + kRootEnd + kept.substr(close + 1);
    return true;
  }
  size_t at = doc.rootEnd;
  std::string before = kept.substr(0, at);
  if (!before.empty() && before.back() != '\n') before += '\n';
  *out = before + ourText + kept.substr(at);
  return true;
}

int CountThunarActions(const std::string& text, const std::string& idPrefix) {
  TDocument doc;
  if (!Scan(text, &doc)) return -1;
  int n = 0;
  for (const TElement& e : doc.actions)
    if (IsOurs(text, e, idPrefix)) ++n;
  return n;
}

}  // namespace shell
