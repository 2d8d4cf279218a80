// The Japanese notation of moves, the reading of KIF move texts by the rules,
// and what a record gives an engine: tables of short cases.
#include "game/Notation.h"

#include <gtest/gtest.h>

#include "game/RecordUsi.h"
#include "tests/game/ReadKif.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

// The cases of the Japan Shogi Association's notation rules: 上 引 寄 first,
// then 右 左 直 (from the mover's side), both where one alone is not enough;
// dragons and horses compare with each other and never use 直.
TEST(Ki2Notation, WordsThatTellPiecesApart) {
  struct Case {
    const char* sfen;
    const char* usi;
    const char16_t* text;
  } cases[] = {
      {kStartSfen.data(), "7g7f", u"▲７六歩"},
      {kStartSfen.data(), "6i5h", u"▲５八金左"},
      {kStartSfen.data(), "4i5h", u"▲５八金右"},
      {kStartSfen.data(), "3i4h", u"▲４八銀"},
      // Three golds abreast go to 5b.
      {"k8/9/3GGG3/9/9/9/9/9/4K4 b - 1", "6c5b", u"▲５二金左"},
      {"k8/9/3GGG3/9/9/9/9/9/4K4 b - 1", "5c5b", u"▲５二金直"},
      {"k8/9/3GGG3/9/9/9/9/9/4K4 b - 1", "4c5b", u"▲５二金右"},
      // Movement first; 左上 where 左 alone fits two golds.
      {"4k4/9/9/9/3G5/3GG4/9/9/4K4 b - 1", "6e5e", u"▲５五金寄"},
      {"4k4/9/9/9/3G5/3GG4/9/9/4K4 b - 1", "6f5e", u"▲５五金左上"},
      {"4k4/9/9/9/3G5/3GG4/9/9/4K4 b - 1", "5f5e", u"▲５五金直"},
      {"4k4/9/9/9/9/9/9/3G5/4KG3 b - 1", "6h5h", u"▲５八金寄"},  // not 左
      {"4k4/9/9/9/9/9/9/3G5/4KG3 b - 1", "4i5h", u"▲５八金上"},
      // Silvers, with 不成 where they could promote.
      {"k2S5/9/5S3/9/9/9/9/9/4K4 b - 1", "6a5b", u"▲５二銀引不成"},
      {"k2S5/9/5S3/9/9/9/9/9/4K4 b - 1", "6a5b+", u"▲５二銀引成"},
      {"k2S5/9/5S3/9/9/9/9/9/4K4 b - 1", "4c5b", u"▲５二銀上不成"},
      {"k2S5/9/3S1S3/9/9/9/9/9/4K4 b - 1", "6c5b", u"▲５二銀左上不成"},
      {"k2S5/9/3S1S3/9/9/9/9/9/4K4 b - 1", "4c5b", u"▲５二銀右不成"},
      {"k2S5/9/3S1S3/9/9/9/9/9/4K4 b - 1", "6a5b", u"▲５二銀引不成"},
      // Dragons and horses: left and right of each other.
      {"k8/7+R1/8+R/9/9/9/9/9/4K4 b - 1", "1c2d", u"▲２四竜右"},
      {"k8/7+R1/8+R/9/9/9/9/9/4K4 b - 1", "2b2d", u"▲２四竜左"},
      {"+B+B6k/9/9/9/9/9/9/9/4K4 b - 1", "9a8b", u"▲８二馬左"},
      {"+B+B6k/9/9/9/9/9/9/9/4K4 b - 1", "8a8b", u"▲８二馬右"},
      {"+B7k/9/9/9/9/9/9/9/4K3+B b - 1", "9a5e", u"▲５五馬引"},
      {"+B7k/9/9/9/9/9/9/9/4K3+B b - 1", "1i5e", u"▲５五馬上"},
      // Rooks, knights.
      {"k8/9/9/9/1R5R1/9/9/9/4K4 b - 1", "8e5e", u"▲５五飛左"},
      {"k8/9/9/9/1R5R1/9/9/9/4K4 b - 1", "2e5e", u"▲５五飛右"},
      {"k8/9/9/9/9/9/2N1N4/9/4K4 b - 1", "7g6e", u"▲６五桂左"},
      {"k8/9/9/9/9/9/2N1N4/9/4K4 b - 1", "5g6e", u"▲６五桂右"},
      // Gote's left is the side of file 1.
      {"4k4/9/3ggg3/9/9/9/9/9/K8 w - 1", "4c5d", u"△５四金左"},
      {"4k4/9/3ggg3/9/9/9/9/9/K8 w - 1", "6c5d", u"△５四金右"},
      {"4k4/9/3ggg3/9/9/9/9/9/K8 w - 1", "5c5d", u"△５四金直"},
      // A gold that can reach the square counts even when pinned, and even
      // when its move would not answer a check: the words are written.
      {"5r2k/9/3G1G3/9/9/9/9/9/5K3 b - 1", "6c5b", u"▲５二金左"},
      {"6gB1/9/5g3/4k4/9/9/9/9/4K4 w - 1", "3a4b", u"△４二金上"},  // ４三 pinned
      {"6g2/9/5g3/4k4/9/9/9/9/4K4 w - 1", "3a4b", u"△４二金上"},
      {"6g2/9/5g3/4k4/9/9/9/9/4K4 w - 1", "4c4b", u"△４二金引"},
      // Dragons: movement first, then left and right (never 直), both where
      // one alone does not tell them apart; a dragon pinned still counts.
      {"k8/9/7+R+R/9/9/9/9/9/4K4 b - 1", "2c2b", u"▲２二竜左"},
      {"k8/9/7+R+R/9/9/9/9/9/4K4 b - 1", "1c2b", u"▲２二竜右"},
      {"k6+R1/9/8+R/9/9/9/9/9/4K4 b - 1", "2a2c", u"▲２三竜引"},
      {"k6+R1/9/8+R/9/9/9/9/9/4K4 b - 1", "1c2c", u"▲２三竜寄"},
      {"k6+R1/9/8+R/9/9/9/9/9/4K4 b - 1", "2a2b", u"▲２二竜引"},
      {"k6+R1/9/8+R/9/9/9/9/9/4K4 b - 1", "1c2b", u"▲２二竜上"},
      {"k6+Rr/9/8+R/9/9/9/9/9/8K b - 1", "2a2b", u"▲２二竜引"},  // １三 pinned
      {"k7+R/9/8+R/9/9/9/9/9/4K4 b - 1", "1a1b", u"▲１二竜引"},
      {"k7+R/9/8+R/9/9/9/9/9/4K4 b - 1", "1c1b", u"▲１二竜上"},
      {"k8/9/9/9/+R7+R/9/9/9/4K4 b - 1", "9e5e", u"▲５五竜左"},
      {"k8/9/9/9/+R7+R/9/9/9/4K4 b - 1", "1e5e", u"▲５五竜右"},
      {"+R2k5/9/9/+R8/9/9/9/9/4K4 b - 1", "9a9b", u"▲９二竜引"},
      {"+R2k5/9/9/+R8/9/9/9/9/4K4 b - 1", "9d9b", u"▲９二竜上"},
      // Promotion and drops.
      {"k8/4P4/9/9/9/9/9/9/4K4 b - 1", "5b5a+", u"▲５一歩成"},
      {"k8/9/9/4S4/9/9/9/9/4K4 b - 1", "5d5c", u"▲５三銀不成"},
      {"k8/9/9/9/4S4/9/9/9/4K4 b - 1", "5e5d", u"▲５四銀"},
      {"4k4/9/9/9/9/9/9/4G4/4K4 b G 1", "G*4g", u"▲４七金打"},
      {"4k4/9/9/9/9/9/9/4G4/4K4 b G 1", "5h4g", u"▲４七金"},
      {"4k4/9/9/9/9/9/9/4G4/4K4 b G 1", "G*1a", u"▲１一金"},
      {"4k4/9/9/9/9/9/9/4+S4/4K4 b G 1", "G*4g", u"▲４七金"},  // 成銀 is no gold
      {"4k4/9/9/9/9/9/9/4+S4/4K4 b G 1", "5h4g", u"▲４七成銀"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sfen) + " " + c.usi);
    EXPECT_EQ(U8(Ki2MoveText(ParseSfen(c.sfen), ParseUsiMove(c.usi))), U8(c.text));
  }
  EXPECT_EQ(U8(Ki2MoveText(ParseSfen(kStartSfen), ParseUsiMove("7g7f"), false)), "７六歩");
}

