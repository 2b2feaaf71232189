// The progress window: which file is converted from where to where, the
// overall bar, the status line, the title with the percentage, the
// animation, Pause, Options, Help and Cancel; files dropped on it join the
// run. A view over CProgressController, which it steps from its own timer;
// the worker reaches it only through a queued call.
#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "converter/ui/ProgressController.h"

class CAnimation;
class CLinkLabel;
class CQtPrompter;
class QLabel;
class QProgressBar;
class QPushButton;

class CProgressWindow : public QDialog, public IProgressView {
  Q_OBJECT

 public:
  CProgressWindow(CPreferences& preferences, CQtPrompter& prompter, IEngineServices* engine);
  ~CProgressWindow() override;

  CProgressController& Controller() { return controller_; }
  // Starts the run; false when it could not start (the message was shown).
  bool Begin(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel, uint32_t nextEntry);
  // The names the view shows, for tests.
  QString CounterText() const;
  QString SourceText() const;
  QString TargetText() const;
  QString StatusLine() const;
  int BarPosition() const;

  // IProgressView
  void ShowNamed(const TNamedTarget& named) override;
  void ShowProgress(const TProgressTexts& texts) override;
  void ShowNotice(const std::string& text) override;
  void Wake() override;

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Poll();
  void Place();
  void RememberPlace();
  void ShowHelp();

  CPreferences& prefs_;
  CQtPrompter& prompter_;
  CProgressController controller_;
  QTimer poll_;
  bool placed_ = false;
  bool done_ = false;
  CAnimation* animation_;
  QLabel* counter_;
  QLabel* source_;
  QLabel* target_;
  QLabel* inProgress_;  // each file, while several are converted at once
  QLabel* status_;
  QProgressBar* bar_;
  QPushButton* pause_;
  QPushButton* options_;
  QPushButton* help_;
  QPushButton* cancel_;
  CLinkLabel* link_;
};
