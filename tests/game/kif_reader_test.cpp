#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "game/KifReader.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using Lines = std::vector<std::u16string>;

constexpr std::u16string_view kPrefix = u"<P>";

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

// A reading of `lines` into a fresh record (or into `record` to read again).
struct Reading {
  TKifRecord record;
  std::u16string header;

  explicit Reading(const Lines& lines) { Read(lines); }
  void Read(const Lines& lines) {
    TKifReader reader(record);
    reader.Begin(kPrefix);
    reader.ReadLines(lines);
    header = reader.HeaderText();
  }
  const TKifRecord::Row& Row(int i) const { return record.rows.at(i); }
  // The main-line position after move i, and the position row i shows.
  const TKyokumen& Pos(int i) const { return record.MainPosition(i); }
  const TKyokumen& RowPos(int i) const { return record.row_positions.at(i); }
};

std::u16string MoveLine(int n, std::u16string_view move,
                        std::u16string_view time = u"( 0:01/00:00:01)") {
  char number[8];
  std::snprintf(number, sizeof number, "%4d", n);
  std::u16string line = Utf8ToUtf16(number) + u" " + std::u16string(move);
  line.resize(std::max<size_t>(line.size(), 18), u' ');
  return line + std::u16string(time);
}

const Lines kOpening = {
    u"開始日時：2024/05/01 09:00",
    u"棋戦：名人戦",
    u"先手：佐藤一郎",
    u"後手：鈴木二郎",
    u"手数----指手---------消費時間--",
    u"*序盤の前",
    u"   1 ７六歩(77)   ( 0:01/00:00:01)",
    u"*序盤",
    u"   2 ３四歩(33)   ( 0:02/00:00:02)",
    u"   3 ２二角成(88) ( 1:00/00:01:01)",
    u"*角交換",
    u"*http://example.jp/a",
    u"   4 同　銀(31)   ( 5:12/01:10:30)",
    u"まで4手で中断",
    u"*終局後の感想",
};

TEST(KifReader, WorkedExample) {
  Reading r(kOpening);
  ASSERT_EQ(r.record.rows.size(), 5u);
  struct Expected {
    const char16_t *caption, *move, *time, *other;
  } rows[] = {
      {u"0", u"開始局面", u"0分(計0分)", u"ｺﾒﾝﾄ"},
      {u"1", u"▲７六歩(77)", u" 0分(計0分)", u"ｺﾒﾝﾄ"},
      {u"2", u"△３四歩(33)", u" 0分(計0分)", u" "},
      {u"3", u"▲２二角成(88)", u" 1分(計1分)", u"ｺﾒﾝﾄ"},
      {u"4", u"△同　銀(31)", u" 5分(計70分)", u"ｺﾒﾝﾄ"},
  };
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(U8(r.Row(i).caption), U8(rows[i].caption));
    EXPECT_EQ(U8(r.Row(i).move), U8(rows[i].move));
    EXPECT_EQ(U8(r.Row(i).time), U8(rows[i].time));
    EXPECT_EQ(U8(r.Row(i).other), U8(rows[i].other));
  }
  EXPECT_EQ(U8(r.Pos(0).Comment), "序盤の前<BR>");
  EXPECT_EQ(U8(r.Pos(1).Comment), "序盤<BR>");
  EXPECT_EQ(U8(r.Pos(2).Comment), "");
  EXPECT_EQ(U8(r.Pos(3).Comment), "角交換<BR>http://example.jp/a<BR>");
  // Comment lines after the last move, also after まで, belong to it.
  EXPECT_EQ(U8(r.Pos(4).Comment), "終局後の感想<BR>");
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(r.Pos(i).Comment, r.RowPos(i).Comment) << i;

  EXPECT_EQ(r.Pos(1).Board[77], 0);
  EXPECT_EQ(r.Pos(1).Board[76], kFu);
  EXPECT_EQ(r.Pos(2).Board[34], kFu + kGoteOffset);
  EXPECT_EQ(r.Pos(2).Board[76], kFu);
  EXPECT_EQ(r.Pos(3).Board[22], kUma);
  EXPECT_EQ(r.Pos(3).SenteHand[kHandKaku], 1);
  EXPECT_EQ(r.Pos(4).Board[22], kGin + kGoteOffset);
  EXPECT_EQ(r.Pos(4).GoteHand[kHandKaku], 1);
  EXPECT_EQ(r.Pos(0).Board[77], kFu);  // the starting position is never touched
  // Each position holds the side to move next; the row holds its mover.
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(r.Pos(i).Turn, i % 2 ? -1 : 1);
    EXPECT_EQ(r.Row(i).side, i % 2 ? 1 : -1);
  }

  EXPECT_EQ(
      U8(r.header),
      "<P>開始日時：2024/05/01 09:00<BR>棋戦：名人戦<BR>先手：佐藤一郎<BR>後手：鈴木二郎<BR>");
  EXPECT_EQ(U8(r.record.sente_name), "佐藤一郎");
  EXPECT_EQ(U8(r.record.gote_name), "鈴木二郎");
  EXPECT_EQ(U8(r.record.tournament_name), "名人戦");
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ 名人戦 ]");
  EXPECT_TRUE(r.record.reports.empty());
}

