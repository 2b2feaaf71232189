// The WAV, MP3 and WMA pages of the Options sheet, and the advanced MP3
// dialog: widgets bound to the pages' plain models.
#pragma once

#include <QDialog>
#include <QWidget>

#include "converter/gui/ModelBinder.h"

class CMp3AdvancedPage;
class CMp3Page;
class CWavePage;
class CWmaPage;

class CWaveTab : public QWidget {
  Q_OBJECT
 public:
  explicit CWaveTab(CWavePage& page, QWidget* parent = nullptr);

 private:
  CModelBinder binder_;
};

class CMp3Tab : public QWidget {
  Q_OBJECT
 public:
  explicit CMp3Tab(CMp3Page& page, QWidget* parent = nullptr);

 private:
  void Advanced();

  CMp3Page& page_;
  CModelBinder binder_;
};

class CMp3AdvancedDialog : public QDialog {
  Q_OBJECT
 public:
  CMp3AdvancedDialog(CMp3AdvancedPage& page, QWidget* parent = nullptr);

 private:
  CModelBinder binder_;
};

class CWmaTab : public QWidget {
  Q_OBJECT
 public:
  explicit CWmaTab(CWmaPage& page, QWidget* parent = nullptr);

 private:
  CModelBinder binder_;
};
