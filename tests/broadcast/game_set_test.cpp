// Following a set of games without windows or network: the state read from
// a record, endings and winners, ticking clocks, the links of a page, and a
// set's rounds over downloads served from memory.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "broadcast/GameSet.h"
#include "net/NetErrors.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

std::string Kif(const std::string& moves, const std::string& limit = "持ち時間：各1時間\n") {
  return "先手：甲\n後手：乙\n" + limit + "手数----指手---------消費時間--\n" + moves;
}
const std::string kThree =
    "   1 ７六歩(77)   ( 0:10/00:00:10)\n"
    "   2 ３四歩(33)   ( 0:20/00:00:20)\n"
    "   3 ２六歩(27)   ( 0:30/00:00:40)\n";

TGame Read(const std::string& bytes, const std::string& last_modified = {}, int64_t now = 100) {
  TGame game;
  game.address = "http://h/kifu/a.kif";
  ReadGame(game, TFollowReply{bytes, last_modified}, now);
  return game;
}

TEST(GameState, ReadFromRecords) {
  struct Case {
    std::string moves;
    int count;
    const char16_t* last;
    const char16_t* result;  // nullptr while playing
    int winner;
    TGameStatus status;
  } cases[] = {
      {"", 0, nullptr, nullptr, 0, TGameStatus::kPlaying},
      {kThree, 3, u"▲２六歩(27)", nullptr, 0, TGameStatus::kPlaying},
      {kThree + "   4 投了\n", 3, u"▲２六歩(27)", u"投了", 1, TGameStatus::kEnded},
      {kThree + "   4 反則勝ち\n", 3, u"▲２六歩(27)", u"反則勝ち", -1, TGameStatus::kEnded},
      {kThree + "   4 千日手\n", 3, u"▲２六歩(27)", u"千日手", 0, TGameStatus::kEnded},
      {kThree + "   4 切れ負け\n", 3, u"▲２六歩(27)", u"切れ負け", 1, TGameStatus::kEnded},
      // 中断 resumes: still playing.
      {kThree + "   4 中断\n", 3, u"▲２六歩(27)", nullptr, 0, TGameStatus::kPlaying},
      // A variation's moves are not the main line's.
      {kThree + "\n変化：3手\n   3 ５六歩(57)   ( 0:01/00:00:11)\n   4 投了\n", 3, u"▲２六歩(27)",
       nullptr, 0, TGameStatus::kPlaying},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moves);
    const TGame game = Read(Kif(c.moves));
    ASSERT_TRUE(game.read);
    EXPECT_EQ(game.state.sente, u"甲");
    EXPECT_EQ(game.state.moves, c.count);
    EXPECT_EQ(game.state.last_move, c.last ? std::optional<std::u16string>(c.last) : std::nullopt);
    EXPECT_EQ(game.state.result, c.result ? std::optional<std::u16string>(c.result) : std::nullopt);
    EXPECT_EQ(game.state.winner, c.winner);
    EXPECT_EQ(game.state.status, c.status);
  }
  EXPECT_EQ(Read(Kif("")).state.sfen,
            "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
  EXPECT_EQ(Read(Kif(kThree)).state.sfen,
            "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P4P1/PP1PPPP1P/1B5R1/LNSGKGSNL w - 4");
}

TEST(GameState, ClocksAndByoyomi) {
  const TGame timed = Read(Kif(kThree, "持ち時間：各1時間（使い切ると1分将棋）\n"));
  ASSERT_TRUE(timed.state.remaining);
  EXPECT_EQ(*timed.state.remaining, (std::array<int64_t, 2>{3600 - 40, 3600 - 20}));
  EXPECT_EQ(timed.state.byoyomi, 60);
  EXPECT_EQ(timed.to_move, -1);
  // No move yet: the whole limit; no limit: nothing.
  EXPECT_EQ(*Read(Kif("")).state.remaining, (std::array<int64_t, 2>{3600, 3600}));
  EXPECT_FALSE(Read(Kif(kThree, "")).state.remaining);
  EXPECT_FALSE(Read(Kif(kThree, "")).state.byoyomi);
}

