#include "game/Rules.h"

#include <cstdlib>

namespace zelvaro {
namespace {

using Board = std::array<int32_t, 100>;

struct Dir {
  int df, dr;
};

// Directions as sente sees them (forward is rank - 1); gote's are mirrored.
constexpr Dir kOrth[] = {{0, -1}, {1, 0}, {-1, 0}, {0, 1}};
constexpr Dir kDiag[] = {{1, -1}, {-1, -1}, {1, 1}, {-1, 1}};
constexpr Dir kPawn[] = {{0, -1}};
constexpr Dir kKnight[] = {{1, -2}, {-1, -2}};
constexpr Dir kSilver[] = {{0, -1}, {1, -1}, {-1, -1}, {1, 1}, {-1, 1}};
constexpr Dir kGold[] = {{0, -1}, {1, -1}, {-1, -1}, {1, 0}, {-1, 0}, {0, 1}};
constexpr Dir kKing[] = {{0, -1}, {1, -1}, {-1, -1}, {1, 0}, {-1, 0}, {0, 1}, {1, 1}, {-1, 1}};

struct Span {
  const Dir* begin = nullptr;
  const Dir* end = nullptr;
  template <size_t N>
  constexpr Span(const Dir (&a)[N]) : begin(a), end(a + N) {}
  constexpr Span() = default;
};

// One-square moves and sliding directions of a kind.
struct Movement {
  Span steps, slides;
};

Movement MovementOf(int32_t kind) {
  switch (kind) {
    case kFu:
      return {kPawn, {}};
    case kKyo:
      return {{}, kPawn};
    case kKei:
      return {kKnight, {}};
    case kGin:
      return {kSilver, {}};
    case kKin:
    case kTo:
    case kNariKyo:
    case kNariKei:
    case kNariGin:
      return {kGold, {}};
    case kOu:
      return {kKing, {}};
    case kHisya:
      return {{}, kOrth};
    case kRyu:
      return {kDiag, kOrth};
    case kKaku:
      return {{}, kDiag};
    case kUma:
      return {kOrth, kDiag};
    default:
      return {};
  }
}

int FileOf(int32_t sq) { return sq / 10; }
int RankOf(int32_t sq) { return sq % 10; }
bool OnBoard(int file, int rank) { return file >= 1 && file <= 9 && rank >= 1 && rank <= 9; }

// Rank counted from the side's own back rank's far end: 1 is the last rank
// the side moves towards.
int RelativeRank(int32_t sq, int32_t side) { return side == 1 ? RankOf(sq) : 10 - RankOf(sq); }
bool InZone(int32_t sq, int32_t side) { return RelativeRank(sq, side) <= 3; }

// A pawn or lance on the last rank, a knight on the last two, could never move.
bool IsDead(int32_t kind, int32_t to, int32_t side) {
  const int r = RelativeRank(to, side);
  return ((kind == kFu || kind == kKyo) && r == 1) || (kind == kKei && r <= 2);
}

int32_t Code(int32_t kind, int32_t side) { return side == 1 ? kind : kind + kGoteOffset; }

bool InSpan(Span s, int df, int dr) {
  for (const Dir* d = s.begin; d != s.end; ++d) {
    if (d->df == df && d->dr == dr) return true;
  }
  return false;
}

// Whether the piece on `from` reaches `to` on board `b` (ignoring what stands on `to`).
bool Reaches(const Board& b, int32_t from, int32_t to) {
  const int32_t code = b[from];
  const int32_t side = OwnerOf(code);
  if (side == 0) return false;
  const Movement m = MovementOf(KindOf(code));
  const int df = FileOf(to) - FileOf(from);
  const int dr = (RankOf(to) - RankOf(from)) * side;  // as sente sees it
  if (InSpan(m.steps, df, dr)) return true;
  for (const Dir* d = m.slides.begin; d != m.slides.end; ++d) {
    for (int k = 1; k <= 8; ++k) {
      const int f = FileOf(from) + d->df * k, r = RankOf(from) + d->dr * side * k;
      if (!OnBoard(f, r)) break;
      if (f * 10 + r == to) return true;
      if (b[f * 10 + r] != kEmpty) break;
    }
  }
  return false;
}

bool Attacked(const Board& b, int32_t sq, int32_t by) {
  const int tf = FileOf(sq), tr = RankOf(sq);
  for (const Dir& d : kKing) {
    for (int k = 1; k <= 8; ++k) {
      const int f = tf + d.df * k, r = tr + d.dr * k;
      if (!OnBoard(f, r)) break;
      const int32_t code = b[f * 10 + r];
      if (code == kEmpty) continue;
      if (OwnerOf(code) == by) {
        // The attacker moves by -d, k times; as its own side sees it.
        const Movement m = MovementOf(KindOf(code));
        const int df = -d.df, dr = -d.dr * by;
        if ((k == 1 && InSpan(m.steps, df, dr)) || InSpan(m.slides, df, dr)) return true;
      }
      break;
    }
  }
  for (int df : {-1, 1}) {
    const int f = tf + df, r = tr + 2 * by;  // a knight jumps two ranks forward
    if (OnBoard(f, r) && b[f * 10 + r] == Code(kKei, by)) return true;
  }
  return false;
}

int32_t KingSquare(const Board& b, int32_t side) {
  const int32_t king = Code(kOu, side);
  for (int32_t sq = 11; sq <= 99; ++sq) {
    if (b[sq] == king && IsSquare(sq)) return sq;
  }
  return 0;
}

bool KingAttacked(const Board& b, int32_t side) {
  const int32_t king = KingSquare(b, side);
  return king != 0 && Attacked(b, king, -side);
}

// The board after `m`, hands aside.
Board After(const Board& b, const TMove& m, int32_t side) {
  Board next = b;
  if (m.IsDrop()) {
    next[m.to] = Code(m.drop, side);
  } else {
    const int32_t kind = KindOf(b[m.from]);
    next[m.to] = Code(m.promote ? PromotedKind(kind) : kind, side);
    next[m.from] = kEmpty;
  }
  return next;
}

bool LeavesKingInCheck(const Board& b, const TMove& m, int32_t side) {
  return KingAttacked(After(b, m, side), side);
}

bool HasPawnOnFile(const Board& b, int file, int32_t side) {
  for (int r = 1; r <= 9; ++r) {
    if (b[file * 10 + r] == Code(kFu, side)) return true;
  }
  return false;
}

// Calls add(m) for each move of `side`'s pieces that obeys how they move,
// promotion included, whether or not it leaves the king in check.
template <typename Add>
void BoardMoves(const Board& b, int32_t side, Add&& add) {
  for (int32_t from = 11; from <= 99; ++from) {
    const int32_t code = b[from];
    if (OwnerOf(code) != side || !IsSquare(from)) continue;
    const int32_t kind = KindOf(code);
    const Movement mv = MovementOf(kind);
    auto target = [&](int32_t to) {
      const bool promotable = CanPromoteKind(kind) && (InZone(from, side) || InZone(to, side));
      if (promotable) add(TMove{from, to, true, 0});
      if (!IsDead(kind, to, side)) add(TMove{from, to, false, 0});
    };
    for (const Dir* d = mv.steps.begin; d != mv.steps.end; ++d) {
      const int f = FileOf(from) + d->df, r = RankOf(from) + d->dr * side;
      if (OnBoard(f, r) && OwnerOf(b[f * 10 + r]) != side) target(f * 10 + r);
    }
    for (const Dir* d = mv.slides.begin; d != mv.slides.end; ++d) {
      for (int k = 1; k <= 8; ++k) {
        const int f = FileOf(from) + d->df * k, r = RankOf(from) + d->dr * side * k;
        if (!OnBoard(f, r)) break;
        const int32_t occupant = b[f * 10 + r];
        if (OwnerOf(occupant) == side) break;
        target(f * 10 + r);
        if (occupant != kEmpty) break;
      }
    }
  }
}

// Whether `side` (to move, in check by a dropped pawn) can answer: only a
// board move can, as nothing can come between a pawn and the king it attacks.
bool HasBoardEvasion(const Board& b, int32_t side) {
  bool found = false;
  BoardMoves(b, side, [&](const TMove& m) {
    if (!found && !LeavesKingInCheck(b, m, side)) found = true;
  });
  return found;
}

// A pawn dropped on `to` that attacks the enemy king leaving it no answer.
bool IsUchifuzume(const Board& b, int32_t to, int32_t side) {
  const int f = FileOf(to), r = RankOf(to) - side;
  if (!OnBoard(f, r) || b[f * 10 + r] != Code(kOu, -side)) return false;
  Board next = b;
  next[to] = Code(kFu, side);
  return !HasBoardEvasion(next, -side);
}

const std::array<int32_t, 7>& HandOf(const TKyokumen& p, int32_t side) {
  return side == 1 ? p.SenteHand : p.GoteHand;
}

constexpr int32_t kHandKinds[] = {kFu, kKyo, kKei, kGin, kKin, kHisya, kKaku};

// Legal drops of `side`, with `to` restricted to one square when nonzero.
template <typename Add>
void Drops(const TKyokumen& p, int32_t side, int32_t only_to, Add&& add) {
  const auto& hand = HandOf(p, side);
  for (int32_t kind : kHandKinds) {
    if (hand[HandIndexOf(kind)] <= 0) continue;
    for (int32_t to = 11; to <= 99; ++to) {
      if ((only_to != 0 && to != only_to) || !IsSquare(to) || p.Board[to] != kEmpty) continue;
      if (IsDead(kind, to, side)) continue;
      if (kind == kFu && HasPawnOnFile(p.Board, FileOf(to), side)) continue;
      const TMove m{0, to, false, kind};
      if (LeavesKingInCheck(p.Board, m, side)) continue;
      if (kind == kFu && IsUchifuzume(p.Board, to, side)) continue;
      add(m);
    }
  }
}

}  // namespace

std::u16string_view FoulText(TFoul foul) {
  switch (foul) {
    case TFoul::kNone:
      return u"";
    case TFoul::kNoSuchPiece:
      return u"動かす駒がない";
    case TFoul::kUnreachable:
      return u"駒の動きにない";
    case TFoul::kOwnPiece:
      return u"自分の駒を取る";
    case TFoul::kNotInHand:
      return u"持駒にない駒を打つ";
    case TFoul::kOccupied:
      return u"駒のある升に打つ";
    case TFoul::kNifu:
      return u"二歩";
    case TFoul::kDeadPiece:
      return u"行き所のない駒";
    case TFoul::kBadPromotion:
      return u"成れない駒を成る";
    case TFoul::kLeavesKingInCheck:
      return u"王手放置";
    case TFoul::kUchifuzume:
      return u"打ち歩詰め";
    case TFoul::kOffBoard:
      return u"盤外";
  }
  return u"";
}

int32_t OwnerOf(int32_t code) {
  if (code >= kFu && code <= kUma) return 1;
  if (code >= kFu + kGoteOffset && code <= kUma + kGoteOffset) return -1;
  return 0;
}

int32_t KindOf(int32_t code) { return code > kGoteOffset ? code - kGoteOffset : code; }

bool CanPromoteKind(int32_t kind) {
  return kind == kFu || kind == kKyo || kind == kKei || kind == kGin || kind == kHisya ||
         kind == kKaku;
}

int32_t PromotedKind(int32_t kind) { return CanPromoteKind(kind) ? kind + 1 : kind; }

int32_t DemotedKind(int32_t kind) {
  switch (kind) {
    case kTo:
    case kNariKyo:
    case kNariKei:
    case kNariGin:
    case kRyu:
    case kUma:
      return kind - 1;
    default:
      return kind;
  }
}

int HandIndexOf(int32_t kind) {
  switch (kind) {
    case kFu:
      return kHandFu;
    case kKyo:
      return kHandKyo;
    case kKei:
      return kHandKei;
    case kGin:
      return kHandGin;
    case kKin:
      return kHandKin;
    case kHisya:
      return kHandHisya;
    case kKaku:
      return kHandKaku;
    default:
      return -1;
  }
}

bool IsSquare(int32_t sq) { return OnBoard(FileOf(sq), RankOf(sq)) && sq <= 99; }

bool InPromotionZone(int32_t square, int32_t side) { return InZone(square, side); }

bool IsInCheck(const TKyokumen& p, int32_t side) { return KingAttacked(p.Board, side); }

bool IsAttacked(const TKyokumen& p, int32_t square, int32_t by_side) {
  return IsSquare(square) && Attacked(p.Board, square, by_side);
}

TFoul CheckMove(const TKyokumen& p, const TMove& m) {
  const int32_t side = Sign(p.SideToMove());
  const Board& b = p.Board;
  if (!IsSquare(m.to)) return TFoul::kOffBoard;
  if (m.IsDrop()) {
    const int hand = HandIndexOf(m.drop);
    if (hand < 0 || HandOf(p, side)[hand] <= 0) return TFoul::kNotInHand;
    if (b[m.to] != kEmpty) return TFoul::kOccupied;
    if (m.promote) return TFoul::kBadPromotion;
    if (IsDead(m.drop, m.to, side)) return TFoul::kDeadPiece;
    if (m.drop == kFu && HasPawnOnFile(b, FileOf(m.to), side)) return TFoul::kNifu;
    if (LeavesKingInCheck(b, m, side)) return TFoul::kLeavesKingInCheck;
    if (m.drop == kFu && IsUchifuzume(b, m.to, side)) return TFoul::kUchifuzume;
    return TFoul::kNone;
  }
  if (!IsSquare(m.from)) return TFoul::kOffBoard;
  if (OwnerOf(b[m.from]) != side) return TFoul::kNoSuchPiece;
  if (OwnerOf(b[m.to]) == side) return TFoul::kOwnPiece;
  if (!Reaches(b, m.from, m.to)) return TFoul::kUnreachable;
  const int32_t kind = KindOf(b[m.from]);
  if (m.promote && (!CanPromoteKind(kind) || !(InZone(m.from, side) || InZone(m.to, side)))) {
    return TFoul::kBadPromotion;
  }
  if (!m.promote && IsDead(kind, m.to, side)) return TFoul::kDeadPiece;
  if (LeavesKingInCheck(b, m, side)) return TFoul::kLeavesKingInCheck;
  return TFoul::kNone;
}

bool IsLegal(const TKyokumen& p, const TMove& m) { return CheckMove(p, m) == TFoul::kNone; }

std::vector<TMove> LegalMoves(const TKyokumen& p) {
  const int32_t side = Sign(p.SideToMove());
  std::vector<TMove> moves;
  moves.reserve(128);
  BoardMoves(p.Board, side, [&](const TMove& m) {
    if (!LeavesKingInCheck(p.Board, m, side)) moves.push_back(m);
  });
  Drops(p, side, 0, [&](const TMove& m) { moves.push_back(m); });
  return moves;
}

std::vector<TMove> LegalMovesTo(const TKyokumen& p, int32_t to) {
  const int32_t side = Sign(p.SideToMove());
  std::vector<TMove> moves;
  if (!IsSquare(to)) return moves;
  BoardMoves(p.Board, side, [&](const TMove& m) {
    if (m.to == to && !LeavesKingInCheck(p.Board, m, side)) moves.push_back(m);
  });
  Drops(p, side, to, [&](const TMove& m) { moves.push_back(m); });
  return moves;
}

bool HasLegalMove(const TKyokumen& p) {
  const int32_t side = Sign(p.SideToMove());
  if (HasBoardEvasion(p.Board, side)) return true;
  bool found = false;
  Drops(p, side, 0, [&](const TMove&) { found = true; });
  return found;
}

bool IsCheckmate(const TKyokumen& p) {
  const int32_t side = Sign(p.SideToMove());
  return IsInCheck(p, side) && !HasLegalMove(p);
}

int64_t CountMoveSequences(const TKyokumen& p, int depth) {
  if (depth <= 0) return 1;
  const std::vector<TMove> moves = LegalMoves(p);
  if (depth == 1) return static_cast<int64_t>(moves.size());
  int64_t n = 0;
  for (const TMove& m : moves) {
    TKyokumen next;
    next.Board = p.Board;
    next.SenteHand = p.SenteHand;
    next.GoteHand = p.GoteHand;
    next.Turn = p.Turn;
    PlayMove(next, m);
    n += CountMoveSequences(next, depth - 1);
  }
  return n;
}

void PlayMove(TKyokumen& p, const TMove& m) {
  if (!IsSquare(m.to) || (!m.IsDrop() && !IsSquare(m.from))) return;
  const int32_t side = Sign(p.SideToMove());
  auto& hand = side == 1 ? p.SenteHand : p.GoteHand;
  if (m.IsDrop()) {
    const int k = HandIndexOf(m.drop);
    if (k >= 0) --hand[k];
    p.Board[m.to] = Code(m.drop, side);
  } else {
    const int32_t captured = p.Board[m.to];
    if (captured != kEmpty) {
      const int k = HandIndexOf(DemotedKind(KindOf(captured)));
      if (k >= 0) ++hand[k];
    }
    const int32_t kind = KindOf(p.Board[m.from]);
    p.Board[m.to] = Code(m.promote ? PromotedKind(kind) : kind, side);
    p.Board[m.from] = kEmpty;
  }
  p.LastSquare = m.to;
  p.LastOrigin = m.from;
  p.Turn = -side;
}

}  // namespace zelvaro
