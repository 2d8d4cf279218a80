#include "toolkit/qt/Forms.h"

#include "toolkit/qt/Platform.h"

namespace zelvaro {

QFont WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), JapaneseFontFamily()});
  font.setPixelSize(12);
  return font;
}

void SetUpFixedWindow(QWidget* window, const char* name, const QString& caption, TBorder border,
                      QSize client, QPoint position) {
  window->setObjectName(QString::fromLatin1(name));
  window->setWindowTitle(caption);
  Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint;
  if (border == TBorder::kDialog) {
    flags |= Qt::Dialog;
  } else {
    flags |= Qt::Window | Qt::WindowMinimizeButtonHint;
  }
  if (border != TBorder::kSizeable) flags |= Qt::MSWindowsFixedSizeDialogHint;
  window->setWindowFlags(flags);
  window->setFont(WindowFont());
  if (border == TBorder::kSizeable) {
    window->setMinimumSize(client);
    window->resize(client);
  } else {
    window->setFixedSize(client);
  }
  window->move(position);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& rect) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(rect);
  button->setAutoDefault(false);
  return button;
}

}  // namespace zelvaro
