#include "shell/ActionFiles.h"

#include "shell/ActionText.h"
#include "shell/ShellMenu.h"
#include "utilities/strings/StringFile.h"

namespace shell {

namespace {

// The extensions and MIME types of the accepted kinds. ".pl" playlists share
// their extension with Perl scripts, so no MIME type stands for them; ".mp1"
// has no glob of its own in the shared MIME database.
const std::vector<std::string> kWavExtensions = {"wav"};
const std::vector<std::string> kOtherExtensions = {"mp3", "mp2", "mp1", "m3u", "pls", "pl", "wma"};
const std::vector<std::string> kWavMimeTypes = {"audio/x-wav"};
const std::vector<std::string> kOtherMimeTypes = {"audio/mpeg", "audio/mp2", "audio/x-ms-wma",
                                                  "audio/x-mpegurl", "audio/x-scpls"};

// Representative selections: several files, so the texts are the plural ones.
const std::vector<std::string> kWavSelection = {"/a.wav", "/b.wav"};
const std::vector<std::string> kOtherSelection = {"/a.mp3", "/b.mp3"};

constexpr const char* kSubmenuIds[] = {"wav", "mp3", "wma", "options"};

std::vector<std::string> Join(const std::vector<std::string>& a,
                              const std::vector<std::string>& b) {
  std::vector<std::string> out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

std::vector<std::string> ExtensionsOf(const TMenuAction& a) {
  if (a.forWav && a.forOthers) return Join(kOtherExtensions, kWavExtensions);
  return a.forWav ? kWavExtensions : kOtherExtensions;
}

std::vector<std::string> MimeTypesOf(const TMenuAction& a) {
  if (a.forWav && a.forOthers) return Join(kOtherMimeTypes, kWavMimeTypes);
  return a.forWav ? kWavMimeTypes : kOtherMimeTypes;
}

// Extensions in both cases, for file managers that compare them exactly.
std::vector<std::string> BothCases(const std::vector<std::string>& extensions) {
  std::vector<std::string> out;
  for (const std::string& e : extensions) {
    out.push_back(e);
    std::string upper = e;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out.push_back(upper);
  }
  return out;
}

// Command offsets as the helper's entry argument.
std::string Offset(int command) { return std::string(1, static_cast<char>('0' + command)); }

// Dolphin passes paths as arguments; Nemo and Caja put the selection into a
// command line that they split again, without quoting the names, so they get
// URIs, which hold no blanks or quotes, each in double quotes.
std::string PathCommand(const std::string& invokePath, int command) {
  return ExecCommand({invokePath, Offset(command), "--"}, {"%F"});
}

std::string UriCommand(const std::string& invokePath, int command) {
  return ExecCommand({invokePath, "--uris", Offset(command), "--"}, {"%U"});
}

std::string Line(const std::string& key, const std::string& value) {
  return key + "=" + value + "\n";
}

// Dolphin: one service menu per group of actions, since a file holds one
// set of MIME types and one submenu.
TGeneratedFile KdeServiceMenu(const std::string& path, const std::vector<const TMenuAction*>& group,
                              const std::string& submenu, const std::string& invokePath) {
  // No "_SEPARATOR_" before the options: it is no valid action name.
  std::string actions;
  for (const TMenuAction* a : group) actions += a->id + ";";
  std::string text = "[Desktop Entry]\n";
  text += Line("Type", "Service");
  text += Line("Name", "Sonoduct");
  text += Line("X-KDE-ServiceTypes", "KonqPopupMenu/Plugin");
  text += Line("MimeType", DesktopList(MimeTypesOf(*group.front())));
  text += Line("Actions", actions);
  text += Line("X-KDE-Priority", "TopLevel");
  if (!submenu.empty()) text += Line("X-KDE-Submenu", DesktopValue(submenu));
  for (const TMenuAction* a : group) {
    text += "\n[Desktop Action " + a->id + "]\n";
    text += Line("Name", DesktopValue(a->label));
    text += Line("Exec", DesktopValue(PathCommand(invokePath, a->command)));
  }
  // Dolphin runs service menus of the user's own folder only when executable.
  return {path, text, 0755};
}

TGeneratedFile NemoAction(const std::string& path, const TMenuAction& a,
                          const std::string& invokePath) {
  std::string text = "[Nemo Action]\n";
  text += Line("Active", "true");
  text += Line("Name", DesktopValue(a.inSubmenu ? a.flatLabel : a.label));
  text += Line("Comment", DesktopValue(a.help));
  text += Line("Exec", DesktopValue(UriCommand(invokePath, a.command)));
  text += Line("Selection", "notnone");
  text += Line("Extensions", DesktopList(BothCases(ExtensionsOf(a))));
  text += Line("Quote", "double");
  return {path, text, 0644};
}

TGeneratedFile CajaAction(const std::string& path, const TMenuAction& a,
                          const std::string& invokePath) {
  std::string text = "[Desktop Entry]\n";
  text += Line("Type", "Action");
  text += Line("Name", DesktopValue(a.label));
  text += Line("Tooltip", DesktopValue(a.help));
  text += Line("Profiles", "main;");
  text += "\n[X-Action-Profile main]\n";
  text += Line("Name", "Sonoduct");
  text += Line("Exec", DesktopValue(UriCommand(invokePath, a.command)));
  text += Line("MimeTypes", DesktopList(MimeTypesOf(a)));
  text += Line("SelectionCount", ">0");
  return {path, text, 0644};
}

TGeneratedFile CajaMenu(const std::string& path, const TMenuActions& menu,
                        const std::vector<const TMenuAction*>& items) {
  std::vector<std::string> ids;
  for (const TMenuAction* a : items) ids.push_back("sonoduct-" + a->id);
  std::string text = "[Desktop Entry]\n";
  text += Line("Type", "Menu");
  text += Line("Name", DesktopValue(menu.submenuLabel));
  text += Line("Tooltip", DesktopValue(menu.submenuHelp));
  text += Line("ItemsList", DesktopList(ids));
  return {path, text, 0644};
}

TGeneratedFile ApplicationEntry(const std::string& path, const std::string& programPath,
                                const std::string& stringsFile) {
  std::string text = "[Desktop Entry]\n";
  text += Line("Type", "Application");
  text += Line("Name", DesktopValue(LoadKeyedString("ProgramName", stringsFile.c_str())));
  text +=
      Line("Comment", DesktopValue(LoadKeyedString("IDS_DESKTOP_COMMENT", stringsFile.c_str())));
  text += Line("Exec", DesktopValue(ExecCommand({programPath}, {"%F"})));
  text += Line("Icon", "sonoduct");
  text += Line("Terminal", "false");
  text += Line("Categories", "AudioVideo;Audio;");
  text += Line("MimeType", DesktopList(SourceMimeTypes()));
  return {path, text, 0644};
}

std::string KdeFolder(const TIntegrationHomes& h) { return h.dataHome + "/kio/servicemenus/"; }
std::string NemoFolder(const TIntegrationHomes& h) { return h.dataHome + "/nemo/actions/"; }
std::string CajaFolder(const TIntegrationHomes& h) { return h.dataHome + "/file-manager/actions/"; }
std::string ApplicationPath(const TIntegrationHomes& h) {
  return h.dataHome + "/applications/sonoduct.desktop";
}

}  // namespace

std::vector<std::string> SourceMimeTypes() { return Join(kOtherMimeTypes, kWavMimeTypes); }

TMenuActions MenuActionsFor(const TTargetAvailability& availability,
                            const std::string& stringsFile) {
  TMenuActions out;
  const CShellMenu others = CShellMenu::Query(kOtherSelection, availability, stringsFile);
  const CShellMenu waves = CShellMenu::Query(kWavSelection, availability, stringsFile);
  const TShellMenuItem* submenu = others.Command(CShellMenu::kConvertSubmenu);
  out.submenuLabel = submenu ? submenu->label : std::string();
  out.submenuHelp = submenu ? submenu->help : std::string();

  auto addFirst = [&](const CShellMenu& menu, const char* id, bool wav) {
    const TShellMenuItem* item = menu.Command(CShellMenu::kConvertDefault);
    if (!item || !item->enabled) return;
    TMenuAction a;
    a.id = id;
    a.command = CShellMenu::kConvertDefault;
    a.label = a.flatLabel = item->label;
    a.help = item->help;
    a.forWav = wav;
    a.forOthers = !wav;
    out.actions.push_back(a);
  };
  addFirst(others, "convert", false);
  addFirst(waves, "convert-wav", true);

  for (int command = CShellMenu::kConvertWav; command <= CShellMenu::kOptions; ++command) {
    const TShellMenuItem* item = others.Command(command);
    if (!item || !item->enabled) continue;
    TMenuAction a;
    a.id = kSubmenuIds[command - CShellMenu::kConvertWav];
    a.command = command;
    a.label = item->label;
    a.flatLabel = others.FlatLabel(command);
    a.help = item->help;
    a.inSubmenu = true;
    a.forWav = a.forOthers = true;
    out.actions.push_back(a);
  }
  return out;
}

std::vector<TGeneratedFile> GenerateActionFiles(const TMenuActions& menu,
                                                const TIntegrationHomes& homes,
                                                const std::string& invokePath,
                                                const std::string& programPath,
                                                const std::string& stringsFile) {
  std::vector<TGeneratedFile> files;
  files.push_back(ApplicationEntry(ApplicationPath(homes), programPath, stringsFile));

  std::vector<const TMenuAction*> submenu;
  for (const TMenuAction& a : menu.actions) {
    if (a.inSubmenu) {
      submenu.push_back(&a);
      continue;
    }
    files.push_back(
        KdeServiceMenu(KdeFolder(homes) + "sonoduct-" + a.id + ".desktop", {&a}, "", invokePath));
  }
  if (!submenu.empty())
    files.push_back(KdeServiceMenu(KdeFolder(homes) + "sonoduct-convert-to.desktop", submenu,
                                   menu.submenuLabel, invokePath));

  for (const TMenuAction& a : menu.actions)
    files.push_back(
        NemoAction(NemoFolder(homes) + "sonoduct-" + a.id + ".nemo_action", a, invokePath));

  for (const TMenuAction& a : menu.actions)
    files.push_back(CajaAction(CajaFolder(homes) + "sonoduct-" + a.id + ".desktop", a, invokePath));
  if (!submenu.empty())
    files.push_back(CajaMenu(CajaFolder(homes) + "sonoduct-menu.desktop", menu, submenu));
  return files;
}

std::vector<std::string> AllActionFilePaths(const TIntegrationHomes& homes) {
  std::vector<std::string> ids = {"convert", "convert-wav"};
  ids.insert(ids.end(), std::begin(kSubmenuIds), std::end(kSubmenuIds));
  std::vector<std::string> paths = {ApplicationPath(homes)};
  for (const char* kde : {"convert", "convert-wav", "convert-to"})
    paths.push_back(KdeFolder(homes) + "sonoduct-" + kde + ".desktop");
  for (const std::string& id : ids)
    paths.push_back(NemoFolder(homes) + "sonoduct-" + id + ".nemo_action");
  for (const std::string& id : ids)
    paths.push_back(CajaFolder(homes) + "sonoduct-" + id + ".desktop");
  paths.push_back(CajaFolder(homes) + "sonoduct-menu.desktop");
  return paths;
}

std::string ThunarActionsPath(const TIntegrationHomes& homes) {
  return homes.configHome + "/Thunar/uca.xml";
}

std::vector<std::string> ThunarActionElements(const TMenuActions& menu,
                                              const std::string& invokePath) {
  std::vector<std::string> elements;
  for (const TMenuAction& a : menu.actions) {
    std::string patterns;
    for (const std::string& e : BothCases(ExtensionsOf(a))) {
      if (!patterns.empty()) patterns += ';';
      patterns += "*." + e;
    }
    std::string x = "<action>\n";
    x += "\t<icon></icon>\n";
    x += "\t<name>" + XmlText(a.label) + "</name>\n";
    x +=
        "\t<submenu>" + (a.inSubmenu ? XmlText(menu.submenuLabel) : std::string()) + "</submenu>\n";
    x += "\t<unique-id>" + std::string(kThunarIdPrefix) + a.id + "</unique-id>\n";
    // Thunar quotes each name it puts in for %F.
    x += "\t<command>" + XmlText(PathCommand(invokePath, a.command)) + "</command>\n";
    x += "\t<description>" + XmlText(a.help) + "</description>\n";
    x += "\t<range>*</range>\n";
    x += "\t<patterns>" + XmlText(patterns) + "</patterns>\n";
    // The patterns decide; playlists and ".pl" files are not audio types.
    x += "\t<audio-files/>\n\t<text-files/>\n\t<other-files/>\n";
    x += "</action>";
    elements.push_back(x);
  }
  return elements;
}

}  // namespace shell
