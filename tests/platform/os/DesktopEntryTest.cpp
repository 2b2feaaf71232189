// The desktop's default HTML program: Exec lines to argument vectors,
// desktop files read and found along the XDG data folders, and the lookup
// through xdg-mime (a script standing in for it).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/os/DesktopEntry.h"
#include "tests/TestSupport.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::WriteFile;
using V = std::vector<std::string>;

const std::string kTarget = "https://example.org/a b?x=1&y=2";

TEST(ExpandExec, FieldCodesTakeTheTarget) {
  EXPECT_EQ(os::ExpandExec("firefox %u", kTarget), (V{"firefox", kTarget}));
  EXPECT_EQ(os::ExpandExec("browser --new-window %U", kTarget),
            (V{"browser", "--new-window", kTarget}));
  EXPECT_EQ(os::ExpandExec("viewer %f", "/tmp/x.html"), (V{"viewer", "/tmp/x.html"}));
  EXPECT_EQ(os::ExpandExec("app --url=%u", kTarget), (V{"app", "--url=" + kTarget}));
  // No field code for it: the target goes last.
  EXPECT_EQ(os::ExpandExec("app", kTarget), (V{"app", kTarget}));
  // %% is a '%', and does not count as the target's place.
  EXPECT_EQ(os::ExpandExec("app 100%% %u", kTarget), (V{"app", "100%", kTarget}));
}

TEST(ExpandExec, OtherFieldCodesAreDropped) {
  EXPECT_EQ(os::ExpandExec("app %i %c %k %d %u", kTarget), (V{"app", kTarget}));
  EXPECT_EQ(os::ExpandExec("app --name=%c %u", kTarget), (V{"app", "--name=", kTarget}));
  EXPECT_EQ(os::ExpandExec("app %i", kTarget), (V{"app", kTarget}));
}

TEST(ExpandExec, QuotingIsUndone) {
  EXPECT_EQ(os::ExpandExec("\"/opt/My Browser/run\" %u", kTarget),
            (V{"/opt/My Browser/run", kTarget}));
  EXPECT_EQ(os::ExpandExec(R"(app "a\"b\\c\$d\`e" %u)", kTarget),
            (V{"app", "a\"b\\c$d`e", kTarget}));
  // Inside double quotes other backslashes stay.
  EXPECT_EQ(os::ExpandExec(R"(app "a\nb" %u)", kTarget), (V{"app", "a\\nb", kTarget}));
  EXPECT_EQ(os::ExpandExec("sh -c 'exec browser \"$1\"' sh %u", kTarget),
            (V{"sh", "-c", "exec browser \"$1\"", "sh", kTarget}));
  EXPECT_EQ(os::ExpandExec("app \"\" %u", kTarget), (V{"app", "", kTarget}));
  EXPECT_EQ(os::ExpandExec("  app\t \"x\"y   %u  ", kTarget), (V{"app", "xy", kTarget}));
  // The target is never split or reinterpreted.
  EXPECT_EQ(os::ExpandExec("app %u", "a \"b\" 'c' %u;$(d)"), (V{"app", "a \"b\" 'c' %u;$(d)"}));
}

TEST(ExpandExec, MalformedLinesGiveNothing) {
  EXPECT_EQ(os::ExpandExec("", kTarget), V{});
  EXPECT_EQ(os::ExpandExec("   ", kTarget), V{});
  EXPECT_EQ(os::ExpandExec("\"app %u", kTarget), V{});
  EXPECT_EQ(os::ExpandExec("app 'x %u", kTarget), V{});
  EXPECT_EQ(os::ExpandExec("\"\" %u", kTarget), V{});
}

