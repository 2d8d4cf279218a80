#include "game/Ki2Reader.h"

#include <algorithm>

#include "game/Notation.h"
#include "game/RecordWriter.h"
#include "game/Rules.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

// The side marks records use: ▲ ☗ ▼ for sente, △ ☖ ▽ for gote.
constexpr std::u16string_view kMarks = u"▲△☗☖▼▽";
constexpr std::u16string_view kWords = u"右左直上引寄打";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'　'; }

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::u16string_view TrimStart(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

// The forms records write alike: 龍/竜, 王/玉, 全 圭 杏, blanks anywhere.
std::u16string Normalized(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) {
    if (IsBlank(c)) continue;
    switch (c) {
      case u'龍':
        out += u'竜';
        break;
      case u'王':
        out += u'玉';
        break;
      case u'全':
        out += u"成銀";
        break;
      case u'圭':
        out += u"成桂";
        break;
      case u'杏':
        out += u"成香";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// The square, piece and 成 of a move text, its position words left out; a
// move written without 成 is one that does not promote.
std::u16string Base(std::u16string s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s.compare(i, 2, u"不成") == 0) {
      ++i;
      continue;
    }
    if (kWords.find(s[i]) == std::u16string_view::npos) out += s[i];
  }
  return out;
}

std::u16string WordsOf(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) {
    if (kWords.find(c) != std::u16string_view::npos) out += c;
  }
  return out;
}

// Fouls a piece can still commit: the move is made, and the record shows it.
bool PhysicallyPossible(TFoul foul) {
  return foul == TFoul::kNone || foul == TFoul::kLeavesKingInCheck || foul == TFoul::kNifu ||
         foul == TFoul::kUchifuzume || foul == TFoul::kDeadPiece;
}

// The moves of the side to move to `to` that a piece can make.
std::vector<TMove> Candidates(const TKyokumen& p, int32_t to) {
  std::vector<TMove> out;
  for (int32_t from = 11; from <= 99; ++from) {
    if (!IsSquare(from) || OwnerOf(p.Board[static_cast<size_t>(from)]) != p.Turn) continue;
    for (bool promote : {false, true}) {
      TMove m;
      m.from = from;
      m.to = to;
      m.promote = promote;
      if (PhysicallyPossible(CheckMove(p, m))) out.push_back(m);
    }
  }
  for (int32_t kind : {kFu, kKyo, kKei, kGin, kKin, kHisya, kKaku}) {
    TMove m;
    m.to = to;
    m.drop = kind;
    if (PhysicallyPossible(CheckMove(p, m))) out.push_back(m);
  }
  return out;
}

// The one move among `moves` (legal ones first), if there is one.
std::optional<TMove> Only(const TKyokumen& p, const std::vector<TMove>& moves) {
  if (moves.size() == 1) return moves[0];
  std::vector<TMove> legal;
  for (const TMove& m : moves) {
    if (IsLegal(p, m)) legal.push_back(m);
  }
  if (legal.size() == 1) return legal[0];
  return std::nullopt;
}

// The move a KI2 text names in `p` (Turn the side to move).
std::optional<TMove> Resolve(const TKyokumen& p, std::u16string_view text) {
  int32_t to = 0;
  if (!text.empty() && text[0] == u'同') {
    to = p.LastSquare;
  } else {
    to = SquareOfText(text);
  }
  if (!IsSquare(to)) return std::nullopt;
  const std::u16string written = Normalized(text);
  std::vector<TMove> exact, base;
  const std::u16string written_base = Base(written);
  std::vector<std::u16string> texts;
  const std::vector<TMove> moves = Candidates(p, to);
  for (const TMove& m : moves) {
    const std::u16string generated = Normalized(Ki2MoveText(p, m, false));
    if (generated == written) exact.push_back(m);
    if (Base(generated) == written_base) {
      base.push_back(m);
      texts.push_back(generated);
    }
  }
  if (!exact.empty()) return Only(p, exact);
  if (base.empty()) return std::nullopt;
  if (auto only = Only(p, base)) return only;
  // Words written where none were needed, or fewer than the rules ask:
  // the moves whose words the written ones all name.
  const std::u16string words = WordsOf(written);
  std::vector<TMove> named;
  for (size_t i = 0; i < base.size(); ++i) {
    const std::u16string own = WordsOf(texts[i]);
    if (!words.empty() && std::all_of(words.begin(), words.end(), [&](char16_t c) {
          return c == u'打' ? base[i].IsDrop() : own.find(c) != std::u16string::npos;
        })) {
      named.push_back(base[i]);
    }
  }
  return Only(p, named);
}

