#include "game/RecordUsi.h"

#include <algorithm>

#include "toolkit/Exception.h"

namespace zelvaro {
namespace {

const TKifRecord::Row& RowAt(const TKifRecord& record, int row) {
  if (row < 0 || static_cast<size_t>(row) >= record.rows.size() ||
      static_cast<size_t>(row) >= record.row_positions.size()) {
    throw ERangeError("row " + std::to_string(row) + " is not in the record");
  }
  return record.rows[static_cast<size_t>(row)];
}

bool SamePosition(const TKyokumen& a, const TKyokumen& b) {
  for (int32_t sq = 11; sq <= 99; ++sq) {
    if (IsSquare(sq) && a.Board[sq] != b.Board[sq]) return false;
  }
  auto hand = [](const std::array<int32_t, 7>& h) {
    std::array<int32_t, 7> out = h;
    for (int32_t& n : out) n = std::max(n, 0);
    return out;
  };
  return hand(a.SenteHand) == hand(b.SenteHand) && hand(a.GoteHand) == hand(b.GoteHand) &&
         (a.Turn == -1) == (b.Turn == -1);
}

}  // namespace

TKyokumen RulesPositionOfRow(const TKifRecord& record, int row) {
  const TKifRecord::Row& r = RowAt(record, row);
  TKyokumen p;
  p.CopyBoardFrom(record.row_positions[static_cast<size_t>(row)]);
  p.Turn = r.side_to_move;  // as the row's position holds it
  return p;
}

int32_t NextMoveNumberOfRow(const TKifRecord& record, int row) {
  // A row that moved nothing waits for the same move as the row above it.
  for (size_t steps = 0; row != 0 && steps <= record.rows.size(); ++steps) {
    const TKifRecord::Row& r = RowAt(record, row);
    if (r.moved) {
      int32_t number = 0;
      for (char16_t c : r.caption) {
        if (c < u'0' || c > u'9' || number > 1000000) break;
        number = number * 10 + (c - u'0');
      }
      return number + 1;
    }
    row = r.parent;
  }
  return record.start_number;
}

std::string SfenOfRow(const TKifRecord& record, int row) {
  return ToSfen(RulesPositionOfRow(record, row), NextMoveNumberOfRow(record, row));
}

std::string StartSfen(const TKifRecord& record) { return SfenOfRow(record, 0); }

TUsiRowMoves UsiMovesOfRow(const TKifRecord& record, int row) {
  RowAt(record, row);
  std::vector<int> path;
  for (int r = row; r > 0; r = record.rows[static_cast<size_t>(r)].parent) {
    if (path.size() > record.rows.size()) break;  // parents always lie before their rows
    path.push_back(r);
  }
  std::reverse(path.begin(), path.end());
  TUsiRowMoves out;
  out.start_sfen = StartSfen(record);
  TKyokumen p = RulesPositionOfRow(record, 0);
  bool reached = true;
  for (int r : path) {
    const TKifRecord::Row& step = record.rows[static_cast<size_t>(r)];
    if (step.rules_move) {
      if (!IsLegal(p, *step.rules_move)) {
        reached = false;
        break;
      }
      out.moves.push_back(ToUsi(*step.rules_move));
      PlayMove(p, *step.rules_move);
    } else if (!SamePosition(p, RulesPositionOfRow(record, r))) {
      reached = false;
      break;
    }
  }
  if (!reached || !SamePosition(p, RulesPositionOfRow(record, row))) {
    out.start_sfen = SfenOfRow(record, row);
    out.moves.clear();
    out.from_start = false;
  }
  return out;
}

std::string PositionCommandOfRow(const TKifRecord& record, int row) {
  const TUsiRowMoves m = UsiMovesOfRow(record, row);
  return UsiPositionCommand(m.start_sfen, m.moves);
}

bool IsPlayablePositionOfRow(const TKifRecord& record, int row) {
  const TKyokumen p = RulesPositionOfRow(record, row);
  return !IsInCheck(p, Sign(Opponent(p.SideToMove())));
}

}  // namespace zelvaro
