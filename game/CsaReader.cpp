#include "game/CsaReader.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "game/KifReader.h"
#include "game/Notation.h"
#include "game/RecordWriter.h"
#include "game/Rules.h"
#include "game/untKyokumen.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string Narrow(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A square "77": file and rank digits; "00" is the hand (0).
int32_t SquareOf(std::u16string_view two) {
  if (two.size() < 2 || !IsDigit(two[0]) || !IsDigit(two[1])) return -1;
  return (two[0] - u'0') * 10 + (two[1] - u'0');
}

// The KIF terminal word of a % statement, with the side whose turn it is.
std::u16string TerminalWord(std::string_view ending, int32_t side) {
  struct Entry {
    std::string_view ending;
    std::u16string_view word;
  };
  static constexpr Entry kWords[] = {
      {"TORYO", u"投了"},         {"CHUDAN", u"中断"},           {"SENNICHITE", u"千日手"},
      {"TIME_UP", u"切れ負け"},   {"ILLEGAL_MOVE", u"反則負け"}, {"JISHOGI", u"持将棋"},
      {"KACHI", u"入玉勝ち"},     {"HIKIWAKE", u"引き分け"},     {"MATTA", u"待った"},
      {"TSUMI", u"詰み"},         {"FUZUMI", u"不詰"},           {"ERROR", u"エラー"},
      {"MAX_MOVES", u"最大手数"},
  };
  if (ending == "+ILLEGAL_ACTION" || ending == "-ILLEGAL_ACTION") {
    const int32_t offender = ending[0] == '+' ? 1 : -1;
    return offender == side ? u"反則負け" : u"反則勝ち";
  }
  for (const Entry& e : kWords) {
    if (e.ending == ending) return std::u16string(e.word);
  }
  return Ascii(ending);
}

class CsaConverter {
 public:
  std::vector<std::u16string> Convert(const std::vector<std::u16string>& lines) {
    LayOutStartingPosition(position_);
    for (const std::u16string& line : lines) {
      if (line == u"/" || Full()) break;  // the next game of the file, or the row cut
      if (line.empty()) continue;
      if (line[0] == u'\'') {
        Comment(line);
        continue;
      }
      size_t at = 0;
      while (at <= line.size() && !Full()) {
        size_t comma = line.find(u',', at);
        if (comma == std::u16string::npos) comma = line.size();
        Statement(std::u16string_view(line).substr(at, comma - at));
        at = comma + 1;
      }
    }
    FlushMove();
    if (!start_shown_) ShowStart();
    return std::move(out_);
  }

 private:
  void Comment(std::u16string_view line) {
    std::u16string_view text = line.substr(1);
    if (StartsWith(text, u"CSA encoding=") || StartsWith(text, u"encoding=")) return;
    // A comment belongs to the move above it: the move line goes first.
    FlushMove();
    if (StartsWith(text, u"**")) {
      const std::u16string evaluation = Evaluation(text.substr(2));
      if (!evaluation.empty()) out_.push_back(u"*" + evaluation);
      return;
    }
    if (!text.empty() && text[0] == u'*') text.remove_prefix(1);
    out_.push_back(u"*" + std::u16string(text));
  }

  // "'** 30 +8822UM -3122GI": a program's score after the move above and the
  // moves it expects next, shown as "評価値 30 読み筋 ▲２二角成 △同　銀". The
  // moves are read from the position after the move above; from the first
  // one that cannot be read the rest stays as written.
  std::u16string Evaluation(std::u16string_view text) {
    std::vector<std::u16string_view> words;
    for (size_t at = 0; at < text.size();) {
      while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
      const size_t end = std::min(text.find_first_of(u" \t", at), text.size());
      if (end > at) words.push_back(text.substr(at, end - at));
      at = end;
    }
    if (words.empty()) return {};
    std::u16string out = u"評価値 " + std::u16string(words[0]);
    if (words.size() == 1) return out;
    out += u" 読み筋";
    TKyokumen p;
    p.CopyBoardFrom(position_);
    p.Turn = SideOfNext();
    p.LastSquare = moves_ == 0 ? 0 : position_.LastSquare;
    bool readable = true;
    for (size_t i = 1; i < words.size(); ++i) {
      const std::optional<TMove> m = readable ? CsaMove(p, words[i]) : std::nullopt;
      readable = m.has_value() && IsLegal(p, *m);
      if (readable) {
        out += u" " + Ki2MoveText(p, *m);
        PlayMove(p, *m);
      } else {
        out += u" " + std::u16string(words[i]);
      }
    }
    return out;
  }

