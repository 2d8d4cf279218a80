// TImage: shows a picture unscaled from its top-left corner. Whatever lies
// beyond the widget's size is cut off; what the picture does not cover is
// painted in the window colour.
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

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

}  // namespace zelvaro
