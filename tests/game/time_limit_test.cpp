// The time limit of a header and the remaining time at each row: the header
// forms real records use, the clocks of short records, and every corpus
// record against its own "消費時間" summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "game/TimeLimit.h"
#include "tests/game/ReadKif.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;
using Limit = std::optional<TTimeLimit>;

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

std::string Show(const Limit& l) {
  if (!l) return "none";
  return std::to_string(l->seconds) + "+" + std::to_string(l->byoyomi) + "+" +
         std::to_string(l->increment);
}

TEST(TimeLimit, HeaderForms) {
  struct Case {
    std::u16string_view limit, byoyomi;
    Limit expected;
  };
  const Case cases[] = {
      {u"各５時間", u"", TTimeLimit{18000, 0, 0}},
      {u"各8時間", u"", TTimeLimit{28800, 0, 0}},
      {u"６時間", u"", TTimeLimit{21600, 0, 0}},
      {u"9時間", u"", TTimeLimit{32400, 0, 0}},
      {u"各10分", u"", TTimeLimit{600, 0, 0}},
      {u"各1時間30分", u"", TTimeLimit{5400, 0, 0}},
      {u"各8時間", u"60秒", TTimeLimit{28800, 60, 0}},
      {u"4時間", u"１分", TTimeLimit{14400, 60, 0}},
      {u"各１時間（使い切ると1分将棋）", u"", TTimeLimit{3600, 60, 0}},
      {u"60分 切れたら1分将棋", u"", TTimeLimit{3600, 60, 0}},
      {u"各10分 切れたら1手60秒", u"", TTimeLimit{600, 60, 0}},
      {u"各1時間（使い切ると1分将棋）", u"30秒", TTimeLimit{3600, 30, 0}},  // the line wins
      {u"各5時間（チェスクロック使用）", u"", TTimeLimit{18000, 0, 0}},
      {u"15分+60秒", u"", TTimeLimit{900, 60, 0}},
      {u"１５分＋３０秒＋１０回", u"", TTimeLimit{900, 30, 0}},
      {u"00:30+05", u"", TTimeLimit{30, 5, 0}},
      {u"00:10+30", u"", TTimeLimit{10, 30, 0}},
      {u"30+0+5", u"", TTimeLimit{30, 0, 5}},
      {u"３０＋０＋５", u"", TTimeLimit{30, 0, 5}},
      // No clock, and no error.
      {u"持ち時間テスト", u"", std::nullopt},
      {u"", u"60秒", std::nullopt},
      {u"なし", u"", std::nullopt},
      {u"0分", u"", std::nullopt},
      {u"30+5", u"", std::nullopt},
      {u"12:34", u"", std::nullopt},
      {u"15分+", u"", std::nullopt},
      {u"99999999時間", u"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Show(ParseTimeLimit(c.limit, c.byoyomi)), Show(c.expected))
        << U8(c.limit) << " / " << U8(c.byoyomi);
  }
  EXPECT_EQ(U8(TimeLimitText({28800, 60, 0})), "各8時間・秒読み1分");
  EXPECT_EQ(U8(TimeLimitText({5400, 30, 0})), "各1時間30分・秒読み30秒");
  EXPECT_EQ(U8(TimeLimitText({30, 0, 5})), "各30秒・1手ごとに5秒加算");
}

TEST(TimeLimit, RemainingText) {
  const TTimeLimit byoyomi{3600, 60, 0}, none{3600, 0, 0};
  const std::pair<int64_t, const char*> cases[] = {
      {7980, "残り 2時間13分"}, {7200, "残り 2時間"}, {7259, "残り 2時間"}, {540, "残り 9分"},
      {266, "残り 4分26秒"},    {45, "残り 45秒"},    {0, "秒読み"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(U8(RemainingText(seconds, byoyomi)), text) << seconds;
  }
  EXPECT_EQ(U8(RemainingText(0, none)), "切れ負け");
}

const auto Read = testing::ReadKif;

// Remaining [sente, gote] and the side to move at each row; {-1, -1, 0} for none.
struct Expected {
  int64_t sente, gote;
  int32_t to_move;
};
void ExpectClocks(const TKifRecord& record, const std::vector<Expected>& rows) {
  ASSERT_EQ(record.rows.size(), rows.size());
  for (size_t row = 0; row < rows.size(); ++row) {
    const std::optional<TClock> clock = ClockAt(record, row);
    const Expected got = clock ? Expected{clock->remaining[0], clock->remaining[1], clock->to_move}
                               : Expected{-1, -1, 0};
    EXPECT_EQ(got.sente, rows[row].sente) << "row " << row;
    EXPECT_EQ(got.gote, rows[row].gote) << "row " << row;
    EXPECT_EQ(got.to_move, rows[row].to_move) << "row " << row;
  }
}

TEST(TimeLimit, RemainingAtEachRow) {
  // Totals written; byo-yomi reached; the line after "秒読み：" comes first.
  const TKifRecord totals =
      Read({u"秒読み：60秒", u"持ち時間：各1時間", u"   1 ５八玉(59)   (10:00/00:10:00)",
            u"   2 ５二玉(51)   (59:30/00:59:30)", u"   3 ５九玉(58)   (50:00/01:00:00)",
            u"   4 投了         ( 0:40/01:00:10)"});
  ASSERT_TRUE(totals.time_limit);
  EXPECT_EQ(*totals.time_limit, (TTimeLimit{3600, 60, 0}));
  ExpectClocks(totals, {{3600, 3600, 1}, {3000, 3600, -1}, {3000, 30, 1}, {0, 30, -1}, {0, 0, 1}});

  // Handicap: gote (上手) moves first; totals left out, so each side's own times are summed.
  const TKifRecord handicap =
      Read({u"手合割：香落ち", u"持ち時間：各10分", u"   1 ５二玉(51)   ( 1:00/)",
            u"   2 ５八玉(59)   ( 0:30/)", u"   3 ５一玉(52)   ( 2:05/)", u"   4 ５九玉(58)"});
  ExpectClocks(handicap,
               {{600, 600, -1}, {600, 540, 1}, {570, 540, -1}, {570, 415, 1}, {-1, -1, 0}});

  // A Fischer clock: five seconds back after each move that is made.
  const TKifRecord fischer =
      Read({u"持ち時間：30+0+5", u"   1 ５八玉(59)   ( 0:10/00:00:10)",
            u"   2 ５二玉(51)   ( 0:40/00:00:40)", u"   3 投了         ( 0:02/00:00:12)"});
  ExpectClocks(fischer, {{30, 30, 1}, {25, 30, -1}, {25, 0, 1}, {23, 0, -1}});
  EXPECT_EQ(U8(RemainingText(0, *fischer.time_limit)), "切れ負け");

  // No clock: zero times throughout, no times at all, no limit, an unknown one.
  for (const auto& lines : std::vector<std::vector<std::u16string>>{
           {u"持ち時間：各5時間", u"   1 ５八玉(59)   ( 0:00/00:00:00)",
            u"   2 ５二玉(51)   ( 0:00/00:00:00)"},
           {u"持ち時間：各5時間", u"   1 ５八玉(59)", u"   2 ５二玉(51)"},
           {u"   1 ５八玉(59)   ( 1:00/00:01:00)", u"   2 ５二玉(51)   ( 1:00/00:01:00)"},
           {u"持ち時間：持ち時間テスト", u"   1 ５八玉(59)   ( 1:00/00:01:00)",
            u"   2 ５二玉(51)   ( 1:00/00:01:00)"}}) {
    const TKifRecord record = Read(lines);
    EXPECT_FALSE(HasClock(record)) << U8(lines[0]);
    ExpectClocks(record, {{-1, -1, 0}, {-1, -1, 0}, {-1, -1, 0}});
  }
  // A new reading starts without the last one's limit.
  TKifRecord again = totals;
  TKifReader reader(again);
  reader.Begin(u"");
  reader.ReadLines(std::vector<std::u16string>{u"   1 ５八玉(59)   ( 1:00/00:01:00)"});
  EXPECT_FALSE(again.time_limit);
}

// "消費時間：96▲190△122": a game of 96 moves in which sente used 190
// minutes and gote 122 (the move count may be left out).
TEST(TimeLimit, CorpusAgreesWithItsSummaryLine) {
  const fs::path corpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  const std::regex summary_line(R"(^消費時間：([0-9]*)▲([0-9]+)△([0-9]+))");
  int with_limit = 0, checked = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".kif") continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const auto lines = DecodeRecordLines(ReadRecordFile(entry.path().string()),
                                         TRecordEncoding::kDetect, entry.path().string());
    std::vector<std::string> summary;  // moves, sente's minutes, gote's
    bool has_limit = false;
    for (const auto& line : lines) {
      const std::string text = U8(line);
      if (text.rfind("持ち時間：", 0) == 0) has_limit = true;
      std::smatch m;
      if (summary.empty() && std::regex_search(text, m, summary_line)) {
        summary = {m[1].str(), m[2].str(), m[3].str()};
      }
    }
    if (!has_limit) continue;
    ++with_limit;
    const TKifRecord record = Read(lines);
    ASSERT_TRUE(record.time_limit);
    if (!HasClock(record)) continue;  // no times: it says nothing of the time used
    const size_t last = record.main_line.size() - 1;
    ASSERT_TRUE(ClockAt(record, static_cast<size_t>(record.main_line[last])));
    if (summary.empty()) continue;
    const size_t moves = !summary[0].empty() ? std::stoul(summary[0]) : last;
    // A summary of more moves than the record holds is another game's.
    if (moves > last) continue;
    // It counts the time of every row to the end (a resignation's too),
    // except in an adjourned game: there it was written before the sealed
    // move's time was counted.
    const bool sealed = record.rows[record.main_line[last]].move.ends_with(u"封じ手");
    const std::optional<TClock> clock =
        ClockAt(record, static_cast<size_t>(record.main_line[sealed ? moves : last]));
    ASSERT_TRUE(clock);
    const int64_t limit = record.time_limit->seconds;
    EXPECT_EQ(clock->remaining[0], std::max<int64_t>(limit - std::stoll(summary[1]) * 60, 0));
    EXPECT_EQ(clock->remaining[1], std::max<int64_t>(limit - std::stoll(summary[2]) * 60, 0));
    ++checked;
  }
  EXPECT_GE(with_limit, 10);
  EXPECT_GE(checked, 5);
}

}  // namespace
}  // namespace zelvaro
