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
  // The engine's state: its name, or a fault (shown in red with 「再起動」).
  void ShowStatus(const QString& text, bool fault);

  QLabel* StatusLabel;
  QPushButton* RestartButton;
  QLabel* EvalLabel;
  QProgressBar* EvalBar;  // sente's winning chance in per mille
  QLabel* ChanceLabel;
  QLabel* DepthLabel;
  QPlainTextEdit* LinesView;

 signals:
  void RestartClicked();

 private:
  PvFormatter formatter_;
};

}  // namespace zelvaro