TEST(KifReader, TimeColumn) {
  struct Case {
    std::u16string_view field, time;
  } cases[] = {
      {u"( 0:01/00:00:01)", u" 0分(計0分)"},
      {u"( 5:12/01:10:30)", u" 5分(計70分)"},
      {u"(12:00/02:05:10)", u"12分(計125分)"},
      {u"( 0:10/01:23:45)", u" 0分(計83分)"},
      {u"( 3:00/00:59:59)", u" 3分(計59分)"},  // 0 hours add nothing
      {u"(123:00/100:00:00)", u"123分(計6000分)"},
      {u"( 1:00/99999999:00:00)", u" 1分(計5999999940分)"},  // no 32-bit overflow
      {u"( 1:00/99999999999:00:00)", u" 1分(計0分)"},        // unconvertible hours count 0
      {u"( 0:01/00:01)", u""},                               // short form: no match
      {u"", u""},
      {u"( 0:01 / 00:00:01)", u" 0分(計0分)"},  // blanks around the slash
      {u"(01:42 / 01:01:42)", u"01分(計61分)"},
      {u"(0:4/0:1:4)", u"0分(計1分)"},  // unpadded
      {u"( 1:10/)", u" 1分(計1分)"},    // no total: the side's own times
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.field));
    Reading r({MoveLine(1, u"７六歩(77)", c.field)});
    ASSERT_EQ(r.record.rows.size(), 2u);
    EXPECT_EQ(U8(r.Row(1).time), U8(c.time));
  }
}

