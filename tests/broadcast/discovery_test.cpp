// Discovery without windows: the table, the link scan, the skip words, the
// header probe and a whole search over a fetcher that serves lines from a
// table.
#include "broadcast/Discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/broadcast/FakeFetcher.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using FakeFetcher = testing::TableFetcher;
using testing::RecordLines;

const TBroadcastHosts kHosts{"http://srv.test", "http://sp.test"};

TEST(TournamentTableTest, FourteenPagesInOrderWithTheSponsorAtSix) {
  const TTournamentTable table = TournamentTable(kHosts);
  const std::array<std::string, 14> expected = {"http://srv.test/ryuou/",
                                                "http://srv.test/oui/",
                                                "http://srv.test/ouza/",
                                                "http://srv.test/kiou/",
                                                "http://srv.test/kisei/",
                                                "http://srv.test/asahi/",
                                                "http://sp.test/knowledge/shogi/live/index.html",
                                                "http://srv.test/shinjin/",
                                                "http://srv.test/seiryu/",
                                                "http://srv.test/tatsujin/",
                                                "http://srv.test/joryu_ouza/",
                                                "http://srv.test/joryumeijin/",
                                                "http://srv.test/joryu-oui/",
                                                "http://srv.test/kurashikitouka/"};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(table[i], expected[i]) << i;
}

