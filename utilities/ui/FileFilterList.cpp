#include "utilities/ui/FileFilterList.h"

#include <cstring>

std::vector<TFileFilter> ParseFilterList(const char* list) {
  std::vector<TFileFilter> filters;
  if (list == nullptr) return filters;
  for (const char* p = list; *p != '\0';) {
    TFileFilter filter{p, {}};
    p += std::strlen(p) + 1;
    if (*p == '\0') break;
    std::string patterns = p;
    p += patterns.size() + 1;
    size_t start = 0;
    while (start <= patterns.size()) {
      size_t end = patterns.find(';', start);
      if (end == std::string::npos) end = patterns.size();
      if (end > start) filter.patterns.push_back(patterns.substr(start, end - start));
      start = end + 1;
    }
    filters.push_back(filter);
  }
  return filters;
}

std::string NameFilterText(const TFileFilter& filter) {
  std::string text = filter.description + " (";
  for (size_t i = 0; i < filter.patterns.size(); ++i) {
    if (i > 0) text += ' ';
    // "*.*" means every file, also one without a dot in its name.
    text += filter.patterns[i] == "*.*" ? "*" : filter.patterns[i];
  }
  return text + ")";
}
