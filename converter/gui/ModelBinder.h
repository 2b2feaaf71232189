// Binds the plain control models of the settings pages to Qt widgets. A
// user's change goes into its model, then to the page's handler, and then
// every bound widget shows its model again, so lists that a handler rebuilt
// or limited appear at once.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "engine/codecs/settings/SettingsModels.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

class CModelBinder : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void()>;

  explicit CModelBinder(QObject* parent = nullptr) : QObject(parent) {}

  void Bind(QComboBox* widget, CComboModel* model, Handler changed = {});
  void Bind(QSlider* widget, CSliderModel* model, Handler changed = {});
  // The edit's text goes to its model when editing ends.
  void Bind(QLineEdit* widget, CEditModel* model, Handler changed = {});
  void Bind(QLabel* widget, CTextModel* model);
  // A radio button of a group: checking it checks its model; the handler
  // runs for the button that was checked.
  void Bind(QAbstractButton* widget, CRadioModel* model, Handler changed = {});
  void Bind(QCheckBox* widget, bool* value, Handler changed = {});
  // Widgets that follow a model's enabled flag without holding its value.
  void Follow(QWidget* widget, const bool* enabled);

  // Every bound widget shows its model.
  void Refresh();

 private:
  void Changed(const Handler& handler);

  std::vector<std::function<void()>> shows_;
  bool refreshing_ = false;
};
