#include "game/KifReader.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "game/Notation.h"
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

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string_view TrimEnd(std::u16string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == u'　')) s.remove_suffix(1);
  return s;
}

// An integer written in decimal with optional leading blanks and sign, as
// the record's time columns hold it. False when the text is no such integer
// or does not fit 32 bits.
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
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  int32_t v = 0;
  return ParseInt(s, v) ? v : 0;
}

std::u16string Decimal(int64_t n) { return Utf8ToUtf16(std::to_string(n)); }

// A move line: blanks, a decimal move number, blanks and the move text.
struct MoveLineShape {
  std::u16string_view digits;
  std::u16string_view move;  // empty when the line holds only a time field
};

bool ParseMoveLine(std::u16string_view line, MoveLineShape& shape) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  const size_t digits_at = i;
  while (i < line.size() && IsDigit(line[i])) ++i;
  if (i == digits_at || i == line.size() || !IsBlank(line[i])) return false;
  shape.digits = line.substr(digits_at, i - digits_at);
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i == line.size()) return false;
  // At most 128 characters of move text, cut at the first blank; the blanks
  // after 同 (an ideographic space, in some records ASCII ones) are no cut.
  std::u16string_view text = line.substr(i, 128);
  if (text[0] == u'(') {
    shape.move = {};
    return true;
  }
  size_t cut_from = 0;
  if (text[0] == u'同') {
    cut_from = 1;
    while (cut_from < text.size() && (text[cut_from] == u'　' || text[cut_from] == u' ')) {
      ++cut_from;
    }
  }
  const size_t cut = text.find_first_of(u" \t", cut_from);
  shape.move = text.substr(0, cut);
  return true;
}

int HandIndexOfName(char16_t name) {
  static constexpr std::u16string_view kNames = u"歩香桂銀金飛角";
  const size_t k = kNames.find(name);
  return k == std::u16string_view::npos ? -1 : static_cast<int>(k);
}

// "二" 2, "十" 10, "十八" 18; ASCII digits too. 0 when it is no number.
int32_t KanjiNumber(std::u16string_view s) {
  static constexpr std::u16string_view kUnits = u"一二三四五六七八九";
  int32_t value = 0, tens = 0;
  for (char16_t c : s) {
    if (c == u'十') {
      tens += value == 0 ? 1 : value;
      value = 0;
    } else if (const size_t u = kUnits.find(c); u != std::u16string_view::npos) {
      value = value * 10 + static_cast<int32_t>(u) + 1;
    } else if (IsDigit(c)) {
      value = value * 10 + (c - u'0');
    } else {
      return 0;
    }
    if (value > 100) return 0;
  }
  return tens * 10 + value;
}

// "飛二 角 金四", "銀四　桂四　", "なし".
void ReadHand(std::u16string_view text, std::array<int32_t, 7>& hand) {
  hand.fill(0);
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (IsBlank(text[i]) || text[i] == u'　')) ++i;
    size_t end = i;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != u'　') ++end;
    const std::u16string_view token = text.substr(i, end - i);
    i = end;
    if (token.empty()) continue;
    const int k = HandIndexOfName(token[0]);
    if (k < 0) continue;
    hand[k] += token.size() == 1 ? 1 : KanjiNumber(token.substr(1));
  }
}

// Squares the upper hand (gote) leaves empty in each handicap, 0 ends the list.
struct Handicap {
  std::u16string_view name;
  std::array<int32_t, 11> removed;
};
const Handicap kHandicaps[] = {
    {u"平手", {}},
    {u"香落ち", {11}},
    {u"右香落ち", {91}},
    {u"角落ち", {22}},
    {u"飛車落ち", {82}},
    {u"飛落ち", {82}},
    {u"飛香落ち", {82, 11}},
    {u"二枚落ち", {82, 22}},
    {u"三枚落ち", {82, 22, 11}},
    {u"四枚落ち", {82, 22, 11, 91}},
    {u"五枚落ち", {82, 22, 11, 91, 81}},
    {u"左五枚落ち", {82, 22, 11, 91, 21}},
    {u"六枚落ち", {82, 22, 11, 91, 21, 81}},
    {u"左七枚落ち", {82, 22, 11, 91, 21, 81, 31}},
    {u"右七枚落ち", {82, 22, 11, 91, 21, 81, 71}},
    {u"八枚落ち", {82, 22, 11, 91, 21, 81, 31, 71}},
    {u"十枚落ち", {82, 22, 11, 91, 21, 81, 31, 71, 41, 61}},
};

