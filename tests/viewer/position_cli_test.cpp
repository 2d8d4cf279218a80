// Runs zelvaro-cli position as a script would.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "game/untKyokumen.h"
#include "tests/common/CliRun.h"
#include "viewer/BoardRenderer.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;

using Result = testing::CliResult;

Result RunCli(const std::string& arguments) { return testing::RunCli("position " + arguments); }

class PositionCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(fs::path(ZELVARO_BINARY_DIR) / "zelvaro-cli"))
        << "build zelvaro-cli first";
    dir_ = fs::temp_directory_path() /
           ("zelvaro-position-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  fs::path dir_;
};

TEST_F(PositionCliTest, WithoutMovesPrintsTheStartingPosition) {
  const Result r = RunCli("");
  ASSERT_EQ(r.status, 0);
  TKyokumen start;
  LayOutStartingPosition(start);
  const nlohmann::json expected = {{"board", start.Board},
                                   {"sente_hand", start.SenteHand},
                                   {"gote_hand", start.GoteHand},
                                   {"turn", 1},
                                   {"last_square", 0},
                                   {"errors", nlohmann::json::array()}};
  EXPECT_EQ(nlohmann::json::parse(r.out), expected);
  // Keys in the documented order.
  EXPECT_EQ(r.out.rfind("{\"board\":", 0), 0u);
  EXPECT_LT(r.out.find("\"sente_hand\""), r.out.find("\"gote_hand\""));
  EXPECT_LT(r.out.find("\"turn\""), r.out.find("\"last_square\""));
  EXPECT_LT(r.out.find("\"last_square\""), r.out.find("\"errors\""));
}

TEST_F(PositionCliTest, AppliesMovesAlternatingTurnAndListsFailures) {
  // CRLF line ends and empty lines.
  const std::string moves = Write("moves.txt",
                                  "７六歩(77)\r\n\r\n３四歩(33)\r\n７六歩(7x)\r\n"
                                  "２二角成(88)\r\n\n同　銀(31)\r\n");
  const Result r = RunCli("--moves " + moves);
  ASSERT_EQ(r.status, 0);
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["errors"], nlohmann::json::array({"指し手エラー ７六歩(7x)"}));
  // The failed line still counts as move 3, so move 4 (２二角成) is applied
  // for gote and move 5 (同　銀) for sente.
  EXPECT_EQ(j["board"][77], 0);
  EXPECT_EQ(j["board"][76], 1);
  EXPECT_EQ(j["board"][34], 101);
  EXPECT_EQ(j["board"][88], 0);
  EXPECT_EQ(j["board"][31], 0);
  EXPECT_EQ(j["board"][22], 7);
  EXPECT_EQ(j["sente_hand"], nlohmann::json::array({0, 0, 0, 0, 0, 0, 2}));
  EXPECT_EQ(j["gote_hand"], nlohmann::json::array({0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(j["turn"], 1);
  EXPECT_EQ(j["last_square"], 22);
}

TEST_F(PositionCliTest, FailedMoveLeavesThePositionAsItWas) {
  const Result good = RunCli("--moves " + Write("a.txt", "７六歩(77)\n"));
  const Result bad = RunCli("--moves " + Write("b.txt", "７六歩(77)\n５五角(9x)\n３四歩(3)\n"));
  ASSERT_EQ(good.status, 0);
  ASSERT_EQ(bad.status, 0);
  nlohmann::json g = nlohmann::json::parse(good.out), b = nlohmann::json::parse(bad.out);
  EXPECT_EQ(b["errors"].size(), 2u);
  for (const char* key : {"board", "sente_hand", "gote_hand", "last_square"}) {
    EXPECT_EQ(b[key], g[key]) << key;
  }
}

TEST_F(PositionCliTest, WritesTheBoardPicture) {
  const std::string png = (dir_ / "board.png").string();
  const Result r =
      RunCli("--moves " + Write("m.txt", "７六歩(77)\n３四歩(33)\n") + " --png " + png);
  ASSERT_EQ(r.status, 0);
  QImage written(QString::fromStdString(png));
  ASSERT_FALSE(written.isNull());

  if (QGuiApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "viewer_test";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
  }
  QImage picture;
  TBoardRenderer renderer(&picture);
  TKyokumen position;
  std::u16string sente, gote;
  renderer.InitBoard(position, sente, gote);
  position.Turn = 1;
  position.ApplyMove(u"７六歩(77)");
  position.Turn = -1;
  position.ApplyMove(u"３四歩(33)");
  renderer.DrawPosition(position, sente, gote);
  EXPECT_EQ(written.size(), QSize(380, 420));
  EXPECT_EQ(written.convertToFormat(QImage::Format_RGB888), picture);

  ASSERT_EQ(
      RunCli("--moves " + (dir_ / "m.txt").string() + " --png " + png + " --last-move").status, 0);
  renderer.SetOptions({.last_move = true});
  EXPECT_EQ(QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB888), picture);
}

TEST_F(PositionCliTest, MissingMovesFileFails) {
  const Result r = RunCli("--moves " + (dir_ / "absent.txt").string());
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace zelvaro
