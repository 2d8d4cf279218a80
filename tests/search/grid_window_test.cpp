// The grid window 「全局」 against the demo broadcast: boards in order with
// their last move, clocks and results, columns by width, a growing game
// marked, a failing game, the toggles and the engine gauge, and the ways it
// opens and opens a game in the viewer.
#include <gtest/gtest.h>

#include <QTest>

#include "search/untSubForm.h"
#include "tests/search/DemoBroadcast.h"
#include "tests/search/SearchTestSupport.h"
#include "viewer/GridWindow.h"

namespace zelvaro {
namespace {

using testing::DemoBroadcast;
using testing::WaitFor;

class GridTest : public ::testing::Test {
 protected:
  GridTest() { testing::TestApp(); }
  ~GridTest() override { TGridBoard::SetClock({}); }

  // Opens `paths` of the demo and waits for the first round.
  void Open(const std::vector<std::string>& paths) {
    std::vector<std::string> addresses;
    for (const std::string& path : paths) addresses.push_back(demo.Base() + path);
    grid.resize(1000, 700);
    grid.show();
    grid.Open(addresses);
    ASSERT_TRUE(WaitFor([&] { return grid.Rounds() >= 1; }));
  }
  void Round() {
    const int before = grid.Rounds();
    grid.RefreshNow();
    ASSERT_TRUE(WaitFor([&] { return grid.Rounds() > before; }));
  }
  TGridBoard* Board(size_t i) { return grid.Boards().at(i); }

