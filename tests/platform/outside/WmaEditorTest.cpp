// wmaglue.so's metadata editor: attributes set through it reach the file in
// the objects ffmpeg and our reader read them from, and the audio stays
// exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/outside/WmaLibrary.h"

namespace {

class WmaEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"sox", "ffmpeg", "ffprobe"}), "");
    ASSERT_TRUE(wmatest::Library().IsLoaded());
  }

  static std::string AudioMd5(const std::string& path) {
    const auto r = testsupport::Run("ffmpeg -v error -i " + path + " -map 0:a -f md5 -");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
  }
  static std::string Tags(const std::string& path) {
    const auto r = testsupport::Run("ffprobe -v error -show_format " + path);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
  }
  // The file size the File Properties Object gives.
  static uint64_t RecordedSize(const std::string& data) {
    const std::string guid("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
    const size_t at = data.find(guid);
    uint64_t size = 0;
    if (at != std::string::npos && at + 48 <= data.size()) std::memcpy(&size, &data[at + 40], 8);
    return size;
  }

  struct Editor {
    Editor() { EXPECT_EQ(wmatest::Library().createEditor(&editor), WM_OK); }
    ~Editor() {
      if (info) info->Release();
      if (editor) editor->Release();
    }
    WmaResult Open(const std::string& path) {
      const std::u16string wide = wmatest::Wide(path);
      const WmaResult r = editor->Open(wide.c_str());
      void* found = nullptr;
      if (!WmFailed(r)) {
        EXPECT_EQ(editor->QueryInterface(IID_IWMHeaderInfo, &found), WM_OK);
      }
      info = static_cast<IWMHeaderInfo*>(found);
      return r;
    }
    WmaResult SetText(const char16_t* name, const std::u16string& text) {
      return info->SetAttribute(0, name, WMT_TYPE_STRING,
                                reinterpret_cast<const uint8_t*>(text.c_str()),
                                static_cast<uint16_t>((text.size() + 1) * 2));
    }
    template <typename T>
    WmaResult SetNumber(const char16_t* name, WMT_ATTR_DATATYPE type, T value) {
      return info->SetAttribute(0, name, type, reinterpret_cast<const uint8_t*>(&value),
                                sizeof value);
    }
    IWMMetadataEditor* editor = nullptr;
    IWMHeaderInfo* info = nullptr;
  };

  testsupport::TempDir dir;
};

std::vector<uint8_t> Text(const std::u16string& s) {
  std::vector<uint8_t> v((s.size() + 1) * 2);
  std::memcpy(v.data(), s.c_str(), v.size());
  return v;
}

