// The rules of shogi over TKyokumen: how each piece moves, promotion, drops,
// check, the legal moves of a position and checkmate.
//
// A position's Turn is the side to move (1 sente, -1 gote), as everywhere,
// and only the squares 11..99 with file and rank 1..9 count; the cells that
// are no squares are ignored. Hands are read as they stand (a negative
// counter holds no piece). A record row's position is a rules position too;
// RulesPositionOfRow (RecordUsi.h) gives it without the row's comment.
//
//   TKyokumen p;  LayOutStartingPosition(p);          // Turn 1: sente to move
//   for (const TMove& m : LegalMoves(p)) { ... }
//   if (CheckMove(p, m) == TFoul::kNone) PlayMove(p, m);  // Turn flips
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "game/untKyokumen.h"

namespace zelvaro {

// One move. A board move has `from` (a square) and no `drop`; a drop has
// from == 0 and `drop` the sente code of the piece (kFu, kKyo, kKei, kGin,
// kKin, kHisya, kKaku).
struct TMove {
  int32_t from = 0;
  int32_t to = 0;
  bool promote = false;
  int32_t drop = 0;

  bool IsDrop() const { return drop != 0; }
  bool operator==(const TMove&) const = default;
};

// Why a move is not allowed. kNone: it is legal.
enum class TFoul {
  kNone,
  kNoSuchPiece,   // the origin holds no piece of the mover (or not the one named)
  kUnreachable,   // the piece cannot move to that square
  kOwnPiece,      // it lands on one of the mover's own pieces
  kNotInHand,     // a drop of a piece the mover does not hold
  kOccupied,      // a drop on a square that is not empty
  kNifu,          // a second unpromoted pawn on a file
  kDeadPiece,     // a pawn, lance or knight where it could never move again
  kBadPromotion,  // promotes outside the zone, or a piece that cannot promote
  kLeavesKingInCheck,
  kUchifuzume,  // a pawn drop that mates
  kOffBoard,    // a square outside the board
};

// The foul as the user reads it: "二歩", "王手放置", ...; empty for kNone.
std::u16string_view FoulText(TFoul foul);

// Piece helpers on codes: owner 1 / -1 / 0 (empty or no piece), the sente
// code, and whether a sente code can promote.
int32_t OwnerOf(int32_t code);
int32_t KindOf(int32_t code);
bool CanPromoteKind(int32_t kind);
int32_t PromotedKind(int32_t kind);  // kFu -> kTo ...; others unchanged
int32_t DemotedKind(int32_t kind);   // kTo -> kFu ...; others unchanged
// Hand index (kHandFu ...) of an unpromoted kind, -1 for the king and
// promoted pieces.
int HandIndexOf(int32_t kind);
bool IsSquare(int32_t square);  // file and rank 1..9
// Whether `square` lies in the three ranks where `side`'s pieces promote.
bool InPromotionZone(int32_t square, int32_t side);

// Whether `side`'s king stands attacked (false when it has no king).
bool IsInCheck(const TKyokumen& p, int32_t side);
// Whether a piece of `by_side` attacks `square`.
bool IsAttacked(const TKyokumen& p, int32_t square, int32_t by_side);

// Why `m` is not legal for the side to move, kNone when it is.
TFoul CheckMove(const TKyokumen& p, const TMove& m);
bool IsLegal(const TKyokumen& p, const TMove& m);

// Every legal move of the side to move: board moves in square order (each
// promotion before its non-promotion), then drops.
std::vector<TMove> LegalMoves(const TKyokumen& p);
// Legal moves from one square, or to one square.
std::vector<TMove> LegalMovesTo(const TKyokumen& p, int32_t to);
bool HasLegalMove(const TKyokumen& p);
// In check and no legal move.
bool IsCheckmate(const TKyokumen& p);
// The number of legal move sequences of `depth` moves from `p` ("perft"),
// the usual check of a move generator against published counts.
int64_t CountMoveSequences(const TKyokumen& p, int depth);

// Plays `m` for the side to move without checking it: a capture enters the
// mover's hand demoted, a drop leaves it; LastSquare becomes `to`,
// LastOrigin `from` (0 for a drop), Turn the other side. Comment is left as
// it is. A move naming a square off the board changes nothing.
void PlayMove(TKyokumen& p, const TMove& m);

}  // namespace zelvaro
