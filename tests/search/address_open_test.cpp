// Opening a record's web address in the viewer: http and https (a test
// certificate authority), followed while the server adds moves, redirects,
// failures; pasting a record or an address; copying the record on show.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include "broadcast/PageLineFetcher.h"
#include "search/untSubForm.h"
#include "tests/common/TlsTestSupport.h"
#include "tests/net/ScriptedServer.h"
#include "tests/search/DemoBroadcast.h"
#include "tests/search/SearchTestSupport.h"
#include "viewer/AddressOpen.h"

namespace zelvaro {
namespace {

using testing::DemoBroadcast;
using testing::MessageCatcher;
using testing::TlsFront;

constexpr char kLivePath[] = "/seiryu/kifu/seiryu_live.kif";

uint16_t PortOf(const std::string& base) {
  return static_cast<uint16_t>(std::stoi(base.substr(base.rfind(':') + 1)));
}

class AddressOpenTest : public ::testing::Test {
 protected:
  AddressOpenTest() {
    testing::TestApp();
    testing::TrustedTestCa();
    form = std::make_unique<TForm2>(TBroadcastHosts{"http://127.0.0.1:9", "http://127.0.0.1:9"},
                                    MakePageFetcher);
    viewer = form->FViewer;
    viewer->show();
  }
  void Open(const QString& url) {
    viewer->Actions->OpenAddress(url);
    ASSERT_TRUE(testing::WaitFor(
        [&] { return !viewer->Actions->OpeningAddress() && !viewer->Follower->Reading(); }));
    QTest::qWait(20);  // the record is shown once the window is idle
  }
  int Rows() const { return viewer->ListView1->RowCount(); }

  testing::ScratchFolder folder;
  MessageCatcher messages;
  std::unique_ptr<TForm2> form;
  TForm1* viewer = nullptr;
};

TEST_F(AddressOpenTest, HttpAndHttpsAddressesOpenAndAreFollowed) {
  DemoBroadcast demo({"--live-start", "5"});
  ASSERT_FALSE(demo.Base().empty()) << "the demo broadcast did not start";
  TlsFront front(PortOf(demo.Base()), testing::LocalhostCert());
  const QString http = QString::fromStdString(demo.Base() + kLivePath);
  const QString https = QString::fromStdString(front.Url(kLivePath));
  int moves = 5;
  for (const QString& url : {http, https}) {
    SCOPED_TRACE(url.toStdString());
    Open(url);
    EXPECT_EQ(Rows(), moves + 1);
    EXPECT_TRUE(viewer->Follower->Following());
    EXPECT_TRUE(viewer->windowTitle().contains(QStringLiteral("青流戦")))
        << viewer->windowTitle().toStdString();
    // On the last move, the viewer follows the game as the server adds moves.
    viewer->ListView1->Select(Rows() - 1);
    viewer->OnListViewClick();
    demo.Get("/_demo/advance");
    ++moves;
    viewer->RefreshRecord();
    ASSERT_TRUE(
        testing::WaitFor([&] { return !viewer->Follower->Refreshing() && Rows() == moves + 1; }));
    EXPECT_EQ(viewer->ListView1->SelectedIndex(), moves);
  }
  EXPECT_EQ(viewer->Actions->RecentAddresses(), QStringList({https, http}));
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(AddressOpenTest, RedirectsToHttpsAreFollowedBackToHttpNever) {
  DemoBroadcast demo({"--live-start", "3"});
  ASSERT_FALSE(demo.Base().empty());
  TlsFront front(PortOf(demo.Base()), testing::LocalhostCert());
  testing::ScriptedServer to_https(
      {{testing::ReadRequest(),
        testing::Send("HTTP/1.1 301 Moved\r\nLocation: " + front.Url(kLivePath) +
                      "\r\nContent-Length: 0\r\n\r\n")}});
  Open(QString::fromStdString(to_https.Url("/game.kif")));
  EXPECT_EQ(Rows(), 4);
  ASSERT_TRUE(messages.messages.empty());

  testing::ScriptedServer plain(
      {{testing::ReadRequest(), testing::Send("HTTP/1.1 302 Found\r\nLocation: " + demo.Base() +
                                              kLivePath + "\r\nContent-Length: 0\r\n\r\n")}});
  TlsFront back(plain.Port(), testing::LocalhostCert());
  const QString caption = viewer->windowTitle();
  Open(QString::fromStdString(back.Url("/game.kif")));
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].caption, QStringLiteral("error"));
  EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("暗号化しない")));
  // The game on show stays as it was.
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(viewer->windowTitle(), caption);
}