// Move texts that end a game or a reading without naming a square.
constexpr std::u16string_view kEndWords[] = {
    u"投了",     u"中断",     u"千日手",   u"持将棋", u"詰み",   u"不詰",   u"切れ負け",
    u"反則勝ち", u"反則負け", u"入玉勝ち", u"不戦勝", u"不戦敗", u"封じ手", u"Time-up"};

bool EndsWith(std::u16string_view s, std::u16string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// Appends `text` to a document unless that takes it past kMaxDocumentChars;
// then the note ends it and nothing more is added.
void AppendCut(std::u16string& document, std::u16string_view text) {
  if (EndsWith(document, kDocumentCutNote)) return;
  if (document.size() + text.size() > kMaxDocumentChars) {
    document += kDocumentCutNote;
    return;
  }
  document += text;
}

// A row of a board diagram, or the file numbers above it.
bool IsDiagramLine(std::u16string_view line) {
  if (line.empty()) return false;
  if (line[0] == u'|' || line[0] == u'+') return true;
  size_t i = 0;
  while (i < line.size() && (IsBlank(line[i]) || line[i] == u'　')) ++i;
  return i > 0 && i < line.size() && line[i] == u'９' && Contains(line, u"１");
}

// A diagram row shown as it stands: blanks kept, in a face whose half-width
// characters are half as wide as the full-width ones.
std::u16string DiagramHtml(std::u16string_view line) {
  std::u16string html = u"<font face=\"IPAGothic,monospace\">";
  for (char16_t c : TrimEnd(line)) {
    if (c == u' ') {
      html += u"&nbsp;";
    } else if (c == u'<') {
      html += u"&lt;";
    } else {
      html += c;
    }
  }
  return html + u"</font>";
}

// A header line with "\n" and "¥n" (the yen sign of Shift_JIS fonts) as line breaks.
std::u16string HeaderHtml(std::u16string_view line) {
  std::u16string html;
  for (size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if ((c == u'\\' || c == u'¥' || c == u'￥') && i + 1 < line.size() && line[i + 1] == u'n') {
      html += kBr;
      ++i;
    } else {
      html += c;
    }
  }
  return html;
}

}  // namespace

namespace {

// Whether a row's text ends the game on its line: a terminal word other than
// 封じ手, after which the game goes on the next day.
bool EndsGame(std::u16string_view move) {
  return !StartsWith(move, u"封じ手") &&
         std::any_of(std::begin(kEndWords), std::end(kEndWords),
                     [&](std::u16string_view word) { return StartsWith(move, word); });
}

}  // namespace

bool IsRecordLine(std::u16string_view line) {
  MoveLineShape move;
  if (ParseMoveLine(line, move)) {
    if (NamesDestination(move.move)) return true;
    return std::any_of(std::begin(kEndWords), std::end(kEndWords),
                       [&](std::u16string_view word) { return StartsWith(move.move, word); });
  }
  if (line.empty() || line[0] == u'*' || line[0] == u'#' || line[0] == u'&') return false;
  const size_t colon = line.find(u'：');
  return colon != std::u16string_view::npos && colon > 0 && colon <= 16 &&
         line.substr(0, colon).find_first_of(u" \t　") == std::u16string_view::npos;
}

