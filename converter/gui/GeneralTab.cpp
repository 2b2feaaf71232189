#include "converter/gui/GeneralTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "utilities/strings/StringFile.h"

namespace {

QString Keyed(const char* key) { return QString::fromStdString(LoadKeyedString(key)); }

// Context help for a control, from its keyed text.
template <typename W>
W* Helped(W* widget, const char* helpKey, const char* name) {
  widget->setWhatsThis(Keyed(helpKey));
  widget->setObjectName(name);
  return widget;
}

QComboBox* List(const std::vector<std::string>& texts, const char* helpKey, const char* name) {
  auto* combo = Helped(new QComboBox, helpKey, name);
  for (const std::string& t : texts) combo->addItem(QString::fromStdString(t));
  return combo;
}

QCheckBox* Box(const char* key, const char* helpKey, const char* name) {
  return Helped(new QCheckBox(Keyed(key)), helpKey, name);
}

}  // namespace

CGeneralTab::CGeneralTab(CGeneralPage& page, QWidget* parent) : QWidget(parent), page_(page) {
  setObjectName("generalTab");
  setMinimumWidth(520);
  output_ = Helped(new QLineEdit, "OH_2", "outputFolder");
  temp_ = Helped(new QLineEdit, "OH_38", "tempFolder");
  auto* browseOutput = Helped(new QPushButton(Keyed("GP_Browse")), "OH_2", "browseOutput");
  auto* browseTemp = Helped(new QPushButton(Keyed("GP_Browse")), "OH_38", "browseTemp");
  auto* deleteTemp = Helped(new QPushButton(Keyed("GP_DeleteTemp")), "OH_39", "deleteTemp");
  playSound_ = Box("GP_PlaySound", "OH_4", "playSound");
  prompt_ = Box("GP_PromptOverwrite", "OH_5", "promptOverwrite");
  playlists_ = Box("GP_PlaylistsWithoutAsking", "OH_40", "playlists");
  errors_ = Box("GP_ShowErrors", "OH_6", "showErrors");
  normalize_ = Box("GP_Normalize", "OH_7", "normalize");
  trim_ = Box("GP_Trim", "OH_36", "trim");
  warn_ = Box("GP_WarnIncomplete", "OH_35", "warnIncomplete");
  open_ = Box("GP_OpenFolder", "OH_8", "openFolder");
  level_ = List(CGeneralPage::LevelTexts(), "OH_7", "level");
  threshold_ = List(CGeneralPage::ThresholdTexts(), "OH_35", "threshold");
  cpu_ = List(CGeneralPage::CpuTexts(), "OH_3", "cpu");
  parallel_ = List(CGeneralPage::ParallelTexts(), "OH_44", "parallel");
  gapless_ = Box("GP_GaplessMp3", "OH_45", "gaplessMp3");

  auto* folders = new QGridLayout;
  folders->addWidget(new QLabel(Keyed("GP_OutputFolder")), 0, 0);
  folders->addWidget(output_, 0, 1);
  folders->addWidget(browseOutput, 0, 2);
  folders->addWidget(new QLabel(Keyed("GP_TempFolder")), 1, 0);
  folders->addWidget(temp_, 1, 1);
  folders->addWidget(browseTemp, 1, 2);
  folders->addWidget(deleteTemp, 2, 1, 1, 2, Qt::AlignRight);
  folders->setColumnStretch(1, 1);
  auto* notice = new QLabel(QString::fromStdString(CGeneralPage::Notice()));
  notice->setWordWrap(true);
  notice->setObjectName("notice");

  auto row = [](QWidget* a, QWidget* b) {
    auto* r = new QHBoxLayout;
    r->addWidget(a);
    r->addWidget(b);
    r->addStretch(1);
    return r;
  };
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(folders);
  outer->addWidget(notice);
  outer->addLayout(row(normalize_, level_));
  outer->addWidget(trim_);
  outer->addLayout(row(warn_, threshold_));
  outer->addWidget(prompt_);
  outer->addWidget(playlists_);
  outer->addWidget(errors_);
  outer->addWidget(open_);
  outer->addWidget(playSound_);
  outer->addWidget(gapless_);
  outer->addLayout(row(new QLabel(Keyed("GP_Cpu")), cpu_));
  outer->addLayout(row(new QLabel(Keyed("GP_Parallel")), parallel_));
  outer->addStretch(1);

  connect(browseOutput, &QPushButton::clicked, this, [this] { Browse(output_, "IDS_SELECTDIR"); });
  connect(browseTemp, &QPushButton::clicked, this, [this] { Browse(temp_, "IDS_TEMPSELECTDIR"); });
  connect(deleteTemp, &QPushButton::clicked, this, [this] { page_.DeleteTemporaryFiles(); });
  connect(normalize_, &QCheckBox::toggled, this, [this](bool on) {
    page_.SetNormalize(on);
    level_->setEnabled(page_.LevelEnabled());
  });
  connect(warn_, &QCheckBox::toggled, this, [this](bool on) {
    page_.state.warnIncomplete = on;
    threshold_->setEnabled(page_.ThresholdEnabled());
  });
  Show();
}

void CGeneralTab::Show() {
  const TGeneralState& s = page_.state;
  output_->setText(QString::fromStdString(s.defaultDir));
  temp_->setText(QString::fromStdString(s.tempDir));
  for (auto [box, on] : {std::pair{playSound_, s.playSound},
                         {prompt_, s.promptForOverwrites},
                         {playlists_, s.convertPlaylistsWithoutPrompting},
                         {errors_, s.showErrorsAtEnd},
                         {trim_, s.trim},
                         {open_, s.openDecodeOnExit},
                         {gapless_, s.gaplessMp3}})
    box->setChecked(on);
  // Set without the toggles' side effects (the normalising notice).
  normalize_->blockSignals(true);
  normalize_->setChecked(s.normalize);
  normalize_->blockSignals(false);
  warn_->blockSignals(true);
  warn_->setChecked(s.warnIncomplete);
  warn_->blockSignals(false);
  level_->setCurrentIndex(s.levelIndex);
  threshold_->setCurrentIndex(s.thresholdIndex);
  cpu_->setCurrentIndex(s.cpuIndex);
  parallel_->setCurrentIndex(s.parallelIndex);
  level_->setEnabled(page_.LevelEnabled());
  threshold_->setEnabled(page_.ThresholdEnabled());
}

void CGeneralTab::Store() {
  TGeneralState& s = page_.state;
  s.defaultDir = output_->text().toStdString();
  s.tempDir = temp_->text().toStdString();
  s.playSound = playSound_->isChecked();
  s.promptForOverwrites = prompt_->isChecked();
  s.convertPlaylistsWithoutPrompting = playlists_->isChecked();
  s.showErrorsAtEnd = errors_->isChecked();
  s.normalize = normalize_->isChecked();
  s.trim = trim_->isChecked();
  s.warnIncomplete = warn_->isChecked();
  s.openDecodeOnExit = open_->isChecked();
  s.levelIndex = level_->currentIndex();
  s.thresholdIndex = threshold_->currentIndex();
  s.cpuIndex = cpu_->currentIndex();
  s.parallelIndex = parallel_->currentIndex();
  s.gaplessMp3 = gapless_->isChecked();
}

void CGeneralTab::Browse(QLineEdit* edit, const char* titleKey) {
  QString dir = QFileDialog::getExistingDirectory(this, Keyed(titleKey), edit->text());
  if (!dir.isEmpty()) edit->setText(dir + "/");
}
