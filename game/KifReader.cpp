#include "game/KifReader.h"

#include <fstream>
#include <iterator>
#include <limits>

#include "regex/untRegex.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

constexpr std::u16string_view kBr = u"<BR>";

// Characters [from, from + count) of a text, positions from 1; a range past
// the end yields fewer characters or none.
std::u16string_view Mid(std::u16string_view s, size_t from,
                        size_t count = std::u16string_view::npos) {
  if (from < 1 || from > s.size()) return {};
  return s.substr(from - 1, count);
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool Contains(std::u16string_view s, std::u16string_view key) {
  return s.find(key) != std::u16string_view::npos;
}

// An integer written in decimal with optional leading blanks and sign, as
// the record's number and time columns hold it. False when the text is no
// such integer or does not fit 32 bits.
bool ParseInt(std::string_view s, int32_t& value) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min()) {
    return false;
  }
  value = static_cast<int32_t>(v);
  return true;
}

int32_t IntOrZero(std::string_view s) {
  int32_t v = 0;
  return ParseInt(s, v) ? v : 0;
}

std::u16string Decimal(int64_t n) { return Utf8ToUtf16(std::to_string(n)); }

// The thinking-time column: "<minutes>分(計<total>分)", or empty when the line
// has no time field.
std::u16string TimeText(std::u16string_view line) {
  TRegex regex;
  regex.SetExpression(kTimePattern);
  if (!regex.Exec(Utf16ToSjis(line))) return {};
  const std::string minutes = regex.GroupText(1);
  const std::string hours = regex.GroupText(2);
  int64_t total = 0;
  if (hours > "00") total = int64_t{IntOrZero(hours)} * 60;
  total += IntOrZero(regex.GroupText(3));
  return SjisToUtf16(minutes) + u"分(計" + Decimal(total) + u"分)";
}

}  // namespace

TKifSink::~TKifSink() = default;

std::u16string CaptionFor(std::u16string_view tournament_name) {
  return u"Zelvaro - [ " + std::u16string(tournament_name) + u" ]";
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.emplace_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

std::vector<std::string> LoadRecordLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) throw EFileError("ファイル " + path + " は開けません");
  return SplitLines(bytes);
}

void TKifReader::Begin(std::u16string_view header_prefix) {
  sink_.ClearRows();
  sink_.AppendRow(kFirstRowCaption, kFirstRowMove, kFirstRowTime, kNoMark);
  header_ = header_prefix;
  comment_.clear();
}

bool TKifReader::ReadLine(std::u16string_view line, int line_number) {
  // a. Nothing to read in an empty or one-character line.
  if (line.size() <= 1) return true;
  const char16_t first = line[0];

  // b. Header line.
  if (first != u'#' && first != u'*' && first != u' ' && !StartsWith(line, u"手数") &&
      !StartsWith(line, u"まで")) {
    header_ += line;
    header_ += kBr;
  }
  // c. to e. The keys count wherever they stand, comment and # lines included.
  if (Contains(line, u"先手：")) sink_.SetSenteName(Mid(line, 4, 128));
  if (Contains(line, u"後手：")) sink_.SetGoteName(Mid(line, 4, 128));
  if (Contains(line, u"棋戦：")) sink_.SetTournamentName(Mid(line, 4, 128));

  // f. Comment line, kept whole: broadcast commentary runs to several hundred
  // characters a line.
  if (first == u'*') {
    comment_ += Mid(line, 2);
    comment_ += kBr;
  }

  // g. Move line: the comments read since the previous move belong to it.
  if (first == u' ') {
    int32_t n;
    try {
      n = ReadMoveLine(line);
    } catch (const ERangeError& e) {
      sink_.Report(u"棋譜の " + Decimal(line_number) + u" 行目で読み込みを終えました: " +
                       Utf8ToUtf16(e.Message()),
                   u"error");
      return false;
    }
    if (n != 0) {
      TPositions& positions = sink_.Positions();
      // A record that does not start at move 1 has no row n-1 yet.
      if (!comment_.empty() && n - 1 < sink_.RowCount()) sink_.SetOther(n - 1, kCommentMark);
      positions.at(n).Comment.clear();
      positions.at(n - 1).Comment = comment_;
      comment_.clear();
    }
  }
  return true;
}

void TKifReader::ReadLines(const std::vector<std::string>& sjis_lines) {
  int number = 0;
  for (const std::string& bytes : sjis_lines) {
    if (!ReadLine(SjisToUtf16(bytes), ++number)) break;
  }
}

int32_t TKifReader::ReadMoveLine(std::u16string_view line) {
  if (line.size() < 10) return 0;
  int32_t n;
  if (!ParseInt(Utf16ToSjis(Mid(line, 1, 4)), n)) return 0;
  if (n < 0 || n >= kPositionCount) {
    throw ERangeError("手数 " + std::to_string(n) + " は 0 から " +
                      std::to_string(kPositionCount - 1) + " の範囲を超えています");
  }
  std::u16string_view move = Mid(line, 6, 128);
  move = move.substr(0, move.find(u' '));

  MakePosition(n, move);

  std::u16string shown = (n % 2 != 0) ? u"▲" : u"△";
  shown += move;
  sink_.AppendRow(Decimal(n), shown, TimeText(line), kNoMark);
  return n;
}

void TKifReader::MakePosition(int32_t n, std::u16string_view move_text) {
  if (n < 1 || move_text.empty()) return;
  TPositions& positions = sink_.Positions();
  TKyokumen& position = positions.at(n);
  position.CopyBoardFrom(positions.at(n - 1));
  position.Turn = (n % 2 != 0) ? 1 : -1;
  try {
    position.ApplyMove(move_text);
  } catch (const Exception&) {
    sink_.Report(u"指し手エラー " + std::u16string(move_text), u"error");
  }
}

TKifRecord::TKifRecord() { LayOutStartingPosition(positions[0]); }

void TKifRecord::AppendRow(std::u16string_view caption, std::u16string_view move,
                           std::u16string_view time, std::u16string_view other) {
  rows.push_back(Row{std::u16string(caption), std::u16string(move), std::u16string(time),
                     std::u16string(other)});
}

void TKifRecord::SetOther(int row, std::u16string_view text) { rows.at(row).other = text; }

void TKifRecord::SetTournamentName(std::u16string_view name) {
  tournament_name = name;
  caption = CaptionFor(name);
}

void TKifRecord::Report(std::u16string_view message, std::u16string_view) {
  reports.emplace_back(message);
}

}  // namespace zelvaro
