// How the converter's entry ends: after a run the user cancelled, and in a
// later instance whose files could not be handed over.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "converter/app/PendingServices.h"
#include "converter/app/SonoductApp.h"
#include "converter/instance/InstanceChannel.h"
#include "tests/TestSupport.h"

namespace {

using testsupport::TempDir;

// A run that sees another instance hand a file off just as it ends.
class HandOffAtTheEnd : public CPendingServices {
 public:
  int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
              uint32_t&) override {
    ++runs;
    for (const TQueuedFile& f : queue) converted.push_back(f.path);
    if (runs == 1) channel.Post(lastMoment, kTargetWave);
    return static_cast<int>(queue.size());
  }
  bool UserCancelled() const override { return cancel; }

  std::string lastMoment;
  bool cancel = false;
  int runs = 0;
  std::vector<std::string> converted;
};

class RunEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
    for (const char* name : {"a.mp3", "b.mp3"}) testsupport::WriteFile(files_.File(name), "x");
  }

  TempDir runtime_, config_, files_;
};

TEST_F(RunEnd, AfterACancelNoFurtherRunStarts) {
  for (bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "not cancelled");
    HandOffAtTheEnd services;
    services.lastMoment = files_.File("b.mp3");
    services.cancel = cancel;
    CSonoductApp app(services.All());
    app.Run({"-C", files_.File("a.mp3")});
    std::vector<std::string> expected = {files_.File("a.mp3")};
    if (!cancel) expected.push_back(files_.File("b.mp3"));  // a run of its own
    EXPECT_EQ(services.converted, expected);
    EXPECT_EQ(services.runs, cancel ? 1 : 2);
  }
}

TEST_F(RunEnd, ALaterInstanceWhoseFilesAreDroppedSaysSoAndFails) {
  CInstanceChannel first;
  ASSERT_EQ(first.Open(), 1);
  ASSERT_EQ(first.IsFirstInstance(), 1);
  for (uint32_t i = 0; i < kHandOffEntryCount; ++i)
    ASSERT_EQ(first.Post("/music/" + std::to_string(i) + ".mp3", kTargetWave), 1);
  auto r =
      testsupport::Run("'" + testsupport::BinPath("sonoduct") + "' -C '" + files_.File("a.mp3") +
                           "' '" + files_.File("b.mp3") + "' </dev/null",
                       {"XDG_RUNTIME_DIR=" + runtime_.Path(), "XDG_CONFIG_HOME=" + config_.Path(),
                        "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
  EXPECT_EQ(r.exitCode, 1);
  for (const char* name : {"a.mp3", "b.mp3"})
    EXPECT_NE(r.err.find(files_.File(name) + " could not be handed over"), std::string::npos)
        << r.err;
}

}  // namespace
