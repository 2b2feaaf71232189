// One of the converter's prompts as a modal dialog: the icon, the text (or a
// scrolling log), the notes, the box and one button per choice. exec()
// returns the identifier of the button that closed it; Escape and the close
// box give the prompt's escape button.
#pragma once

#include <QDialog>

#include "converter/ui/PromptModel.h"

class QCheckBox;
class IPrompter;

class CPromptDialog : public QDialog {
  Q_OBJECT

 public:
  CPromptDialog(TPrompt& prompt, IPrompter* helpOpener, QWidget* parent);

  // The widgets' object names, for tests and accessibility tools.
  static QString ButtonName(int id) { return QString("button%1").arg(id); }

  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Close(int id);

  TPrompt& prompt_;
  IPrompter* helpOpener_;
  QCheckBox* box_ = nullptr;
};
