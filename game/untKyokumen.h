// TKyokumen: one shogi position and the application of one move written in
// KIF notation. The position knows no rules: ApplyMove trusts the record and
// follows the text at fixed character positions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelvaro {

// Piece codes: 0 empty; sente 1..14; a gote piece is the sente code + 100.
enum PieceCode : int32_t {
  kEmpty = 0,
  kFu = 1,
  kTo = 2,
  kKyo = 3,
  kNariKyo = 4,
  kKei = 5,
  kNariKei = 6,
  kGin = 7,
  kNariGin = 8,
  kKin = 9,
  kOu = 10,
  kHisya = 11,
  kRyu = 12,
  kKaku = 13,
  kUma = 14,
  kGoteOffset = 100,
};

// Hand counter order: 歩, 香, 桂, 銀, 金, 飛, 角 (rook before bishop).
enum HandIndex { kHandFu, kHandKyo, kHandKei, kHandGin, kHandKin, kHandHisya, kHandKaku };

// A side of the game. Its value is the sign TKyokumen::Turn, piece owners
// and the rules' side arguments use.
enum class TSide : int32_t { kSente = 1, kGote = -1 };
constexpr int32_t Sign(TSide side) { return static_cast<int32_t>(side); }
constexpr TSide Opponent(TSide side) {
  return side == TSide::kSente ? TSide::kGote : TSide::kSente;
}
// The side a sign names: -1 gote, anything else sente.
constexpr TSide SideOfSign(int32_t sign) { return sign == -1 ? TSide::kGote : TSide::kSente; }

class TKyokumen {
 public:
  // Cell index = file * 10 + rank; cells 0..10 and multiples of 10 are no squares.
  std::array<int32_t, 100> Board{};
  std::array<int32_t, 7> SenteHand{};
  std::array<int32_t, 7> GoteHand{};
  // The side to move (Sign of a TSide: 1 sente, -1 gote), in every position:
  // the rules', the record rows', the readers'. ApplyMove moves its pieces.
  int32_t Turn = 1;
  std::u16string Comment;
  int32_t LastSquare = 0;
  // Origin square of the last board move; 0 after a drop. Terminal words
  // leave it as they leave LastSquare.
  int32_t LastOrigin = 0;

  // Board[square] = piece. Throws ERangeError for a square outside 0..99.
  void SetSquare(int32_t piece, int32_t square);

  // Applies one move of the side to move (Turn) and leaves Turn as it is:
  // the caller passes the turn. Moves are written "７六歩(77)", "同　銀(31)",
  // "同銀(31)", "５五角打", "２二角成(88)"; 同 may be followed by any number
  // of ideographic or ASCII spaces; a 成 after the piece name promotes unless
  // 不 stands before it.
  // Throws EConvertError when the two characters after the first "(" are no
  // integer and ERangeError when that integer lies outside 0..99; in both
  // cases the position is left exactly as it was.
  void ApplyMove(std::u16string_view move_text);

  // Copies what a following position inherits: board, hands, LastSquare and
  // LastOrigin (not Turn, not Comment).
  void CopyBoardFrom(const TKyokumen& other);

  TSide SideToMove() const { return SideOfSign(Turn); }
};

// Lays out the even-game starting position on an empty position with
// SetSquare, in the order the viewer's initialisation uses.
void LayOutStartingPosition(TKyokumen& position);

// The sente code of a piece name ("歩", "成香", "王", ...); 0 when unknown.
// The forms records also write are the same pieces: 竜 (龍), 全 (成銀),
// 圭 (成桂) and 杏 (成香).
int32_t PieceCodeOfName(std::u16string_view name);

// Whether a move text names a square to move to: a file and a rank, or the
// same-square mark 同. Texts that name none (投了, 中断, 封じ手, Time-up, an
// empty text) leave the position as it stands.
bool NamesDestination(std::u16string_view move_text);

}  // namespace zelvaro
