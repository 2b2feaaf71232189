#include "platform/os/DesktopEntry.h"

#include <fstream>

#include "platform/os/FileStatus.h"
#include "platform/os/Spawn.h"
#include "platform/os/UserDirectories.h"

namespace os {

namespace {

constexpr int kQueryTimeoutMs = 3000;
constexpr size_t kQueryMaxBytes = 4096;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The arguments of an Exec value with the quoting undone; false when a
// quote is left open.
bool SplitArguments(const std::string& exec, std::vector<std::string>* args) {
  std::string arg;
  bool inArg = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    char c = exec[i];
    if (IsBlank(c)) {
      if (inArg) args->push_back(arg);
      arg.clear();
      inArg = false;
      continue;
    }
    inArg = true;
    if (c == '"') {
      for (++i;; ++i) {
        if (i >= exec.size()) return false;
        if (exec[i] == '"') break;
        if (exec[i] == '\\' && i + 1 < exec.size() &&
            std::string("\"`$\\").find(exec[i + 1]) != std::string::npos)
          ++i;
        arg += exec[i];
      }
    } else if (c == '\'') {
      size_t end = exec.find('\'', i + 1);
      if (end == std::string::npos) return false;
      arg += exec.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '\\' && i + 1 < exec.size()) {
      arg += exec[++i];
    } else {
      arg += c;
    }
  }
  if (inArg) args->push_back(arg);
  return true;
}

// One argument with its field codes expanded; false when it consisted of
// dropped field codes only and goes away.
bool ExpandField(const std::string& arg, const std::string& target, std::string* out,
                 bool* tookTarget) {
  out->clear();
  bool dropped = false;
  for (size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] != '%') {
      *out += arg[i];
      continue;
    }
    char code = i + 1 < arg.size() ? arg[++i] : '\0';
    if (code == '%') {
      *out += '%';
    } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
      *out += target;
      *tookTarget = true;
    } else {
      dropped = true;
    }
  }
  return !(dropped && out->empty());
}

std::string UnescapeString(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 >= value.size()) {
      out += value[i];
      continue;
    }
    switch (value[i + 1]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += value[i];
        continue;  // left for the quoting rules
    }
    ++i;
  }
  return out;
}

std::string FindBelow(const std::string& dir, const std::string& name) {
  std::string plain = dir + "/" + name;
  if (IsRegularFile(plain)) return plain;
  for (size_t dash = name.find('-'); dash != std::string::npos; dash = name.find('-', dash + 1)) {
    std::string folder = name.substr(0, dash);
    std::string sub = dir + "/" + folder;
    if (folder.empty() || folder == "." || folder == ".." || !IsDirectory(sub)) continue;
    std::string found = FindBelow(sub, name.substr(dash + 1));
    if (!found.empty()) return found;
  }
  return {};
}

}  // namespace

std::vector<std::string> ExpandExec(const std::string& exec, const std::string& target) {
  std::vector<std::string> split;
  if (!SplitArguments(exec, &split)) return {};
  std::vector<std::string> args;
  bool tookTarget = false;
  std::string expanded;
  for (const auto& arg : split)
    if (ExpandField(arg, target, &expanded, &tookTarget)) args.push_back(expanded);
  if (args.empty() || args[0].empty()) return {};
  if (!tookTarget) args.push_back(target);
  return args;
}

std::string ReadDesktopExec(const std::string& path) {
  std::ifstream in(path);
  std::string line, exec;
  bool inEntry = false, haveExec = false, hidden = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    size_t eq = line.find('=');
    if (!inEntry || eq == std::string::npos) continue;
    std::string key = Trim(line.substr(0, eq));
    std::string value = Trim(line.substr(eq + 1));
    if (key == "Exec" && !haveExec) {
      exec = UnescapeString(value);
      haveExec = true;
    } else if (key == "Hidden") {
      hidden = value == "true";
    }
  }
  return hidden ? std::string() : exec;
}

std::string FindDesktopFile(const std::string& id) {
  if (id.empty() || id == "." || id == ".." || id.find('/') != std::string::npos) return {};
  std::vector<std::string> roots;
  std::string home = DataHome();
  if (!home.empty()) roots.push_back(home);
  for (const auto& dir : DataDirectories()) roots.push_back(dir);
  for (const auto& root : roots) {
    std::string found = FindBelow(root + "/applications", id);
    if (!found.empty()) return found;
  }
  return {};
}

std::vector<std::string> DefaultHtmlHandler(const std::string& target) {
  std::string out;
  SpawnResult r = RunForOutput({"xdg-mime", "query", "default", "text/html"}, kQueryTimeoutMs,
                               kQueryMaxBytes, &out);
  if (r.state != SpawnState::Exited || r.exitCode != 0) return {};
  // The first id of the answer (a list may be separated by ';').
  std::string id = Trim(out.substr(0, out.find_first_of(";\n")));
  std::string file = FindDesktopFile(id);
  if (file.empty()) return {};
  std::string exec = ReadDesktopExec(file);
  return exec.empty() ? std::vector<std::string>() : ExpandExec(exec, TargetArgument(target));
}

}  // namespace os
