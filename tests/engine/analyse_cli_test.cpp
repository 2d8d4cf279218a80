// zelvaro-cli analyse against the scripted engine: one JSON line per row in
// the issue's format, scores from sente's side, and a failing engine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/RecordPositions.h"
#include "tests/common/CliRun.h"
#include "tests/engine/ScriptedEngine.h"

namespace zelvaro {
namespace {

using testing::RunCli;
using testing::ScriptedEngine;

std::string WriteRecord() {
  const std::string path = ::testing::TempDir() + "analyse-record.kif";
  std::ofstream(path) << "手数----指手---------消費時間--\n"
                      << "   1 ７六歩(77)   ( 0:01/00:00:01)\n"
                      << "   2 ３四歩(33)   ( 0:01/00:00:01)\n"
                      << "   3 ２二角成(88)   ( 0:01/00:00:01)\n"
                      << "   4 同　銀(31)   ( 0:01/00:00:01)\n";
  return path;
}

TEST(AnalyseCliTest, PrintsOneLinePerRowWithScoresFromSente) {
  const auto result = RunCli("analyse " + WriteRecord() + " --engine " + ScriptedEngine("good") +
                             " --movetime 100 --rows 2-3 --threads 1 --hash 8");
  ASSERT_EQ(result.status, 0) << result.err;
  std::istringstream lines(result.out);
  std::string line;
  std::vector<nlohmann::ordered_json> rows;
  while (std::getline(lines, line)) rows.push_back(nlohmann::ordered_json::parse(line));
  ASSERT_EQ(rows.size(), 3u);  // and the summary
  EXPECT_TRUE(rows[2].contains("summary"));
  const auto& row3 = rows[1];
  std::vector<std::string> keys;
  for (const auto& item : row3.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"row", "sfen", "position", "depth", "score", "bound",
                                            "pv", "pv_text", "lines", "win_rate", "words", "loss",
                                            "best", "mark"}));
  EXPECT_EQ(row3["row"], 3);
  EXPECT_EQ(row3["position"], "position startpos moves 7g7f 3c3d 8h2b+");
  EXPECT_EQ(row3["sfen"], "lnsgkgsnl/1r5+B1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL w B 4");
  EXPECT_EQ(row3["score"], (nlohmann::ordered_json{{"cp", -30}}));  // gote to move, 30 for it
  EXPECT_EQ(rows[0]["score"], (nlohmann::ordered_json{{"cp", 20}}));
  EXPECT_EQ(row3["bound"], nullptr);
  EXPECT_EQ(row3["pv"], (std::vector<std::string>{"7g7f", "3c3d"}));
  EXPECT_EQ(row3["lines"].size(), 1u);
  EXPECT_EQ(row3["lines"][0]["pv"], row3["pv"]);
}

TEST(AnalyseCliTest, AFailingEngineEndsWithAMessage) {
  for (const std::string& engine : {ScriptedEngine("crash"), std::string("/nonexistent/engine")}) {
    const auto result = RunCli("analyse " + WriteRecord() + " --engine " + engine +
                               " --movetime 100 --threads 1 --hash 8");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("zelvaro-cli analyse: エンジン"), std::string::npos) << result.err;
  }
}

std::vector<nlohmann::ordered_json> JsonLines(const std::string& out) {
  std::istringstream lines(out);
  std::string line;
  std::vector<nlohmann::ordered_json> rows;
  while (std::getline(lines, line)) rows.push_back(nlohmann::ordered_json::parse(line));
  return rows;
}

