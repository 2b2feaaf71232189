// The console the converter talks through when there is no display.
#pragma once

#include <string>

namespace os {

bool StdinIsTerminal();
bool StderrIsTerminal();
// Columns of the terminal on standard error, asked anew each time (it may
// have been resized); 0 when standard error is not a terminal.
int StderrColumns();
// Writes text to standard error as one write.
void WriteError(const std::string& text);
// One line from standard input without its line end; false at end of input.
bool ReadInputLine(std::string* line);

}  // namespace os
