#include "game/RecordWriter.h"

#include <algorithm>
#include <cstdio>

#include "game/Notation.h"
#include "game/RecordUsi.h"
#include "game/Rules.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

constexpr std::u16string_view kRanks = u"一二三四五六七八九";
constexpr std::u16string_view kBr = u"<BR>";

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// The lines of a comment or of the header body ("line<BR>line<BR>").
std::vector<std::u16string> BrLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  size_t at = 0;
  for (size_t br; (br = text.find(kBr, at)) != std::u16string_view::npos; at = br + kBr.size()) {
    lines.emplace_back(text.substr(at, br - at));
  }
  if (at < text.size()) lines.emplace_back(text.substr(at));
  return lines;
}

// Header lines the writer describes itself: the start and the variations.
bool DescribesStart(std::u16string_view line) {
  for (std::u16string_view key : {u"手合割：", u"先手の持駒：", u"後手の持駒：", u"下手の持駒：",
                                  u"上手の持駒：", u"変化：", u"|", u"+-", u"  ９ ８"}) {
    if (StartsWith(line, key)) return true;
  }
  while (!line.empty() && (line.back() == u' ' || line.back() == u'　')) line.remove_suffix(1);
  return line == u"先手番" || line == u"後手番" || line == u"上手番" || line == u"下手番";
}

// "二" .. "十八": a count in hand as diagrams write it.
std::u16string KanjiCount(int32_t n) {
  static constexpr std::u16string_view kUnits = u"一二三四五六七八九";
  std::u16string s;
  if (n >= 10) {
    if (n >= 20) s += kUnits[static_cast<size_t>(n / 10 - 1)];
    s += u'十';
    n %= 10;
  }
  if (n > 0) s += kUnits[static_cast<size_t>(n - 1)];
  return s;
}

std::u16string HandText(const std::array<int32_t, 7>& hand) {
  // 飛 角 金 銀 桂 香 歩, as diagrams list them.
  static constexpr int kOrder[] = {kHandHisya, kHandKaku, kHandKin, kHandGin,
                                   kHandKei,   kHandKyo,  kHandFu};
  static constexpr std::u16string_view kNames = u"歩香桂銀金飛角";
  std::u16string s;
  for (int k : kOrder) {
    if (hand[k] <= 0) continue;
    s += kNames[static_cast<size_t>(k)];
    if (hand[k] > 1) s += KanjiCount(hand[k]);
    s += u'　';
  }
  return s.empty() ? u"なし" : s;
}

bool IsStandardStart(const TKyokumen& p) {
  TKyokumen start;
  LayOutStartingPosition(start);
  return p.Board == start.Board && p.SenteHand == start.SenteHand && p.GoteHand == start.GoteHand;
}

std::u16string Padded(std::u16string s, size_t width) {
  // Full-width characters count as two columns, as the KIF layout lines them up.
  size_t columns = 0;
  for (char16_t c : s) columns += c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) ? 1 : 2;
  if (columns < width) s.append(width - columns, u' ');
  return s;
}

std::string Printf(const char* format, long long a, long long b = 0, long long c = 0,
                   long long d = 0, long long e = 0) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, format, a, b, c, d, e);
  return buffer;
}

// "( 0:14/00:01:02)" from a row's seconds; empty without a time field.
std::u16string KifTimeField(const TKifRecord::Row& row) {
  if (row.seconds < 0) return {};
  const int64_t total = std::max<int64_t>(row.total_seconds, 0);
  return Ascii(Printf("(%2lld:%02lld/%02lld:%02lld:%02lld)", row.seconds / 60, row.seconds % 60,
                      total / 3600, total / 60 % 60, total % 60));
}

void AddComment(std::vector<std::u16string>& lines, const std::u16string& comment,
                std::u16string_view mark) {
  for (std::u16string& line : BrLines(comment)) lines.push_back(std::u16string(mark) + line);
}

// The value of the header line starting with `key`, empty when there is none.
std::u16string HeaderValue(const TKifRecord& record, std::u16string_view key) {
  for (const std::u16string& line : record.header_lines) {
    if (StartsWith(line, key)) return line.substr(key.size());
  }
  return {};
}

bool Named(const std::u16string& name) {
  return name.find_first_not_of(u" 　") != std::u16string::npos;
}