TEST(GameState, MoveTimeFromLastModifiedElseFirstSeen) {
  TGame game = Read(Kif(kThree), "Sun, 06 Nov 1994 08:49:37 GMT", 5000);
  EXPECT_EQ(game.move_time, 784111777);
  ReadGame(game, TFollowReply{Kif(kThree), {}}, 6000);  // same move: the time stays
  EXPECT_EQ(game.move_time, 784111777);
  ReadGame(game, TFollowReply{Kif(kThree + "   4 ８四歩(83)\n"), {}}, 7000);
  EXPECT_EQ(game.move_time, 7000);
}

TEST(GameState, RefusedRecordKeepsTheLastGoodState) {
  TGame game = Read(Kif(kThree));
  for (const std::string& bytes : {std::string(), std::string("\x00\x01\x02zz", 5)}) {
    ReadGame(game, TFollowReply{bytes, {}}, 200);
    EXPECT_TRUE(game.failed);
    ASSERT_TRUE(game.state.error);
    EXPECT_EQ(game.state.moves, 3);
    EXPECT_EQ(game.state.status, TGameStatus::kPlaying);
  }
  // Never read: an error board.
  const TGame never = Read("");
  EXPECT_EQ(never.state.status, TGameStatus::kError);
  EXPECT_EQ(never.state.error, std::u16string(kNotRecordEmpty));
}

TEST(GameState, ResultText) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"投了", u"まで3手で先手の勝ち"},
      {u"千日手", u"まで3手で千日手"},
      {u"持将棋", u"まで3手で持将棋"},
      {u"詰み", u"まで3手で先手の勝ち"},  // the side to move is mated
  };
  for (const auto& [word, text] : cases) {
    const TGame game = Read(Kif(kThree + "   4 " + Utf16ToUtf8(word) + "\n"));
    EXPECT_EQ(ResultText(game.state), text) << Utf16ToUtf8(word);
  }
  EXPECT_EQ(ResultText(Read(Kif(kThree)).state), u"");
}

TEST(TickClock, CountsDownThenByoyomi) {
  const struct {
    int64_t remaining, byoyomi, elapsed, seconds;
    bool in_byoyomi;
  } cases[] = {
      {100, 60, 0, 100, false}, {100, 60, 99, 1, false}, {100, 60, 100, 60, true},
      {100, 60, 145, 15, true}, {100, 60, 500, 0, true}, {100, 0, 150, 0, false},
      {0, 30, 10, 20, true},    {50, 60, -5, 50, false},
  };
  for (const auto& c : cases) {
    const TTick tick = TickClock(c.remaining, c.byoyomi, c.elapsed);
    EXPECT_EQ(tick.seconds, c.seconds) << c.remaining << " " << c.elapsed;
    EXPECT_EQ(tick.in_byoyomi, c.in_byoyomi) << c.remaining << " " << c.elapsed;
  }
}

TEST(RecordLinksOfPage, AsTheSearchFindsThemEachOnce) {
  const std::vector<std::string> page = {
      "<a href=\"kifu/a.html\">A</a>",
      "<a href=\"http://h:81/t/kifu/b.html\">B</a>",
      "<a href=\"kifu/a.html\">A again</a>",
      "<a href=\"http://other/t/kifu/c.html\">elsewhere</a>",
      "<a href=\"kifu/archive/x.html\">old</a>",
      "\t <!--",
      "<a href=\"kifu/hidden.html\">hidden</a>",
      "-->",
      "<a href=\"kifu/d.kif\">D</a>",
  };
  EXPECT_EQ(RecordLinksOfPage(page, "http://h:81/t/"),
            (std::vector<std::string>{"http://h:81/t/kifu/a.kif", "http://h:81/t/kifu/b.kif",
                                      "http://h:81/t/kifu/d.kif"}));
  EXPECT_TRUE(RecordLinksOfPage({"<p>no links</p>"}, "http://h/t/").empty());
}

