// The engine page of 「設定」: the engine program (a file dialog through
// AskFileName), hash, threads, multi-PV and the time per position of the
// evaluation graph. "OK" applies them (EngineSettingsChanged).
#pragma once

#include <QDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "viewer/EngineProcess.h"

namespace zelvaro {

class TEngineOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TEngineOptionsDialog(QWidget* parent = nullptr);

  QLineEdit* PathEdit;  // empty: the default program
  QPushButton* BrowseButton;
  QSpinBox* HashSpin;  // MB
  QSpinBox* ThreadsSpin;
  QSpinBox* MultiPvSpin;
  QDoubleSpinBox* TimeSpin;  // seconds per graph position
  QPushButton* OkButton;

  TEngineSettings Values() const;
  void SetValues(const TEngineSettings& settings);
  void Browse();

 signals:
  void EngineSettingsChanged(const TEngineSettings& settings);
};

}  // namespace zelvaro