  DemoBroadcast demo;
  TGridWindow grid;
};

TEST_F(GridTest, BoardsInOrderWithLastMoveClocksAndResults) {
  Open({"/ryuou/", "/timed/kifu/timed20_h1.kif", "/tatsujin/kifu/tatsujin3_1.kif",
        "/nowhere/kifu/none.kif", "/ryuou/kifu/ryuou39_kt1.kif"});
  ASSERT_EQ(grid.Boards().size(), 5u);  // the record named twice is one board
  const char* const order[] = {"/ryuou/kifu/ryuou39_kt1.kif", "/ryuou/kifu/ryuou39_kt2.kif",
                               "/timed/kifu/timed20_h1.kif", "/tatsujin/kifu/tatsujin3_1.kif",
                               "/nowhere/kifu/none.kif"};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(Board(i)->Game().address, demo.Base() + order[i]);
  EXPECT_EQ(Board(0)->MoveLine(), QStringLiteral("42手 △３一角"));
  EXPECT_EQ(Board(1)->MoveLine(), QStringLiteral("43手 ▲３一角打"));
  EXPECT_FALSE(Board(0)->Picture().isNull());
  EXPECT_NE(Board(0)->Picture(), Board(1)->Picture());

  // The side to move's clock counts down from the last move; the other stands.
  TGridBoard* timed = Board(0);
  ASSERT_TRUE(timed->Ticking());
  const TGame& game = timed->Game();
  const int side = game.to_move;
  const int64_t left = (*game.state.remaining)[side == 1 ? 0 : 1];
  const int64_t other = (*game.state.remaining)[side == 1 ? 1 : 0];
  ASSERT_GT(left, 45);
  EXPECT_TRUE(
      timed->NameLine(side, game.move_time + left - 45).endsWith(QStringLiteral("残り 45秒")));
  EXPECT_TRUE(
      timed->NameLine(side, game.move_time + left + 5).endsWith(QStringLiteral("切れ負け")));
  EXPECT_EQ(timed->NameLine(-side, game.move_time + left + 5),
            timed->NameLine(-side, game.move_time + other));

  // An ended game: the result in place of the clocks.
  TGridBoard* ended = Board(3);
  EXPECT_EQ(ended->InfoLine(), QStringLiteral("まで45手で先手の勝ち"));
  EXPECT_FALSE(ended->NameLine(1, 0).contains(QStringLiteral("残り")));
  EXPECT_EQ(ended->NameLine(1, 0), QStringLiteral("▲ 石原 宗一 九段"));
  // A record that cannot be had: an error board.
  EXPECT_EQ(Board(4)->Game().state.status, TGameStatus::kError);
  EXPECT_TRUE(Board(4)->InfoLine().contains(QStringLiteral("404")));

  // Columns by width, boards within their sizes.
  EXPECT_GT(Board(1)->x(), Board(0)->x());
  EXPECT_EQ(Board(1)->y(), Board(0)->y());
  grid.resize(330, 700);
  ASSERT_TRUE(WaitFor([&] { return Board(1)->y() > Board(0)->y(); }));
  EXPECT_EQ(Board(1)->x(), Board(0)->x());
  for (TGridBoard* board : grid.Boards()) {
    EXPECT_GE(board->width(), kGridBoardMinWidth);
    EXPECT_LE(board->width(), kGridBoardMaxWidth);
  }
}

TEST_F(GridTest, GrowingGameIsMarkedAndFailingGameKeepsItsPosition) {
  Open({"/seiryu/kifu/seiryu_live.kif", "/tatsujin/kifu/tatsujin3_1.kif"});
  TGridBoard* live = Board(0);
  const int moves = live->Game().state.moves;
  EXPECT_FALSE(live->Marked());
  demo.Get("/_demo/advance");
  Round();
  EXPECT_EQ(live->Game().state.moves, moves + 1);
  EXPECT_TRUE(live->Marked());
  EXPECT_FALSE(Board(1)->Marked());  // ended: not followed, not changed
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(live, &enter);
  EXPECT_FALSE(live->Marked());

  demo.Stop();
  Round();
  EXPECT_EQ(live->InfoLine(), QStringLiteral("更新できません"));
  EXPECT_EQ(live->Game().state.moves, moves + 1);
  EXPECT_FALSE(live->Picture().isNull());
}

TEST_F(GridTest, FTurnsTheFocusedBoardAndEnterOpensItsGame) {
  std::vector<std::string> opened;
  grid.SetOpenGame([&](const std::string& url) { opened.push_back(url); });
  Open({"/seiryu/kifu/seiryu_live.kif", "/tatsujin/kifu/tatsujin3_1.kif"});
  TGridBoard* board = Board(1);
  const QImage before = board->Picture();
  QTest::keyClick(board, Qt::Key_F);
  EXPECT_TRUE(board->Flipped());
  ASSERT_TRUE(WaitFor([&] { return board->PictureFlipped(); }));
  EXPECT_NE(board->Picture(), before);
  EXPECT_FALSE(Board(0)->Flipped());
  QTest::keyClick(board, Qt::Key_Return);
  EXPECT_EQ(opened, std::vector<std::string>{demo.Base() + "/tatsujin/kifu/tatsujin3_1.kif"});
}

TEST_F(GridTest, TogglesHideEndedGamesAndResultsAndAreKept) {
  testing::ScratchFolder folder;
  TSettingsFile file(QStringLiteral("grid.ini"));
  file.Values().engine.path = std::string(ZELVARO_SOURCE_DIR) + "/tests/engine/scripted_engine.py";
  grid.KeepSettings(&file);
  Open({"/seiryu/kifu/seiryu_live.kif", "/tatsujin/kifu/tatsujin3_1.kif"});
  TGridBoard* ended = Board(1);
  EXPECT_FALSE(ended->isHidden());
  grid.PlayingOnlyBox->setChecked(true);
  EXPECT_TRUE(ended->isHidden());
  EXPECT_FALSE(Board(0)->isHidden());
  grid.PlayingOnlyBox->setChecked(false);
  grid.HideResultsBox->setChecked(true);
  EXPECT_TRUE(ended->Concealed());
  EXPECT_EQ(ended->InfoLine(), QStringLiteral("終局（結果を隠しています）"));
  EXPECT_TRUE(ended->MoveLine().isEmpty());
  EXPECT_FALSE(Board(0)->Concealed());

  // The gauge: the scripted engine scores 10 a move for the side to move.
  EXPECT_FALSE(Board(0)->EvalShown());
  grid.EvalBox->setChecked(true);
  EXPECT_TRUE(Board(0)->EvalShown());
  const int moves = Board(0)->Game().state.moves;
  const QString expected = moves % 2 == 0 ? QStringLiteral("+%1").arg(10 * moves)
                                          : QStringLiteral("-%1").arg(10 * moves);
  ASSERT_TRUE(WaitFor([&] { return !Board(0)->EvalText().isEmpty(); }));
  EXPECT_EQ(Board(0)->EvalText(), expected);
  EXPECT_TRUE(ended->EvalText().isEmpty());  // hidden result: not searched

  const TSettingsFile reread(QStringLiteral("grid.ini"));
  EXPECT_EQ(reread.Values().grid, (TGridOptions{false, true, true}));
}

TEST(GridLayout, ColumnsFollowTheWidth) {
  const struct {
    int width, count, columns, board_width;
  } cases[] = {
      {160, 10, 1, 160}, {100, 10, 1, 160},   {1000, 10, 6, 161}, {1000, 2, 2, 400},
      {330, 10, 2, 162}, {2000, 64, 12, 161}, {500, 1, 1, 400},
  };
  for (const auto& c : cases) {
    const TGridLayout layout = GridLayoutFor(c.width, c.count, 6);
    EXPECT_EQ(layout.columns, c.columns) << c.width << " " << c.count;
    EXPECT_EQ(layout.board_width, c.board_width) << c.width << " " << c.count;
  }
}

class GridFromSearchTest : public ::testing::Test {
 protected:
  GridFromSearchTest() {
    testing::TestApp();
    form = std::make_unique<TForm2>(TBroadcastHosts{demo.Base(), demo.Base()}, MakePageFetcher);
    form->show();
  }
  void AddGame(const std::string& path) {
    form->ListView1->Append(QStringLiteral("2026/11/21 10:00"),
                            {QStringLiteral("棋戦"), QStringLiteral("先手"), QStringLiteral("後手"),
                             QString::fromStdString(demo.Base() + path)});
  }
  TGridWindow* WaitForGrid(size_t boards) {
    TGridWindow* grid = form->Grid();
    if (!grid) return nullptr;
    WaitFor([&] { return grid->Rounds() >= 1 && grid->Boards().size() == boards; });
    return grid;
  }