// Downloads served from memory; a missing address fails.
struct Served {
  std::mutex mutex;
  std::map<std::string, TFollowReply> bodies;
  std::map<std::string, int> downloads;
  std::map<std::string, std::string> busy;  // answered 503 with this Retry-After
};

class MemoryFetch : public TFollowFetch {
 public:
  explicit MemoryFetch(std::shared_ptr<Served> served) : served_(std::move(served)) {}
  TFollowReply Download(const std::string& url) override {
    std::lock_guard lock(served_->mutex);
    ++served_->downloads[url];
    if (const auto busy = served_->busy.find(url); busy != served_->busy.end()) {
      EHttpProtocolError error(503, "HTTP/1.1 503 Service Unavailable", {});
      error.RetryAfter = busy->second;
      throw error;
    }
    const auto it = served_->bodies.find(url);
    if (it == served_->bodies.end()) throw std::runtime_error("unreachable " + url);
    return it->second;
  }

 private:
  std::shared_ptr<Served> served_;
};

class GameSetTest : public ::testing::Test {
 protected:
  std::shared_ptr<Served> served = std::make_shared<Served>();
  TGameSet set{[s = served] { return std::make_unique<MemoryFetch>(s); }, [] { return 1000; }};
  void Serve(const std::string& url, const std::string& bytes) {
    served->bodies[url] = {bytes, {}};
  }
  std::vector<std::string> Addresses() const {
    std::vector<std::string> out;
    for (const TGame& g : set.Games()) out.push_back(g.address);
    return out;
  }
};

TEST_F(GameSetTest, PagesExpandInOrderEachRecordOnceAtMost64) {
  std::string page;
  for (int i = 0; i < 66; ++i) page += "<a href=\"kifu/g" + std::to_string(i) + ".html\">x</a>\n";
  page += "<a href=\"kifu/g3.html\">again</a>\n";
  Serve("http://h/p/", page);
  Serve("http://h/r.kif", Kif(kThree));
  set.Open({"http://h/r.kif", "http://h/p/", "http://h/r.kif"});
  const std::vector<std::string> got = Addresses();
  ASSERT_EQ(got.size(), kMaxFollowedGames);
  EXPECT_EQ(got[0], "http://h/r.kif");
  EXPECT_EQ(got[1], "http://h/p/kifu/g0.kif");
  EXPECT_EQ(got[63], "http://h/p/kifu/g62.kif");
  const std::string message = Utf16ToUtf8(set.Message());
  EXPECT_NE(message.find("g63.kif"), std::string::npos);
  EXPECT_NE(message.find("g65.kif"), std::string::npos);
  EXPECT_EQ(message.find("g62.kif"), std::string::npos);
  EXPECT_EQ(served->downloads["http://h/r.kif"], 2);  // two addresses, one game
}

