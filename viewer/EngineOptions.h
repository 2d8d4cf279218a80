// The engine page of 「設定」: the engine program (a file dialog through
// AskFileName), hash, threads, multi-PV and the time per position of the
// evaluation graph. "OK" applies them (EngineSettingsChanged).
#pragma once

#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "engine/Evaluation.h"
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
  QSpinBox* ScaleSpin;       // 「勝率換算の係数」
  QLabel* PathWarning;       // why the path names no program; hidden when it does
  QPushButton* OkButton;

  TEngineSettings Values() const;
  void SetValues(const TEngineSettings& settings);
  void Browse();

 signals:
  void EngineSettingsChanged(const TEngineSettings& settings);
  void ScaleChanged(int scale);
};

}  // namespace zelvaro
