#include "viewer/TimeChart.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "toolkit/qt/Platform.h"

namespace zelvaro {
namespace {

// Room for this many moves before the slots narrow: a short game's bars
// stay thin instead of filling the chart.
constexpr int kMinSlots = 60;
const QColor kSenteColor(0x35, 0x4f, 0x7a);
const QColor kGoteColor(0xd0, 0x70, 0x40);
const QColor kMarkColor(0xff, 0xb0, 0x00, 0xb0);

QString ShortDuration(int64_t seconds) {
  return seconds >= 60 ? QStringLiteral("%1分").arg(seconds / 60)
                       : QStringLiteral("%1秒").arg(seconds);
}

}  // namespace

TTimeChart::TTimeChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("timeChart"));
  setMinimumHeight(100);
}

void TTimeChart::SetRecord(const TKifRecord& record) {
  bars_.clear();
  longest_ = 0;
  number_of_row_.assign(record.rows.size(), 0);
  for (size_t row = 0; row < record.rows.size(); ++row) {
    number_of_row_[row] = ToQString(record.rows[row].caption).toInt();
  }
  for (size_t n = 1; n < record.main_line.size(); ++n) {
    const int row = record.main_line[n];
    if (row == record.main_line[n - 1]) continue;  // a number the record skips
    const TKifRecord::Row& r = record.rows[static_cast<size_t>(row)];
    const int64_t seconds = std::max<int64_t>(r.seconds, 0);
    const QString tip = ToQString(r.caption) + QStringLiteral("手目 ") + ToQString(r.move) +
                        QStringLiteral(" ") + ToQString(r.time).trimmed();
    bars_.push_back(Bar{row, static_cast<int>(n), r.side, seconds, tip});
    longest_ = std::max(longest_, seconds);
  }
  SetRow(row_);
  update();
}

void TTimeChart::SetRow(int row) {
  row_ = row;
  marked_ = -1;
  if (row <= 0 || row >= static_cast<int>(number_of_row_.size())) {
    update();
    return;
  }
  // The row's own bar; for a variation's row, the bar of its move number.
  for (size_t i = 0; i < bars_.size(); ++i) {
    if (bars_[i].row == row) marked_ = static_cast<int>(i);
  }
  if (marked_ < 0) {
    for (size_t i = 0; i < bars_.size(); ++i) {
      if (bars_[i].number == number_of_row_[static_cast<size_t>(row)]) {
        marked_ = static_cast<int>(i);
      }
    }
  }
  update();
}

QRectF TTimeChart::Plot() const { return QRectF(rect()).adjusted(6, 16, -6, -6); }

QRectF TTimeChart::SlotRect(size_t i) const {
  const QRectF plot = Plot();
  const qreal slot = plot.width() / std::max<qreal>(kMinSlots, static_cast<qreal>(bars_.size()));
  return {plot.left() + slot * static_cast<qreal>(i), plot.top(), slot, plot.height()};
}

QRectF TTimeChart::BarRect(size_t i) const {
  const QRectF plot = Plot();
  const QRectF slot = SlotRect(i);
  const qreal axis = plot.center().y();
  const qreal half = plot.height() / 2 - 1;
  const Bar& bar = bars_.at(i);
  const qreal height =
      longest_ > 0 ? half * static_cast<qreal>(bar.seconds) / static_cast<qreal>(longest_) : 0;
  // A gap between bars while there is room for one.
  const qreal width = slot.width() >= 3 ? slot.width() - 1 : slot.width();
  return bar.side == 1 ? QRectF(slot.left(), axis - height, width, height)
                       : QRectF(slot.left(), axis, width, height);
}

int TTimeChart::BarAt(QPointF point) const {
  for (size_t i = 0; i < bars_.size(); ++i) {
    const QRectF slot = SlotRect(i);
    if (point.x() >= slot.left() && point.x() < slot.right()) return static_cast<int>(i);
  }
  return -1;
}

void TTimeChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  const QRectF plot = Plot();
  if (marked_ >= 0) {
    // At least a few pixels wide, so that a long game's mark is seen.
    QRectF mark = SlotRect(static_cast<size_t>(marked_));
    if (mark.width() < 4) mark.adjust((mark.width() - 4) / 2, 0, (4 - mark.width()) / 2, 0);
    painter.fillRect(mark, kMarkColor);
  }
  for (size_t i = 0; i < bars_.size(); ++i) {
    painter.fillRect(BarRect(i), bars_[i].side == 1 ? kSenteColor : kGoteColor);
  }
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(QPointF(plot.left(), plot.center().y()),
                   QPointF(plot.right(), plot.center().y()));
  painter.setPen(palette().color(QPalette::Text));
  const QRectF label = QRectF(rect()).adjusted(4, 1, -4, 0);
  painter.drawText(label, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("▲先手 ↑  △後手 ↓"));
  if (longest_ > 0) {
    painter.drawText(label, Qt::AlignRight | Qt::AlignTop,
                     QStringLiteral("最長 ") + ShortDuration(longest_));
  }
}

void TTimeChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int bar = BarAt(event->position());
  if (bar >= 0) emit RowClicked(bars_[static_cast<size_t>(bar)].row);
}

bool TTimeChart::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int bar = BarAt(help->pos());
    if (bar >= 0) {
      QToolTip::showText(help->globalPos(), bars_[static_cast<size_t>(bar)].tip, this);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace zelvaro