TEST(TournamentTableTest, BaseUrlsFromTheCommandLine) {
  EXPECT_EQ(NormaliseBaseUrl("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
  EXPECT_EQ(NormaliseBaseUrl("http://127.0.0.1:8080/"), "http://127.0.0.1:8080");
  EXPECT_EQ(NormaliseBaseUrl("http://mirror.test/live"), "http://mirror.test/live");
  for (const char* bad :
       {"", "http://", "https://x.test", "ftp://x.test", "x.test", "http://x.test/a(b)",
        "http://x.test/a+b", "http://x.test/a b", "http://x.test/*"}) {
    EXPECT_THROW(NormaliseBaseUrl(bad), Exception) << bad;
  }
}

TEST(PatternTest, ExactlyAsTheSearchUsesThem) {
  EXPECT_EQ(CommentOpeningPattern(), "^[\t]+[ ]+<!--");
  EXPECT_EQ(CommentClosingPattern(), "-->");
  EXPECT_EQ(ServerLinkPattern("http://srv.test"), ".*(http://srv.test/[0-9a-zA-Z./?_=~-]+).*");
  EXPECT_EQ(RecordLinkPattern(), ".*<a href=\"(kifu/[0-9a-zA-Z./?_=~-]+).*");
  EXPECT_EQ(HtmlToKif("a.html/b.html.html"), "a.kif/b.kif.kif");
  EXPECT_EQ(HtmlToKif("a.htm"), "a.htm");
}

struct ScanCase {
  const char* name;
  int entry;
  std::vector<std::string> lines;
  std::vector<std::string> expected;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class LinkScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(LinkScanTest, Candidates) {
  const ScanCase& c = GetParam();
  const std::string page = TournamentTable(kHosts)[c.entry];
  EXPECT_EQ(ScanPage(testing::Sjis(c.lines), page, kHosts.Server), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LinkScanTest,
    ::testing::Values(
        ScanCase{"AbsoluteHtmlBecomesKif",
                 1,
                 {R"(<a href="http://srv.test/oui/kifu/a1.html">宮下－荒井</a>)"},
                 {"http://srv.test/oui/kifu/a1.kif"}},
        ScanCase{"AbsoluteOutsideALink",
                 1,
                 {"棋譜: http://srv.test/oui/kifu/a1.kif 更新中"},
                 {"http://srv.test/oui/kifu/a1.kif"}},
        ScanCase{
            "TwoAbsoluteLinksGiveTheSecond",
            1,
            {R"(<a href="http://srv.test/oui/kifu/a.html">A</a> <a href="http://srv.test/oui/kifu/b.html">B</a>)"},
            {"http://srv.test/oui/kifu/b.kif"}},
        ScanCase{"TwoRelativeLinksGiveTheSecond",
                 0,
                 {R"(<a href="kifu/a.html">A</a> | <a href="kifu/b.html">B</a>)"},
                 {"http://srv.test/ryuou/kifu/b.kif"}},
        ScanCase{"RelativeOnEntryZero",
                 0,
                 {R"(<li><a href="kifu/abc.html">三宅－北沢</a></li>)"},
                 {"http://srv.test/ryuou/kifu/abc.kif"}},
        ScanCase{"RelativeOnTheSponsorPageJoinsIndexHtml",
                 6,
                 {R"(<a href="kifu/abc.html">x</a>)"},
                 {"http://sp.test/knowledge/shogi/live/index.kifkifu/abc.kif"}},
        ScanCase{"AbsoluteWinsOverRelativeOnOneLine",
                 0,
                 {R"(<a href="http://srv.test/x/kifu/a.html">A</a> <a href="kifu/b.html">B</a>)",
                  R"(<a href="kifu/c.html">C</a> <a href="http://srv.test/x/kifu/d.html">D</a>)"},
                 {"http://srv.test/x/kifu/a.kif", "http://srv.test/x/kifu/d.kif"}},
        ScanCase{"UrlStopsBeforeTheFirstCharacterOutsideTheClass",
                 0,
                 {R"(<a href="kifu/a.html#latest">)", R"(<a href="kifu/b.html?x=1&y=2">)",
                  R"(<a href="kifu/c%20d.html">)", R"(<a href="http://srv.test/e/f.html">)",
                  R"(<a href='kifu/g.html'>)", R"(<a href="kifu/h.kif?v=2~x_y-z.">)"},
                 {"http://srv.test/ryuou/kifu/a.kif", "http://srv.test/ryuou/kifu/b.kif?x=1",
                  "http://srv.test/ryuou/kifu/c", "http://srv.test/e/f.kif",
                  "http://srv.test/ryuou/kifu/h.kif?v=2~x_y-z."}},
        ScanCase{"RelativeLinkNeedsAnHrefAndKifu",
                 0,
                 {R"(<img src="kifu/a.html">)", R"(<a href="games/a.html">)", "kifu/a.html",
                  R"(<a href=kifu/a.html>)"},
                 {}},
        ScanCase{"IndentedCommentHidesLinks",
                 3,
                 {"\t <!--", R"(<a href="http://srv.test/kiou/kifu/old.html">)",
                  R"(<a href="kifu/old2.html">)", "\t -->",
                  R"(<a href="http://srv.test/kiou/kifu/new.html">)"},
                 {"http://srv.test/kiou/kifu/new.kif"}},
        ScanCase{"ManyTabsAndSpaces",
                 3,
                 {"\t\t\t   <!-- 前期", R"(<a href="kifu/old.html">)", "-->",
                  R"(<a href="kifu/new.html">)"},
                 {"http://srv.test/kiou/kifu/new.kif"}},
        ScanCase{"ClosingLineYieldsNoLink",
                 3,
                 {"\t <!--", R"(--> <a href="kifu/after.html">)", R"(<a href="kifu/next.html">)"},
                 {"http://srv.test/kiou/kifu/next.kif"}},
        ScanCase{
            "CommentWithoutTabThenSpaceIsNotRecognised",
            11,
            {"\t<!--", R"(<a href="kifu/a.html">)", " <!--", R"(<a href="kifu/b.html">)", "<!--",
             R"(<a href="kifu/c.html">)", "  \t<!--", R"(<a href="kifu/d.html">)", "-->"},
            {"http://srv.test/joryumeijin/kifu/a.kif", "http://srv.test/joryumeijin/kifu/b.kif",
             "http://srv.test/joryumeijin/kifu/c.kif", "http://srv.test/joryumeijin/kifu/d.kif"}},
        ScanCase{"OpenAndCloseOnOneLineHidesThatLineOnly",
                 0,
                 {"\t <!-- <a href=\"kifu/a.html\"> -->", R"(<a href="kifu/b.html">)"},
                 {"http://srv.test/ryuou/kifu/b.kif"}},
        ScanCase{"ClosingOutsideACommentChangesNothing",
                 0,
                 {R"(--> <a href="kifu/a.html">)", "-->", R"(<a href="kifu/b.html">)"},
                 {"http://srv.test/ryuou/kifu/a.kif", "http://srv.test/ryuou/kifu/b.kif"}},
        ScanCase{"NestedOpeningNeedsTwoClosings",
                 0,
                 {"\t <!--", "\t <!--", "-->", R"(<a href="kifu/a.html">)", "-->",
                  R"(<a href="kifu/b.html">)"},
                 {"http://srv.test/ryuou/kifu/b.kif"}},
        ScanCase{"DuplicatesAreKept",
                 0,
                 {R"(<a href="kifu/a.html">)", "", R"(<a href="kifu/a.html">)"},
                 {"http://srv.test/ryuou/kifu/a.kif", "http://srv.test/ryuou/kifu/a.kif"}},
        ScanCase{"DotsOfTheServerRootMatchAnyCharacter",
                 1,
                 {"http://srvXtest/oui/a.kif", "http://other.test/oui/b.html"},
                 {"http://srvXtest/oui/a.kif"}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

TEST(LinkScanTest, CommentDepthCountsOpeningsAndClosings) {
  TLinkScanner scanner("http://srv.test/ryuou/", kHosts.Server);
  const std::vector<std::pair<std::string, int>> steps = {
      {"-->", 0},         {"\t <!--", 1}, {"\t <!--", 2}, {"x --> y", 1},
      {"\t <!-- -->", 1}, {"-->", 0},     {"-->", 0},     {"\t <!-- a -->", 0}};
  for (const auto& [line, depth] : steps) {
    scanner.ScanLine(line);
    EXPECT_EQ(scanner.CommentDepth, depth) << line;
  }
  EXPECT_TRUE(scanner.Candidates.empty());
}

TEST(SkipWordsTest, ArchiveIndexAndMultiAreNeverProbed) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"http://srv.test/ryuou/kifu/a.kif", false},
      {"http://srv.test/ryuou/kifu/archive/2025.kif", true},
      {"http://srv.test/archive.kif", true},
      {"http://srv.test/oui/index.kif", true},
      {"http://sp.test/knowledge/shogi/live/index.kifkifu/abc.kif", true},
      {"http://srv.test/kisei/kifu/all_multi.kif", true},
      {"http://srv.test/kisei/kifu/all_multi.kifu", true},
      {"http://srv.test/kisei/kifu/all_multi.txt", false},
      {"http://srv.test/Archive/a.kif", false},
      {"http://srv.test/INDEX.kif", false},
      {"http://srv.test/a_MULTI.kif", false},
      {"http://srv.test/indexes.kif", true},
  };
  for (const auto& [url, skipped] : cases) EXPECT_EQ(IsSkippedCandidate(url), skipped) << url;
}

struct HeaderCase {
  std::string line;
  std::u16string start, tournament, sente, gote;
};

TEST(RecordHeaderTest, ValuesComeFromFixedCharacterPositions) {
  const std::u16string long_name(140, u'長');
  const std::vector<HeaderCase> cases = {
      {"開始日時：2026/11/20(金) 10:00", u"2026/11/20(金) 10:00", u"", u"", u""},
      {"棋戦：第39期竜王戦", u"", u"第39期竜王戦", u"", u""},
      {"先手：三宅 陽介 七段", u"", u"", u"三宅 陽介 七段", u""},
      {"後手：北沢 颯 六段", u"", u"", u"", u"北沢 颯 六段"},
      // The cut always starts where the value starts when the label begins the line.
      {"  先手：山田", u"", u"", u"手：山田", u""},
      {"#棋戦：X", u"", u"：X", u"", u""},
      {"開始日時：", u"", u"", u"", u""},
      {"先手：", u"", u"", u"", u""},
      {"先手：A 後手：B", u"", u"", u"A 後手：B", u"A 後手：B"},
      {"先手:半角コロン", u"", u"", u"", u""},
      {"棋戦：" + Utf16ToUtf8(long_name), u"", long_name.substr(0, 128), u"", u""},
      {"開始日時：" + Utf16ToUtf8(long_name), long_name.substr(0, 128), u"", u"", u""},
  };
  for (const auto& c : cases) {
    TRecordHeader header;
    header.ReadLine(Utf8ToSjis(c.line));
    EXPECT_EQ(header.Start, c.start) << c.line;
    EXPECT_EQ(header.Tournament, c.tournament) << c.line;
    EXPECT_EQ(header.Sente, c.sente) << c.line;
    EXPECT_EQ(header.Gote, c.gote) << c.line;
  }
}

TEST(RecordHeaderTest, ProbeStopsAtTheLineThatCompletesTheRow) {
  auto lines = RecordLines("2026/11/20 10:00", "第1期テスト戦", "先手 太郎", "後手 花子");
  lines.insert(lines.begin() + 2, "先手：仮の名前");  // replaced by the later 先手 line
  lines.push_back("*棋戦：コメントの中");             // after the row is complete
  auto row = ProbeRecordLines(testing::Sjis(lines), "http://srv.test/a.kif");
  ASSERT_TRUE(row);
  EXPECT_EQ(SjisToUtf8(row->Start), "2026/11/20 10:00");
  EXPECT_EQ(SjisToUtf8(row->Tournament), "第1期テスト戦");
  EXPECT_EQ(SjisToUtf8(row->Sente), "先手 太郎");
  EXPECT_EQ(SjisToUtf8(row->Gote), "後手 花子");
  EXPECT_EQ(row->Url, "http://srv.test/a.kif");
}

TEST(RecordHeaderTest, ARecordMissingALabelGivesNoRow) {
  const std::vector<std::vector<std::string>> records = {
      RecordLines("2026/11/20 10:00", "第1期テスト戦", "先手 太郎", ""),
      RecordLines("", "第1期テスト戦", "先手 太郎", "後手 花子"),
      RecordLines("2026/11/20 10:00", "", "先手 太郎", "後手 花子"),
      RecordLines("2026/11/20 10:00", "第1期テスト戦", "", "後手 花子"),
      {},
  };
  for (const auto& lines : records) {
    EXPECT_FALSE(ProbeRecordLines(testing::Sjis(lines), "u")) << ::testing::PrintToString(lines);
  }
}

// Keeps what a search reports.
struct RecordingListener : ISearchListener {
  std::vector<int> pages;
  std::vector<std::pair<int, std::string>> failures;
  std::vector<TGameRow> rows;
  int cancel_after_rows = -1;

  void PageStarted(int index) override { pages.push_back(index); }
  void PageFailed(int index, const std::string& message) override {
    failures.emplace_back(index, message);
  }
  void RowFound(const TGameRow& row) override { rows.push_back(row); }
  bool Cancelled() override {
    return cancel_after_rows >= 0 && static_cast<int>(rows.size()) >= cancel_after_rows;
  }
};

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const TTournamentTable table = TournamentTable(kHosts);
    for (const auto& page : table) fetcher.Serve(page, {"<html>", "<body>", "</body>"});
    fetcher.Serve(table[0],
                  {R"(<a href="kifu/a.html">A</a>)", R"(<a href="kifu/archive/old.html">old</a>)",
                   R"(<a href="kifu/missing.html">gone</a>)",
                   R"(<a href="kifu/nogote.html">no gote</a>)", R"(<a href="kifu/b.html">B</a>)"});
    fetcher.Serve("http://srv.test/ryuou/kifu/a.kif",
                  RecordLines("2026/01/01 10:00", "竜王戦", "A先", "A後"));
    fetcher.Serve("http://srv.test/ryuou/kifu/b.kif",
                  RecordLines("2026/01/02 10:00", "竜王戦", "B先", "B後"));
    fetcher.Serve("http://srv.test/ryuou/kifu/nogote.kif",
                  RecordLines("2026/01/03 10:00", "竜王戦", "C先", ""));
    fetcher.Serve(table[6], {R"(<a href="http://srv.test/gakusei/kifu/g.html">G</a>)",
                             R"(<a href="kifu/news.html">news</a>)",
                             R"(<a href="http://srv.test/kisei/kifu/all_multi.kif">all</a>)"});
    fetcher.Serve("http://srv.test/gakusei/kifu/g.kif",
                  RecordLines("2026/01/04 13:00", "学生戦", "G先", "G後"));
    fetcher.pages.erase(table[12]);
    fetcher.Serve(table[13], {R"(<a href="kifu/t.html#x">T</a>)"});
    fetcher.Serve("http://srv.test/kurashikitouka/kifu/t.kif",
                  RecordLines("2026/01/05 10:00", "藤花戦", "T先", "T後"));
  }

  std::vector<std::string> RowUrls(const RecordingListener& l) {
    std::vector<std::string> urls;
    for (const auto& r : l.rows) urls.push_back(r.Url);
    return urls;
  }

  FakeFetcher fetcher;
};

TEST_F(SearchTest, ListsEveryCompleteRecordInTableAndCandidateOrder) {
  RecordingListener listener;
  RunSearch(kHosts, fetcher, listener);
  EXPECT_EQ(
      RowUrls(listener),
      (std::vector<std::string>{
          "http://srv.test/ryuou/kifu/a.kif", "http://srv.test/ryuou/kifu/b.kif",
          "http://srv.test/gakusei/kifu/g.kif", "http://srv.test/kurashikitouka/kifu/t.kif"}));
  ASSERT_EQ(listener.rows.size(), 4u);
  EXPECT_EQ(SjisToUtf8(listener.rows[0].Start), "2026/01/01 10:00");
  EXPECT_EQ(SjisToUtf8(listener.rows[0].Tournament), "竜王戦");
  EXPECT_EQ(SjisToUtf8(listener.rows[0].Sente), "A先");
  EXPECT_EQ(SjisToUtf8(listener.rows[0].Gote), "A後");
  std::vector<int> all_pages(14);
  for (int i = 0; i < 14; ++i) all_pages[i] = i;
  EXPECT_EQ(listener.pages, all_pages);
  // The failing page is reported once, with the fetch's message; a failing
  // record is not reported at all.
  ASSERT_EQ(listener.failures.size(), 1u);
  EXPECT_EQ(listener.failures[0].first, 12);
  EXPECT_EQ(listener.failures[0].second, "HTTP/1.1 404 Not Found");
}

TEST_F(SearchTest, SkippedCandidatesAreNeverFetched) {
  RecordingListener listener;
  RunSearch(kHosts, fetcher, listener);
  for (const auto& url : fetcher.requested) {
    EXPECT_FALSE(IsSkippedCandidate(url) && url.find("index.html") == std::string::npos) << url;
  }
  EXPECT_EQ(std::count(fetcher.requested.begin(), fetcher.requested.end(),
                       "http://srv.test/ryuou/kifu/missing.kif"),
            1);
  // 14 pages, 4 listed records, the missing one and the one without 後手.
  EXPECT_EQ(fetcher.requested.size(), 14u + 6u);
}

TEST_F(SearchTest, LinesReceivedBeforeAFailureStillCount) {
  const std::string page = TournamentTable(kHosts)[1];
  fetcher.Serve(page, {R"(<a href="http://srv.test/oui/kifu/p.html">P</a>)"});
  fetcher.failing[page] = "connection closed by the server";
  fetcher.Serve("http://srv.test/oui/kifu/p.kif",
                RecordLines("2026/02/01 10:00", "王位戦", "P先", "P後"));
  fetcher.failing["http://srv.test/oui/kifu/p.kif"] = "connection reset";
  RecordingListener listener;
  RunSearch(kHosts, fetcher, listener);
  const auto urls = RowUrls(listener);
  EXPECT_NE(std::find(urls.begin(), urls.end(), "http://srv.test/oui/kifu/p.kif"), urls.end());
  ASSERT_EQ(listener.failures.size(), 2u);
  EXPECT_EQ(listener.failures[0],
            std::make_pair(1, std::string("connection closed by the server")));
}

TEST_F(SearchTest, ASecondSearchListsEveryGameAgain) {
  RecordingListener listener;
  RunSearch(kHosts, fetcher, listener);
  RunSearch(kHosts, fetcher, listener);
  ASSERT_EQ(listener.rows.size(), 8u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(listener.rows[i].Url, listener.rows[i + 4].Url);
}

TEST_F(SearchTest, ARowIsCopiedBeforeTheListenerMayFetchAgain) {
  // The window processes events after each row; a double click there
  // fetches with the same fetcher while the search is in the middle of a page.
  struct Refetching : RecordingListener {
    FakeFetcher* fetcher;
    void RowFound(const TGameRow& row) override {
      RecordingListener::RowFound(row);
      try {
        fetcher->FetchLines("http://srv.test/nowhere");
      } catch (const Exception&) {
      }
    }
  } listener;
  listener.fetcher = &fetcher;
  RunSearch(kHosts, fetcher, listener);
  ASSERT_EQ(listener.rows.size(), 4u);
  EXPECT_EQ(SjisToUtf8(listener.rows[1].Sente), "B先");
}

TEST_F(SearchTest, CancelledSearchStopsBeforeTheNextFetch) {
  RecordingListener listener;
  listener.cancel_after_rows = 1;
  RunSearch(kHosts, fetcher, listener);
  EXPECT_EQ(listener.rows.size(), 1u);
  EXPECT_EQ(fetcher.requested.size(), 2u);  // the page and the first record
}

// What a listener was told, as text, in order; a report that comes while
// another one runs is a failure.
struct EventLog : ISearchListener {
  std::vector<std::string> events;
  std::function<void()> inside_failure;  // runs while PageFailed waits, as a box does
  bool reporting = false;

  void Note(const std::string& event) {
    EXPECT_FALSE(reporting) << event << " reported inside another report";
    events.push_back(event);
  }
  void PageStarted(int index) override { Note("page " + std::to_string(index)); }
  void PageFailed(int index, const std::string& message) override {
    Note("failed " + std::to_string(index) + " " + message);
    reporting = true;
    if (inside_failure) inside_failure();
    reporting = false;
  }
  void RowFound(const TGameRow& row) override { Note("row " + row.Url); }
};

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST_F(SearchTest, DownloadsEndingInAnyOrderReportWhatTheSequentialSearchReports) {
  fetcher.failing[TournamentTable(kHosts)[3]] = "connection reset";  // a second box
  EventLog sequential;
  RunSearch(kHosts, fetcher, sequential);
  const std::vector<std::string> fetched = Sorted(fetcher.requested);

  for (const int per_host : {1, 2, 4}) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
      SCOPED_TRACE("per host " + std::to_string(per_host) + ", seed " + std::to_string(seed));
      fetcher.requested.clear();
      EventLog log;
      TSearchScheduler scheduler(kHosts, log, per_host);
      std::mt19937 random(seed);
      std::vector<TSearchFetch> running;
      std::map<std::string, int> on_host;
      int most = 0;
      auto start = [&] {
        for (TSearchFetch& fetch : scheduler.Next()) {
          most = std::max(most, ++on_host[HostOf(fetch.url)]);
          running.push_back(std::move(fetch));
        }
      };
      auto finish_one = [&] {
        const size_t k = std::uniform_int_distribution<size_t>(0, running.size() - 1)(random);
        const TSearchFetch fetch = running[k];
        running.erase(running.begin() + static_cast<long>(k));
        --on_host[HostOf(fetch.url)];
        scheduler.Finish(fetch, RunSearchFetch(fetch, fetcher, kHosts));
        start();
      };
      // While a box is open the downloads go on and end.
      log.inside_failure = [&] {
        while (!running.empty()) finish_one();
      };
      scheduler.Start();
      start();
      while (!running.empty()) finish_one();
      EXPECT_TRUE(scheduler.Done());
      EXPECT_EQ(log.events, sequential.events);
      EXPECT_EQ(Sorted(fetcher.requested), fetched);
      EXPECT_EQ(most, per_host);
    }
  }
}

TEST_F(SearchTest, AllPagesStartAtOnceAndARecordAsSoonAsItsPageIsIn) {
  RecordingListener listener;
  TSearchScheduler scheduler(kHosts, listener);
  scheduler.Start();
  const TTournamentTable table = TournamentTable(kHosts);
  std::vector<std::string> urls;
  const std::vector<TSearchFetch> first = scheduler.Next();
  for (const auto& fetch : first) urls.push_back(fetch.url);
  // Four on the server, the sponsor page beside them.
  EXPECT_EQ(urls, (std::vector<std::string>{table[0], table[1], table[2], table[3], table[6]}));
  EXPECT_TRUE(scheduler.Next().empty());
  scheduler.Finish(first[0], RunSearchFetch(first[0], fetcher, kHosts));
  const std::vector<TSearchFetch> next = scheduler.Next();
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].url, "http://srv.test/ryuou/kifu/a.kif") << "before the pages after it";
  EXPECT_EQ(listener.pages, std::vector<int>{0});
  scheduler.Cancel();
  EXPECT_TRUE(scheduler.Next().empty());
  EXPECT_TRUE(scheduler.Done());
}

}  // namespace
}  // namespace zelvaro
