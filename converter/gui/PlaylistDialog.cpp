#include "converter/gui/PlaylistDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "utilities/strings/StringFile.h"

namespace {
QString Keyed(const char* key) {
  return QString::fromStdString(LoadKeyedString(key).substr(0, 512)).remove('\r');
}
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CPlaylistDialog::CPlaylistDialog(CPlaylistChoice& choice, QWidget* parent)
    : QDialog(parent), choice_(choice) {
  setObjectName("playlistDialog");
  setWindowTitle(Keyed("PL_Title"));
  auto* message = new QLabel(Keyed("PL_Message"));
  message->setWordWrap(true);
  rows_ = new QListWidget;
  rows_->setObjectName("rows");
  rows_->setMinimumSize(520, 10 * 22);
  back_ = new QPushButton;
  back_->setObjectName("back");
  on_ = new QPushButton;
  on_->setObjectName("on");
  auto* all = new QPushButton(Keyed("PL_CheckAll"));
  all->setObjectName("checkAll");
  auto* none = new QPushButton(Keyed("PL_UncheckAll"));
  none->setObjectName("uncheckAll");
  for (QPushButton* b : {back_, on_, all, none}) b->setAutoDefault(false);
  required_ = new QLabel;
  required_->setObjectName("required");
  available_ = new QLabel;
  available_->setObjectName("available");
  count_ = new QLabel;
  count_->setObjectName("count");
  dontAsk_ = new QCheckBox(Keyed("PL_DoNotAsk"));
  dontAsk_->setObjectName("dontAsk");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(Keyed("OK"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  buttons->button(QDialogButtonBox::Cancel)->setText(Keyed("Cancel"));

  auto* pages = new QHBoxLayout;
  pages->addWidget(back_);
  pages->addWidget(on_);
  pages->addStretch(1);
  pages->addWidget(all);
  pages->addWidget(none);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(message);
  outer->addWidget(rows_);
  outer->addLayout(pages);
  outer->addWidget(required_);
  outer->addWidget(available_);
  outer->addWidget(count_);
  outer->addWidget(dontAsk_);
  outer->addWidget(buttons);

  connect(back_, &QPushButton::clicked, this, [this] {
    choice_.Back();
    Show();
  });
  connect(on_, &QPushButton::clicked, this, [this] {
    choice_.On();
    Show();
  });
  connect(all, &QPushButton::clicked, this, [this] {
    choice_.CheckAll();
    Show();
  });
  connect(none, &QPushButton::clicked, this, [this] {
    choice_.UncheckAll();
    Show();
  });
  connect(rows_, &QListWidget::itemChanged, this, &CPlaylistDialog::RowChanged);
  connect(buttons, &QDialogButtonBox::accepted, this, &CPlaylistDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CPlaylistDialog::reject);
  Show();
}

void CPlaylistDialog::Show() {
  showing_ = true;
  rows_->clear();
  int first = choice_.First();
  for (int i = first; i < first + CPlaylistChoice::kPageSize && i < choice_.Count(); ++i) {
    const TPlaylistRow& row = choice_.Row(i);
    auto* item = new QListWidgetItem(Q(choice_.RowText(i)), rows_);
    item->setData(Qt::UserRole, i);
    Qt::ItemFlags flags = Qt::ItemIsUserCheckable;
    if (row.available) flags |= Qt::ItemIsEnabled;
    item->setFlags(flags);
    item->setCheckState(row.available && row.checked ? Qt::Checked : Qt::Unchecked);
    item->setToolTip(Q(row.path));
  }
  back_->setText(Q(choice_.BackLabel()));
  back_->setEnabled(choice_.CanGoBack());
  on_->setText(Q(choice_.OnLabel()));
  on_->setEnabled(choice_.CanGoOn());
  required_->setText(Q(choice_.RequiredText()));
  available_->setText(Q(choice_.AvailableText()));
  count_->setText(Q(choice_.CountText()));
  showing_ = false;
}

void CPlaylistDialog::RowChanged(QListWidgetItem* item) {
  if (showing_) return;
  int index = item->data(Qt::UserRole).toInt();
  bool want = item->checkState() == Qt::Checked;
  if (want != choice_.Row(index).checked) choice_.Toggle(index);
  Show();
}

void CPlaylistDialog::accept() {
  choice_.dontAsk = dontAsk_->isChecked();
  QDialog::accept();
}