TEST_F(AddressOpenTest, FailuresShowOneMessageAndKeepTheGame) {
  uint16_t closed = 0;
  ::close(testing::ListenLoopback(1, closed));
  testing::TestCa stranger("Someone Else");
  testing::ScriptedServer server({{testing::ReadRequest()}});
  TlsFront untrusted(server.Port(), stranger.Issue({"localhost"}, {"127.0.0.1"}));
  for (const std::string& url :
       {"http://127.0.0.1:" + std::to_string(closed) + "/a.kif", untrusted.Url("/a.kif")}) {
    messages.messages.clear();
    Open(QString::fromStdString(url));
    ASSERT_EQ(messages.messages.size(), 1u) << url;
    EXPECT_TRUE(messages.messages[0].text.startsWith(QString::fromStdString(url)));
    EXPECT_EQ(Rows(), 1);
    EXPECT_FALSE(viewer->Follower->Following());
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Zelvaro"));
  }
}

TEST_F(AddressOpenTest, PasteARecordOrAnAddressAndCopyTheRecord) {
  const QString record = QStringLiteral(
      "#KIF version=2.0 encoding=Shift_JIS\n棋戦：貼り付け戦\n先手：甲\n後手：乙\n"
      "手数----指手---------消費時間--\n   1 ７六歩(77)   ( 0:01/00:00:01)\n"
      "   2 ３四歩(33)   ( 0:02/00:00:02)\n");
  QGuiApplication::clipboard()->setText(record);
  viewer->Actions->PasteAction->trigger();
  ASSERT_TRUE(testing::WaitFor([&] { return Rows() == 3; }));
  EXPECT_TRUE(viewer->windowTitle().contains(QStringLiteral("貼り付け戦")));
  EXPECT_FALSE(viewer->Follower->Following());
  QGuiApplication::clipboard()->clear();
  viewer->Actions->CopyAction->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), record);

  DemoBroadcast demo({"--live-start", "2"});
  ASSERT_FALSE(demo.Base().empty());
  QGuiApplication::clipboard()->setText(
      QString::fromStdString("  " + demo.Base() + kLivePath + "\n"));
  viewer->Actions->PasteAction->trigger();
  ASSERT_TRUE(testing::WaitFor([&] { return Rows() == 3 && viewer->Follower->Following(); }));
  EXPECT_TRUE(viewer->windowTitle().contains(QStringLiteral("青流戦")));
  EXPECT_TRUE(messages.messages.empty());
}

TEST(AddressOpen, AddressesNamesAndEncodings) {
  EXPECT_EQ(AddressInText(QStringLiteral(" https://a.example/k.kif \n")),
            QStringLiteral("https://a.example/k.kif"));
  for (const char* text :
       {"", "ftp://a.example/k.kif", "https://", "手数 1 ７六歩", "http://a b"}) {
    EXPECT_FALSE(AddressInText(QString::fromUtf8(text))) << text;
  }
  EXPECT_EQ(AddressFileName("https://a.example/kifu/%E5%B1%80.kifu?x=1#y"), "局.kifu");
  EXPECT_EQ(AddressFileName("https://a.example/"), "");
  EXPECT_EQ(AddressEncoding("abc", "text/plain; charset=Shift_JIS"), TRecordEncoding::kCp932);
  EXPECT_EQ(AddressEncoding("abc", "text/plain;charset=\"windows-31j\""), TRecordEncoding::kCp932);
  EXPECT_EQ(AddressEncoding("\xEF\xBB\xBF"
                            "abc",
                            "text/plain; charset=Shift_JIS"),
            TRecordEncoding::kDetect);
  EXPECT_EQ(AddressEncoding("abc", "text/plain; charset=utf-8"), TRecordEncoding::kDetect);
  EXPECT_EQ(AddressEncoding("abc", ""), TRecordEncoding::kDetect);
  QStringList recent;
  for (int i = 0; i < 12; ++i) recent = RememberAddress(recent, QString::number(i));
  recent = RememberAddress(recent, QStringLiteral("5"));
  EXPECT_EQ(recent.size(), kRecentAddressCount);
  EXPECT_EQ(recent.front(), QStringLiteral("5"));
  EXPECT_EQ(recent.count(QStringLiteral("5")), 1);
}

}  // namespace
}  // namespace zelvaro
