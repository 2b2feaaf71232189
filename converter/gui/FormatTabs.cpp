#include "converter/gui/FormatTabs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "converter/gui/LinkLabel.h"
#include "converter/options/Mp3AdvancedPage.h"
#include "converter/options/Mp3Page.h"
#include "converter/options/WavePage.h"
#include "converter/options/WmaPage.h"
#include "engine/base/TonalisStrings.h"
#include "utilities/strings/StringFile.h"

namespace {

// The converter's own texts, and the engine's (the format pages share them).
QString Keyed(const char* key) { return QString::fromStdString(LoadKeyedString(key)); }
QString Engine(const char* key) {
  char text[512] = {0};
  TonalisLoadString(key, text, sizeof text);
  return QString::fromUtf8(text);
}

template <typename W>
W* Named(W* widget, const char* name, const char* helpKey = nullptr) {
  widget->setObjectName(name);
  if (helpKey) widget->setWhatsThis(Keyed(helpKey));
  return widget;
}

QLabel* Wrapped(QLabel* label) {
  label->setWordWrap(true);
  return label;
}

QSlider* Slider(const char* name, const char* helpKey) {
  auto* s = Named(new QSlider(Qt::Horizontal), name, helpKey);
  s->setTickPosition(QSlider::TicksBelow);
  s->setPageStep(1);
  return s;
}

// A slider between its two end texts.
QHBoxLayout* Ends(const QString& left, QSlider* slider, const QString& right) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(left));
  row->addWidget(slider, 1);
  row->addWidget(new QLabel(right));
  return row;
}

}  // namespace

CWaveTab::CWaveTab(CWavePage& page, QWidget* parent) : QWidget(parent) {
  setObjectName("waveTab");
  auto* cd = Named(new QRadioButton(Keyed("IDS_CD_QUALITY")), "cdQuality", "OH_25");
  auto* why = Wrapped(new QLabel(Keyed("IDS_WHY_CD_QUALITY")));
  auto* align = Named(new QCheckBox(Keyed("IDS_CD_BLOCK_ALIGN")), "blockAlign", "OH_37");
  auto* best = Named(new QRadioButton(Keyed("IDS_MOST_NATURAL")), "bestSuited", "OH_26");
  auto* whyBest = Wrapped(new QLabel(Keyed("IDS_WHY_BEST_SUITED")));
  auto* own = Named(new QRadioButton(Keyed("IDS_USER_SPECIFIED")), "userSettings", "OH_27");
  auto* rate = Named(new QComboBox, "rate", "OH_30");
  auto* stereo = Named(new QRadioButton(Keyed("IDS_STEREO")), "stereo", "OH_32");
  auto* mono = Named(new QRadioButton(Keyed("IDS_MONO")), "mono", "OH_32");
  auto* bits16 = Named(new QRadioButton("16"), "bits16", "OH_31");
  auto* bits8 = Named(new QRadioButton("8"), "bits8", "OH_31");
  for (QRadioButton* r : {stereo, mono, bits16, bits8}) r->setAutoExclusive(false);
  auto* modes = new QButtonGroup(this);
  modes->addButton(stereo);
  modes->addButton(mono);
  auto* bits = new QButtonGroup(this);
  bits->addButton(bits16);
  bits->addButton(bits8);

  auto* settings = new QFormLayout;
  settings->addRow(Keyed("IDS_SAMPLERATE"), rate);
  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(stereo);
  modeRow->addWidget(mono);
  modeRow->addStretch(1);
  settings->addRow(Keyed("IDS_MODE"), modeRow);
  auto* bitsRow = new QHBoxLayout;
  bitsRow->addWidget(bits16);
  bitsRow->addWidget(bits8);
  bitsRow->addStretch(1);
  settings->addRow(Keyed("IDS_BITSPERSAMPLE"), bitsRow);
  settings->setContentsMargins(24, 0, 0, 0);
  for (QWidget* w :
       {static_cast<QWidget*>(why), static_cast<QWidget*>(whyBest), static_cast<QWidget*>(align)})
    w->setContentsMargins(24, 0, 0, 0);

  auto* outer = new QVBoxLayout(this);
  outer->addWidget(cd);
  outer->addWidget(why);
  outer->addWidget(align);
  outer->addWidget(best);
  outer->addWidget(whyBest);
  outer->addWidget(own);
  outer->addLayout(settings);
  outer->addStretch(1);

  auto quality = [&page] { page.QualityChanged(); };
  binder_.Bind(cd, &page.cdQuality, quality);
  binder_.Bind(best, &page.bestSuited, quality);
  binder_.Bind(own, &page.userSettings, quality);
  binder_.Bind(align, &page.blockAlign);
  binder_.Bind(rate, &page.rate);
  binder_.Bind(stereo, &page.stereo);
  binder_.Bind(mono, &page.mono);
  binder_.Bind(bits16, &page.bits16);
  binder_.Bind(bits8, &page.bits8);
  binder_.Follow(align, &page.cdQuality.checked);
  binder_.Refresh();
}

