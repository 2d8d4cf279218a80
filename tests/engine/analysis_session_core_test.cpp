// The analysis session's decisions without Qt: the order of searches, the
// lines kept and shown, and the engine's output split into lines.
#include <gtest/gtest.h>

#include "engine/AnalysisSessionCore.h"
#include "engine/LineSplitter.h"

namespace zelvaro {
namespace {

using std::chrono::milliseconds;

TUsiInfo Info(const std::string& position, std::uint64_t serial, int depth, int cp) {
  TUsiInfo info = ParseUsiInfo(
      "info depth " + std::to_string(depth) + " score cp " + std::to_string(cp) + " pv 7g7f",
      false);
  info.position = position;
  info.serial = serial;
  return info;
}

TEST(AnalysisSessionCoreTest, ShownFirstThenTheGraphKeepingTimedResults) {
  TAnalysisSessionCore core;
  core.Plan().SetTimePerPosition(milliseconds(100));
  core.Plan().SetMainLine({"a", "b"});
  EXPECT_TRUE(core.SetShown("b"));
  EXPECT_FALSE(core.SetShown("b"));
  auto change = core.Schedule();
  ASSERT_TRUE(change && change->job);
  EXPECT_EQ(change->job->position, "b");
  EXPECT_FALSE(core.WorkingOnGraph());
  EXPECT_FALSE(core.Schedule());  // the same search goes on

  // Lines of a stopped search (an older serial) neither show nor count.
  EXPECT_FALSE(core.OnInfo(Info("a", 1, 3, 50), 2).shown);
  const auto first = core.OnInfo(Info("b", 2, 1, 20), 2);
  EXPECT_TRUE(first.first);
  EXPECT_TRUE(first.shown);
  EXPECT_FALSE(core.OnInfo(Info("b", 2, 2, 30), 2).first);
  EXPECT_EQ(core.Shown().lines[0].score.cp, 30);
  // Cut short: not kept.
  EXPECT_FALSE(core.OnTimeUp(milliseconds(50)));
  ASSERT_TRUE(core.Schedule());
  core.OnInfo(Info("b", 3, 4, 40), 3);
  EXPECT_EQ(core.OnTimeUp(milliseconds(100)), "b");
  ASSERT_NE(core.Plan().Result("b"), nullptr);

  change = core.Schedule();
  ASSERT_TRUE(change && change->job);
  EXPECT_EQ(change->job->position, "a");
  EXPECT_TRUE(core.WorkingOnGraph());
  // A graph search never changes what shows.
  EXPECT_FALSE(core.OnInfo(Info("a", 4, 9, -10), 4).shown);
  EXPECT_EQ(core.Shown().lines[0].score.cp, 40);
  // The engine ends it by itself (a mate): kept, and never searched again.
  EXPECT_FALSE(core.OnBestMove(Info("a", 3, 9, 0), 4, milliseconds(10)));
  EXPECT_EQ(core.OnBestMove(Info("a", 4, 9, 0), 4, milliseconds(10)), "a");
  EXPECT_TRUE(core.Plan().IsFinished("a"));
  change = core.Schedule();
  ASSERT_TRUE(change && change->job);
  EXPECT_EQ(*change->job, (TAnalysisPlan::Job{"b", std::nullopt}));  // deepens the one on show
}

TEST(AnalysisSessionCoreTest, AShallowerLiveLineNeverHidesAKeptOne) {
  TAnalysisSessionCore core;
  core.Plan().SetTimePerPosition(milliseconds(10));
  core.SetShown("a");
  core.Schedule();
  core.OnInfo(Info("a", 1, 12, 100), 1);
  core.OnTimeUp(milliseconds(10));
  core.SetShown("b");
  EXPECT_FALSE(core.Shown().HasScore());
  core.SetShown("a");  // back: the kept result shows at once
  EXPECT_EQ(core.Shown().lines[0].score.cp, 100);
  core.Schedule();
  EXPECT_FALSE(core.OnInfo(Info("a", 2, 3, -500), 2).shown);
  EXPECT_TRUE(core.OnInfo(Info("a", 2, 12, 90), 2).shown);
  core.Clear();
  EXPECT_FALSE(core.Shown().HasScore());
  EXPECT_EQ(core.Plan().Result("a"), nullptr);
}

TEST(LineSplitterTest, SplitsPiecesCutsLongLinesAndDropsCarriageReturns) {
  TLineSplitter splitter;
  EXPECT_EQ(splitter.Feed("usi"), std::vector<std::string>{});
  EXPECT_EQ(splitter.Feed("ok\r\nid name x\n\nreadyok"),
            (std::vector<std::string>{"usiok", "id name x", ""}));
  EXPECT_EQ(splitter.Finish(), std::vector<std::string>{"readyok"});
  EXPECT_EQ(splitter.Finish(), std::vector<std::string>{});
  const std::vector<std::string> lines =
      splitter.Feed(std::string(kMaxUsiLineLength + 10, 'x') + "\nbestmove 7g7f\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), kMaxUsiLineLength);
  EXPECT_EQ(lines[1], "bestmove 7g7f");
}

}  // namespace
}  // namespace zelvaro