// CSA's ending for a terminal word; empty when CSA has none.
std::string CsaEnding(std::u16string_view word, int32_t side) {
  struct Entry {
    std::u16string_view word;
    const char* ending;
  };
  static constexpr Entry kEndings[] = {
      {u"投了", "%TORYO"},       {u"中断", "%CHUDAN"},     {u"千日手", "%SENNICHITE"},
      {u"切れ負け", "%TIME_UP"}, {u"Time-up", "%TIME_UP"}, {u"反則負け", "%ILLEGAL_MOVE"},
      {u"持将棋", "%JISHOGI"},   {u"入玉勝ち", "%KACHI"},  {u"詰み", "%TSUMI"},
      {u"詰", "%TSUMI"},         {u"不詰", "%FUZUMI"},     {u"引き分け", "%HIKIWAKE"},
      {u"待った", "%MATTA"},     {u"エラー", "%ERROR"},    {u"最大手数", "%MAX_MOVES"},
  };
  // The side to move wins: the other side did something not allowed.
  if (word == u"反則勝ち") return side == 1 ? "%-ILLEGAL_ACTION" : "%+ILLEGAL_ACTION";
  for (const Entry& e : kEndings) {
    if (e.word == word) return e.ending;
  }
  return {};
}

}  // namespace

std::u16string_view PieceName(int32_t code) {
  static constexpr std::u16string_view kNames[] = {u"",   u"歩",   u"と", u"香",   u"成香",
                                                   u"桂", u"成桂", u"銀", u"成銀", u"金",
                                                   u"玉", u"飛",   u"龍", u"角",   u"馬"};
  code = KindOf(code);
  return code >= 1 && code <= 14 ? kNames[code] : u"";
}

std::string_view CsaPieceName(int32_t code) {
  static constexpr std::string_view kNames[] = {"",   "FU", "TO", "KY", "NY", "KE", "NK", "GI",
                                                "NG", "KI", "OU", "HI", "RY", "KA", "UM"};
  code = KindOf(code);
  return code >= 1 && code <= 14 ? kNames[code] : "";
}

int32_t PieceOfCsaName(std::string_view letters) {
  for (int32_t code = 1; code <= 14; ++code) {
    if (CsaPieceName(code) == letters) return code;
  }
  return 0;
}

TRowMove MoveOfRow(const TKifRecord& record, int row) {
  const TKifRecord::Row& r = record.rows.at(static_cast<size_t>(row));
  const TKyokumen& after = record.row_positions.at(static_cast<size_t>(row));
  const TKyokumen& before = record.row_positions.at(static_cast<size_t>(r.parent));
  TRowMove move;
  move.side = row == 0 ? after.Turn : r.side;
  move.word =
      r.move.size() > 0 && (r.move[0] == u'▲' || r.move[0] == u'△') ? r.move.substr(1) : r.move;
  if (!NamesDestination(move.word)) return move;
  move.kind = TRowMove::kUnapplied;
  if (after.Board == before.Board && after.SenteHand == before.SenteHand &&
      after.GoteHand == before.GoteHand) {
    return move;
  }
  move.to = after.LastSquare;
  move.from = after.LastOrigin;
  if (!IsSquare(move.to) || KindOf(after.Board[move.to]) == 0) {
    return move;
  }
  const int32_t placed = KindOf(after.Board[move.to]);
  move.kind = move.from == 0 ? TRowMove::kDrop : TRowMove::kBoard;
  move.piece = move.from == 0 ? placed : KindOf(before.Board[move.from]);
  if (move.piece == 0) move.piece = placed;
  move.promote = placed != move.piece;
  // Row 0's LastSquare is no move's: a first move is never 同.
  move.same = r.parent != 0 && before.LastSquare == move.to;
  return move;
}

int32_t SideToMove(const TKifRecord& record, int row) {
  return record.rows.at(static_cast<size_t>(row)).side_to_move;
}

std::u16string KifMoveText(const TRowMove& move) {
  if (move.kind == TRowMove::kWord || move.kind == TRowMove::kUnapplied) return move.word;
  std::u16string text = move.same ? u"同　" : SquareText(move.to);
  text += PieceName(move.piece);
  if (move.kind == TRowMove::kDrop) return text + u"打";
  if (move.promote) text += u"成";
  return text + u"(" + Ascii(std::to_string(move.from)) + u")";
}

