// Moves written for people: the Japanese notation fans read (KI2 style,
// "▲７六歩", "△同　銀", "▲５二金左上", "▲５五角打"), and the reading of a
// move as a KIF record writes it ("７六歩(77)", "５五角打", "２二角成(88)").
//
// Positions are rules positions: Turn is the side to move and LastSquare the
// destination of the move before (0 when there was none), which 同 refers to.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/Rules.h"
#include "game/untKyokumen.h"

namespace zelvaro {

// The name of a piece in moves today: 歩 香 桂 銀 金 玉 飛 角 と 成香 成桂
// 成銀 竜 馬 (both kings are 玉). Empty for no piece.
std::u16string_view Ki2PieceName(int32_t kind);

// "７六" for square 76.
std::u16string SquareText(int32_t square);
// Square 76 for a text starting "７六"; 0 when it starts with no square.
int32_t SquareOfText(std::u16string_view text);

// The notation of the legal move `m` in `p`: "▲" or "△" (when `side_mark`),
// the destination ("７六", or "同　" when it is p.LastSquare), the piece as it
// stands before the move, then, as the Japan Shogi Association's rules ask,
// the words that tell it from the other pieces of the same kind that could
// move there (by how they move, also where their king would be left in check) (上 引 寄 first, then
// 右 左 直, then both as in 左上), 成 or 不成 where the move could promote, and 打 for a drop where
// a piece of that kind on the board could also move there. For a move that is not legal the text
// still names the squares and the piece, without the words.
std::u16string Ki2MoveText(const TKyokumen& p, const TMove& m, bool side_mark = true);

// USI moves played one after another from `p`, each written as Ki2MoveText
// does and joined by `separator`: an engine's principal variation as
// "▲７六歩 △３四歩 ▲２六歩". Stops before the first move that cannot be
// read or is not legal; `played` (when given) receives how many were written.
std::u16string Ki2LineText(const TKyokumen& p, const std::vector<std::string>& usi_moves,
                           std::u16string_view separator = u" ", size_t* played = nullptr);

// A move as a KIF record writes it, read against the position before it.
struct TKifMove {
  TMove move;
  TFoul foul = TFoul::kNone;  // kNone: the move is legal
};

// Reads a KIF move text: the destination (a full-width file and a kanji
// rank, or 同 with any blanks after it), the piece name (竜/龍, 全/成銀 and
// the other forms records use), 成 / 不成, 打, and the origin "(77)". Without
// origin and 打 the move is the one legal move of that piece to that square
// (a drop when no piece on the board can go there). nullopt when the text
// names no move (投了, 中断, 千日手, an empty text ...) or cannot be read
// as one (an unknown piece name, an origin that is no square, a piece named
// without origin that several pieces could be). A readable move that the
// rules forbid comes back with its foul; a piece named other than the one on
// its origin is kNoSuchPiece.
std::optional<TKifMove> ReadKifMove(const TKyokumen& before, std::u16string_view text);

}  // namespace zelvaro
