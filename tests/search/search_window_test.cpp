// The search window offscreen, over a fetcher that serves lines from a
// table: layout, sorting, the search with its button and progress, and the
// hand-over of a game to the viewer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "game/Record.h"
#include "search/untSubForm.h"
#include "tests/search/SearchTestSupport.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using testing::FakeFetcher;
using testing::MessageCatcher;
using testing::RecordLines;
using testing::ScratchFolder;

const TBroadcastHosts kHosts{"http://srv.test", "http://sp.test"};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class SearchWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApp();
    fetcher = &fake;
    const TTournamentTable table = TournamentTable(kHosts);
    for (const auto& page : table) fetcher->Serve(page, {"<html>"});
    fetcher->Serve(table[0], {R"(<a href="kifu/a.html">)", R"(<a href="kifu/b.html">)"});
    fetcher->Serve("http://srv.test/ryuou/kifu/a.kif",
                   RecordLines("2026/01/01 10:00", "竜王戦", "先手A", "後手A"));
    fetcher->Serve("http://srv.test/ryuou/kifu/b.kif",
                   RecordLines("2026/01/02 10:00", "竜王戦", "先手B", "後手B"));
    fetcher->pages.erase(table[12]);
    form = std::make_unique<TForm2>(kHosts, fake.Factory());
  }

  // The search and the hand-over run off the window thread: they are
  // started, and the test waits for their end.
  void Search() {
    form->Button1Click();
    ASSERT_TRUE(testing::WaitFor([&] { return !form->Searching(); }));
  }
  void OpenSelected() {
    form->ListViewDoubleClick();
    ASSERT_TRUE(testing::WaitFor(
        [&] { return !form->HandingOver() && !form->FViewer->Follower->Reading(); }));
  }

  // Appends rows as a search would.
  void AddRows(const std::vector<std::array<const char*, 5>>& rows) {
    for (const auto& r : rows) {
      form->ListView1->Append(QString::fromUtf8(r[0]),
                              {QString::fromUtf8(r[1]), QString::fromUtf8(r[2]),
                               QString::fromUtf8(r[3]), QString::fromUtf8(r[4])});
    }
  }
  std::vector<std::string> Column(int column) {
    std::vector<std::string> out;
    for (int row = 0; row < form->ListView1->RowCount(); ++row) {
      out.push_back(
          (column == 0 ? form->ListView1->Caption(row) : form->ListView1->SubItem(row, column - 1))
              .toStdString());
    }
    return out;
  }

  ScratchFolder folder;
  MessageCatcher messages;
  FakeFetcher fake;  // outlives the window's downloads
  FakeFetcher* fetcher = nullptr;
  std::unique_ptr<TForm2> form;
};

TEST_F(SearchWindowTest, LayoutAndStartState) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Zelvaro - 中継サイトを探索"));
  EXPECT_EQ(form->size(), QSize(581, 348));
  EXPECT_EQ(form->minimumSize(), QSize(581, 348));
  EXPECT_EQ(form->font().pixelSize(), 12);
  EXPECT_EQ(form->ListView1->geometry(), QRect(16, 16, 545, 257));
  EXPECT_EQ(form->Button1->geometry(), QRect(128, 288, 105, 33));
  EXPECT_EQ(form->Button2->geometry(), QRect(376, 288, 89, 33));
  EXPECT_EQ(form->Button1->text(), QStringLiteral("中継棋譜を探す"));
  EXPECT_EQ(form->Button2->text(), QStringLiteral("終了"));
  const QStringList captions = {"開始日時", "棋戦名", "先手", "後手", "URL"};
  const std::vector<int> widths = {120, 150, 100, 100, 60};
  ASSERT_EQ(form->ListView1->columnCount(), 5);
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(form->ListView1->headerItem()->text(c), captions[c]);
    EXPECT_EQ(form->ListView1->columnWidth(c), widths[c]);
  }
  EXPECT_EQ(form->FSortColumn, -1);
  ASSERT_NE(form->FViewer, nullptr);
  EXPECT_FALSE(form->FViewer->isVisible());
  EXPECT_TRUE(form->FViewer->isWindow());
  EXPECT_EQ(form->ListView1->RowCount(), 0);

  // Larger: the list and its address column take the room, the buttons and
  // the line stay below it.
  form->show();
  form->resize(881, 548);
  ASSERT_TRUE(testing::WaitFor([&] { return form->width() == 881; }));
  EXPECT_EQ(form->ListView1->geometry(), QRect(16, 16, 845, 457));
  EXPECT_EQ(form->ListView1->columnWidth(4), 360);
  EXPECT_EQ(form->Button1->geometry(), QRect(278, 488, 105, 33));
  EXPECT_EQ(form->ProgressLabel->geometry(), QRect(16, 526, 845, 18));
}

