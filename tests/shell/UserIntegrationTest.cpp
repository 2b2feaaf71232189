// Installing and removing the per-user integration in a home of the test's
// own: our files are valid for the tools that read them, their commands
// name the program exactly, and nobody else's files or actions are touched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <regex>

#include "platform/os/DesktopEntry.h"
#include "shell/ActionFiles.h"
#include "shell/ThunarActions.h"
#include "shell/UserIntegration.h"
#include "tests/shell/ShellTestSupport.h"

namespace {

using shelltest::Available;
using testsupport::ReadFile;
using testsupport::WriteFile;

const char kOthersThunar[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<actions>\n"
    "<!-- <action><unique-id>sonoduct-in-a-comment</unique-id></action> -->\n"
    "<action>\n"
    "\t<icon>utilities-terminal</icon>\n"
    "\t<name>Open Terminal Here</name>\n"
    "\t<unique-id>1586526416384210-1</unique-id>\n"
    "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
    "\t<description>Example for a custom action &amp; more</description>\n"
    "\t<patterns>*</patterns>\n"
    "\t<startup-notify/>\n"
    "\t<directories/>\n"
    "</action>\n"
    "<action>\n"
    "\t<name>Sonoduct-like but not ours</name>\n"
    "\t<unique-id>x-sonoduct-1</unique-id>\n"
    "\t<command>true %F</command>\n"
    "\t<patterns>*.mp3</patterns>\n"
    "\t<audio-files/>\n"
    "</action>\n"
    "</actions>\n";

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// desktop-file-validate's errors that are not what a format accepts by its
// own rules: Caja's actions and menus and Dolphin's service menus extend the
// desktop entry format, and Nemo's actions are key files of their own.
std::string ValidatorErrors(const std::string& path) {
  auto r = testsupport::Run("desktop-file-validate " + shelltest::ShellQuote(path) + " 2>&1");
  static const std::regex accepted(
      "is not a registered type value|"
      "key \"(Tooltip|Profiles|ItemsList)\" in group \"Desktop Entry\", but keys extending|"
      "key \"(MimeType|Actions)\" is present in group \"Desktop Entry\", but the type is "
      "\"Service\"|"
      "first group is not \"Desktop Entry\"|group \"Nemo Action\", but groups extending|"
      "filename does not have a .desktop extension");
  std::string unexpected;
  size_t from = 0;
  while (from < r.out.size()) {
    size_t end = r.out.find('\n', from);
    if (end == std::string::npos) end = r.out.size();
    std::string line = r.out.substr(from, end - from);
    if (line.find("error:") != std::string::npos && !std::regex_search(line, accepted))
      unexpected += line + "\n";
    from = end + 1;
  }
  return unexpected;
}

// The value of key in the group that `group` begins (as written, escapes kept).
std::string KeyIn(const std::string& text, const std::string& group, const std::string& key) {
  size_t g = text.find("[" + group + "]\n");
  if (g == std::string::npos) return {};
  size_t k = text.find("\n" + key + "=", g);
  size_t next = text.find("\n[", g + 1);
  if (k == std::string::npos || (next != std::string::npos && k > next)) return {};
  size_t begin = k + key.size() + 2;
  return text.substr(begin, text.find('\n', begin) - begin);
}

// A key-file value with its escapes undone.
std::string Unescape(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    char c = value[++i];
    out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

class UserIntegration : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"desktop-file-validate", "xmllint"}), "");
    // A program folder whose name needs quoting everywhere.
    const std::string bin = homes_.Root() + "/My \"Apps\" $HOME `x` \\ 'q'/bin";
    program_ = bin + "/sonoduct";
    invoke_ = bin + "/sonoshell-invoke";
    // The texts come from the strings file beside the program.
    ASSERT_EQ(testsupport::Run("mkdir -p " + shelltest::ShellQuote(bin) + " && cp " +
                               shelltest::ShellQuote(shelltest::StringsFile()) + " " +
                               shelltest::ShellQuote(bin))
                  .exitCode,
              0);
    homes_.SetAvailability(Available(true, true, false));
  }

  std::string Data(const std::string& rel) const { return homes_.Data() + "/" + rel; }
  std::string Thunar() const { return homes_.Config() + "/Thunar/uca.xml"; }

  shelltest::TempHomes homes_;
  std::string program_, invoke_;
};

