// The General page of the Options sheet: a view over CGeneralPage.
#pragma once

#include <QWidget>

#include "converter/options/GeneralPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class CGeneralTab : public QWidget {
  Q_OBJECT

 public:
  explicit CGeneralTab(CGeneralPage& page, QWidget* parent = nullptr);
  // Copies what the controls show into the page's state.
  void Store();
  // Shows the page's state (after a check put an old folder back).
  void Show();

 private:
  void Browse(QLineEdit* edit, const char* titleKey);

  CGeneralPage& page_;
  QLineEdit* output_;
  QLineEdit* temp_;
  QCheckBox *playSound_, *prompt_, *playlists_, *errors_, *normalize_, *trim_, *warn_, *open_,
      *gapless_;
  QComboBox *level_, *threshold_, *cpu_, *parallel_;
};
