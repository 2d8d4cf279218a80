// Writers of a read record (TKifRecord) in the formats fans exchange, and of
// one position as a board diagram. What they write, read back with
// ReadRecordBytes, gives the same positions, times and comments.
//
// A row's move is taken from its position and its parent's (where the piece
// came from and went, whether it promoted), not from the text it shows, so a
// record read from any format writes out alike. Rows whose text names no
// square (投了, 中断, ...) are the record's terminal words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/Record.h"

namespace zelvaro {

// The move of row `row` (> 0) of a record.
struct TRowMove {
  enum Kind { kBoard, kDrop, kWord, kUnapplied } kind = kWord;
  int32_t from = 0, to = 0;
  int32_t piece = 0;  // sente code of the piece before it moved (drops: the piece dropped)
  bool promote = false;
  bool same = false;    // to the square of the move before (同)
  int32_t side = 1;     // 1 sente, -1 gote
  std::u16string word;  // the text as the row shows it, without ▲/△
};
TRowMove MoveOfRow(const TKifRecord& record, int row);

// The side to move in the position row `row` shows (Row::side_to_move).
int32_t SideToMove(const TKifRecord& record, int row);

// A move in KIF notation: "７六歩(77)", "同　銀(31)", "５五角打", "２二角成(88)".
std::u16string KifMoveText(const TRowMove& move);
// The KIF name of a piece by its sente code ("歩", "成香", "龍"; "玉" for the king).
std::u16string_view PieceName(int32_t code);
// The two letters of a CSA piece ("FU" ... "RY") by sente code; empty when unknown.
std::string_view CsaPieceName(int32_t code);
// The sente code of CSA letters; 0 when unknown.
int32_t PieceOfCsaName(std::string_view letters);

// The board diagram (BOD) of a position, as KIF records write a set-up:
// 後手の持駒, the nine ranks with "v" before gote's pieces, 先手の持駒, and
// "後手番" when gote is to move.
std::vector<std::u16string> BodLines(const TKyokumen& position, int32_t side_to_move);

// The rows 1.. in the order KIF and KI2 write them: the main line, then
// each line's variations from its last move back to its first, each followed
// at once by its own variations. Every "変化：N手" then branches from the
// line written just before it or from the line that encloses it, which is
// how readers of KIF and KI2 take it, whatever order the record was read in.
std::vector<int> RowsInWritingOrder(const TKifRecord& record);

// Whole records as wide lines (the encoding is the caller's: KIF and KI2
// files are CP932, .kifu UTF-8). KIF and KI2 hold the variations; CSA the
// main line. KifLines' first line declares `utf8` or Shift_JIS.
std::vector<std::u16string> KifLines(const TKifRecord& record, bool utf8);
std::vector<std::u16string> CsaLines(const TKifRecord& record);
// KI2: the moves in Japanese notation (game/Notation.h), six to a line and
// a line of their own before a comment; terminal rows as "まで…" lines.
std::vector<std::u16string> Ki2Lines(const TKifRecord& record);

// The record in `format` as file bytes: kif, ki2 and csa in CP932, kifu in
// UTF-8, each line ended by CR LF (KIF, KI2) or LF (CSA). kSfen and kUsi are
// written by SfenOfRow (game/RecordUsi.h). Throws EConvertError for a format it cannot write.
std::string WriteRecord(const TKifRecord& record, TRecordFormat format);

// Joins lines with `eol` after each.
std::u16string JoinLines(const std::vector<std::u16string>& lines, std::u16string_view eol);

}  // namespace zelvaro