  // A CSA move "+7776FU" in `p` as a rules move; nullopt when it names none.
  static std::optional<TMove> CsaMove(const TKyokumen& p, std::u16string_view s) {
    if (s.size() != 7 || (s[0] == u'+') != (p.Turn == 1) || (s[0] != u'+' && s[0] != u'-')) {
      return std::nullopt;
    }
    const int32_t from = SquareOf(s.substr(1, 2)), to = SquareOf(s.substr(3, 2));
    const int32_t after = PieceOfCsaName(Narrow(s.substr(5, 2)));
    if (from < 0 || !IsSquare(to) || after == 0) return std::nullopt;
    TMove m;
    m.to = to;
    if (from == 0) {
      m.drop = after;
      return m;
    }
    if (!IsSquare(from)) return std::nullopt;
    m.from = from;
    m.promote = KindOf(p.Board[static_cast<size_t>(from)]) + 1 == after &&
                KindOf(p.Board[static_cast<size_t>(from)]) != after;
    return m;
  }

  void Statement(std::u16string_view s) {
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
    if (s.empty()) return;
    const char16_t c = s[0];
    if (c == u'V') return;
    if (c == u'N' && s.size() >= 2 && (s[1] == u'+' || s[1] == u'-')) {
      Header(s[1] == u'+' ? u"先手：" : u"後手：", s.substr(2));
    } else if (c == u'$') {
      Info(s.substr(1));
    } else if (c == u'P' && s.size() >= 2) {
      Placement(s);
    } else if ((c == u'+' || c == u'-') && s.size() == 1) {
      first_side_ = c == u'+' ? 1 : -1;
      ShowStart();
    } else if (c == u'+' || c == u'-') {
      Move(s);
    } else if (c == u'T') {
      Time(s.substr(1));
    } else if (c == u'%') {
      Ending(s.substr(1));
    }
  }

  void Header(std::u16string_view key, std::u16string_view value) {
    out_.push_back(std::u16string(key) + std::u16string(value));
  }

  // Version 2's "$TIME_LIMIT:HH:MM+SS" (hours and minutes of the limit,
  // seconds of byo-yomi) as the KIF header writes a limit, so that the clock
  // reads it as a KIF record's; false when the value has another shape.
  bool TimeLimitHeader(std::u16string_view value) {
    int hours = 0, minutes = 0, byoyomi = 0;
    char rest = 0;
    if (std::sscanf(Narrow(value).c_str(), "%d:%d+%d%c", &hours, &minutes, &byoyomi, &rest) != 3 ||
        hours < 0 || minutes < 0 || minutes > 59 || byoyomi < 0) {
      return false;
    }
    std::u16string text = u"各";
    if (hours > 0) text += Utf8ToUtf16(std::to_string(hours)) + u"時間";
    if (minutes > 0 || hours == 0) text += Utf8ToUtf16(std::to_string(minutes)) + u"分";
    Header(u"持ち時間：", text);
    if (byoyomi > 0) Header(u"秒読み：", Utf8ToUtf16(std::to_string(byoyomi)) + u"秒");
    return true;
  }

  void Info(std::u16string_view s) {
    const size_t colon = s.find(u':');
    if (colon == std::u16string_view::npos) return;
    const std::u16string_view key = s.substr(0, colon);
    std::u16string_view value = s.substr(colon + 1);
    while (!value.empty() && value[0] == u' ') value.remove_prefix(1);
    if (key == u"TIME_LIMIT" && TimeLimitHeader(value)) return;
    struct Entry {
      std::u16string_view key, header;
    };
    static constexpr Entry kKeys[] = {
        {u"EVENT", u"棋戦："},          {u"SITE", u"場所："},
        {u"START_TIME", u"開始日時："}, {u"END_TIME", u"終了日時："},
        {u"TIME_LIMIT", u"持ち時間："}, {u"TIME", u"持ち時間："},
        {u"OPENING", u"戦型："},        {u"NOTE", u"備考："},
    };
    for (const Entry& e : kKeys) {
      if (e.key == key) Header(e.header, value);
    }
  }

