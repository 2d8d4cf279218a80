// TUsiEngine (a child process with pipes) against the scripted engine of
// this folder, and against fairy-stockfish when it is installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "engine/ChildProcess.h"
#include "tests/engine/ScriptedEngine.h"

namespace zelvaro {
namespace {

using std::chrono::milliseconds;

constexpr char kStockfish[] = "/usr/games/fairy-stockfish";

using testing::ScriptedEngine;

std::string ReadAll(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

TEST(UsiEngineTest, WellBehavedFloodingAndGarbageEnginesGiveTheScoreOfTheirPosition) {
  for (const char* mode : {"good", "flood", "garbage", "usihash", "late"}) {
    SCOPED_TRACE(mode);
    const std::string log = ::testing::TempDir() + "usi-log-" + mode;
    std::remove(log.c_str());
    TUsiEngine engine(TUsiSettings{8, 1, 1});
    engine.Start(ScriptedEngine(mode, log));
    for (const char* position :
         {"position startpos moves 7g7f", "position startpos moves 7g7f 3c3d 2g2f"}) {
      const TUsiAnalysis analysis = engine.Analyse(position, milliseconds(150));
      ASSERT_TRUE(analysis.HasScore());
      EXPECT_EQ(analysis.position, position);
      // 10 per move from the side to move; both positions have gote to move.
      const int moves = std::string(position).find("2g2f") != std::string::npos ? 3 : 1;
      EXPECT_EQ(analysis.lines[0].score.cp, -10 * moves);
      EXPECT_EQ(analysis.lines[0].pv, (std::vector<std::string>{"7g7f", "3c3d"}));
    }
    engine.Quit();
    const std::string sent = ReadAll(log);
    const bool usi = std::string(mode) == "usihash";
    EXPECT_NE(sent.find(usi ? "setoption name USI_Hash value 8" : "setoption name Hash value 8"),
              std::string::npos);
    EXPECT_NE(
        sent.find(usi ? "setoption name USI_MultiPV value 1" : "setoption name MultiPV value 1"),
        std::string::npos);
    EXPECT_NE(sent.find("usinewgame\nposition startpos moves 7g7f\ngo infinite\nstop\n"),
              std::string::npos);
    EXPECT_NE(sent.find("quit"), std::string::npos);
  }
}

TEST(UsiEngineTest, FaultsAreErrorsInWordsAndLeaveNoProcess) {
  struct Case {
    std::string program;
    std::string words;
  } cases[] = {
      {"/nonexistent/engine", "起動できません"},
      {ScriptedEngine("crash"), "終了しました"},
      // Its death is seen though a child it left keeps its output open.
      {ScriptedEngine("orphan"), "終了しました"},
  };
  for (const Case& c : cases) {
    try {
      TUsiEngine engine(TUsiSettings{8, 1, 1});
      engine.Start(c.program);
      engine.Analyse("position startpos", milliseconds(500));
      ADD_FAILURE() << c.program << " gave no error";
    } catch (const EEngineError& e) {
      EXPECT_NE(e.Message().find(c.words), std::string::npos) << e.Message();
    }
  }
  // The crashing engine's last line is its info.
  try {
    TUsiEngine engine(TUsiSettings{8, 1, 1});
    engine.Start(ScriptedEngine("crash"));
    engine.Analyse("position startpos", milliseconds(500));
  } catch (const EEngineError& e) {
    EXPECT_NE(e.Message().find("info depth 1"), std::string::npos) << e.Message();
  }
}

TEST(UsiEngineTest, ChildProcessIsKilledWhenItDoesNotQuit) {
  TChildProcess process;
  ASSERT_TRUE(process.Start("/bin/sh", {"-c", "trap '' TERM; sleep 30"}));
  const auto start = std::chrono::steady_clock::now();
  process.Stop(milliseconds(200));
  EXPECT_FALSE(process.Running());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(UsiEngineTest, FairyStockfishFindsMateInOne) {
  if (::access(kStockfish, X_OK) != 0) GTEST_SKIP() << kStockfish << " is not installed";
  TUsiEngine engine(TUsiSettings{16, 1, 1});
  engine.Start(kStockfish);
  // Gote's king on 5a, sente's gold in hand and a pawn on 5c: G*5b mates.
  const TUsiAnalysis analysis =
      engine.Analyse("position sfen 4k4/9/4P4/9/9/9/9/9/4K4 b G 1", milliseconds(500));
  ASSERT_TRUE(analysis.HasScore());
  EXPECT_TRUE(analysis.lines[0].score.mate);
  EXPECT_EQ(analysis.lines[0].score.SignedMate(), 1);
  ASSERT_FALSE(analysis.lines[0].pv.empty());
  EXPECT_EQ(analysis.lines[0].pv[0], "G*5b");
}

}  // namespace
}  // namespace zelvaro
