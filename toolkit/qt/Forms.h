// What the program's fixed-layout windows share: the window font, the
// fixed single border and push buttons placed by rectangle.
#pragma once

#include <QFont>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

namespace zelvaro {

// "ＭＳ Ｐゴシック" at 12 pixels, falling back to the installed Japanese Gothic face.
QFont WindowFont();

enum class TBorder {
  kSingle,    // fixed size, system menu and minimise box, no maximise box
  kDialog,    // fixed size, no minimise or maximise box
  kSizeable,  // as kSingle, but the user may make the window larger than `client`
};

// Gives `window` its object name, caption, border, the window font, its
// client area (fixed, or the smallest it may become for kSizeable) and its
// place on the screen.
void SetUpFixedWindow(QWidget* window, const char* name, const QString& caption, TBorder border,
                      QSize client, QPoint position);

// A push button at `rect` of `parent` that never becomes the default button.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& rect);

}  // namespace zelvaro
