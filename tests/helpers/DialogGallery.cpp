// Shows each prompt dialog with sample texts and each page of the Options
// sheet, and writes a PNG of each into the folder given, for people to look
// at: dialog_gallery OUTDIR. It is built beside the program and reads the
// settings of the home it runs in.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <string>

#include "converter/app/EngineServices.h"
#include "converter/gui/OptionsSheet.h"
#include "converter/gui/PlaylistDialog.h"
#include "converter/gui/PromptDialog.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/Prompts.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

// The sheet's pages ask nothing while they are photographed.
class CPendingPrompter : public IPrompter {
 public:
  int Ask(TPrompt& prompt) override { return prompt.safeAnswer; }
  bool ChoosePlaylist(CPlaylistChoice&) override { return false; }
  int OpenFolder(const std::string&) override { return 0; }
  int ShowHelp(const std::string&) override { return 0; }
};

// A 16-bit stereo WAV of silence, frames long.
void WriteSilence(const std::string& path, uint32_t frames) {
  uint32_t data = frames * 4;
  auto le32 = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  std::string header = "RIFF" + le32(36 + data) + "WAVEfmt " + le32(16) + std::string{1, 0, 2, 0} +
                       le32(44100) + le32(44100 * 4) + std::string{4, 0, 16, 0} + "data" +
                       le32(data);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(header.data(), 1, header.size(), f);
  std::string zeros(data, '\0');
  std::fwrite(zeros.data(), 1, zeros.size(), f);
  std::fclose(f);
}

struct Sample {
  const char* file;
  TPrompt prompt;
};

bool Save(QWidget& w, const QString& path) {
  w.show();
  w.adjustSize();
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  bool ok = w.grab().save(path, "PNG");
  w.hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog_gallery OUTDIR\n");
    return 2;
  }
  QDir out(argv[1]);
  // Beside the program, the gallery finds what the program finds: both strings
  // files and the encoder libraries, whose lists the Options pages show.
  CEngineServices engine;
  engine.SoundEngineStartup();
  std::string strings = FindStringsFile("sonoduct-strings.ini");
  SetStringFile(strings.c_str());
  const std::string song = "/home/ana/Music/Album/03 - A Song With A Long Name.mp3";
  const std::string target = "/home/ana/Music/Sonoduct/03 - A Song With A Long Name.wav";
  TPrompt details = BuildPrompt(
      kPromptErrorDetails,
      LoadFormatted("AFE_EMPTY_FILE", std::string("/home/ana/Music/empty.wav")) + "\r\n" +
          LoadFormatted("AFE_UNHANDLED_FILE_TYPE", std::string("/home/ana/Music/notes.txt")) +
          "\r\n" + LoadFormatted("AFE_FILE_NOT_FOUND", std::string("/home/ana/Music/gone.mp3")));
  details.title = LoadFormatted("CED_Title", 3);
  TPrompt cancel;
  cancel.title = LoadKeyedString("CW_CancelQTitle");
  cancel.text = LoadKeyedString("CW_CancelQ");
  cancel.choices = {{kButtonYes, LoadKeyedString("Yes")},
                    {kButtonSkip, LoadKeyedString("No")},
                    {kButtonCancel, LoadKeyedString("Cancel")}};
  cancel.defaultButton = kButtonSkip;
  Sample samples[] = {
      {"overwrite.png",
       BuildPrompt(kPromptOverwrite,
                   LoadFormatted("CW_Overwrite", target, std::string(" 9 Dec 2026, 10:14")))},
      {"silent.png", BuildPrompt(kPromptSilent, LoadFormatted("CW_TrimAll", song))},
      {"partial.png", BuildPrompt(kPromptPartial, LoadFormatted("CW_WarnIncomplete", song))},
      {"diskfull.png", BuildPrompt(kPromptDiskFull, "")},
      {"howto.png", BuildPrompt(kPromptHowTo, "")},
      {"opendecode.png", BuildPrompt(kPromptOpenDecode, "")},
      {"errorlog.png", details},
      {"info.png", MessagePrompt(kPromptInfo, LoadKeyedString("IDS_OPTIONS_RECONVERT"))},
      {"error.png", MessagePrompt(kPromptError, LoadKeyedString("IDS_CONVERSION_START_FAIL"))},
      {"wavetowave.png", WaveToWavePrompt(song)},
      {"cancel.png", cancel},
  };
  int failed = 0;
  for (Sample& s : samples) {
    CPromptDialog dialog(s.prompt, nullptr, nullptr);
    if (!Save(dialog, out.filePath(s.file))) {
      std::fprintf(stderr, "dialog_gallery: %s not written\n", s.file);
      ++failed;
    }
  }
  // The Options sheet, one picture per page, with the default settings.
  CPreferences prefs;
  prefs.Load();
  CPendingPrompter prompter;
  COptionsSession session(prefs, prompter);
  COptionsSheet sheet(session);
  for (int i = 0; i < sheet.Tabs()->count(); ++i) {
    sheet.Tabs()->setCurrentIndex(i);
    QString name = "options-" + sheet.Tabs()->tabText(i).toLower() + ".png";
    if (!Save(sheet, out.filePath(name))) {
      std::fprintf(stderr, "dialog_gallery: %s not written\n", name.toUtf8().constData());
      ++failed;
    }
  }
  // The playlist dialog over short WAV files made for it; the fourth entry is missing.
  QTemporaryDir party;
  std::vector<std::string> entries;
  for (int i = 1; i <= 14; ++i) {
    std::string name = party.filePath(QString("%1 - Track %1.wav").arg(i)).toStdString();
    if (i != 4) WriteSilence(name, 44100 * (20 + i));
    entries.push_back(name);
  }
  CPlaylistChoice choice(party.filePath("party.m3u").toStdString(), 0, entries, prefs);
  CPlaylistDialog playlist(choice);
  if (!Save(playlist, out.filePath("playlist.png"))) {
    std::fprintf(stderr, "dialog_gallery: playlist.png not written\n");
    ++failed;
  }
  return failed ? 1 : 0;
}
