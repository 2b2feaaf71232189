// One QApplication for the widget tests, on Qt's offscreen platform unless
// the environment names another (tests run without an X server).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app_ = new QApplication(argc_, argv_);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  int argc_ = 1;
  char name_[16] = "test_gui";
  char* argv_[2] = {name_, nullptr};
  QApplication* app_ = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
