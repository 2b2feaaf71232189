// LaunchBrowser's order of handlers and its fallbacks. A real browser can't
// be opened here (no desktop on a build machine, and nobody to look at it),
// so PATH holds only small scripts standing in for xdg-open, xdg-mime and
// x-www-browser; each notes its name and arguments in a log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/TestSupport.h"
#include "utilities/ui/LaunchBrowser.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

const char* kTarget = "https://example.org/search?q=a b&lang=en;x='y'";

class LaunchBrowserTest : public ::testing::Test {
 protected:
  LaunchBrowserTest()
      : path_("PATH", dir_.File("bin").c_str()),
        dataHome_("XDG_DATA_HOME", dir_.File("data").c_str()),
        dataDirs_("XDG_DATA_DIRS", dir_.File("none").c_str()) {
    mkdir(dir_.File("bin").c_str(), 0700);
    mkdir(dir_.File("data").c_str(), 0700);
    mkdir(dir_.File("data/applications").c_str(), 0700);
  }

  // A stand-in that logs "name|arg|arg..." and ends with `status`.
  void Fake(const std::string& name, int status, const std::string& extra = "") {
    testsupport::WriteScript(dir_.File("bin/" + name),
                             "{ printf '%s' '" + name +
                                 "'; for a; do printf '|%s' \"$a\"; done; "
                                 "echo; } >> '" +
                                 dir_.File("log") + "'\n" + extra + "exit " +
                                 std::to_string(status) + "\n");
  }
  // xdg-mime naming web.desktop, whose command is a fake browser.
  void DefaultHandler(int browserStatus) {
    Fake("xdg-mime", 0, "echo web.desktop\n");
    testsupport::WriteFile(dir_.File("data/applications/web.desktop"),
                           "[Desktop Entry]\nType=Application\nExec=web-browser --new %u\n");
    Fake("web-browser", browserStatus);
  }
  std::string Log() { return testsupport::ReadFile(dir_.File("log")); }

  TempDir dir_;
  ScopedEnv path_, dataHome_, dataDirs_;
};

const std::string T = kTarget;

TEST_F(LaunchBrowserTest, NoTargetStartsNothing) {
  Fake("xdg-open", 0);
  Fake("x-www-browser", 0);
  EXPECT_FALSE(LaunchBrowser(nullptr));
  EXPECT_FALSE(LaunchBrowser(""));
  EXPECT_EQ(Log(), "");
}

TEST_F(LaunchBrowserTest, TheDesktopsHandlerComesFirst) {
  Fake("xdg-open", 0);
  DefaultHandler(0);
  Fake("x-www-browser", 0);
  EXPECT_TRUE(LaunchBrowser(kTarget));
  EXPECT_EQ(Log(), "xdg-open|" + T + "\n");
}

TEST_F(LaunchBrowserTest, ThenTheDefaultHtmlProgram) {
  Fake("xdg-open", 3);
  DefaultHandler(0);
  Fake("x-www-browser", 0);
  EXPECT_TRUE(LaunchBrowser(kTarget));
  EXPECT_EQ(Log(),
            "xdg-open|" + T + "\nxdg-mime|query|default|text/html\nweb-browser|--new|" + T + "\n");
}

TEST_F(LaunchBrowserTest, ThenXWwwBrowser) {
  // No xdg-open at all, and the default program fails.
  DefaultHandler(1);
  Fake("x-www-browser", 0);
  EXPECT_TRUE(LaunchBrowser(kTarget));
  EXPECT_EQ(Log(), "xdg-mime|query|default|text/html\nweb-browser|--new|" + T + "\nx-www-browser|" +
                       T + "\n");
}

TEST_F(LaunchBrowserTest, AProgramStillRunningCountsAsStarted) {
  Fake("xdg-open", 0, "exec /bin/sleep 5\n");
  EXPECT_TRUE(LaunchBrowser(kTarget));
  EXPECT_EQ(Log(), "xdg-open|" + T + "\n");
}

TEST_F(LaunchBrowserTest, FalseWhenEverythingFails) {
  Fake("xdg-open", 4);
  Fake("x-www-browser", 1);
  EXPECT_FALSE(LaunchBrowser(kTarget));
  EXPECT_EQ(Log(), "xdg-open|" + T + "\nx-www-browser|" + T + "\n");
  EXPECT_FALSE(LaunchBrowser("-help"));  // never read as an option
  EXPECT_NE(Log().find("x-www-browser|./-help\n"), std::string::npos);
}

TEST_F(LaunchBrowserTest, FalseWithNoHandlerAtAll) { EXPECT_FALSE(LaunchBrowser(kTarget)); }

}  // namespace
