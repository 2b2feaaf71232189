// The converter's entry: start-up, the command line, the single-instance
// hand-off and the dispatch on the switch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/app/AppServices.h"
#include "converter/app/QueuedFile.h"
#include "converter/instance/InstanceChannel.h"

class CSonoductApp {
 public:
  explicit CSonoductApp(const TAppServices& services);

  // Runs the program on its arguments (without the program name) and returns
  // the exit status: 0 when everything asked for was done, 1 otherwise.
  int Run(const std::vector<std::string>& args);

  CInstanceChannel& Channel() { return channel_; }

 private:
  void Dispatch(char letter, const std::vector<std::string>& names);
  // The first-name and further-name rules of a command line without switch:
  // returns the switch letter for the first name (0 when it is left out) and
  // posts the further names.
  char ParseNameList(const std::vector<std::string>& names, std::string& firstName);
  // The target type of a named file, asking about WAV to WAV; false to skip it.
  bool ChooseTarget(const std::string& name, uint32_t& type);
  void PostName(const std::string& name, uint32_t type);
  void Convert(uint32_t targetType, const std::vector<std::string>& names);
  void RunFirstInstance(std::vector<TQueuedFile> queue);
  void EndOfRun(bool firstInstance, int converted);
  void NoArgument();
  void Fail() { status_ = 1; }
  void Check(int ok) {
    if (!ok) Fail();
  }

  TAppServices s_;
  CInstanceChannel channel_;
  int status_ = 0;
};