  void Placement(std::u16string_view s) {
    const char16_t kind = s[1];
    if (kind == u'I') {
      // The standard start, then pieces taken off: "PI82HI22KA".
      position_ = TKyokumen();
      LayOutStartingPosition(position_);
      for (size_t i = 2; i + 4 <= s.size(); i += 4) {
        const int32_t square = SquareOf(s.substr(i, 2));
        if (IsSquare(square)) position_.Board[square] = kEmpty;
      }
      set_up_ = true;
    } else if (kind >= u'1' && kind <= u'9') {
      // "P1-KY-KE ... ": nine cells, file 9 first, each " * " or a piece
      // "-KY"; read by tokens, so that cells written "*" with one blank
      // between them ("P2 * -HI * * * * * -KA *") read the same.
      if (!board_cleared_) ClearBoard();
      const int rank = kind - u'0';
      size_t at = 2;
      for (int column = 0; column < 9; ++column) {
        while (at < s.size() && (s[at] == u' ' || s[at] == u'\t')) ++at;
        if (at >= s.size()) break;
        int32_t code = kEmpty;
        if (s[at] == u'*') {
          ++at;
        } else if (at + 3 <= s.size()) {
          code = CodeOf(s.substr(at, 3));
          at += 3;
        } else {
          break;
        }
        position_.Board[(9 - column) * 10 + rank] = code;
      }
    } else if (kind == u'+' || kind == u'-') {
      // "P+63RY00KI00AL": pieces one by one; 00 puts one in hand, 00AL the rest.
      const int32_t side = kind == u'+' ? 1 : -1;
      if (!board_cleared_ && !set_up_) ClearBoard();
      for (size_t i = 2; i + 4 <= s.size(); i += 4) {
        const int32_t square = SquareOf(s.substr(i, 2));
        const std::string letters = Narrow(s.substr(i + 2, 2));
        if (square == 0 && letters == "AL") {
          RestToHand(side);
          continue;
        }
        const int32_t code = PieceOfCsaName(letters);
        if (code == 0) continue;
        if (square == 0) {
          const int k = HandIndexOf(code);
          if (k >= 0) ++(side == 1 ? position_.SenteHand : position_.GoteHand)[k];
        } else if (IsSquare(square)) {
          position_.Board[square] = side == 1 ? code : code + kGoteOffset;
        }
      }
    }
  }

  void ClearBoard() {
    position_ = TKyokumen();
    board_cleared_ = set_up_ = true;
  }

  // 00AL: every piece not on the board or in a hand goes to `side`'s hand.
  void RestToHand(int32_t side) {
    static constexpr int32_t kTotal[] = {18, 4, 4, 4, 4, 2, 2};
    std::array<int32_t, 7> used{};
    for (int sq = 11; sq <= 99; ++sq) {
      const int32_t code = position_.Board[static_cast<size_t>(sq)];
      const int k = HandIndexOf(DemotedKind(KindOf(code)));
      if (k >= 0) ++used[k];
    }
    for (int k = 0; k < 7; ++k) used[k] += position_.SenteHand[k] + position_.GoteHand[k];
    auto& hand = side == 1 ? position_.SenteHand : position_.GoteHand;
    for (int k = 0; k < 7; ++k) hand[k] += std::max(kTotal[k] - used[k], 0);
  }

  static int32_t CodeOf(std::u16string_view cell) {
    if (cell[0] != u'+' && cell[0] != u'-') return kEmpty;
    const int32_t code = PieceOfCsaName(Narrow(cell.substr(1, 2)));
    if (code == 0) return kEmpty;
    return cell[0] == u'+' ? code : code + kGoteOffset;
  }

  void ShowStart() {
    if (start_shown_) return;
    start_shown_ = true;
    TKyokumen standard;
    LayOutStartingPosition(standard);
    if (position_.Board == standard.Board && position_.SenteHand == standard.SenteHand &&
        position_.GoteHand == standard.GoteHand && first_side_ == 1) {
      out_.push_back(u"手合割：平手");
    } else {
      for (std::u16string& line : BodLines(position_, first_side_)) out_.push_back(std::move(line));
    }
    position_.Turn = first_side_;
  }

  // The KIF reader reads no rows past kMaxRecordRows: the row that makes it
  // report the cut is the last one converted.
  bool Full() const { return rows_ + (pending_move_.empty() ? 0 : 1) >= kMaxRecordRows; }

  int32_t SideOfNext() const { return (moves_ % 2 == 0) ? first_side_ : -first_side_; }

  void Move(std::u16string_view s) {
    FlushMove();
    if (!start_shown_) ShowStart();
    const int32_t side = s[0] == u'+' ? 1 : -1;
    const bool shaped = s.size() == 7;
    const int32_t from = shaped ? SquareOf(s.substr(1, 2)) : -1;
    const int32_t to = shaped ? SquareOf(s.substr(3, 2)) : -1;
    const int32_t after = shaped ? PieceOfCsaName(Narrow(s.substr(5, 2))) : 0;
    TRowMove move;
    move.side = side;
    move.to = to;
    move.from = from;
    move.same = moves_ > 0 && to == position_.LastSquare;
    std::u16string text;
    if (from < 0 || (from != 0 && !IsSquare(from)) || !IsSquare(to) || after == 0) {
      // Not a move: shown as written, applied to nothing, and told. It
      // takes the number of the move after it, which replaces it on the
      // line, so the game's moves keep their numbers and sides.
      text = std::u16string(s.substr(0, 40));
      pending_number_ = moves_ + 1;
      pending_move_ = text;
      // As many as rows before the cut; the record keeps a hundred.
      errors_.push_back(u"指し手エラー " + text);
      return;
    } else if (from == 0) {
      move.kind = TRowMove::kDrop;
      move.piece = after;
      text = KifMoveText(move);
    } else {
      move.kind = TRowMove::kBoard;
      const int32_t there = position_.Board[static_cast<size_t>(from)];
      const int32_t kind = KindOf(there);
      // The piece before the move; a promotion changes it into the next code.
      move.piece = kind == after || kind + 1 == after ? kind : after;
      move.promote = move.piece != after;
      text = KifMoveText(move);
    }
    pending_number_ = ++moves_;
    position_.Turn = side;
    if (NamesDestination(text)) {
      try {
        position_.ApplyMove(text);
      } catch (const Exception&) {
        // The KIF reader tells it when it reads the line.
      }
    }
    position_.Turn = -side;
    pending_move_ = text;
  }

