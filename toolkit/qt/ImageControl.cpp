#include "toolkit/qt/ImageControl.h"

#include <QPaintEvent>
#include <QPainter>

namespace zelvaro {

TImage::TImage(QWidget* parent) : QWidget(parent), ratio_(devicePixelRatioF()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImage::Changed() { update(); }

QSize TImage::sizeHint() const {
  return picture_.isNull() ? QWidget::sizeHint() : picture_.deviceIndependentSize().toSize();
}

bool TImage::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // A window moved to another screen, or shown on one other than the
  // primary screen, may have another ratio.
  if (event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Show) {
    const qreal ratio = devicePixelRatioF();
    if (ratio != ratio_) {
      ratio_ = ratio;
      emit DevicePixelRatioChanged(ratio);
    }
  }
  return handled;
}

void TImage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect dirty = event->rect();
  painter.fillRect(dirty, palette().window());
  if (picture_.isNull()) return;
  // The source rectangle counts the picture's own pixels.
  const qreal r = picture_.devicePixelRatio();
  if (r != devicePixelRatioF()) painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(dirty), picture_,
                    QRectF(dirty.x() * r, dirty.y() * r, dirty.width() * r, dirty.height() * r));
}

}  // namespace zelvaro