TEST_F(GameSetTest, RoundsReportChangesAndLeaveEndedGames) {
  Serve("http://h/a.kif", Kif(kThree));
  Serve("http://h/b.kif", Kif(kThree));
  // A page without record links, even with a line that reads like a header.
  Serve("http://h/page.html", "<html>\n開始：10時\n</html>\n");
  set.Open({"http://h/a.kif", "http://h/b.kif", "http://h/page.html", "http://h/gone.kif"});
  set.Round();
  ASSERT_EQ(set.Games().size(), 4u);
  for (const TGame& g : set.Games()) EXPECT_TRUE(g.changed) << g.address;
  EXPECT_EQ(served->downloads["http://h/a.kif"], 1);  // Open's download serves the first round
  EXPECT_EQ(set.Games()[2].state.status, TGameStatus::kError);
  EXPECT_EQ(set.Games()[2].state.error, std::u16string(kNoRecordNoLinks));
  EXPECT_EQ(set.Games()[3].state.status, TGameStatus::kError);
  EXPECT_FALSE(set.AllFailed());

  Serve("http://h/a.kif", Kif(kThree + "   4 ８四歩(83)   ( 0:05/00:00:25)\n"));
  Serve("http://h/b.kif", Kif(kThree + "   4 投了\n"));
  set.Round();
  EXPECT_TRUE(set.Games()[0].changed);
  EXPECT_TRUE(set.Games()[1].changed);
  EXPECT_FALSE(set.Games()[2].changed);
  EXPECT_FALSE(set.Games()[3].changed);

  set.Round();  // b has ended: no more downloads of it
  EXPECT_EQ(served->downloads["http://h/b.kif"], 2);
  EXPECT_EQ(served->downloads["http://h/a.kif"], 3);
  for (const TGame& g : set.Games()) EXPECT_FALSE(g.changed) << g.address;

  // A failing download keeps the position and says why.
  served->bodies.clear();
  set.Round();
  EXPECT_TRUE(set.Games()[0].changed);
  EXPECT_EQ(set.Games()[0].state.moves, 4);
  EXPECT_TRUE(set.Games()[0].state.error);
  EXPECT_TRUE(set.AllFailed());
}

TEST_F(GameSetTest, FailingGamesBackOffAndComeBackAfterASuccess) {
  TFollowPace::Clock::time_point now{};
  TGameSet paced([s = served] { return std::make_unique<MemoryFetch>(s); }, [] { return 1000; },
                 [&now] { return now; });
  paced.SetInterval(std::chrono::seconds(10));
  const std::string a = "http://h/a.kif", b = "http://h/b.kif", c = "http://h/c.kif";
  Serve(a, Kif(kThree));
  served->busy[c] = "50";
  paced.Open({a, b, c});  // at 0: b fails (next at 20), c is asked to wait 50 s
  paced.Round();
  EXPECT_FALSE(paced.AllFailed());
  struct Case {
    int64_t ms;  // the round's time; rounds may come a little early
    bool a_ok, b_ok, c_ok;
    bool a_down, b_down, c_down;  // downloaded in this round
    bool all_failed;
  } cases[] = {
      {10000, true, false, false, true, false, false, false},
      {19600, false, false, false, true, true, false, true},    // b: its 2 intervals are up
      {30000, false, false, false, false, false, false, true},  // nothing downloaded: kept
      {40000, true, false, false, true, false, false, false},
      {50000, true, true, true, true, false, true, false},  // c: Retry-After honoured
      {60000, true, true, true, true, true, true, false},   // b: 4 intervals after 19.6
      {70000, true, true, true, true, true, true, false},   // b back to every round
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.ms);
    now = TFollowPace::Clock::time_point(std::chrono::milliseconds(k.ms));
    for (const auto& [url, ok] : {std::pair{a, k.a_ok}, {b, k.b_ok}, {c, k.c_ok}}) {
      served->busy.erase(url);
      if (ok) {
        Serve(url, Kif(kThree));
      } else {
        served->bodies.erase(url);
      }
    }
    std::map<std::string, int> before = served->downloads;
    paced.Round();
    const bool down[] = {k.a_down, k.b_down, k.c_down};
    for (size_t i = 0; i < 3; ++i) {
      const TGame& game = paced.Games()[i];
      SCOPED_TRACE(game.address);
      EXPECT_EQ(game.downloaded, down[i]);
      EXPECT_EQ(served->downloads[game.address] - before[game.address], down[i] ? 1 : 0);
      if (!down[i]) {
        EXPECT_FALSE(game.changed);  // a game sitting out shows nothing new
      }
    }
    EXPECT_EQ(paced.AllFailed(), k.all_failed);
  }
  EXPECT_EQ(paced.Pace(1).Failures(), 0);
}

}  // namespace
}  // namespace zelvaro
