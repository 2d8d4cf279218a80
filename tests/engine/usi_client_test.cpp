// The USI client as a state machine: lines in, commands and events out, on a
// made-up clock.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/UsiClient.h"

namespace zelvaro {
namespace {

using std::chrono::milliseconds;
using Strings = std::vector<std::string>;

class UsiClientTest : public ::testing::Test {
 protected:
  TUsiClock::time_point t0 = TUsiClock::time_point() + std::chrono::hours(1);
  TUsiClock::time_point now = t0;
  TUsiClient client{TUsiSettings{64, 1, 2}};

  void Feed(std::initializer_list<const char*> lines) {
    for (const char* line : lines) client.OnLine(line, now);
  }
  void Pass(milliseconds d) {
    now += d;
    client.OnTick(now);
  }
  void Ready() {
    client.Start(now);
    Feed({"id name T", "option name Hash type spin default 16", "option name MultiPV type spin",
          "usiok", "readyok"});
    client.TakeCommands();
    client.TakeEvents();
  }
  std::vector<TUsiInfo> Infos() {
    std::vector<TUsiInfo> infos;
    for (auto& e : client.TakeEvents()) {
      if (e.kind == TUsiEvent::Kind::kInfo) infos.push_back(e.info);
    }
    return infos;
  }
};

TEST_F(UsiClientTest, StartSetsTheOptionsUnderTheNamesTheEngineDeclared) {
  struct Case {
    std::vector<const char*> options;
    Strings set;
  } cases[] = {
      {{"option name Hash type spin default 16", "option name Threads type spin",
        "option name MultiPV type spin"},
       {"setoption name Hash value 64", "setoption name Threads value 1",
        "setoption name MultiPV value 2"}},
      {{"option name USI_Hash type spin", "option name USI_MultiPV type spin"},
       {"setoption name USI_Hash value 64", "setoption name USI_MultiPV value 2"}},
      {{"option name USI_Hash type spin", "option name Hash type spin"},
       {"setoption name USI_Hash value 64"}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    TUsiClient fresh(TUsiSettings{64, 1, 2});
    fresh.Start(now);
    EXPECT_EQ(fresh.TakeCommands(), Strings{"usi"});
    fresh.OnLine("id name Some Engine 1.0", now);
    for (const char* option : c.options) fresh.OnLine(option, now);
    fresh.OnLine("usiok", now);
    Strings expected = c.set;
    expected.push_back("isready");
    EXPECT_EQ(fresh.TakeCommands(), expected);
    EXPECT_EQ(fresh.State(), TUsiState::kWaitingReadyOk);
    fresh.OnLine("readyok", now);
    EXPECT_EQ(fresh.TakeCommands(), Strings{"usinewgame"});
    EXPECT_EQ(fresh.EngineName(), "Some Engine 1.0");
    EXPECT_EQ(fresh.TakeEvents().back().kind, TUsiEvent::Kind::kReady);
  }
  EXPECT_GE(DefaultUsiThreads(), 1);
  EXPECT_EQ(TUsiSettings().hash_mb, 128);
  EXPECT_EQ(TUsiSettings().multipv, 1);
}

TEST_F(UsiClientTest, LimitsOfTheWaitsEndInAFaultWithTheLastLine) {
  struct Case {
    std::vector<const char*> lines;
    milliseconds limit;
    TUsiFaultKind kind;
  } cases[] = {
      {{"id name x"}, kUsiOkLimit, TUsiFaultKind::kNoUsiOk},
      {{"id name x", "usiok", "something"}, kReadyOkLimit, TUsiFaultKind::kNoReadyOk},
  };
  for (const Case& c : cases) {
    TUsiClient fresh;
    fresh.Start(now);
    for (const char* line : c.lines) fresh.OnLine(line, now);
    fresh.OnTick(now + c.limit - milliseconds(1));
    EXPECT_TRUE(fresh.TakeEvents().empty() || fresh.State() != TUsiState::kFailed);
    fresh.OnTick(now + c.limit);
    const auto events = fresh.TakeEvents();
    ASSERT_FALSE(events.empty());
    ASSERT_TRUE(events.back().fault);
    EXPECT_EQ(events.back().fault->kind, c.kind);
    EXPECT_EQ(events.back().fault->last_line, c.lines.back());
    EXPECT_NE(UsiFaultMessage(*events.back().fault).find(c.lines.back()), std::string::npos);
    EXPECT_EQ(fresh.State(), TUsiState::kFailed);
  }
}

TEST_F(UsiClientTest, AnEngineDeclaringTooManyOrTooLongOptionsIsEnded) {
  struct Case {
    size_t count;
    size_t name_length;
    bool fails;
  } cases[] = {
      {kMaxUsiOptions, 8, false},
      {kMaxUsiOptions + 1, 8, true},
      {200000, 8, true},
      {1, kMaxUsiOptionLine, true},
  };
  for (const Case& c : cases) {
    TUsiClient fresh;
    fresh.Start(now);
    for (size_t i = 0; i < c.count && fresh.State() != TUsiState::kFailed; ++i) {
      fresh.OnLine(
          "option name " + std::string(c.name_length, 'a') + std::to_string(i) + " type spin", now);
    }
    EXPECT_LE(fresh.Options().size(), kMaxUsiOptions);
    fresh.OnLine("usiok", now);
    const auto events = fresh.TakeEvents();
    EXPECT_EQ(fresh.State() == TUsiState::kFailed, c.fails) << c.count;
    if (!c.fails) continue;
    ASSERT_FALSE(events.empty());
    ASSERT_TRUE(events.back().fault);
    EXPECT_EQ(events.back().fault->kind, TUsiFaultKind::kTooManyOptions);
    EXPECT_NE(UsiFaultMessage(*events.back().fault).find("設定項目が多すぎる"), std::string::npos);
  }
}

TEST_F(UsiClientTest, ANewPositionStopsOnceWaitsForBestmoveAndDropsNothingOfTheOld) {
  Ready();
  client.SetPosition("position startpos", now);
  EXPECT_EQ(client.TakeCommands(), (Strings{"position startpos", "go infinite"}));
  Feed({"info depth 1 score cp 50 pv 7g7f"});
  Pass(milliseconds(500));
  client.SetPosition("position startpos moves 7g7f", now);
  Pass(milliseconds(500));
  client.SetPosition("position startpos moves 2g2f", now);
  EXPECT_EQ(client.TakeCommands(), Strings{"stop"});  // one stop for both
  // Late lines of the old search keep its position.
  Feed({"info depth 2 score cp 60 pv 7g7f"});
  auto infos = Infos();
  ASSERT_EQ(infos.size(), 2u);
  EXPECT_EQ(infos[1].position, "position startpos");
  EXPECT_NE(infos[1].serial, client.Serial());
  Feed({"bestmove 7g7f"});
  EXPECT_EQ(client.TakeCommands(), (Strings{"position startpos moves 2g2f", "go infinite"}));
  Feed({"info depth 1 score cp 30 pv 8c8d"});
  infos = Infos();
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0].position, "position startpos moves 2g2f");
  EXPECT_EQ(infos[0].serial, client.Serial());
  EXPECT_EQ(infos[0].score->cp, -30);  // gote to move: turned to sente's side
}

TEST_F(UsiClientTest, QuickChangesAreMergedIntoTheLast) {
  Ready();
  client.SetPosition("position startpos moves 7g7f", now);
  client.TakeCommands();
  Feed({"bestmove 7g7f"});  // an engine that ends the search by itself
  for (const char* p : {"position startpos moves 2g2f", "position startpos moves 5g5f",
                        "position startpos moves 6g6f"}) {
    Pass(milliseconds(30));
    client.SetPosition(p, now);
  }
  EXPECT_TRUE(client.TakeCommands().empty());
  ASSERT_TRUE(client.NextDeadline());
  EXPECT_EQ(*client.NextDeadline(), now + kMergeInterval);
  Pass(kMergeInterval);
  EXPECT_EQ(client.TakeCommands(), (Strings{"position startpos moves 6g6f", "go infinite"}));
  EXPECT_EQ(client.Searching(), "position startpos moves 6g6f");
}

TEST_F(UsiClientTest, LateBestmoveWaitsWithinItsLimitAndFailsBeyond) {
  Ready();
  client.SetPosition("position startpos", now);
  Pass(milliseconds(200));
  client.SetPosition("position startpos moves 1g1f", now);
  client.TakeCommands();
  Pass(kBestMoveLimit - milliseconds(1));
  EXPECT_EQ(client.State(), TUsiState::kStopping);
  EXPECT_TRUE(client.TakeCommands().empty());  // no second stop
  Feed({"info depth 30 garbage"});
  Pass(milliseconds(1));
  EXPECT_EQ(client.State(), TUsiState::kFailed);
  const auto events = client.TakeEvents();
  ASSERT_TRUE(events.back().fault);
  EXPECT_EQ(events.back().fault->kind, TUsiFaultKind::kNoBestMove);
  EXPECT_EQ(events.back().fault->last_line, "info depth 30 garbage");
}

TEST_F(UsiClientTest, ExitQuitAndGarbage) {
  Ready();
  client.SetPosition("position startpos", now);
  Feed({"", "\x01\xff garbage", "info", "info score cp", "info score mate", "bestmovex",
        "info depth 5 score cp 7"});
  const std::string longline(kMaxUsiLineLength + 10, 'x');
  client.OnLine(longline, now);
  EXPECT_EQ(client.LastLine().size(), kMaxUsiLineLength);
  EXPECT_EQ(client.State(), TUsiState::kSearching);
  client.OnExit(now);
  auto events = client.TakeEvents();
  ASSERT_TRUE(events.back().fault);
  EXPECT_EQ(events.back().fault->kind, TUsiFaultKind::kExited);
  client.SetPosition("position startpos", now);  // a failed client sends nothing more
  client.TakeCommands();
  EXPECT_TRUE(client.TakeCommands().empty());

  TUsiClient quitting;
  quitting.Start(now);
  quitting.OnLine("usiok", now);
  quitting.OnLine("readyok", now);
  quitting.SetPosition("position startpos", now);
  quitting.TakeCommands();
  quitting.Quit(now);
  EXPECT_EQ(quitting.TakeCommands(), (Strings{"stop", "quit"}));
  quitting.OnExit(now);
  for (const auto& e : quitting.TakeEvents()) EXPECT_NE(e.kind, TUsiEvent::Kind::kFault);
}

TEST(UsiInfoTest, ReadsEveryFieldAndTurnsScoresToSente) {
  const TUsiInfo all = ParseUsiInfo(
      "info depth 12 seldepth 20 time 345 nodes 123456789012 nps 1000000 hashfull 250 "
      "multipv 2 score cp -85 lowerbound currmove 7g7f pv 7g7f 3c3d 2g2f",
      false);
  EXPECT_EQ(all.depth, 12);
  EXPECT_EQ(all.seldepth, 20);
  EXPECT_EQ(all.time_ms, 345);
  EXPECT_EQ(all.nodes, 123456789012);
  EXPECT_EQ(all.nps, 1000000);
  EXPECT_EQ(all.hashfull, 250);
  EXPECT_EQ(all.multipv, 2);
  EXPECT_EQ(all.pv, (Strings{"7g7f", "3c3d", "2g2f"}));
  EXPECT_EQ(ParseUsiInfo("info string hello  world", false).text, "hello world");

  struct Case {
    const char* line;
    bool gote;
    TUsiScore score;
  } cases[] = {
      {"info score cp 300", false, {false, 300, 0, false, TUsiBound::kExact}},
      {"info score cp 300", true, {false, -300, 0, false, TUsiBound::kExact}},
      {"info score cp 50 upperbound", true, {false, -50, 0, false, TUsiBound::kLower}},
      {"info score cp 50 lowerbound", false, {false, 50, 0, false, TUsiBound::kLower}},
      {"info score mate 3", false, {true, 0, 3, true, TUsiBound::kExact}},
      {"info score mate 3", true, {true, 0, 3, false, TUsiBound::kExact}},
      {"info score mate -4", true, {true, 0, 4, true, TUsiBound::kExact}},
      {"info score mate +", false, {true, 0, kUnknownMatePlies, true, TUsiBound::kExact}},
      {"info score mate -", false, {true, 0, kUnknownMatePlies, false, TUsiBound::kExact}},
      // Mate 0: the side to move is mated, whichever side that is.
      {"info score mate 0", false, {true, 0, 0, false, TUsiBound::kExact}},
      {"info score mate 0", true, {true, 0, 0, true, TUsiBound::kExact}},
      {"info score mate -0", true, {true, 0, 0, true, TUsiBound::kExact}},
      // Out-of-range scores are clamped before they are turned.
      {"info score cp -2147483648", true, {false, kMaxUsiCp, 0, false, TUsiBound::kExact}},
      {"info score cp 2147483647", true, {false, -kMaxUsiCp, 0, false, TUsiBound::kExact}},
      {"info score cp -2147483648", false, {false, -kMaxUsiCp, 0, false, TUsiBound::kExact}},
      {"info score mate 2147483647", false, {true, 0, kMaxMatePlies, true, TUsiBound::kExact}},
  };
  for (const Case& c : cases) {
    const TUsiInfo info = ParseUsiInfo(c.line, c.gote);
    ASSERT_TRUE(info.score) << c.line;
    EXPECT_EQ(*info.score, c.score) << c.line << " gote " << c.gote;
  }
  for (const char* broken : {"info score cp x", "info score", "info score mate x"}) {
    EXPECT_FALSE(ParseUsiInfo(broken, false).score) << broken;
  }
}

TEST(UsiInfoTest, SideToMoveAndWinningChance) {
  struct Case {
    const char* command;
    bool gote;
  } cases[] = {
      {"position startpos", false},
      {"position startpos moves 7g7f", true},
      {"position startpos moves 7g7f 3c3d", false},
      {"position sfen lnsgkgsnl/9/9/9/9/9/9/9/LNSGKGSNL w - 1", true},
      {"position sfen lnsgkgsnl/9/9/9/9/9/9/9/LNSGKGSNL w - 1 moves 5i5h", false},
      {"position sfen lnsgkgsnl/9/9/9/9/9/9/9/LNSGKGSNL b - 1 moves 5i5h", true},
  };
  for (const Case& c : cases) EXPECT_EQ(GoteToMove(c.command), c.gote) << c.command;
  EXPECT_DOUBLE_EQ(WinChance(0), 0.5);
  EXPECT_NEAR(WinChance(600), 1 / (1 + std::exp(-1.0)), 1e-12);
  EXPECT_NEAR(WinChance(-600) + WinChance(600), 1.0, 1e-12);
  EXPECT_EQ((TUsiScore{true, 0, 1, false}.SenteWinChance()), 0.0);
}

TEST(UsiAnalysisTest, KeepsOneLinePerMultiPvAndTheMovesOfABoundLine) {
  TUsiAnalysis analysis;
  analysis.Add(ParseUsiInfo("info depth 3 multipv 1 score cp 10 pv 7g7f 3c3d", false));
  analysis.Add(ParseUsiInfo("info depth 3 multipv 2 score cp -5 pv 2g2f", false));
  analysis.Add(ParseUsiInfo("info depth 4 multipv 1 score cp 40 lowerbound", false));
  analysis.Add(ParseUsiInfo("info nodes 5000 nps 2500", false));
  ASSERT_EQ(analysis.lines.size(), 2u);
  EXPECT_EQ(analysis.lines[0].score.cp, 40);
  EXPECT_EQ(analysis.lines[0].score.bound, TUsiBound::kLower);
  EXPECT_EQ(analysis.lines[0].pv, (Strings{"7g7f", "3c3d"}));
  EXPECT_EQ(analysis.lines[1].pv, Strings{"2g2f"});
  EXPECT_EQ(analysis.depth, 4);
  EXPECT_EQ(analysis.nps, 2500);
  EXPECT_TRUE(analysis.HasScore());
}

}  // namespace
}  // namespace zelvaro
