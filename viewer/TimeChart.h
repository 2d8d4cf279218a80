// The time chart: the time each move of the main line took, sente's bars
// above the axis and gote's below it, one slot per move from the left; the
// row on show is marked, and a click on a slot asks for its row. It grows
// with the record it is given.
#pragma once

#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "game/Record.h"

namespace zelvaro {

class TTimeChart : public QWidget {
  Q_OBJECT
 public:
  explicit TTimeChart(QWidget* parent = nullptr);

  // Takes the main line's moves and their times from `record`.
  void SetRecord(const TKifRecord& record);
  // Marks the move of `row` (nothing for row 0, or a row off the main line
  // that has no move number the chart shows).
  void SetRow(int row);

  struct Bar {
    int row;          // the row a click on it shows
    int number;       // the move number
    int32_t side;     // 1 sente, -1 gote
    int64_t seconds;  // the time the move took
    QString tip;      // "47手目 ▲４五桂(37) 12分(計125分)"
  };
  const std::vector<Bar>& Bars() const { return bars_; }
  // The slot of bar i (the whole height) and the bar drawn in it.
  QRectF SlotRect(size_t i) const;
  QRectF BarRect(size_t i) const;
  // The bar marked as on show; -1 for none.
  int MarkedBar() const { return marked_; }

  QSize sizeHint() const override { return {240, 180}; }

 signals:
  void RowClicked(int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRectF Plot() const;
  int BarAt(QPointF point) const;

  std::vector<Bar> bars_;
  int64_t longest_ = 0;
  int marked_ = -1;
  int row_ = 0;
  std::vector<int> number_of_row_;  // the move number of every row
};

}  // namespace zelvaro
