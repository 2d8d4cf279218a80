// TImage: shows a picture unscaled from its top-left corner. Whatever lies
// beyond the widget's size is cut off; what the picture does not cover is
// painted in the window colour. A picture whose devicePixelRatio is above 1
// covers its size divided by that ratio, so on a screen of that ratio every
// pixel of it is shown.
#pragma once

#include <QImage>
#include <QWidget>

namespace zelvaro {

class TImage : public QWidget {
  Q_OBJECT

 public:
  explicit TImage(QWidget* parent = nullptr);

  // The picture shown. Write into it freely (pixel rows, DrawTextOn, or
  // replace it), then call Changed(). The reference stays valid for the
  // widget's life.
  QImage& Picture() { return picture_; }
  const QImage& Picture() const { return picture_; }

  // Schedules a repaint after the picture was written.
  void Changed();

  QSize sizeHint() const override;

 signals:
  // The widget's window moved to a screen of another device pixel ratio;
  // the owner of the picture may draw it anew at `ratio`.
  void DevicePixelRatioChanged(qreal ratio);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  qreal ratio_;  // the device pixel ratio last seen
};

}  // namespace zelvaro
