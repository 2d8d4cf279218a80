// A record's positions as USI engines take them: the start as SFEN, the
// moves leading to any row as USI moves, the "position ..." command of a row,
// and a row's position as the rules see it (Turn = the side to move).
//
//   TUsiRowMoves r = UsiMovesOfRow(record, row);
//   engine.Send(PositionCommandOfRow(record, row));   // "position startpos moves 7g7f ..."
//   std::u16string pv = Ki2LineText(RulesPositionOfRow(record, row), pv_moves);
#pragma once

#include <string>
#include <vector>

#include "game/Record.h"
#include "game/Sfen.h"

namespace zelvaro {

// Row `row`'s position with Turn the side to move next (Row::side_to_move)
// and LastSquare the destination of its move (what 同 refers to next).
// Throws ERangeError for a row that does not exist.
TKyokumen RulesPositionOfRow(const TKifRecord& record, int row);

// The move number of the move that would follow row `row`.
int32_t NextMoveNumberOfRow(const TKifRecord& record, int row);

// The SFEN of row `row`'s position (row 0: the start, with the number of the
// record's first move).
std::string SfenOfRow(const TKifRecord& record, int row);
std::string StartSfen(const TKifRecord& record);

// How an engine reaches row `row`: from the record's start with the rules
// moves of the rows leading to it (the main line's or a variation's, rows
// that moved nothing left out), so that the engine sees repetitions. When a
// row on the way has no rules move (a foul, a move the rules could not read)
// the moves cannot get there: `from_start` is false, `start_sfen` is the
// row's own position and `moves` is empty.
struct TUsiRowMoves {
  std::string start_sfen;
  std::vector<std::string> moves;
  bool from_start = true;
};
TUsiRowMoves UsiMovesOfRow(const TKifRecord& record, int row);

// "position startpos moves ..." or "position sfen ... [moves ...]" for row `row`.
std::string PositionCommandOfRow(const TKifRecord& record, int row);

// Whether the position of row `row` is one the rules allow to be played on:
// the side that just moved is not in check (after a foul it may be, and an
// engine would be asked to take a king).
bool IsPlayablePositionOfRow(const TKifRecord& record, int row);

}  // namespace zelvaro