void TKifReader::Begin(std::u16string_view header_prefix) {
  TKifRecord fresh;
  record_.rows = std::move(fresh.rows);
  record_.row_positions = std::move(fresh.row_positions);
  record_.main_line = std::move(fresh.main_line);
  record_.header_body.clear();
  record_.header_lines.clear();
  record_.reports.clear();
  record_.time_limit.reset();
  limit_text_.clear();
  byoyomi_text_.clear();
  prefix_ = header_prefix;
  time_regex_.SetExpression(kTimePattern);

  start_ = record_.row_positions[0];
  moves_begun_ = diagram_ = side_written_ = handicap_reported_ = rows_cut_ = false;
  diagram_rank_ = 0;
  first_side_ = 1;
  lines_ = {Line{0, {0}, 0}};
  variations_ = 0;
  mark_variation_ = false;
  current_row_ = 0;
  foul_report_ = -1;
  fouls_listed_ = fouls_named_size_ = 0;
  after_end_reported_ = false;
  record_.start_number = 1;
  spent_ = {{0, 0}};
}

void TKifReader::ReadLines(const std::vector<std::u16string>& lines) {
  for (const std::u16string& line : lines) ReadLine(line);
}

void TKifReader::ReadLine(std::u16string_view line) {
  if (rows_cut_) return;  // nothing past the cut is read
  // a. A lone "*" is an empty comment line; other one-character lines say nothing.
  if (line == u"*") {
    AddComment({});
    return;
  }
  if (line.size() <= 1) return;
  const char16_t first = line[0];
  MoveLineShape move;
  const bool move_line = ParseMoveLine(line, move);

  // "手数＝123" above a diagram: the moves played before the start, so the
  // next is move 124; the first move line's number takes its place.
  if (!moves_begun_ && StartsWith(line, u"手数＝")) {
    int32_t played = 0;
    for (char16_t c : Mid(line, 4, 5)) {
      if (!IsDigit(c)) break;
      played = played * 10 + (c - u'0');
    }
    if (played > 0 && played < kMaxMoveNumber) record_.start_number = played + 1;
  }
  // b. Header line; before the moves it may also describe the start. The
  // document shows the header fields and the diagram, not the lines that
  // only steer the reading.
  if (first == u' ' && IsDiagramLine(line)) AddHeader(DiagramHtml(line), line);
  if (first != u'#' && first != u'*' && first != u' ' && !move_line && !StartsWith(line, u"手数") &&
      !StartsWith(line, u"まで")) {
    if (IsDiagramLine(line)) {
      AddHeader(DiagramHtml(line), line);
    } else if (first != u'&' && !StartsWith(line, u"変化：")) {
      AddHeader(HeaderHtml(line), line);
    }
    if (!moves_begun_) {
      ReadClockLine(line);
      ReadStartLine(line);
    }
    if (StartsWith(line, u"変化：")) {
      const std::u16string_view number = Mid(line, 4);
      int32_t n = 0;
      size_t i = 0;
      for (; i < number.size() && n <= kMaxMoveNumber; ++i) {
        const char16_t c = number[i];  // ASCII or full-width digits
        if (!IsDigit(c) && !(c >= u'０' && c <= u'９')) break;
        n = n * 10 + (IsDigit(c) ? c - u'0' : c - u'０');
      }
      if (i > 0 && n <= kMaxMoveNumber) StartVariation(n);
    }
  }
  // c. to e. The keys count wherever they stand, comment and # lines included;
  // 上手 and 下手 (handicap games) only at the start of a line.
  if (Contains(line, u"先手：") || StartsWith(line, u"下手：")) {
    record_.sente_name = Mid(line, 4, 128);
  }
  if (Contains(line, u"後手：") || StartsWith(line, u"上手：")) {
    record_.gote_name = Mid(line, 4, 128);
  }
  if (Contains(line, u"棋戦：")) {
    record_.tournament_name = Mid(line, 4, 128);
    record_.caption = CaptionFor(record_.tournament_name);
  }

  // f. Comment line, kept whole: broadcast commentary runs to several hundred
  // characters a line.
  if (first == u'*') AddComment(Mid(line, 2));

  // g. Move line.
  if (move_line) {
    if (move.digits.size() > 6 || IntOrZero(Utf16ToUtf8(move.digits)) > kMaxMoveNumber) {
      record_.AddReport(u"手数 " + std::u16string(move.digits) + u" は " + Decimal(kMaxMoveNumber) +
                        u" を超えるので読みません");
      return;
    }
    if (record_.rows.size() >= kMaxRecordRows) {
      if (!rows_cut_) record_.AddReport(std::u16string(kRowsCutReport));
      rows_cut_ = true;
      return;
    }
    ReadMoveLine(IntOrZero(Utf16ToUtf8(move.digits)), move.move, line);
  }
}

