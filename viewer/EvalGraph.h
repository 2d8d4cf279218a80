// The evaluation graph of the whole main line: one point per move number
// (sente's side, clamped to ±kGraphClampCp; a mate at the clamp), filled in
// as results come, the move on show marked; a click shows that move.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "engine/UsiClient.h"

namespace zelvaro {

inline constexpr int kGraphClampCp = 2000;

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

 signals:
  void Clicked(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  double XOf(int index) const;
  std::vector<std::optional<TUsiScore>> scores_;
  int current_ = -1;
};

}  // namespace zelvaro