CMp3Tab::CMp3Tab(CMp3Page& page, QWidget* parent) : QWidget(parent), page_(page) {
  setObjectName("mp3Tab");
  auto* encoder = Named(new QComboBox, "encoder", "OH_21");
  auto* usePreset = Named(new QRadioButton(Keyed("IDS_PRESET_QUALITY")), "usePreset", "OH_22");
  auto* slider = Slider("preset", "OH_22");
  auto* name = Named(new QLabel, "presetName");
  auto* text = Wrapped(Named(new QLabel, "presetText"));
  auto* own = Named(new QRadioButton(Keyed("IDS_USER_SPECIFIED")), "ownSettings", "OH_23");
  auto* advanced = Named(new QPushButton(Keyed("IDS_ADVANCED")), "advanced", "OH_23");
  auto* settings = Wrapped(Named(new QLabel, "settingsText"));
  auto* maximums = Named(new QCheckBox(Keyed("IDS_USER_MAXIMUMS")), "userMaximums", "OH_24");
  auto* tag = Named(new QComboBox, "tag", "OH_11");
  auto* thanks = new CLinkLabel(LoadKeyedString("OW_LameThanks"), "https://lame.sourceforge.io/");
  thanks->setWhatsThis(Keyed("OH_29"));

  auto* form = new QFormLayout;
  form->addRow(Keyed("IDS_ENCODER_ENGINE"), encoder);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(form);
  outer->addWidget(usePreset);
  outer->addLayout(
      Ends(Keyed("IDS_PRESET_SMALLEST_SIZE"), slider, Keyed("IDS_PRESET_LARGEST_SIZE")));
  outer->addWidget(name);
  outer->addWidget(text);
  auto* ownRow = new QHBoxLayout;
  ownRow->addWidget(own);
  ownRow->addStretch(1);
  ownRow->addWidget(advanced);
  outer->addLayout(ownRow);
  outer->addWidget(settings);
  outer->addWidget(maximums);
  auto* tagForm = new QFormLayout;
  tagForm->addRow(Keyed("IDS_TAG_VERSION"), tag);
  outer->addLayout(tagForm);
  outer->addStretch(1);
  outer->addWidget(thanks);

  binder_.Bind(encoder, &page.encoder, [&page] { page.EncoderChanged(); });
  binder_.Bind(slider, &page.preset, [&page] { page.PresetMoved(); });
  binder_.Bind(name, &page.presetName);
  binder_.Bind(text, &page.presetText);
  binder_.Bind(settings, &page.settingsText);
  binder_.Bind(usePreset, &page.usePreset, [&page] { page.ChoiceChanged(); });
  binder_.Bind(own, &page.ownSettings, [&page] { page.ChoiceChanged(); });
  binder_.Bind(maximums, &page.userMaximums);
  binder_.Bind(tag, &page.tag);
  binder_.Follow(advanced, &page.ownSettings.checked);
  binder_.Refresh();
  connect(advanced, &QPushButton::clicked, this, &CMp3Tab::Advanced);
}

void CMp3Tab::Advanced() {
  CMp3AdvancedPage advanced(page_.Working(), page_.Writer());
  CMp3AdvancedDialog dialog(advanced, this);
  if (dialog.exec() == QDialog::Accepted) page_.AdvancedDone(advanced.Result());
  binder_.Refresh();
}

