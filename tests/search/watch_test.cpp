// zelvaro-cli watch against the demo broadcast: a growing game prints only
// what changed, a page's records are followed in page order, and failures
// are lines with status "error" and the exit status.
#include <gtest/gtest.h>

#include <QProcess>
#include <nlohmann/json.hpp>

#include "tests/common/CliRun.h"
#include "tests/search/DemoBroadcast.h"

namespace zelvaro {
namespace {

using Json = nlohmann::json;
using testing::DemoBroadcast;

std::vector<Json> Lines(const std::string& out) {
  std::vector<Json> lines;
  size_t from = 0;
  for (size_t end; (end = out.find('\n', from)) != std::string::npos; from = end + 1) {
    lines.push_back(Json::parse(out.substr(from, end - from)));
  }
  return lines;
}

TEST(Watch, GrowingGamePrintsOnlyWhatChanged) {
  DemoBroadcast demo;
  const std::string live = demo.Base() + "/seiryu/kifu/seiryu_live.kif";
  const std::string ended = demo.Base() + "/tatsujin/kifu/tatsujin3_1.kif";
  QProcess watch;
  watch.start(QString(ZELVARO_BINARY_DIR) + "/zelvaro-cli",
              {"watch", "--count", "3", "--interval", "1.5", QString::fromStdString(live),
               QString::fromStdString(ended)});
  std::string out;
  while (std::count(out.begin(), out.end(), '\n') < 2 && watch.waitForReadyRead(10000)) {
    out += watch.readAllStandardOutput().toStdString();
  }
  demo.Get("/_demo/advance");
  ASSERT_TRUE(watch.waitForFinished(20000));
  out += watch.readAllStandardOutput().toStdString();
  EXPECT_EQ(watch.exitCode(), 0);
  const std::vector<Json> lines = Lines(out);
  ASSERT_EQ(lines.size(), 3u) << out;
  EXPECT_EQ(lines[0]["address"], live);
  EXPECT_EQ(lines[0]["status"], "playing");
  EXPECT_EQ(lines[0]["gote"], "新井 蒼空 三段");
  EXPECT_EQ(lines[1]["address"], ended);
  EXPECT_EQ(lines[1]["status"], "ended");
  EXPECT_EQ(lines[1]["result"], "投了");
  EXPECT_EQ(lines[1]["winner"], "sente");
  EXPECT_TRUE(lines[1]["remaining"]["sente"].is_number());
  // The second round: one move more on the live game, nothing else.
  EXPECT_EQ(lines[2]["address"], live);
  EXPECT_EQ(lines[2]["moves"], lines[0]["moves"].get<int>() + 1);
  EXPECT_NE(lines[2]["sfen"], lines[0]["sfen"]);
  EXPECT_NE(lines[2]["last_move"], lines[0]["last_move"]);
}

TEST(Watch, PageAddressesExpandAndErrorsAreLines) {
  DemoBroadcast demo;
  const std::string kt1 = demo.Base() + "/ryuou/kifu/ryuou39_kt1.kif";
  // The demo's request log is text that is neither a record nor a page of
  // links: make sure it is not empty whatever order the downloads take.
  demo.Get("/ryuou/");
  const testing::CliResult result =
      testing::RunCli("watch --count 1 " + demo.Base() + "/ryuou/ " + kt1 + " " + demo.Base() +
                      "/nowhere/kifu/none.kif " + demo.Base() + "/_demo/log");
  EXPECT_EQ(result.status, 0) << result.err;
  const std::vector<Json> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 4u) << result.out;
  // The page's two records in page order (its archive left out); the record
  // named again after it is the same game.
  EXPECT_EQ(lines[0]["address"], kt1);
  EXPECT_EQ(lines[1]["address"], demo.Base() + "/ryuou/kifu/ryuou39_kt2.kif");
  EXPECT_EQ(lines[1]["status"], "playing");
  EXPECT_EQ(lines[2]["status"], "error");
  EXPECT_TRUE(lines[2]["error"].is_string());
  EXPECT_TRUE(lines[2]["sfen"].is_null());
  EXPECT_EQ(lines[3]["status"], "error");
  EXPECT_EQ(lines[3]["error"], "棋譜でも、棋譜へのリンクがあるページでもありません");
}

TEST(Watch, EngineEvaluatesFromSentesSide) {
  DemoBroadcast demo;
  const testing::CliResult result = testing::RunCli(
      "watch --count 1 --movetime 100 --engine " + std::string(ZELVARO_SOURCE_DIR) +
      "/tests/engine/scripted_engine.py " + demo.Base() + "/seiryu/kifu/seiryu_live.kif " +
      demo.Base() + "/tatsujin/kifu/tatsujin3_1.kif");
  EXPECT_EQ(result.status, 0) << result.err;
  const std::vector<Json> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  // The scripted engine scores 10 a move for the side to move.
  for (const Json& line : lines) {
    const int moves = line["moves"];
    EXPECT_EQ(line["eval"]["cp"], moves % 2 == 0 ? 10 * moves : -10 * moves) << line.dump();
  }
}

TEST(Watch, EveryDownloadFailingExitsWithOne) {
  DemoBroadcast demo;
  const std::string base = demo.Base();
  demo.Stop();
  const testing::CliResult result = testing::RunCli("watch --count 1 " + base + "/a/kifu/x.kif");
  EXPECT_EQ(result.status, 1);
  const std::vector<Json> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 1u) << result.out;
  EXPECT_EQ(lines[0]["status"], "error");
  EXPECT_TRUE(lines[0]["eval"].is_null());
}

}  // namespace
}  // namespace zelvaro
