// End to end against the demo broadcast, started by the test on a free
// port: the search window finds the games, sorts them, and hands one to the
// viewer; zelvaro-cli search prints the same games.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "broadcast/PageLineFetcher.h"
#include "search/untSubForm.h"
#include "tests/search/DemoBroadcast.h"
#include "tests/search/SearchTestSupport.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using testing::DemoBroadcast;
using testing::MessageCatcher;
using testing::ScratchFolder;

std::vector<std::string> ExpectedUrls(const std::string& base) {
  std::vector<std::string> urls;
  for (const char* path :
       {"/ryuou/kifu/ryuou39_kt1.kif", "/ryuou/kifu/ryuou39_kt2.kif", "/oui/kifu/oui67_1.kif",
        "/ouza/kifu/ouza74_t1.kif?v=2", "/kiou/kifu/kiou52_h2.kif", "/kisei/kifu/kisei97_1.kif",
        "/asahi/kifu/asahi20_h1.kif", "/gakusei/kifu/gakusei_final.kif",
        "/shinjin/kifu/shinjin57_1.kif", "/seiryu/kifu/seiryu_live.kif",
        "/tatsujin/kifu/tatsujin3_1.kif", "/joryu_ouza/kifu/jouza16_1.kif",
        "/joryumeijin/kifu/jmeijin53_2.kif", "/kurashikitouka/kifu/touka34_1.kif"}) {
    urls.push_back(base + path);
  }
  return urls;
}

int FindRow(TListView* list, const std::string& url) {
  for (int row = 0; row < list->RowCount(); ++row) {
    if (list->SubItem(row, 3).toStdString() == url) return row;
  }
  return -1;
}

