#include "converter/gui/OptionsSheet.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "converter/gui/FormatTabs.h"
#include "converter/gui/GeneralTab.h"
#include "converter/gui/QtPrompter.h"
#include "converter/ui/Prompts.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {
QString Keyed(const char* key) { return QString::fromStdString(LoadKeyedString(key)); }

// The help page of each page, by page number.
std::string HelpAnchor(int page) {
  static const char* const kAnchors[] = {"options.html#wav", "options.html#mp3", "options.html#wma",
                                         "options.html#general"};
  return kAnchors[page];
}
}  // namespace

COptionsSheet::COptionsSheet(COptionsSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName("optionsSheet");
  setWindowTitle(QString::fromStdString(FormatKeyed("IDS_OPTIONS",
                                                    LoadKeyedString("IDS_OPTIONS").substr(0, 64),
                                                    {LoadKeyedString("ProgramName")})));
  setWindowFlag(Qt::WindowContextHelpButtonHint, true);
  tabs_ = new QTabWidget;
  tabs_->setObjectName("tabs");
  general_ = new CGeneralTab(session.General());
  tabs_->addTab(general_, Keyed("IDS_OPTIONS_GENERAL"));
  pages_.push_back(kPageGeneral);
  tabs_->addTab(new CWaveTab(session.Wave()), Keyed("IDS_OPTIONS_WAVE"));
  pages_.push_back(kPageWave);
  if (CMp3Page* mp3 = session.Mp3()) {
    tabs_->addTab(new CMp3Tab(*mp3), Keyed("IDS_OPTIONS_MP3"));
    pages_.push_back(kPageMp3);
  }
  tabs_->addTab(new CWmaTab(session.Wma()), Keyed("IDS_OPTIONS_WMA"));
  pages_.push_back(kPageWma);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                       QDialogButtonBox::Help);
  buttons->button(QDialogButtonBox::Ok)->setText(Keyed("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Keyed("Cancel"));
  buttons->button(QDialogButtonBox::Help)->setText(Keyed("CW_Help"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &COptionsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &COptionsSheet::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, &COptionsSheet::ShowHelp);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(tabs_);
  outer->addWidget(buttons);

  int start = 0;
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i] == session.StartPage()) start = static_cast<int>(i);
  tabs_->setCurrentIndex(start);
  PageShown(start);
  connect(tabs_, &QTabWidget::currentChanged, this, &COptionsSheet::PageShown);
}

void COptionsSheet::PageShown(int index) {
  if (index >= 0 && index < static_cast<int>(pages_.size())) session_.Visit(pages_[index]);
}

void COptionsSheet::accept() {
  general_->Store();
  bool ok = session_.Ok();
  general_->Show();  // a check may have put an old folder back
  if (ok) QDialog::accept();
}

void COptionsSheet::ShowHelp() {
  int index = tabs_->currentIndex();
  int page = index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[index] : kPageGeneral;
  ShowHelpOrSay(session_.Prompter(), HelpAnchor(page));
}

void COptionsSheet::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    ShowHelp();
    return;
  }
  QDialog::keyPressEvent(event);
}

CQtOptionsSheet::CQtOptionsSheet(CPreferences& preferences, CQtPrompter& prompter)
    : prefs_(preferences), prompter_(prompter) {}

int CQtOptionsSheet::ShowOptions() {
  COptionsSession session(prefs_, prompter_);
  COptionsSheet sheet(session, QApplication::activeWindow());
  sheet.exec();
  return 1;
}
