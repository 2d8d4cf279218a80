// A start without a broadcast server: the search window asks for one, checks
// it as --server is checked, uses it and keeps it; a server given or kept
// is used without asking.
#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>

#include "search/untSubForm.h"
#include "tests/search/SearchTestSupport.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace zelvaro {
namespace {

using testing::FakeFetcher;
using testing::MessageCatcher;
using testing::RecordLines;
using testing::ScratchFolder;
using testing::TextDialogCatcher;

class FirstStartTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApp(); }

  // A window over a fake fetcher that serves the table of http://srv.test
  // (one game on its first page, page 13 missing).
  std::unique_ptr<TForm2> MakeForm(const std::string& server,
                                   const std::string& sponsor = "http://sp.test") {
    fakes.push_back(std::make_unique<FakeFetcher>());
    fetcher = fakes.back().get();
    const TTournamentTable table = TournamentTable({"http://srv.test", "http://sp.test"});
    for (const auto& page : table) fetcher->Serve(page, {"<html>"});
    fetcher->Serve(table[0], {R"(<a href="kifu/a.html">)"});
    fetcher->Serve("http://srv.test/ryuou/kifu/a.kif",
                   RecordLines("2026/01/01 10:00", "竜王戦", "先手A", "後手A"));
    fetcher->pages.erase(table[12]);
    return std::make_unique<TForm2>(TBroadcastHosts{server, sponsor}, fetcher->Factory());
  }

  ScratchFolder folder;
  MessageCatcher messages;
  TextDialogCatcher dialogs;
  std::vector<std::unique_ptr<FakeFetcher>> fakes;  // outlive the windows' downloads
  FakeFetcher* fetcher = nullptr;
  QString path = QDir::current().absoluteFilePath(QStringLiteral("Zelvaro.ini"));
};