TEST(DesktopEntry, ReadsTheExecKeyOfTheMainGroup) {
  TempDir dir;
  const std::string file = dir.File("app.desktop");
  WriteFile(file,
            "# a comment\n"
            "[Desktop Action new]\n"
            "Exec=wrong --action\n"
            "[Desktop Entry]\n"
            "Name=App\n"
            "Exec[de]=falsch\n"
            "TryExec=app\n"
            "Exec = \"/opt/my\\sapp\" --x=\\\\\\\\ %u\r\n"
            "Exec=second\n"
            "[Other]\n"
            "Exec=other\n");
  EXPECT_EQ(os::ReadDesktopExec(file), "\"/opt/my app\" --x=\\\\ %u");
  EXPECT_EQ(os::ExpandExec(os::ReadDesktopExec(file), "T"), (V{"/opt/my app", "--x=\\", "T"}));

  WriteFile(file, "[Desktop Entry]\nExec=app %u\nHidden=true\n");
  EXPECT_EQ(os::ReadDesktopExec(file), "");
  WriteFile(file, "[Desktop Entry]\nName=No command\n");
  EXPECT_EQ(os::ReadDesktopExec(file), "");
  EXPECT_EQ(os::ReadDesktopExec(dir.File("missing.desktop")), "");
}

class DataFolders : public ::testing::Test {
 protected:
  DataFolders()
      : home_("XDG_DATA_HOME", dir_.File("home").c_str()),
        dirs_("XDG_DATA_DIRS", (dir_.File("a") + ":relative:" + dir_.File("b")).c_str()) {
    for (const char* d : {"home", "home/applications", "a", "a/applications", "b", "b/applications",
                          "b/applications/kde"})
      mkdir(dir_.File(d).c_str(), 0700);
  }
  void Entry(const std::string& relative, const std::string& exec) {
    WriteFile(dir_.File(relative), "[Desktop Entry]\nType=Application\nExec=" + exec + "\n");
  }

  TempDir dir_;
  ScopedEnv home_, dirs_;
};

TEST_F(DataFolders, FindsTheFirstEntryOfAnId) {
  Entry("b/applications/web.desktop", "b");
  EXPECT_EQ(os::FindDesktopFile("web.desktop"), dir_.File("b/applications/web.desktop"));
  Entry("a/applications/web.desktop", "a");
  EXPECT_EQ(os::FindDesktopFile("web.desktop"), dir_.File("a/applications/web.desktop"));
  Entry("home/applications/web.desktop", "home");
  EXPECT_EQ(os::FindDesktopFile("web.desktop"), dir_.File("home/applications/web.desktop"));

  // A '-' of the id may name a subfolder.
  Entry("b/applications/kde/konq-browser.desktop", "konq");
  EXPECT_EQ(os::FindDesktopFile("kde-konq-browser.desktop"),
            dir_.File("b/applications/kde/konq-browser.desktop"));

  EXPECT_EQ(os::FindDesktopFile("missing.desktop"), "");
  EXPECT_EQ(os::FindDesktopFile("../applications/web.desktop"), "");
  // Nor does a '-' lead out of the applications folder.
  Entry("b/outside.desktop", "outside");
  EXPECT_EQ(os::FindDesktopFile("..-outside.desktop"), "");
  EXPECT_EQ(os::FindDesktopFile(""), "");
}

TEST_F(DataFolders, TheDefaultHtmlHandlerIsTheEntryXdgMimeNames) {
  mkdir(dir_.File("bin").c_str(), 0700);
  ScopedEnv path("PATH", dir_.File("bin").c_str());
  EXPECT_EQ(os::DefaultHtmlHandler(kTarget), V{}) << "without xdg-mime";

  const std::string script = dir_.File("bin/xdg-mime");
  testsupport::WriteScript(script,
                           "[ \"$*\" = 'query default text/html' ] || exit 1\n"
                           "echo 'web.desktop;other.desktop;'\n");
  EXPECT_EQ(os::DefaultHtmlHandler(kTarget), V{}) << "the entry is missing";
  Entry("b/applications/web.desktop", "web-browser --new-tab %u");
  EXPECT_EQ(os::DefaultHtmlHandler(kTarget), (V{"web-browser", "--new-tab", kTarget}));
  EXPECT_EQ(os::DefaultHtmlHandler("-x.html"), (V{"web-browser", "--new-tab", "./-x.html"}));

  testsupport::WriteScript(script, "echo web.desktop; exit 3\n");
  EXPECT_EQ(os::DefaultHtmlHandler(kTarget), V{}) << "xdg-mime failed";
  testsupport::WriteScript(script, "echo\n");
  EXPECT_EQ(os::DefaultHtmlHandler(kTarget), V{}) << "no default";
}

}  // namespace
