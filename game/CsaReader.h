// The CSA record reader (versions 2.2 and 3.0). It turns a CSA record into
// the lines of the same game in KIF, which the KIF reader then reads: the
// header as KIF header lines (先手：, 後手：, 棋戦：, 開始日時：, 持ち時間：),
// the start as 手合割：平手 or a board diagram with the pieces in hand and
// 後手番, every move as a KIF move line ("   1 ７六歩(77)   ( 0:14/00:00:14)")
// with the time of its T statement, % endings as terminal rows (投了, 中断,
// ...) and ' comments as comment lines of the move above them.
//
// What it reads: V, N+/N-, $ lines, PI with pieces taken off, P1..P9 (cells
// read by tokens, one blank or three-character columns alike), P+/P-
// with 00 (in hand) and 00AL, the +/- line of the side to move first, moves
// "+7776FU" (the piece after the move, so a promotion is a change of piece),
// T seconds (fractions of 3.0 add up in the totals; a T after comment lines
// is the time of the move above them), % statements, several statements on one
// line joined by commas, and comments "'..." ("'*..." alike; "'**" is a program's score and
// expected moves). "'CSA encoding=" and "'encoding=" lines say nothing to show. A "/" line ends the
// first game of a file holding several; the rest is not read.
//
// The $TIME_LIMIT (2.2, "hh:mm+ss") and $TIME (3.0) values are shown as the
// header line 持ち時間：.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelvaro {

// `errors` (when given) receives a "指し手エラー <line>" for each move line
// that names no move ("+hello", "-9999ZZ"); its row shows the line as
// written and moves nothing.
std::vector<std::u16string> CsaToKifLines(const std::vector<std::u16string>& lines,
                                          std::vector<std::u16string>* errors = nullptr);

// Whether the bytes of a record declare UTF-8 the CSA 3.0 way ("'CSA encoding=UTF-8").
bool CsaDeclaresUtf8(std::string_view bytes);

}  // namespace zelvaro
