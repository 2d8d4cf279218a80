// What an engine's scores mean for the game: the winning chance of a side,
// the position in words, the marks of the moves played (緩手 … 大悪手) by
// the fall of the mover's winning chance, and each player's tally.
// Scores here are from sente's side, as TUsiScore keeps them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/UsiClient.h"

namespace zelvaro {

// The scale of the logistic curve from centipawns to a winning chance.
inline constexpr int kDefaultWinRateScale = static_cast<int>(kWinChanceScale);
inline constexpr int kMinWinRateScale = 100;
inline constexpr int kMaxWinRateScale = 3000;

// Sente's winning chance in percent: 100 / (1 + e^(-cp / scale)); a mate is
// 100 when sente gives it and 0 when sente is mated.
double SenteWinRate(const TUsiScore& score, double scale = kDefaultWinRateScale);

// The position in words from sente's score: "互角" below 200 either way,
// then "有望" (200), "有利" (400), "優勢" (600), "勝勢" (1500) after the side
// ahead ("後手優勢"); a mate is "先手勝ち（詰みあり）".
std::string EvalWords(const TUsiScore& score);

enum class TMoveMark { kNone, kSlack, kDubious, kBad, kBlunder };
inline constexpr int kMoveMarkCount = 4;  // the marks other than kNone
// "緩手", "疑問手", "悪手", "大悪手"; empty for kNone.
std::string_view MoveMarkName(TMoveMark mark);
// The mark of a loss of `points` of winning chance: 5 緩手, 10 疑問手,
// 20 悪手, 50 大悪手.
TMoveMark MarkOfLoss(double points);

// The verdict on one move: how much winning chance the mover gave away
// against the engine's best line, the engine's first move there, its mark.
struct TMoveVerdict {
  bool sente = true;  // the mover
  double loss = 0;    // points, never negative
  std::string best;   // USI
  TMoveMark mark = TMoveMark::kNone;
};

// The move `played` (USI) by the side `sente_moved`, from the position of
// `before` to that of `after`. None when either has no score: a move is
// judged only from two scored positions. No mark (but a loss) when the
// played move is the engine's first move in the position before.
std::optional<TMoveVerdict> JudgeMove(const TUsiAnalysis& before, const TUsiAnalysis& after,
                                      std::string_view played, bool sente_moved,
                                      double scale = kDefaultWinRateScale);

// The move into each main-line position: its USI text, its mover, and
// whether it is judged at all (a move the rules took; not a foul, not an
// end such as 投了, not position 0).
struct TMainLineMove {
  std::string played;
  bool sente = true;
  bool judged = false;
};
// The verdict on each main-line move from the kept results of the
// positions (null where there is none): results[n] and moves[n] are of
// position n.
std::vector<std::optional<TMoveVerdict>> JudgeMainLine(
    const std::vector<const TUsiAnalysis*>& results, const std::vector<TMainLineMove>& moves,
    double scale = kDefaultWinRateScale);

// One player's tally of judged moves.
struct TPlayerTally {
  std::array<int, kMoveMarkCount> marks{};  // by TMoveMark - 1
  int moves = 0;                            // judged moves
  double loss = 0;                          // their summed loss
  void Add(const TMoveVerdict& verdict);
  double AverageLoss() const { return moves ? loss / moves : 0.0; }
  int Count(TMoveMark mark) const { return marks[static_cast<size_t>(mark) - 1]; }
};

struct TGameTally {
  TPlayerTally sente, gote;
  void Add(const TMoveVerdict& verdict) { (verdict.sente ? sente : gote).Add(verdict); }
};

// 「先手: 緩手 2 疑問手 1 悪手 0 大悪手 0、平均損失 2.1」
std::string TallyText(bool sente, const TPlayerTally& tally);

// A value in points with one decimal ("66.0"); -0.0 is written 0.0.
std::string OneDecimal(double value);

}  // namespace zelvaro
