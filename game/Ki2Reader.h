// The KI2 record reader. KI2 writes moves as fans read them, without numbers
// or origins ("▲７六歩    △３四歩", "▲同　金直", "△７二銀打"), any number
// to a line. The reader finds each move's piece with the rules (game/Rules.h,
// game/Notation.h): among the moves of the side to move to the written
// square, the one whose Japanese notation is the written text (龍/竜, 王/玉,
// 全/圭/杏 and the blanks after 同 read alike); where none is written exactly
// so, the one the square, piece and 成/不成 name if the words (右 左 直 上 引
// 寄 打) leave only one. Moves the rules forbid but a piece can make (二歩,
// leaving the king in check) are read too, as in the KIF records of such
// games. A move no piece can make, or one the words leave ambiguous, is
// reported as "指し手エラー" like a KIF move that cannot be applied, and the
// reading goes on.
//
// Records of other programs read as well: ▼/▽ as the side marks, digits
// half-width ("▲26歩") or the rank a digit, and moves with no blank between
// them ("▲７六歩△３四歩"). Moves after the line's "まで" line (the game is
// over) are not read; the first is reported.
//
// Everything else reads as in KIF: header lines, 手合割, board diagrams and
// 持駒, comments "*" (to the move above), "変化：N手". A "まで…" line ending
// in a result (投了 as "…の勝ち", 中断, 千日手, 持将棋, 詰, 不詰, 反則勝ち/負け,
// 時間切れ) adds that terminal row as KIF records write it.
#pragma once

#include <string>
#include <vector>

#include "game/KifReader.h"

namespace zelvaro {

// The KIF lines of the same game, and for each move row they make, in order,
// the move as the KI2 record writes it (without ▲/△).
struct TKi2Conversion {
  std::vector<std::u16string> kif_lines;
  std::vector<std::u16string> written;  // per move row; terminal rows hold their word
  std::vector<bool> unapplied;          // per move row: the move could not be found
  std::vector<std::u16string> reports;  // what the reading tells besides
};
TKi2Conversion Ki2ToKifLines(const std::vector<std::u16string>& lines);

// After reading conv.kif_lines: the rows show the moves as written, and a
// move that could not be found is reported with its written text.
void ShowKi2Moves(TKifRecord& record, const TKi2Conversion& conv);

}  // namespace zelvaro
