// The clocks, the time chart and the word when a move arrives, offscreen:
// the column they stand in comes only with a record that has a clock, the
// clocks and the chart's mark follow the row on show, a click on a bar
// shows its move, and a refresh that brings moves is told only while the
// window is not the active one.
#include <gtest/gtest.h>

#include <QTest>

#include "tests/viewer/ViewerWindowFixture.h"

namespace zelvaro {
namespace {

using testing::MoveLine;

class Time : public testing::ViewerWindow {
 protected:
  // A game under 各1時間 with 60 s byo-yomi: gote's third move reaches it.
  static std::vector<std::string> Timed(int moves) {
    std::vector<std::string> lines = {"棋戦：時計戦", "持ち時間：各1時間", "秒読み：60秒",
                                      "先手：甲", "後手：乙"};
    const char* times[] = {"( 5:00/00:05:00)", "(10:00/00:10:00)", "( 0:30/00:05:30)",
                           "(50:00/01:00:00)", "( 2:00/00:07:30)", "( 0:20/01:00:20)"};
    const char* kings[] = {"５八玉(59)", "５二玉(51)", "５九玉(58)", "５一玉(52)"};
    for (int n = 1; n <= moves; ++n) lines.push_back(MoveLine(n, kings[(n - 1) % 4], times[n - 1]));
    return lines;
  }
  std::string Line(int side) const { return form.SidePanel->Clocks->LineText(side).toStdString(); }
};

TEST_F(Time, ClocksAndChartFollowTheRowOnShow) {
  form.show();
  Read(Timed(5));
  ASSERT_FALSE(form.SidePanel->isHidden());
  EXPECT_EQ(form.SidePanel->objectName(), QStringLiteral("sidePanel"));
  EXPECT_EQ(form.size(), QSize(760 + kSidePanelWidth, 516));
  EXPECT_EQ(form.ListView1->geometry(), ViewerLayout(kViewerSize).list) << "the layout stays";
  EXPECT_EQ(form.SidePanel->geometry(), QRect(760, 0, kSidePanelWidth, 516));
  EXPECT_EQ(form.SidePanel->ChartTabs->tabText(form.SidePanel->ChartTabs->currentIndex()),
            QStringLiteral("消費時間"));

  struct Case {
    int row;
    const char *sente, *gote;
    int to_move;
  } cases[] = {
      {0, "☗ 甲  残り 1時間", "☖ 乙  残り 1時間", 1},
      {1, "☗ 甲  残り 55分", "☖ 乙  残り 1時間", -1},
      {4, "☗ 甲  残り 54分30秒", "☖ 乙  秒読み", 1},
      {5, "☗ 甲  残り 52分30秒", "☖ 乙  秒読み", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    if (c.row > 0) ClickRow(c.row);
    EXPECT_EQ(Line(0), c.sente);
    EXPECT_EQ(Line(1), c.gote);
    EXPECT_EQ(form.SidePanel->Clocks->HighlightedSide(), c.to_move);
    EXPECT_EQ(form.SidePanel->TimeChart->MarkedBar(), c.row - 1);
  }

  // One bar per move, sente's above the axis and gote's below, as long as its time.
  const auto& bars = form.SidePanel->TimeChart->Bars();
  ASSERT_EQ(bars.size(), 5u);
  const int64_t seconds[] = {300, 600, 30, 3000, 120};
  const qreal axis = form.SidePanel->TimeChart->BarRect(0).bottom();
  for (size_t i = 0; i < bars.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bars[i].seconds, seconds[i]);
    const QRectF bar = form.SidePanel->TimeChart->BarRect(i);
    EXPECT_NEAR(bar.height() / form.SidePanel->TimeChart->BarRect(3).height(), seconds[i] / 3000.0,
                0.01);
    EXPECT_DOUBLE_EQ(i % 2 == 0 ? bar.bottom() : bar.top(), axis);
  }
  // A click on a bar shows its move.
  QTest::mouseClick(form.SidePanel->TimeChart, Qt::LeftButton, {},
                    form.SidePanel->TimeChart->SlotRect(2).center().toPoint());
  EXPECT_EQ(form.ListView1->SelectedIndex(), 3);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3]));
  EXPECT_EQ(Line(1), "☖ 乙  残り 50分");

  // A record without a clock: the window as it was.
  Read(testing::WalkingKingsRecord(4, "棋聖戦", "丙", "丁"));
  EXPECT_TRUE(form.SidePanel->isHidden());
  EXPECT_EQ(form.size(), kViewerSize);
  EXPECT_EQ(form.WebBrowser1->geometry(), ViewerLayout(kViewerSize).browser);
  std::vector<std::string> zero = Timed(2);
  for (auto& line : zero) {
    if (line.find("/00:") != std::string::npos)
      line = line.substr(0, line.find('(')) + "( 0:00/00:00:00)";
  }
  Read(zero);
  EXPECT_TRUE(form.SidePanel->isHidden()) << "zero times say nothing of the time used";
}

TEST_F(Time, ARefreshThatBringsAMoveIsToldWhileTheWindowIsInactive) {
  std::vector<TNotice> notices;
  SetNotifyHook([&](const TNotice& n) { notices.push_back(n); });
  std::vector<QWidget*> alerts;
  SetAlertHook([&](QWidget* window) { alerts.push_back(window); });
  struct Unhook {
    ~Unhook() {
      SetNotifyHook({});
      SetAlertHook({});
    }
  } unhook;
  testing::WriteRecord("live.kif", Timed(2));
  ASSERT_TRUE(testing::OpenFile(form, QStringLiteral("live.kif")));
  const auto refresh_to = [&](int moves) {
    testing::WriteRecord("live.kif", Timed(moves));
    form.RefreshRecord();
    return testing::WaitFor(
        [&] { return form.ListView1->RowCount() == moves + 1 && !form.Follower->Refreshing(); });
  };

  QWidget other;
  other.show();
  form.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  ASSERT_TRUE(refresh_to(4));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].title, QStringLiteral("☗甲 対 ☖乙"));
  EXPECT_EQ(notices[0].text,
            QStringLiteral("3 ▲５九玉(58) 0分(計5分)\n4 △５一玉(52) 50分(計60分)"));
  EXPECT_TRUE(notices[0].popup);
  EXPECT_FALSE(notices[0].sound) << "the sound is off at first";
  EXPECT_EQ(alerts, std::vector<QWidget*>{&form}) << "marked too, for a desktop with no tray";

  form.OptionsDialog->CheckBox4->click();
  ASSERT_TRUE(refresh_to(5));
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_TRUE(notices[1].sound);

  Activate();
  ASSERT_TRUE(refresh_to(6));
  EXPECT_EQ(notices.size(), 2u) << "nothing while the window is the active one";
  EXPECT_EQ(alerts.size(), 2u);
  form.FollowRecord({});
}

}  // namespace
}  // namespace zelvaro
