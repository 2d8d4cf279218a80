// The evaluation graph of the whole main line: one point per move number
// (sente's side, clamped to ±kGraphClampCp; a mate at the clamp), or
// sente's winning chance (「勝率」), filled in as results come, the move on
// show marked, a coloured dot at each marked move, axis labels, move
// numbers and the value under the pointer; each player's tally under it.
// A click shows that move.
#pragma once

#include <QComboBox>
#include <QWidget>
#include <optional>
#include <vector>

#include "engine/Evaluation.h"
#include "engine/UsiClient.h"

namespace zelvaro {

inline constexpr int kGraphClampCp = 2000;
// The colour of a mark's dot on the graph and in the move list.
QColor MarkColor(TMoveMark mark);

// The value a score is drawn at: its cp clamped, a mate at the clamp.
int GraphValue(const TUsiScore& score);

class TEvalGraph : public QWidget {
  Q_OBJECT
 public:
  explicit TEvalGraph(QWidget* parent = nullptr);

  // One entry per main-line move number from 0; none where there is no result yet.
  void SetScores(std::vector<std::optional<TUsiScore>> scores);
  const std::vector<std::optional<TUsiScore>>& Scores() const { return scores_; }
  // The move number on show; -1 for none.
  void SetCurrent(int index);
  int Current() const { return current_; }
  // The move number drawn at x (for clicks); -1 when there are no points.
  int IndexAt(int x) const;
  // 「勝率」 (true) or 「評価値」; also chosen in ModeBox.
  void SetWinRateMode(bool on);
  bool WinRateMode() const { return ModeBox->currentIndex() == 1; }
  void SetScale(int scale);
  int Scale() const { return scale_; }
  // The verdict on the move to each main-line position (none: not judged).
  void SetVerdicts(std::vector<std::optional<TMoveVerdict>> verdicts);
  const TMoveVerdict* VerdictAt(int index) const;
  // Each player's line under the graph.
  QString SummaryText() const;
  // The value at move number `index` as the pointer shows it ("12手目 ▲+300").
  QString ValueText(int index) const;

  QComboBox* ModeBox;

 signals:
  void Clicked(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  double XOf(int index) const;
  std::vector<std::optional<TUsiScore>> scores_;
  int current_ = -1;
  int scale_ = kDefaultWinRateScale;
  std::vector<std::optional<TMoveVerdict>> verdicts_;
  TGameTally tally_;
  int hover_ = -1;
};

}  // namespace zelvaro