// A move's square as the rules texts write it: "26歩", "2六歩" and "２６歩"
// (the file a half-width digit, the rank a digit) read as "２六歩".
std::u16string WithKanjiRank(std::u16string_view move) {
  auto digit = [](char16_t c) -> int {
    if (c >= u'1' && c <= u'9') return c - u'0';
    if (c >= u'１' && c <= u'９') return c - u'０';
    return 0;
  };
  if (move.size() < 2 || digit(move[0]) == 0) return std::u16string(move);
  const size_t kanji = std::u16string_view(u"一二三四五六七八九").find(move[1]);
  const int rank =
      kanji != std::u16string_view::npos ? static_cast<int>(kanji) + 1 : digit(move[1]);
  if (rank == 0) return std::u16string(move);
  return SquareText(digit(move[0]) * 10 + rank) + std::u16string(move.substr(2));
}

// The terminal word a "まで…" line ends in, empty for none.
std::u16string EndingOf(std::u16string_view line) {
  struct Entry {
    std::u16string_view key, word;
  };
  static constexpr Entry kEndings[] = {
      {u"中断", u"中断"},         {u"千日手", u"千日手"},     {u"持将棋", u"持将棋"},
      {u"時間切れ", u"切れ負け"}, {u"切れ負け", u"切れ負け"}, {u"反則勝ち", u"反則勝ち"},
      {u"反則負け", u"反則負け"}, {u"不詰", u"不詰"},         {u"詰", u"詰み"},
      {u"入玉", u"入玉勝ち"},     {u"勝ち", u"投了"},
  };
  for (const Entry& e : kEndings) {
    if (line.find(e.key) != std::u16string_view::npos) return std::u16string(e.word);
  }
  return {};
}

class Ki2Converter {
 public:
  TKi2Conversion Convert(const std::vector<std::u16string>& lines) {
    std::vector<std::u16string> head;
    for (const std::u16string& line : lines) {
      if (Full()) break;
      const std::u16string_view trimmed = TrimStart(line);
      const bool moves = !trimmed.empty() && kMarks.find(trimmed[0]) != std::u16string_view::npos;
      if (moves) {
        if (lines_.empty()) Start(head);
        Moves(trimmed);
        continue;
      }
      if (lines_.empty()) head.push_back(line);
      if (!lines_.empty() && StartsWith(line, u"変化：")) {
        // "変化：   3手": the KIF reader takes the number right after the colon.
        const int32_t n = Variation(line);
        if (n > 0) {
          out_.kif_lines.push_back(u"変化：" + Utf8ToUtf16(std::to_string(n)) + u"手");
          continue;
        }
      }
      if (!lines_.empty() && StartsWith(line, u"まで")) {
        const std::u16string word = EndingOf(line);
        if (!word.empty() && !lines_.back().ended) {
          Emit(word, word, Current(), false);
          lines_.back().ended = true;
        }
      }
      out_.kif_lines.push_back(line);
    }
    return std::move(out_);
  }

 private:
  struct Line {
    int32_t base;                      // the number before its first move
    std::vector<TKyokumen> positions;  // [i]: before move base + 1 + i, Turn the side to move
    bool ended = false;                // a "まで" line has ended it
  };

  // The start as the KIF reader reads the header lines.
  void Start(const std::vector<std::u16string>& head) {
    TKifRecord scratch;
    TKifReader reader(scratch);
    reader.Begin(u"");
    reader.ReadLines(head);
    TKyokumen start;
    start.CopyBoardFrom(scratch.row_positions[0]);
    start.Turn = first_side_ = scratch.row_positions[0].Turn;
    start.LastSquare = 0;
    lines_.push_back(Line{0, {start}});
  }

  const TKyokumen& Current() const { return lines_.back().positions.back(); }
  // The KIF reader reads no rows past kMaxRecordRows: the move that makes it
  // report the cut is the last one converted.
  bool Full() const { return out_.written.size() >= kMaxRecordRows; }

  // Starts the variation a "変化：N手" line opens; returns N, 0 when unread.
  int32_t Variation(std::u16string_view line) {
    int32_t n = 0;
    size_t digits = 0;
    for (char16_t c : line.substr(3)) {
      if (IsBlank(c) && digits == 0) continue;
      if (c >= u'0' && c <= u'9') {
        n = n * 10 + (c - u'0');
      } else if (c >= u'０' && c <= u'９') {
        n = n * 10 + (c - u'０');
      } else {
        break;
      }
      if (++digits > 6) return 0;
    }
    if (digits == 0) return 0;
    n = std::max(n, 1);
    while (lines_.size() > 1 && lines_.back().base + 1 >= n) lines_.pop_back();
    // As the KIF reader: a line that ends before move n - 1, or on a
    // terminal word there, holds no move n - 1.
    while (lines_.size() > 1 &&
           (lines_.back().base + static_cast<int64_t>(lines_.back().positions.size()) - 1 < n - 1 ||
            (lines_.back().ended &&
             lines_.back().base + static_cast<int64_t>(lines_.back().positions.size()) - 1 <=
                 n - 1))) {
      lines_.pop_back();
    }
    const Line& from = lines_.back();
    const int64_t at =
        std::clamp<int64_t>(n - 1 - from.base, 0, static_cast<int64_t>(from.positions.size()) - 1);
    lines_.push_back(Line{n - 1, {from.positions[static_cast<size_t>(at)]}});
    return n;
  }