// Double-clicks a row and waits until the game is opened.
void DoubleClickRow(TForm2& form, int row) {
  TListView* list = form.ListView1;
  list->ScrollIntoView(row);
  const QRect rect = list->visualItemRect(list->topLevelItem(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  ASSERT_TRUE(
      testing::WaitFor([&] { return !form.HandingOver() && !form.FViewer->Follower->Reading(); }));
}

// The search one download after the other, as the lines zelvaro-cli prints.
std::string SequentialSearch(const std::string& base) {
  struct Lines : ISearchListener {
    std::string out;
    void PageFailed(int index, const std::string& message) override {
      out += "failed " + std::to_string(index) + ": " + message + "\n";
    }
    void RowFound(const TGameRow& row) override {
      out += SjisToUtf8(row.Start + " " + row.Tournament + " " + row.Sente + " " + row.Gote + " " +
                        row.Url) +
             "\n";
    }
  } lines;
  auto fetcher = MakePageFetcher();
  RunSearch({base, base}, *fetcher, lines);
  return lines.out;
}

TEST(DemoBroadcastTest, SearchSortOpenAndStep) {
  testing::TestApp();
  ScratchFolder folder;
  MessageCatcher messages;
  // Answers come in any order.
  DemoBroadcast demo({"--jitter", "0.03"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";

  TForm2 form({demo.Base(), demo.Base()}, MakePageFetcher);
  form.show();
  QTest::mouseClick(form.Button1, Qt::LeftButton);
  ASSERT_TRUE(testing::WaitFor([&] { return !form.Searching(); }));

  TListView* list = form.ListView1;
  std::vector<std::string> urls;
  for (int row = 0; row < list->RowCount(); ++row)
    urls.push_back(list->SubItem(row, 3).toStdString());
  EXPECT_EQ(urls, ExpectedUrls(demo.Base()));
  EXPECT_EQ(list->Caption(0), QStringLiteral("2026/11/20(金) 10:00"));
  EXPECT_EQ(list->SubItem(0, 0), QStringLiteral("第39期竜王戦決勝トーナメント"));
  EXPECT_EQ(list->SubItem(0, 1), QStringLiteral("三宅 陽介 七段"));
  EXPECT_EQ(list->SubItem(0, 2), QStringLiteral("北沢 颯 六段"));
  ASSERT_EQ(messages.messages.size(), 1u);  // the tournament page that answers 404
  EXPECT_EQ(messages.messages[0].caption, QStringLiteral("error"));
  EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("404")))
      << messages.messages[0].text.toStdString();
  EXPECT_TRUE(form.Button1->isEnabled());

  // Hidden, skipped and first-of-two links were never fetched.
  const auto log = demo.Get("/_demo/log");
  const std::set<std::string> requested(log.begin(), log.end());
  for (const char* never :
       {"/kiou/kifu/kiou52_old.kif", "/kisei/kifu/kisei97_multi.kif", "/kisei/archive/",
        "/ryuou/kifu/ryuou39_pre.kif", "/ryuou/kifu/archive/2025.kif", "/oui/index.kif",
        "/shinjin/kifu/shinjin57_2.kif"}) {
    const bool fetched = requested.count(never) > 0;
    EXPECT_EQ(fetched, std::string(never) == "/shinjin/kifu/shinjin57_2.kif") << never;
  }

  // Sort by sente, ascending.
  QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                    QPoint(list->header()->sectionViewportPosition(2) + 5, 5));
  EXPECT_EQ(form.FSortColumn, 3);
  for (int row = 1; row < list->RowCount(); ++row) {
    EXPECT_LE(LocaleCompare(list->SubItem(row - 1, 1), list->SubItem(row, 1)), 0) << row;
  }

  const int row = FindRow(list, demo.Base() + "/tatsujin/kifu/tatsujin3_1.kif");
  ASSERT_GE(row, 0);
  DoubleClickRow(form, row);
  TForm1* viewer = form.FViewer;
  ASSERT_TRUE(viewer->isVisible());
  EXPECT_FALSE(viewer->Button1->isVisible());
  // Over already: not followed by the timer.
  EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Zelvaro - [ 第3期達人戦 ] (終局)"));
  EXPECT_FALSE(viewer->Follower->RefreshTimerActive());
  EXPECT_EQ(viewer->ListView1->RowCount(), 47);  // row 0, 45 moves and 投了
  EXPECT_EQ(viewer->ListView1->SubItem(45, 0), QStringLiteral("▲６一角打"));
  EXPECT_EQ(viewer->ListView1->SubItem(45, 2), QStringLiteral("ｺﾒﾝﾄ"));
  EXPECT_EQ(viewer->Positions[45].Board[61], 13);   // the dropped bishop
  EXPECT_EQ(viewer->Positions[45].Board[42], 12);   // sente's dragon
  EXPECT_EQ(viewer->Positions[45].Board[29], 112);  // gote's dragon
  EXPECT_TRUE(messages.messages.size() == 1u);

  // ">" from no selection goes to row 0, then on; "<" goes back.
  QTest::mouseClick(viewer->Button3, Qt::LeftButton);
  QTest::mouseClick(viewer->Button3, Qt::LeftButton);
  EXPECT_EQ(viewer->ListView1->SelectedIndex(), 1);
  QTest::mouseClick(viewer->Button2, Qt::LeftButton);
  EXPECT_EQ(viewer->ListView1->SelectedIndex(), 0);

  // The live game grows; opening it again shows the new move.
  const int live = FindRow(list, demo.Base() + "/seiryu/kifu/seiryu_live.kif");
  ASSERT_GE(live, 0);
  DoubleClickRow(form, live);
  const int rows_before = viewer->ListView1->RowCount();
  EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Zelvaro - [ 第7期青流戦 ]"));
  demo.Get("/_demo/advance");
  DoubleClickRow(form, live);
  EXPECT_EQ(viewer->ListView1->RowCount(), rows_before + 1);
}

// Against answers in random order, run after run: the lines of the search
// one download after the other, in its order; the failed page in its place.
TEST(DemoBroadcastTest, CommandLineSearchWritesJsonLines) {
  DemoBroadcast demo({"--jitter", "0.03"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";
  const std::string expected = SequentialSearch(demo.Base());
  demo.Get("/_demo/log?clear=1");
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);  // the failure among the rows
    cli.start(QString(ZELVARO_BINARY_DIR) + "/zelvaro-cli",
              {"search", "--server", QString::fromStdString(demo.Base()), "--sponsor",
               QString::fromStdString(demo.Base())});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    std::string got;
    std::vector<std::string> urls;
    for (const auto& line : cli.readAllStandardOutput().split('\n')) {
      if (line.isEmpty()) continue;
      if (!line.startsWith('{')) {
        got += "failed 12: " + line.toStdString() + "\n";
        continue;
      }
      const auto json = nlohmann::json::parse(line.toStdString());
      ASSERT_EQ(json.size(), 5u) << line.toStdString();
      urls.push_back(json.at("url"));
      for (const char* key : {"start", "tournament", "sente", "gote", "url"}) {
        got += json.at(key).get<std::string>() + (std::string(key) == "url" ? "\n" : " ");
      }
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(urls, ExpectedUrls(demo.Base()));
    // Every run asks for what the sequential search asked for, and nothing skipped.
    auto log = demo.Get("/_demo/log?clear=1");
    EXPECT_EQ(log.size(), 29u);
    EXPECT_EQ(std::set<std::string>(log.begin(), log.end()).count("/kisei/kifu/kisei97_multi.kif"),
              0u);
  }
}

TEST(DemoBroadcastTest, LiveRecordGrowsAndTakesCorrections) {
  DemoBroadcast demo({"--live-start", "5"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";
  auto move_lines = [&] {
    std::vector<std::string> moves;
    for (const auto& line : demo.Get("/seiryu/kifu/seiryu_live.kif")) {
      if (!line.empty() && line[0] == ' ') moves.push_back(SjisToUtf8(line));
    }
    return moves;
  };
  const auto before = move_lines();
  ASSERT_EQ(before.size(), 5u);
  EXPECT_EQ(before[1], "   2 ８四歩(83)    ( 1:47/00:01:47)");
  demo.Get("/_demo/advance");
  EXPECT_EQ(move_lines().size(), 6u);
  demo.Get("/_demo/replace?n=2&move=%EF%BC%93%E5%9B%9B%E6%AD%A9(33)");  // ３四歩(33)
  const auto after = move_lines();
  ASSERT_EQ(after.size(), 6u);
  EXPECT_EQ(after[1], "   2 ３四歩(33)    ( 1:47/00:01:47)");
  EXPECT_EQ(after[0], before[0]);
}

// Every state of the live game is the full record cut just before a move
// line: the first k moves in order, each with the comment lines after it.
TEST(DemoBroadcastTest, LiveRecordGrowsMoveByMoveInOrder) {
  DemoBroadcast demo({"--live-start", "0"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";
  std::ifstream in(
      std::string(ZELVARO_SOURCE_DIR) + "/tools/demo-broadcast/records/seiryu_live.kif",
      std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  std::vector<std::string> full;
  std::vector<size_t> move_at;  // index in `full` of every move line
  for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    if (bytes[start] == ' ') move_at.push_back(full.size());
    full.push_back(bytes.substr(start, end - start));
  }
  ASSERT_GE(move_at.size(), 35u);
  for (size_t k = 0; k <= move_at.size() + 1; ++k) {
    SCOPED_TRACE("moves shown: " + std::to_string(k));
    const size_t cut = k < move_at.size() ? move_at[k] : full.size();
    ASSERT_EQ(demo.Get("/seiryu/kifu/seiryu_live.kif"),
              std::vector<std::string>(full.begin(), full.begin() + cut));
    demo.Get("/_demo/advance");
  }
}

TEST(ProgramArgumentsTest, OnlyServerSponsorAndOneFileAreAccepted) {
  struct Case {
    QStringList args;
    int status;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"--bogus"}, 2, "unknown argument --bogus"},
      {{"--server"}, 2, "--server needs a URL"},
      {{"--sponsor", "ftp://x.test"}, 2, "ftp://x.test"},
      {{"--server=http://a.test/(x)"}, 2, "使えないアドレスです"},
      {{"-platform", "offscreen"}, 2, "unknown argument -platform"},
      {{"a.kif", "b.kif"}, 2, "one record file at most (b.kif)"},
      {{"--help"}, 0, "usage: zelvaro [--server URL] [--sponsor URL]"},
  };
  for (const auto& c : cases) {
    QProcess program;
    program.start(QString(ZELVARO_BINARY_DIR) + "/zelvaro", c.args);
    ASSERT_TRUE(program.waitForFinished(20000)) << c.args.join(' ').toStdString();
    EXPECT_EQ(program.exitCode(), c.status) << c.args.join(' ').toStdString();
    const QString said =
        QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
    EXPECT_TRUE(said.contains(QString::fromUtf8(c.says))) << said.toStdString();
  }
}

}  // namespace
}  // namespace zelvaro
