// The winning chance, the words, the marks of moves and the tallies.
#include "engine/Evaluation.h"

#include <gtest/gtest.h>

namespace zelvaro {
namespace {

TUsiScore Cp(int cp) { return TUsiScore{false, cp, 0, false}; }
TUsiScore Mate(bool sente_mates, int plies = 1) { return TUsiScore{true, 0, plies, sente_mates}; }

TUsiAnalysis Scored(const TUsiScore& score, std::vector<std::string> pv = {"2g2f"}) {
  TUsiAnalysis analysis;
  analysis.lines.push_back(TUsiLine{1, true, 10, 12, score, std::move(pv)});
  return analysis;
}

TEST(EvaluationTest, WinRateOfScoresAndScales) {
  const struct {
    TUsiScore score;
    double scale, rate;
  } cases[] = {
      {Cp(0), 600, 50.0},       {Cp(600), 600, 73.1059}, {Cp(-600), 600, 26.8941},
      {Cp(412), 600, 66.5225},  {Cp(300), 100, 95.2574}, {Cp(300), 3000, 52.4979},
      {Mate(true), 600, 100.0}, {Mate(false), 600, 0.0}, {Mate(false, 0), 600, 0.0},
      {Cp(100000), 600, 100.0},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(SenteWinRate(c.score, c.scale), c.rate, 1e-4) << c.score.cp << " " << c.scale;
  }
}

TEST(EvaluationTest, WordsAtEachThresholdForEachSide) {
  const struct {
    TUsiScore score;
    const char* words;
  } cases[] = {
      {Cp(0), "互角"},
      {Cp(199), "互角"},
      {Cp(-199), "互角"},
      {Cp(200), "先手有望"},
      {Cp(-200), "後手有望"},
      {Cp(399), "先手有望"},
      {Cp(400), "先手有利"},
      {Cp(-599), "後手有利"},
      {Cp(600), "先手優勢"},
      {Cp(-1499), "後手優勢"},
      {Cp(1500), "先手勝勢"},
      {Cp(-30000), "後手勝勢"},
      {Mate(true, 5), "先手勝ち（詰みあり）"},
      {Mate(false, 0), "後手勝ち（詰みあり）"},
  };
  for (const auto& c : cases) EXPECT_EQ(EvalWords(c.score), c.words) << c.score.cp;
}

TEST(EvaluationTest, MarksAtEachThreshold) {
  const struct {
    double loss;
    TMoveMark mark;
  } cases[] = {
      {0, TMoveMark::kNone},      {4.99, TMoveMark::kNone},  {5, TMoveMark::kSlack},
      {9.99, TMoveMark::kSlack},  {10, TMoveMark::kDubious}, {19.9, TMoveMark::kDubious},
      {20, TMoveMark::kBad},      {49.9, TMoveMark::kBad},   {50, TMoveMark::kBlunder},
      {100, TMoveMark::kBlunder},
  };
  for (const auto& c : cases) EXPECT_EQ(MarkOfLoss(c.loss), c.mark) << c.loss;
}

TEST(EvaluationTest, JudgesTheMoverFromEitherSide) {
  const struct {
    TUsiScore before, after;
    bool sente;
    std::string played;
    double loss;
    TMoveMark mark;
  } cases[] = {
      // Sente from 50 % to 26.9 %: 悪手.
      {Cp(0), Cp(-600), true, "7g7f", 23.1059, TMoveMark::kBad},
      // Gote's view is sente's turned: gote from 50 % to 26.9 %.
      {Cp(0), Cp(600), false, "3c3d", 23.1059, TMoveMark::kBad},
      // The same fall, but the engine's own first move: no mark.
      {Cp(0), Cp(-600), true, "2g2f", 23.1059, TMoveMark::kNone},
      // Better than the engine thought: no loss.
      {Cp(0), Cp(300), true, "7g7f", 0, TMoveMark::kNone},
      // A move that leaves a mate for the other side.
      {Cp(100), Mate(false, 1), true, "7g7f", 54.1571, TMoveMark::kBlunder},
      // Gote is mated after sente's move (mate 0 seen from sente): no loss.
      {Cp(2000), Mate(true, 0), true, "7g7f", 0, TMoveMark::kNone},
      // Gote was winning and now gote is mated: gote's loss is all of it.
      {Mate(false, 3), Mate(true, 1), false, "3c3d", 100, TMoveMark::kBlunder},
      {Cp(0), Cp(-121), true, "7g7f", 5.0, TMoveMark::kSlack},
      {Cp(0), Cp(-245), true, "7g7f", 10.07, TMoveMark::kDubious},
      {Cp(0), Cp(-243), true, "7g7f", 9.99, TMoveMark::kSlack},
  };
  for (const auto& c : cases) {
    const auto verdict = JudgeMove(Scored(c.before), Scored(c.after), c.played, c.sente);
    ASSERT_TRUE(verdict);
    EXPECT_NEAR(verdict->loss, c.loss, 0.05) << c.before.cp << " " << c.after.cp;
    EXPECT_EQ(verdict->mark, c.mark) << c.before.cp << " " << c.after.cp;
    EXPECT_EQ(verdict->best, "2g2f");
    EXPECT_EQ(verdict->sente, c.sente);
  }
}

TEST(EvaluationTest, NoVerdictWithoutBothScores) {
  TUsiAnalysis unscored;
  unscored.lines.push_back(TUsiLine{1, false, 10, 12, Cp(-3000), {"7g7f"}});
  EXPECT_FALSE(JudgeMove(unscored, Scored(Cp(0)), "1a1b", true));
  EXPECT_FALSE(JudgeMove(Scored(Cp(0)), unscored, "1a1b", true));
  EXPECT_FALSE(JudgeMove(TUsiAnalysis{}, Scored(Cp(-3000)), "1a1b", true));
}

TEST(EvaluationTest, MainLineJudgesOnlyMovesBetweenTwoResults) {
  const TUsiAnalysis a = Scored(Cp(0)), b = Scored(Cp(-600)), c = Scored(Cp(-600));
  const std::vector<const TUsiAnalysis*> results{&a, &b, nullptr, &c, &c};
  const std::vector<TMainLineMove> moves{
      {"", true, false},    {"7g7f", true, true}, {"3c3d", false, true},
      {"2g2f", true, true}, {"", false, false},  // 投了
  };
  const auto verdicts = JudgeMainLine(results, moves);
  ASSERT_EQ(verdicts.size(), 5u);
  EXPECT_FALSE(verdicts[0]);
  ASSERT_TRUE(verdicts[1]);
  EXPECT_EQ(verdicts[1]->mark, TMoveMark::kBad);
  EXPECT_FALSE(verdicts[2]);  // no result after it
  EXPECT_FALSE(verdicts[3]);  // none before it: never a stale one
  EXPECT_FALSE(verdicts[4]);
}

TEST(EvaluationTest, TalliesCountEachPlayerApart) {
  TGameTally tally;
  tally.Add({true, 6.0, "", TMoveMark::kSlack});
  tally.Add({true, 60.0, "", TMoveMark::kBlunder});
  tally.Add({true, 0.3, "", TMoveMark::kNone});
  tally.Add({false, 12.0, "", TMoveMark::kDubious});
  EXPECT_EQ(tally.sente.moves, 3);
  EXPECT_EQ(tally.sente.Count(TMoveMark::kSlack), 1);
  EXPECT_EQ(tally.sente.Count(TMoveMark::kBlunder), 1);
  EXPECT_EQ(tally.sente.Count(TMoveMark::kDubious), 0);
  EXPECT_EQ(TallyText(true, tally.sente), "先手: 緩手 1 疑問手 0 悪手 0 大悪手 1、平均損失 22.1");
  EXPECT_EQ(TallyText(false, tally.gote), "後手: 緩手 0 疑問手 1 悪手 0 大悪手 0、平均損失 12.0");
  EXPECT_EQ(TallyText(false, TPlayerTally{}),
            "後手: 緩手 0 疑問手 0 悪手 0 大悪手 0、平均損失 0.0");
}

}  // namespace
}  // namespace zelvaro
