#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "tests/viewer/ViewerWindowFixture.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using testing::MoveLine;
using testing::ViewerWindow;
using testing::WalkingKingsRecord;
using testing::WriteRecord;

TEST_F(ViewerWindow, Layout) {
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.isWindow());
  EXPECT_EQ(form.size(), QSize(760, 516));
  // It may grow, never shrink below its layout.
  EXPECT_EQ(form.minimumSize(), QSize(760, 516));
  EXPECT_GT(form.maximumWidth(), 760);
  EXPECT_GT(form.maximumHeight(), 516);
  EXPECT_EQ(form.pos(), QPoint(18, 29));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro"));
  EXPECT_EQ(form.font().families().value(0), QStringLiteral("ＭＳ Ｐゴシック"));
  EXPECT_TRUE(form.font().families().contains(QStringLiteral("IPAPGothic")));
  EXPECT_EQ(form.font().pixelSize(), 12);

  struct Control {
    QWidget* widget;
    const char* name;
    QRect rect;
    const char* caption;
  } controls[] = {
      {form.Image1, "Image1", {0, 0, 329, 417}, nullptr},
      {form.WebBrowser1, "WebBrowser1", {336, 0, 417, 465}, nullptr},
      {form.ListView1, "ListView1", {0, 416, 329, 97}, nullptr},
      {form.Button1, "Button1", {528, 472, 73, 25}, "棋譜を開く"},
      {form.Button2, "Button2", {344, 472, 57, 25}, "<"},
      {form.Button3, "Button3", {432, 472, 57, 25}, ">"},
      {form.Button4, "Button4", {688, 472, 57, 25}, "閉じる"},
      {form.Button5, "Button5", {616, 472, 57, 25}, "設定"},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(form.findChild<QWidget*>(QString::fromLatin1(c.name)), c.widget);
    EXPECT_EQ(c.widget->geometry(), c.rect);
    if (c.caption) {
      EXPECT_EQ(static_cast<QPushButton*>(c.widget)->text().toStdString(), c.caption);
    }
  }
  // Tab order: HTML view, move list, then the buttons 1 to 5.
  const std::vector<QWidget*> order = {form.WebBrowser1, form.ListView1, form.Button1, form.Button2,
                                       form.Button3,     form.Button4,   form.Button5};
  EXPECT_EQ(testing::FocusOrder(form.WebBrowser1, order), order);
  EXPECT_EQ(form.Image1->focusPolicy(), Qt::NoFocus);

  struct Column {
    const char* caption;
    int width;
    Qt::Alignment alignment;
  } columns[] = {{"手数", 38, Qt::AlignLeft},
                 {"指し手", 110, Qt::AlignLeft},
                 {"考慮時間", 90, Qt::AlignRight},
                 {"その他", 60, Qt::AlignRight}};
  ASSERT_EQ(form.ListView1->columnCount(), 5);
  EXPECT_TRUE(form.ListView1->isColumnHidden(4));  // 「評価」 while analysis is on
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(form.ListView1->headerItem()->text(i).toStdString(), columns[i].caption);
    EXPECT_EQ(form.ListView1->columnWidth(i), columns[i].width);
  }
  form.ListView1->header()->resizeSection(0, 80);
  EXPECT_LE(form.ListView1->columnWidth(0), 38);

  // Row 0 and the starting position from creation on.
  ASSERT_EQ(form.ListView1->RowCount(), 1);
  EXPECT_EQ(Cell(0, 0), "0");
  EXPECT_EQ(Cell(0, 1), "開始局面");
  EXPECT_EQ(Cell(0, 2), "0分(計0分)");
  EXPECT_EQ(Cell(0, 3), " ");
  EXPECT_EQ(form.Positions[0].Board[59], kOu);
  EXPECT_EQ(Utf16ToUtf8(form.SenteName), " ");
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[0]));
}

