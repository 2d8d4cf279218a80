#include "engine/RecordPositions.h"

#include "game/Notation.h"
#include "game/RecordUsi.h"
#include "game/Sfen.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {

std::vector<TRecordPosition> RecordPositions(const TKifRecord& record) {
  std::vector<TRecordPosition> positions;
  positions.reserve(record.rows.size());
  for (int row = 0; row < static_cast<int>(record.rows.size()); ++row) {
    TRecordPosition position;
    position.sfen = SfenOfRow(record, row);
    // After a foul the side that moved may be in check: no engine is asked to take a king.
    if (IsPlayablePositionOfRow(record, row)) position.command = PositionCommandOfRow(record, row);
    positions.push_back(std::move(position));
  }
  return positions;
}

std::string PvText(const std::string& command, const std::vector<std::string>& pv) {
  try {
    const TUsiPosition parsed = ParseUsiPosition(command);
    TKyokumen p = parsed.start;
    for (const TMove& move : parsed.moves) PlayMove(p, move);
    return Utf16ToUtf8(Ki2LineText(p, pv));
  } catch (const Exception&) {
    return {};
  }
}

}  // namespace zelvaro
