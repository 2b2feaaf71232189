#include "converter/gui/ProgressWindow.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "converter/gui/Animation.h"
#include "converter/gui/LinkLabel.h"
#include "converter/gui/QtPrompter.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/Prompts.h"
#include "converter/ui/WindowPlacement.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

QString Keyed(const char* key, int max = 64) {
  return QString::fromStdString(LoadKeyedString(key).substr(0, max));
}

QLabel* PathLabel(const char* name) {
  auto* label = new QLabel;
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setMinimumWidth(420);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return label;
}

// A long path loses its middle rather than widening the window; the whole
// path is in the tool tip.
void SetPath(QLabel* label, const std::string& path) {
  QString full = QString::fromStdString(path);
  label->setToolTip(full);
  label->setProperty("fullText", full);
  label->setText(label->fontMetrics().elidedText(full, Qt::ElideMiddle, label->width()));
}

// Under Wayland a client can't place its windows.
bool CanPlaceWindows() { return QGuiApplication::platformName() != "wayland"; }

}  // namespace

CProgressWindow::CProgressWindow(CPreferences& preferences, CQtPrompter& prompter,
                                 IEngineServices* engine)
    : prefs_(preferences), prompter_(prompter), controller_(preferences, prompter, *this) {
  setObjectName("progressWindow");
  setWindowTitle(Keyed("ProgramName", 256));
  setAcceptDrops(true);
  controller_.SetEngine(engine);

  animation_ = new CAnimation;
  counter_ = new QLabel;
  counter_->setObjectName("counter");
  source_ = PathLabel("source");
  target_ = PathLabel("target");
  inProgress_ = new QLabel;
  inProgress_->setObjectName("inProgress");
  inProgress_->setTextFormat(Qt::PlainText);
  inProgress_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  inProgress_->hide();
  status_ = new QLabel;
  status_->setObjectName("status");
  bar_ = new QProgressBar;
  bar_->setObjectName("bar");
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  pause_ = new QPushButton(Keyed("IDS_PAUSE"));
  pause_->setObjectName("pause");
  options_ = new QPushButton(Keyed("CW_Options"));
  options_->setObjectName("options");
  help_ = new QPushButton(Keyed("CW_Help"));
  help_->setObjectName("help");
  cancel_ = new QPushButton(Keyed("Cancel"));
  cancel_->setObjectName("cancel");
  for (QPushButton* b : {pause_, options_, help_, cancel_}) b->setAutoDefault(false);
  link_ = new CLinkLabel(LoadKeyedString("CW_Link").substr(0, 511), FindHelpPage(kHelpContents));

  auto* names = new QGridLayout;
  names->addWidget(counter_, 0, 0, 1, 2);
  names->addWidget(new QLabel(Keyed("CW_From")), 1, 0);
  names->addWidget(source_, 1, 1);
  names->addWidget(new QLabel(Keyed("CW_To")), 2, 0);
  names->addWidget(target_, 2, 1);
  names->addWidget(inProgress_, 3, 1);
  names->setColumnStretch(1, 1);
  auto* top = new QHBoxLayout;
  top->addWidget(animation_, 0, Qt::AlignTop);
  top->addLayout(names, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(link_);
  buttons->addStretch(1);
  for (QPushButton* b : {pause_, options_, help_, cancel_}) buttons->addWidget(b);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top);
  outer->addWidget(bar_);
  outer->addWidget(status_);
  outer->addLayout(buttons);

  connect(pause_, &QPushButton::clicked, this, [this] { controller_.TogglePause(); });
  connect(options_, &QPushButton::clicked, this, [this] { controller_.Options(); });
  connect(help_, &QPushButton::clicked, this, [this] { ShowHelp(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
  connect(&poll_, &QTimer::timeout, this, &CProgressWindow::Poll);
  prompter_.SetOwner(this);
}

CProgressWindow::~CProgressWindow() { prompter_.SetOwner(nullptr); }

bool CProgressWindow::Begin(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
                            uint32_t nextEntry) {
  if (!controller_.Begin(queue, channel, nextEntry)) return false;
  ShowProgress(controller_.Texts());
  poll_.start(50);
  return true;
}

void CProgressWindow::Poll() {
  if (done_) return;
  if (!controller_.Step()) {
    done_ = true;
    poll_.stop();
    RememberPlace();
    done(QDialog::Accepted);
  }
}

void CProgressWindow::Wake() {
  QMetaObject::invokeMethod(this, &CProgressWindow::Poll, Qt::QueuedConnection);
}

void CProgressWindow::ShowNamed(const TNamedTarget& named) {
  counter_->setText(QString::fromStdString(
      LoadFormatted("CW_Progress", named.number, named.count).substr(0, 64)));
  SetPath(source_, named.source);
  SetPath(target_, named.target);
}

void CProgressWindow::ShowProgress(const TProgressTexts& t) {
  counter_->setText(QString::fromStdString(t.counter));
  if (!t.source.empty()) SetPath(source_, t.source);
  if (!t.target.empty()) SetPath(target_, t.target);
  QStringList lines;
  for (const TFileInProgress& f : t.inProgress)
    lines << QString::fromStdString(CProgressController::InProgressLine(f, t.jobs));
  inProgress_->setText(lines.join('\n'));
  inProgress_->setVisible(!lines.isEmpty());
  status_->setText(QString::fromStdString(t.status));
  bar_->setValue(t.barPosition);
  setWindowTitle(QString::fromStdString(t.title));
  pause_->setText(QString::fromStdString(t.pauseLabel));
  animation_->SetPaused(t.paused);
}

void CProgressWindow::ShowNotice(const std::string& text) {
  TPrompt p = MessagePrompt(kPromptInfo, text);
  prompter_.Ask(p);
}

QString CProgressWindow::CounterText() const { return counter_->text(); }
QString CProgressWindow::SourceText() const { return source_->property("fullText").toString(); }
QString CProgressWindow::TargetText() const { return target_->property("fullText").toString(); }
QString CProgressWindow::StatusLine() const { return status_->text(); }
int CProgressWindow::BarPosition() const { return bar_->value(); }

// Escape and Cancel run the Cancel command; the window closes once the run has ended.
void CProgressWindow::reject() {
  if (done_) return;
  controller_.Cancel();
  Poll();
}

void CProgressWindow::closeEvent(QCloseEvent* event) {
  if (done_) return;
  event->ignore();
  reject();
}

void CProgressWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CProgressWindow::ShowHelp() { ShowHelpOrSay(prompter_, kHelpProgress); }

// Only files on this machine can be converted.
void CProgressWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!event->mimeData()->hasUrls()) return;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) {
      event->acceptProposedAction();
      return;
    }
}

void CProgressWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  if (paths.empty()) return;
  event->acceptProposedAction();
  controller_.Drop(paths);
}

void CProgressWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!placed_) {
    placed_ = true;
    Place();
  }
}

void CProgressWindow::Place() {
  if (!CanPlaceWindows()) return;
  QScreen* main = QGuiApplication::primaryScreen();
  if (!main) return;
  auto rectOf = [](const QRect& r) { return TScreenRect{r.x(), r.y(), r.width(), r.height()}; };
  std::vector<TScreenRect> screens;
  for (QScreen* s : QGuiApplication::screens()) screens.push_back(rectOf(s->availableGeometry()));
  int32_t stored[2];
  bool have = prefs_.GetLastWindowPoint(stored);
  QRect frame = frameGeometry();
  int title = frame.height() - geometry().height();
  TWindowPoint p = PlaceWindow(have ? stored : nullptr, frame.width(), frame.height(),
                               title > 0 ? title : 30, screens, rectOf(main->availableGeometry()));
  move(p.x, p.y);
}

void CProgressWindow::RememberPlace() {
  if (!CanPlaceWindows()) return;
  prefs_.lastWindowPoint[0] = pos().x();
  prefs_.lastWindowPoint[1] = pos().y();
}