TEST_F(ViewerWindow, ReadsARecord) {
  Read(WalkingKingsRecord(120, "竜王戦", "先手太郎", "後手次郎"));
  EXPECT_TRUE(catcher.messages.empty());
  EXPECT_EQ(form.ListView1->RowCount(), 121);
  EXPECT_EQ(form.ListView1->SelectedIndex(), -1);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ 竜王戦 ]"));
  EXPECT_EQ(Cell(1, 1), "▲５八玉(59)");
  EXPECT_EQ(Cell(2, 1), "△５二玉(51)");
  EXPECT_EQ(Cell(10, 2), " 0分(計0分)");
  EXPECT_EQ(Cell(0, 3), "ｺﾒﾝﾄ");
  EXPECT_EQ(Cell(5, 3), "ｺﾒﾝﾄ");
  EXPECT_EQ(Cell(6, 3), " ");
  EXPECT_EQ(Html(), QStringLiteral("<html><body><font size=\"+1\"><b>"
                                   "開始日時：2024/06/01 10:00<BR>棋戦：竜王戦<BR>"
                                   "先手：先手太郎<BR>後手：後手次郎<BR>"
                                   "</b></font></body></html>"));
  EXPECT_EQ(Utf16ToUtf8(form.SenteName), "先手太郎");
  EXPECT_EQ(Utf16ToUtf8(form.GoteName), "後手次郎");
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[0]));
  EXPECT_EQ(form.Positions[1].Board[58], kOu);
  EXPECT_EQ(form.Positions[2].Board[52], kOu + kGoteOffset);
}

TEST_F(ViewerWindow, ClickingRowsShowsPositionAndComment) {
  Read(WalkingKingsRecord(12, "竜王戦", "先手太郎", "後手次郎"));
  ClickRow(5);
  EXPECT_EQ(form.ListView1->SelectedIndex(), 5);
  EXPECT_EQ(Html().toStdString(),
            "<html><body><font size=\"+1\"><b>5手目の解説 <a href=\"http://example.jp/k5\" "
            "title=\"リンク先を見る\">http://example.jp/k5</a><BR></b></font></body></html>");
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[5]));
  EXPECT_NE(form.Image1->Picture(), Expected(form.Positions[0]));

  ClickRow(3);
  EXPECT_EQ(Html(), QStringLiteral("<html><body><font size=\"+1\"><b></b></font></body></html>"));
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3]));
}

TEST_F(ViewerWindow, StepButtons) {
  Read(WalkingKingsRecord(4, "竜王戦", "先手太郎", "後手次郎"));
  const QString header = Html();
  // No selection: "<" does nothing, ">" goes to row 0 with the comment before move 1.
  form.Button2->click();
  EXPECT_EQ(form.ListView1->SelectedIndex(), -1);
  EXPECT_EQ(Html(), header);
  form.Button3->click();
  EXPECT_EQ(form.ListView1->SelectedIndex(), 0);
  EXPECT_EQ(Html(), QStringLiteral("<html><body><font size=\"+1\"><b>対局開始前のコメント<BR>"
                                   "</b></font></body></html>"));
  // Row 0: "<" does nothing.
  form.Button2->click();
  EXPECT_EQ(form.ListView1->SelectedIndex(), 0);
  for (int row = 1; row <= 4; ++row) {
    form.Button3->click();
    EXPECT_EQ(form.ListView1->SelectedIndex(), row);
    EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[row])) << row;
  }
  // Last row: ">" does nothing.
  form.Button3->click();
  EXPECT_EQ(form.ListView1->SelectedIndex(), 4);
  form.Button2->click();
  EXPECT_EQ(form.ListView1->SelectedIndex(), 3);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3]));

  // The arrow keys in the move list step the same way.
  Activate();
  form.ListView1->setFocus();
  QTest::keyClick(form.ListView1, Qt::Key_Left);
  EXPECT_EQ(form.ListView1->SelectedIndex(), 2);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[2]));
  QTest::keyClick(form.ListView1, Qt::Key_Right);
  QTest::keyClick(form.ListView1, Qt::Key_Right);
  EXPECT_EQ(form.ListView1->SelectedIndex(), 4);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[4]));
}

TEST_F(ViewerWindow, StepKeepsTheSelectedRowInView) {
  Read(WalkingKingsRecord(60, "", "", ""));
  for (int i = 0; i < 40; ++i) form.Button3->click();
  ASSERT_EQ(form.ListView1->SelectedIndex(), 39);
  const QRect visible = form.ListView1->viewport()->rect();
  EXPECT_TRUE(visible.intersects(form.ListView1->visualItemRect(form.ListView1->topLevelItem(39))));
}