  // "T12" or, in version 3.0, "T6.123": the seconds of the move read last.
  // The rows keep whole seconds: a move's own time drops the fraction, as
  // the clock of a CSA game counts it, and the totals add the fractions up.
  // A time after comment lines still belongs to the move above them.
  void Time(std::u16string_view s) {
    const bool late = pending_move_.empty();
    if (late && (last_move_line_ < 0 || last_timed_)) return;
    int64_t millis = 0;
    size_t i = 0;
    for (; i < s.size() && IsDigit(s[i]) && millis < 100000000000; ++i)
      millis = millis * 10 + (s[i] - u'0');
    if (i == 0) return;
    millis *= 1000;
    if (i < s.size() && s[i] == u'.') {
      int64_t scale = 100;
      for (++i; i < s.size() && IsDigit(s[i]); ++i, scale /= 10) millis += (s[i] - u'0') * scale;
    }
    const int64_t seconds = millis / 1000;
    const int side = (moves_ % 2 == 1) == (first_side_ == 1) ? 0 : 1;
    spent_[side] += millis;
    const int64_t total = spent_[side] / 1000;
    char field[64];
    std::snprintf(field, sizeof field, "(%2lld:%02lld/%02lld:%02lld:%02lld)",
                  static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60),
                  static_cast<long long>(total / 3600), static_cast<long long>(total / 60 % 60),
                  static_cast<long long>(total % 60));
    if (late) {
      out_[static_cast<size_t>(last_move_line_)] += u"   " + Ascii(field);
      last_timed_ = true;
    } else {
      pending_time_ = Ascii(field);
    }
  }

  void Ending(std::u16string_view s) {
    FlushMove();
    if (!start_shown_) ShowStart();
    pending_number_ = ++moves_;
    pending_move_ = TerminalWord(Narrow(s), moves_ % 2 == 1 ? first_side_ : -first_side_);
  }

  // Writes the move line read last, with its time once that has come.
  void FlushMove() {
    if (pending_move_.empty()) return;
    std::u16string number = Ascii(std::to_string(pending_number_));
    std::u16string line(number.size() < 4 ? 4 - number.size() : 0, u' ');
    line += number + u" " + pending_move_;
    last_timed_ = !pending_time_.empty();
    if (last_timed_) line += u"   " + pending_time_;
    last_move_line_ = static_cast<int64_t>(out_.size());
    out_.push_back(std::move(line));
    ++rows_;
    pending_move_.clear();
    pending_time_.clear();
  }

  std::vector<std::u16string> out_;
  TKyokumen position_;
  bool board_cleared_ = false, set_up_ = false, start_shown_ = false;
  int32_t first_side_ = 1;
  int moves_ = 0;
  size_t rows_ = 0;  // move lines written
  std::u16string pending_move_, pending_time_;
  int pending_number_ = 0;       // the number of pending_move_
  int64_t last_move_line_ = -1;  // the line of the move written last
  bool last_timed_ = false;      // whether it has its time
  int64_t spent_[2] = {0, 0};    // milliseconds

 public:
  std::vector<std::u16string> errors_;
};

}  // namespace

std::vector<std::u16string> CsaToKifLines(const std::vector<std::u16string>& lines,
                                          std::vector<std::u16string>* errors) {
  CsaConverter converter;
  std::vector<std::u16string> out = converter.Convert(lines);
  if (errors) *errors = std::move(converter.errors_);
  return out;
}

bool CsaDeclaresUtf8(std::string_view bytes) {
  for (const std::string& line : SplitLines(bytes.substr(0, 4096))) {
    if (line.rfind("'CSA encoding=", 0) != 0 && line.rfind("'encoding=", 0) != 0) continue;
    std::string value = line.substr(line.find('=') + 1);
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return value.rfind("UTF-8", 0) == 0 || value.rfind("UTF8", 0) == 0;
  }
  return false;
}

}  // namespace zelvaro
