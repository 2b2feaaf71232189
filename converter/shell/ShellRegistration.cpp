#include "converter/shell/ShellRegistration.h"

#include <strings.h>

#include <memory>

#include "converter/prefs/Preferences.h"
#include "platform/os/FileOps.h"
#include "platform/os/FileStatus.h"
#include "platform/os/UserDirectories.h"
#include "platform/registry/RegKey.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {

using Key = std::unique_ptr<CRegKey>;

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string Default(const CRegKey* key) {
  std::string value;
  if (key) key->GetKeyString("", value);
  return value;
}

std::string ClassKey() { return std::string("CLSID\\") + CShellRegistration::kClassId; }

std::string HandlerKey() { return shell::kMenuHandlerKey; }

// The names of a key's values, taken before anything changes them.
std::vector<std::string> ValueNames(const CRegKey& key) {
  std::vector<std::string> names;
  std::string name;
  for (int i = 0; key.EnumerateValues(i, name); ++i) names.push_back(name);
  return names;
}

}  // namespace

CShellRegistration::CShellRegistration(CPreferences& preferences, std::string program,
                                       std::string server, TUserIntegration files)
    : prefs_(preferences),
      program_(std::move(program)),
      server_(std::move(server)),
      files_(std::move(files)) {}

const std::vector<std::string>& CShellRegistration::Extensions() {
  static const std::vector<std::string> list = {".mp3", ".mp2", ".mp1", ".m3u",
                                                ".pls", ".pl",  ".wav", ".wma"};
  return list;
}

void CShellRegistration::Say(const std::string& line) const {
  if (say_) say_(line);
}

std::string CShellRegistration::Description() const {
  return FormatKeyed("%s Shell Extension", "%s Shell Extension", {LoadKeyedString("ProgramName")});
}

bool CShellRegistration::CheckExtension(const std::string& extension) {
  CRegKey root(HKEY_CLASSES_ROOT);
  if (!root.KeyExists(extension.c_str())) return false;
  if (extension != "*") return true;
  Key handler(root.GetSubKey(HandlerKey().c_str()));
  return SameText(Default(handler.get()), kClassId);
}

// The menu offers the targets the store names as available; this run's
// findings are stored first, so that the menu and its check see them.
void CShellRegistration::StoreAvailableTargets() {
  if (prefs_.Loaded()) prefs_.SaveChanged(HKEY_CURRENT_USER);
}

int CShellRegistration::IsShellExtensionRegistered() {
  StoreAvailableTargets();
  CRegKey root(HKEY_CLASSES_ROOT);
  Key cls(root.GetSubKey(ClassKey().c_str()));
  Key server(root.GetSubKey((ClassKey() + "\\InProcServer32").c_str()));
  if (!cls || !server) return 0;
  std::string model;
  server->GetKeyString("ThreadingModel", model);
  if (!SameText(Default(server.get()), server_) || !SameText(model, "Apartment") ||
      !SameText(Default(cls.get()), Description()))
    return 0;
  for (const std::string& ext : Extensions())
    if (!CheckExtension(ext)) return 0;
  if (!CheckExtension("*")) return 0;
  // The menu's files must be there too, naming this program.
  return !files_.installed || files_.installed(program_) ? 1 : 0;
}

bool CShellRegistration::MakeFileType(CRegKey& root) {
  Key type(root.CreateSubKey(kFileType));
  Key icon(root.CreateSubKey((std::string(kFileType) + "\\DefaultIcon").c_str()));
  if (!type || !icon) return false;
  std::string description = LoadKeyedString("IDS_CONVERTIBLE_FILE_FORMAT").substr(0, 256);
  return type->SetKeyString("", description.c_str()) &&
         icon->SetKeyString("", (program_ + ",0").c_str());
}

bool CShellRegistration::RegisterExtension(const std::string& extension) {
  CRegKey root(HKEY_CLASSES_ROOT);
  Key key(root.CreateSubKey(extension.c_str()));
  if (!key) return false;
  if (extension == "*") {
    Key handler(root.CreateSubKey(HandlerKey().c_str()));
    return handler && handler->SetKeyString("", kClassId);
  }
  if (Default(key.get()).empty() && !key->SetKeyString("", kFileType)) return false;
  // A reference to a type that no longer exists, left by us or by an older
  // player, is pointed at our type; references to other types stay.
  std::string plain = extension.substr(1);
  for (const std::string& name : ValueNames(*key)) {
    std::string data;
    if (!key->GetKeyString(name.c_str(), data) || data.empty() || root.KeyExists(data.c_str()))
      continue;
    if (!SameText(data, "Winamp.File") && !SameText(data, plain + "_auto_file") &&
        !SameText(data, kFileType))
      continue;
    if (!key->SetKeyString(name.c_str(), kFileType)) return false;
    if (!root.KeyExists(kFileType) && !MakeFileType(root)) return false;
  }
  return true;
}

