#include "toolkit/qt/Platform.h"

#include <QApplication>
#include <QCollator>
#include <QComboBox>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileDialog>
#include <QFont>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "toolkit/Exception.h"

namespace zelvaro {
namespace {

std::function<void(const QString&, const QString&)>& MessageHook() {
  static std::function<void(const QString&, const QString&)> hook;
  return hook;
}

TFileDialogHook& FileDialogHook() {
  static TFileDialogHook hook;
  return hook;
}

TTextDialogHook& TextDialogHook() {
  static TTextDialogHook hook;
  return hook;
}

}  // namespace

void ShowMessage(const QString& text, const QString& caption) {
  if (MessageHook()) {
    MessageHook()(text, caption);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
  // What a box says (a path, an address) can be selected and copied.
  box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box.exec();
}

void ShowMessageModeless(QWidget* parent, const QString& text, const QString& caption) {
  if (MessageHook()) {
    MessageHook()(text, caption);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box->show();
}

void SetMessageHook(std::function<void(const QString& text, const QString& caption)> hook) {
  MessageHook() = std::move(hook);
}

QString AskFileName(TFileDialog kind, QWidget* parent, const QString& caption, const QString& path,
                    const QString& filters, QString* selected_filter) {
  if (FileDialogHook()) return FileDialogHook()(kind, caption, path, filters);
  return kind == TFileDialog::kOpen
             ? QFileDialog::getOpenFileName(parent, caption, path, filters, selected_filter)
             : QFileDialog::getSaveFileName(parent, caption, path, filters, selected_filter);
}

void SetFileDialogHook(TFileDialogHook hook) { FileDialogHook() = std::move(hook); }

std::optional<QString> AskText(QWidget* parent, const QString& caption, const QString& label,
                               const QString& text, const QStringList& offered) {
  if (TextDialogHook()) return TextDialogHook()(caption, label, text);
  QInputDialog dialog(parent);
  dialog.setWindowTitle(caption);
  dialog.setLabelText(label);
  if (!offered.isEmpty()) {
    dialog.setComboBoxItems(offered);
    dialog.setComboBoxEditable(true);
    // Offered in the drop-down list only: a completion typed into the field
    // would be what Return takes, and a text that matches an offered one
    // but for case would be replaced by it.
    if (auto* combo = dialog.findChild<QComboBox*>()) {
      combo->setCompleter(nullptr);
      combo->setDuplicatesEnabled(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
    }
  }
  dialog.setTextValue(text);
  // Room for an address with a port and a path.
  dialog.resize(std::max(dialog.sizeHint().width(), 420), dialog.sizeHint().height());
  // The dialog selects the text as it opens; what is typed then goes after
  // it (a host after "http://") instead of replacing it.
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    QTimer::singleShot(0, edit, [edit] { edit->end(false); });
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

void SetTextDialogHook(TTextDialogHook hook) { TextDialogHook() = std::move(hook); }

namespace {

std::function<void(const TNotice&)>& NotifyHook() {
  static std::function<void(const TNotice&)> hook;
  return hook;
}

// The tray icon's message: for desktops without a notification service.
void ShowTrayMessage(const QString& title, const QString& text, QWidget* window) {
  // One icon for the program's life, made at its first message: the
  // desktop shows the message through it.
  static QPointer<QSystemTrayIcon> tray;
  static QPointer<QWidget> raised;
  raised = window;
  if (tray == nullptr) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    tray = new QSystemTrayIcon(icon, qApp);
    tray->setToolTip(QCoreApplication::applicationName());
    const auto bring_forward = [] {
      if (raised == nullptr) return;
      raised->showNormal();
      raised->raise();
      raised->activateWindow();
    };
    QObject::connect(tray, &QSystemTrayIcon::messageClicked, tray, bring_forward);
    QObject::connect(tray, &QSystemTrayIcon::activated, tray, bring_forward);
    tray->show();
  }
  tray->showMessage(title, text, QSystemTrayIcon::Information, 10000);
}

}  // namespace

namespace {

std::function<void(QWidget*)>& AlertHook() {
  static std::function<void(QWidget*)> hook;
  return hook;
}

}  // namespace

void AlertWindow(QWidget* window) {
  if (AlertHook()) {
    AlertHook()(window);
    return;
  }
  if (window != nullptr) QApplication::alert(window);
}

void SetAlertHook(std::function<void(QWidget* window)> hook) { AlertHook() = std::move(hook); }

void Notify(const TNotice& notice, QWidget* window) {
  // First: where the desktop has neither a notification service nor a tray,
  // this is all the user sees.
  if (notice.popup || notice.sound) AlertWindow(window);
  if (NotifyHook()) {
    NotifyHook()(notice);
    return;
  }
  if (notice.sound) QApplication::beep();
  if (!notice.popup) return;
  const QString title = notice.title, text = notice.text;
  QPointer<QWidget> raised(window);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    ShowTrayMessage(title, text, window);
    return;
  }
  // Asked without waiting (the service may first have to be started); an
  // error answer, such as no service, falls back to the tray.
  const QString service = QStringLiteral("org.freedesktop.Notifications");
  QDBusMessage call = QDBusMessage::createMethodCall(
      service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
  call << QCoreApplication::applicationName() << 0u << QString() << title << text << QStringList()
       << QVariantMap() << 10000;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000), qApp);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, qApp,
                   [title, text, raised](QDBusPendingCallWatcher* done) {
                     if (done->isError()) ShowTrayMessage(title, text, raised);
                     done->deleteLater();
                   });
}

void SetNotifyHook(std::function<void(const TNotice& notice)> hook) {
  NotifyHook() = std::move(hook);
}

void ProcessPendingEvents() { QCoreApplication::processEvents(); }

int LocaleCompare(const QString& a, const QString& b) {
  // Opening a collator is costly and a sort compares many times; keep one per
  // locale and open a new one only when the default locale changes.
  thread_local std::unique_ptr<QCollator> collator;
  const QLocale locale;
  if (!collator || collator->locale() != locale) {
    collator = std::make_unique<QCollator>(locale);
    collator->setCaseSensitivity(Qt::CaseSensitive);
  }
  int result = collator->compare(a, b);
  if (result == 0) result = QString::compare(a, b, Qt::CaseSensitive);
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

QImage LoadImageResource(const QString& name) {
  QImage image(QStringLiteral(":/images/") + name + QStringLiteral(".png"));
  if (image.isNull()) {
    throw Exception("image resource \"" + name.toStdString() + "\" not found");
  }
  return image.convertToFormat(QImage::Format_RGB888);
}

QString JapaneseFontFamily() { return QStringLiteral("IPAPGothic"); }

int PointsToPixels(int point_size) { return (point_size * 96 + 36) / 72; }

void DrawTextOn(QImage& picture, int x, int y, const QString& text, const QColor& color,
                int point_size) {
  if (picture.isNull()) return;
  if (picture.format() != QImage::Format_RGB888) {
    picture = picture.convertToFormat(QImage::Format_RGB888);
  }
  QFont font(JapaneseFontFamily());
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(PointsToPixels(point_size));
  const QFontMetrics metrics(font);
  // The line box is one em high: Japanese glyphs lie inside it, and lines
  // drawn close above one another (a name over a hand line) keep out of each
  // other's way. Ink below the box (a Latin descender) is cut, so a later
  // line drawn at the same place always covers all of an earlier one.
  const QRect area(x, y, metrics.horizontalAdvance(text), font.pixelSize());

  QPainter painter(&picture);
  painter.fillRect(area, Qt::white);
  painter.setClipRect(area);
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(QPoint(x, y + std::min(metrics.ascent(), area.height())), text);
}

QString ToQString(std::u16string_view s) {
  return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::u16string ToU16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<size_t>(s.size()));
}

}  // namespace zelvaro
