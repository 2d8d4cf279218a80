// TSettingsSync: keeps the viewer's settings file in step with the window:
// the options dialog's choices, the engine settings, the addresses opened
// last and the window's size and place. What the file holds is applied
// once; every later change is written as it is made (the window's when it
// is hidden). A write that fails is told once in a message box.
#pragma once

#include <QObject>

#include "viewer/Settings.h"

namespace zelvaro {

class TForm1;

class TSettingsSync : public QObject {
  Q_OBJECT
 public:
  explicit TSettingsSync(TForm1* window);

  // `file` must outlive the window; null: nothing is kept from now on.
  void KeepSettings(TSettingsFile* file);
  // Writes what the window holds now.
  void SaveSettings();

 protected:
  // The window's hiding: its size (without the side column) and place are kept.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TForm1* window_;
  TSettingsFile* settings_ = nullptr;
  bool failed_ = false;  // a failed write was told
};

}  // namespace zelvaro
