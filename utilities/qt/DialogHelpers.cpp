#include "utilities/qt/DialogHelpers.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstring>

#include "utilities/ui/FileFilterList.h"
#include "utilities/ui/WindowGeometry.h"

namespace {

// The widget's outer rectangle on the desktop: a window with its frame.
TWindowBox DesktopBox(const QWidget* widget) {
  QRect r = widget->isWindow() ? widget->frameGeometry()
                               : QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
  return {r.x(), r.y(), r.width(), r.height()};
}

template <typename Apply>
void ForNamedControls(QWidget* dialog, const char* const* names, int count, Apply apply) {
  if (dialog == nullptr || names == nullptr) return;
  for (int i = 0; i < count; ++i) {
    if (names[i] == nullptr) continue;
    if (auto* control = dialog->findChild<QWidget*>(QString::fromUtf8(names[i]))) apply(control);
  }
}

bool Fits(const QString& text, unsigned long size) {
  QByteArray bytes = text.toUtf8();
  return static_cast<unsigned long>(bytes.size()) < size;
}

}  // namespace

void CenterWindow(QWidget* window, QWidget* over) {
  if (window == nullptr) return;
  if (over == nullptr) over = window->parentWidget() ? window->parentWidget()->window() : window;
  QRect screen = (window->screen() ? window->screen() : over->screen())->geometry();
  TWindowBox box = DesktopBox(window);
  TWindowOrigin at = CentredOrigin(box.width, box.height, DesktopBox(over),
                                   {screen.x(), screen.y(), screen.width(), screen.height()});
  QPoint pos(at.x, at.y);
  window->move(window->isWindow() ? pos : window->parentWidget()->mapFromGlobal(pos));
}

int DoStandardFileDialog(QWidget* owner, const char* filter, char* file, unsigned long fileSize,
                         int open, char* fileTitle, const char* initialDir, const char* title,
                         const char* defaultExt, unsigned* filterIndex) {
  if (file == nullptr || fileSize == 0) return 0;
  QFileDialog dialog(owner, title ? QString::fromUtf8(title) : QString(),
                     initialDir ? QString::fromUtf8(initialDir) : QString());
  dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  QStringList nameFilters;
  for (const TFileFilter& f : ParseFilterList(filter))
    nameFilters << QString::fromStdString(NameFilterText(f));
  if (!nameFilters.isEmpty()) {
    dialog.setNameFilters(nameFilters);
    if (filterIndex && *filterIndex >= 1 && *filterIndex <= unsigned(nameFilters.size()))
      dialog.selectNameFilter(nameFilters[*filterIndex - 1]);
  }
  if (defaultExt && *defaultExt)
    dialog.setDefaultSuffix(QString::fromUtf8(defaultExt + (*defaultExt == '.' ? 1 : 0)));
  if (*file) dialog.selectFile(QString::fromUtf8(file));
  // Once the dialog is up and has its size.
  QTimer::singleShot(0, &dialog, [&dialog, owner] { CenterWindow(&dialog, owner); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;

  QString chosen = dialog.selectedFiles().first();
  QString name = QFileInfo(chosen).fileName();
  if (!Fits(chosen, fileSize) || (fileTitle && !Fits(name, fileSize))) return 0;
  std::strcpy(file, chosen.toUtf8().constData());
  if (fileTitle) std::strcpy(fileTitle, name.toUtf8().constData());
  if (filterIndex && !nameFilters.isEmpty())
    *filterIndex = unsigned(nameFilters.indexOf(dialog.selectedNameFilter()) + 1);
  return 1;
}

void EnableZeControls(QWidget* dialog, const char* const* names, int count, int enable) {
  ForNamedControls(dialog, names, count, [enable](QWidget* c) { c->setEnabled(enable != 0); });
}

void ShowZeControls(QWidget* dialog, const char* const* names, int count, int show) {
  ForNamedControls(dialog, names, count, [show](QWidget* c) { c->setVisible(show != 0); });
}

int MouseOverDialogControl(QWidget* dialog, const char* name, QPoint point) {
  if (dialog == nullptr || name == nullptr) return 0;
  auto* control = dialog->findChild<QWidget*>(QString::fromUtf8(name));
  if (control == nullptr) return 0;
  QPoint at = control->mapTo(dialog, QPoint(0, 0));
  return BoxContains({at.x(), at.y(), control->width(), control->height()}, point.x(), point.y());
}
