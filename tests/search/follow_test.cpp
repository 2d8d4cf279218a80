// Following a live game: the viewer refreshes a game opened from the search
// window against the demo broadcast's growing record; a refresh runs beside
// a search and is dropped when another game is opened; a broken download
// never touches the record file; zelvaro-cli follow prints one line per
// download.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <nlohmann/json.hpp>

#include "broadcast/PageLineFetcher.h"
#include "game/Record.h"
#include "search/untSubForm.h"
#include "tests/net/ScriptedServer.h"
#include "tests/search/DemoBroadcast.h"
#include "tests/search/SearchTestSupport.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Background.h"

namespace zelvaro {
namespace {

using testing::DemoBroadcast;
using testing::MessageCatcher;
using testing::ScratchFolder;

constexpr char kLivePath[] = "/seiryu/kifu/seiryu_live.kif";

// The search window over a fetcher, with rows put in by the test rather
// than found by a search.
class FollowTest : public ::testing::Test {
 protected:
  FollowTest() { testing::TestApp(); }

  void Make(TBroadcastHosts hosts, TFetcherFactory make_fetcher) {
    form = std::make_unique<TForm2>(std::move(hosts), std::move(make_fetcher));
    form->show();
    viewer = form->FViewer;
  }
  void AddGame(const std::string& url) {
    form->ListView1->Append(QStringLiteral("2026/11/21 10:00"),
                            {QStringLiteral("棋戦"), QStringLiteral("先手"), QStringLiteral("後手"),
                             QString::fromStdString(url)});
  }
  void Open(int row) {
    form->ListView1->Select(row);
    form->ListViewDoubleClick();
    ASSERT_TRUE(testing::WaitFor(
        [&] { return !form->HandingOver() && !form->FViewer->Follower->Reading(); }));
  }
  // Refreshes and waits until the refresh has ended.
  void Refresh() {
    viewer->RefreshRecord();
    ASSERT_TRUE(testing::WaitFor([&] { return !viewer->Follower->Refreshing(); }));
  }
  int Rows() const { return viewer->ListView1->RowCount(); }
  int Selected() const { return viewer->ListView1->SelectedIndex(); }
  void Select(int row) {
    viewer->ListView1->Select(row);
    viewer->OnListViewClick();
  }
  QString Html() const { return viewer->WebBrowser1->Source(); }