CMp3AdvancedDialog::CMp3AdvancedDialog(CMp3AdvancedPage& page, QWidget* parent) : QDialog(parent) {
  setObjectName("mp3Advanced");
  setWindowTitle(Engine("IDS_MP3_ADVANCED"));
  auto* version = Named(new QComboBox, "version", "OH_10");
  auto* mode = Named(new QComboBox, "mode", "OH_12");
  auto* constant = Named(new QRadioButton(Engine("IDS_CBITRATE")), "constant", "OH_13");
  auto* bitrate = Named(new QComboBox, "bitrate", "OH_13");
  auto* variable = Named(new QRadioButton(Engine("IDS_VBITRATE")), "variable", "OH_14");
  auto* minimum = Named(new QComboBox, "minBitrate", "OH_15");
  auto* maximum = Named(new QComboBox, "maxBitrate", "OH_15");
  auto* byQuality = Named(new QRadioButton(Engine("IDS_VBR_QUALITY")), "vbrQuality", "OH_18");
  auto* quality = Slider("quality", "OH_18");
  auto* qualityText = Named(new QLabel, "qualityText");
  auto* byAverage = Named(new QRadioButton(Engine("IDS_ABR_QUALITY")), "averageRate", "OH_19");
  auto* average = Named(new QLineEdit, "average", "OH_19");
  auto* header = Named(new QCheckBox(Engine("IDS_XING_HEADER")), "vbrHeader", "OH_28");
  auto* checksum = Named(new QCheckBox(Engine("IDS_CHECKSUM")), "checksum", "OH_20");
  for (QRadioButton* r : {constant, variable, byQuality, byAverage}) r->setAutoExclusive(false);
  auto* rates = new QButtonGroup(this);
  rates->addButton(constant);
  rates->addButton(variable);
  auto* kinds = new QButtonGroup(this);
  kinds->addButton(byQuality);
  kinds->addButton(byAverage);

  auto* grid = new QGridLayout;
  int row = 0;
  grid->addWidget(new QLabel(Engine("IDS_VERSION")), row, 0);
  grid->addWidget(version, row++, 1);
  grid->addWidget(new QLabel(Engine("IDS_MODE")), row, 0);
  grid->addWidget(mode, row++, 1);
  grid->addWidget(constant, row, 0);
  grid->addWidget(bitrate, row++, 1);
  grid->addWidget(variable, row++, 0, 1, 2);
  grid->addWidget(new QLabel(Engine("IDS_MINBITRATE")), row, 0);
  grid->addWidget(minimum, row++, 1);
  grid->addWidget(new QLabel(Engine("IDS_MAXBITRATE")), row, 0);
  grid->addWidget(maximum, row++, 1);
  grid->addWidget(byQuality, row, 0);
  auto* q = Ends(Engine("IDS_VBR_BEST_QUALITY"), quality, Engine("IDS_VBR_WORST_QUALITY"));
  q->addWidget(qualityText);
  grid->addLayout(q, row++, 1);
  grid->addWidget(byAverage, row, 0);
  grid->addWidget(average, row++, 1);
  grid->addWidget(header, row++, 0, 1, 2);
  grid->addWidget(checksum, row++, 0, 1, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(Keyed("OK"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  buttons->button(QDialogButtonBox::Cancel)->setText(Keyed("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(grid);
  outer->addWidget(buttons);

  binder_.Bind(version, &page.version, [&page] { page.VersionChanged(); });
  binder_.Bind(mode, &page.mode, [&page] { page.ModeChanged(); });
  binder_.Bind(bitrate, &page.bitrate, [&page] { page.BitrateChanged(); });
  binder_.Bind(minimum, &page.minBitrate, [&page] { page.MinChanged(); });
  binder_.Bind(maximum, &page.maxBitrate, [&page] { page.MaxChanged(); });
  binder_.Bind(quality, &page.quality, [&page] { page.QualityMoved(); });
  binder_.Bind(qualityText, &page.qualityText);
  binder_.Bind(average, &page.average, [&page] { page.AverageEdited(); });
  auto choice = [&page] { page.ChoiceChanged(); };
  binder_.Bind(constant, &page.constant, choice);
  binder_.Bind(variable, &page.variable, choice);
  binder_.Bind(byQuality, &page.vbrQuality, choice);
  binder_.Bind(byAverage, &page.averageRate, choice);
  binder_.Bind(header, &page.vbrHeader);
  binder_.Bind(checksum, &page.checksum);
  binder_.Refresh();
}

CWmaTab::CWmaTab(CWmaPage& page, QWidget* parent) : QWidget(parent) {
  setObjectName("wmaTab");
  auto* slider = Slider("preset", "OH_41");
  auto* name = Named(new QLabel, "presetName");
  auto* text = Wrapped(Named(new QLabel, "presetText"));
  auto* maximums = Named(new QCheckBox(Engine("IDS_USER_MAXIMUMS")), "userMaximums", "OH_42");
  auto* tags = Named(new QCheckBox(Engine("IDS_INCLUDE_TAG")), "includeTags", "OH_43");
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(
      Ends(Engine("IDS_PRESET_SMALLEST_SIZE"), slider, Engine("IDS_PRESET_LARGEST_SIZE")));
  outer->addWidget(name);
  outer->addWidget(text);
  outer->addWidget(maximums);
  outer->addWidget(tags);
  outer->addStretch(1);
  binder_.Bind(slider, &page.preset, [&page] { page.PresetMoved(); });
  binder_.Bind(name, &page.presetName);
  binder_.Bind(text, &page.presetText);
  binder_.Bind(maximums, &page.userMaximums);
  binder_.Bind(tags, &page.includeTags);
  binder_.Refresh();
  // Without a preset the library can write, nothing here can be chosen.
  setEnabled(page.Enabled());
}
