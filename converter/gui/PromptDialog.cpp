#include "converter/gui/PromptDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "converter/gui/ProgramIcon.h"
#include "converter/ui/IPrompter.h"
#include "converter/ui/Prompts.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s).remove('\r'); }

QStyle::StandardPixmap PixmapOf(TPromptIcon icon) {
  switch (icon) {
    case TPromptIcon::Information:
      return QStyle::SP_MessageBoxInformation;
    case TPromptIcon::Warning:
      return QStyle::SP_MessageBoxWarning;
    default:
      return QStyle::SP_MessageBoxQuestion;
  }
}

QLabel* TextLabel(const std::string& text, const char* name) {
  auto* label = new QLabel(Q(text));
  label->setObjectName(name);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

CPromptDialog::CPromptDialog(TPrompt& prompt, IPrompter* helpOpener, QWidget* parent)
    : QDialog(parent), prompt_(prompt), helpOpener_(helpOpener) {
  setWindowTitle(Q(prompt.title));
  setWindowIcon(ProgramIcon());
  setObjectName(QString("prompt%1").arg(prompt.resource));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  outer->addLayout(top);
  if (prompt.icon != TPromptIcon::None) {
    auto* icon = new QLabel;
    icon->setObjectName("icon");
    int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    if (prompt.icon == TPromptIcon::Program)
      icon->setPixmap(ProgramPixmap(2 * size));
    else
      icon->setPixmap(style()->standardIcon(PixmapOf(prompt.icon), nullptr, this).pixmap(size));
    icon->setAlignment(Qt::AlignTop);
    top->addWidget(icon);
  }
  auto* texts = new QVBoxLayout;
  top->addLayout(texts, 1);
  size_t firstNote = 0;
  if (prompt.logText) {
    // The note that introduces the log, the log, then the other notes.
    if (!prompt.notes.empty()) texts->addWidget(TextLabel(prompt.notes[0], "note0"));
    firstNote = 1;
    auto* log = new QPlainTextEdit(Q(prompt.text));
    log->setObjectName("text");
    log->setReadOnly(true);
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    log->setMinimumSize(480, 160);
    texts->addWidget(log);
  } else {
    QLabel* text = TextLabel(prompt.text, "text");
    text->setMinimumWidth(360);
    texts->addWidget(text);
  }
  for (size_t i = firstNote; i < prompt.notes.size(); ++i)
    texts->addWidget(TextLabel(prompt.notes[i], QString("note%1").arg(i).toUtf8().constData()));
  if (prompt.box != kBoxNone) {
    box_ = new QCheckBox(Q(prompt.boxLabel));
    box_->setObjectName("box");
    box_->setChecked(prompt.boxChecked);
    outer->addWidget(box_);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  outer->addLayout(buttons);
  for (const TPromptChoice& choice : prompt.choices) {
    auto* button = new QPushButton(Q(choice.label));
    button->setObjectName(ButtonName(choice.id));
    int id = choice.id;
    bool closes = choice.closes;
    button->setAutoDefault(false);
    if (id == prompt.defaultButton) {
      button->setDefault(true);
      button->setFocus();
    }
    connect(button, &QPushButton::clicked, this, [this, id, closes] {
      if (closes)
        Close(id);
      else if (prompt_.onAction)
        prompt_.onAction(id);
    });
    buttons->addWidget(button);
  }
  if (prompt.logText) setSizeGripEnabled(true);
}

void CPromptDialog::Close(int id) {
  if (box_) prompt_.boxChecked = box_->isChecked();
  done(id);
}

// Escape and the close box.
void CPromptDialog::reject() { Close(prompt_.escapeButton); }

void CPromptDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && !prompt_.helpPage.empty() && helpOpener_) {
    ShowHelpOrSay(*helpOpener_, prompt_.helpPage);
    return;
  }
  QDialog::keyPressEvent(event);
}
