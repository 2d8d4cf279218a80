#include "game/Notation.h"

#include <algorithm>

#include "game/Sfen.h"

namespace zelvaro {
namespace {

constexpr std::u16string_view kFiles = u"１２３４５６７８９";
constexpr std::u16string_view kRanks = u"一二三四五六七八九";

int32_t SideOf(const TKyokumen& p) { return Sign(p.SideToMove()); }

// The words that tell the piece moving from `from` apart from the other
// pieces of its kind that could move to `to` (`others`, their origins).
std::u16string Disambiguation(int32_t kind, int32_t side, int32_t from, int32_t to,
                              const std::vector<int32_t>& others) {
  // Movement: 上 forward, 引 backward, 寄 sideways, as the mover sees it.
  auto movement = [&](int32_t sq) -> char16_t {
    const int dr = (to % 10 - sq % 10) * side;
    return dr < 0 ? u'上' : dr > 0 ? u'引' : u'寄';
  };
  // Files grow to the mover's left for sente and to its right for gote.
  auto leftness = [&](int32_t sq) { return (sq / 10) * side; };
  const bool dragon_or_horse = kind == kRyu || kind == kUma;
  // Position: 右 左 直 (0 when none). Dragons and horses compare with each
  // other and never use 直; the others compare with the destination.
  auto position = [&](int32_t sq) -> char16_t {
    if (dragon_or_horse) {
      std::vector<int32_t> rest;
      for (int32_t o : others) rest.push_back(o);
      rest.push_back(from);
      rest.erase(std::find(rest.begin(), rest.end(), sq));
      const bool left = std::all_of(rest.begin(), rest.end(),
                                    [&](int32_t o) { return leftness(sq) > leftness(o); });
      const bool right = std::all_of(rest.begin(), rest.end(),
                                     [&](int32_t o) { return leftness(sq) < leftness(o); });
      return left ? u'左' : right ? u'右' : 0;
    }
    const int d = leftness(sq) - leftness(to);
    if (d > 0) return u'左';
    if (d < 0) return u'右';
    const bool straight_up = movement(sq) == u'上';
    return straight_up && kind != kHisya && kind != kKaku ? u'直' : 0;
  };
  const char16_t m = movement(from), p = position(from);
  const bool m_unique =
      std::none_of(others.begin(), others.end(), [&](int32_t o) { return movement(o) == m; });
  if (m_unique) return std::u16string(1, m);
  const bool p_unique = p != 0 && std::none_of(others.begin(), others.end(),
                                               [&](int32_t o) { return position(o) == p; });
  if (p_unique) return std::u16string(1, p);
  if (p != 0) return std::u16string{p, m};
  return std::u16string(1, m);
}

}  // namespace

std::u16string_view Ki2PieceName(int32_t kind) {
  switch (kind) {
    case kFu:
      return u"歩";
    case kTo:
      return u"と";
    case kKyo:
      return u"香";
    case kNariKyo:
      return u"成香";
    case kKei:
      return u"桂";
    case kNariKei:
      return u"成桂";
    case kGin:
      return u"銀";
    case kNariGin:
      return u"成銀";
    case kKin:
      return u"金";
    case kOu:
      return u"玉";
    case kHisya:
      return u"飛";
    case kRyu:
      return u"竜";
    case kKaku:
      return u"角";
    case kUma:
      return u"馬";
    default:
      return u"";
  }
}

std::u16string SquareText(int32_t square) {
  if (!IsSquare(square)) return u"？？";
  return {kFiles[static_cast<size_t>(square / 10 - 1)],
          kRanks[static_cast<size_t>(square % 10 - 1)]};
}

int32_t SquareOfText(std::u16string_view text) {
  if (text.size() < 2) return 0;
  const size_t f = kFiles.find(text[0]), r = kRanks.find(text[1]);
  if (f == std::u16string_view::npos || r == std::u16string_view::npos) return 0;
  return static_cast<int32_t>((f + 1) * 10 + r + 1);
}

std::u16string Ki2MoveText(const TKyokumen& p, const TMove& m, bool side_mark) {
  const int32_t side = SideOf(p);
  std::u16string out;
  if (side_mark) out += side == 1 ? u"▲" : u"△";
  out += m.to == p.LastSquare && IsSquare(m.to) ? u"同　" : SquareText(m.to);
  const int32_t code = m.IsDrop() ? (side == 1 ? m.drop : m.drop + kGoteOffset)
                                  : (IsSquare(m.from) ? p.Board[m.from] : kEmpty);
  const int32_t kind = KindOf(code);
  out += Ki2PieceName(kind);
  if (!IsLegal(p, m)) return out;
  // The other pieces of the same kind that can go there as the piece moves,
  // as the rules of notation count them: one that may not because its king
  // would be left in check (a pinned piece, a move that does not answer a
  // check) still needs the words to be told apart.
  std::vector<int32_t> others;
  for (int32_t from = 11; from <= 99; ++from) {
    if (!IsSquare(from) || from == m.from || p.Board[static_cast<size_t>(from)] != code) continue;
    for (bool promote : {false, true}) {
      TMove o;
      o.from = from;
      o.to = m.to;
      o.promote = promote;
      const TFoul foul = CheckMove(p, o);
      if (foul == TFoul::kNone || foul == TFoul::kLeavesKingInCheck || foul == TFoul::kDeadPiece) {
        others.push_back(from);
        break;
      }
    }
  }
  if (m.IsDrop()) {
    if (!others.empty()) out += u"打";
    return out;
  }
  if (!others.empty()) out += Disambiguation(kind, side, m.from, m.to, others);
  if (m.promote) {
    out += u"成";
  } else if (CanPromoteKind(kind) &&
             (InPromotionZone(m.from, side) || InPromotionZone(m.to, side))) {
    out += u"不成";
  }
  return out;
}

std::u16string Ki2LineText(const TKyokumen& start, const std::vector<std::string>& usi_moves,
                           std::u16string_view separator, size_t* played) {
  TKyokumen p;
  p.Board = start.Board;
  p.SenteHand = start.SenteHand;
  p.GoteHand = start.GoteHand;
  p.Turn = start.Turn;
  p.LastSquare = start.LastSquare;
  std::u16string out;
  size_t n = 0;
  for (const std::string& usi : usi_moves) {
    const std::optional<TMove> m = TryParseUsiMove(usi);
    if (!m || !IsLegal(p, *m)) break;
    if (n > 0) out += separator;
    out += Ki2MoveText(p, *m);
    PlayMove(p, *m);
    ++n;
  }
  if (played) *played = n;
  return out;
}

std::optional<TKifMove> ReadKifMove(const TKyokumen& before, std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  int32_t to = 0;
  std::u16string_view rest;
  if (text[0] == u'同') {
    to = before.LastSquare;
    size_t at = 1;
    while (at < text.size() && (text[at] == u'　' || text[at] == u' ')) ++at;
    rest = text.substr(at);
  } else {
    to = SquareOfText(text);
    if (to == 0) return std::nullopt;
    rest = text.substr(2);
  }
  if (!IsSquare(to) || rest.empty()) return std::nullopt;
  std::u16string_view name = rest.substr(0, rest[0] == u'成' ? 2 : 1);
  const int32_t kind = PieceCodeOfName(name);
  if (kind == 0) return std::nullopt;
  std::u16string_view marks = rest.substr(name.size());
  const bool drop = marks.find(u'打') != std::u16string_view::npos;
  const size_t paren = rest.find(u'(');
  marks = marks.substr(0, marks.find_first_of(u"(打"));
  bool promote = false;
  for (size_t i = 0; i < marks.size(); ++i) {
    if (marks[i] == u'成' && (i == 0 || marks[i - 1] != u'不')) promote = true;
  }

  TKifMove out;
  if (drop) {
    out.move = TMove{0, to, promote, kind};
    out.foul = CheckMove(before, out.move);
    return out;
  }
  if (paren != std::u16string_view::npos) {
    const std::u16string_view origin = rest.substr(paren);
    if (origin.size() < 3 || origin[1] < u'1' || origin[1] > u'9' || origin[2] < u'1' ||
        origin[2] > u'9') {
      return std::nullopt;
    }
    const int32_t from = (origin[1] - u'0') * 10 + (origin[2] - u'0');
    out.move = TMove{from, to, promote, 0};
    out.foul = CheckMove(before, out.move);
    if (out.foul == TFoul::kNone && KindOf(before.Board[from]) != kind) {
      out.foul = TFoul::kNoSuchPiece;
    }
    return out;
  }
  // Neither origin nor 打: the one piece of that kind that can go there.
  std::vector<TMove> found;
  for (const TMove& m : LegalMovesTo(before, to)) {
    if (!m.IsDrop() && m.promote == promote && KindOf(before.Board[m.from]) == kind) {
      found.push_back(m);
    }
  }
  if (found.size() == 1) {
    out.move = found[0];
    return out;
  }
  if (!found.empty() || HandIndexOf(kind) < 0 || promote) return std::nullopt;
  out.move = TMove{0, to, false, kind};
  out.foul = CheckMove(before, out.move);
  if (out.foul == TFoul::kNotInHand) return std::nullopt;
  return out;
}

}  // namespace zelvaro
