// The decoder instance: module registration and its checks, input and
// output selection, the state errors with their messages, and properties.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/codecs/mpeg/FileInput.h"
#include "engine/codecs/mpeg/FileOutput.h"
#include "engine/codecs/mpeg/MemoryInput.h"
#include "engine/codecs/mpeg/MpegDecoder.h"

using namespace mpegaudio;

namespace {

struct Message {
  int code;
  std::string message;
  std::string detail;
};

struct Recorder {
  std::vector<Message> messages;
  static void Callback(void* user, int code, const char* message, const char* detail) {
    static_cast<Recorder*>(user)->messages.push_back({code, message, detail});
  }
};

class DecoderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MpegDecoderCreate(&d_), kMpegOk);
    MpegDecoderSetErrorCallback(d_, Recorder::Callback, &log_);
  }
  void TearDown() override {
    if (d_) {
      EXPECT_EQ(MpegDecoderDestroy(&d_), kMpegOk);
    }
    EXPECT_EQ(d_, nullptr);
  }
  const Message& Last() const { return log_.messages.back(); }

  MpegDecoder* d_ = nullptr;
  Recorder log_;
};

}  // namespace

TEST_F(DecoderFixture, ModulesGetConsecutiveIdsAcrossKinds) {
  EXPECT_EQ(MpegDecoderRegisterInput(d_, MpegMemoryInputModule()), 0);
  EXPECT_EQ(MpegDecoderRegisterInput(d_, MpegFileInputModule()), 1);
  EXPECT_EQ(MpegDecoderRegisterOutput(d_, MpegFileOutputModule()), 2);
  MpegModuleInfo info;
  ASSERT_EQ(MpegDecoderDescribeModule(d_, 0, &info), kMpegOk);
  EXPECT_STREQ(info.name, "Input From Memory");
  EXPECT_STREQ(info.version, "Version 1.0");
  ASSERT_EQ(MpegDecoderDescribeModule(d_, 1, &info), kMpegOk);
  EXPECT_STREQ(info.name, "Input From File");
  EXPECT_STREQ(info.version, "Version 1.2");
  ASSERT_EQ(info.patternCount, 2);
  EXPECT_STREQ(info.patterns[1].description, "standard input");
  ASSERT_EQ(MpegDecoderDescribeModule(d_, 2, &info), kMpegOk);
  EXPECT_STREQ(info.name, "Output To File");
  EXPECT_STREQ(info.patterns[0].description, "file name (WAV format)");
  EXPECT_EQ(MpegDecoderDescribeModule(d_, 3, &info), kMpegErrorNoSuchModule);
}

TEST_F(DecoderFixture, RegistrationChecksVersionAndMethods) {
  MpegInputModule input = *MpegMemoryInputModule();
  input.version = 0x50300;
  EXPECT_EQ(MpegDecoderRegisterInput(d_, &input), kMpegErrorModuleVersion);
  input.version = 0x40100;  // another minor version is accepted
  EXPECT_EQ(MpegDecoderRegisterInput(d_, &input), 0);

  struct Case {
    void (*clear)(MpegInputModule*);
    const char* message;
  };
  const Case cases[] = {
      {[](MpegInputModule* m) { m->newInstance = nullptr; }, "null 'new' method in module"},
      {[](MpegInputModule* m) { m->open = nullptr; }, "null 'open' method in module"},
      {[](MpegInputModule* m) { m->close = nullptr; }, "null 'close' method in module"},
      {[](MpegInputModule* m) { m->read = nullptr; }, "null 'read' method in module"},
      {[](MpegInputModule* m) { m->probe = nullptr; }, "null 'probe' method in module"}};
  for (const Case& c : cases) {
    MpegInputModule m = *MpegMemoryInputModule();
    c.clear(&m);
    EXPECT_LT(MpegDecoderRegisterInput(d_, &m), 0) << c.message;
    ASSERT_FALSE(log_.messages.empty());
    EXPECT_EQ(Last().message, "internal error");
    EXPECT_EQ(Last().detail, c.message);
  }

  MpegOutputModule out = *MpegFileOutputModule();
  out.write = nullptr;
  EXPECT_LT(MpegDecoderRegisterOutput(d_, &out), 0);
  EXPECT_EQ(Last().detail, "null 'write' method in module");

  MpegCodecModule codec{kMpegModuleVersion,
                        [](const char*) { return 1; },
                        nullptr,
                        [](MpegDecoder*, void**) { return 0; },
                        nullptr,
                        [](void*) { return 0; },
                        nullptr,
                        nullptr,
                        nullptr};
  EXPECT_LT(MpegDecoderRegisterCodec(d_, &codec), 0);
  EXPECT_EQ(Last().detail, "null 'decode' method in module");
  codec.decode = [](void*, MpegOutputBlock*, MpegStatusBlock*) { return 0; };
  EXPECT_LT(MpegDecoderRegisterCodec(d_, &codec), 0);
  EXPECT_EQ(Last().detail, "null 'query' method");
  EXPECT_EQ(MpegDecoderRegisterInput(d_, nullptr), kMpegErrorBadArgument);
  // Refused modules take no id.
  EXPECT_EQ(MpegDecoderRegisterInput(d_, MpegFileInputModule()), 1);
}