void TKifReader::ReadStartLine(std::u16string_view line) {
  if (StartsWith(line, u"手合割：")) {
    const std::u16string_view name = TrimEnd(Mid(line, 5));
    const auto known = std::find_if(std::begin(kHandicaps), std::end(kHandicaps),
                                    [&](const Handicap& h) { return h.name == name; });
    if (known != std::end(kHandicaps)) {
      if (!diagram_) {
        start_.Board = {};
        LayOutStartingPosition(start_);
        for (int32_t square : known->removed) start_.Board[square] = kEmpty;
        if (!side_written_) first_side_ = known->removed[0] == 0 ? 1 : -1;
      }
    } else if (name != u"その他" && !handicap_reported_) {
      handicap_reported_ = true;
      record_.AddReport(u"手合割「" + std::u16string(name) +
                        u"」は読めないので平手の初期局面から読みます");
    }
  } else if (StartsWith(line, u"先手の持駒：") || StartsWith(line, u"下手の持駒：")) {
    ReadHand(Mid(line, 7), start_.SenteHand);
  } else if (StartsWith(line, u"後手の持駒：") || StartsWith(line, u"上手の持駒：")) {
    ReadHand(Mid(line, 7), start_.GoteHand);
  } else if (line[0] == u'|' && diagram_rank_ < 9) {
    // "| ・v歩 歩 ...|一": nine cells of two characters, file 9 first; "v" marks gote.
    if (!diagram_) start_.Board = {};
    diagram_ = true;
    const int rank = ++diagram_rank_;
    for (int column = 0; column < 9; ++column) {
      const std::u16string_view cell = Mid(line, 2 + 2 * column, 2);
      if (cell.size() < 2) break;
      const int32_t code = PieceCodeOfName(cell.substr(1, 1));
      const int32_t square = (9 - column) * 10 + rank;
      start_.Board[square] = code == 0 ? kEmpty : cell[0] == u'v' ? code + kGoteOffset : code;
    }
  } else {
    const std::u16string_view word = TrimEnd(line);
    if (word == u"先手番" || word == u"下手番" || word == u"後手番" || word == u"上手番") {
      side_written_ = true;
      first_side_ = word == u"先手番" || word == u"下手番" ? 1 : -1;
    } else {
      return;
    }
  }
  ShowStart();
}

void TKifReader::ReadClockLine(std::u16string_view line) {
  if (StartsWith(line, u"持ち時間：")) {
    limit_text_ = Mid(line, 6);
  } else if (StartsWith(line, u"秒読み：")) {
    byoyomi_text_ = Mid(line, 5);
  } else {
    return;
  }
  record_.time_limit = ParseTimeLimit(limit_text_, byoyomi_text_);
}

void TKifReader::ShowStart() {
  TKyokumen& p = record_.row_positions[0];
  p.CopyBoardFrom(start_);
  p.LastSquare = 0;
  p.Turn = first_side_;
  record_.rows[0].side_to_move = first_side_;
}

int32_t TKifReader::SideOf(int32_t number) const {
  return number % 2 != 0 ? first_side_ : -first_side_;
}

void TKifReader::StartVariation(int32_t branch_number) {
  branch_number = std::max(branch_number, 1);
  // The line it leaves is the innermost one that holds the position before
  // the branch as its own; a variation that branches at or after this one's
  // first move is done with.
  while (lines_.size() > 1 && lines_.back().base_number + 1 >= branch_number) lines_.pop_back();
  // Of the lines left, the nearest that reaches move branch_number - 1; one
  // that ends before it is no base (and encloses nothing that follows).
  while (lines_.size() > 1 &&
         (lines_.back().base_number + static_cast<int64_t>(lines_.back().rows.size()) - 1 <
              branch_number - 1 ||
          (lines_.back().ended > 0 && lines_.back().ended <= branch_number - 1))) {
    lines_.pop_back();
  }
  const Line& from = lines_.back();
  const int64_t at = std::clamp<int64_t>(branch_number - 1 - from.base_number, 0,
                                         static_cast<int64_t>(from.rows.size()) - 1);
  lines_.push_back(Line{branch_number - 1, {from.rows[static_cast<size_t>(at)]}, ++variations_});
  mark_variation_ = true;
}