  ScratchFolder folder;
  MessageCatcher messages;
  std::unique_ptr<TForm2> form;
  TForm1* viewer = nullptr;
};

TEST_F(FollowTest, RefreshFollowsTheDemoBroadcastsLiveGame) {
  DemoBroadcast demo({"--live-start", "5"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";
  Make({demo.Base(), demo.Base()}, MakePageFetcher);
  AddGame(demo.Base() + kLivePath);
  Open(0);
  ASSERT_TRUE(viewer->isVisible());
  ASSERT_EQ(Rows(), 6);
  EXPECT_TRUE(viewer->Follower->Following());
  const QString header = Html();

  // The header on show stays; the new move appears.
  demo.Get("/_demo/advance");
  Refresh();
  EXPECT_EQ(Rows(), 7);
  EXPECT_EQ(Selected(), -1);
  EXPECT_EQ(Html(), header);
  EXPECT_EQ(LoadRecordLines(kRecordFileName), demo.Get(kLivePath)) << "the file is replaced";

  // Following: the new last row is selected and shown.
  Select(6);
  demo.Get("/_demo/advance");
  Refresh();
  ASSERT_EQ(Rows(), 8);
  EXPECT_EQ(Selected(), 7);
  EXPECT_EQ(viewer->ListView1->Caption(7), QStringLiteral("7"));

  // Reviewing: the row and its document stay.
  Select(3);
  const QString reviewed = Html();
  const QImage picture = viewer->Image1->Picture();
  demo.Get("/_demo/advance");
  Refresh();
  EXPECT_EQ(Rows(), 9);
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(Html(), reviewed);
  EXPECT_EQ(viewer->Image1->Picture(), picture);

  // A corrected move under the reviewed row is shown.
  EXPECT_EQ(viewer->ListView1->SubItem(3, 0), QStringLiteral("▲６六歩(67)"));
  demo.Get("/_demo/replace?n=3&move=%EF%BC%92%E5%85%AD%E6%AD%A9(27)");  // ２六歩(27)
  Refresh();
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(viewer->ListView1->SubItem(3, 0), QStringLiteral("▲２六歩(27)"));
  EXPECT_EQ(viewer->Positions[3].Board[26], kFu);
  EXPECT_EQ(viewer->Positions[3].Board[66], kEmpty);
  EXPECT_NE(viewer->Image1->Picture(), picture);
  EXPECT_TRUE(messages.messages.empty());
  // Move 7 (６七銀(68)) now lands on the pawn that stayed on 6g: a foul,
  // noted quietly in the caption.
  EXPECT_EQ(viewer->ListView1->SubItem(7, 2), QStringLiteral("反則"));
  EXPECT_TRUE(viewer->windowTitle().contains(QStringLiteral("反則")))
      << viewer->windowTitle().toStdString();

  // The server gone: nothing changes but the caption, no box.
  const std::vector<std::string> file = LoadRecordLines(kRecordFileName);
  const QString caption = QStringLiteral("Zelvaro - [ 第7期青流戦 ]");
  demo.Stop();
  Refresh();
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(Rows(), 9);
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(LoadRecordLines(kRecordFileName), file);
  EXPECT_TRUE(viewer->windowTitle().startsWith(caption + QStringLiteral(" (更新できません: ")))
      << viewer->windowTitle().toStdString();
}

TEST_F(FollowTest, TheTimerFollowsAGrowingGame) {
  DemoBroadcast demo({"--live-start", "3", "--live-interval", "0.2"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";
  Make({demo.Base(), demo.Base()}, MakePageFetcher);
  AddGame(demo.Base() + kLivePath);
  Open(0);
  const int opened = Rows();
  Select(opened - 1);
  viewer->Follower->SetRefreshInterval(150);
  QTRY_VERIFY_WITH_TIMEOUT(Rows() >= opened + 2, 10000);
  EXPECT_EQ(Selected(), Rows() - 1);
  // Closed: no more refreshes.
  viewer->Button4Click();
  EXPECT_FALSE(viewer->Follower->RefreshTimerActive());
}

// Over a fetcher that serves from a table: what is asked for, and when.
class FollowGuardTest : public FollowTest {
 protected:
  static constexpr char kA[] = "http://srv.test/ryuou/kifu/a.kif";
  static constexpr char kB[] = "http://srv.test/ryuou/kifu/b.kif";
  FollowGuardTest() {
    fetcher = &fake;
    const TBroadcastHosts hosts{"http://srv.test", "http://sp.test"};
    for (const auto& page : TournamentTable(hosts)) fetcher->Serve(page, {"<html>"});
    fetcher->Serve(kA, testing::RecordLines("2026/01/01 10:00", "竜王戦", "先手A", "後手A"));
    fetcher->Serve(kB, testing::RecordLines("2026/01/02 10:00", "王位戦", "先手B", "後手B"));
    Make(hosts, fake.Factory());
    AddGame(kA);
    AddGame(kB);
  }
  ~FollowGuardTest() override { form.reset(); }  // before the fake it downloads from
  size_t Count(const char* url) {
    const auto asked = fetcher->Requested();
    return static_cast<size_t>(std::count(asked.begin(), asked.end(), url));
  }
  testing::FakeFetcher fake;
  testing::FakeFetcher* fetcher = nullptr;
};

// Each has a fetcher of its own: the refresh needs no wait for the search.
TEST_F(FollowGuardTest, ARefreshRunsBesideASearch) {
  Open(0);
  const std::string first_page = TournamentTable(form->Hosts())[0];
  fetcher->held = {first_page};
  form->Button1Click();
  Refresh();
  EXPECT_EQ(Count(kA), 2u);
  EXPECT_TRUE(form->Searching());
  EXPECT_TRUE(viewer->Follower->RefreshNote().isEmpty());
  fetcher->Release(first_page);
  ASSERT_TRUE(testing::WaitFor([&] { return !form->Searching(); }));
  EXPECT_EQ(form->ListView1->RowCount(), 2) << "the search lists nothing new";
}

TEST_F(FollowGuardTest, ARefreshAnsweredAfterAnotherGameWasOpenedChangesNothing) {
  Open(0);
  fetcher->held = {kA};
  viewer->RefreshRecord();
  ASSERT_TRUE(testing::WaitFor([&] { return Count(kA) == 2u; }));
  Open(1);
  EXPECT_FALSE(viewer->Follower->Refreshing()) << "opening B abandons the refresh of A";
  fetcher->Release(kA);
  QTest::qWait(50);
  EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Zelvaro - [ 王位戦 ]"));
  EXPECT_EQ(viewer->SenteName, u"先手B");
  EXPECT_EQ(LoadRecordLines(kRecordFileName), fetcher->pages[kB]);
  // The viewer now follows B.
  Refresh();
  EXPECT_EQ(fetcher->Requested().back(), kB);
  EXPECT_EQ(viewer->windowTitle(),
            QStringLiteral("Zelvaro - [ 王位戦 ] ") + viewer->Follower->CheckedNote());
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(FollowGuardTest, AFailedOpenKeepsFollowingTheGameOnShow) {
  Open(0);
  form->ListView1->SetSubItem(1, 3, QStringLiteral("http://srv.test/ryuou/kifu/none.kif"));
  Open(1);
  ASSERT_EQ(messages.messages.size(), 1u);
  const size_t asked = fetcher->Requested().size();
  Refresh();
  const auto requested = fetcher->Requested();
  ASSERT_EQ(requested.size(), asked + 1);
  EXPECT_EQ(requested.back(), kA);
  EXPECT_EQ(messages.messages.size(), 1u);
}

// F5 while a refresh waits for the server asks for nothing more.
TEST_F(FollowGuardTest, F5DuringARefreshAsksForNothingTwice) {
  Open(0);
  fetcher->held = {kA};
  viewer->RefreshRecord();
  ASSERT_TRUE(testing::WaitFor([&] { return Count(kA) == 2u; }));
  for (int i = 0; i < 3; ++i) QTest::keyClick(viewer, Qt::Key_F5);
  fetcher->Release(kA);
  ASSERT_TRUE(testing::WaitFor([&] { return !viewer->Follower->Refreshing(); }));
  QTest::qWait(30);
  EXPECT_EQ(Count(kA), 2u);
}

// The server breaks off in the middle of the body: the refresh fails, and
// the record file and the window keep the game as it was.
TEST_F(FollowTest, ABrokenDownloadNeverTouchesTheRecordFile) {
  const std::string record = Utf8ToSjis(
      "開始日時：2026/01/01\r\n棋戦：竜王戦\r\n先手：甲\r\n後手：乙\r\n"
      "手数----指手---------消費時間--\r\n   1 ７六歩(77)    ( 0:01/00:00:01)\r\n"
      "   2 ３四歩(33)    ( 0:01/00:00:02)\r\n");
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(record.size() + 60) + "\r\n\r\n";
  const std::string more = Utf8ToSjis("   3 ２六歩(27)    ( 0:01/00:00:03)\r\n*解説\r\n");
  testing::ScriptedServer server(
      {{testing::ReadRequest(), testing::Send(head + record + more + std::string(16, '\n'))},
       {testing::ReadRequest(), testing::Send(head + record + more),
        testing::Pause(std::chrono::milliseconds(50)), testing::Reset()}});
  Make({"http://srv.test", "http://sp.test"}, MakePageFetcher);
  AddGame(server.Url("/ryuou/kifu/x.kif"));
  Open(0);
  ASSERT_EQ(Rows(), 4);
  const std::vector<std::string> file = LoadRecordLines(kRecordFileName);
  Refresh();
  EXPECT_EQ(LoadRecordLines(kRecordFileName), file);
  EXPECT_EQ(Rows(), 4);
  EXPECT_TRUE(viewer->Follower->RefreshNote().startsWith(QStringLiteral("更新できません: ")))
      << viewer->Follower->RefreshNote().toStdString();
  EXPECT_TRUE(messages.messages.empty());
}

// The hand-over's download stays a plain one; the refreshes keep one
// connection and send the validators back, and neither an equal body nor a
// 304 rewrites the record file.
TEST_F(FollowTest, RefreshesAreConditionalAndUnchangedRecordsAreNotWrittenAgain) {
  const std::string record = Utf8ToSjis(
      "棋戦：竜王戦\r\n先手：甲\r\n後手：乙\r\n"
      "手数----指手---------消費時間--\r\n   1 ７六歩(77)    ( 0:01/00:00:01)\r\n");
  const std::string length = "Content-Length: " + std::to_string(record.size()) + "\r\n";
  const std::string tagged = "HTTP/1.1 200 OK\r\nETag: W/\"7\"\r\n" + length + "\r\n" + record;
  testing::ScriptedServer server(
      {{testing::ReadRequest(), testing::Send("HTTP/1.1 200 OK\r\n" + length + "\r\n" + record)},
       {testing::ReadRequest(), testing::Send(tagged), testing::ReadRequest(),
        testing::Send("HTTP/1.1 304 Not Modified\r\n\r\n")}});
  Make({"http://srv.test", "http://sp.test"}, MakePageFetcher);
  AddGame(server.Url("/ryuou/kifu/x.kif"));
  Open(0);
  ASSERT_EQ(Rows(), 2);
  auto inode = [] {
    struct stat info {};
    return ::stat(kRecordFileName, &info) == 0 ? info.st_ino : ino_t{0};
  };
  const ino_t written = inode();
  Refresh();
  Refresh();
  EXPECT_EQ(inode(), written) << "an unchanged record is not written again";
  EXPECT_EQ(Rows(), 2);
  EXPECT_TRUE(viewer->Follower->RefreshNote().isEmpty())
      << viewer->Follower->RefreshNote().toStdString();
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("\r\nConnection: close\r\n"), std::string::npos);
  EXPECT_EQ(requests[1].find("Connection:"), std::string::npos);
  EXPECT_EQ(requests[1].find("If-None-Match"), std::string::npos);
  EXPECT_NE(requests[2].find("\r\nIf-None-Match: W/\"7\"\r\n"), std::string::npos) << requests[2];
  EXPECT_EQ(server.Accepted(), 2);
}

// Against a server: a game that ends is not followed by the timer, a 304
// leaves it and its file alone, a correction after the end is taken on F5
// and a game that goes on after all is followed again; a 304 to a request
// without validators is an error in the caption.
TEST_F(FollowTest, AFinishedRecordStopsFollowingAndACorrectionIsTakenOnF5) {
  const auto record = [](const std::string& first, const std::string& second) {
    return Utf8ToSjis(
        "棋戦：竜王戦\r\n先手：甲\r\n後手：乙\r\n手数----指手---------消費時間--\r\n"
        "   1 " +
        first + "    ( 0:01/00:00:01)\r\n   2 " + second + "    ( 0:01/00:00:02)\r\n");
  };
  const auto ok = [](const std::string& etag, const std::string& body) {
    return "HTTP/1.1 200 OK\r\n" + (etag.empty() ? "" : "ETag: \"" + etag + "\"\r\n") +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  const std::string not_modified = "HTTP/1.1 304 Not Modified\r\n\r\n";
  const auto answer = [](std::string bytes) {
    return std::vector<testing::Step>{testing::ReadRequest(), testing::Send(std::move(bytes))};
  };
  testing::Script refreshes;
  for (const std::string& bytes :
       {ok("1", record("７六歩(77)", "投了")), not_modified, ok("2", record("２六歩(27)", "投了")),
        ok("", record("２六歩(27)", "３四歩(33)")), not_modified}) {
    for (auto& step : answer(bytes)) refreshes.push_back(step);
  }
  testing::ScriptedServer server(
      {{testing::ReadRequest(), testing::Send(ok("", record("７六歩(77)", "３四歩(33)")))},
       refreshes});
  Make({"http://srv.test", "http://sp.test"}, MakePageFetcher);
  AddGame(server.Url("/ryuou/kifu/x.kif"));
  Open(0);
  ASSERT_EQ(Rows(), 3);
  ASSERT_TRUE(viewer->Follower->RefreshTimerActive());
  auto inode = [] {
    struct stat info {};
    return ::stat(kRecordFileName, &info) == 0 ? info.st_ino : ino_t{0};
  };
  const struct {
    const char* what;
    bool finished;
    const char* first;    // move 1 as shown
    bool rewritten;       // the record file was written anew
    const char* failure;  // the start of the note; empty for none
  } steps[] = {{"ended", true, "▲７六歩(77)", true, ""},
               {"304", true, "▲７六歩(77)", false, ""},
               {"corrected", true, "▲２六歩(27)", true, ""},
               {"goes on", false, "▲２六歩(27)", true, ""},
               {"304 unasked", false, "▲２六歩(27)", false,
                "更新できません: サーバーが条件なしの要求に「変更なし」と答えました"}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    const ino_t before = inode();
    const QDateTime checked = viewer->Follower->State().last_check;
    QTest::qWait(5);
    Refresh();
    EXPECT_GT(viewer->Follower->State().last_check, checked);
    EXPECT_EQ(viewer->Follower->Pace().Finished(), step.finished);
    EXPECT_EQ(viewer->Follower->RefreshTimerActive(), !step.finished);
    EXPECT_EQ(viewer->windowTitle().contains(QStringLiteral("(終局)")), step.finished)
        << viewer->windowTitle().toStdString();
    EXPECT_TRUE(viewer->windowTitle().endsWith(viewer->Follower->CheckedNote()));
    EXPECT_EQ(viewer->ListView1->SubItem(1, 0), QString::fromUtf8(step.first));
    EXPECT_EQ(inode() != before, step.rewritten);
    if (*step.failure) {
      EXPECT_TRUE(viewer->Follower->RefreshNote().startsWith(QString::fromUtf8(step.failure)))
          << viewer->Follower->RefreshNote().toStdString();
    } else {
      EXPECT_TRUE(viewer->Follower->RefreshNote().isEmpty());
    }
  }
  EXPECT_EQ(server.Requests().size(), 6u);
  EXPECT_EQ(server.Accepted(), 2) << "the refreshes keep one connection";
  EXPECT_TRUE(messages.messages.empty());
}

void ClickRow(TListView* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->topLevelItem(row)).center());
}

// A search whose first page answers after 2 s, a refresh that is never
// answered: meanwhile both windows take clicks.
TEST_F(FollowTest, TheWindowsAnswerWhileDownloadsWait) {
  using namespace std::chrono_literals;
  const std::string empty_page = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
  std::vector<testing::Script> pages(kTournamentCount,
                                     {testing::ReadRequest(), testing::Send(empty_page)});
  pages[0].insert(pages[0].begin() + 1, testing::Pause(2s));
  testing::ScriptedServer slow(pages);
  std::string record;
  for (const std::string& line :
       testing::Sjis(testing::RecordLines("2026/11/21", "棋戦", "甲", "乙")))
    record += line + "\r\n";
  testing::ScriptedServer silent(
      {{testing::ReadRequest(), testing::Send("HTTP/1.1 200 OK\r\nContent-Length: " +
                                              std::to_string(record.size()) + "\r\n\r\n" + record)},
       {testing::ReadRequest(), testing::Pause(30s)}});
  const std::string base = slow.Url("");
  Make({base, base}, MakePageFetcher);
  AddGame(silent.Url("/ryuou/kifu/x.kif"));
  AddGame(silent.Url("/ryuou/kifu/y.kif"));

  QElapsedTimer searching;
  searching.start();
  form->Button1Click();
  QTest::qWait(300);
  ClickRow(form->ListView1, 1);
  EXPECT_EQ(form->ListView1->SelectedIndex(), 1);
  EXPECT_TRUE(form->Searching());
  ASSERT_TRUE(testing::WaitFor([&] { return !form->Searching(); }));
  EXPECT_GE(searching.elapsed(), 1900) << "the slow page was waited for";
  EXPECT_EQ(slow.Requests().size(), size_t{kTournamentCount});

  Open(0);
  const int rows = Rows();
  ASSERT_GE(rows, 3);
  const QString header = Html();
  viewer->RefreshRecord();
  QTest::qWait(300);
  ClickRow(viewer->ListView1, 2);
  EXPECT_EQ(Selected(), 2);
  EXPECT_NE(Html(), header) << "the click showed its row";
  QTest::qWait(300);
  EXPECT_TRUE(viewer->Follower->Refreshing()) << "the silent server still has not answered";
  viewer->close();
  EXPECT_FALSE(viewer->Follower->Refreshing()) << "closing the viewer abandons the refresh";
  EXPECT_EQ(Rows(), rows);
}

// Against a server that never answers, closing the search window mid-search
// abandons every request: nothing is left running a moment later.
TEST_F(FollowTest, ClosingTheSearchWindowMidSearchEndsAtOnce) {
  testing::ScriptedServer silent(
      {{testing::ReadRequest(), testing::Pause(std::chrono::seconds(30))}});
  Make({silent.Url(""), silent.Url("")}, MakePageFetcher);
  form->Button1Click();
  ASSERT_TRUE(testing::WaitFor([&] { return silent.Requests().size() == 1u; }));
  form->close();
  form.reset();
  // The server would hold its request for 30 s.
  EXPECT_TRUE(DownloadPool().waitForDone(5000));
  // Closing the window asked the application to end, which leaves every event
  // loop started later ending at once; a run of the application's own loop
  // clears that for the tests after this one.
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
}

// Reads the JSON lines of zelvaro-cli follow as they come.
TEST(FollowCliTest, OneLinePerDownload) {
  DemoBroadcast demo({"--live-start", "5"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";
  QProcess cli;
  cli.start(QString(ZELVARO_BINARY_DIR) + "/zelvaro-cli",
            {"follow", QString::fromStdString(demo.Base() + kLivePath), "--interval", "1",
             "--count", "3"});
  auto next_line = [&] {
    while (!cli.canReadLine()) {
      if (!cli.waitForReadyRead(10000)) return nlohmann::json();
    }
    return nlohmann::json::parse(cli.readLine().toStdString());
  };
  const auto first = next_line();
  demo.Get("/_demo/advance");
  const auto second = next_line();
  const auto third = next_line();
  ASSERT_TRUE(cli.waitForFinished(10000));
  EXPECT_EQ(cli.exitCode(), 0);
  EXPECT_GT(first.value("body_bytes", 0), 300);
  EXPECT_EQ(first, nlohmann::json::parse(R"j({"moves":5,"last_row":["5","▲６八銀(79)",)j"
                                         R"j(" 0分(計1分)"," "],"changed":true,)j"
                                         R"j("http_status":200,"finished":false,)j"
                                         R"j("body_bytes":)j" +
                                         first.value("body_bytes", nlohmann::json()).dump() + "}"));
  EXPECT_EQ(second.at("moves"), 6);
  EXPECT_EQ(second.at("last_row").at(0), "6");
  EXPECT_EQ(second.at("changed"), true);
  EXPECT_EQ(third.at("moves"), 6);
  EXPECT_EQ(third.at("changed"), false);

  // A failing download prints no line, says why and ends with status 1.
  QProcess failing;
  failing.start(
      QString(ZELVARO_BINARY_DIR) + "/zelvaro-cli",
      {"follow", QString::fromStdString(demo.Base() + "/nope/kifu/x.kif"), "--count", "1"});
  ASSERT_TRUE(failing.waitForFinished(10000));
  EXPECT_EQ(failing.exitCode(), 1);
  EXPECT_TRUE(failing.readAllStandardOutput().isEmpty());
  EXPECT_TRUE(failing.readAllStandardError().contains("404"));
}

}  // namespace
}  // namespace zelvaro