std::vector<std::u16string> BodLines(const TKyokumen& p, int32_t side_to_move) {
  static constexpr std::u16string_view kCells[] = {u"・", u"歩", u"と", u"香", u"杏",
                                                   u"桂", u"圭", u"銀", u"全", u"金",
                                                   u"玉", u"飛", u"龍", u"角", u"馬"};
  std::vector<std::u16string> lines;
  lines.push_back(u"後手の持駒：" + HandText(p.GoteHand));
  lines.push_back(u"  ９ ８ ７ ６ ５ ４ ３ ２ １");
  lines.push_back(u"+---------------------------+");
  for (int rank = 1; rank <= 9; ++rank) {
    std::u16string line = u"|";
    for (int file = 9; file >= 1; --file) {
      const int32_t code = p.Board[static_cast<size_t>(file * 10 + rank)];
      const int32_t kind = KindOf(code);
      line += code > kGoteOffset ? u'v' : u' ';
      line += kind >= 1 && kind <= 14 ? kCells[kind] : kCells[0];
    }
    line += u'|';
    line += kRanks[static_cast<size_t>(rank - 1)];
    lines.push_back(std::move(line));
  }
  lines.push_back(u"+---------------------------+");
  lines.push_back(u"先手の持駒：" + HandText(p.SenteHand));
  if (side_to_move == -1) lines.push_back(u"後手番");
  return lines;
}

namespace {

// The header lines, then the start: 手合割：平手, or a diagram with
// "後手番" when gote is to move at the start (`first_side`), as readers take
// that line whatever number the first move has.
void AddHeaderAndStart(std::vector<std::u16string>& lines, const TKifRecord& record,
                       int32_t first_side) {
  for (const std::u16string& line : record.header_lines) {
    if (!DescribesStart(line)) lines.push_back(line);
  }
  const TKyokumen& start = record.row_positions[0];
  if (IsStandardStart(start) && first_side == 1) {
    lines.push_back(u"手合割：平手");
  } else {
    for (std::u16string& line : BodLines(start, first_side)) lines.push_back(std::move(line));
  }
}

// The "まで…" line KI2 ends a line of moves with, for the terminal word of
// the row after `moves` moves; `side` is the terminal row's.
std::u16string Ki2Ending(std::u16string_view word, int32_t side, int moves) {
  const std::u16string n = Ascii(std::to_string(moves));
  const std::u16string mover = side == 1 ? u"先手" : u"後手", other = side == 1 ? u"後手" : u"先手";
  if (word == u"投了") return u"まで" + n + u"手で" + other + u"の勝ち";
  if (word == u"切れ負け" || word == u"Time-up") {
    return u"まで" + n + u"手で時間切れにより" + other + u"の勝ち";
  }
  if (word == u"反則勝ち" || word == u"反則負け")
    return u"まで" + n + u"手で" + mover + u"の" + std::u16string(word);
  if (word == u"詰み" || word == u"詰") return u"まで" + n + u"手詰";
  return u"まで" + n + u"手で" + std::u16string(word);
}

}  // namespace

std::vector<int> RowsInWritingOrder(const TKifRecord& record) {
  // The rows of each line, and the line each variation branches from: the
  // first line (in file order, before it) that has a row from the same
  // position, i.e. the move the variation stands in for.
  int count = 0;
  for (const TKifRecord::Row& r : record.rows) count = std::max(count, r.line + 1);
  std::vector<std::vector<int>> rows(static_cast<size_t>(count));
  for (size_t row = 1; row < record.rows.size(); ++row) {
    const int line = record.rows[row].line;
    if (line >= 0) rows[static_cast<size_t>(line)].push_back(static_cast<int>(row));
  }
  std::vector<int> owner(static_cast<size_t>(count), 0);
  std::vector<int> fork(static_cast<size_t>(count), -1);  // the parent row of its first move
  for (int k = 1; k < count; ++k) {
    if (rows[static_cast<size_t>(k)].empty()) continue;
    const int parent = record.rows[static_cast<size_t>(rows[static_cast<size_t>(k)][0])].parent;
    fork[static_cast<size_t>(k)] = parent;
    for (int j = 0; j < k; ++j) {
      const auto& of = rows[static_cast<size_t>(j)];
      if (std::any_of(of.begin(), of.end(), [&](int row) {
            return record.rows[static_cast<size_t>(row)].parent == parent;
          })) {
        owner[static_cast<size_t>(k)] = j;
        break;
      }
    }
  }
  // Each line, then its variations from its last move back to its first,
  // each followed at once by its own.
  std::vector<int> order;
  std::vector<bool> done(static_cast<size_t>(count), false);
  const auto emit = [&](const auto& self, int line) -> void {
    done[static_cast<size_t>(line)] = true;
    const auto& own = rows[static_cast<size_t>(line)];
    order.insert(order.end(), own.begin(), own.end());
    for (auto it = own.rbegin(); it != own.rend(); ++it) {
      const int parent = record.rows[static_cast<size_t>(*it)].parent;
      for (int k = 1; k < count; ++k) {
        if (!done[static_cast<size_t>(k)] && owner[static_cast<size_t>(k)] == line &&
            fork[static_cast<size_t>(k)] == parent) {
          self(self, k);
        }
      }
    }
  };
  emit(emit, 0);
  for (int k = 1; k < count; ++k) {
    if (!done[static_cast<size_t>(k)]) emit(emit, k);
  }
  return order;
}

