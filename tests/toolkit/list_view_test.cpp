#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "tests/common/QtTestSupport.h"
#include "toolkit/Exception.h"
#include "toolkit/qt/ListView.h"

namespace zelvaro {
namespace {

class ListViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zelvaro::testing::TestApp();
    list_ = std::make_unique<TListView>();
    list_->SetColumns({{"開始日時", 120}, {"棋戦名", 150, 200}, {"先手", 100, 0, Qt::AlignRight}});
    list_->resize(400, 200);
  }

  QStringList Captions() const {
    QStringList out;
    for (int i = 0; i < list_->RowCount(); ++i) out << list_->Caption(i);
    return out;
  }

  // A click at the middle of the row, as the user makes it.
  QPoint RowCentre(int row) const {
    return list_->visualItemRect(list_->topLevelItem(row)).center();
  }

  std::unique_ptr<TListView> list_;
};

TEST_F(ListViewTest, RowsHoldCaptionsAndSubItems) {
  EXPECT_EQ(list_->RowCount(), 0);
  EXPECT_EQ(list_->Append("a", {"b", "c"}), 0);
  EXPECT_EQ(list_->Append("d", {"e", "f", "g", "h"}), 1);  // more than the columns
  EXPECT_EQ(list_->RowCount(), 2);
  EXPECT_EQ(list_->Caption(1), "d");
  EXPECT_EQ(list_->SubItem(0, 0), "b");
  EXPECT_EQ(list_->SubItem(0, 1), "c");
  EXPECT_EQ(list_->SubItem(1, 3), "h");
  list_->SetSubItem(0, 1, "C");
  list_->SetSubItem(0, 3, "x");  // past the end: the gap is empty
  EXPECT_EQ(list_->SubItem(0, 1), "C");
  EXPECT_EQ(list_->SubItem(0, 2), "");
  EXPECT_EQ(list_->SubItem(0, 3), "x");

  EXPECT_THROW(list_->Caption(2), ERangeError);
  EXPECT_THROW(list_->Caption(-1), ERangeError);
  EXPECT_THROW(list_->SubItem(1, 4), ERangeError);
  EXPECT_THROW(list_->SubItem(1, -1), ERangeError);
  EXPECT_THROW(list_->SetSubItem(5, 0, "x"), ERangeError);
  EXPECT_THROW(list_->Select(2), ERangeError);

  list_->Clear();
  EXPECT_EQ(list_->RowCount(), 0);
  EXPECT_EQ(list_->SelectedIndex(), -1);
}

TEST_F(ListViewTest, ColumnsHaveCaptionsWidthsLimitsAndAlignment) {
  EXPECT_EQ(list_->columnCount(), 3);
  EXPECT_EQ(list_->headerItem()->text(1), "棋戦名");
  EXPECT_EQ(list_->header()->sectionSize(0), 120);
  EXPECT_EQ(list_->header()->sectionSize(1), 150);
  list_->header()->resizeSection(1, 400);  // as a drag of the divider would
  EXPECT_EQ(list_->header()->sectionSize(1), 200);
  list_->header()->resizeSection(0, 400);  // no limit
  EXPECT_EQ(list_->header()->sectionSize(0), 400);
  list_->Append("a", {"b", "1"});
  EXPECT_TRUE(list_->topLevelItem(0)->textAlignment(2) & Qt::AlignRight);
}

TEST_F(ListViewTest, SelectionIsOneRowAndSurvivesLosingFocus) {
  for (int i = 0; i < 5; ++i) list_->Append(QString::number(i), {});
  EXPECT_EQ(list_->SelectedIndex(), -1);
  list_->Select(3);
  EXPECT_EQ(list_->SelectedIndex(), 3);
  list_->Select(1);
  EXPECT_EQ(list_->SelectedIndex(), 1);
  EXPECT_EQ(list_->selectedItems().size(), 1);
  list_->Select(-1);
  EXPECT_EQ(list_->SelectedIndex(), -1);
  // The inactive highlight is the active one, so the row stays visible.
  const QPalette p = list_->palette();
  EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight),
            p.color(QPalette::Active, QPalette::Highlight));
  EXPECT_EQ(list_->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(ListViewTest, MouseEventsReachTheSignals) {
  for (int i = 0; i < 5; ++i) list_->Append(QString::number(i), {"x"});
  list_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list_.get()));
  QSignalSpy clicked(list_.get(), &TListView::Clicked);
  QSignalSpy double_clicked(list_.get(), &TListView::DoubleClicked);
  QSignalSpy column_clicked(list_.get(), &TListView::ColumnClicked);

  int selected_at_click = -2;
  QObject::connect(list_.get(), &TListView::Clicked,
                   [&] { selected_at_click = list_->SelectedIndex(); });
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, RowCentre(2));
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_EQ(selected_at_click, 2);  // the handler already sees the new row

  QTest::mouseDClick(list_->viewport(), Qt::LeftButton, {}, RowCentre(4));
  EXPECT_EQ(double_clicked.count(), 1);
  EXPECT_EQ(list_->SelectedIndex(), 4);

  QHeaderView* header = list_->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
  ASSERT_EQ(column_clicked.count(), 1);
  EXPECT_EQ(column_clicked.at(0).at(0).toInt(), 1);
  EXPECT_EQ(Captions(), QStringList({"0", "1", "2", "3", "4"}));  // no sort of its own
}