// The table mode's scores make one mark of each kind (see scripted_engine.py).
TEST(AnalyseCliTest, MarksEachMoveByTheMoversLossInACsaRecord) {
  const std::string path = ::testing::TempDir() + "analyse-marks.csa";
  std::ofstream(path) << "V2.2\nPI\n+\n+7776FU\n-3334FU\n+2726FU\n-8384FU\n+2625FU\n"
                      << "-8485FU\n+6978KI\n-4132KI\n%TORYO\n";
  const auto result = RunCli("analyse " + path + " --engine " + ScriptedEngine("table") +
                             " --nodes 3000 --threads 1 --hash 8");
  ASSERT_EQ(result.status, 0) << result.err;
  const auto rows = JsonLines(result.out);
  ASSERT_EQ(rows.size(), 11u) << result.out;  // 10 rows and the summary
  const nlohmann::ordered_json null;
  const struct {
    nlohmann::ordered_json win_rate, words, loss, mark;
  } expected[] = {
      {50.0, "互角", {}, {}},
      {41.7, "後手有望", 8.3, null},       // the engine's own move: no mark
      {48.8, "互角", 7.0, "緩手"},         // gote's loss
      {33.7, "後手有利", 15.0, "疑問手"},  // sente's
      {63.7, "先手有望", 30.0, "悪手"},
      {8.7, "後手優勢", 55.0, "大悪手"},
      {8.8, "後手優勢", 0.1, null},
      {null, null, null, null},                   // no score: no mark either side of it
      {0.0, "後手勝ち（詰みあり）", null, null},  // sente to move is mated
      {0.0, "後手勝ち（詰みあり）", {}, {}},      // 投了: no move
  };
  for (size_t row = 0; row < std::size(expected); ++row) {
    const auto& line = rows[row];
    const auto& e = expected[row];
    EXPECT_EQ(line["row"], row);
    EXPECT_EQ(line["win_rate"], e.win_rate) << row;
    EXPECT_EQ(line["words"], e.words) << row;
    EXPECT_EQ(line.contains("loss"), !e.loss.is_discarded() && row > 0 && row < 9) << row;
    if (line.contains("loss")) {
      EXPECT_EQ(line["loss"], e.loss) << row;
      EXPECT_EQ(line["mark"], e.mark) << row;
      EXPECT_EQ(line["best"], row == 8 ? null : nlohmann::ordered_json("7g7f")) << row;
    }
  }
  EXPECT_EQ(rows[8]["score"], (nlohmann::ordered_json{{"mate", 0}}));
  EXPECT_EQ(rows[10].dump(),
            R"({"summary":{"sente":{"緩手":0,"疑問手":1,"悪手":0,"大悪手":1,"average_loss":26.1,)"
            R"("moves":3},"gote":{"緩手":1,"疑問手":0,"悪手":1,"大悪手":0,"average_loss":12.4,)"
            R"("moves":3}}})");
}

TEST(AnalyseCliTest, RefusesWhatTheViewerRefuses) {
  const std::string path = ::testing::TempDir() + "analyse-page.kif";
  std::ofstream(path) << "<html><body>not a record</body></html>\n";
  const auto result = RunCli("analyse " + path + " --engine " + ScriptedEngine("good") +
                             " --movetime 50 --threads 1 --hash 8");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
}

// fairy-stockfish, when installed: gote, far ahead, plays △５一玉 and leaves
// ▲５二金打 mate in one.
TEST(AnalyseCliTest, RealEngineMarksAMoveThatLeavesMateInOne) {
  const char* engine = "/usr/games/fairy-stockfish";
  if (::access(engine, X_OK) != 0) GTEST_SKIP() << engine << " is not installed";
  const std::string path = ::testing::TempDir() + "analyse-mate.usi";
  std::ofstream(path) << "position sfen 5k3/9/4P4/9/9/9/9/9/4K4 w Grb2g2s 1 moves 4a5a\n";
  const auto result =
      RunCli("analyse " + path + " --engine " + engine + " --nodes 200000 --threads 1 --hash 16");
  ASSERT_EQ(result.status, 0) << result.err;
  const auto rows = JsonLines(result.out);
  ASSERT_EQ(rows.size(), 3u) << result.out;
  EXPECT_EQ(rows[1]["score"], (nlohmann::ordered_json{{"mate", 1}}));
  EXPECT_EQ(rows[1]["mark"], "大悪手");
  EXPECT_EQ(rows[1]["win_rate"], 100.0);
  EXPECT_EQ(rows[2]["summary"]["gote"]["大悪手"], 1);
}

TEST(RecordPositionsTest, PvInJapaneseNotationFromThePositionCommand) {
  EXPECT_EQ(PvText("position startpos", {"7g7f", "3c3d", "8h2b+", "3a2b"}),
            "▲７六歩 △３四歩 ▲２二角成 △同　銀");
  EXPECT_EQ(PvText("position startpos moves 7g7f", {"3c3d"}), "△３四歩");
  EXPECT_EQ(PvText("position startpos", {"7g7f", "garbage", "3c3d"}), "▲７六歩");
}

}  // namespace
}  // namespace zelvaro