  DemoBroadcast demo;
  testing::ScratchFolder folder;
  std::unique_ptr<TForm2> form;
};

TEST_F(GridFromSearchTest, ButtonMenuAndPageAddressOpenTheGridAndABoardOpensTheGame) {
  EXPECT_FALSE(form->Button3->isEnabled());
  AddGame("/ryuou/kifu/ryuou39_kt1.kif");
  AddGame("/seiryu/kifu/seiryu_live.kif");
  AddGame("/tatsujin/kifu/tatsujin3_1.kif");
  EXPECT_TRUE(form->Button3->isEnabled());

  // The listed games; the selected ones when two or more are.
  QTest::mouseClick(form->Button3, Qt::LeftButton);
  TGridWindow* grid = WaitForGrid(3);
  ASSERT_NE(grid, nullptr);
  ASSERT_EQ(grid->Boards().size(), 3u);
  EXPECT_TRUE(grid->isVisible());
  form->ListView1->topLevelItem(2)->setSelected(true);
  form->ListView1->topLevelItem(1)->setSelected(true);
  form->Button3Click();
  ASSERT_EQ(WaitForGrid(2)->Boards().size(), 2u);
  EXPECT_EQ(grid->Boards()[0]->Game().address, demo.Base() + "/seiryu/kifu/seiryu_live.kif");

  // Ctrl+G in the viewer: as the button does.
  form->ListView1->clearSelection();
  form->FViewer->Actions->GridAction->trigger();
  ASSERT_EQ(WaitForGrid(3)->Boards().size(), 3u);

  // A page address opened in the viewer: its records.
  form->FViewer->Actions->OpenAddress(QString::fromStdString(demo.Base() + "/ryuou/"));
  ASSERT_TRUE(WaitFor([&] { return !form->FViewer->Actions->OpeningAddress(); }));
  ASSERT_EQ(WaitForGrid(2)->Boards().size(), 2u);
  EXPECT_EQ(grid->Boards()[1]->Game().address, demo.Base() + "/ryuou/kifu/ryuou39_kt2.kif");

  // A click opens the game in the viewer; the grid stays.
  TGridBoard* board = grid->Boards()[1];
  QTest::mouseClick(board, Qt::LeftButton, {}, QPoint(20, 20));
  ASSERT_TRUE(WaitFor([&] { return form->FViewer->isVisible() && !form->HandingOver(); }));
  ASSERT_TRUE(WaitFor([&] { return form->FViewer->ListView1->RowCount() == 44; }));
  // At its newest move, once the reading has been shown.
  EXPECT_TRUE(WaitFor([&] { return form->FViewer->ListView1->SelectedIndex() == 43; }));
  EXPECT_TRUE(grid->isVisible());
}

}  // namespace
}  // namespace zelvaro
