// SFEN and USI texts as records: a position ("lnsgkgsnl/... b - 1",
// "sfen ...", "startpos"), optionally with " moves 7g7f ...", or a USI
// position command ("position startpos moves ..."). The record starts there
// and its moves are the rows, numbered from the SFEN's move number.
#pragma once

#include <string>
#include <vector>

namespace zelvaro {

// The KIF lines of the same game (the start as 手合割：平手 or a board
// diagram, the moves as KIF move lines). The first line that is not empty
// is read. Throws ENotationError (game/Sfen.h), with a message saying where,
// when it is no SFEN or USI position.
std::vector<std::u16string> SfenToKifLines(const std::vector<std::u16string>& lines);

}  // namespace zelvaro
