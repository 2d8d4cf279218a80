#include "game/RecordFormat.h"

#include <algorithm>
#include <cctype>

namespace zelvaro {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// "   1 ７六歩(77)": blanks, a decimal number, a blank and more.
bool IsKifMoveLine(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  const size_t digits = i;
  while (i < line.size() && IsDigit(line[i])) ++i;
  if (i == digits || i == line.size() || (line[i] != ' ' && line[i] != '\t')) return false;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return i < line.size();
}

// One CSA statement that no other format has.
bool IsCsaStatement(std::string_view s) {
  if (s.size() >= 7 && (s[0] == '+' || s[0] == '-') && IsDigit(s[1]) && IsDigit(s[2]) &&
      IsDigit(s[3]) && IsDigit(s[4]) && IsUpper(s[5]) && IsUpper(s[6])) {
    return true;
  }
  if (s == "PI" || (s.rfind("PI", 0) == 0 && s.size() >= 6 && IsDigit(s[2]))) return true;
  if (s.size() >= 5 && s[0] == 'P' && s[1] >= '1' && s[1] <= '9' &&
      (s[2] == '+' || s[2] == '-' || s.substr(2, 3) == " * ")) {
    return true;
  }
  if (s.size() >= 2 && s[0] == 'V' && (s[1] == '2' || s[1] == '3')) return true;
  if (s.size() >= 3 && s[0] == 'N' && (s[1] == '+' || s[1] == '-')) return true;
  if (s.size() >= 3 && s[0] == '%' && IsUpper(s[1])) return true;
  if (s.size() >= 3 && s[0] == '$' && IsUpper(s[1]) && s.find(':') != std::string_view::npos) {
    return true;
  }
  return false;
}

// "▲" "△" "▼" "▽" "☗" "☖" at the start of a line, in CP932 or UTF-8, and what follows.
bool IsKi2MoveLine(std::string_view line) {
  line = TrimBlanks(line);
  for (std::string_view mark :
       {"\x81\xa3", "\x81\xa2", "\x81\xa5", "\x81\xa4", "\xe2\x96\xb2", "\xe2\x96\xb3",
        "\xe2\x96\xbc", "\xe2\x96\xbd", "\xe2\x98\x97", "\xe2\x98\x96"}) {
    if (line.substr(0, mark.size()) == mark && line.size() > mark.size() + 1) return true;
  }
  return false;
}

bool IsSfenBoard(std::string_view s) {
  if (std::count(s.begin(), s.end(), '/') != 8) return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return c == '/' || c == '+' || (c >= '1' && c <= '9') ||
           std::string_view("plnsgbrkPLNSGBRK").find(c) != std::string_view::npos;
  });
}

}  // namespace

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), s.end() - suffix.size(),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

std::optional<TRecordFormat> FormatByContent(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  int kif = 0, csa = 0, ki2 = 0;
  // Lines that could be CSA (a statement's first letter, a comment, "/")
  // among those that are not empty: a CSA record is made of nothing else.
  int csa_shaped = 0, filled = 0;
  bool first = true;
  for (const std::string& whole : SplitLines(bytes.substr(0, 1 << 20))) {
    const std::string_view line = TrimBlanks(whole);
    if (line.empty()) continue;
    if (first) {
      first = false;
      if (line.rfind("position ", 0) == 0) return TRecordFormat::kUsi;
      if (line.rfind("sfen ", 0) == 0 || line == "startpos" || line.rfind("startpos ", 0) == 0 ||
          IsSfenBoard(line.substr(0, line.find(' ')))) {
        return TRecordFormat::kSfen;
      }
    }
    ++filled;
    if (std::string_view("VNP$+-T%'/").find(line[0]) != std::string_view::npos) ++csa_shaped;
    if (whole[0] == '*' || whole[0] == '#') continue;
    if (IsKifMoveLine(whole)) ++kif;
    if (IsKi2MoveLine(whole)) ++ki2;
    if (line[0] != '\'') {
      const std::string_view statement = line.substr(0, line.find(','));
      if (IsCsaStatement(statement)) ++csa;
    }
  }
  // Text that only here and there starts like a statement (random text
  // holds "N+" or "$X:" lines by chance) is no CSA record.
  if (csa > 0 && kif == 0 && ki2 == 0 && csa_shaped * 10 >= filled * 9) return TRecordFormat::kCsa;
  if (kif > 0) return TRecordFormat::kKif;
  if (ki2 > 0) return TRecordFormat::kKi2;
  return std::nullopt;
}

TRecordFormat DetectRecordFormat(std::string_view bytes, std::string_view file_name) {
  if (const std::optional<TRecordFormat> format = FormatByContent(bytes)) return *format;
  if (EndsWithNoCase(file_name, ".csa")) return TRecordFormat::kCsa;
  if (EndsWithNoCase(file_name, ".ki2") || EndsWithNoCase(file_name, ".ki2u")) {
    return TRecordFormat::kKi2;
  }
  if (EndsWithNoCase(file_name, ".sfen")) return TRecordFormat::kSfen;
  if (EndsWithNoCase(file_name, ".usi")) return TRecordFormat::kUsi;
  return TRecordFormat::kKif;
}

bool FormatOfFileName(std::string_view file_name, TRecordFormat& format) {
  static constexpr std::pair<std::string_view, TRecordFormat> kExtensions[] = {
      {".kif", TRecordFormat::kKif},
      {".kifu", TRecordFormat::kKifu},
      {".ki2", TRecordFormat::kKi2},
      {".csa", TRecordFormat::kCsa}};
  for (const auto& [extension, f] : kExtensions) {
    if (EndsWithNoCase(file_name, extension)) {
      format = f;
      return true;
    }
  }
  return false;
}

std::string_view FormatName(TRecordFormat format) {
  switch (format) {
    case TRecordFormat::kKif:
      return "KIF";
    case TRecordFormat::kKifu:
      return "KIFU";
    case TRecordFormat::kKi2:
      return "KI2";
    case TRecordFormat::kCsa:
      return "CSA";
    case TRecordFormat::kSfen:
      return "SFEN";
    case TRecordFormat::kUsi:
      return "USI";
  }
  return "KIF";
}

}  // namespace zelvaro