TEST(KifReader, LinesThatAreSkippedOrIgnored) {
  struct Case {
    const char* name;
    Lines lines;
    size_t rows;
    std::u16string_view start_comment;
  } cases[] = {
      {"a lone asterisk is an empty comment line", {u"*", u"*a", u"*"}, 1, u"<BR>a<BR><BR>"},
      {"comment of one space", {u"* "}, 1, u" <BR>"},
      {"number not an integer", {u"*a", u"  x1 ７六歩(77)   ( 0:01/00:00:01)"}, 1, u"a<BR>"},
      {"full-width number", {u"*a", u" １２ ７六歩(77)   ( 0:01/00:00:01)"}, 1, u"a<BR>"},
      {"signed number", {u"*a", u"  -1 ７六歩(77)   ( 0:01/00:00:01)"}, 1, u"a<BR>"},
      {"number without a move", {u"*a", u"  12   "}, 1, u"a<BR>"},
      {"number glued to the move", {u"*a", u"12７六歩(77)"}, 1, u"a<BR>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reading r(c.lines);
    EXPECT_EQ(r.record.rows.size(), c.rows);
    EXPECT_EQ(U8(r.Pos(0).Comment), U8(c.start_comment));
    EXPECT_EQ(U8(r.Row(0).other), "ｺﾒﾝﾄ");
    EXPECT_EQ(U8(r.header), c.lines.back()[0] == u'1' ? "<P>12７六歩(77)<BR>" : U8(kPrefix));
  }
}

// Without a total, each side's times add up along its own line.
TEST(KifReader, TimeWithoutTotal) {
  Reading r({MoveLine(1, u"７六歩(77)", u"( 0:50/)"), MoveLine(2, u"３四歩(33)", u"( 2:30/)"),
             MoveLine(3, u"２六歩(27)", u"( 0:20/)"), u"変化：3手",
             MoveLine(3, u"２六歩(27)", u"( 0:05/)")});
  const char* totals[] = {"", " 0分(計0分)", " 2分(計2分)", " 0分(計1分)", " 0分(計0分)"};
  for (int row = 1; row <= 4; ++row) EXPECT_EQ(U8(r.Row(row).time), totals[row]) << row;
}

// The start a record writes: a handicap, or a diagram with the pieces in
// hand; who moves first; 上手 and 下手 for the players.
TEST(KifReader, StartPositions) {
  struct Case {
    const char* name;
    Lines header;
    std::vector<int> empty;  // squares of the standard start left empty
    int first_side;
    size_t reports;
  } cases[] = {
      {"平手", {u"手合割：平手　　"}, {}, 1, 0},
      {"香落ち", {u"手合割：香落ち"}, {11}, -1, 0},
      {"右香落ち", {u"手合割：右香落ち"}, {91}, -1, 0},
      {"角落ち", {u"手合割：角落ち"}, {22}, -1, 0},
      {"飛車落ち", {u"手合割：飛車落ち"}, {82}, -1, 0},
      {"二枚落ち", {u"手合割：二枚落ち"}, {22, 82}, -1, 0},
      {"四枚落ち", {u"手合割：四枚落ち"}, {11, 22, 82, 91}, -1, 0},
      {"六枚落ち", {u"手合割：六枚落ち"}, {11, 21, 22, 81, 82, 91}, -1, 0},
      {"十枚落ち", {u"手合割：十枚落ち"}, {11, 21, 22, 31, 41, 61, 71, 81, 82, 91}, -1, 0},
      {"handicap, sente written to move", {u"手合割：角落ち", u"下手番"}, {22}, 1, 0},
      {"unknown name, told once", {u"手合割：謎落ち", u"手合割：謎落ち"}, {}, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lines lines = c.header;
    lines.push_back(u"上手：上の人");
    lines.push_back(u"下手：下の人");
    lines.push_back(MoveLine(1, u"５二玉(51)"));
    lines.push_back(MoveLine(2, u"５八玉(59)"));
    Reading r(lines);
    TKyokumen start;
    LayOutStartingPosition(start);
    for (int square : c.empty) start.Board[square] = kEmpty;
    EXPECT_EQ(r.Pos(0).Board, start.Board);
    EXPECT_EQ(r.Pos(0).Turn, c.first_side);
    // Sente moving gote's king is a foul, told in one more report.
    EXPECT_EQ(r.record.reports.size(), c.reports + (c.first_side == 1 ? 1 : 0));
    EXPECT_EQ(U8(r.Row(1).move), c.first_side == 1 ? "▲５二玉(51)" : "△５二玉(51)");
    EXPECT_EQ(r.Pos(1).Board[52], c.first_side == 1 ? kOu : kOu + kGoteOffset);
    EXPECT_EQ(r.Pos(2).Turn, c.first_side);
    EXPECT_EQ(U8(r.record.gote_name), "上の人");
    EXPECT_EQ(U8(r.record.sente_name), "下の人");
  }

  // A diagram with hands and gote to move; a diagram after the first move is no start.
  Reading r({u"後手の持駒：飛二　角 歩十八", u"  ９ ８ ７ ６ ５ ４ ３ ２ １",
             u"+---------------------------+", u"| ・ ・ ・ ・v玉 ・ ・ ・ ・|一",
             u"| ・ ・ ・ ・ ・ ・ ・ ・ ・|二", u"| ・ ・ ・ ・ 金 ・ ・ ・ ・|三",
             u"| ・ ・ ・ ・ ・ ・ ・ ・ ・|四", u"| ・ ・ ・ ・ ・ ・ ・ ・ ・|五",
             u"| ・ ・ ・ ・ ・ ・ ・ ・ ・|六", u"| ・ ・ ・ ・ ・ ・ ・ ・ ・|七",
             u"| ・ ・ ・ ・ ・ ・ ・ ・ ・|八", u"| 香 ・ ・ ・ ・ ・ ・ ・v竜|九",
             u"+---------------------------+", u"先手の持駒：金　銀三", u"後手番",
             MoveLine(1, u"５二玉(51)"), u"| ・ ・ ・ ・ 金 ・ ・ ・ ・|一",
             MoveLine(2, u"５二金打")});
  const TKyokumen& start = r.Pos(0);
  int pieces = 0;
  for (int32_t cell : start.Board) pieces += cell != kEmpty;
  EXPECT_EQ(pieces, 4);
  EXPECT_EQ(start.Board[51], kOu + kGoteOffset);
  EXPECT_EQ(start.Board[53], kKin);
  EXPECT_EQ(start.Board[99], kKyo);
  EXPECT_EQ(start.Board[19], kRyu + kGoteOffset);
  EXPECT_EQ(start.GoteHand, (std::array<int32_t, 7>{18, 0, 0, 0, 0, 2, 1}));
  EXPECT_EQ(start.SenteHand, (std::array<int32_t, 7>{0, 0, 0, 3, 1, 0, 0}));
  EXPECT_EQ(start.Turn, -1);
  EXPECT_EQ(U8(r.Row(1).move), "△５二玉(51)");
  EXPECT_EQ(U8(r.Row(2).move), "▲５二金打");
  EXPECT_EQ(r.Pos(2).Board[52], kKin);
  EXPECT_EQ(r.Pos(2).SenteHand[kHandKin], 0);
  EXPECT_EQ(r.Pos(2).Board[51], kEmpty);
}

TEST(KifReader, HeaderLinesAndKeys) {
  Reading r({
      u"# ---- 棋譜ファイル ----",
      u"開始日時：2024/05/01",
      u"場所：<i>東京</i>",
      u"手合割：平手",
      u"手数----指手----",
      u"#先手：シャープ行の先手",
      u"*後手：コメント行の後手",
      u"まで棋戦：閉じ行の棋戦",
      u" 棋戦：X",
  });
  EXPECT_EQ(r.record.rows.size(), 1u);
  EXPECT_EQ(U8(r.header), "<P>開始日時：2024/05/01<BR>場所：<i>東京</i><BR>手合割：平手<BR>");
  // Characters 4 onwards, whatever the line starts with.
  EXPECT_EQ(U8(r.record.sente_name), "：シャープ行の先手");
  EXPECT_EQ(U8(r.record.gote_name), "：コメント行の後手");
  EXPECT_EQ(U8(r.record.tournament_name), "：X");  // the last key line wins
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ ：X ]");
}

TEST(KifReader, HeaderValuesAreCutAt128Characters) {
  std::u16string name(200, u'名');
  Reading r({u"先手：" + name, u"棋戦：" + name});
  EXPECT_EQ(r.record.sente_name, name.substr(0, 128));
  EXPECT_EQ(r.record.tournament_name, name.substr(0, 128));
}

TEST(KifReader, LongCommentLinesStayWhole) {
  std::u16string text(800, u'解');
  text += u"END";
  Reading r({u"*" + text, MoveLine(1, u"７六歩(77)")});
  EXPECT_EQ(r.Pos(0).Comment, text + u"<BR>");
}

TEST(KifReader, MoveText) {
  struct Case {
    std::u16string line;
    std::u16string move;
  } cases[] = {
      {u"   1 ７六歩(77)   ( 0:01/00:00:01)", u"▲７六歩(77)"},
      {u"   2 同　歩(33)", u"△同　歩(33)"},              // the ideographic space is no cut
      {u"   1 ７六歩(77)", u"▲７六歩(77)"},              // no time field: ten characters suffice
      {u"   1 ７六歩(77)x" + std::u16string(200, u'y'),  // at most 128 characters
       u"▲７六歩(77)x" + std::u16string(120, u'y')},
      {u"   1 ５五角", u"▲５五角"},                        // any length
      {u"1 ７六歩(77) ( 0:01/00:00:01)", u"▲７六歩(77)"},  // unpadded numbers
      {u"1   ７六歩(77)   (0:4/0:0:4)", u"▲７六歩(77)"},
      {u"\t12\t同　銀(31)", u"△同　銀(31)"},
      {u" 194  Time-up   ( 0:0/)", u"△Time-up"},
      {u"   2 同 銀(31)   ( 0:01/00:00:01)", u"△同 銀(31)"},  // blanks after 同 are no cut
      {u"   2      ( 0:01/00:00:01)", u"△"},                  // a time field and no move
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.line));
    Reading r({c.line});
    ASSERT_EQ(r.record.rows.size(), 2u);
    EXPECT_EQ(U8(r.Row(1).move), U8(c.move));
  }
}