int CShellRegistration::RegisterShellExtension() {
  StoreAvailableTargets();
  CRegKey root(HKEY_CLASSES_ROOT);
  Key cls(root.CreateSubKey(ClassKey().c_str()));
  Key server(root.CreateSubKey((ClassKey() + "\\InProcServer32").c_str()));
  bool ok = cls && server && cls->SetKeyString("", Description().c_str());
  ok = ok && !server_.empty() && server->SetKeyString("", server_.c_str()) &&
       server->SetKeyString("ThreadingModel", "Apartment");
  for (const std::string& ext : Extensions()) ok = RegisterExtension(ext) && ok;
  ok = RegisterExtension("*") && ok;
  std::vector<std::string> written;
  if (files_.install) ok = files_.install(program_, &written) && ok;
  for (const std::string& f : written) Say(LoadFormatted("SR_Written", f));
  Say(LoadKeyedString(ok ? "SR_Registered" : "SR_RegisterFailed"));
  return ok ? 1 : 0;
}

int CShellRegistration::UnregisterExtension(const std::string& extension) {
  CRegKey root(HKEY_CLASSES_ROOT);
  Key key(root.GetSubKey(extension.c_str()));
  if (!key) return 0;
  bool any = false;
  if (extension == "*") return root.DeleteSubKeys(HandlerKey().c_str()) ? 1 : 0;
  // The values are collected first: deleting while walking them would skip some.
  for (const std::string& name : ValueNames(*key)) {
    std::string type;
    if (!key->GetKeyString(name.c_str(), type) || type.empty()) continue;
    Key typeKey(root.GetSubKey(type.c_str()));
    if (typeKey) {
      if (typeKey->KeyExists((std::string("shell\\") + kOldVerb).c_str()))
        any = typeKey->DeleteSubKeys((std::string("shell\\") + kOldVerb).c_str()) || any;
      std::string handler = std::string("shellex\\ContextMenuHandlers\\") + kHandler;
      if (typeKey->KeyExists(handler.c_str())) any = typeKey->DeleteSubKeys(handler.c_str()) || any;
    } else {
      any = true;  // a type that no longer exists holds nothing of ours
    }
    if (type == kFileType) {
      if (root.KeyExists(kFileType)) any = root.DeleteSubKeys(kFileType) || any;
      any = key->DeleteRegValue(name.c_str()) || any;
    }
  }
  return any ? 1 : 0;
}

int CShellRegistration::UnregisterShellExtension() {
  bool any = false;
  std::vector<std::string> all = Extensions();
  all.push_back(".mpg");
  all.push_back("*");
  for (const std::string& ext : all) any = UnregisterExtension(ext) || any;
  CRegKey root(HKEY_CLASSES_ROOT);
  if (root.KeyExists(ClassKey().c_str())) any = root.DeleteSubKeys(ClassKey().c_str()) || any;
  std::vector<std::string> removed;
  if (files_.remove) any = files_.remove(&removed) || any;
  for (const std::string& f : removed) Say(LoadFormatted("SR_Removed", f));
  Say(LoadKeyedString("SR_Unregistered"));
  return any ? 1 : 0;
}

int CShellRegistration::RemoveRightClickEntries() {
  CRegKey root(HKEY_CLASSES_ROOT);
  bool ok = true;
  for (int i = 0; i < prefs_.NumRightClickEntries(); ++i) {
    const std::string& path = prefs_.RightClickEntry(i);
    size_t slash = path.rfind('\\');
    std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    if (leaf.empty()) continue;  // nothing to remove there
    Key key(parent.empty() ? nullptr : root.GetSubKey(parent.c_str()));
    CRegKey* from = parent.empty() ? &root : key.get();
    if (from && from->KeyExists(leaf.c_str())) ok = from->DeleteSubKeys(leaf.c_str()) && ok;
  }
  prefs_.ClearRightClickEntries();
  return ok ? 1 : 0;
}

// Earlier installations may have left a launcher on the desktop.
int CShellRegistration::RemoveDesktopLink() {
  std::string desktop = os::DesktopDirectory();
  if (desktop.empty()) return 1;
  std::string link = desktop + "/Sonoduct Converter.desktop";
  if (os::PathExists(link)) return os::RemoveFile(link) ? 1 : 0;
  return 1;
}
