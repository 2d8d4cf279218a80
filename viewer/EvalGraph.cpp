#include "viewer/EvalGraph.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zelvaro {
namespace {
constexpr int kMargin = 6;
}

int GraphValue(const TUsiScore& score) {
  if (score.mate) return score.sente_mates ? kGraphClampCp : -kGraphClampCp;
  return std::clamp(score.cp, -kGraphClampCp, kGraphClampCp);
}

TEvalGraph::TEvalGraph(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("evalGraph"));
  setMinimumHeight(100);
  setCursor(Qt::PointingHandCursor);
}

void TEvalGraph::SetScores(std::vector<std::optional<TUsiScore>> scores) {
  if (scores == scores_) return;
  scores_ = std::move(scores);
  update();
}

void TEvalGraph::SetCurrent(int index) {
  if (index == current_) return;
  current_ = index;
  update();
}

double TEvalGraph::XOf(int index) const {
  const int count = std::max<int>(static_cast<int>(scores_.size()) - 1, 1);
  return kMargin + (width() - 2.0 * kMargin) * index / count;
}

int TEvalGraph::IndexAt(int x) const {
  if (scores_.empty()) return -1;
  const int count = std::max<int>(static_cast<int>(scores_.size()) - 1, 1);
  const double at = (x - kMargin) * count / std::max(width() - 2.0 * kMargin, 1.0);
  return std::clamp(static_cast<int>(std::lround(at)), 0, static_cast<int>(scores_.size()) - 1);
}

void TEvalGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const double top = kMargin, bottom = height() - kMargin, middle = (top + bottom) / 2;
  auto y_of = [&](const TUsiScore& s) {
    return middle - (bottom - top) / 2 * GraphValue(s) / kGraphClampCp;
  };
  painter.setPen(QColor(200, 200, 200));
  painter.drawLine(QPointF(kMargin, middle), QPointF(width() - kMargin, middle));
  painter.drawRect(QRectF(kMargin, top, width() - 2.0 * kMargin, bottom - top));
  if (current_ >= 0 && current_ < static_cast<int>(scores_.size())) {
    painter.setPen(QPen(QColor(220, 80, 40), 1));
    painter.drawLine(QPointF(XOf(current_), top), QPointF(XOf(current_), bottom));
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(30, 60, 160), 1.5));
  QPainterPath path;
  bool open = false;
  for (size_t i = 0; i < scores_.size(); ++i) {
    if (!scores_[i]) {
      open = false;
      continue;
    }
    const QPointF point(XOf(static_cast<int>(i)), y_of(*scores_[i]));
    if (open) {
      path.lineTo(point);
    } else {
      path.moveTo(point);
      open = true;
    }
  }
  painter.drawPath(path);
  painter.setBrush(QColor(30, 60, 160));
  for (size_t i = 0; i < scores_.size(); ++i) {
    if (scores_[i])
      painter.drawEllipse(QPointF(XOf(static_cast<int>(i)), y_of(*scores_[i])), 1.5, 1.5);
  }
}

void TEvalGraph::mousePressEvent(QMouseEvent* event) {
  const int index = IndexAt(static_cast<int>(event->position().x()));
  if (index >= 0 && event->button() == Qt::LeftButton) emit Clicked(index);
}

}  // namespace zelvaro