TEST(Ki2Notation, LinesOfMoves) {
  const TKyokumen start = ParseSfen(kStartSfen);
  size_t played = 0;
  EXPECT_EQ(U8(Ki2LineText(start, {"7g7f", "3c3d", "8h2b+", "3a2b", "B*4e"}, u" ", &played)),
            "▲７六歩 △３四歩 ▲２二角成 △同　銀 ▲４五角");
  EXPECT_EQ(played, 5u);
  // Stops before a move that is not legal or not USI.
  EXPECT_EQ(U8(Ki2LineText(start, {"7g7f", "7g7f", "3c3d"}, u" ", &played)), "▲７六歩");
  EXPECT_EQ(played, 1u);
  EXPECT_EQ(U8(Ki2LineText(start, {"resign"}, u" ", &played)), "");
  EXPECT_EQ(played, 0u);
}

TEST(KifMove, ReadByTheRules) {
  const char* kAfter3 = "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 3";
  struct Case {
    const char* sfen;
    int last_square;
    const char16_t* text;
    bool read;
    TMove move;
    TFoul foul;
  } cases[] = {
      {kStartSfen.data(), 0, u"７六歩(77)", true, {77, 76, false, 0}, TFoul::kNone},
      {kStartSfen.data(), 0, u"７六歩", true, {77, 76, false, 0}, TFoul::kNone},
      {kStartSfen.data(), 0, u"７五歩(77)", true, {77, 75, false, 0}, TFoul::kUnreachable},
      {kStartSfen.data(), 0, u"７六銀(77)", true, {77, 76, false, 0}, TFoul::kNoSuchPiece},
      {kStartSfen.data(), 0, u"５五角打", true, {0, 55, false, kKaku}, TFoul::kNotInHand},
      {kStartSfen.data(), 0, u"２二角成(88)", true, {88, 22, true, 0}, TFoul::kUnreachable},
      {kStartSfen.data(), 0, u"２六飛(28)", true, {28, 26, false, 0}, TFoul::kUnreachable},
      {kStartSfen.data(), 0, u"５八金(69)", true, {69, 58, false, 0}, TFoul::kNone},
      {kStartSfen.data(), 0, u"５八金", false, {}, TFoul::kNone},  // which gold?
      {kAfter3, 0, u"２二角成(88)", true, {88, 22, true, 0}, TFoul::kNone},
      {kAfter3, 0, u"２二角不成(88)", true, {88, 22, false, 0}, TFoul::kNone},
      {kAfter3, 0, u"２二馬(88)", true, {88, 22, false, 0}, TFoul::kNoSuchPiece},
      {"lnsgkgsnl/1r5+B1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL w B 4",
       22,
       u"同　銀(31)",
       true,
       {31, 22, false, 0},
       TFoul::kNone},
      {"lnsgkgsnl/1r5+B1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL w B 4",
       22,
       u"同銀(31)",
       true,
       {31, 22, false, 0},
       TFoul::kNone},
      {"4k4/9/9/9/9/9/4P4/9/4K4 b P 1", 0, u"５五歩打", true, {0, 55, false, kFu}, TFoul::kNifu},
      {"4k4/9/9/9/9/9/9/9/4K4 b P 1", 0, u"５五歩", true, {0, 55, false, kFu}, TFoul::kNone},
      {"k8/9/9/9/9/9/9/9/4K3+R b - 1", 0, u"１一竜(19)", true, {19, 11, false, 0}, TFoul::kNone},
      {"k8/9/9/9/9/9/9/9/4K3+R b - 1", 0, u"１一龍(19)", true, {19, 11, false, 0}, TFoul::kNone},
      {"4r4/9/9/9/9/9/9/4G4/4K4 b - 1",
       0,
       u"４八金(58)",
       true,
       {58, 48, false, 0},
       TFoul::kLeavesKingInCheck},
      {kStartSfen.data(), 0, u"投了", false, {}, TFoul::kNone},
      {kStartSfen.data(), 0, u"７六Ｘ(77)", false, {}, TFoul::kNone},
      {kStartSfen.data(), 0, u"７六歩(7x)", false, {}, TFoul::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sfen) + " " + U8(c.text));
    TKyokumen p = ParseSfen(c.sfen);
    p.LastSquare = c.last_square;
    const std::optional<TKifMove> read = ReadKifMove(p, c.text);
    ASSERT_EQ(read.has_value(), c.read);
    if (!read) continue;
    EXPECT_EQ(ToUsi(read->move), ToUsi(c.move));
    EXPECT_EQ(read->move, c.move);
    EXPECT_EQ(read->foul, c.foul);
  }
}