TEST_F(ViewerWindow, FontSizeAppliesToTheNextDocumentOnly) {
  Read(WalkingKingsRecord(6, "竜王戦", "先手太郎", "後手次郎"));
  ClickRow(5);
  const QString shown = Html();
  QTimer::singleShot(0, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_EQ(modal, form.OptionsDialog);
    form.OptionsDialog->RadioGroup1->Item(0)->click();  // "極小 (-2)"
    form.OptionsDialog->Button1->click();
  });
  form.Button5->click();  // returns when the dialog is closed
  EXPECT_FALSE(form.OptionsDialog->isVisible());
  EXPECT_EQ(form.OptionsDialog->RadioGroup1->ItemIndex(), 0);
  EXPECT_EQ(Html(), shown);
  ClickRow(5);
  EXPECT_TRUE(Html().startsWith(QStringLiteral("<html><body><font size=\"-2\"><b>5手目")));
  form.Button1Click();
  ASSERT_TRUE(testing::WaitForReading(form));
  EXPECT_TRUE(Html().startsWith(QStringLiteral("<html><body><font size=\"-2\"><b>開始日時")));
}

// Another record starts from nothing: a record without names after one with them.
TEST_F(ViewerWindow, AnotherRecordStartsFromNothing) {
  Read(WalkingKingsRecord(6, "竜王戦", "先手太郎", "後手次郎"));
  Read(WalkingKingsRecord(3, "", "", "別の後手"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro"));
  EXPECT_EQ(Utf16ToUtf8(form.SenteName), " ");
  EXPECT_EQ(Utf16ToUtf8(form.GoteName), "別の後手");
  EXPECT_EQ(Utf16ToUtf8(form.TournamentName), "");
  EXPECT_EQ(form.ListView1->RowCount(), 4);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[0]));
}

TEST_F(ViewerWindow, MissingFile) {
  Read(WalkingKingsRecord(6, "竜王戦", "先手太郎", "後手次郎"));
  ClickRow(2);
  const QImage picture = form.Image1->Picture();
  const QString html = Html();
  QFile::remove(QString::fromUtf8(kRecordFileName));
  form.Button1Click();
  ASSERT_TRUE(testing::WaitForReading(form));
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_EQ(catcher.messages[0].text, QStringLiteral("ファイル 棋譜中継.txt は開けません"));
  EXPECT_EQ(form.ListView1->RowCount(), 1);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ 竜王戦 ]"));
  EXPECT_EQ(Utf16ToUtf8(form.SenteName), "先手太郎");
  EXPECT_EQ(form.Image1->Picture(), picture);
  EXPECT_EQ(Html(), html);
}

TEST_F(ViewerWindow, MovesThatCannotBeAppliedAreTold) {
  Read({"先手：甲", MoveLine(1, "７六歩(7x)", "( 0:01/00:00:01)"),
        MoveLine(2, "３四歩(33)", "( 0:01/00:00:01)"),
        MoveLine(3, "２六歩(27)", "( 0:01/00:00:01)")});
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_EQ(catcher.messages[0].text, QStringLiteral("指し手エラー ７六歩(7x)"));
  EXPECT_EQ(catcher.messages[0].caption, QStringLiteral("error"));
  EXPECT_EQ(form.ListView1->RowCount(), 4);
  // The rows read stay usable.
  ClickRow(2);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[2]));
}

