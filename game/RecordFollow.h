// How a record followed by its address is asked for: when the next
// download is due (the chosen interval; after failures twice as long each
// time, up to kMaxBackOff; at least what a server's Retry-After asks for,
// up to kMaxRetryAfter), whether the game has ended so that following
// stops, and the caption texts that tell the user about it.
//
// Nothing here reads a clock: the caller gives the times, so the rules are
// the same for the window, the command line and tests.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "game/KifReader.h"

namespace zelvaro {

// Whether `move` (a row's move text, with or without its ▲/△) is a word
// that ends the game: 投了, 詰み, 千日手, 持将棋, 反則勝ち, ... but not 中断
// or 封じ手, after which the game goes on.
bool EndsGame(std::u16string_view move);

// Whether the record's main line ends in such a word.
bool RecordFinished(const TKifRecord& record);

class TFollowPace {
 public:
  using Clock = std::chrono::steady_clock;
  using Duration = std::chrono::milliseconds;

  // The longest wait failures lead to (unless the interval is longer).
  static constexpr Duration kMaxBackOff = std::chrono::minutes(10);
  // The longest Retry-After honoured.
  static constexpr Duration kMaxRetryAfter = std::chrono::hours(1);

  explicit TFollowPace(Duration interval = Duration::zero()) : interval_(interval) {}

  // The chosen interval between two downloads (zero: none are scheduled).
  void SetInterval(Duration interval) { interval_ = interval; }
  Duration Interval() const { return interval_; }

  // A download ended at `now`: it succeeded (new record or unchanged).
  void Succeeded(Clock::time_point now);
  // A download ended at `now` and failed; `retry_after` is the wait a 429
  // or 503 asked for, if any.
  void Failed(Clock::time_point now,
              std::optional<std::chrono::seconds> retry_after = std::nullopt);

  // Failed downloads since the last success.
  int Failures() const { return failures_; }
  // The wait after the last download: the interval after a success; after
  // n failures 2^n times the interval, at most kMaxBackOff (never less than
  // the interval), and at least the Retry-After (at most kMaxRetryAfter).
  Duration Wait() const;
  // When the next download is due; nothing before the first download, with
  // no interval, or once the game has ended.
  std::optional<Clock::time_point> NextTry() const;
  // How long until the next download is due (zero when it is), if one is.
  std::optional<Duration> Remaining(Clock::time_point now) const;

  // The game has ended (or goes on after all, after a correction): no
  // download is due by the interval while it is over. A download the user
  // asks for (F5) is always made at once; the caller decides that.
  void SetFinished(bool finished) { finished_ = finished; }
  bool Finished() const { return finished_; }

 private:
  Duration interval_;
  int failures_ = 0;
  std::optional<Duration> retry_after_;
  std::optional<Clock::time_point> last_;
  bool finished_ = false;
};

// The wait as a caption says it: 「45秒後」, 「2分後」 (minutes rounded up),
// 「1時間後」.
std::u16string WaitText(std::chrono::milliseconds wait);

// 「更新できません: MESSAGE (次は 2分後)」; without a next try, no
// parenthesis.
std::u16string FailureText(std::u16string_view message,
                           std::optional<std::chrono::milliseconds> next);

// 「終局」.
std::u16string FinishedText();

// 「最終確認 14:03:10 / 最終更新 14:02:40」 from the times of day (seconds
// since midnight, local time) of the last check and the last change; a
// part without its time is left out.
std::u16string CheckedText(std::optional<std::chrono::seconds> checked,
                           std::optional<std::chrono::seconds> changed);

}  // namespace zelvaro