void TKifReader::ReadMoveLine(int32_t number, std::u16string_view move, std::u16string_view line) {
  if (!moves_begun_) {
    moves_begun_ = true;
    // Numbers before the first move all show the start.
    if (number >= 1) {
      // A written 先手番/後手番 is the side to move at the start, whatever
      // number the first move has; only without one does an even first
      // number make it the side that does not make move 1.
      if (side_written_ && SideOf(number) != first_side_) first_side_ = -first_side_;
      lines_[0].base_number = number - 1;
      record_.main_line.assign(static_cast<size_t>(number), 0);
      record_.row_positions[0].Turn = SideOf(number);  // the side to move at the start
      record_.rows[0].side_to_move = SideOf(number);
      record_.start_number = number;
    }
  }
  Line& on = lines_.back();
  const int64_t index = int64_t{number} - 1 - on.base_number;
  // A number below the line's start (move 0, say) has no position before it
  // on the line: its row shows the one above it and extends nothing.
  const bool placed = number >= 1 && index >= 0;
  if (placed && on.ended > 0) {
    if (number <= on.ended) {
      on.ended = 0;  // the line starts again before its end
    } else if (NamesDestination(move)) {
      if (!after_end_reported_) {
        record_.AddReport(u"終局の後の指し手は読みません: " + Decimal(number) + u"手目 " +
                          std::u16string(move));
      }
      after_end_reported_ = true;
      return;
    }
  }
  int parent = current_row_;
  size_t changed_from = on.rows.size();  // the first entry of the line this move changes
  if (placed) {
    // A number the line skips shows the position before it; one it repeats
    // starts the line again from there.
    const size_t at = static_cast<size_t>(index);
    changed_from = std::min(changed_from, at + 1);
    while (on.rows.size() < at + 1) on.rows.push_back(on.rows.back());
    on.rows.resize(at + 1);
    parent = on.rows.back();
  }

  const int32_t side = SideOf(number);
  const int row = static_cast<int>(record_.rows.size());
  TKyokumen position;
  position.CopyBoardFrom(record_.row_positions[parent]);
  position.Turn = side;  // the mover is the side to move before its move
  bool moved = false;
  bool applied = false;
  if (placed && NamesDestination(move)) {
    moved = true;
    try {
      position.ApplyMove(move);
      applied = true;
    } catch (const Exception&) {
      record_.AddReport(u"指し手エラー " + std::u16string(move));
    }
  }
  // After it, the other side is to move; a row that moved nothing leaves
  // the turn where it was.
  const int32_t to_move = moved ? -side : record_.rows[static_cast<size_t>(parent)].side_to_move;
  position.Turn = to_move;
  record_.row_positions.push_back(std::move(position));
  const std::array<int64_t, 2> spent_before = spent_[static_cast<size_t>(parent)];
  spent_.push_back(spent_before);
  std::u16string shown = side == 1 ? u"▲" : u"△";
  shown += move;
  const std::array<int64_t, 2> used_before = record_.rows[static_cast<size_t>(parent)].used;
  const std::array<int32_t, 2> moves_before = record_.rows[static_cast<size_t>(parent)].moves;
  TKifRecord::Row& added = record_.rows.emplace_back();
  added.caption = Decimal(number);
  added.move = std::move(shown);
  added.side = side;
  added.used = used_before;
  added.moves = moves_before;
  if (placed && NamesDestination(move)) ++added.moves[side == 1 ? 0 : 1];
  added.time = TimeText(line, row, added);
  added.other = mark_variation_ ? kVariationMark : kNoMark;
  added.line = on.index;
  added.parent = parent;
  added.moved = moved;
  added.side_to_move = to_move;
  if (applied) ReadByRules(parent, added, move, record_.row_positions.back());
  mark_variation_ = false;
  current_row_ = row;
  if (placed && on.ended == 0 && !moved && EndsGame(move)) on.ended = number;
  if (placed) {
    on.rows.push_back(row);
    if (on.index == 0) {
      std::vector<int>& main = record_.main_line;
      main.resize(static_cast<size_t>(on.base_number) + changed_from);
      main.insert(main.end(), on.rows.begin() + static_cast<std::ptrdiff_t>(changed_from),
                  on.rows.end());
    }
  }
}

