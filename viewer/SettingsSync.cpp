#include "viewer/SettingsSync.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

#include "toolkit/Exception.h"
#include "toolkit/qt/Platform.h"
#include "viewer/untMain.h"

namespace zelvaro {

TSettingsSync::TSettingsSync(TForm1* window) : QObject(window), window_(window) {
  TForm3* options = window_->OptionsDialog;
  connect(options->RadioGroup1, &TRadioGroup::ItemIndexChanged, this, &TSettingsSync::SaveSettings);
  connect(options->RadioGroup2, &TRadioGroup::ItemIndexChanged, this, &TSettingsSync::SaveSettings);
  connect(options, &TForm3::BoardOptionsChanged, this, &TSettingsSync::SaveSettings);
  connect(options, &TForm3::NotifyOptionsChanged, this, &TSettingsSync::SaveSettings);
  connect(options->EngineDialog, &TEngineOptionsDialog::EngineSettingsChanged, this,
          &TSettingsSync::SaveSettings);
  connect(window_->Actions, &TRecordActions::RecentAddressesChanged, this,
          &TSettingsSync::SaveSettings);
  connect(options->EngineDialog, &TEngineOptionsDialog::ScaleChanged, this,
          &TSettingsSync::SaveSettings);
  connect(window_->SidePanel->EvalGraph->ModeBox, &QComboBox::currentIndexChanged, this,
          &TSettingsSync::SaveSettings);
  window_->installEventFilter(this);
}

bool TSettingsSync::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Hide && settings_ != nullptr &&
      !window_->isMinimized()) {
    // The size of the layout: a record with a clock adds its column anew.
    settings_->Values().viewer =
        TSettings::Window{window_->pos(), window_->SidePanel->BaseSize(window_->size())};
    SaveSettings();
  }
  return false;
}

void TSettingsSync::KeepSettings(TSettingsFile* file) {
  settings_ = nullptr;  // applying what the file holds writes nothing back
  if (file == nullptr) return;
  const TSettings& kept = file->Values();
  TForm3* options = window_->OptionsDialog;
  options->RadioGroup1->SetItemIndex(kept.font_size);
  options->RadioGroup2->SetItemIndex(kept.refresh_choice);
  options->SetBoardOptions(kept.board);
  options->SetNotifyOptions(kept.notify);
  window_->Actions->SetRecentAddresses(kept.addresses);
  options->EngineDialog->SetValues(kept.engine);
  window_->SidePanel->Analysis->SetSettings(kept.engine);
  window_->SidePanel->EvalGraph->SetWinRateMode(kept.graph_win_rate);
  options->EngineDialog->ScaleSpin->setValue(kept.win_rate_scale);
  window_->SidePanel->SetWinRateScale(kept.win_rate_scale);
  if (kept.viewer) {
    // Fitted into the screen it opens on (its scale or size may have
    // changed since); a place no screen shows any more (a screen taken
    // away) is not kept.
    const QRect frame(kept.viewer->place, kept.viewer->size);
    const QScreen* on = nullptr;
    for (const QScreen* screen : QGuiApplication::screens()) {
      if (screen->availableGeometry().intersects(frame)) {
        on = screen;
        break;
      }
    }
    const QScreen* fit_to = on != nullptr ? on : QGuiApplication::primaryScreen();
    const QRect fitted =
        fit_to != nullptr ? FitToScreen(frame, fit_to->availableGeometry()) : frame;
    window_->resize(fitted.size() + QSize(window_->SidePanel->isHidden() ? 0 : kSidePanelWidth, 0));
    if (on != nullptr) window_->move(fitted.topLeft());
  }
  settings_ = file;
}

void TSettingsSync::SaveSettings() {
  if (settings_ == nullptr) return;
  TSettings& values = settings_->Values();
  values.font_size = window_->OptionsDialog->RadioGroup1->ItemIndex();
  values.refresh_choice = window_->OptionsDialog->RadioGroup2->ItemIndex();
  values.board = window_->OptionsDialog->BoardOptions();
  values.addresses = window_->Actions->RecentAddresses();
  values.notify = window_->OptionsDialog->NotifyOptions();
  values.engine = window_->SidePanel->Analysis->Settings();
  values.graph_win_rate = window_->SidePanel->EvalGraph->WinRateMode();
  values.win_rate_scale = window_->SidePanel->EvalGraph->Scale();
  try {
    settings_->Save();
  } catch (const Exception& e) {
    if (failed_) return;
    failed_ = true;
    ShowMessage(QString::fromStdString(e.Message()), QStringLiteral("Zelvaro"));
  }
}

}  // namespace zelvaro
