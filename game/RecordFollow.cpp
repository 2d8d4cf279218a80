#include "game/RecordFollow.h"

#include <algorithm>
#include <cstdio>

namespace zelvaro {
namespace {

// Words that end a game. 中断 and 封じ手 are not among them: the game
// resumes after them.
constexpr std::u16string_view kEndingWords[] = {
    u"投了",     u"詰み",     u"詰",       u"千日手",  u"持将棋",   u"反則勝ち",
    u"反則負け", u"切れ負け", u"時間切れ", u"不詰",    u"入玉勝ち", u"不戦勝",
    u"不戦敗",   u"引き分け", u"最大手数", u"Time-up", u"勝ち"};

std::u16string_view TrimMove(std::u16string_view move) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; };
  while (!move.empty() && blank(move.front())) move.remove_prefix(1);
  while (!move.empty() && blank(move.back())) move.remove_suffix(1);
  if (!move.empty() && (move.front() == u'▲' || move.front() == u'△' || move.front() == u'☗' ||
                        move.front() == u'☖')) {
    move.remove_prefix(1);
  }
  return move;
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Clock(std::chrono::seconds time_of_day) {
  const long long s = ((time_of_day.count() % 86400) + 86400) % 86400;
  char text[16];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return Ascii(text);
}

}  // namespace

bool EndsGame(std::u16string_view move) {
  move = TrimMove(move);
  return std::find(std::begin(kEndingWords), std::end(kEndingWords), move) !=
         std::end(kEndingWords);
}

bool RecordFinished(const TKifRecord& record) {
  if (record.main_line.size() < 2) return false;
  const size_t row = static_cast<size_t>(record.main_line.back());
  if (row == 0 || row >= record.rows.size()) return false;
  const TKifRecord::Row& last = record.rows[row];
  return !last.moved && EndsGame(last.move);
}

void TFollowPace::Succeeded(Clock::time_point now) {
  last_ = now;
  failures_ = 0;
  retry_after_.reset();
}

void TFollowPace::Failed(Clock::time_point now, std::optional<std::chrono::seconds> retry_after) {
  last_ = now;
  ++failures_;
  retry_after_.reset();
  if (retry_after && retry_after->count() >= 0) {
    retry_after_ = Duration(std::min<std::chrono::seconds>(
        *retry_after, std::chrono::duration_cast<std::chrono::seconds>(kMaxRetryAfter)));
  }
}

TFollowPace::Duration TFollowPace::Wait() const {
  Duration wait = interval_;
  if (failures_ > 0) {
    // Doubled once per failure; past the cap it stays there.
    Duration doubled = interval_;
    for (int i = 0; i < failures_ && doubled < kMaxBackOff; ++i) doubled *= 2;
    wait = std::max(interval_, std::min(doubled, kMaxBackOff));
  }
  if (retry_after_) wait = std::max(wait, *retry_after_);
  return wait;
}

std::optional<TFollowPace::Clock::time_point> TFollowPace::NextTry() const {
  if (!last_ || finished_ || interval_ <= Duration::zero()) return std::nullopt;
  return *last_ + Wait();
}

std::optional<TFollowPace::Duration> TFollowPace::Remaining(Clock::time_point now) const {
  const std::optional<Clock::time_point> next = NextTry();
  if (!next) return std::nullopt;
  if (*next <= now) return Duration::zero();
  return std::chrono::ceil<Duration>(*next - now);
}

std::u16string WaitText(std::chrono::milliseconds wait) {
  const long long seconds = std::max<long long>(0, (wait.count() + 999) / 1000);
  if (seconds < 60) return Ascii(std::to_string(seconds)) + u"秒後";
  const long long minutes = (seconds + 59) / 60;
  if (minutes < 60) return Ascii(std::to_string(minutes)) + u"分後";
  const long long hours = minutes / 60, rest = minutes % 60;
  std::u16string text = Ascii(std::to_string(hours)) + u"時間";
  if (rest > 0) text += Ascii(std::to_string(rest)) + u"分";
  return text + u"後";
}

std::u16string FailureText(std::u16string_view message,
                           std::optional<std::chrono::milliseconds> next) {
  std::u16string text = u"更新できません: ";
  text += message;
  if (next) text += u" (次は " + WaitText(*next) + u")";
  return text;
}

std::u16string FinishedText() { return u"終局"; }

std::u16string CheckedText(std::optional<std::chrono::seconds> checked,
                           std::optional<std::chrono::seconds> changed) {
  std::u16string text;
  if (checked) text = u"最終確認 " + Clock(*checked);
  if (changed) text += (text.empty() ? u"" : u" / ") + (u"最終更新 " + Clock(*changed));
  return text;
}

}  // namespace zelvaro