TEST(KifReader, TerminalWordKeepsThePosition) {
  Reading r({MoveLine(1, u"７六歩(77)"), MoveLine(2, u"３四歩(33)"),
             u"   3 投了         ( 0:10/01:23:45)"});
  ASSERT_EQ(r.record.rows.size(), 4u);
  EXPECT_EQ(U8(r.Row(3).caption), "3");
  EXPECT_EQ(U8(r.Row(3).move), "▲投了");
  EXPECT_EQ(U8(r.Row(3).time), " 0分(計83分)");
  EXPECT_EQ(r.Pos(3).Board, r.Pos(2).Board);
  EXPECT_EQ(r.Pos(3).LastSquare, r.Pos(2).LastSquare);
  EXPECT_EQ(r.Pos(3).Turn, 1);
}

// Each row shows its own position: variations branch from the line they
// leave and never touch the main line.
TEST(KifReader, Variations) {
  Reading r({MoveLine(1, u"７六歩(77)"), MoveLine(2, u"３四歩(33)"), MoveLine(3, u"２二角成(88)"),
             MoveLine(4, u"同　銀(31)"), u"まで4手で中断", u"変化：4手",
             MoveLine(4, u"同　飛(82)"),  // 同: the square of move 3
             u"変化：3手", MoveLine(3, u"２六歩(27)"), u"*本線と違う", MoveLine(4, u"８四歩(83)"),
             u"変化：4手", MoveLine(4, u"４四歩(43)"),  // inside the variation above
             u"変化：2手", MoveLine(2, u"８四歩(83)"), MoveLine(3, u"２六歩(27)")});
  ASSERT_EQ(r.record.rows.size(), 11u);
  ASSERT_EQ(r.record.main_line.size(), 5u);
  // The main line is the main line.
  EXPECT_EQ(r.Pos(3).Board[22], kUma);
  EXPECT_EQ(r.Pos(4).Board[22], kGin + kGoteOffset);
  for (int n = 0; n <= 4; ++n) EXPECT_EQ(&r.Pos(n), &r.RowPos(n));
  struct Expected {
    int row;
    const char16_t *caption, *other;
    int line, square, piece;
  } rows[] = {
      {5, u"4", u"変化", 1, 22, kHisya + kGoteOffset},
      {6, u"3", u"ｺﾒﾝﾄ", 2, 22, kKaku + kGoteOffset},  // a comment wins over the mark
      {7, u"4", u" ", 2, 84, kFu + kGoteOffset},
      {8, u"4", u"変化", 3, 44, kFu + kGoteOffset},  // from move 3 of the variation
      {9, u"2", u"変化", 4, 33, kFu + kGoteOffset},  // from move 1: 3四歩 never played
      {10, u"3", u" ", 4, 26, kFu},
  };
  for (const auto& e : rows) {
    SCOPED_TRACE(e.row);
    EXPECT_EQ(U8(r.Row(e.row).caption), U8(e.caption));
    EXPECT_EQ(r.Row(e.row).line, e.line);
    EXPECT_EQ(U8(r.Row(e.row).other), U8(e.other));
    EXPECT_EQ(r.RowPos(e.row).Board[e.square], e.piece);
  }
  EXPECT_EQ(r.RowPos(5).GoteHand[kHandKaku], 1);
  EXPECT_EQ(r.RowPos(8).Board[26], kFu);
  EXPECT_EQ(r.RowPos(8).Board[84], kEmpty);
  EXPECT_EQ(U8(r.RowPos(6).Comment), "本線と違う<BR>");
  EXPECT_EQ(r.header.find(u"変化："), std::u16string::npos);  // steers the reading, no field
}

