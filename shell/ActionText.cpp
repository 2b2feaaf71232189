#include "shell/ActionText.h"

#include "utilities/strings/Utf8.h"

namespace shell {

std::string DesktopValue(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case ' ':
        out += i == 0 ? "\\s" : " ";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string DesktopList(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) {
    for (char c : DesktopValue(item)) {
      if (c == ';') out += '\\';
      out += c;
    }
    out += ';';
  }
  return out;
}

std::string ExecCommand(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& fieldCodes) {
  std::string out;
  for (const std::string& arg : arguments) {
    if (!out.empty()) out += ' ';
    out += '"';
    for (char c : arg) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
      if (c == '%') out += '%';
      out += c;
    }
    out += '"';
  }
  for (const std::string& code : fieldCodes) {
    if (!out.empty()) out += ' ';
    out += code;
  }
  return out;
}

std::string XmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool CanWriteIntoActionFiles(const std::string& path) {
  if (!IsValidUtf8(path)) return false;
  for (unsigned char c : path)
    if (c < 0x20 || c == 0x7f || c == '%') return false;
  return true;
}

}  // namespace shell
