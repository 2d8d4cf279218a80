// The players' clocks beside their names: 「☗ 先手名  残り 2時間13分」 and
// 「☖ 後手名  秒読み」 for the row on show, the side to move highlighted,
// and the time limit under them. A record without a clock hides the panel.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>

#include "game/Record.h"

namespace zelvaro {

class TClockPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TClockPanel(QWidget* parent = nullptr);

  // Shows the clocks of `record` at `row`; hides the panel when the record
  // has no clock (game/TimeLimit.h). A row that says nothing of the time
  // used shows the names without a clock.
  void ShowRow(const TKifRecord& record, int row);

  // What each line says, sente's first: "☗ 甲  残り 9分".
  QString LineText(int side_index) const;
  // 1 sente, -1 gote, 0 when no clock is on show.
  int HighlightedSide() const { return to_move_; }

 private:
  struct Line {
    QWidget* frame;
    QLabel* name;
    QLabel* clock;
  };
  void Highlight(int side);

  std::array<Line, 2> lines_;  // sente, gote
  QLabel* limit_;
  int to_move_ = 0;
};

}  // namespace zelvaro
