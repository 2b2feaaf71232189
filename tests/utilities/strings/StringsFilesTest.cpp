// Checks the two delivered strings files against the list of keys the program
// looks up (keys.txt beside this file): every key is present with a text, each
// text fits the caller's buffer, and its conversions are exactly the arguments
// the caller passes, so the checked formatter never falls back to showing the
// bare key. The files are read once by a small reader here and once through
// the program's own lookup and formatter, which must agree.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {

const char* const kConverterFile = "sonoduct-strings.ini";
const char* const kEngineFile = "tonalis-strings.ini";

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

struct Text {
  std::string key;    // as spelled in the file
  std::string value;  // trimmed, one pair of surrounding quotes removed
  int line = 0;
};

// One strings file as the profile functions see its section "Strings":
// names compared without case, ';' comment lines, CRLF and a UTF-8 BOM
// accepted, values trimmed and unquoted.
struct StringsFile {
  std::string name;
  bool read = false;
  bool hasSection = false;
  std::map<std::string, Text> texts;  // by lower-case key; the first definition wins
  std::vector<std::string> duplicates;
  std::vector<std::string> malformed;
};

StringsFile ReadStringsFile(const std::string& name, const std::string& path) {
  StringsFile f;
  f.name = name;
  std::string data = testsupport::ReadFile(path);
  f.read = !data.empty();
  if (data.rfind("\xEF\xBB\xBF", 0) == 0) data.erase(0, 3);
  std::istringstream in(data);
  std::string raw;
  bool inStrings = false;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    std::string s = Trim(raw);
    if (s.empty() || s[0] == ';') continue;
    if (s[0] == '[') {
      size_t close = s.find(']');
      inStrings = close != std::string::npos && Lower(Trim(s.substr(1, close - 1))) == "strings";
      f.hasSection = f.hasSection || inStrings;
      continue;
    }
    if (!inStrings) continue;
    size_t eq = s.find('=');
    if (eq == std::string::npos || Trim(s.substr(0, eq)).empty()) {
      f.malformed.push_back(name + ":" + std::to_string(line) + ": " + s);
      continue;
    }
    Text t;
    t.key = Trim(s.substr(0, eq));
    t.value = Trim(s.substr(eq + 1));
    if (t.value.size() >= 2 && t.value.front() == '"' && t.value.back() == '"')
      t.value = t.value.substr(1, t.value.size() - 2);
    t.line = line;
    if (!f.texts.emplace(Lower(t.key), t).second)
      f.duplicates.push_back(name + ":" + std::to_string(line) + ": " + t.key);
  }
  return f;
}

struct Expected {
  std::string file;
  std::string key;
  std::string signature;  // "" for no arguments, "T" for a time format
  size_t buffer = 0;      // caller's buffer in bytes, 0 when not fixed
  int line = 0;
};

// keys.txt: "FILE KEY SIGNATURE [BUFFER]" per line, '#' comments.
std::vector<Expected> ReadManifest(std::vector<std::string>& errors) {
  std::vector<Expected> list;
  std::istringstream in(
      testsupport::ReadFile(testsupport::SourceDir() + "/tests/utilities/strings/keys.txt"));
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    std::string s = Trim(raw);
    if (s.empty() || s[0] == '#') continue;
    std::istringstream fields(s);
    Expected e;
    std::string buffer, extra;
    fields >> e.file >> e.key >> e.signature >> buffer >> extra;
    e.line = line;
    bool ok = (e.file == kConverterFile || e.file == kEngineFile) && !e.signature.empty() &&
              extra.empty();
    if (e.signature == "-") e.signature.clear();
    if (e.signature != "T") ok = ok && e.signature.find_first_not_of("sd") == std::string::npos;
    if (!buffer.empty()) {
      ok = ok && buffer.find_first_not_of("0123456789") == std::string::npos;
      if (ok) e.buffer = std::stoul(buffer);
    }
    if (!ok)
      errors.push_back("keys.txt:" + std::to_string(line) + ": " + s);
    else
      list.push_back(e);
  }
  return list;
}

// The argument kinds a printf-style text consumes, one letter per conversion
// (s text, d integer); false with a reason for anything that a text should not
// hold: other or length-modified conversions, '*' widths that take arguments
// of their own, %n, and a '%' at the very end.
bool PrintfSignature(const std::string& text, std::string& signature, std::string& reason) {
  signature.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    size_t start = i++;
    if (i < text.size() && text[i] == '%') continue;
    while (i < text.size() && std::strchr("-+ #0", text[i])) ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '.') {
      ++i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    }
    if (i >= text.size()) {
      reason = "unfinished conversion at the end";
      return false;
    }
    char c = text[i];
    if (c == 's') {
      signature += 's';
    } else if (c == 'd' || c == 'i' || c == 'u') {
      signature += 'd';
    } else {
      reason = "conversion \"" + text.substr(start, i - start + 1) + "\" is not %s or %d";
      return false;
    }
  }
  return true;
}

