// The analysis panel: the engine's evaluation of the position on show as a
// number and a bar (sente's side), sente's winning chance, depth and speed,
// and the best line and the next best ones in Japanese notation. A fault is
// shown in words with the engine's last line, and 「再起動」 starts it again.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "engine/Evaluation.h"
#include "engine/UsiClient.h"

namespace zelvaro {

// "▲ +300", "△ +120" (gote ahead), "▲ 詰み 5手", "± 0"; a bound adds 以上/以下
// (as sente sees it).
QString ScoreText(const TUsiScore& score);
// "1,234 kN/秒" style speed of `nps` nodes per second.
QString SpeedText(std::int64_t nps);

class TAnalysisPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TAnalysisPanel(QWidget* parent = nullptr);

  // Turns a line's USI moves from a position into text.
  using PvFormatter =
      std::function<QString(const std::string& position, const std::vector<std::string>& pv)>;
  void SetPvFormatter(PvFormatter formatter) { formatter_ = std::move(formatter); }

  // Shows `analysis` (no score yet: "検討中…").
  void ShowAnalysis(const TUsiAnalysis& analysis);
  // The verdict on the move that led to the position on show, with the
  // engine's best move there in notation; null: nothing (no mark, or not
  // analysed yet).
  void ShowVerdict(const TMoveVerdict* verdict, const QString& best);
  // 「勝率換算の係数」.
  void SetScale(int scale) { scale_ = scale; }
  // The engine's state: its name, or a fault (shown in red with 「再起動」).
  void ShowStatus(const QString& text, bool fault);

  QLabel* StatusLabel;
  QPushButton* RestartButton;
  QLabel* EvalLabel;
  QProgressBar* EvalBar;  // sente's winning chance in per mille
  QLabel* ChanceLabel;    // 「+412 (先手勝率 66 %)」
  QLabel* WordsLabel;     // 「先手有利」
  QLabel* MarkLabel;      // 「悪手: 勝率 −23 %、最善 ▲４五桂」
  QLabel* DepthLabel;
  QPlainTextEdit* LinesView;

 signals:
  void RestartClicked();

 private:
  PvFormatter formatter_;
  int scale_ = kDefaultWinRateScale;
};

// The value and winning chance of a score: 「+412 (先手勝率 66 %)」; a mate
// in 0 (the side to move is mated) 「詰み（後手の負け）」.
QString ChanceText(const TUsiScore& score, int scale);
// A line of moves that never breaks between 「▲」/「△」 and the move.
QString NoBreakMoves(QString moves);

}  // namespace zelvaro
