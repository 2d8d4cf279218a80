#include "viewer/AnalysisPanel.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QVBoxLayout>
#include <cmath>

#include "viewer/EvalGraph.h"

namespace zelvaro {

QString ScoreText(const TUsiScore& score) {
  QString text;
  if (score.mate) {
    text = QString::fromUtf8(score.sente_mates ? "▲ 詰み" : "△ 詰み");
    if (score.mate_plies != kUnknownMatePlies)
      text += QStringLiteral(" %1手").arg(score.mate_plies);
  } else if (score.cp == 0) {
    text = QStringLiteral("± 0");
  } else {
    text = QString::fromUtf8(score.cp > 0 ? "▲ +" : "△ +") + QString::number(std::abs(score.cp));
  }
  if (score.bound == TUsiBound::kLower) text += QStringLiteral(" 以上");
  if (score.bound == TUsiBound::kUpper) text += QStringLiteral(" 以下");
  return text;
}

QString ChanceText(const TUsiScore& score, int scale) {
  if (score.mate && score.mate_plies == 0) {
    return score.sente_mates ? QStringLiteral("詰み（後手の負け）")
                             : QStringLiteral("詰み（先手の負け）");
  }
  const int rate = static_cast<int>(std::lround(SenteWinRate(score, scale)));
  const QString value =
      score.mate ? QString::fromUtf8(score.sente_mates ? "▲詰み" : "△詰み")
                 : (score.cp > 0 ? QStringLiteral("+") : QString()) + QString::number(score.cp);
  return QStringLiteral("%1 (先手勝率 %2 %)").arg(value).arg(rate);
}

QString NoBreakMoves(QString moves) {
  // A word joiner after each side's mark keeps it with its move.
  moves.replace(QStringLiteral("▲"), QStringLiteral("▲\u2060"));
  moves.replace(QStringLiteral("△"), QStringLiteral("△\u2060"));
  return moves;
}

QString SpeedText(std::int64_t nps) {
  return QLocale(QLocale::English).toString(static_cast<qlonglong>(nps / 1000)) +
         QStringLiteral(" kN/秒");
}

TAnalysisPanel::TAnalysisPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("analysisPanel"));
  auto make_label = [this](const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };
  StatusLabel = make_label("statusLabel");
  StatusLabel->setWordWrap(true);
  RestartButton = new QPushButton(QStringLiteral("再起動"), this);
  RestartButton->setObjectName(QStringLiteral("restartButton"));
  RestartButton->setVisible(false);
  RestartButton->setFocusPolicy(Qt::TabFocus);
  EvalLabel = make_label("evalLabel");
  QFont big = EvalLabel->font();
  if (big.pointSizeF() > 0) {
    big.setPointSizeF(big.pointSizeF() * 1.5);
  } else if (big.pixelSize() > 0) {
    big.setPixelSize(big.pixelSize() * 3 / 2);
  }
  big.setBold(true);
  EvalLabel->setFont(big);
  EvalBar = new QProgressBar(this);
  EvalBar->setObjectName(QStringLiteral("evalBar"));
  EvalBar->setRange(0, 1000);
  EvalBar->setValue(500);
  EvalBar->setTextVisible(false);
  EvalBar->setMaximumHeight(12);
  ChanceLabel = make_label("chanceLabel");
  DepthLabel = make_label("depthLabel");
  WordsLabel = make_label("wordsLabel");
  MarkLabel = make_label("markLabel");
  MarkLabel->setWordWrap(true);
  LinesView = new QPlainTextEdit(this);
  LinesView->setObjectName(QStringLiteral("linesView"));
  LinesView->setReadOnly(true);
  LinesView->setFocusPolicy(Qt::ClickFocus);

  auto* status = new QHBoxLayout;
  status->addWidget(StatusLabel, 1);
  status->addWidget(RestartButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(status);
  layout->addWidget(EvalLabel);
  layout->addWidget(EvalBar);
  layout->addWidget(ChanceLabel);
  layout->addWidget(WordsLabel);
  layout->addWidget(MarkLabel);
  layout->addWidget(DepthLabel);
  layout->addWidget(LinesView, 1);
  connect(RestartButton, &QPushButton::clicked, this, &TAnalysisPanel::RestartClicked);
  ShowAnalysis({});
}

void TAnalysisPanel::ShowAnalysis(const TUsiAnalysis& analysis) {
  if (!analysis.HasScore()) {
    EvalLabel->setText(QStringLiteral("検討中…"));
    EvalBar->setValue(500);
    ChanceLabel->clear();
    WordsLabel->clear();
    DepthLabel->clear();
    LinesView->clear();
    return;
  }
  const TUsiScore& best = analysis.lines[0].score;
  EvalLabel->setText(QStringLiteral("評価値 ") + ScoreText(best));
  const double chance = SenteWinRate(best, scale_) / 100.0;
  EvalBar->setValue(static_cast<int>(std::lround(chance * 1000)));
  ChanceLabel->setText(ChanceText(best, scale_));
  WordsLabel->setText(QString::fromStdString(EvalWords(best)));
  QString depth = QStringLiteral("深さ %1").arg(analysis.depth.value_or(0));
  if (analysis.seldepth) depth += QStringLiteral("/%1").arg(*analysis.seldepth);
  if (analysis.nps) depth += QStringLiteral("  ") + SpeedText(*analysis.nps);
  if (analysis.hashfull)
    depth += QStringLiteral("  ハッシュ %1%").arg(*analysis.hashfull / 10.0, 0, 'f', 1);
  DepthLabel->setText(depth);
  QString lines;
  for (const TUsiLine& line : analysis.lines) {
    if (!line.scored) continue;
    const QString moves =
        formatter_ ? formatter_(analysis.position, line.pv) : QString::fromStdString([&] {
          std::string s;
          for (const auto& m : line.pv) s += (s.empty() ? "" : " ") + m;
          return s;
        }());
    if (!lines.isEmpty()) lines += QLatin1Char('\n');
    lines += QStringLiteral("%1. [%2] %3")
                 .arg(line.multipv)
                 .arg(ScoreText(line.score), NoBreakMoves(moves));
  }
  if (LinesView->toPlainText() != lines) LinesView->setPlainText(lines);
}

void TAnalysisPanel::ShowVerdict(const TMoveVerdict* verdict, const QString& best) {
  if (verdict == nullptr || verdict->mark == TMoveMark::kNone) {
    MarkLabel->clear();
    return;
  }
  QString text = QStringLiteral("%1: 勝率 \u2212%2 %")
                     .arg(QString::fromUtf8(MoveMarkName(verdict->mark).data(),
                                            static_cast<int>(MoveMarkName(verdict->mark).size())))
                     .arg(std::lround(verdict->loss));
  if (!best.isEmpty()) text += QStringLiteral("、最善 ") + NoBreakMoves(best);
  MarkLabel->setText(text);
  MarkLabel->setStyleSheet(QStringLiteral("color: %1;").arg(MarkColor(verdict->mark).name()));
}

void TAnalysisPanel::ShowStatus(const QString& text, bool fault) {
  StatusLabel->setText(text);
  StatusLabel->setStyleSheet(fault ? QStringLiteral("color: #c00000;") : QString());
  RestartButton->setVisible(fault);
}

}  // namespace zelvaro