// A long game with a variation: every row, clicked or stepped to, shows its
// own position and comment.
TEST_F(ViewerWindow, EveryRowShowsItsOwnPosition) {
  std::vector<std::string> lines;
  for (int n = 1; n <= 317; ++n)
    lines.push_back(MoveLine(n, n % 2 ? "５八玉(59)" : "５二玉(51)", ""));
  lines.push_back("変化：1手");
  lines.push_back(MoveLine(1, "７六歩(77)", ""));
  lines.push_back("*変化の解説");
  lines.push_back(MoveLine(2, "３四歩(33)", ""));
  Read(lines);
  ASSERT_EQ(form.ListView1->RowCount(), 320);
  EXPECT_EQ(Cell(318, 3), "ｺﾒﾝﾄ");
  form.ListView1->Select(317);
  form.OnListViewClick();
  EXPECT_EQ(form.Positions[317].Board[58], kOu);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[317]));
  form.Button3Click();
  EXPECT_EQ(form.ListView1->SelectedIndex(), 318);
  EXPECT_EQ(form.Positions[318].Board[76], kFu);
  EXPECT_EQ(form.Positions[318].Board[59], kOu);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[318]));
  EXPECT_TRUE(Html().contains(QStringLiteral("変化の解説"))) << Html().toStdString();
  form.Button3Click();
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[319]));
  EXPECT_EQ(form.Positions[319].Board[34], kFu + kGoteOffset);
}

TEST_F(ViewerWindow, CloseHidesTheWindow) {
  form.show();
  ASSERT_TRUE(form.isVisible());
  form.Button4->click();
  EXPECT_FALSE(form.isVisible());
  Read(WalkingKingsRecord(2, "棋聖戦", "", ""));
  form.show();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ 棋聖戦 ]"));
  EXPECT_EQ(form.ListView1->RowCount(), 3);
}

// A real record read and a commented move clicked: the grab of the window is
// kept as viewer-window.png in the build folder for a look by eye.
TEST_F(ViewerWindow, ScreenshotOfARealRecord) {
  const QString record = QStringLiteral(
      ZELVARO_SOURCE_DIR "/../shared/kif-corpus/01-broadcast-sennichite-url-comments.kif");
  if (!QFile::exists(record)) GTEST_SKIP() << "no corpus";
  ASSERT_TRUE(QFile::copy(record, QString::fromUtf8(kRecordFileName)));
  form.show();
  form.Button1Click();
  ASSERT_TRUE(testing::WaitForReading(form));
  ASSERT_TRUE(catcher.messages.empty());
  int commented = -1;
  for (int row = 10; row < form.ListView1->RowCount() && commented < 0; ++row) {
    if (form.ListView1->SubItem(row, 2) == QStringLiteral("ｺﾒﾝﾄ")) commented = row;
  }
  ASSERT_GT(commented, 0);
  ClickRow(commented);
  EXPECT_TRUE(Html().contains(QStringLiteral("<BR>")));
  const QImage grab = form.grab().toImage().convertToFormat(QImage::Format_RGB888);
  grab.save(QStringLiteral(ZELVARO_BINARY_DIR "/viewer-window.png"));
  // The record has a time limit: the clocks' column stands right of the layout.
  EXPECT_EQ(grab.size(), QSize(760 + kSidePanelWidth, 516));
  // The board area shows the picture unscaled from its top-left corner (its
  // last row lies under the move list).
  EXPECT_EQ(grab.copy(0, 0, 329, 416), form.Image1->Picture().copy(0, 0, 329, 416));
}

// The board options of the dialog redraw the row on show at once and hold
// for the rows shown after.
TEST_F(ViewerWindow, BoardOptionsRedrawTheRowOnShow) {
  Read(WalkingKingsRecord(6, "棋聖戦", "先手甲", "後手乙"));
  ClickRow(3);
  TForm3& dialog = *form.OptionsDialog;
  EXPECT_EQ(dialog.BoardOptions(), TBoardOptions{});
  dialog.CheckBox1->click();
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3], {.last_move = true}));
  dialog.CheckBox2->click();
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3], {true, true}));
  form.Button3Click();
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[4], {true, true}));
  dialog.SetBoardOptions({});
  EXPECT_FALSE(dialog.CheckBox1->isChecked() || dialog.CheckBox2->isChecked());
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[4]));
}

