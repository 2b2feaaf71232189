// The file-manager integration's registration: the keys of the class store
// (HKEY_CLASSES_ROOT) that name the context-menu handler and our file type,
// and the per-user files through which each file manager shows the menu.
// Checking, registering and removing touch only what is ours.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "converter/app/IShellIntegration.h"
#include "shell/ShellServer.h"

class CPreferences;
class CRegKey;

// The per-user files of the menu (application entry, action files), done
// by the shell library; a seam so that tests of the keys need none.
struct TUserIntegration {
  std::function<bool(const std::string& program, std::vector<std::string>* written)> install;
  std::function<bool(std::vector<std::string>* removed)> remove;
  std::function<bool(const std::string& program)> installed;
};

class CShellRegistration : public IShellIntegration {
 public:
  static constexpr const char* kClassId = shell::kShellClassId;
  static constexpr const char* kFileType = "SONODUCT.FILE";
  static constexpr const char* kOldVerb = "SONODUCT";
  static constexpr const char* kHandler = "SonoShellMenu";

  // program: the converter's absolute path; server: the menu library's.
  CShellRegistration(CPreferences& preferences, std::string program, std::string server,
                     TUserIntegration files);

  // Lines saying what was done, for the terminal.
  void SetReport(std::function<void(const std::string&)> say) { say_ = std::move(say); }

  int IsShellExtensionRegistered() override;
  int RegisterShellExtension() override;
  int UnregisterShellExtension() override;
  int RemoveRightClickEntries() override;
  int UnregisterExtension(const std::string& extension) override;
  int RemoveDesktopLink() override;

  // The extensions handled, in order.
  static const std::vector<std::string>& Extensions();

 private:
  bool CheckExtension(const std::string& extension);
  bool RegisterExtension(const std::string& extension);
  bool MakeFileType(CRegKey& root);
  std::string Description() const;
  void StoreAvailableTargets();
  void Say(const std::string& line) const;

  CPreferences& prefs_;
  std::string program_, server_;
  TUserIntegration files_;
  std::function<void(const std::string&)> say_;
};