TEST_F(WmaEditor, AttributesReachTheFileAndTheAudioStays) {
  const auto pcm = wmatest::SoxPcm(dir, 44100, 2, "synth 2 sine 440 vol 0.5");
  const std::string path = dir.File("tagged.wma");
  ASSERT_EQ(wmatest::WriteWma(path, pcm, 44100, 2, 128, 44100, 2), WM_OK);
  const std::string md5 = AudioMd5(path);
  const std::vector<uint8_t> mcdi = {0x0A, 0x00, 0x96, 0x00, 0x00, 0xFF, 0x10, 0x20, 0x00, 0x7F};
  {
    Editor e;
    ASSERT_EQ(e.Open(path), WM_OK);
    EXPECT_EQ(e.SetText(u"Title", u"Caf\u00e9 au lait"), WM_OK);
    EXPECT_EQ(e.SetText(u"Author", u"The Players"), WM_OK);
    EXPECT_EQ(e.SetText(u"Copyright", u"(c) 2002 Nobody"), WM_OK);
    EXPECT_EQ(e.SetText(u"Description", u"A comment"), WM_OK);
    EXPECT_EQ(e.SetText(u"WM/AlbumTitle", u"The Album"), WM_OK);
    EXPECT_EQ(e.SetText(u"WM/Genre", u"Jazz"), WM_OK);
    EXPECT_EQ(e.SetText(u"WM/Year", u"2002"), WM_OK);
    EXPECT_EQ(e.SetText(u"WM/Track", u"5/12"), WM_OK);
    EXPECT_EQ(e.info->SetAttribute(0, u"WM/MCDI", WMT_TYPE_BINARY, mcdi.data(),
                                   static_cast<uint16_t>(mcdi.size())),
              WM_OK);
    EXPECT_EQ(e.SetNumber(u"Test/Dword", WMT_TYPE_DWORD, uint32_t{70000}), WM_OK);
    EXPECT_EQ(e.SetNumber(u"Test/Qword", WMT_TYPE_QWORD, uint64_t{1} << 40), WM_OK);
    EXPECT_EQ(e.SetNumber(u"Test/Word", WMT_TYPE_WORD, uint16_t{7}), WM_OK);
    EXPECT_EQ(e.SetNumber(u"Test/Bool", WMT_TYPE_BOOL, int32_t{1}), WM_OK);
    // Values that do not fit their type, and streams other than the file's.
    EXPECT_LT(e.SetNumber(u"Test/Bad", WMT_TYPE_DWORD, uint16_t{1}), 0);
    EXPECT_LT(e.info->SetAttribute(1, u"Title", WMT_TYPE_STRING, nullptr, 0), 0);
    // Flushed and kept open; then replaced and closed.
    EXPECT_EQ(e.editor->Flush(), WM_OK);
    EXPECT_EQ(e.SetText(u"Title", u"Caf\u00e9 au lait, the longer title"), WM_OK);
    EXPECT_EQ(e.editor->Close(), WM_OK);
  }
  EXPECT_EQ(AudioMd5(path), md5);
  const std::string data = testsupport::ReadFile(path);
  EXPECT_EQ(RecordedSize(data), data.size());
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().string().find(".wma."), std::string::npos) << entry.path();

  const std::string tags = Tags(path);
  for (const char* tag :
       {"TAG:title=Café au lait, the longer title", "TAG:artist=The Players",
        "TAG:copyright=(c) 2002 Nobody", "TAG:comment=A comment", "TAG:album=The Album",
        "TAG:genre=Jazz", "TAG:WM/Year=2002", "TAG:WM/Track=5/12", "TAG:Test/Dword=70000"})
    EXPECT_NE(tags.find(tag), std::string::npos) << tag << "\n" << tags;

  wmatest::Callback cb;
  wmatest::Reader r;
  ASSERT_EQ(r.Open(path, &cb), WM_OK);
  WMT_ATTR_DATATYPE type{};
  EXPECT_EQ(r.Attribute(u"Title", &type), Text(u"Caf\u00e9 au lait, the longer title"));
  EXPECT_EQ(type, WMT_TYPE_STRING);
  EXPECT_EQ(r.Attribute(u"author"), Text(u"The Players"));  // names match without case
  EXPECT_EQ(r.Attribute(u"Copyright"), Text(u"(c) 2002 Nobody"));
  EXPECT_EQ(r.Attribute(u"Description"), Text(u"A comment"));
  EXPECT_EQ(r.Attribute(u"WM/AlbumTitle"), Text(u"The Album"));
  EXPECT_EQ(r.Attribute(u"WM/Year"), Text(u"2002"));
  EXPECT_EQ(r.Attribute(u"WM/Track"), Text(u"5/12"));
  EXPECT_EQ(r.Attribute(u"WM/MCDI", &type), mcdi);
  EXPECT_EQ(type, WMT_TYPE_BINARY);
  EXPECT_EQ(wmatest::Dword(r.Attribute(u"Test/Dword", &type)), 70000u);
  EXPECT_EQ(type, WMT_TYPE_DWORD);
  EXPECT_EQ(wmatest::Qword(r.Attribute(u"Test/Qword", &type)), uint64_t{1} << 40);
  EXPECT_EQ(type, WMT_TYPE_QWORD);
  EXPECT_EQ(r.Attribute(u"Test/Word", &type), (std::vector<uint8_t>{7, 0}));
  EXPECT_EQ(type, WMT_TYPE_WORD);
  EXPECT_EQ(wmatest::Dword(r.Attribute(u"Test/Bool", &type)), 1u);
  EXPECT_EQ(type, WMT_TYPE_BOOL);
  EXPECT_TRUE(r.Attribute(u"Test/Bad").empty());
  EXPECT_NEAR(wmatest::Qword(r.Attribute(u"Duration")) / 1e7, 2.0, 0.001);

  // Walking them by index with the two-call protocol.
  void* found = nullptr;
  ASSERT_EQ(r.reader->QueryInterface(IID_IWMHeaderInfo, &found), WM_OK);
  auto* info = static_cast<IWMHeaderInfo*>(found);
  uint16_t count = 0;
  ASSERT_EQ(info->GetAttributeCount(0, &count), WM_OK);
  EXPECT_GE(count, 15);
  std::vector<std::u16string> names;
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t stream = 9, nameLength = 0, valueLength = 0;
    ASSERT_EQ(
        info->GetAttributeByIndex(i, &stream, nullptr, &nameLength, &type, nullptr, &valueLength),
        WM_OK);
    std::u16string name(nameLength, u'\0');
    std::vector<uint8_t> value(valueLength);
    uint16_t small = static_cast<uint16_t>(nameLength - 1);
    EXPECT_LT(
        info->GetAttributeByIndex(i, &stream, name.data(), &small, &type, nullptr, &valueLength),
        0);
    ASSERT_EQ(info->GetAttributeByIndex(i, &stream, name.data(), &nameLength, &type, value.data(),
                                        &valueLength),
              WM_OK);
    EXPECT_EQ(stream, 0);
    names.push_back(name.substr(0, nameLength - 1));
  }
  EXPECT_EQ(names[0], u"Duration");
  EXPECT_EQ(names[1], u"Bitrate");
  EXPECT_EQ(info->GetAttributeByIndex(count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            WM_E_ATTRIBUTE_NOT_FOUND);
  info->Release();
  r.Close(&cb);
}

