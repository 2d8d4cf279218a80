// SFEN positions and USI moves, as USI engines read and write them.
//
//   "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1"
//   board from rank 1 to 9, each rank from file 9 to 1; side b (sente) or w
//   (gote); hands sente's then gote's, each in the order R B G S N L P, "-"
//   for none; the move number.
//   Moves: "7g7f" (file digit, rank letter a..i), "8h2b+", "P*5e".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/Rules.h"
#include "game/untKyokumen.h"
#include "toolkit/Exception.h"

namespace zelvaro {

inline constexpr std::string_view kStartSfen =
    "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1";

// A SFEN or a USI move that cannot be read; the message says where and why.
class ENotationError : public Exception {
 public:
  using Exception::Exception;
};

// The SFEN of `p` with its Turn as the side to move. Negative hand counters
// count as none; cells that are no squares are not part of it.
std::string ToSfen(const TKyokumen& p, int32_t move_number = 1);

// A position read from SFEN: Board, hands and Turn (the side to move); all
// else as constructed. The move number goes to `move_number` when given; a
// SFEN without one reads as move 1. Throws ENotationError for anything else
// than four (or three) fields of the layout above: a rank not of nine
// squares, an unknown letter, "+" before a piece that cannot promote, a
// side other than b/w, a king in hand, a move number that is no positive
// integer. The position need not be legal (a tsume problem has no sente king).
TKyokumen ParseSfen(std::string_view sfen, int32_t* move_number = nullptr);

// "7g7f", "8h2b+", "P*5e".
std::string ToUsi(const TMove& m);
// The move of a USI text, checked only for its form (squares on the board,
// a droppable piece letter). Throws ENotationError.
TMove ParseUsiMove(std::string_view usi);
// The same without throwing; nullopt for a text of another form.
std::optional<TMove> TryParseUsiMove(std::string_view usi);

// "position startpos moves 7g7f 3c3d" for the even start, else
// "position sfen <sfen> moves ..."; no " moves" when there are none.
std::string UsiPositionCommand(std::string_view start_sfen,
                               const std::vector<std::string>& usi_moves);

// Reads "startpos" or "sfen <4 fields>", optionally with "position " in
// front and " moves m1 m2 ..." after it: the start position (with its move
// number) and the moves, each checked for its form only. Throws
// ENotationError.
struct TUsiPosition {
  TKyokumen start;
  int32_t start_number = 1;
  std::vector<TMove> moves;
};
TUsiPosition ParseUsiPosition(std::string_view text);

}  // namespace zelvaro
