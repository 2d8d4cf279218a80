#include <gtest/gtest.h>

#include "game/RecordFollow.h"
#include "tests/game/ReadKif.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::u16string>;

const auto Read = testing::ReadKif;

TEST(RecordFinished, TheMainLinesLastWordDecides) {
  const Lines opening = {u"手合割：平手", u"   1 ７六歩(77)   ( 0:01/00:00:01)",
                         u"   2 ３四歩(33)   ( 0:01/00:00:01)"};
  struct Case {
    const char* name;
    Lines tail;
    bool finished;
  } cases[] = {
      {"still playing", {}, false},
      {"resigned", {u"   3 投了"}, true},
      {"mate", {u"   3 詰み"}, true},
      {"repetition", {u"   3 千日手"}, true},
      {"impasse", {u"   3 持将棋"}, true},
      {"foul win", {u"   3 反則勝ち"}, true},
      {"foul loss", {u"   3 反則負け"}, true},
      {"time up", {u"   3 切れ負け"}, true},
      {"no mate", {u"   3 不詰"}, true},
      {"suspended", {u"   3 中断"}, false},
      {"sealed move", {u"   3 封じ手"}, false},
      // Only the main line counts: a variation that ends is no end.
      {"variation ends", {u"変化：2手", u"   2 投了"}, false},
      {"main ends, variation after", {u"   3 投了", u"変化：3手", u"   3 ２六歩(27)"}, true},
  };
  for (const Case& c : cases) {
    Lines lines = opening;
    lines.insert(lines.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(RecordFinished(Read(lines)), c.finished) << c.name;
  }
  EXPECT_FALSE(RecordFinished(Read({u"手合割：平手"})));
  EXPECT_TRUE(EndsGame(u"△投了"));
  EXPECT_FALSE(EndsGame(u"▲中断"));
  EXPECT_FALSE(EndsGame(u"▲７六歩(77)"));
}

TEST(FollowPace, WaitsDoubleAfterFailuresAndComeBack) {
  using Clock = TFollowPace::Clock;
  const Clock::time_point t0{};
  TFollowPace pace(30s);
  EXPECT_EQ(pace.NextTry(), std::nullopt) << "nothing is due before the first download";
  pace.Succeeded(t0);
  EXPECT_EQ(pace.NextTry(), t0 + 30s);
  // Failure n waits 2^n intervals, at most 10 minutes.
  const std::chrono::milliseconds after_failures[] = {60s, 120s, 240s, 480s, 600s, 600s};
  Clock::time_point now = t0;
  for (auto expected : after_failures) {
    now += 1s;
    pace.Failed(now);
    EXPECT_EQ(pace.Wait(), expected) << pace.Failures() << " failures";
    EXPECT_EQ(pace.NextTry(), now + expected);
    EXPECT_EQ(pace.Remaining(now + 10s), expected - 10s);
  }
  EXPECT_EQ(pace.Remaining(now + 1h), 0ms);
  pace.Succeeded(now);
  EXPECT_EQ(pace.Wait(), 30s);
  EXPECT_EQ(pace.Failures(), 0);

  // An interval above the cap is never shortened by it.
  TFollowPace slow(15min);
  slow.Failed(t0);
  EXPECT_EQ(slow.Wait(), 15min);
  // No interval: nothing is scheduled, and a command that loops at once
  // still loops at once.
  TFollowPace none(0ms);
  none.Failed(t0);
  EXPECT_EQ(none.NextTry(), std::nullopt);
  EXPECT_EQ(none.Wait(), 0ms);
}

TEST(FollowPace, RetryAfterAndTheEnd) {
  const TFollowPace::Clock::time_point t0{};
  struct Case {
    std::optional<std::chrono::seconds> retry_after;
    std::chrono::milliseconds wait;  // after one failure at 60 s
  } cases[] = {
      {std::nullopt, 120s}, {5s, 120s}, {300s, 300s}, {2h, 1h}, {std::chrono::seconds(-1), 120s},
  };
  for (const Case& c : cases) {
    TFollowPace pace(60s);
    pace.Failed(t0, c.retry_after);
    EXPECT_EQ(pace.Wait(), c.wait) << (c.retry_after ? c.retry_after->count() : -2);
  }
  TFollowPace pace(60s);
  pace.Failed(t0, 900s);
  pace.Succeeded(t0 + 1s);
  EXPECT_EQ(pace.Wait(), 60s) << "a success forgets the server's wish";
  pace.SetFinished(true);
  EXPECT_EQ(pace.NextTry(), std::nullopt);
  pace.SetFinished(false);
  EXPECT_EQ(pace.NextTry(), t0 + 61s);
}

TEST(FollowCaption, Texts) {
  struct Case {
    std::chrono::milliseconds wait;
    const char16_t* text;
  } waits[] = {{0ms, u"0秒後"},    {1500ms, u"2秒後"}, {59s, u"59秒後"},
               {60s, u"1分後"},    {61s, u"2分後"},    {120s, u"2分後"},
               {10min, u"10分後"}, {1h, u"1時間後"},   {90min, u"1時間30分後"}};
  for (const Case& c : waits) EXPECT_EQ(WaitText(c.wait), c.text) << c.wait.count();
  EXPECT_EQ(FailureText(u"HTTP/1.1 503 Service Unavailable", 120s),
            u"更新できません: HTTP/1.1 503 Service Unavailable (次は 2分後)");
  EXPECT_EQ(FailureText(u"x", std::nullopt), u"更新できません: x");
  EXPECT_EQ(FinishedText(), u"終局");
  const auto at = [](int h, int m, int s) { return std::chrono::seconds(h * 3600 + m * 60 + s); };
  EXPECT_EQ(CheckedText(at(14, 3, 10), at(14, 2, 40)), u"最終確認 14:03:10 / 最終更新 14:02:40");
  EXPECT_EQ(CheckedText(at(9, 0, 5), std::nullopt), u"最終確認 09:00:05");
  EXPECT_EQ(CheckedText(std::nullopt, at(0, 0, 0)), u"最終更新 00:00:00");
  EXPECT_EQ(CheckedText(std::nullopt, std::nullopt), u"");
}

}  // namespace
}  // namespace zelvaro
