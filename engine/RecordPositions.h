// The positions of a record as an engine is given them, and an engine's
// moves in the notation fans read.
#pragma once

#include <string>
#include <vector>

#include "game/Record.h"

namespace zelvaro {

struct TRecordPosition {
  std::string sfen;     // the position on show at the row
  std::string command;  // "position …" for the engine; empty when it has none
};

// The position of every row of `record` (rows of the record's order).
std::vector<TRecordPosition> RecordPositions(const TKifRecord& record);

// `pv` (USI moves) played from the position of `command` ("position …"), in
// Japanese notation
// ("▲７六歩 △３四歩 …"); the moves from the first one the position cannot
// take on are left out.
std::string PvText(const std::string& command, const std::vector<std::string>& pv);

}  // namespace zelvaro
