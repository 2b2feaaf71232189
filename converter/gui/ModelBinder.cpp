#include "converter/gui/ModelBinder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

void CModelBinder::Changed(const Handler& handler) {
  if (refreshing_) return;
  if (handler) handler();
  Refresh();
}

void CModelBinder::Refresh() {
  refreshing_ = true;
  for (auto& show : shows_) show();
  refreshing_ = false;
}

void CModelBinder::Bind(QComboBox* widget, CComboModel* model, Handler changed) {
  shows_.push_back([widget, model] {
    QSignalBlocker block(widget);
    bool same = widget->count() == model->Count();
    for (int i = 0; same && i < model->Count(); ++i)
      same = widget->itemText(i).toStdString() == model->At(i).text;
    if (!same) {
      widget->clear();
      for (int i = 0; i < model->Count(); ++i)
        widget->addItem(QString::fromStdString(model->At(i).text));
    }
    widget->setCurrentIndex(model->Selected());
    widget->setEnabled(model->enabled);
  });
  connect(widget, QOverload<int>::of(&QComboBox::activated), this, [this, model, changed](int i) {
    model->Select(i);
    Changed(changed);
  });
}

void CModelBinder::Bind(QSlider* widget, CSliderModel* model, Handler changed) {
  shows_.push_back([widget, model] {
    QSignalBlocker block(widget);
    widget->setRange(model->Low(), model->High());
    widget->setValue(model->Position());
    widget->setEnabled(model->enabled);
  });
  connect(widget, &QSlider::valueChanged, this, [this, model, changed](int position) {
    model->SetPosition(position);
    Changed(changed);
  });
}

void CModelBinder::Bind(QLineEdit* widget, CEditModel* model, Handler changed) {
  shows_.push_back([widget, model] {
    QSignalBlocker block(widget);
    if (model->MaxLength() > 0) widget->setMaxLength(static_cast<int>(model->MaxLength()));
    widget->setText(QString::fromStdString(model->Text()));
    widget->setEnabled(model->enabled);
  });
  connect(widget, &QLineEdit::editingFinished, this, [this, widget, model, changed] {
    model->SetText(widget->text().toStdString());
    Changed(changed);
  });
}

void CModelBinder::Bind(QLabel* widget, CTextModel* model) {
  shows_.push_back(
      [widget, model] { widget->setText(QString::fromStdString(model->Text()).remove('\r')); });
}

void CModelBinder::Bind(QAbstractButton* widget, CRadioModel* model, Handler changed) {
  shows_.push_back([widget, model] {
    QSignalBlocker block(widget);
    widget->setChecked(model->checked);
    widget->setEnabled(model->enabled);
  });
  connect(widget, &QAbstractButton::toggled, this, [this, model, changed](bool on) {
    model->checked = on;
    if (on) Changed(changed);
  });
}

void CModelBinder::Bind(QCheckBox* widget, bool* value, Handler changed) {
  shows_.push_back([widget, value] {
    QSignalBlocker block(widget);
    widget->setChecked(*value);
  });
  connect(widget, &QCheckBox::toggled, this, [this, value, changed](bool on) {
    *value = on;
    Changed(changed);
  });
}

void CModelBinder::Follow(QWidget* widget, const bool* enabled) {
  shows_.push_back([widget, enabled] { widget->setEnabled(*enabled); });
}
