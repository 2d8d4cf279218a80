#include "toolkit/qt/ImageControl.h"

#include <QPaintEvent>
#include <QPainter>

namespace zelvaro {

TImage::TImage(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void TImage::Changed() { update(); }

QSize TImage::sizeHint() const { return picture_.isNull() ? QWidget::sizeHint() : picture_.size(); }

void TImage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect dirty = event->rect();
  painter.fillRect(dirty, palette().window());
  if (!picture_.isNull()) painter.drawImage(dirty.topLeft(), picture_, dirty);
}

}  // namespace zelvaro
