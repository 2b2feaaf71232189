#include "tests/converter/run/ConversionFixture.h"

namespace {

const char kKey[] = "'HKCU\\SOFTWARE\\Quillon\\Sonoduct'";

}  // namespace

void ConversionFixture::SetUp() {
  ASSERT_EQ(testsupport::MissingPrograms({"sox", "soxi"}), "");
  out_ = dir_.Path() + "/out";
  env_ = {"HOME=" + dir_.Path(),
          "XDG_CONFIG_HOME=" + dir_.Path() + "/config",
          "XDG_CACHE_HOME=" + dir_.Path() + "/cache",
          "XDG_RUNTIME_DIR=" + dir_.Path() + "/run",
          "XDG_MUSIC_DIR=" + dir_.Path() + "/music",
          "DISPLAY=",
          "WAYLAND_DISPLAY=",
          "QT_QPA_PLATFORM=",
          "LC_ALL=C.UTF-8",
          "SONODUCT_LOG=" + dir_.File("sonoduct.log")};
  Sh("mkdir -m 700 '" + dir_.Path() + "/run'");
  Set("DefaultDir sz '" + out_ + "/'");
  Set("PlaySound dword 0");
  Set("OpenDecodeOnExit dword 0");
  Set("CPUSleepTime dword 0");
}

void ConversionFixture::Sh(const std::string& command) {
  auto r = testsupport::Run(command, env_);
  ASSERT_EQ(r.exitCode, 0) << command << "\n" << r.err;
}

void ConversionFixture::Reg(const std::string& args) {
  Sh(testsupport::BinPath("reg") + " " + args);
}

void ConversionFixture::Set(const std::string& value) {
  Reg(std::string("set ") + kKey + " " + value);
}

void ConversionFixture::Sox(const std::string& args) { Sh("sox " + args); }

void ConversionFixture::PlainDecode() {
  Set("NormalizeVolume dword 0");
  Set("bTrimSoundsAutomatically dword 0");
  Set("bWarnAboutIncompleteSongs dword 0");
}

testsupport::ProcessResult ConversionFixture::Sonoduct(const std::string& args) {
  return testsupport::Run(testsupport::BinPath("sonoduct") + " " + args + " </dev/null", env_);
}

testsupport::ProcessResult ConversionFixture::Sonoduct(const std::vector<std::string>& files) {
  std::string args = "-C";
  for (const std::string& f : files) args += " '" + f + "'";
  return Sonoduct(args);
}

std::vector<int16_t> ConversionFixture::Samples(const std::string& path) {
  std::string raw = dir_.File("decoded.raw");
  auto r = testsupport::Run("sox '" + path + "' -t raw -e signed -b 16 '" + raw + "'", env_);
  EXPECT_EQ(r.exitCode, 0) << path << "\n" << r.err;
  return testsupport::ToSamples(testsupport::ReadFile(raw));
}

std::string ConversionFixture::Info(const std::string& path, const char* what) {
  auto r = testsupport::Run(std::string("soxi ") + what + " '" + path + "'", env_);
  std::string s = r.out;
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

std::string ConversionFixture::Log() { return testsupport::ReadFile(dir_.File("sonoduct.log")); }
