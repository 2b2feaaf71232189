// A folder browser for dialogs: a tree inside a holder widget of its own
// that lists the machine's drives (mount points) and, level by level as the
// user opens them, their folders, and reports every change of selection to
// a callback with the selected path. The folders of a level are read afresh
// each time it is opened.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

#include "utilities/ui/FolderTreeListing.h"

class QTreeWidget;
class QTreeWidgetItem;

struct TExplorerTreeProperties {
  QWidget* parent = nullptr;
  std::string objectName;  // of the holder; the tree is objectName + "Tree"
  uint32_t flags = 0;      // the kExplorerTree... bits
  // The control's rectangle in the parent, inclusive: width = right - left + 1.
  int left = 0, top = 0, right = 0, bottom = 0;
  void (*callback)(const char* path, unsigned long user) = nullptr;
  unsigned long user = 0;
  std::string startPath;
};

class CExplorerTree : public QWidget {
  Q_OBJECT

 public:
  CExplorerTree();
  ~CExplorerTree() override;

  bool Create(const TExplorerTreeProperties& properties);

  const char* CurrentSelection() const { return selection_.c_str(); }
  bool Loaded() const { return loaded_; }
  QWidget* hWnd() const;  // the tree, as TreehWnd
  QTreeWidget* TreehWnd() const { return tree_; }
  bool ShowNetworkDrives() const { return properties_.flags & kExplorerTreeNetworkDrives; }
  bool ShowRemovableDrives() const { return properties_.flags & kExplorerTreeRemovableDrives; }
  bool ShowCDDrives() const { return properties_.flags & kExplorerTreeCDDrives; }
  bool UseOpenFolderIcon() const { return properties_.flags & kExplorerTreeOpenFolderIcon; }

 private:
  void Load();
  // Lists parent's folders anew; the child named name, or null.
  QTreeWidgetItem* ExpandNode(QTreeWidgetItem* parent, const std::string& name);
  void ExpandToStartPosition(QTreeWidgetItem* item, const std::string& root);
  void SelectionChanged(QTreeWidgetItem* item, QTreeWidgetItem* previous);
  void Report(QTreeWidgetItem* item);

  TExplorerTreeProperties properties_;
  QTreeWidget* tree_ = nullptr;
  std::string selection_;
  bool loaded_ = false;
};