TEST_F(WmaEditor, KeepsWhatItDoesNotChange) {
  const std::string path = dir.File("ffmpeg.wma");
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i sine=d=1 -c:a wmav2 -metadata title=Old "
                             "-metadata album=Kept -metadata comment=Gone " +
                             path)
                .exitCode,
            0);
  const std::string md5 = AudioMd5(path);
  const std::string before = testsupport::ReadFile(path);
  {
    Editor e;
    ASSERT_EQ(e.Open(path), WM_OK);
    // Nothing set: nothing written.
    EXPECT_EQ(e.editor->Flush(), WM_OK);
    EXPECT_EQ(testsupport::ReadFile(path), before);
    EXPECT_EQ(e.SetText(u"Title", u"New"), WM_OK);
    EXPECT_EQ(e.SetText(u"Description", u""), WM_OK);
    EXPECT_EQ(e.editor->Close(), WM_OK);
    EXPECT_LT(e.editor->Flush(), 0);  // closed
  }
  EXPECT_EQ(AudioMd5(path), md5);
  const std::string tags = Tags(path);
  EXPECT_NE(tags.find("TAG:title=New"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:album=Kept"), std::string::npos) << tags;
  EXPECT_EQ(tags.find("Gone"), std::string::npos) << tags;
  EXPECT_EQ(tags.find("Old"), std::string::npos) << tags;
  const std::string after = testsupport::ReadFile(path);
  EXPECT_EQ(RecordedSize(after), after.size());
  // The data object onwards is the same bytes, moved.
  const std::string dataGuid("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C",
                             16);
  ASSERT_NE(before.find(dataGuid), std::string::npos);
  EXPECT_EQ(after.substr(after.find(dataGuid)), before.substr(before.find(dataGuid)));

  // Not an ASF file: refused, and left alone.
  ASSERT_TRUE(testsupport::WriteFile(dir.File("not.wma"), "RIFF....WAVEfmt "));
  Editor e;
  EXPECT_LT(e.Open(dir.File("not.wma")), 0);
  EXPECT_LT(e.Open(dir.File("missing.wma")), 0);
  EXPECT_EQ(testsupport::ReadFile(dir.File("not.wma")), "RIFF....WAVEfmt ");
}

TEST_F(WmaEditor, DamagedHeadersAreRefusedOrRead) {
  const auto pcm = wmatest::SoxPcm(dir, 22050, 1, "synth 0.3 sine 440 vol 0.5");
  const std::string good = dir.File("good.wma");
  ASSERT_EQ(wmatest::WriteWma(good, pcm, 22050, 1, 32, 22050, 1), WM_OK);
  {
    Editor e;
    ASSERT_EQ(e.Open(good), WM_OK);
    ASSERT_EQ(e.SetText(u"Title", u"T"), WM_OK);
    ASSERT_EQ(e.SetText(u"WM/AlbumTitle", u"A"), WM_OK);
    ASSERT_EQ(e.editor->Close(), WM_OK);
  }
  const std::string data = testsupport::ReadFile(good);
  uint64_t headerSize = 0;
  std::memcpy(&headerSize, &data[16], 8);
  ASSERT_LT(headerSize, data.size());
  // Every byte of the Header Object in turn made large, and every cut: each
  // file opens or is refused, and whatever opens gives its attributes.
  const std::string damaged = dir.File("damaged.wma");
  int opened = 0;
  for (size_t at = 0; at < headerSize + 8; ++at) {
    for (int kind = 0; kind < 2; ++kind) {
      std::string bytes = kind == 0 ? data.substr(0, at) : data;
      if (kind == 1) bytes[at] = static_cast<char>(bytes[at] ^ 0xF0);
      ASSERT_TRUE(testsupport::WriteFile(damaged, bytes));
      Editor e;
      if (WmFailed(e.Open(damaged))) continue;
      ++opened;
      uint16_t count = 0;
      EXPECT_EQ(e.info->GetAttributeCount(0, &count), WM_OK);
      for (uint16_t i = 0; i < count; ++i) {
        uint16_t nameLength = 0, valueLength = 0;
        EXPECT_EQ(e.info->GetAttributeByIndex(i, nullptr, nullptr, &nameLength, nullptr, nullptr,
                                              &valueLength),
                  WM_OK);
      }
    }
  }
  EXPECT_GT(opened, 0);
}

}  // namespace