TEST_F(FirstStartTest, AsksUntilAUsableAddressOrACancel) {
  const struct Case {
    std::vector<std::optional<QString>> answers;
    bool ok;
    std::string server;
  } cases[] = {
      {{QStringLiteral("http://127.0.0.1:8123/")}, true, "http://127.0.0.1:8123"},
      {{QStringLiteral("ftp://x.test"), QStringLiteral(" http://mirror.test/live ")},
       true,
       "http://mirror.test/live"},
      {{QStringLiteral(""), QStringLiteral("http://a b"), std::nullopt}, false, ""},
      {{}, false, ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    const QString file = QStringLiteral("ask%1.ini").arg(n++);
    TSettingsFile settings(file);
    auto form = MakeForm("");
    form->KeepSettings(&settings);
    ASSERT_TRUE(form->ServerUnknown());
    dialogs.asks.clear();
    dialogs.answers = c.answers;

    EXPECT_EQ(form->AskForServer(), c.ok);
    EXPECT_EQ(form->Hosts().Server, c.server);
    EXPECT_EQ(TSettingsFile(file).Values().server, c.server) << "kept for the next start";
    const size_t asks = std::max<size_t>(c.answers.size(), 1);
    ASSERT_EQ(dialogs.asks.size(), asks);
    EXPECT_TRUE(dialogs.asks[0].label.contains(QStringLiteral("中継サーバーが設定されていません")));
    EXPECT_EQ(dialogs.asks[0].text, QStringLiteral("http://"));
    // Asked again: the refused address is shown with the reason.
    for (size_t i = 1; i < asks; ++i) {
      EXPECT_TRUE(dialogs.asks[i].label.contains(QStringLiteral("使えないアドレスです")));
      EXPECT_TRUE(
          dialogs.asks[i].label.contains(QStringLiteral("中継サーバーが設定されていません")));
      EXPECT_EQ(dialogs.asks[i].text, *c.answers[i - 1]);
    }
    EXPECT_TRUE(messages.messages.empty());
  }
}

TEST_F(FirstStartTest, TheSearchButtonAsksWhileNoServerIsKnown) {
  auto form = MakeForm("");
  form->Button1Click();  // cancelled
  EXPECT_EQ(dialogs.asks.size(), 1u);
  EXPECT_TRUE(fetcher->Requested().empty()) << "no search without a server";
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_TRUE(form->Button1->isEnabled());

  dialogs.answers = {QStringLiteral("http://srv.test")};
  form->Button1Click();
  ASSERT_TRUE(testing::WaitFor([&] { return !form->Searching(); }));
  EXPECT_EQ(dialogs.asks.size(), 2u);
  const std::vector<std::string> requested = fetcher->Requested();
  EXPECT_NE(std::find(requested.begin(), requested.end(), "http://srv.test/ryuou/"),
            requested.end())
      << "the address entered is searched";
  EXPECT_EQ(form->ListView1->RowCount(), 1);
  EXPECT_EQ(messages.messages.size(), 1u) << "only the page that is missing";

  form->Button1Click();
  EXPECT_EQ(dialogs.asks.size(), 2u) << "asked once only";
}

// The first start searches as soon as a usable address is entered; the
// sponsor page is then looked for beside the server, and both are kept.
TEST_F(FirstStartTest, AGoodAddressStartsTheSearchAtOnce) {
  const std::string sponsor_page = "http://srv.test/knowledge/shogi/live/index.html";
  {
    TSettingsFile settings(QStringLiteral("first.ini"));
    auto form = MakeForm("", "http://sponsor.zelvaro.example");
    form->KeepSettings(&settings);
    form->FirstStart();  // cancelled: no search
    EXPECT_FALSE(form->Searching());
    EXPECT_TRUE(fetcher->Requested().empty());

    fetcher->Serve(sponsor_page, {"<html>"});
    dialogs.answers = {QStringLiteral("http://srv.test")};
    form->FirstStart();
    EXPECT_TRUE(form->Searching()) << "no second press of the button";
    ASSERT_TRUE(testing::WaitFor([&] { return !form->Searching(); }));
    EXPECT_EQ(form->ListView1->RowCount(), 1);
    EXPECT_EQ(dialogs.asks.size(), 2u);
    EXPECT_EQ(form->Hosts().Sponsor, "http://srv.test");
    const std::vector<std::string> requested = fetcher->Requested();
    EXPECT_NE(std::find(requested.begin(), requested.end(), sponsor_page), requested.end());
  }
  TSettingsFile kept(QStringLiteral("first.ini"));
  EXPECT_EQ(kept.Values().sponsor, "http://srv.test");
  auto again = MakeForm("", "http://sponsor.zelvaro.example");
  again->KeepSettings(&kept);
  EXPECT_EQ(again->Hosts().Sponsor, "http://srv.test") << "a kept sponsor address";
  auto given = MakeForm("", "http://given-sponsor.test");
  given->KeepSettings(&kept);
  EXPECT_EQ(given->Hosts().Sponsor, "http://given-sponsor.test") << "--sponsor wins";
}

TEST_F(FirstStartTest, AGivenServerWinsAndAKeptOneIsUsedWhenUsable) {
  const struct Case {
    std::string given, kept_line, server;
  } cases[] = {
      {"http://given.test", "server=http://kept.test", "http://given.test"},
      {"", "server=http://kept.test:8080/kif/", "http://kept.test:8080/kif"},
      {"", "server=http://kept.test/(x)", ""},
      {"", "server=ftp://kept.test", ""},
      {"", "server=", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given + " / " + c.kept_line);
    testing::WriteFile("kept.ini", "[search]\n" + c.kept_line + "\n");
    TSettingsFile settings(QStringLiteral("kept.ini"));
    auto form = MakeForm(c.given);
    form->KeepSettings(&settings);
    EXPECT_EQ(form->Hosts().Server, c.server);
    EXPECT_EQ(form->ServerUnknown(), c.server.empty());
  }
  EXPECT_TRUE(dialogs.asks.empty());
}

TEST_F(FirstStartTest, AFailedWriteIsToldAndTheAddressUsedAllTheSame) {
  testing::WriteFile("plain-file", "x");
  TSettingsFile settings(QStringLiteral("plain-file/Zelvaro.ini"));
  auto form = MakeForm("");
  form->KeepSettings(&settings);
  dialogs.answers = {QStringLiteral("http://srv.test")};
  EXPECT_TRUE(form->AskForServer());
  EXPECT_EQ(form->Hosts().Server, "http://srv.test");
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("plain-file/Zelvaro.ini")));
}

}  // namespace
}  // namespace zelvaro