std::vector<std::u16string> Ki2Lines(const TKifRecord& record) {
  std::vector<std::u16string> lines;
  // No move numbers: the start says who moves first.
  AddHeaderAndStart(lines, record, record.row_positions[0].Turn);
  AddComment(lines, record.row_positions[0].Comment, u"*");
  std::u16string moves;  // the line being filled
  int on_line = 0;
  const auto flush = [&] {
    while (!moves.empty() && moves.back() == u' ') moves.pop_back();
    if (!moves.empty()) lines.push_back(std::move(moves));
    moves.clear();
    on_line = 0;
  };
  int line_index = 0;
  for (const int row : RowsInWritingOrder(record)) {
    const TKifRecord::Row& r = record.rows[static_cast<size_t>(row)];
    if (r.line != line_index) {
      flush();
      line_index = r.line;
      lines.emplace_back();
      lines.push_back(u"変化：" + r.caption + u"手");
    }
    const TRowMove move = MoveOfRow(record, row);
    if (move.kind == TRowMove::kWord) {
      flush();
      const int number = std::stoi(Utf16ToUtf8(r.caption));
      lines.push_back(Ki2Ending(move.word, move.side, number - 1));
    } else {
      std::u16string text = r.move.substr(0, 1);
      if (move.kind == TRowMove::kUnapplied) {
        text += move.word;
      } else {
        TMove m;
        m.from = move.from;
        m.to = move.to;
        m.promote = move.promote;
        if (move.kind == TRowMove::kDrop) m.drop = move.piece;
        text = Ki2MoveText(RulesPositionOfRow(record, r.parent), m, true);
      }
      moves += Padded(text, 12);
      if (++on_line == 6) flush();
    }
    if (!record.row_positions[static_cast<size_t>(row)].Comment.empty()) {
      flush();
      AddComment(lines, record.row_positions[static_cast<size_t>(row)].Comment, u"*");
    }
  }
  flush();
  return lines;
}

std::vector<std::u16string> KifLines(const TKifRecord& record, bool utf8) {
  std::vector<std::u16string> lines;
  lines.push_back(utf8 ? u"#KIF version=2.0 encoding=UTF-8"
                       : u"#KIF version=2.0 encoding=Shift_JIS");
  if (record.rows.size() == 1 && record.start_number > 1) {
    lines.push_back(u"手数＝" + Ascii(std::to_string(record.start_number - 1)));
  }
  AddHeaderAndStart(lines, record, record.rows[0].side_to_move);
  const TKyokumen& start = record.row_positions[0];
  lines.push_back(u"手数----指手---------消費時間--");
  AddComment(lines, start.Comment, u"*");
  int line_index = 0;
  for (const int row : RowsInWritingOrder(record)) {
    const TKifRecord::Row& r = record.rows[static_cast<size_t>(row)];
    if (r.line != line_index) {
      line_index = r.line;
      lines.emplace_back();
      lines.push_back(u"変化：" + r.caption + u"手");
    }
    const TRowMove move = MoveOfRow(record, row);
    std::u16string text(r.caption.size() < 4 ? 4 - r.caption.size() : 0, u' ');
    text += r.caption + u" " + Padded(KifMoveText(move), 14) + u" " + KifTimeField(r);
    while (!text.empty() && text.back() == u' ') text.pop_back();
    lines.push_back(std::move(text));
    AddComment(lines, record.row_positions[static_cast<size_t>(row)].Comment, u"*");
  }
  return lines;
}

