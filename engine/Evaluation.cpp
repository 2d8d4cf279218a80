#include "engine/Evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zelvaro {

double SenteWinRate(const TUsiScore& score, double scale) {
  return 100.0 * score.SenteWinChance(scale);
}

std::string EvalWords(const TUsiScore& score) {
  if (score.mate) return score.sente_mates ? "先手勝ち（詰みあり）" : "後手勝ち（詰みあり）";
  const int size = std::abs(score.cp);
  const char* words = size >= 1500  ? "勝勢"
                      : size >= 600 ? "優勢"
                      : size >= 400 ? "有利"
                      : size >= 200 ? "有望"
                                    : nullptr;
  if (!words) return "互角";
  return std::string(score.cp > 0 ? "先手" : "後手") + words;
}

std::string_view MoveMarkName(TMoveMark mark) {
  switch (mark) {
    case TMoveMark::kSlack:
      return "緩手";
    case TMoveMark::kDubious:
      return "疑問手";
    case TMoveMark::kBad:
      return "悪手";
    case TMoveMark::kBlunder:
      return "大悪手";
    case TMoveMark::kNone:
      break;
  }
  return {};
}

TMoveMark MarkOfLoss(double points) {
  if (points >= 50) return TMoveMark::kBlunder;
  if (points >= 20) return TMoveMark::kBad;
  if (points >= 10) return TMoveMark::kDubious;
  if (points >= 5) return TMoveMark::kSlack;
  return TMoveMark::kNone;
}

std::optional<TMoveVerdict> JudgeMove(const TUsiAnalysis& before, const TUsiAnalysis& after,
                                      std::string_view played, bool sente_moved, double scale) {
  if (!before.HasScore() || !after.HasScore()) return std::nullopt;
  auto mover_rate = [&](const TUsiScore& score) {
    const double sente = SenteWinRate(score, scale);
    return sente_moved ? sente : 100.0 - sente;
  };
  TMoveVerdict verdict;
  verdict.sente = sente_moved;
  verdict.loss =
      std::max(0.0, mover_rate(before.lines[0].score) - mover_rate(after.lines[0].score));
  if (!before.lines[0].pv.empty()) verdict.best = before.lines[0].pv[0];
  if (verdict.best != played) verdict.mark = MarkOfLoss(verdict.loss);
  return verdict;
}

std::vector<std::optional<TMoveVerdict>> JudgeMainLine(
    const std::vector<const TUsiAnalysis*>& results, const std::vector<TMainLineMove>& moves,
    double scale) {
  std::vector<std::optional<TMoveVerdict>> verdicts(results.size());
  for (size_t n = 1; n < results.size() && n < moves.size(); ++n) {
    if (!moves[n].judged || !results[n - 1] || !results[n]) continue;
    verdicts[n] = JudgeMove(*results[n - 1], *results[n], moves[n].played, moves[n].sente, scale);
  }
  return verdicts;
}

void TPlayerTally::Add(const TMoveVerdict& verdict) {
  ++moves;
  loss += verdict.loss;
  if (verdict.mark != TMoveMark::kNone) ++marks[static_cast<size_t>(verdict.mark) - 1];
}

std::string OneDecimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string out = text;
  if (out == "-0.0") out = "0.0";
  return out;
}

std::string TallyText(bool sente, const TPlayerTally& tally) {
  std::string text = sente ? "先手:" : "後手:";
  for (int i = 1; i <= kMoveMarkCount; ++i) {
    const auto mark = static_cast<TMoveMark>(i);
    text += " ";
    text += MoveMarkName(mark);
    text += " " + std::to_string(tally.Count(mark));
  }
  return text + "、平均損失 " + OneDecimal(tally.AverageLoss());
}

}  // namespace zelvaro