// The width a grown window gains goes to the tournament names until the
// longest shows whole, and only then to the addresses.
TEST_F(SearchWindowTest, AGrownWindowShowsTournamentNamesWholeBeforeWideningTheAddresses) {
  form->show();
  AddRows({{"2026/01/01 10:00", "第99期竜王戦決勝トーナメント 第3局 千駄ヶ谷 将棋会館", "先手",
            "後手", "http://srv.test/ryuou/kifu/a.kif"}});
  const int need = form->ListView1->ContentWidth(1);
  ASSERT_GT(need, 150 + 20);
  struct Case {
    int width, tournament, url;
  } cases[] = {
      {581 + 10, 160, 60},                     // all of it to the names, still cut
      {581 + need - 150, need, 60},            // exactly the names' width
      {581 + need - 150 + 40, need, 60 + 40},  // the rest to the addresses
      {581, 150, 60},                          // back to the first size
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    form->resize(c.width, 348);
    ASSERT_TRUE(testing::WaitFor([&] { return form->width() == c.width; }));
    EXPECT_EQ(form->ListView1->columnWidth(1), c.tournament);
    EXPECT_EQ(form->ListView1->columnWidth(4), c.url);
  }
}

// A page that fails shows its box without a modal wait: the search lists
// the rest and ends while the box is still up.
TEST_F(SearchWindowTest, TheSearchGoesOnWhileAFailedPagesBoxIsUp) {
  SetMessageHook({});  // the real box
  bool waited_for_a_box = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      waited_for_a_box = true;
      modal->close();
    }
  });
  closer.start(100);
  form->show();
  Search();
  closer.stop();
  EXPECT_FALSE(waited_for_a_box);
  EXPECT_EQ(form->ListView1->RowCount(), 2);
  const QList<QMessageBox*> boxes = form->findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0]->isVisible());
  EXPECT_EQ(boxes[0]->windowTitle(), QStringLiteral("error"));
  EXPECT_EQ(boxes[0]->text(), QStringLiteral("HTTP/1.1 404 Not Found"));
  boxes[0]->close();
}

TEST_F(SearchWindowTest, ColumnClicksFlipTheDirectionEveryTime) {
  AddRows({{"2026/01/02", "b戦", "佐藤", "Ueda", "u1"},
           {"2026/01/01", "a戦", "鈴木", "Abe", "u2"},
           {"2026/01/03", "c戦", "伊藤", "Kato", "u3"}});
  QHeaderView* header = form->ListView1->header();
  EXPECT_FALSE(header->isSortIndicatorShown());
  // The first click sorts ascending although the state starts at -1.
  form->ListViewColumnClick(2);
  EXPECT_EQ(form->FSortColumn, 3);
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorSection(), 2);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_EQ(Column(4), (std::vector<std::string>{"u3", "u1", "u2"}));  // 伊藤 佐藤 鈴木
  // The next click, on another column, sorts descending.
  form->ListViewColumnClick(3);
  EXPECT_EQ(form->FSortColumn, -4);
  EXPECT_EQ(Column(3), (std::vector<std::string>{"Ueda", "Kato", "Abe"}));
  EXPECT_EQ(header->sortIndicatorSection(), 3);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  // The same column again: ascending.
  form->ListViewColumnClick(3);
  EXPECT_EQ(form->FSortColumn, 4);
  EXPECT_EQ(Column(3), (std::vector<std::string>{"Abe", "Kato", "Ueda"}));
  form->ListViewColumnClick(0);
  EXPECT_EQ(form->FSortColumn, -1);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"2026/01/03", "2026/01/02", "2026/01/01"}));
  // Sub-items travel with their row.
  EXPECT_EQ(Column(4), (std::vector<std::string>{"u3", "u1", "u2"}));
  // A click on the header itself: the arrow follows the window's state.
  form->show();
  for (int i = 0; i < 2; ++i) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      {header->sectionViewportPosition(1) + 10, header->height() / 2});
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(),
              form->FSortColumn > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
  }
}