// Every key that moves the selection shows the row it lands on, once, as a
// click does; ← and → step from wherever the focus is in the window.
TEST_F(ViewerWindow, KeysShowTheRowTheyMoveTo) {
  Read(WalkingKingsRecord(40, "竜王戦", "先手太郎", "後手次郎"));
  Activate();
  ClickRow(10);
  struct Case {
    Qt::Key key;
    QWidget* focus;
    int row;  // -1: a page further down than the row before
  } cases[] = {
      {Qt::Key_Down, form.ListView1, 11},     {Qt::Key_Up, form.ListView1, 10},
      {Qt::Key_End, form.ListView1, 40},      {Qt::Key_Home, form.ListView1, 0},
      {Qt::Key_PageDown, form.ListView1, -1}, {Qt::Key_PageUp, form.ListView1, 0},
      {Qt::Key_Right, form.ListView1, 1},     {Qt::Key_Right, form.WebBrowser1, 2},
      {Qt::Key_Left, form.WebBrowser1, 1},    {Qt::Key_Right, form.Button5, 2},
      {Qt::Key_Down, form.ListView1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
    const int before = form.ListView1->SelectedIndex();
    const unsigned navigation = form.WebBrowser1->Navigation();
    c.focus->setFocus();
    QTest::keyClick(c.focus, c.key);
    const int row = form.ListView1->SelectedIndex();
    ASSERT_EQ(row, c.row >= 0 ? c.row : std::max(row, before + 2));
    EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[row]));
    EXPECT_EQ(Html().toStdString(),
              Utf16ToUtf8(CommentDocument(kDefaultFontSize, form.Positions[row].Comment)));
    EXPECT_EQ(form.WebBrowser1->Navigation(), navigation + 1) << "shown once";
  }
  // A click shows its row once too.
  const unsigned navigation = form.WebBrowser1->Navigation();
  ClickRow(7);
  EXPECT_EQ(form.WebBrowser1->Navigation(), navigation + 1);

  // "<" and ">" leave the focus where it was: → still steps, and Space would
  // not reach "設定".
  form.ListView1->setFocus();
  QTest::mouseClick(form.Button3, Qt::LeftButton);
  EXPECT_EQ(form.ListView1->SelectedIndex(), 8);
  EXPECT_EQ(QApplication::focusWidget(), form.ListView1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  EXPECT_EQ(form.ListView1->SelectedIndex(), 9);
  EXPECT_EQ(QApplication::focusWidget(), form.ListView1);
}

TEST_F(ViewerWindow, ANewGameStartsAtTheTop) {
  Read(WalkingKingsRecord(60, "", "", ""));
  form.show();
  ClickRow(60);
  ASSERT_GT(form.ListView1->verticalScrollBar()->value(), 0);
  Read(WalkingKingsRecord(50, "", "", ""));
  EXPECT_EQ(form.ListView1->verticalScrollBar()->value(), 0);
  EXPECT_EQ(form.ListView1->SelectedIndex(), -1);
}

// A larger window gives the room to the HTML view and the move list; the
// board stays as it is, the buttons stay under the HTML view.
TEST_F(ViewerWindow, ResizedLayout) {
  Read(WalkingKingsRecord(30, "", "先手", "後手"));
  form.show();
  const QImage picture = form.Image1->Picture();
  form.resize(1000, 700);  // 240 wider, 184 higher
  struct Control {
    QWidget* widget;
    QRect rect;
  } controls[] = {
      {form.Image1, {0, 0, 329, 417}},      {form.WebBrowser1, {336, 0, 657, 649}},
      {form.ListView1, {0, 416, 329, 281}}, {form.Button1, {768, 656, 73, 25}},
      {form.Button2, {344, 656, 57, 25}},   {form.Button3, {432, 656, 57, 25}},
      {form.Button4, {928, 656, 57, 25}},   {form.Button5, {856, 656, 57, 25}},
  };
  for (const auto& c : controls) {
    EXPECT_EQ(c.widget->geometry(), c.rect) << c.widget->objectName().toStdString();
  }
  EXPECT_EQ(form.Image1->Picture(), picture);
  form.resize(10, 10);  // never below the layout, which is back as it was
  EXPECT_EQ(form.size(), QSize(760, 516));
  EXPECT_EQ(form.WebBrowser1->geometry(), QRect(336, 0, 417, 465));
}