void TKifReader::AddComment(std::u16string_view text) {
  TKyokumen& position = record_.row_positions[static_cast<size_t>(current_row_)];
  AppendCut(position.Comment, std::u16string(text) + std::u16string(kBr));
  std::u16string& other = record_.rows[static_cast<size_t>(current_row_)].other;
  if (other != kFoulMark) other = kCommentMark;
}

void TKifReader::ReadByRules(int parent, TKifRecord::Row& row, std::u16string_view move,
                             const TKyokumen& after) {
  TKyokumen before;
  before.CopyBoardFrom(record_.row_positions[static_cast<size_t>(parent)]);
  before.Turn = row.side;
  const std::optional<TKifMove> read = ReadKifMove(before, move);
  if (!read) return;
  if (read->foul == TFoul::kNone) {
    TKyokumen played = before;
    PlayMove(played, read->move);
    if (played.Board == after.Board && played.SenteHand == after.SenteHand &&
        played.GoteHand == after.GoteHand) {
      row.rules_move = read->move;
    }
    return;
  }
  row.foul = read->foul;
  row.other = kFoulMark;
  const std::u16string entry =
      row.caption + u"手目 " + row.move + u"（" + std::u16string(FoulText(read->foul)) + u"）";
  if (foul_report_ < 0 && record_.reports.size() < kMaxReports) {
    foul_report_ = static_cast<int>(record_.reports.size());
    record_.AddReport(u"反則の指し手があります: " + entry);
    fouls_listed_ = 1;
    return;
  }
  if (foul_report_ < 0) {
    record_.AddReport(entry);  // counted with the rest
    return;
  }
  std::u16string& report = record_.reports[static_cast<size_t>(foul_report_)];
  // The report names kMaxReports fouls and counts the rest.
  if (fouls_listed_ < kMaxReports) {
    report += u"、" + entry;
    if (++fouls_listed_ == kMaxReports) fouls_named_size_ = report.size();
    return;
  }
  report.resize(fouls_named_size_);
  report += u"、ほか " + Decimal(static_cast<int64_t>(++fouls_listed_ - kMaxReports)) + u" 件";
}

void TKifReader::AddHeader(std::u16string_view html, std::u16string_view line) {
  if (EndsWith(record_.header_body, kDocumentCutNote)) return;
  AppendCut(record_.header_body, std::u16string(html) + std::u16string(kBr));
  if (!EndsWith(record_.header_body, kDocumentCutNote)) record_.header_lines.emplace_back(line);
}

// The thinking-time column: "<minutes>分(計<total>分)", or empty when the line
// has no time field. A field without the total counts the side's own times.
std::u16string TKifReader::TimeText(std::u16string_view line, int row, TKifRecord::Row& clock) {
  if (!time_regex_.Exec(Utf16ToSjis(line))) return {};
  const std::string minutes = time_regex_.GroupText(1);
  const size_t side = clock.side == 1 ? 0 : 1;
  int64_t& spent = spent_[static_cast<size_t>(row)][side];
  clock.seconds = int64_t{IntOrZero(minutes)} * 60 + IntOrZero(time_regex_.GroupText(2));
  spent += clock.seconds;
  int64_t total;
  if (time_regex_.MatchPos(3) >= 0) {
    total = int64_t{IntOrZero(time_regex_.GroupText(4))} * 60 + IntOrZero(time_regex_.GroupText(5));
    clock.used[side] = total * 60 + IntOrZero(time_regex_.GroupText(6));
  } else {
    total = spent / 60;
    clock.used[side] += clock.seconds;
  }
  clock.total_seconds = clock.used[side];
  return SjisToUtf16(minutes) + u"分(計" + Decimal(total) + u"分)";
}

}  // namespace zelvaro
