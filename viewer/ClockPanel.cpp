#include "viewer/ClockPanel.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "game/TimeLimit.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro {
namespace {

// The side to move stands out as a broadcast's clock does.
const QString kStyle = QStringLiteral(
    "QWidget#clockLine { border: 1px solid palette(mid); border-radius: 3px; }"
    "QWidget#clockLine[toMove=\"true\"] { background: #ffe9a8; border-color: #c08a00; }"
    "QWidget#clockLine[toMove=\"true\"] QLabel { font-weight: bold; }");

}  // namespace

TClockPanel::TClockPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("clockPanel"));
  setStyleSheet(kStyle);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(3);
  for (size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    line.frame = new QWidget(this);
    line.frame->setObjectName(QStringLiteral("clockLine"));
    line.frame->setAttribute(Qt::WA_StyledBackground);
    line.name = new QLabel(line.frame);
    line.name->setObjectName(i == 0 ? QStringLiteral("senteName") : QStringLiteral("goteName"));
    // A long name is cut; the whole one is in the tooltip.
    line.name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    line.clock = new QLabel(line.frame);
    line.clock->setObjectName(i == 0 ? QStringLiteral("senteClock") : QStringLiteral("goteClock"));
    line.clock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* row = new QHBoxLayout(line.frame);
    row->setContentsMargins(4, 3, 4, 3);
    row->addWidget(line.name, 1);
    row->addWidget(line.clock);
    layout->addWidget(line.frame);
  }
  limit_ = new QLabel(this);
  limit_->setObjectName(QStringLiteral("timeLimit"));
  limit_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(limit_);
  hide();
}

void TClockPanel::ShowRow(const TKifRecord& record, int row) {
  if (!HasClock(record) || row < 0 || row >= static_cast<int>(record.rows.size())) {
    Highlight(0);
    hide();
    return;
  }
  const std::optional<TClock> clock = ClockAt(record, static_cast<size_t>(row));
  const std::u16string* names[] = {&record.sente_name, &record.gote_name};
  for (size_t i = 0; i < lines_.size(); ++i) {
    const QString name =
        (i == 0 ? QStringLiteral("☗ ") : QStringLiteral("☖ ")) + ToQString(*names[i]).trimmed();
    lines_[i].name->setText(name);
    lines_[i].name->setToolTip(name);
    lines_[i].clock->setText(
        clock ? ToQString(RemainingText(clock->remaining[i], *record.time_limit)) : QString());
  }
  limit_->setText(QStringLiteral("持ち時間 ") + ToQString(TimeLimitText(*record.time_limit)));
  Highlight(clock ? clock->to_move : 0);
  show();
}

QString TClockPanel::LineText(int side_index) const {
  const Line& line = lines_.at(static_cast<size_t>(side_index));
  return line.clock->text().isEmpty()
             ? line.name->text()
             : line.name->text() + QStringLiteral("  ") + line.clock->text();
}

void TClockPanel::Highlight(int side) {
  to_move_ = side;
  for (size_t i = 0; i < lines_.size(); ++i) {
    QWidget* frame = lines_[i].frame;
    frame->setProperty("toMove", side == (i == 0 ? 1 : -1));
    // Styles follow a property only when polished again.
    frame->style()->unpolish(frame);
    frame->style()->polish(frame);
    for (QLabel* label : {lines_[i].name, lines_[i].clock}) {
      label->style()->unpolish(label);
      label->style()->polish(label);
    }
  }
}

}  // namespace zelvaro