TEST_F(SearchWindowTest, ComparisonIsCaseSensitiveAndZeroWithoutASort) {
  AddRows({{"x", "abc", "s", "g", "u"}, {"x", "ABC", "s", "g", "u"}, {"x", "abc", "s", "g", "u"}});
  form->FSortColumn = 2;
  EXPECT_NE(form->ListViewCompare(0, 1), 0);
  EXPECT_EQ(form->ListViewCompare(0, 2), 0);
  const int ascending = form->ListViewCompare(0, 1);
  form->FSortColumn = -2;
  EXPECT_EQ(form->ListViewCompare(0, 1), -ascending);
  form->FSortColumn = 0;
  EXPECT_EQ(form->ListViewCompare(0, 1), 0);
  EXPECT_EQ(form->ListViewCompare(1, 0), 0);
}

TEST_F(SearchWindowTest, RowsAddedAfterASortGoToTheEnd) {
  AddRows({{"2", "t", "s", "g", "u2"}, {"3", "t", "s", "g", "u3"}});
  form->ListViewColumnClick(0);
  AddRows({{"1", "t", "s", "g", "u1"}});
  EXPECT_EQ(Column(0), (std::vector<std::string>{"2", "3", "1"}));
  form->ListViewColumnClick(0);  // descending now
  EXPECT_EQ(Column(0), (std::vector<std::string>{"3", "2", "1"}));
}

TEST_F(SearchWindowTest, SearchListsRowsAndKeepsTheButtonDisabledUntilItEnds) {
  std::vector<bool> enabled_during_fetch;
  QString first_progress;
  fetcher->on_fetch = [&](const std::string&) {
    enabled_during_fetch.push_back(form->Button1->isEnabled());
    if (first_progress.isEmpty()) first_progress = form->ProgressLabel->text();
  };
  bool enabled_at_message = true;
  QString progress_at_message;
  messages.on_message = [&] {
    enabled_at_message = form->Button1->isEnabled();
    progress_at_message = form->ProgressLabel->toolTip();
  };

  form->Button1Click();
  EXPECT_TRUE(form->Searching()) << "the search runs on after the click";
  EXPECT_FALSE(form->Button1->isEnabled());
  form->Button1Click();  // a second search cannot start meanwhile
  ASSERT_TRUE(testing::WaitFor([&] { return !form->Searching(); }));

  EXPECT_EQ(Column(0), (std::vector<std::string>{"2026/01/01 10:00", "2026/01/02 10:00"}));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"竜王戦", "竜王戦"}));
  EXPECT_EQ(Column(2), (std::vector<std::string>{"先手A", "先手B"}));
  EXPECT_EQ(Column(3), (std::vector<std::string>{"後手A", "後手B"}));
  EXPECT_EQ(Column(4), (std::vector<std::string>{"http://srv.test/ryuou/kifu/a.kif",
                                                 "http://srv.test/ryuou/kifu/b.kif"}));
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].caption, QStringLiteral("error"));
  EXPECT_EQ(messages.messages[0].text, QStringLiteral("HTTP/1.1 404 Not Found"));
  EXPECT_FALSE(enabled_at_message);
  ASSERT_EQ(enabled_during_fetch.size(), 16u);
  for (bool e : enabled_during_fetch) EXPECT_FALSE(e);
  EXPECT_EQ(fetcher->Requested().size(), 16u);
  EXPECT_TRUE(form->Button1->isEnabled());
  // Progress: page 1 with nothing found yet; at the box of page 13, both rows.
  EXPECT_TRUE(first_progress.contains(QStringLiteral("1/14"))) << first_progress.toStdString();
  EXPECT_TRUE(progress_at_message.contains(QStringLiteral("13/14")))
      << progress_at_message.toStdString();
  EXPECT_TRUE(progress_at_message.contains(QStringLiteral("2 局")))
      << progress_at_message.toStdString();
  // The failed page is named as it fails and after the end, with the count.
  const QString failed = QStringLiteral("取得できなかったページ: 13 (") +
                         QString::fromStdString(TournamentTable(kHosts)[12]) + ")";
  EXPECT_TRUE(progress_at_message.contains(failed)) << progress_at_message.toStdString();
  EXPECT_EQ(form->ProgressLabel->toolTip(),
            QStringLiteral("探索終了: 2 局見つかりました。") + failed);
  const QString shown = form->ProgressLabel->text(), whole = form->ProgressLabel->toolTip();
  EXPECT_TRUE(shown == whole ||
              (shown.endsWith(QChar(0x2026)) && whole.startsWith(shown.chopped(1))))
      << shown.toStdString();
  EXPECT_FALSE(form->Searching());

  // A second search lists each game once: a game found again keeps its row
  // and takes what was found now.
  fetcher->Serve("http://srv.test/ryuou/kifu/a.kif",
                 RecordLines("2026/01/01 10:00", "竜王戦", "先手A2", "後手A"));
  Search();
  EXPECT_EQ(Column(2), (std::vector<std::string>{"先手A2", "先手B"}));
}