TEST_F(DecoderFixture, StateErrorsCarryTheirMessages) {
  EXPECT_EQ(MpegDecoderOpenInput(d_), kMpegErrorWrongState);
  EXPECT_EQ(Last().message, "internal error");
  EXPECT_EQ(Last().detail, "null input module");
  EXPECT_EQ(MpegDecoderSendInputMessage(d_, kMemoryInputFeed, "x", 1), kMpegErrorWrongState);
  EXPECT_EQ(Last().detail, "null input instance");
  EXPECT_EQ(MpegDecoderDecodeFrame(d_), kMpegErrorWrongState);
  EXPECT_EQ(Last().detail, "input not open");
  EXPECT_EQ(MpegDecoderOpenOutput(d_), kMpegErrorWrongState);
  EXPECT_EQ(Last().detail, "null output module");
  EXPECT_EQ(MpegDecoderCloseOutput(d_), kMpegErrorWrongState);
  EXPECT_EQ(Last().detail, "null output instance");

  ASSERT_EQ(MpegDecoderRegisterInput(d_, MpegMemoryInputModule()), 0);
  ASSERT_EQ(MpegDecoderSelectInput(d_, "", -1), kMpegOk);
  EXPECT_EQ(MpegDecoderCloseInput(d_), kMpegErrorWrongState);
  EXPECT_EQ(Last().detail, "input not open");
  // No codec registered: the input is closed again.
  EXPECT_EQ(MpegDecoderOpenInput(d_), kMpegErrorNoCodec);
  EXPECT_EQ(MpegDecoderStatus(d_)->state, kMpegInputSelected);
  EXPECT_EQ(MpegDecoderReleaseInput(d_), kMpegOk);
  EXPECT_EQ(MpegDecoderStatus(d_)->state, kMpegInputNone);

  ASSERT_GE(MpegDecoderRegisterOutput(d_, MpegFileOutputModule()), 0);
  ASSERT_EQ(MpegDecoderSelectOutput(d_, "raw:/dev/null", -1), kMpegOk);
  EXPECT_EQ(MpegDecoderCloseOutput(d_), kMpegErrorWrongState);
  EXPECT_EQ(Last().detail, "output not open");
  ASSERT_EQ(MpegDecoderOpenOutput(d_), kMpegOk);
  EXPECT_EQ(MpegDecoderOpenOutput(d_), kMpegErrorWrongState);
  EXPECT_EQ(Last().detail, "output not closed");
}

