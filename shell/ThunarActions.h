// Editing Thunar's custom actions file (uca.xml) without touching anyone
// else's actions: our <action> elements are those whose unique-id begins
// with our prefix; everything else in the file, other actions, comments and
// layout included, is kept byte for byte.
#pragma once

#include <string>
#include <vector>

namespace shell {

// text with our action elements taken out. False when text is not an
// actions document that can be edited safely (no <actions> root, or an
// element, comment or CDATA section left open); out is left alone then.
bool RemoveThunarActions(const std::string& text, const std::string& idPrefix, std::string* out);

// text with our old elements taken out and `ours` put in at the end of the
// root. An empty (or blank) text becomes a new document holding only ours.
bool MergeThunarActions(const std::string& text, const std::string& idPrefix,
                        const std::vector<std::string>& ours, std::string* out);

// The number of our action elements in text; -1 when it can't be read.
int CountThunarActions(const std::string& text, const std::string& idPrefix);

}  // namespace shell
