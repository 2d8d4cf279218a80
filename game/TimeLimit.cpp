#include "game/TimeLimit.h"

#include <algorithm>

#include "game/Record.h"

namespace zelvaro {
namespace {

// More digits than this in one number is no time a game is played with.
constexpr size_t kMaxDigits = 7;

// Full-width digits, "＋" and "：" as ASCII; blanks of either width dropped.
std::u16string Normalized(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c >= u'０' && c <= u'９') {
      out += static_cast<char16_t>(u'0' + (c - u'０'));
    } else if (c == u'＋') {
      out += u'+';
    } else if (c == u'：') {
      out += u':';
    } else if (c != u' ' && c != u'\t' && c != u'　') {
      out += c;
    }
  }
  return out;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A run of digits at `at`, moving past it.
std::optional<int64_t> Number(std::u16string_view s, size_t& at) {
  size_t end = at;
  while (end < s.size() && IsDigit(s[end])) ++end;
  if (end == at || end - at > kMaxDigits) return std::nullopt;
  int64_t value = 0;
  for (size_t i = at; i < end; ++i) value = value * 10 + (s[i] - u'0');
  at = end;
  return value;
}

bool Take(std::u16string_view s, size_t& at, std::u16string_view word) {
  if (s.substr(at, word.size()) != word) return false;
  at += word.size();
  return true;
}

// "1時間30分", "10分", "60秒", "5分30秒" at `at`, moving past it.
std::optional<int64_t> Duration(std::u16string_view s, size_t& at) {
  static constexpr std::pair<std::u16string_view, int64_t> kUnits[] = {
      {u"時間", 3600}, {u"分", 60}, {u"秒", 1}};
  size_t i = at;
  int64_t total = 0;
  bool any = false;
  for (const auto& [unit, factor] : kUnits) {
    size_t j = i;
    const std::optional<int64_t> n = Number(s, j);
    if (!n || !Take(s, j, unit)) continue;
    total += *n * factor;
    i = j;
    any = true;
  }
  if (!any) return std::nullopt;
  at = i;
  return total;
}

// The byo-yomi a limit's text mentions after the limit: "1分将棋",
// "30秒将棋", "1手60秒", "秒読み30秒".
std::optional<int64_t> ByoyomiIn(std::u16string_view s) {
  for (size_t at = 0; at < s.size(); ++at) {
    size_t i = at;
    if (Take(s, i, u"1手") || Take(s, i, u"秒読み")) {
      if (const auto d = Duration(s, i)) return d;
      continue;
    }
    if (!IsDigit(s[at]) || (at > 0 && IsDigit(s[at - 1]))) continue;
    const std::optional<int64_t> d = Duration(s, i);
    if (d && Take(s, i, u"将棋")) return d;
  }
  return std::nullopt;
}

// "a+b" or "a+b+c" wholly of numbers.
bool Numbers(std::u16string_view s, size_t at, std::array<int64_t, 3>& out, size_t& count) {
  count = 0;
  while (count < out.size()) {
    const auto n = Number(s, at);
    if (!n) return false;
    out[count++] = *n;
    if (at == s.size()) return true;
    if (!Take(s, at, u"+")) return false;
  }
  return false;
}

std::optional<TTimeLimit> ParseLimit(std::u16string_view s) {
  size_t at = 0;
  Take(s, at, u"各");
  // "00:30+05": minutes:seconds of the limit, then seconds of byo-yomi.
  {
    size_t i = at;
    const auto minutes = Number(s, i);
    if (minutes && Take(s, i, u":")) {
      const auto seconds = Number(s, i);
      if (!seconds || !Take(s, i, u"+")) return std::nullopt;
      const auto byoyomi = Number(s, i);
      if (!byoyomi || i != s.size()) return std::nullopt;
      return TTimeLimit{*minutes * 60 + *seconds, *byoyomi, 0};
    }
  }
  // "30+0+5": seconds of the limit, of byo-yomi and of the increment.
  std::array<int64_t, 3> numbers{};
  size_t count = 0;
  if (Numbers(s, at, numbers, count)) {
    if (count != 3) return std::nullopt;
    return TTimeLimit{numbers[0], numbers[1], numbers[2]};
  }
  const std::optional<int64_t> limit = Duration(s, at);
  if (!limit) return std::nullopt;
  TTimeLimit result{*limit, 0, 0};
  if (Take(s, at, u"+")) {
    // "15分+60秒" (and what follows, such as "+10回", adds nothing to the clock).
    const auto byoyomi = Duration(s, at);
    if (!byoyomi) return std::nullopt;
    result.byoyomi = *byoyomi;
  } else if (const auto byoyomi = ByoyomiIn(s.substr(at))) {
    result.byoyomi = *byoyomi;
  }
  return result;
}

std::u16string Decimal(int64_t n) {
  std::u16string out;
  const std::string digits = std::to_string(n);
  out.assign(digits.begin(), digits.end());
  return out;
}

// "8時間", "1時間30分", "10分", "4分26秒", "45秒"; "0秒" for none.
std::u16string DurationText(int64_t seconds) {
  const int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  std::u16string out;
  if (h > 0) out += Decimal(h) + u"時間";
  if (m > 0) out += Decimal(m) + u"分";
  if (s > 0 || out.empty()) out += Decimal(s) + u"秒";
  return out;
}

}  // namespace

