// Writing values into the text formats of the file managers' action files:
// desktop-entry key files and Thunar's XML.
#pragma once

#include <string>
#include <vector>

namespace shell {

// A string value of a desktop-entry key file: backslash, line feed, tab and
// carriage return escaped, and a leading blank as "\s".
std::string DesktopValue(const std::string& text);

// A list value of a desktop-entry key file: each item as DesktopValue with
// ';' escaped, each followed by ';'.
std::string DesktopList(const std::vector<std::string>& items);

// A command line in the quoting the desktop-entry Exec key defines (which is
// also what GLib's shell-style parser reads): each argument in double quotes
// with '"', '`', '$' and '\' escaped by a backslash and '%' doubled, and each
// field code ("%F") as it is. Not yet escaped as a key-file value.
std::string ExecCommand(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& fieldCodes);

// Text for XML content and attribute values: & < > " ' as entities.
std::string XmlText(const std::string& text);

// Whether a path can be written into these formats unchanged: valid UTF-8
// without control characters or '%' (which Nemo and Thunar would take for
// the start of a field code, as they know no "%%").
bool CanWriteIntoActionFiles(const std::string& path);

}  // namespace shell