// "変化：N手" branches from move N-1 of the nearest enclosing line that
// reaches it, never from the end of a shorter variation.
TEST(KifReader, VariationBase) {
  const Lines main = {MoveLine(1, u"７六歩(77)"), MoveLine(2, u"３四歩(33)"),
                      MoveLine(3, u"２六歩(27)"), MoveLine(4, u"８四歩(83)")};
  struct Case {
    const char* name;
    Lines variations;
    int row;  // the row checked
    int square, piece;
  };
  const Case cases[] = {
      // One variation per move, in move order: 3 branches from the main line.
      {"move order",
       {u"変化：1手", MoveLine(1, u"２六歩(27)"), u"変化：3手", MoveLine(3, u"２二角成(88)")},
       6,
       34,
       kFu + kGoteOffset},
      {"move order, king stays home",
       {u"変化：1手", MoveLine(1, u"５八玉(59)"), u"変化：3手", MoveLine(3, u"５八玉(59)")},
       6,
       59,
       kEmpty},
      // A variation that holds move 2 is the base of one at 3.
      {"nested",
       {u"変化：2手", MoveLine(2, u"８四歩(83)"), u"変化：3手", MoveLine(3, u"２六歩(27)")},
       6,
       84,
       kFu + kGoteOffset},
      {"nested keeps its line",
       {u"変化：2手", MoveLine(2, u"８四歩(83)"), u"変化：3手", MoveLine(3, u"２六歩(27)")},
       6,
       34,
       kEmpty},
      // Deepest first: each from the main line.
      {"deepest first",
       {u"変化：4手", MoveLine(4, u"４四歩(43)"), u"変化：2手", MoveLine(2, u"８四歩(83)"),
        MoveLine(3, u"２六歩(27)")},
       7,
       84,
       kFu + kGoteOffset},
      {"deepest first, after",
       {u"変化：4手", MoveLine(4, u"４四歩(43)"), u"変化：3手", MoveLine(3, u"１六歩(17)")},
       6,
       34,
       kFu + kGoteOffset},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lines lines = main;
    lines.insert(lines.end(), c.variations.begin(), c.variations.end());
    Reading r(lines);
    ASSERT_LT(c.row, static_cast<int>(r.record.rows.size()));
    EXPECT_EQ(r.RowPos(c.row).Board[c.square], c.piece);
    EXPECT_TRUE(r.record.reports.empty()) << U8(r.record.reports.front());
  }
}

