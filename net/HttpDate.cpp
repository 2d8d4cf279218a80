#include "net/HttpDate.h"

#include <array>
#include <cstdio>
#include <vector>

#include "net/HeaderList.h"

namespace zelvaro {
namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int ToInt(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

// "hh:mm:ss" (or "hh:mm").
bool ReadTime(std::string_view token, int& h, int& m, int& s) {
  size_t c1 = token.find(':');
  if (c1 == std::string_view::npos) return false;
  size_t c2 = token.find(':', c1 + 1);
  std::string_view hh = token.substr(0, c1);
  std::string_view mm =
      token.substr(c1 + 1, c2 == std::string_view::npos ? std::string_view::npos : c2 - c1 - 1);
  std::string_view ss = c2 == std::string_view::npos ? std::string_view("0") : token.substr(c2 + 1);
  if (!AllDigits(hh) || !AllDigits(mm) || !AllDigits(ss) || hh.size() > 2 || mm.size() > 2 ||
      ss.size() > 2) {
    return false;
  }
  h = ToInt(hh);
  m = ToInt(mm);
  s = ToInt(ss);
  return h < 24 && m < 60 && s < 61;
}

}  // namespace

std::string FormatHttpDate(TDateTime when) {
  using namespace std::chrono;
  sys_days day = floor<days>(when);
  year_month_day ymd(day);
  hh_mm_ss<seconds> time(when - day);
  weekday wd(day);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                kWeekdays[wd.c_encoding()], static_cast<unsigned>(ymd.day()),
                kMonths[static_cast<unsigned>(ymd.month()) - 1], static_cast<int>(ymd.year()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::optional<TDateTime> ParseHttpDate(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t pos = 0;
  auto delimiter = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == '-'; };
  while (pos < text.size()) {
    while (pos < text.size() && delimiter(text[pos])) ++pos;
    size_t start = pos;
    while (pos < text.size() && !delimiter(text[pos])) ++pos;
    if (pos > start) tokens.push_back(text.substr(start, pos - start));
  }

  int day = -1, month = -1, year = -1, h = -1, m = 0, s = 0;
  for (std::string_view token : tokens) {
    if (h < 0 && ReadTime(token, h, m, s)) continue;
    if (month < 0 && token.size() >= 3) {
      for (size_t i = 0; i < kMonths.size(); ++i) {
        if (EqualsIgnoreCase(token.substr(0, 3), kMonths[i])) month = static_cast<int>(i) + 1;
      }
      if (month > 0) continue;
    }
    if (!AllDigits(token)) continue;
    if (day < 0 && token.size() <= 2) {
      day = ToInt(token);
    } else if (year < 0 && (token.size() == 2 || token.size() == 4)) {
      year = ToInt(token);
    }
  }
  if (day < 1 || month < 1 || year < 0 || h < 0) return std::nullopt;
  if (year < 100) year += year < 70 ? 2000 : 1900;
  using namespace std::chrono;
  year_month_day ymd{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                     std::chrono::day(static_cast<unsigned>(day))};
  if (!ymd.ok()) return std::nullopt;
  return sys_days(ymd) + hours(h) + minutes(m) + seconds(s);
}

}  // namespace zelvaro