TEST_F(DecoderFixture, InputSelectionByNameAndId) {
  ASSERT_EQ(MpegDecoderRegisterInput(d_, MpegMemoryInputModule()), 0);
  ASSERT_EQ(MpegDecoderRegisterInput(d_, MpegFileInputModule()), 1);
  ASSERT_GE(MpegDecoderRegisterOutput(d_, MpegFileOutputModule()), 2);

  // The memory input does not take a file name; the file input does.
  EXPECT_EQ(MpegDecoderSelectInput(d_, "/no/such.mp3", -1), kMpegOk);
  EXPECT_EQ(MpegDecoderSendInputMessage(d_, kMemoryInputFeed, "x", 1), kMpegErrorBadArgument);
  // Selecting the same name again keeps the instance; another name replaces it.
  EXPECT_EQ(MpegDecoderSelectInput(d_, "/no/such.mp3", -1), kMpegOk);
  EXPECT_EQ(MpegDecoderSelectInput(d_, "", -1), kMpegOk);
  EXPECT_EQ(MpegDecoderSendInputMessage(d_, kMemoryInputFeed, "xyz", 3), 3);
  EXPECT_EQ(MpegDecoderSelectInput(d_, "", 0), kMpegOk);
  EXPECT_EQ(MpegDecoderSendInputMessage(d_, kMemoryInputFeed, "x", 1), 1) << "the ring was kept";

  EXPECT_EQ(MpegDecoderSelectInput(d_, "", 7), kMpegErrorNoSuchModule);
  EXPECT_EQ(MpegDecoderSelectInput(d_, "", 2), kMpegErrorNoSuchModule)
      << "an output module is no input";
  // Only the memory input is registered here: a file name has no module.
  MpegDecoder* other = nullptr;
  ASSERT_EQ(MpegDecoderCreate(&other), kMpegOk);
  MpegDecoderSetErrorCallback(other, Recorder::Callback, &log_);
  ASSERT_EQ(MpegDecoderRegisterInput(other, MpegMemoryInputModule()), 0);
  EXPECT_EQ(MpegDecoderSelectInput(other, "song.mp3", -1), kMpegErrorUnknownName);
  EXPECT_EQ(Last().message, "unknown module name");
  EXPECT_EQ(Last().detail, "song.mp3");
  EXPECT_EQ(MpegDecoderSelectOutput(other, "wav:x.wav", -1), kMpegErrorUnknownName);
  EXPECT_EQ(Last().message, "unknown device name");
  EXPECT_EQ(MpegDecoderDestroy(&other), kMpegOk);
}

TEST_F(DecoderFixture, PropertiesAreTyped) {
  int64_t n = 0;
  const char* s = nullptr;
  EXPECT_EQ(MpegDecoderGetPropertyInteger(d_, "mpeg/layer", &n), kMpegErrorPropertyNotFound);
  EXPECT_EQ(MpegDecoderSetPropertyInteger(d_, "mpeg/layer", 3), kMpegOk);
  EXPECT_EQ(MpegDecoderGetPropertyInteger(d_, "mpeg/layer", &n), kMpegOk);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(MpegDecoderGetPropertyString(d_, "mpeg/layer", &s), kMpegErrorPropertyType);
  EXPECT_EQ(MpegDecoderSetPropertyString(d_, "mpeg/layer", "three"), kMpegOk);
  EXPECT_EQ(MpegDecoderGetPropertyString(d_, "mpeg/layer", &s), kMpegOk);
  EXPECT_STREQ(s, "three");
  EXPECT_EQ(MpegDecoderGetPropertyInteger(d_, "mpeg/layer", &n), kMpegErrorPropertyType);
  EXPECT_EQ(MpegDecoderSetPropertyString(d_, nullptr, "x"), kMpegErrorBadArgument);
}

TEST(MpegResult, EveryCodeHasItsOwnText) {
  const int codes[] = {
      kMpegErrorOutOfMemory,    kMpegErrorBadArgument,      kMpegErrorWrongState,
      kMpegErrorNotEnoughData,  kMpegErrorModuleVersion,    kMpegErrorCannotOpenInput,
      kMpegErrorEndOfInput,     kMpegErrorPermissionDenied, kMpegErrorCannotOpenOutput,
      kMpegErrorWriteFailed,    kMpegErrorNoSuchModule,     kMpegErrorUnknownName,
      kMpegErrorFileNotFound,   kMpegErrorPastEndOfBuffer,  kMpegErrorNoCodec,
      kMpegErrorFrameAbandoned, kMpegErrorPropertyNotFound, kMpegErrorPropertyType};
  std::vector<std::string> seen;
  for (int c : codes) {
    std::string t = MpegResultText(c);
    EXPECT_NE(t, "unknown error") << c;
    for (const auto& s : seen) EXPECT_NE(s, t) << c;
    seen.push_back(t);
  }
  EXPECT_STREQ(MpegResultText(-12345), "unknown error");
}