// The header document holds the header fields; the diagram is set apart.
TEST(KifReader, HeaderDocumentLines) {
  Reading r({u"棋戦：詰将棋", u"&読み込み時表示", u"備考：一行目¥n二行目\\n三行目",
             u"後手の持駒：なし", u"  ９ ８ ７ ６ ５ ４ ３ ２ １", u"+---------------------------+",
             u"| ・ ・ ・ ・v玉 ・ ・ ・ ・|一", u"+---------------------------+",
             u"先手の持駒：金", u"変化：3手"});
  const std::string h = U8(r.header);
  EXPECT_NE(h.find("棋戦：詰将棋<BR>"), std::string::npos);
  EXPECT_NE(h.find("備考：一行目<BR>二行目<BR>三行目<BR>"), std::string::npos);
  EXPECT_NE(h.find("先手の持駒：金<BR>"), std::string::npos);
  EXPECT_EQ(h.find("&読み込み"), std::string::npos);
  EXPECT_EQ(h.find("変化"), std::string::npos);
  EXPECT_NE(h.find("<font face=\"IPAGothic,monospace\">|&nbsp;・&nbsp;・"), std::string::npos);
  EXPECT_NE(h.find("&nbsp;&nbsp;９&nbsp;８"), std::string::npos);
  EXPECT_EQ(r.RowPos(0).Board[51], kOu + kGoteOffset);  // the diagram still sets the start
}