// Pages on the reserved .example names are never asked for: named in the
// progress line, no box.
TEST_F(SearchWindowTest, PlaceholderHostsAreNotAskedFor) {
  form = std::make_unique<TForm2>(
      TBroadcastHosts{"http://srv.test", "http://sponsor.zelvaro.example"}, fake.Factory());
  fetcher->Serve(TournamentTable(kHosts)[12], {"<html>"});
  Search();
  for (const std::string& url : fetcher->Requested()) {
    EXPECT_EQ(url.find(".example"), std::string::npos) << url;
  }
  EXPECT_EQ(fetcher->Requested().size(), 15u);
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_TRUE(form->ProgressLabel->toolTip().contains(
      QStringLiteral("アドレスが設定されていないページ: 7 (http://sponsor.zelvaro.example")))
      << form->ProgressLabel->toolTip().toStdString();
  EXPECT_EQ(form->ListView1->RowCount(), 2);
}

// Downloads that are no record, or huge: refused or shown, read while the
// window goes on (bench/search measures how long); a refused one leaves
// file and viewer as they were.
TEST_F(SearchWindowTest, HugeAndBrokenDownloads) {
  std::mt19937 random(18);
  std::vector<std::string> text, moves, binary(1, std::string(4096, '\0'));
  for (size_t size = 0; size < (20u << 20); size += text.back().size() + 1) {
    std::string line(1 + random() % 120, ' ');
    for (char& c : line) c = static_cast<char>(' ' + random() % 95);
    text.push_back(line);
  }
  for (char& c : binary[0]) c = static_cast<char>(random());
  moves.push_back(Utf8ToSjis("棋戦：長い対局"));
  for (size_t size = 0; size < (20u << 20); size += 120) {
    moves.push_back(Utf8ToSjis("   1 ７六歩(77)   ( 0:01/00:00:01)"));
    moves.push_back(Utf8ToSjis("   2 ３四歩(33)   ( 0:01/00:00:01)"));
    moves.push_back(std::string(40, 'x'));
  }
  const std::string base = "http://srv.test/ryuou/kifu/";
  fetcher->pages[base + "text.kif"] = text;
  fetcher->pages[base + "binary.kif"] = binary;
  fetcher->pages[base + "empty.kif"] = {};
  fetcher->pages[base + "moves.kif"] = moves;
  AddRows({{"1", "竜王戦", "先手A", "後手A", "http://srv.test/ryuou/kifu/a.kif"},
           {"2", "", "", "", "http://srv.test/ryuou/kifu/text.kif"},
           {"3", "", "", "", "http://srv.test/ryuou/kifu/binary.kif"},
           {"4", "", "", "", "http://srv.test/ryuou/kifu/empty.kif"},
           {"5", "", "", "", "http://srv.test/ryuou/kifu/moves.kif"}});
  form->ListView1->Select(0);
  OpenSelected();
  ASSERT_TRUE(testing::WaitFor([&] { return form->FViewer->ListView1->RowCount() == 3; }));
  const std::string before = ReadFile(kRecordFileName);
  const struct {
    int row;
    std::u16string_view refusal;
  } cases[] = {{1, kNotRecordNoLines}, {2, kNotRecordBinary}, {3, kNotRecordEmpty}, {4, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    messages.messages.clear();
    form->ListView1->Select(c.row);
    form->ListViewDoubleClick();
    // The reading goes on after the click has returned: the window waits for nothing.
    EXPECT_TRUE(form->HandingOver());
    ASSERT_TRUE(testing::WaitFor([&] {
      return !form->HandingOver() &&
             (!messages.messages.empty() || form->FViewer->ListView1->RowCount() > 3);
    }));
    ASSERT_EQ(messages.messages.size(), 1u);
    if (c.refusal.empty()) {
      EXPECT_EQ(form->FViewer->ListView1->RowCount(), static_cast<int>(kMaxRecordRows));
      EXPECT_EQ(form->FViewer->windowTitle(), QStringLiteral("Zelvaro - [ 長い対局 ]"));
      EXPECT_EQ(messages.messages[0].text,
                QString::fromStdU16String(std::u16string(kRowsCutReport)));
      continue;
    }
    EXPECT_EQ(messages.messages[0].caption, QStringLiteral("error"));
    EXPECT_EQ(messages.messages[0].text, QString::fromStdU16String(std::u16string(c.refusal)));
    EXPECT_EQ(ReadFile(kRecordFileName), before);
    EXPECT_EQ(form->FViewer->windowTitle(), QStringLiteral("Zelvaro - [ 竜王戦 ]"));
    EXPECT_EQ(form->FViewer->ListView1->RowCount(), 3);
  }
}

TEST_F(SearchWindowTest, DoubleClickWithoutASelectionDoesNothing) {
  AddRows({{"2026/01/01 10:00", "竜王戦", "先手A", "後手A", "http://srv.test/ryuou/kifu/a.kif"}});
  form->ListView1->Select(-1);
  OpenSelected();
  EXPECT_TRUE(fetcher->Requested().empty());
  EXPECT_FALSE(QFileInfo::exists(QString::fromUtf8(kRecordFileName)));
  EXPECT_FALSE(form->FViewer->isVisible());
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(SearchWindowTest, DoubleClickHandsTheRecordToTheViewer) {
  form->show();
  AddRows({{"2026/01/01 10:00", "竜王戦", "先手A", "後手A", "http://srv.test/ryuou/kifu/a.kif"}});
  // Blank lines and a last line without its line end never reach the lines.
  form->ListView1->Select(0);
  OpenSelected();

  std::string expected;
  for (const auto& line : fetcher->pages["http://srv.test/ryuou/kifu/a.kif"])
    expected += line + "\r\n";
  EXPECT_EQ(ReadFile(kRecordFileName), expected);
  EXPECT_TRUE(form->FViewer->isVisible());
  EXPECT_FALSE(form->FViewer->Button1->isVisible());
  // The viewer reads the record aside: wait for the reading to end.
  EXPECT_TRUE(testing::WaitFor([&] { return form->FViewer->ListView1->RowCount() > 1; }));
  EXPECT_EQ(form->FViewer->ListView1->RowCount(), 3);  // row 0 and two moves
  EXPECT_EQ(form->FViewer->windowTitle(), QStringLiteral("Zelvaro - [ 竜王戦 ]"));
  EXPECT_EQ(form->FViewer->SenteName, u"先手A");
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_FALSE(QFileInfo::exists(QString::fromUtf8(kRecordFileName) + ".part"));
}

TEST_F(SearchWindowTest, AFailedDownloadLeavesFileAndViewerAsTheyWere) {
  AddRows({{"2026/01/01 10:00", "竜王戦", "先手A", "後手A", "http://srv.test/ryuou/kifu/a.kif"},
           {"2026/01/09 10:00", "竜王戦", "先手X", "後手X", "http://srv.test/ryuou/kifu/x.kif"}});
  form->ListView1->Select(0);
  OpenSelected();
  const std::string before = ReadFile(kRecordFileName);
  ASSERT_FALSE(before.empty());

  // x.kif delivers a header and then breaks off.
  fetcher->Serve("http://srv.test/ryuou/kifu/x.kif",
                 {"開始日時：2026/01/09 10:00", "棋戦：別の棋戦"});
  fetcher->failing["http://srv.test/ryuou/kifu/x.kif"] = "connection reset by peer";
  form->ListView1->Select(1);
  OpenSelected();
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].caption, QStringLiteral("error"));
  EXPECT_EQ(messages.messages[0].text, QStringLiteral("connection reset by peer"));
  EXPECT_EQ(ReadFile(kRecordFileName), before);
  EXPECT_EQ(form->FViewer->windowTitle(), QStringLiteral("Zelvaro - [ 竜王戦 ]"));
  EXPECT_EQ(form->FViewer->ListView1->RowCount(), 3);

  // A record URL that answers 404 the same way.
  form->ListView1->SetSubItem(1, 3, QStringLiteral("http://srv.test/ryuou/kifu/none.kif"));
  OpenSelected();
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(ReadFile(kRecordFileName), before);
}

