// The windowing operations the program needs beyond single widgets: message
// boxes, notifications, event processing, text comparison, image resources and text drawing
// on pictures. Everything here runs on the GUI thread and needs a
// QGuiApplication (QApplication for ShowMessage).
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace zelvaro {

// Modal message box with the text, the caption and one OK button; returns
// after OK. While a hook is set the hook is called instead and no box opens.
void ShowMessage(const QString& text, const QString& caption);
// The same box without waiting: it opens over `parent` (and closes with
// it), the caller goes on at once and the user closes it when they like.
// The message hook, when set, is called instead.
void ShowMessageModeless(QWidget* parent, const QString& text, const QString& caption);
// An empty function restores the real boxes.
void SetMessageHook(std::function<void(const QString& text, const QString& caption)> hook);

enum class TFileDialog { kOpen, kSave };
// Modal file dialog over `parent`: an existing file to open, or a name to
// save under (the dialog asks before an existing file is replaced).
// `path` is the folder or file the dialog starts at; `filters` as
// "KIF (*.kif *.kifu);;すべてのファイル (*)". Returns the chosen path, empty
// when the user cancels. `selected_filter`, when given, holds the filter the
// dialog starts with and receives the one the user chose. While a hook is
// set the hook answers instead, no dialog opens and the filter stays.
QString AskFileName(TFileDialog kind, QWidget* parent, const QString& caption, const QString& path,
                    const QString& filters, QString* selected_filter = nullptr);
using TFileDialogHook = std::function<QString(TFileDialog kind, const QString& caption,
                                              const QString& path, const QString& filters)>;
// An empty function restores the real dialogs.
void SetFileDialogHook(TFileDialogHook hook);

// Modal dialog over `parent` asking for one line of text: `label` above the
// field, which starts with `text` (the cursor after it), and OK and Cancel. Returns the text
// entered, or nothing when the user cancels. While a hook is set the hook
// answers instead and no dialog opens.
// With `offered` texts, the field is an editable list that offers them in
// its drop-down; nothing is completed as the user types, and OK (Return)
// gives exactly the text in the field.
std::optional<QString> AskText(QWidget* parent, const QString& caption, const QString& label,
                               const QString& text, const QStringList& offered = {});
using TTextDialogHook = std::function<std::optional<QString>(
    const QString& caption, const QString& label, const QString& text)>;
// An empty function restores the real dialogs.
void SetTextDialogHook(TTextDialogHook hook);

// A word to the user outside the window, such as a move that has arrived:
// a desktop notification with `title` and `text` when `popup`, and a short
// sound (the desktop's bell) when `sound`. The notification goes to the
// desktop's freedesktop notification service on the session bus; where
// there is none, to the system tray icon's message (a click on the icon or
// message brings `window` forward). Returns at once. While a hook is set the
// hook is called instead and nothing is shown or heard.
struct TNotice {
  QString title, text;
  bool popup = true;
  bool sound = false;
};
// Whatever the desktop offers, `window` is also marked as wanting attention
// (AlertWindow), so that a desktop without a notification service or a
// tray still shows that something arrived.
void Notify(const TNotice& notice, QWidget* window);
// An empty function restores the real notifications.
void SetNotifyHook(std::function<void(const TNotice& notice)> hook);
// Sets `window`'s urgency hint (its task bar entry asks for attention)
// until it is activated. While a hook is set the hook is called instead.
void AlertWindow(QWidget* window);
// An empty function restores the real hint.
void SetAlertHook(std::function<void(QWidget* window)> hook);

// Processes the pending window events once and returns. Handlers of any
// window may run inside this call.
void ProcessPendingEvents();

// Locale-aware, case-sensitive comparison in the default locale (QLocale()):
// negative, 0 or positive. Only identical texts compare equal; texts the
// collation cannot tell apart are ordered by their UTF-16 units.
int LocaleCompare(const QString& a, const QString& b);

// The image resource ":/images/<name>.png" as a 24-bit picture
// (QImage::Format_RGB888). Throws zelvaro::Exception when there is none.
// The resources library must be initialised first (InitResources()).
QImage LoadImageResource(const QString& name);

// Draws one line of text with its top-left corner at (x, y), in `color`, at
// `point_size` points (96 dots per inch), in the Japanese Gothic face, on an
// opaque white background: the line's box (its advance width, trailing
// spaces included, by one em of height) is filled white first and nothing is
// drawn outside it, so the text overwrites what stood there and a later line
// at the same place covers this one where its box reaches. Parts outside the
// picture are cut off. A picture in another format
// than RGB888 is converted to it first.
void DrawTextOn(QImage& picture, int x, int y, const QString& text, const QColor& color,
                int point_size);

// The family DrawTextOn uses.
QString JapaneseFontFamily();
// Pixel height of a text size in points, as a 96-dpi screen shows it.
int PointsToPixels(int point_size);

QString ToQString(std::u16string_view s);
std::u16string ToU16(const QString& s);

}  // namespace zelvaro