// A time format for strftime: only the conversions C and POSIX define.
bool StrftimeFormatOk(const std::string& text, std::string& reason) {
  const char* known = "aAbBcCdDeFgGhHIjmMnprRStTuUVwWxXyYzZ%";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    ++i;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'O')) ++i;
    if (i >= text.size() || !std::strchr(known, text[i])) {
      reason = "bad time conversion at offset " + std::to_string(i);
      return false;
    }
  }
  return true;
}

// A text as the program shows it: both line-break escapes become line feeds.
std::string WithLineFeeds(std::string s) {
  for (const std::string esc : {"\\r\\n", "\\n"})
    for (size_t at = s.find(esc); at != std::string::npos; at = s.find(esc))
      s.replace(at, esc.size(), "\n");
  return s;
}

class StringsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string dir = testsupport::SourceDir();
    files_[kConverterFile] =
        ReadStringsFile(kConverterFile, dir + "/converter/" + std::string(kConverterFile));
    files_[kEngineFile] = ReadStringsFile(kEngineFile, dir + "/engine/" + std::string(kEngineFile));
    manifest_ = ReadManifest(manifestErrors_);
  }

  const Text* Find(const Expected& e) {
    auto& texts = files_[e.file].texts;
    auto it = texts.find(Lower(e.key));
    return it == texts.end() ? nullptr : &it->second;
  }

  static std::string Where(const Expected& e) { return e.file + " " + e.key; }

  std::map<std::string, StringsFile> files_;
  std::vector<Expected> manifest_;
  std::vector<std::string> manifestErrors_;
};

TEST_F(StringsFilesTest, FilesAndKeyListAreWellFormed) {
  for (auto& [name, f] : files_) {
    EXPECT_TRUE(f.read) << name << " could not be read";
    EXPECT_TRUE(f.hasSection) << name << " has no [Strings] section";
    for (const auto& m : f.malformed) ADD_FAILURE() << "not a key=text line: " << m;
  }
  EXPECT_GT(manifest_.size(), 300u);
  for (const auto& e : manifestErrors_) ADD_FAILURE() << "malformed line " << e;
  std::set<std::string> seen;
  for (const auto& e : manifest_)
    EXPECT_TRUE(seen.insert(e.file + " " + Lower(e.key)).second)
        << "keys.txt:" << e.line << " lists " << Where(e) << " twice";
}

TEST_F(StringsFilesTest, NoKeyIsDefinedTwiceInOneFile) {
  for (auto& [name, f] : files_)
    for (const auto& d : f.duplicates) ADD_FAILURE() << "defined again: " << d;
}

TEST_F(StringsFilesTest, EveryListedKeyHasATextThatFitsItsBuffer) {
  for (const auto& e : manifest_) {
    const Text* t = Find(e);
    if (t == nullptr) {
      ADD_FAILURE() << Where(e) << " is missing";
      continue;
    }
    EXPECT_FALSE(t->value.empty()) << Where(e) << " has an empty text";
    if (e.buffer > 0) {
      EXPECT_LT(t->value.size(), e.buffer)
          << Where(e) << " is cut short by its " << e.buffer << "-byte buffer";
    }
  }
}

TEST_F(StringsFilesTest, ConversionsMatchTheArgumentsPassed) {
  for (const auto& e : manifest_) {
    const Text* t = Find(e);
    if (t == nullptr) continue;  // reported above
    std::string reason;
    if (e.signature == "T") {
      EXPECT_TRUE(StrftimeFormatOk(t->value, reason)) << Where(e) << ": " << reason;
      continue;
    }
    std::string got;
    if (!PrintfSignature(t->value, got, reason)) {
      ADD_FAILURE() << Where(e) << ": " << reason << " in \"" << t->value << "\"";
      continue;
    }
    EXPECT_EQ(got, e.signature) << Where(e) << ": \"" << t->value << "\"";
  }
}

// A key in a file that no caller looks up is usually a misspelt one, whose
// intended key then shows up bare.
TEST_F(StringsFilesTest, EveryKeyInTheFilesIsOneTheProgramLooksUp) {
  std::set<std::string> listed;
  for (const auto& e : manifest_) listed.insert(e.file + " " + Lower(e.key));
  for (auto& [name, f] : files_)
    for (const auto& [lower, t] : f.texts)
      EXPECT_TRUE(listed.count(name + " " + lower))
          << name << ":" << t.line << ": " << t.key << " is not a key the program uses";
}