std::vector<std::u16string> CsaLines(const TKifRecord& record) {
  std::vector<std::u16string> lines = {u"'encoding=Shift_JIS", u"V2.2"};
  if (Named(record.sente_name)) lines.push_back(u"N+" + record.sente_name);
  if (Named(record.gote_name)) lines.push_back(u"N-" + record.gote_name);
  if (!record.tournament_name.empty()) lines.push_back(u"$EVENT:" + record.tournament_name);
  struct Key {
    std::u16string_view header, csa;
  };
  for (const Key& key : {Key{u"開始日時：", u"$START_TIME:"}, Key{u"終了日時：", u"$END_TIME:"},
                         Key{u"場所：", u"$SITE:"}, Key{u"持ち時間：", u"$TIME_LIMIT:"},
                         Key{u"戦型：", u"$OPENING:"}}) {
    const std::u16string value = HeaderValue(record, key.header);
    if (!value.empty()) lines.push_back(std::u16string(key.csa) + value);
  }
  const TKyokumen& start = record.row_positions[0];
  if (IsStandardStart(start)) {
    lines.push_back(u"PI");
  } else {
    for (int rank = 1; rank <= 9; ++rank) {
      std::string line = "P" + std::to_string(rank);
      for (int file = 9; file >= 1; --file) {
        const int32_t code = start.Board[static_cast<size_t>(file * 10 + rank)];
        line += KindOf(code) == 0 || CsaPieceName(code).empty()
                    ? std::string(" * ")
                    : (code > kGoteOffset ? "-" : "+") + std::string(CsaPieceName(code));
      }
      lines.push_back(Ascii(line));
    }
    static constexpr int32_t kHandPieces[] = {kFu, kKyo, kKei, kGin, kKin, kHisya, kKaku};
    for (int32_t side : {1, -1}) {
      const auto& hand = side == 1 ? start.SenteHand : start.GoteHand;
      std::string line = side == 1 ? "P+" : "P-";
      for (int k = 0; k < 7; ++k) {
        for (int32_t n = 0; n < hand[k]; ++n)
          line += "00" + std::string(CsaPieceName(kHandPieces[k]));
      }
      if (line.size() > 2) lines.push_back(Ascii(line));
    }
  }
  lines.push_back(record.row_positions[0].Turn == -1 ? u"-" : u"+");
  AddComment(lines, start.Comment, u"'*");
  for (size_t n = 1; n < record.main_line.size(); ++n) {
    const int row = record.main_line[n];
    if (row == record.main_line[n - 1]) continue;  // a number the record skips
    const TKifRecord::Row& r = record.rows[static_cast<size_t>(row)];
    const TRowMove move = MoveOfRow(record, row);
    std::string statement;
    if (move.kind == TRowMove::kBoard || move.kind == TRowMove::kDrop) {
      const int32_t after = move.promote ? move.piece + 1 : move.piece;
      statement = (move.side == 1 ? "+" : "-") + Printf("%02lld%02lld", move.from, move.to) +
                  std::string(CsaPieceName(after));
    } else if (move.kind == TRowMove::kWord) {
      statement = CsaEnding(move.word, move.side);
    }
    // A word CSA has no ending for (封じ手), or a move that could not be
    // applied, has no statement: the game goes on with the next row.
    if (!statement.empty()) {
      lines.push_back(Ascii(statement));
      if (r.seconds >= 0) lines.push_back(u"T" + Ascii(std::to_string(r.seconds)));
    }
    AddComment(lines, record.row_positions[static_cast<size_t>(row)].Comment, u"'*");
  }
  return lines;
}

std::u16string JoinLines(const std::vector<std::u16string>& lines, std::u16string_view eol) {
  std::u16string text;
  for (const std::u16string& line : lines) {
    text += line;
    text += eol;
  }
  return text;
}

std::string WriteRecord(const TKifRecord& record, TRecordFormat format) {
  switch (format) {
    case TRecordFormat::kKif:
      return Utf16ToSjis(JoinLines(KifLines(record, false), u"\r\n"));
    case TRecordFormat::kKifu:
      return Utf16ToUtf8(JoinLines(KifLines(record, true), u"\r\n"));
    case TRecordFormat::kCsa:
      return Utf16ToSjis(JoinLines(CsaLines(record), u"\n"));
    case TRecordFormat::kKi2:
      return Utf16ToSjis(JoinLines(Ki2Lines(record), u"\r\n"));
    default:
      throw EConvertError("この形式では書き出せません");
  }
}

}  // namespace zelvaro