TEST_F(SearchWindowTest, AFailedWriteNamesTheFileAndDoesNotFeedTheViewer) {
  AddRows({{"2026/01/01 10:00", "竜王戦", "先手A", "後手A", "http://srv.test/ryuou/kifu/a.kif"}});
  // A folder in the file's place cannot be replaced by a file.
  ASSERT_TRUE(QDir().mkdir(QString::fromUtf8(kRecordFileName)));
  form->ListView1->Select(0);
  OpenSelected();
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].caption, QStringLiteral("error"));
  EXPECT_TRUE(messages.messages[0].text.contains(QString::fromUtf8(kRecordFileName)))
      << messages.messages[0].text.toStdString();
  EXPECT_FALSE(form->FViewer->isVisible());
  EXPECT_EQ(form->FViewer->ListView1->RowCount(), 1);
  EXPECT_TRUE(QFileInfo(QString::fromUtf8(kRecordFileName)).isDir());
  EXPECT_FALSE(QFileInfo::exists(QString::fromUtf8(kRecordFileName) + ".part"));
}

// The last game asked for wins: the download before it is aborted and never
// reaches file or viewer, even when it comes in later.
TEST_F(SearchWindowTest, ASecondDoubleClickReplacesTheFirst) {
  form->show();
  AddRows({{"2026/01/01 10:00", "竜王戦", "先手A", "後手A", "http://srv.test/ryuou/kifu/a.kif"},
           {"2026/01/02 10:00", "竜王戦", "先手B", "後手B", "http://srv.test/ryuou/kifu/b.kif"}});
  fetcher->held = {"http://srv.test/ryuou/kifu/a.kif"};
  form->ListView1->Select(0);
  form->ListViewDoubleClick();
  ASSERT_TRUE(testing::WaitFor([&] { return fetcher->Requested().size() == 1u; }));
  EXPECT_TRUE(form->HandingOver());
  form->ListView1->Select(1);
  OpenSelected();
  EXPECT_EQ(form->FViewer->SenteName, u"先手B");
  const std::string b = ReadFile(kRecordFileName);
  fetcher->Release("http://srv.test/ryuou/kifu/a.kif");
  QTest::qWait(50);
  EXPECT_EQ(form->FViewer->SenteName, u"先手B");
  EXPECT_EQ(ReadFile(kRecordFileName), b);
  EXPECT_TRUE(messages.messages.empty()) << "an abandoned download is no failure to report";
}

