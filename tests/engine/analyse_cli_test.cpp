// zelvaro-cli analyse against the scripted engine: one JSON line per row in
// the format, scores from sente's side, and a failing engine.
#include <gtest/gtest.h>

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
  ASSERT_EQ(rows.size(), 2u);
  const auto& row3 = rows[1];
  std::vector<std::string> keys;
  for (const auto& item : row3.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"row", "sfen", "position", "depth", "score", "bound",
                                            "pv", "pv_text", "lines"}));
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

TEST(RecordPositionsTest, PvInJapaneseNotationFromThePositionCommand) {
  EXPECT_EQ(PvText("position startpos", {"7g7f", "3c3d", "8h2b+", "3a2b"}),
            "▲７六歩 △３四歩 ▲２二角成 △同　銀");
  EXPECT_EQ(PvText("position startpos moves 7g7f", {"3c3d"}), "△３四歩");
  EXPECT_EQ(PvText("position startpos", {"7g7f", "garbage", "3c3d"}), "▲７六歩");
}

}  // namespace
}  // namespace zelvaro