// F, the board's context menu and the dialog's check box turn the board
// together.
TEST_F(ViewerWindow, FlipKeyAndMenuFollowTheDialog) {
  Read(WalkingKingsRecord(6, "", "先手甲", "後手乙"));
  Activate();
  ClickRow(3);
  EXPECT_EQ(form.Image1->contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_TRUE(form.Image1->actions().contains(form.FlipAction));
  QTest::keyClick(form.ListView1, Qt::Key_F);
  EXPECT_TRUE(form.OptionsDialog->CheckBox2->isChecked());
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3], {.flip = true}));
  form.FlipAction->trigger();  // the menu item
  EXPECT_FALSE(form.OptionsDialog->CheckBox2->isChecked());
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3]));
  form.OptionsDialog->CheckBox2->click();
  EXPECT_TRUE(form.FlipAction->isChecked());
  form.LastMoveAction->trigger();
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[3], {true, true}));
}

TEST(OptionsDialog, Layout) {
  testing::TestApp();
  TForm3 dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("設定オプション"));
  // 266 pixels high before "自動更新", "盤面" and "着手の通知" were added below the button.
  EXPECT_EQ(dialog.size(), QSize(411, 450));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_EQ(dialog.pos(), QPoint(238, 141));
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(dialog.Button1->geometry(), QRect(144, 216, 105, 25));
  EXPECT_EQ(dialog.Button1->text(), QStringLiteral("設定する"));
  EXPECT_EQ(dialog.RadioGroup1->geometry(), QRect(40, 32, 345, 129));
  EXPECT_EQ(dialog.RadioGroup1->title(), QStringLiteral("コメント文字の大きさ"));
  EXPECT_EQ(dialog.RadioGroup1->ItemIndex(), 3);
  const char* labels[] = {"極小 (-2)",  "小さめ (-1)", "普通 (0)",
                          "大きめ (1)", "特大 (2)",    "極大 (3)"};
  ASSERT_EQ(dialog.RadioGroup1->Count(), 6);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    QRadioButton* item = dialog.RadioGroup1->Item(i);
    EXPECT_EQ(item->text().toStdString(), labels[i]);
    // Left column first, three rows.
    const QRect first = dialog.RadioGroup1->Item(i % 3)->geometry();
    const QRect right = dialog.RadioGroup1->Item(3 + i % 3)->geometry();
    EXPECT_EQ(item->geometry().top(), first.top());
    EXPECT_LT(first.left(), right.left());
    EXPECT_TRUE(dialog.RadioGroup1->rect().contains(item->geometry()));
  }
  EXPECT_LT(dialog.RadioGroup1->Item(0)->y(), dialog.RadioGroup1->Item(1)->y());
  const std::vector<QWidget*> order = {dialog.Button1, dialog.RadioGroup1->Item(0)};
  EXPECT_EQ(testing::FocusOrder(dialog.Button1, order), order);

  // The board group below "自動更新": both boxes off.
  EXPECT_GE(dialog.BoardGroup->geometry().top(), dialog.RadioGroup2->geometry().bottom());
  EXPECT_TRUE(dialog.rect().contains(dialog.BoardGroup->geometry()));
  EXPECT_EQ(dialog.BoardGroup->title(), QStringLiteral("盤面"));
  for (QCheckBox* box : {dialog.CheckBox1, dialog.CheckBox2}) {
    EXPECT_TRUE(dialog.BoardGroup->rect().contains(box->geometry()));
    EXPECT_FALSE(box->isChecked());
  }
  EXPECT_EQ(dialog.CheckBox1->text(), QStringLiteral("最終手を表示"));
  EXPECT_EQ(dialog.CheckBox2->text(), QStringLiteral("盤面反転"));
  const std::vector<QWidget*> boxes = {dialog.Button1, dialog.RadioGroup1->Item(0),
                                       dialog.RadioGroup2->Item(0), dialog.CheckBox1,
                                       dialog.CheckBox2};
  EXPECT_EQ(testing::FocusOrder(dialog.Button1, boxes), boxes);

  // The selection stays after the dialog is closed by either way and reopened.
  dialog.RadioGroup1->Item(4)->click();
  dialog.show();
  dialog.close();
  EXPECT_EQ(dialog.RadioGroup1->ItemIndex(), 4);
  dialog.show();
  dialog.Button1->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.RadioGroup1->ItemIndex(), 4);
}

}  // namespace
}  // namespace zelvaro
