#include "viewer/EvalGraph.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zelvaro {
namespace {
constexpr int kMargin = 6;
constexpr int kLeftMargin = 40;    // the value labels
constexpr int kBottomMargin = 44;  // move numbers and the two tally lines
}  // namespace

QColor MarkColor(TMoveMark mark) {
  switch (mark) {
    case TMoveMark::kSlack:
      return QColor(230, 180, 0);
    case TMoveMark::kDubious:
      return QColor(240, 120, 0);
    case TMoveMark::kBad:
      return QColor(220, 30, 30);
    case TMoveMark::kBlunder:
      return QColor(140, 0, 140);
    case TMoveMark::kNone:
      break;
  }
  return QColor();
}

int GraphValue(const TUsiScore& score) {
  if (score.mate) return score.sente_mates ? kGraphClampCp : -kGraphClampCp;
  return std::clamp(score.cp, -kGraphClampCp, kGraphClampCp);
}

TEvalGraph::TEvalGraph(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("evalGraph"));
  setMinimumHeight(140);
  setCursor(Qt::PointingHandCursor);
  setMouseTracking(true);
  ModeBox = new QComboBox(this);
  ModeBox->setObjectName(QStringLiteral("graphModeBox"));
  ModeBox->addItems({QStringLiteral("評価値"), QStringLiteral("勝率")});
  ModeBox->setFocusPolicy(Qt::ClickFocus);
  ModeBox->move(width() - ModeBox->sizeHint().width() - kMargin, kMargin);
  connect(ModeBox, &QComboBox::currentIndexChanged, this, [this] { update(); });
}

void TEvalGraph::SetWinRateMode(bool on) { ModeBox->setCurrentIndex(on ? 1 : 0); }

void TEvalGraph::SetScale(int scale) {
  scale_ = std::clamp(scale, kMinWinRateScale, kMaxWinRateScale);
  update();
}

void TEvalGraph::SetVerdicts(std::vector<std::optional<TMoveVerdict>> verdicts) {
  verdicts_ = std::move(verdicts);
  tally_ = {};
  for (const auto& verdict : verdicts_) {
    if (verdict) tally_.Add(*verdict);
  }
  update();
}

const TMoveVerdict* TEvalGraph::VerdictAt(int index) const {
  if (index < 0 || index >= static_cast<int>(verdicts_.size()) || !verdicts_[index]) return nullptr;
  return &*verdicts_[static_cast<size_t>(index)];
}

QString TEvalGraph::SummaryText() const {
  return QString::fromStdString(TallyText(true, tally_.sente)) + QLatin1Char('\n') +
         QString::fromStdString(TallyText(false, tally_.gote));
}

QString TEvalGraph::ValueText(int index) const {
  if (index < 0 || index >= static_cast<int>(scores_.size())) return {};
  QString text = QStringLiteral("%1手目").arg(index);
  if (!scores_[index]) return text + QStringLiteral(" 未検討");
  const TUsiScore& score = *scores_[index];
  if (WinRateMode()) {
    return text + QStringLiteral(" 先手勝率 %1 %").arg(SenteWinRate(score, scale_), 0, 'f', 1);
  }
  if (score.mate) {
    return text + (score.sente_mates ? QStringLiteral(" ▲詰み") : QStringLiteral(" △詰み"));
  }
  return text + QStringLiteral(" %1%2").arg(score.cp > 0 ? "+" : "").arg(score.cp);
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
  return kLeftMargin + (width() - kLeftMargin - kMargin) * static_cast<double>(index) / count;
}

int TEvalGraph::IndexAt(int x) const {
  if (scores_.empty()) return -1;
  const int count = std::max<int>(static_cast<int>(scores_.size()) - 1, 1);
  const double at =
      (x - kLeftMargin) * count / std::max<double>(width() - kLeftMargin - kMargin, 1.0);
  return std::clamp(static_cast<int>(std::lround(at)), 0, static_cast<int>(scores_.size()) - 1);
}

void TEvalGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  ModeBox->move(width() - ModeBox->sizeHint().width() - kMargin, kMargin);
  const bool rates = WinRateMode();
  const double left = kLeftMargin, right = width() - kMargin;
  const double top = kMargin, bottom = height() - kBottomMargin, middle = (top + bottom) / 2;
  auto y_of = [&](const TUsiScore& s) {
    if (rates) return bottom - (bottom - top) * SenteWinRate(s, scale_) / 100.0;
    return middle - (bottom - top) / 2 * GraphValue(s) / kGraphClampCp;
  };
  painter.setPen(QColor(200, 200, 200));
  painter.drawLine(QPointF(left, middle), QPointF(right, middle));
  painter.drawRect(QRectF(left, top, right - left, bottom - top));
  // Value labels on the left, move numbers below.
  painter.setPen(QColor(90, 90, 90));
  QFont small = painter.font();
  small.setPointSizeF(std::max(small.pointSizeF() * 0.8, 6.0));
  painter.setFont(small);
  const QString high = rates ? QStringLiteral("100%") : QStringLiteral("+%1").arg(kGraphClampCp);
  const QString low = rates ? QStringLiteral("0%") : QStringLiteral("-%1").arg(kGraphClampCp);
  const QString mid = rates ? QStringLiteral("50%") : QStringLiteral("0");
  const QRectF label(0, 0, left - 3, 14);
  painter.drawText(label.translated(0, top - 2), Qt::AlignRight | Qt::AlignTop, high);
  painter.drawText(label.translated(0, middle - 7), Qt::AlignRight | Qt::AlignVCenter, mid);
  painter.drawText(label.translated(0, bottom - 12), Qt::AlignRight | Qt::AlignBottom, low);
  const int count = static_cast<int>(scores_.size());
  const int step = count > 100 ? 50 : count > 40 ? 20 : 10;
  for (int n = 0; n < count; n += step) {
    painter.drawText(QRectF(XOf(n) - 20, bottom + 1, 40, 14), Qt::AlignHCenter | Qt::AlignTop,
                     QString::number(n));
  }
  painter.drawText(QRectF(left, bottom + 15, right - left, 28), Qt::AlignLeft | Qt::AlignTop,
                   SummaryText());
  if (current_ >= 0 && current_ < count) {
    painter.setPen(QPen(QColor(220, 80, 40), 1));
    painter.drawLine(QPointF(XOf(current_), top), QPointF(XOf(current_), bottom));
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(30, 60, 160), 1.5));
  QPainterPath path;
  bool open = false;
  for (int i = 0; i < count; ++i) {
    if (!scores_[i]) {
      open = false;
      continue;
    }
    const QPointF point(XOf(i), y_of(*scores_[i]));
    if (open) {
      path.lineTo(point);
    } else {
      path.moveTo(point);
      open = true;
    }
  }
  painter.drawPath(path);
  painter.setBrush(QColor(30, 60, 160));
  for (int i = 0; i < count; ++i) {
    if (!scores_[i]) continue;
    const TMoveVerdict* verdict = VerdictAt(i);
    if (verdict && verdict->mark != TMoveMark::kNone) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(MarkColor(verdict->mark));
      painter.drawEllipse(QPointF(XOf(i), y_of(*scores_[i])), 4, 4);
      painter.setBrush(QColor(30, 60, 160));
      painter.setPen(QPen(QColor(30, 60, 160), 1.5));
    } else {
      painter.drawEllipse(QPointF(XOf(i), y_of(*scores_[i])), 1.5, 1.5);
    }
  }
  if (hover_ >= 0 && hover_ < count) {
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(QRectF(left + 4, top + 2, right - left - 8, 16), Qt::AlignLeft | Qt::AlignTop,
                     ValueText(hover_));
  }
}

void TEvalGraph::mouseMoveEvent(QMouseEvent* event) {
  const int index = IndexAt(static_cast<int>(event->position().x()));
  if (index != hover_) {
    hover_ = index;
    update();
  }
}

void TEvalGraph::mousePressEvent(QMouseEvent* event) {
  const int index = IndexAt(static_cast<int>(event->position().x()));
  if (index >= 0 && event->button() == Qt::LeftButton) emit Clicked(index);
}

}  // namespace zelvaro