// Texts are single lines; only the line-break and tab escapes are expanded,
// so any other backslash would show up literally.
TEST_F(StringsFilesTest, BackslashesOnlyStartLineBreakOrTabEscapes) {
  for (auto& [name, f] : files_)
    for (const auto& [lower, t] : f.texts)
      for (size_t i = 0; i < t.value.size(); ++i)
        if (t.value[i] == '\\') {
          bool ok = i + 1 < t.value.size() && std::strchr("nrt", t.value[i + 1]);
          EXPECT_TRUE(ok) << name << ":" << t.line << ": stray backslash in " << t.key;
          ++i;
        }
}

// Genre numbers are found again from their display names, case-insensitively
// and lowest number first, and writers leave out a genre whose name equals the
// not-supported text: two equal names would lose the higher genre number.
TEST_F(StringsFilesTest, GenreNamesAreDistinct) {
  const auto& texts = files_[kEngineFile].texts;
  auto unknown = texts.find(Lower("ID3_not_supported"));
  ASSERT_NE(unknown, texts.end());
  std::map<std::string, std::string> byName;
  int genres = 0;
  for (const auto& e : manifest_) {
    if (e.file != kEngineFile || e.key.rfind("ID3_", 0) != 0 || e.key == "ID3_not_supported")
      continue;
    ++genres;
    const Text* t = Find(e);
    if (t == nullptr) continue;
    std::string name = Lower(t->value);
    EXPECT_NE(name, Lower(unknown->second.value)) << e.key << " reads as the not-supported text";
    auto [it, fresh] = byName.emplace(name, e.key);
    EXPECT_TRUE(fresh) << e.key << " has the same name as " << it->second;
  }
  EXPECT_EQ(genres, 148);
}

// The same texts through the program's own lookup and checked formatter:
// each loads whole into its caller's buffer, and each format is filled with
// arguments of the listed kinds instead of falling back to the bare key.
TEST_F(StringsFilesTest, ProgramLookupAndFormatterAcceptEveryText) {
  const std::string dir = testsupport::SourceDir();
  for (const auto& e : manifest_) {
    const std::string path = dir + (e.file == kConverterFile ? "/converter/" : "/engine/") + e.file;
    const Text* t = Find(e);
    if (t == nullptr) continue;  // reported above
    std::string text = LoadKeyedString(e.key.c_str(), path.c_str());
    EXPECT_EQ(text, WithLineFeeds(t->value)) << Where(e) << " reads differently in the program";
    if (e.buffer > 0) {
      std::vector<char> buf(e.buffer);
      MyLoadString(e.key.c_str(), buf.data(), static_cast<int>(buf.size()), path.c_str());
      EXPECT_EQ(std::string(buf.data()), text) << Where(e) << " does not fit its buffer";
    }
    if (e.signature == "T") continue;
    std::string out;
    bool ok = false;
    const std::string& g = e.signature;
    auto a = [&](size_t i) { return g[i] == 's' ? FormatArg("name") : FormatArg(7); };
    switch (g.size()) {
      case 0:
        ok = FormatChecked(text, {}, &out);
        break;
      case 1:
        ok = FormatChecked(text, {a(0)}, &out);
        break;
      case 2:
        ok = FormatChecked(text, {a(0), a(1)}, &out);
        break;
      case 3:
        ok = FormatChecked(text, {a(0), a(1), a(2)}, &out);
        break;
      case 4:
        ok = FormatChecked(text, {a(0), a(1), a(2), a(3)}, &out);
        break;
      case 5:
        ok = FormatChecked(text, {a(0), a(1), a(2), a(3), a(4)}, &out);
        break;
      case 6:
        ok = FormatChecked(text, {a(0), a(1), a(2), a(3), a(4), a(5)}, &out);
        break;
      case 8:
        ok = FormatChecked(text, {a(0), a(1), a(2), a(3), a(4), a(5), a(6), a(7)}, &out);
        break;
      default:
        ADD_FAILURE() << Where(e) << ": no test arguments for " << g.size();
        continue;
    }
    EXPECT_TRUE(ok) << Where(e) << ": the formatter refuses \"" << text << "\" for " << g;
  }
}

TEST(StringsSignatureCheck, ReadsConversionsAsTheFormatterDoes) {
  std::string sig, reason;
  EXPECT_TRUE(PrintfSignature("%d%% of %s, %02d.%-3d", sig, reason));
  EXPECT_EQ(sig, "dsdd");
  EXPECT_TRUE(PrintfSignature("no conversions", sig, reason));
  EXPECT_EQ(sig, "");
  for (const char* bad : {"%ld", "%*d", "%n", "50%", "%f", "%x"})
    EXPECT_FALSE(PrintfSignature(bad, sig, reason)) << bad;
  EXPECT_TRUE(StrftimeFormatOk("%d %b %Y, %H:%M", reason));
  EXPECT_FALSE(StrftimeFormatOk("%Q", reason));
  EXPECT_FALSE(StrftimeFormatOk("at 5%", reason));
}

}  // namespace