// A huge header or comment is cut with a note; rows stop at kMaxRecordRows.
TEST(KifReader, HugeInputIsCut) {
  Lines lines(5000, u"備考：" + std::u16string(20, u'長'));
  lines.push_back(MoveLine(1, u"７六歩(77)"));
  for (int i = 0; i < 5000; ++i) lines.push_back(u"*" + std::u16string(20, u'評'));
  for (size_t i = 0; i < kMaxRecordRows; ++i) lines.push_back(MoveLine(2, u"３四歩(33)"));
  Reading r(lines);
  EXPECT_LE(r.record.header_body.size(), kMaxDocumentChars + kDocumentCutNote.size());
  EXPECT_TRUE(r.record.header_body.ends_with(kDocumentCutNote));
  EXPECT_TRUE(r.RowPos(1).Comment.ends_with(kDocumentCutNote));
  EXPECT_EQ(r.record.rows.size(), kMaxRecordRows);
  EXPECT_EQ(r.record.reports, std::vector<std::u16string>{std::u16string(kRowsCutReport)});
}

// Moves that name nothing to do show the position before them.
TEST(KifReader, MovesThatNameNothingToDo) {
  for (const char16_t* move : {u"投了", u"中断", u"封じ手", u"Time-up", u"詰み", u""}) {
    SCOPED_TRACE(U8(move));
    Reading r({MoveLine(1, u"７六歩(77)"), MoveLine(2, move)});
    ASSERT_EQ(r.record.rows.size(), 3u);
    EXPECT_EQ(U8(r.Row(2).move), "△" + U8(move));
    EXPECT_EQ(r.Pos(2).Board, r.Pos(1).Board);
    EXPECT_EQ(r.Pos(2).LastSquare, 76);
    EXPECT_EQ(r.Pos(2).Turn, -1);  // still gote to move
  }
}

TEST(KifReader, SideToMoveFollowsTheNumberOnly) {
  // A record with gote to move still shows ▲ on odd numbers and places sente pieces.
  Reading r({u"手番：後手", MoveLine(1, u"３四歩(33)"), MoveLine(2, u"７六歩(77)")});
  EXPECT_EQ(U8(r.Row(1).move), "▲３四歩(33)");
  EXPECT_EQ(U8(r.Row(2).move), "△７六歩(77)");
  EXPECT_EQ(r.Pos(1).Turn, -1);  // after sente's move gote is to move
  EXPECT_EQ(r.Pos(1).Board[34], kFu);
  EXPECT_EQ(r.Pos(2).Board[76], kFu + kGoteOffset);
}

TEST(KifReader, MoveErrorsAreReportedAndTheReadingGoesOn) {
  Reading r({MoveLine(1, u"７六歩(7x)"), u"*まだ読む", MoveLine(2, u"３四歩(33)"),
             MoveLine(3, u"２六歩(-1)")});
  ASSERT_EQ(r.record.rows.size(), 4u);
  ASSERT_EQ(r.record.reports.size(), 2u);
  EXPECT_EQ(U8(r.record.reports[0]), "指し手エラー ７六歩(7x)");
  EXPECT_EQ(U8(r.record.reports[1]), "指し手エラー ２六歩(-1)");
  EXPECT_EQ(U8(r.Row(1).move), "▲７六歩(7x)");
  EXPECT_EQ(r.Pos(1).Board, r.Pos(0).Board);
  EXPECT_EQ(r.Pos(2).Board[34], kFu + kGoteOffset);
  EXPECT_EQ(U8(r.Pos(1).Comment), "まだ読む<BR>");
}