const auto Read = testing::ReadKif;

TEST(RecordUsi, RowsGiveTheStartAndTheMovesToThem) {
  const TKifRecord r = Read({
      u"   1 ７六歩(77)",
      u"   2 ３四歩(33)",
      u"   3 ２二角成(88)",
      u"   4 同　銀(31)",
      u"   5 投了",
      u"変化：3手",
      u"   3 ６六歩(67)",
      u"   4 ８四歩(83)",
  });
  ASSERT_EQ(r.rows.size(), 8u);
  EXPECT_TRUE(r.reports.empty());
  struct Case {
    int row;
    const char* command;
    const char* sfen;
  } cases[] = {
      {0, "position startpos", "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1"},
      {4, "position startpos moves 7g7f 3c3d 8h2b+ 3a2b",
       "lnsgkg1nl/1r5s1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL b Bb 5"},
      {5, "position startpos moves 7g7f 3c3d 8h2b+ 3a2b",
       "lnsgkg1nl/1r5s1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL b Bb 5"},
      {7, "position startpos moves 7g7f 3c3d 6g6f 8c8d",
       "lnsgkgsnl/1r5b1/p1pppp1pp/1p4p2/9/2PP5/PP2PPPPP/1B5R1/LNSGKGSNL b - 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(PositionCommandOfRow(r, c.row), c.command);
    EXPECT_EQ(SfenOfRow(r, c.row), c.sfen);
    EXPECT_TRUE(UsiMovesOfRow(r, c.row).from_start);
  }
  EXPECT_EQ(r.rows[6].parent, 2);
  EXPECT_EQ(ToUsi(*r.rows[3].rules_move), "8h2b+");
  EXPECT_FALSE(r.rows[5].rules_move.has_value());
  // The PV of an engine from row 4 starts with 同 where it takes on 2b.
  EXPECT_EQ(U8(Ki2LineText(RulesPositionOfRow(r, 3), {"3a2b", "B*4e"})), "△同　銀 ▲４五角");
  EXPECT_THROW(SfenOfRow(r, 8), ERangeError);
  // A record that starts at move 2: gote moves first.
  const TKifRecord later = Read({u"   2 ３四歩(33)"});
  EXPECT_EQ(StartSfen(later), "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w - 2");
  EXPECT_EQ(PositionCommandOfRow(later, 1),
            "position sfen lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w - 2 "
            "moves 3c3d");
}

TEST(RecordUsi, FoulsAreMarkedAndToldOnce) {
  const TKifRecord r = Read({
      u"   1 ７六歩(77)",
      u"   2 ７五歩(77)",  // gote moves a pawn that is not there
      u"*反則です",
      u"   3 ２二角成(88)",  // the pawn on 3c is in the way
      u"   4 反則負け", u"変化：2手", u"   2 ３四歩(33)",
      u"   3 ５五角打",  // not in hand; 反則 replaces 変化
  });
  ASSERT_EQ(r.rows.size(), 7u);
  EXPECT_EQ(U8(r.rows[1].other), " ");
  EXPECT_EQ(U8(r.rows[2].other), "反則");  // not replaced by its comment
  EXPECT_EQ(U8(r.row_positions[2].Comment), "反則です<BR>");
  EXPECT_EQ(U8(r.rows[3].other), "反則");
  EXPECT_EQ(U8(r.rows[4].other), " ");
  EXPECT_EQ(U8(r.rows[5].other), "変化");
  EXPECT_EQ(U8(r.rows[6].other), "反則");
  EXPECT_EQ(r.rows[2].foul, TFoul::kNoSuchPiece);
  EXPECT_EQ(r.rows[3].foul, TFoul::kUnreachable);
  EXPECT_EQ(r.rows[6].foul, TFoul::kNotInHand);
  ASSERT_EQ(r.reports.size(), 1u);
  EXPECT_EQ(U8(r.reports[0]),
            "反則の指し手があります: 2手目 △７五歩(77)（動かす駒がない）、"
            "3手目 ▲２二角成(88)（駒の動きにない）、3手目 ▲５五角打（持駒にない駒を打つ）");
  // The record's position is shown as written; an engine gets it as SFEN.
  EXPECT_EQ(r.row_positions[2].Board[75], kFu + kGoteOffset);
  const TUsiRowMoves usi = UsiMovesOfRow(r, 2);
  EXPECT_FALSE(usi.from_start);
  EXPECT_TRUE(usi.moves.empty());
  EXPECT_EQ(usi.start_sfen, SfenOfRow(r, 2));
  EXPECT_EQ(PositionCommandOfRow(r, 5), "position startpos moves 7g7f 3c3d");
  EXPECT_TRUE(IsPlayablePositionOfRow(r, 5));
}

}  // namespace
}  // namespace zelvaro