TEST_F(ListViewTest, ScrollIntoViewMovesOnlyWhenTheRowIsHidden) {
  for (int i = 0; i < 200; ++i) list_->Append(QString::number(i), {});
  list_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list_.get()));
  const QRect viewport = list_->viewport()->rect();
  auto visible = [&](int row) {
    return list_->visualItemRect(list_->topLevelItem(row)).intersects(viewport);
  };
  ASSERT_FALSE(visible(150));
  list_->ScrollIntoView(150);
  EXPECT_TRUE(visible(150));

  // A row cut by the bottom edge counts as visible: nothing scrolls.
  list_->ScrollIntoView(0);
  int partly = -1;
  for (int row = 0; row < 200 && partly < 0; ++row) {
    const QRect r = list_->visualItemRect(list_->topLevelItem(row));
    if (r.top() < viewport.bottom() && r.bottom() > viewport.bottom()) partly = row;
  }
  if (partly >= 0) {
    const int before = list_->verticalScrollBar()->value();
    list_->ScrollIntoView(partly);
    EXPECT_EQ(list_->verticalScrollBar()->value(), before);
  }
  EXPECT_THROW(list_->ScrollIntoView(200), ERangeError);
}

TEST_F(ListViewTest, SortIsStableForcedAgainAndKeepsTheSelection) {
  const QStringList captions = {"c", "a", "b", "a", "c"};
  for (int i = 0; i < captions.size(); ++i) list_->Append(captions[i], {QString::number(i)});
  list_->Sort();  // no comparison yet: nothing moves
  EXPECT_EQ(Captions(), captions);

  int direction = 1;
  list_->SetCompare([&](int a, int b) {
    return direction * QString::compare(list_->Caption(a), list_->Caption(b));
  });
  list_->Select(2);  // "b"
  list_->Sort();
  EXPECT_EQ(Captions(), QStringList({"a", "a", "b", "c", "c"}));
  // Equal captions keep their order.
  EXPECT_EQ(list_->SubItem(0, 0), "1");
  EXPECT_EQ(list_->SubItem(1, 0), "3");
  EXPECT_EQ(list_->SubItem(3, 0), "0");
  EXPECT_EQ(list_->SelectedIndex(), 2);
  EXPECT_EQ(list_->SubItem(list_->SelectedIndex(), 0), "2");

  // Rows appended after a sort go to the end until the list is sorted again.
  list_->Append("0", {"5"});
  EXPECT_EQ(list_->Caption(5), "0");
  direction = -1;
  list_->Sort();
  EXPECT_EQ(Captions(), QStringList({"c", "c", "b", "a", "a", "0"}));
  EXPECT_EQ(list_->SubItem(0, 0), "0");
  EXPECT_EQ(list_->SubItem(1, 0), "4");
  EXPECT_EQ(list_->SubItem(list_->SelectedIndex(), 0), "2");
}

TEST_F(ListViewTest, BatchUpdatesNest) {
  list_->show();
  list_->BeginUpdate();
  list_->BeginUpdate();
  for (int i = 0; i < 100; ++i) list_->Append(QString::number(i), {});
  EXPECT_FALSE(list_->updatesEnabled());
  list_->EndUpdate();
  EXPECT_FALSE(list_->updatesEnabled());
  list_->EndUpdate();
  EXPECT_TRUE(list_->updatesEnabled());
  list_->EndUpdate();  // unbalanced: ignored
  EXPECT_TRUE(list_->updatesEnabled());
  EXPECT_EQ(list_->RowCount(), 100);
}

}  // namespace
}  // namespace zelvaro
