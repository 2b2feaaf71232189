// The filter list of the standard open and save dialogs: pairs of a
// description and its patterns, each text ended by a zero byte and the
// list by an empty text ("Sound\0*.wav;*.mp3\0All files\0*\0\0").
#pragma once

#include <string>
#include <vector>

struct TFileFilter {
  std::string description;
  std::vector<std::string> patterns;  // the ';'-separated patterns
};

// The pairs of a filter list in order; a description without its patterns
// at the end of the list is left out. Null gives none.
std::vector<TFileFilter> ParseFilterList(const char* list);

// The filter as a name filter of a file dialog: "Sound (*.wav *.mp3)";
// "*.*" becomes "*", every file as on the system the lists come from.
std::string NameFilterText(const TFileFilter& filter);