  // "▲７六歩    △３四歩 ▲同　歩": each move from its mark to the next.
  void Moves(std::u16string_view text) {
    while (!text.empty() && !Full()) {
      size_t next = text.find_first_of(kMarks, 1);
      if (next == std::u16string_view::npos) next = text.size();
      std::u16string_view move = text.substr(1, next - 1);
      while (!move.empty() && IsBlank(move.back())) move.remove_suffix(1);
      if (!move.empty()) Move(move);
      text = TrimStart(text.substr(next));
    }
  }

  void Move(std::u16string_view text) {
    const std::u16string written = WithKanjiRank(text);
    if (lines_.back().ended) {
      // After 投了 and the like the game is over: not read, the first told.
      if (out_.reports.empty()) {
        out_.reports.push_back(u"終局の後の指し手は読みません: " + std::u16string(text));
      }
      return;
    }
    // "△投了" written as a move: the line's end, as a "まで" line says it.
    for (std::u16string_view word : {u"投了", u"中断", u"千日手", u"持将棋", u"詰み", u"不詰",
                                     u"切れ負け", u"反則勝ち", u"反則負け", u"入玉勝ち"}) {
      if (written == word) {
        Emit(written, written, Current(), false);
        lines_.back().ended = true;
        return;
      }
    }
    TKyokumen p = Current();
    const std::optional<TMove> m = Resolve(p, written);
    if (!m) {
      // Applied to nothing: the KIF reader reports it and keeps the position;
      // the turn passes, as the move numbers say.
      p.Turn = -p.Turn;
      Emit(std::u16string(written) + u"(?\?)", std::u16string(written), p, true);
      return;
    }
    TRowMove move;
    move.kind = m->IsDrop() ? TRowMove::kDrop : TRowMove::kBoard;
    move.from = m->from;
    move.to = m->to;
    move.promote = m->promote;
    move.piece = m->IsDrop() ? m->drop : KindOf(p.Board[static_cast<size_t>(m->from)]);
    move.same = p.LastSquare != 0 && p.LastSquare == m->to;
    const std::u16string kif = KifMoveText(move);
    TKyokumen after = p;
    try {
      after.ApplyMove(kif);  // moves the side to move's piece
    } catch (const Exception&) {
    }
    after.Turn = -p.Turn;
    Emit(kif, std::u16string(written), after, false);
  }

  void Emit(const std::u16string& kif, std::u16string written, TKyokumen after, bool unapplied) {
    Line& line = lines_.back();
    const int32_t number = line.base + static_cast<int32_t>(line.positions.size());
    line.positions.push_back(std::move(after));
    const std::u16string digits = Utf8ToUtf16(std::to_string(number));
    out_.kif_lines.push_back(std::u16string(digits.size() < 4 ? 4 - digits.size() : 0, u' ') +
                             digits + u" " + kif);
    out_.written.push_back(std::move(written));
    out_.unapplied.push_back(unapplied);
  }

  TKi2Conversion out_;
  std::vector<Line> lines_;
  int32_t first_side_ = 1;
};

}  // namespace

TKi2Conversion Ki2ToKifLines(const std::vector<std::u16string>& lines) {
  return Ki2Converter().Convert(lines);
}

void ShowKi2Moves(TKifRecord& record, const TKi2Conversion& conv) {
  const bool cut = record.rows.size() == kMaxRecordRows && conv.written.size() >= kMaxRecordRows;
  if (record.rows.size() != conv.written.size() + 1 && !cut) return;  // not the rows we wrote
  for (const std::u16string& report : conv.reports) record.AddReport(report);
  for (size_t k = 0; k + 1 < record.rows.size(); ++k) {
    TKifRecord::Row& row = record.rows[k + 1];
    row.move = row.move.substr(0, 1) + conv.written[k];
    if (!conv.unapplied[k]) continue;
    const std::u16string told = u"指し手エラー " + conv.written[k];
    const auto it = std::find(record.reports.begin(), record.reports.end(), told + u"(?\?)");
    if (it != record.reports.end()) {
      *it = told;
    } else if (record.reports.size() <= kMaxReports) {  // else counted in the last report
      record.AddReport(told);
    }
  }
}

}  // namespace zelvaro