TEST_F(UserIntegration, InstallWritesValidFilesWhoseCommandsNameTheProgram) {
  std::vector<std::string> written;
  ASSERT_TRUE(InstallUserIntegration(program_, &written));
  EXPECT_TRUE(UserIntegrationInstalled(program_));
  EXPECT_FALSE(UserIntegrationInstalled(homes_.Root() + "/elsewhere/sonoduct"));

  const std::vector<std::string> expected = {
      "applications/sonoduct.desktop",
      "kio/servicemenus/sonoduct-convert.desktop",
      "kio/servicemenus/sonoduct-convert-wav.desktop",
      "kio/servicemenus/sonoduct-convert-to.desktop",
      "nemo/actions/sonoduct-convert.nemo_action",
      "nemo/actions/sonoduct-wav.nemo_action",
      "nemo/actions/sonoduct-mp3.nemo_action",
      "nemo/actions/sonoduct-options.nemo_action",
      "file-manager/actions/sonoduct-convert.desktop",
      "file-manager/actions/sonoduct-menu.desktop",
      "file-manager/actions/sonoduct-options.desktop",
  };
  for (const std::string& rel : expected) {
    EXPECT_TRUE(Contains(written, Data(rel))) << rel;
    EXPECT_TRUE(IsFile(Data(rel))) << rel;
  }
  EXPECT_TRUE(Contains(written, Thunar()));
  // WMA can't be written: no entry for it.
  EXPECT_FALSE(IsFile(Data("nemo/actions/sonoduct-wma.nemo_action")));
  EXPECT_EQ(KeyIn(ReadFile(Data("kio/servicemenus/sonoduct-convert-to.desktop")), "Desktop Entry",
                  "Actions"),
            "wav;mp3;options;");

  for (const std::string& path : written) {
    if (path == Thunar()) continue;
    EXPECT_EQ(ValidatorErrors(path), "") << path;
  }
  auto lint = testsupport::Run("xmllint --noout " + shelltest::ShellQuote(Thunar()) + " 2>&1");
  EXPECT_EQ(lint.exitCode, 0) << lint.out;

  // "Open With": the program and our sources' types; mimeapps.list untouched.
  const std::string app = Data("applications/sonoduct.desktop");
  EXPECT_EQ(os::ExpandExec(os::ReadDesktopExec(app), "/m/a b.mp3"),
            (std::vector<std::string>{program_, "/m/a b.mp3"}));
  for (const char* type :
       {"audio/mpeg;", "audio/x-wav;", "audio/x-ms-wma;", "audio/x-mpegurl;", "audio/x-scpls;"})
    EXPECT_NE(ReadFile(app).find(type), std::string::npos) << type;
  EXPECT_FALSE(IsFile(homes_.Config() + "/mimeapps.list"));
  EXPECT_FALSE(IsFile(Data("applications/mimeapps.list")));

  // Dolphin's service menus must be executable to be used.
  struct stat st;
  ASSERT_EQ(stat(Data("kio/servicemenus/sonoduct-convert.desktop").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(UserIntegration, EachFileManagerGetsTheHelperWithTheEntryAndTheSelection) {
  ASSERT_TRUE(InstallUserIntegration(program_, nullptr));
  // Dolphin: the Exec of the action, expanded as the desktop entry rules say.
  std::string kde = ReadFile(Data("kio/servicemenus/sonoduct-convert-to.desktop"));
  EXPECT_EQ(os::ExpandExec(Unescape(KeyIn(kde, "Desktop Action mp3", "Exec")), "/m/a.wav"),
            (std::vector<std::string>{invoke_, "3", "--", "/m/a.wav"}));
  EXPECT_EQ(Unescape(KeyIn(kde, "Desktop Entry", "X-KDE-Submenu")), "Convert files to");
  std::string wav = ReadFile(Data("kio/servicemenus/sonoduct-convert-wav.desktop"));
  EXPECT_EQ(KeyIn(wav, "Desktop Action convert-wav", "Name"), "Convert files to MP3");
  EXPECT_EQ(KeyIn(wav, "Desktop Entry", "MimeType"), "audio/x-wav;");

  // Nemo and Caja put the URIs in double quotes into a line they split as a shell does.
  std::string nemo = ReadFile(Data("nemo/actions/sonoduct-wav.nemo_action"));
  EXPECT_EQ(KeyIn(nemo, "Nemo Action", "Name"), "Convert files to WAV");
  EXPECT_EQ(KeyIn(nemo, "Nemo Action", "Quote"), "double");
  std::string line = Unescape(KeyIn(nemo, "Nemo Action", "Exec"));
  line.replace(line.find("%U"), 2, "\"file:///m/a%20b'c.mp3\" \"file:///m/d.wav\"");
  EXPECT_EQ(shelltest::SplitAsShell(line),
            (std::vector<std::string>{invoke_, "--uris", "2", "--", "file:///m/a%20b'c.mp3",
                                      "file:///m/d.wav"}));
  std::string caja = ReadFile(Data("file-manager/actions/sonoduct-convert.desktop"));
  line = Unescape(KeyIn(caja, "X-Action-Profile main", "Exec"));
  line.replace(line.find("%U"), 2, "'file:///m/x.mp3'");
  EXPECT_EQ(shelltest::SplitAsShell(line),
            (std::vector<std::string>{invoke_, "--uris", "0", "--", "file:///m/x.mp3"}));
  EXPECT_EQ(KeyIn(ReadFile(Data("file-manager/actions/sonoduct-menu.desktop")), "Desktop Entry",
                  "ItemsList"),
            "sonoduct-wav;sonoduct-mp3;sonoduct-options;");

  // Thunar quotes each name for %F and splits the line as a shell does.
  std::string uca = ReadFile(Thunar());
  std::smatch m;
  std::string id = "<unique-id>sonoduct-options</unique-id>\n\t<command>";
  size_t at = uca.find(id);
  ASSERT_NE(at, std::string::npos);
  at += id.size();
  std::string command = uca.substr(at, uca.find("</command>", at) - at);
  for (auto [entity, c] : std::vector<std::pair<std::string, std::string>>{
           {"&quot;", "\""}, {"&apos;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
    for (size_t p; (p = command.find(entity)) != std::string::npos;)
      command.replace(p, entity.size(), c);
  command.replace(command.find("%F"), 2, "'/m/$x y.mp3'");
  EXPECT_EQ(shelltest::SplitAsShell(command),
            (std::vector<std::string>{invoke_, "5", "--", "/m/$x y.mp3"}));
}

TEST_F(UserIntegration, RemoveTakesOursAndLeavesEveryoneElses) {
  const std::vector<std::pair<std::string, std::string>> others = {
      {Data("applications/other.desktop"), "[Desktop Entry]\nType=Application\nName=O\nExec=o\n"},
      {Data("kio/servicemenus/other.desktop"), "mine"},
      {Data("nemo/actions/other.nemo_action"), "[Nemo Action]\nName=o\n"},
      {Data("file-manager/actions/other.desktop"), "theirs"},
      {homes_.Config() + "/mimeapps.list", "[Default Applications]\naudio/mpeg=other.desktop\n"},
  };
  for (const auto& [path, text] : others) {
    ASSERT_EQ(testsupport::Run("mkdir -p " + shelltest::ShellQuote(path.substr(0, path.rfind('/'))))
                  .exitCode,
              0);
    ASSERT_TRUE(WriteFile(path, text));
  }
  ASSERT_EQ(
      testsupport::Run("mkdir -p " + shelltest::ShellQuote(homes_.Config() + "/Thunar")).exitCode,
      0);
  ASSERT_TRUE(WriteFile(Thunar(), kOthersThunar));

  ASSERT_TRUE(InstallUserIntegration(program_, nullptr));
  ASSERT_TRUE(InstallUserIntegration(program_, nullptr));  // twice: still one set of ours
  std::string merged = ReadFile(Thunar());
  EXPECT_EQ(shell::CountThunarActions(merged, "sonoduct-"), 5);
  EXPECT_EQ(merged.find(std::string(kOthersThunar, sizeof kOthersThunar - 1 - 11)), 0u)
      << "the others' part is kept in front of ours";
  EXPECT_EQ(testsupport::Run("xmllint --noout " + shelltest::ShellQuote(Thunar())).exitCode, 0);

  std::vector<std::string> removed;
  ASSERT_TRUE(RemoveUserIntegration(&removed));
  EXPECT_EQ(ReadFile(Thunar()), kOthersThunar);
  EXPECT_TRUE(Contains(removed, Thunar()));
  EXPECT_TRUE(Contains(removed, Data("applications/sonoduct.desktop")));
  for (const auto& [path, text] : others) EXPECT_EQ(ReadFile(path), text) << path;
  for (const std::string& path : shell::AllActionFilePaths({homes_.Data(), homes_.Config()}))
    EXPECT_FALSE(IsFile(path)) << path;
  EXPECT_FALSE(UserIntegrationInstalled(program_));
  // Nothing left to remove is no failure.
  removed.clear();
  EXPECT_TRUE(RemoveUserIntegration(&removed));
  EXPECT_TRUE(removed.empty());
}

TEST_F(UserIntegration, AReinstallFollowsTheAvailableTargets) {
  homes_.SetAvailability(Available(true, true, true));
  ASSERT_TRUE(InstallUserIntegration(program_, nullptr));
  EXPECT_TRUE(IsFile(Data("nemo/actions/sonoduct-wma.nemo_action")));
  homes_.SetAvailability(Available(true, false, false));
  EXPECT_FALSE(UserIntegrationInstalled(program_));
  ASSERT_TRUE(InstallUserIntegration(program_, nullptr));
  EXPECT_TRUE(UserIntegrationInstalled(program_));
  EXPECT_FALSE(IsFile(Data("nemo/actions/sonoduct-wma.nemo_action")));
  EXPECT_FALSE(IsFile(Data("nemo/actions/sonoduct-mp3.nemo_action")));
  // A WAV file's default target (MP3) is grayed now, so it has no entry.
  EXPECT_FALSE(IsFile(Data("kio/servicemenus/sonoduct-convert-wav.desktop")));
  EXPECT_EQ(shell::CountThunarActions(ReadFile(Thunar()), "sonoduct-"), 3);
}

TEST_F(UserIntegration, RefusesWhatItCannotWriteSafely) {
  // A Thunar file that is not an actions document stays as it is.
  ASSERT_EQ(
      testsupport::Run("mkdir -p " + shelltest::ShellQuote(homes_.Config() + "/Thunar")).exitCode,
      0);
  for (const char* text : {"not xml at all", "<actions>\n<action><name>open", "<other/>"}) {
    ASSERT_TRUE(WriteFile(Thunar(), text));
    EXPECT_FALSE(InstallUserIntegration(program_, nullptr)) << text;
    EXPECT_EQ(ReadFile(Thunar()), text);
    EXPECT_FALSE(RemoveUserIntegration(nullptr)) << text;
    EXPECT_EQ(ReadFile(Thunar()), text);
  }
  // "<actions/>" is opened up for ours.
  ASSERT_TRUE(WriteFile(Thunar(), "<?xml version=\"1.0\"?>\n<actions/>\n"));
  EXPECT_TRUE(InstallUserIntegration(program_, nullptr));
  EXPECT_EQ(shell::CountThunarActions(ReadFile(Thunar()), "sonoduct-"), 5);

  // Program paths that the files can't hold unchanged write nothing.
  shelltest::TempHomes fresh;
  std::vector<std::string> written;
  for (const std::string& bad :
       {std::string("relative/sonoduct"), std::string("/a\nb/sonoduct"),
        std::string("/latin1 \xe9/sonoduct"), std::string("/100%F/sonoduct"), std::string()}) {
    EXPECT_FALSE(InstallUserIntegration(bad, &written));
    EXPECT_FALSE(UserIntegrationInstalled(bad));
  }
  EXPECT_TRUE(written.empty());
  EXPECT_FALSE(IsFile(fresh.Data() + "/applications/sonoduct.desktop"));
}

}  // namespace
