// A game's time limit, read from the record's header, and each side's
// remaining time at a row of the move list.
//
// The reader keeps, per row, the seconds the move took and each side's
// seconds used on the row's line (the totals the record writes, or the
// side's own times summed where it leaves them out); the remaining time is
// the limit minus that, plus the increments earned so far, never below 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelvaro {

class TKifRecord;

// Each side's clock: `seconds` for the whole game, then `byoyomi` seconds
// for every move once they are used up (0: none), and `increment` seconds
// added to a side's clock after each of its moves (a Fischer clock).
struct TTimeLimit {
  int64_t seconds = 0;
  int64_t byoyomi = 0;
  int64_t increment = 0;
  bool operator==(const TTimeLimit&) const = default;
};

// The time limit of a header: `limit` is the text after "持ち時間：",
// `byoyomi` the text after "秒読み：" when the header has such a line (it
// wins over a byo-yomi written in `limit`). Full-width digits, "＋" and "："
// count as their ASCII forms, blanks are ignored. Forms:
//   "各5時間", "6時間", "各1時間30分", "各10分"    the limit;
//   followed by "（使い切ると1分将棋）", "切れたら1分将棋", "切れたら1手60秒"
//                                                 the byo-yomi;
//   "15分+60秒"                                   the limit + byo-yomi;
//   "00:30+05"                                    m:ss of the limit + seconds of byo-yomi;
//   "30+0+5"                                      seconds: limit + byo-yomi + increment.
// Anything else, and a clock of no time at all, gives nothing.
std::optional<TTimeLimit> ParseTimeLimit(std::u16string_view limit,
                                         std::u16string_view byoyomi = {});

// "各8時間・秒読み60秒", "各30秒・1手ごとに5秒加算".
std::u16string TimeLimitText(const TTimeLimit& limit);

// Whether the record has a clock to show: a time limit, and some move with a
// time or total other than zero (a record with none says nothing of the
// time used).
bool HasClock(const TKifRecord& record);

// The clocks at row `row` (< record.rows.size()) of a record with a clock.
struct TClock {
  std::array<int64_t, 2> remaining;  // seconds left to sente, to gote
  int32_t to_move;                   // 1 sente, -1 gote
};
// Nothing when the record has no clock, or when the row is a move without a
// time field (it says nothing of the time used). Row 0 holds the full limit.
std::optional<TClock> ClockAt(const TKifRecord& record, size_t row);

// What a player's clock shows: "残り 2時間13分", "残り 9分", "残り 4分26秒",
// "残り 45秒"; "秒読み" once the limit is used up, "切れ負け" where there is
// no byo-yomi then.
std::u16string RemainingText(int64_t remaining, const TTimeLimit& limit);

}  // namespace zelvaro