std::optional<TTimeLimit> ParseTimeLimit(std::u16string_view limit, std::u16string_view byoyomi) {
  std::optional<TTimeLimit> result = ParseLimit(Normalized(limit));
  if (!result) return std::nullopt;
  const std::u16string line = Normalized(byoyomi);
  if (!line.empty()) {
    size_t at = 0;
    if (const auto seconds = Duration(line, at)) {
      result->byoyomi = *seconds;
    } else if (line == u"なし") {
      result->byoyomi = 0;
    }
  }
  if (result->seconds == 0 && result->byoyomi == 0 && result->increment == 0) return std::nullopt;
  return result;
}

std::u16string TimeLimitText(const TTimeLimit& limit) {
  std::u16string text = u"各" + DurationText(limit.seconds);
  if (limit.byoyomi > 0) text += u"・秒読み" + DurationText(limit.byoyomi);
  if (limit.increment > 0) text += u"・1手ごとに" + DurationText(limit.increment) + u"加算";
  return text;
}

bool HasClock(const TKifRecord& record) {
  if (!record.time_limit) return false;
  return std::any_of(record.rows.begin(), record.rows.end(), [](const TKifRecord::Row& row) {
    return row.seconds > 0 || row.used[0] > 0 || row.used[1] > 0;
  });
}

std::optional<TClock> ClockAt(const TKifRecord& record, size_t row) {
  if (row >= record.rows.size() || !HasClock(record)) return std::nullopt;
  const TKifRecord::Row& r = record.rows[row];
  if (row > 0 && r.seconds < 0) return std::nullopt;
  const TTimeLimit& limit = *record.time_limit;
  TClock clock{};
  for (int side = 0; side < 2; ++side) {
    clock.remaining[side] =
        std::max<int64_t>(limit.seconds + limit.increment * r.moves[side] - r.used[side], 0);
  }
  clock.to_move = row == 0 ? record.row_positions[0].Turn : -r.side;
  return clock;
}

std::u16string RemainingText(int64_t remaining, const TTimeLimit& limit) {
  if (remaining <= 0) return limit.byoyomi > 0 ? u"秒読み" : u"切れ負け";
  if (remaining >= 3600) {
    const int64_t minutes = remaining / 60 % 60;
    return u"残り " + Decimal(remaining / 3600) + u"時間" +
           (minutes > 0 ? Decimal(minutes) + u"分" : u"");
  }
  return u"残り " + DurationText(remaining);
}

}  // namespace zelvaro
