#include "engine/RecordPositions.h"

#include "game/Sfen.h"
#include "game/untKyokumen.h"

namespace zelvaro {

std::vector<TRecordPosition> RecordPositions(const TKifRecord& record) {
  std::vector<TRecordPosition> positions;
  positions.reserve(record.row_positions.size());
  for (size_t row = 0; row < record.row_positions.size(); ++row) {
    TKyokumen p = record.row_positions[row];
    // Row 0 holds the side to move; a move's row the side that made it,
    // unless the row is a word (投了…) that moved nothing.
    const std::u16string& move = record.rows[row].move;
    const bool moved = row > 0 && move.size() > 1 && NamesDestination(move.substr(1));
    if (moved) p.Turn = -p.Turn;
    int32_t number = 1;
    try {
      number = row == 0 ? 1
                        : std::stoi(std::string(record.rows[row].caption.begin(),
                                                record.rows[row].caption.end())) +
                              (moved ? 1 : 0);
    } catch (const std::exception&) {
    }
    TRecordPosition position;
    position.sfen = ToSfen(p, std::max(number, 1));
    position.command = "position sfen " + position.sfen;
    positions.push_back(std::move(position));
  }
  return positions;
}

std::string PvText(const std::string&, const std::vector<std::string>& pv) {
  std::string text;
  for (const std::string& move : pv) {
    if (!text.empty()) text += ' ';
    text += move;
  }
  return text;
}

}  // namespace zelvaro