TEST(KifReader, NoLimitOnMoveNumbers) {
  Lines lines;
  const char16_t* kShuffle[] = {u"５一玉(52)", u"５八玉(59)", u"５二玉(51)", u"５九玉(58)"};
  for (int n = 1; n <= 317; ++n) lines.push_back(MoveLine(n, kShuffle[n % 4]));
  lines.push_back(u"*最後のコメント");
  lines.push_back(u"棋戦：読まれる");
  {
    Reading r(lines);
    ASSERT_EQ(r.record.rows.size(), 318u);
    EXPECT_EQ(r.record.main_line.size(), 318u);
    EXPECT_TRUE(r.record.reports.empty());
    EXPECT_EQ(r.Pos(317).Board[58], kOu);
    EXPECT_EQ(U8(r.Pos(317).Comment), "最後のコメント<BR>");
    EXPECT_EQ(U8(r.record.tournament_name), "読まれる");
  }
  {
    // A number no record reaches is told and not read.
    Reading r({MoveLine(1, u"７六歩(77)"), u"10000 ３四歩(33)", MoveLine(2, u"３四歩(33)")});
    EXPECT_EQ(r.record.rows.size(), 3u);
    ASSERT_EQ(r.record.reports.size(), 1u);
    EXPECT_NE(U8(r.record.reports[0]).find("10000"), std::string::npos);
  }
  {
    // Move 0 gives a row showing the position above it; a skipped number
    // shows the position before it.
    Reading r({u"*始め", MoveLine(0, u"７六歩(77)"), MoveLine(1, u"２六歩(27)"),
               MoveLine(3, u"２五歩(26)")});
    ASSERT_EQ(r.record.rows.size(), 4u);
    EXPECT_EQ(U8(r.Row(1).caption), "0");
    EXPECT_EQ(U8(r.Row(1).move), "△７六歩(77)");
    EXPECT_EQ(r.RowPos(1).Board, r.RowPos(0).Board);
    EXPECT_EQ(r.Pos(1).Board[26], kFu);
    EXPECT_EQ(U8(r.Pos(0).Comment), "始め<BR>");
    EXPECT_EQ(r.Pos(2).Board, r.Pos(1).Board);
    EXPECT_EQ(r.Pos(3).Board[25], kFu);
    EXPECT_TRUE(r.record.reports.empty());
  }
}

TEST(KifReader, RecordStartingLaterThanMoveOne) {
  Reading r({u"*前置き", MoveLine(40, u"７六歩(77)"), u"*次", MoveLine(41, u"３四歩(33)")});
  ASSERT_EQ(r.record.rows.size(), 3u);
  EXPECT_EQ(U8(r.Row(1).caption), "40");
  EXPECT_EQ(U8(r.Pos(39).Comment), "前置き<BR>");
  EXPECT_EQ(U8(r.Pos(40).Comment), "次<BR>");
}

TEST(KifReader, ReadingAgainKeepsWhatTheNewRecordLacks) {
  Reading r(kOpening);
  r.Read({u"先手：別の人", u"*前", MoveLine(1, u"２六歩(27)")});
  EXPECT_EQ(r.record.rows.size(), 2u);
  EXPECT_EQ(U8(r.record.sente_name), "別の人");
  EXPECT_EQ(U8(r.record.gote_name), "鈴木二郎");
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ 名人戦 ]");
  EXPECT_EQ(r.Pos(1).Board[26], kFu);
  EXPECT_EQ(r.Pos(1).Board[76], 0);
  // Nothing of the earlier game's positions is left.
  EXPECT_EQ(r.record.main_line.size(), 2u);
  EXPECT_EQ(r.record.row_positions.size(), 2u);

  r.Read({u"棋戦：順位戦", u"*始めのコメント"});
  EXPECT_EQ(r.record.rows.size(), 1u);
  EXPECT_EQ(U8(r.Pos(0).Comment), "始めのコメント<BR>");
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ 順位戦 ]");
}

}  // namespace
}  // namespace zelvaro