// A game that comes in while the viewer is still reading the one before
// (here: its box about a move) is read once that reading has ended.
TEST_F(SearchWindowTest, AGameArrivingDuringAReadingWaitsForItsEnd) {
  form->show();
  AddRows({{"2026/01/01 10:00", "竜王戦", "先手A", "後手A", "http://srv.test/ryuou/kifu/a.kif"},
           {"2026/01/02 10:00", "竜王戦", "先手B", "後手B", "http://srv.test/ryuou/kifu/b.kif"}});
  std::vector<std::string> a = RecordLines("2026/01/01 10:00", "竜王戦", "先手A", "後手A");
  a.push_back("   3 ５五歩(5x)    ( 0:01/00:00:03)");  // cannot be applied: a box
  fetcher->Serve("http://srv.test/ryuou/kifu/a.kif", a);
  std::u16string shown_when_b_came;
  messages.on_message = [&] {
    if (form->ListView1->SelectedIndex() == 1) return;
    form->ListView1->Select(1);
    form->ListViewDoubleClick();
    ASSERT_TRUE(testing::WaitFor(
        [&] { return !form->HandingOver() && !form->FViewer->Follower->Reading(); }));
    QTest::qWait(20);
    shown_when_b_came = form->FViewer->SenteName;
  };
  form->ListView1->Select(0);
  OpenSelected();
  EXPECT_EQ(shown_when_b_came, u"先手A");
  ASSERT_TRUE(testing::WaitFor([&] { return form->FViewer->SenteName == u"先手B"; }));
  EXPECT_EQ(form->FViewer->ListView1->RowCount(), 3);
}

TEST_F(SearchWindowTest, TheQuitButtonClosesTheWindowAndTheViewer) {
  form->show();
  form->FViewer->show();
  form->Button2->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->FViewer->isVisible());
}

}  // namespace
}  // namespace zelvaro
