// The converter program end to end in a private home: temporary HOME and XDG
// folders, the program's settings written with build/bin/reg, runs of
// build/bin/sonoduct, and its WAV targets read back with sox. Every test gets
// a fresh home; the conversion tests derive their fixtures from this one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

class ConversionFixture : public ::testing::Test {
 protected:
  void SetUp() override;

  // A command line in the fixture's environment; the test fails unless it exits with 0.
  void Sh(const std::string& command);
  void Reg(const std::string& args);   // build/bin/reg ARGS
  void Set(const std::string& value);  // a setting of the program: "Name type value"
  void Sox(const std::string& args);   // sox ARGS
  // A plain decode: neither normalised nor trimmed, no question about
  // incomplete songs, so that samples compare.
  void PlainDecode();

  // build/bin/sonoduct ARGS, with standard input closed.
  testsupport::ProcessResult Sonoduct(const std::string& args);
  // Converts the files on the console (-C).
  testsupport::ProcessResult Sonoduct(const std::vector<std::string>& files);

  // 16-bit samples of a file as sox decodes it.
  std::vector<int16_t> Samples(const std::string& path);
  // What soxi says of a file ("-r", "-c", "-b"), without the line end.
  std::string Info(const std::string& path, const char* what);
  // The program's log of this fixture's runs.
  std::string Log();

  testsupport::TempDir dir_;
  std::string out_;  // the target folder
  std::vector<std::string> env_;
};
