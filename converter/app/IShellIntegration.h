// The file-manager integration: context-menu entries and file types.
#pragma once

#include <string>

class IShellIntegration {
 public:
  virtual ~IShellIntegration() = default;
  virtual int IsShellExtensionRegistered() = 0;
  virtual int RegisterShellExtension() = 0;
  virtual int UnregisterShellExtension() = 0;
  virtual int RemoveRightClickEntries() = 0;
  // Removes what earlier installations attached to a file type (".mp3").
  virtual int UnregisterExtension(const std::string& extension) = 0;
  // Removes the program's desktop launcher.
  virtual int RemoveDesktopLink() = 0;
};
