#include "game/Sfen.h"

#include <array>

namespace zelvaro {
namespace {

// Letters of the sente codes 1..14; promoted kinds take "+" and their base letter.
constexpr char kLetters[] = " PPLLNNSSGKRRBB";

int32_t KindOfLetter(char upper) {
  switch (upper) {
    case 'P':
      return kFu;
    case 'L':
      return kKyo;
    case 'N':
      return kKei;
    case 'S':
      return kGin;
    case 'G':
      return kKin;
    case 'K':
      return kOu;
    case 'R':
      return kHisya;
    case 'B':
      return kKaku;
    default:
      return 0;
  }
}

// Hand indices in SFEN order: R B G S N L P.
constexpr int kSfenHandOrder[] = {kHandHisya, kHandKaku, kHandKin, kHandGin,
                                  kHandKei,   kHandKyo,  kHandFu};
constexpr int32_t kKindOfHandIndex[] = {kFu, kKyo, kKei, kGin, kKin, kHisya, kKaku};

[[noreturn]] void Fail(std::string_view what, std::string_view text) {
  throw ENotationError(std::string(what) + ": \"" + std::string(text) + "\"");
}

std::vector<std::string_view> Fields(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

bool ParsePositive(std::string_view s, int32_t& value) {
  if (s.empty() || s.size() > 9) return false;
  int32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v <= 0) return false;
  value = v;
  return true;
}

void AppendSquare(std::string& out, int32_t sq) {
  out += static_cast<char>('0' + sq / 10);
  out += static_cast<char>('a' + sq % 10 - 1);
}

// "7g" at s[0..1]: the square, 0 when it is none.
int32_t SquareOf(std::string_view s) {
  if (s.size() < 2 || s[0] < '1' || s[0] > '9' || s[1] < 'a' || s[1] > 'i') return 0;
  return (s[0] - '0') * 10 + (s[1] - 'a' + 1);
}

}  // namespace

std::string ToSfen(const TKyokumen& p, int32_t move_number) {
  std::string out;
  for (int rank = 1; rank <= 9; ++rank) {
    if (rank > 1) out += '/';
    int empty = 0;
    for (int file = 9; file >= 1; --file) {
      const int32_t code = p.Board[file * 10 + rank];
      const int32_t side = OwnerOf(code);
      if (side == 0) {
        ++empty;
        continue;
      }
      if (empty > 0) out += static_cast<char>('0' + empty);
      empty = 0;
      const int32_t kind = KindOf(code);
      if (DemotedKind(kind) != kind) out += '+';
      const char letter = kLetters[kind];
      out += side == 1 ? letter : static_cast<char>(letter - 'A' + 'a');
    }
    if (empty > 0) out += static_cast<char>('0' + empty);
  }
  out += p.Turn == -1 ? " w " : " b ";
  const size_t hands_at = out.size();
  for (int side : {1, -1}) {
    const auto& hand = side == 1 ? p.SenteHand : p.GoteHand;
    for (int k : kSfenHandOrder) {
      if (hand[k] <= 0) continue;
      if (hand[k] > 1) out += std::to_string(hand[k]);
      const char letter = kLetters[kKindOfHandIndex[k]];
      out += side == 1 ? letter : static_cast<char>(letter - 'A' + 'a');
    }
  }
  if (out.size() == hands_at) out += '-';
  out += ' ';
  out += std::to_string(move_number);
  return out;
}

TKyokumen ParseSfen(std::string_view sfen, int32_t* move_number) {
  const std::vector<std::string_view> f = Fields(sfen);
  if (f.size() != 3 && f.size() != 4) Fail("SFEN は盤面・手番・持駒・手数の4つです", sfen);
  TKyokumen p;
  // Board.
  int rank = 1, file = 9;
  bool promoted = false;
  for (char c : f[0]) {
    if (c == '/') {
      if (file != 0 || promoted || rank == 9) Fail("SFEN の段が9升ではありません", f[0]);
      ++rank;
      file = 9;
    } else if (c >= '1' && c <= '9') {
      if (promoted || c - '0' > file) Fail("SFEN の段が9升ではありません", f[0]);
      file -= c - '0';
    } else if (c == '+') {
      if (promoted) Fail("SFEN の盤面に読めない文字があります", f[0]);
      promoted = true;
    } else {
      const bool upper = c >= 'A' && c <= 'Z';
      const int32_t kind = KindOfLetter(upper ? c : static_cast<char>(c - 'a' + 'A'));
      if (kind == 0 || (!upper && !(c >= 'a' && c <= 'z'))) {
        Fail("SFEN の盤面に読めない文字があります", f[0]);
      }
      if (promoted && !CanPromoteKind(kind)) Fail("SFEN の盤面で成れない駒に + があります", f[0]);
      if (file < 1) Fail("SFEN の段が9升ではありません", f[0]);
      const int32_t code = promoted ? PromotedKind(kind) : kind;
      p.Board[file * 10 + rank] = upper ? code : code + kGoteOffset;
      --file;
      promoted = false;
    }
  }
  if (rank != 9 || file != 0 || promoted) Fail("SFEN の盤面が9段ではありません", f[0]);
  // Side to move.
  if (f[1] == "b") {
    p.Turn = 1;
  } else if (f[1] == "w") {
    p.Turn = -1;
  } else {
    Fail("SFEN の手番は b か w です", f[1]);
  }
  // Hands.
  if (f[2] != "-") {
    int32_t count = 0;
    bool counted = false;
    for (char c : f[2]) {
      if (c >= '0' && c <= '9') {
        count = count * 10 + (c - '0');
        counted = true;
        if (count > 99) Fail("SFEN の持駒の数が多すぎます", f[2]);
        continue;
      }
      const bool upper = c >= 'A' && c <= 'Z';
      const int32_t kind = KindOfLetter(upper ? c : static_cast<char>(c - 'a' + 'A'));
      const int k = HandIndexOf(kind);
      if (k < 0 || (!upper && !(c >= 'a' && c <= 'z'))) Fail("SFEN の持駒が読めません", f[2]);
      if (counted && count == 0) Fail("SFEN の持駒が読めません", f[2]);
      (upper ? p.SenteHand : p.GoteHand)[k] += counted ? count : 1;
      count = 0;
      counted = false;
    }
    if (counted) Fail("SFEN の持駒が読めません", f[2]);
  }
  int32_t number = 1;
  if (f.size() == 4 && !ParsePositive(f[3], number)) Fail("SFEN の手数が読めません", f[3]);
  if (move_number) *move_number = number;
  return p;
}

std::string ToUsi(const TMove& m) {
  std::string out;
  if (m.IsDrop()) {
    const int k = HandIndexOf(m.drop);
    out += k >= 0 ? kLetters[m.drop] : '?';
    out += '*';
  } else {
    AppendSquare(out, m.from);
  }
  AppendSquare(out, m.to);
  if (m.promote) out += '+';
  return out;
}

std::optional<TMove> TryParseUsiMove(std::string_view s) {
  TMove m;
  if (s.size() == 4 && s[1] == '*') {
    m.drop = KindOfLetter(s[0]);
    if (HandIndexOf(m.drop) < 0) return std::nullopt;
    m.to = SquareOf(s.substr(2));
    if (m.to == 0) return std::nullopt;
    return m;
  }
  if (s.size() != 4 && !(s.size() == 5 && s[4] == '+')) return std::nullopt;
  m.from = SquareOf(s);
  m.to = SquareOf(s.substr(2));
  m.promote = s.size() == 5;
  if (m.from == 0 || m.to == 0 || m.from == m.to) return std::nullopt;
  return m;
}

TMove ParseUsiMove(std::string_view usi) {
  const std::optional<TMove> m = TryParseUsiMove(usi);
  if (!m) Fail("USI の指し手が読めません", usi);
  return *m;
}

std::string UsiPositionCommand(std::string_view start_sfen,
                               const std::vector<std::string>& usi_moves) {
  std::string out = "position ";
  if (start_sfen == kStartSfen) {
    out += "startpos";
  } else {
    out += "sfen ";
    out += start_sfen;
  }
  if (!usi_moves.empty()) {
    out += " moves";
    for (const std::string& m : usi_moves) {
      out += ' ';
      out += m;
    }
  }
  return out;
}

TUsiPosition ParseUsiPosition(std::string_view text) {
  std::vector<std::string_view> f = Fields(text);
  size_t i = 0;
  if (i < f.size() && f[i] == "position") ++i;
  TUsiPosition out;
  if (i < f.size() && f[i] == "startpos") {
    out.start = ParseSfen(kStartSfen);
    ++i;
  } else if (i < f.size() && f[i] == "sfen") {
    ++i;
    size_t end = i;
    while (end < f.size() && f[end] != "moves") ++end;
    if (end - i < 3) Fail("position sfen の後に SFEN がありません", text);
    const std::string_view first = f[i];
    const std::string_view last = f[end - 1];
    out.start =
        ParseSfen(std::string_view(first.data(),
                                   static_cast<size_t>(last.data() + last.size() - first.data())),
                  &out.start_number);
    i = end;
  } else {
    Fail("position の後は startpos か sfen です", text);
  }
  if (i < f.size()) {
    if (f[i] != "moves") Fail("position の指し手の前に moves がありません", text);
    for (++i; i < f.size(); ++i) out.moves.push_back(ParseUsiMove(f[i]));
  }
  return out;
}

}  // namespace zelvaro
