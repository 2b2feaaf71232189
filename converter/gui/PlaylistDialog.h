// The playlist's entries to choose from: ten rows a page with a box each,
// the previous and next pages, check all and none, the space needed and
// free, the number to convert, and the do-not-ask-again box. A view over
// CPlaylistChoice.
#pragma once

#include <QDialog>

#include "converter/ui/PlaylistChoice.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class CPlaylistDialog : public QDialog {
  Q_OBJECT

 public:
  CPlaylistDialog(CPlaylistChoice& choice, QWidget* parent = nullptr);
  void accept() override;

 private:
  void Show();
  void RowChanged(QListWidgetItem* item);

  CPlaylistChoice& choice_;
  QListWidget* rows_;
  QPushButton *back_, *on_;
  QLabel *required_, *available_, *count_;
  QCheckBox* dontAsk_;
  bool showing_ = false;
};
