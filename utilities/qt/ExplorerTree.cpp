#include "utilities/qt/ExplorerTree.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/Log.h"

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDriveRootRole = Qt::UserRole + 1;

QIcon ImageIcon(const QStyle* style, TExplorerTreeImage image) {
  switch (image) {
    case kImageCDDrive:
      return style->standardIcon(QStyle::SP_DriveCDIcon);
    case kImageRemovableDrive:
      return style->standardIcon(QStyle::SP_DriveFDIcon);
    case kImageNetworkDrive:
      return style->standardIcon(QStyle::SP_DriveNetIcon);
    case kImageFolder:
      return style->standardIcon(QStyle::SP_DirClosedIcon);
    case kImageOpenFolder:
      return style->standardIcon(QStyle::SP_DirOpenIcon);
    case kImageFixedDrive:
      break;
  }
  return style->standardIcon(QStyle::SP_DriveHDIcon);
}

std::string PathOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, kPathRole).toString().toStdString() : std::string();
}

}  // namespace

CExplorerTree::CExplorerTree() = default;
CExplorerTree::~CExplorerTree() = default;

QWidget* CExplorerTree::hWnd() const { return tree_; }

bool CExplorerTree::Create(const TExplorerTreeProperties& properties) {
  properties_ = properties;
  Log("CExplorerTree::Create: entered");
  setParent(properties.parent);
  setObjectName(QString::fromStdString(properties.objectName));
  setGeometry(properties.left, properties.top, properties.right - properties.left + 1,
              properties.bottom - properties.top + 1);
  tree_ = new QTreeWidget(this);
  tree_->setObjectName(objectName() + "Tree");
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tree_);
  connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    // Read afresh on every opening; not while Load walks to the start.
    if (loaded_ && !PathOf(item).empty()) ExpandNode(item, std::string());
  });
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem* previous) {
            SelectionChanged(item, previous);
          });
  Load();
  if (properties.parent) show();
  Log("CExplorerTree::Create: exited");
  return true;
}

void CExplorerTree::Load() {
  Log("CExplorerTree::Load: entering");
  std::vector<TTreeDrive> drives = ExplorerTreeDrives(os::MountedDrives(), properties_.flags);
  std::string startRoot = StartRoot(properties_.startPath, drives);
  QTreeWidgetItem* start = nullptr;
  for (const TTreeDrive& drive : drives) {
    auto* item = new QTreeWidgetItem(tree_, {QString::fromStdString(drive.root)});
    item->setIcon(0, ImageIcon(style(), drive.image));
    item->setData(0, kPathRole, QString::fromStdString(drive.root));
    item->setData(0, kDriveRootRole, true);
    // A drive keeps its expand button until it is opened, and after.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (drive.root == startRoot) start = item;
  }
  if (start) ExpandToStartPosition(start, startRoot);
  loaded_ = true;
  Log("CExplorerTree::Load: exiting");
}

QTreeWidgetItem* CExplorerTree::ExpandNode(QTreeWidgetItem* parent, const std::string& name) {
  Log("CExplorerTree::ExpandNode: entering");
  std::string path = PathOf(parent);
  if (path.empty()) return nullptr;
  qDeleteAll(parent->takeChildren());
  Log("CExplorerTree::ExpandNode: deleted children");
  QTreeWidgetItem* found = nullptr;
  for (const std::string& folder : ExplorerTreeFolders(path)) {
    std::string full = ChildPath(path, folder);
    LogFmt("CExplorerTree::ExpandNode: looping, findStr = <%s>", full.c_str());
    auto* item = new QTreeWidgetItem(parent, {QString::fromStdString(folder)});
    item->setData(0, kPathRole, QString::fromStdString(full));
    item->setData(0, kDriveRootRole, false);
    item->setIcon(0, ImageIcon(style(), kImageFolder));
    item->setChildIndicatorPolicy(HasSubDirectories(full)
                                      ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (!found && !name.empty() && folder == name) found = item;
  }
  Log("CExplorerTree::ExpandNode: added subdirectories");
  // A folder that has lost its folders loses its button; a drive keeps it.
  if (!parent->data(0, kDriveRootRole).toBool())
    parent->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  Log("CExplorerTree::ExpandNode: exiting");
  return found;
}

void CExplorerTree::ExpandToStartPosition(QTreeWidgetItem* item, const std::string& root) {
  const std::string& start = properties_.startPath;
  std::vector<std::string> components = ComponentsBelow(start, root);
  if (start == root || components.empty()) {
    tree_->setCurrentItem(item);
    selection_ = PathOf(item);
    return;
  }
  Log("CExplorerTree::ExpandToStartPosition: entered");
  QTreeWidgetItem* current = item;
  QTreeWidgetItem* last = nullptr;
  for (const std::string& component : components) {
    QTreeWidgetItem* child = ExpandNode(current, component);
    if (!child) break;
    current->setExpanded(true);
    last = current = child;
  }
  // The deepest level that exists; the drive itself when none below does.
  tree_->setCurrentItem(current);
  tree_->scrollToItem(current);
  selection_ = PathOf(current);
  if (last) {
    tree_->setFocus();
    Report(last);
  }
  Log("CExplorerTree::ExpandToStartPosition: exiting");
}

void CExplorerTree::SelectionChanged(QTreeWidgetItem* item, QTreeWidgetItem* previous) {
  if (UseOpenFolderIcon()) {
    // The selected folder shows the open folder, the others the closed one.
    auto isFolder = [](QTreeWidgetItem* i) { return i && !i->data(0, kDriveRootRole).toBool(); };
    if (isFolder(previous)) previous->setIcon(0, ImageIcon(style(), kImageFolder));
    if (isFolder(item)) item->setIcon(0, ImageIcon(style(), kImageOpenFolder));
  }
  if (!loaded_) return;
  selection_ = PathOf(item);
  Report(item);
}

void CExplorerTree::Report(QTreeWidgetItem* item) {
  if (properties_.callback) properties_.callback(PathOf(item).c_str(), properties_.user);
}
