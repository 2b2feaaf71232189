// The Options sheet: one tab per page, OK and Cancel, Help, and context help
// on each control (the title bar's "?", or Shift+F1). A view over
// COptionsSession.
#pragma once

#include <QDialog>

#include "converter/app/IOptionsSheet.h"
#include "converter/options/OptionsSession.h"

class CGeneralTab;
class CQtPrompter;
class QTabWidget;

class COptionsSheet : public QDialog {
  Q_OBJECT

 public:
  COptionsSheet(COptionsSession& session, QWidget* parent = nullptr);

  QTabWidget* Tabs() { return tabs_; }
  void accept() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PageShown(int index);
  void ShowHelp();

  COptionsSession& session_;
  QTabWidget* tabs_;
  CGeneralTab* general_;
  std::vector<int> pages_;  // the page number of each tab
};

// The sheet as the program shows it, modally over the window in front.
class CQtOptionsSheet : public IOptionsSheet {
 public:
  CQtOptionsSheet(CPreferences& preferences, CQtPrompter& prompter);
  int ShowOptions() override;

 private:
  CPreferences& prefs_;
  CQtPrompter& prompter_;
};
