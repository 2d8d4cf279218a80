#include <gtest/gtest.h>

#include "game/untKyokumen.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

TKyokumen StartingPosition() {
  TKyokumen p;
  LayOutStartingPosition(p);
  return p;
}

TEST(Kyokumen, StartingPositionLayout) {
  TKyokumen p = StartingPosition();
  int pieces = 0;
  for (int32_t c : p.Board) pieces += c != 0;
  EXPECT_EQ(pieces, 40);
  EXPECT_EQ(p.Board[59], kOu);
  EXPECT_EQ(p.Board[51], kOu + kGoteOffset);
  EXPECT_EQ(p.Board[88], kKaku);
  EXPECT_EQ(p.Board[28], kHisya);
  EXPECT_EQ(p.Board[22], kKaku + kGoteOffset);
  EXPECT_EQ(p.Board[82], kHisya + kGoteOffset);
  EXPECT_EQ(p.Board[19], kKyo);
  EXPECT_EQ(p.Board[81], kKei + kGoteOffset);
  for (int f = 1; f <= 9; ++f) {
    EXPECT_EQ(p.Board[f * 10 + 7], kFu);
    EXPECT_EQ(p.Board[f * 10 + 3], kFu + kGoteOffset);
  }
}

TEST(Kyokumen, ConstructionIsEmptyWithSenteToMove) {
  TKyokumen p;
  for (int32_t c : p.Board) EXPECT_EQ(c, 0);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(p.SenteHand[k] + p.GoteHand[k], 0);
  EXPECT_EQ(p.Turn, 1);
  EXPECT_EQ(p.LastSquare, 0);
  EXPECT_TRUE(p.Comment.empty());
  EXPECT_THROW(p.SetSquare(1, 100), ERangeError);
  EXPECT_THROW(p.SetSquare(1, -1), ERangeError);
}

TEST(Kyokumen, PlainMoveCaptureAndSameSquare) {
  TKyokumen p = StartingPosition();
  p.ApplyMove(u"７六歩(77)");
  EXPECT_EQ(p.Board[77], 0);
  EXPECT_EQ(p.Board[76], kFu);
  EXPECT_EQ(p.LastSquare, 76);

  // Gote recaptures on 22 with the same-square mark.
  TKyokumen q;
  q.Turn = -1;
  q.LastSquare = 22;
  q.Board[22] = kKaku;
  q.Board[31] = kGin + kGoteOffset;
  q.ApplyMove(u"同　銀(31)");
  EXPECT_EQ(q.GoteHand[kHandKaku], 1);
  EXPECT_EQ(q.Board[31], 0);
  EXPECT_EQ(q.Board[22], kGin + kGoteOffset);
}

TEST(Kyokumen, PromotionCaptureDemotesIntoHand) {
  TKyokumen p = StartingPosition();
  p.ApplyMove(u"２二角成(88)");
  EXPECT_EQ(p.SenteHand[kHandKaku], 1);
  EXPECT_EQ(p.Board[88], 0);
  EXPECT_EQ(p.Board[22], kUma);

  TKyokumen d;
  d.Board[55] = kRyu + kGoteOffset;
  d.Board[56] = kKin;
  d.ApplyMove(u"５五金(56)");
  EXPECT_EQ(d.SenteHand[kHandHisya], 1);  // a dragon comes back as a rook
  d.Board[54] = kOu + kGoteOffset;
  d.ApplyMove(u"５四金(55)");
  for (int k = 0; k < 7; ++k) EXPECT_EQ(d.SenteHand[k], k == kHandHisya ? 1 : 0);  // no king
}

TEST(Kyokumen, DropsCountDownEvenBelowZero) {
  TKyokumen p;
  p.Board[0] = 7;  // a drop vacates cell 0
  p.ApplyMove(u"５五角打");
  EXPECT_EQ(p.SenteHand[kHandKaku], -1);
  EXPECT_EQ(p.Board[55], kKaku);
  EXPECT_EQ(p.Board[0], 0);
  p.Turn = -1;
  p.GoteHand[kHandFu] = 2;
  p.ApplyMove(u"１三歩打");
  EXPECT_EQ(p.GoteHand[kHandFu], 1);
  EXPECT_EQ(p.Board[13], kFu + kGoteOffset);
}

TEST(Kyokumen, PromotionWords) {
  struct Case {
    std::u16string move;
    int32_t origin, dest, placed;
  } cases[] = {
      {u"３三桂不成(45)", 45, 33, kKei},     {u"４二銀上成(53)", 53, 42, kNariGin},
      {u"２二成銀(33)", 33, 22, kNariGin},   {u"１二香成(15)", 15, 12, kNariKyo},
      {u"５三歩成(54)", 54, 53, kTo},        {u"２三飛成(28)", 28, 23, kRyu},
      {u"５八金引成(49)", 49, 58, kKin},  // gold has no promoted form
      {u"２二銀右成(31)", 31, 22, kNariGin}, {u"２二銀左上成(31)", 31, 22, kNariGin},
      {u"２二銀左不成(31)", 31, 22, kGin},   {u"５八玉(59)", 59, 58, kOu},
  };
  for (const Case& c : cases) {
    TKyokumen p;
    p.ApplyMove(c.move);
    EXPECT_EQ(p.Board[c.origin], 0);
    EXPECT_EQ(p.Board[c.dest], c.placed);
  }
}

TEST(Kyokumen, TerminalWordsAndUnknownTexts) {
  TKyokumen p = StartingPosition();
  p.ApplyMove(u"７六歩(77)");
  TKyokumen before = p;
  p.ApplyMove(u"投了");
  p.ApplyMove(u"千日手");
  EXPECT_EQ(p.Board, before.Board);
  EXPECT_EQ(p.LastSquare, 76);

  p.Board[0] = 5;
  p.ApplyMove(u"中断");  // general path: nothing but cell 0 and LastSquare
  EXPECT_EQ(p.LastSquare, 0);
  EXPECT_EQ(p.Board[0], 0);
  before.Board[0] = 0;
  EXPECT_EQ(p.Board, before.Board);

  TKyokumen fresh;
  fresh.ApplyMove(u"同　歩(77)");
  EXPECT_EQ(fresh.Board[0], kFu);  // LastSquare 0: the destination is cell 0

  // The texts that name no square, as the reader tells them apart.
  for (const char16_t* text : {u"投了", u"中断", u"Time-up", u"", u"７歩(77)"}) {
    EXPECT_FALSE(NamesDestination(text)) << Utf16ToUtf8(text);
  }
  for (const char16_t* text : {u"７六歩(77)", u"同　歩(77)", u"同歩(77)"}) {
    EXPECT_TRUE(NamesDestination(text)) << Utf16ToUtf8(text);
  }
}

// 同 with the piece name right after it or after any blanks; the other
// names records write for promoted pieces.
TEST(Kyokumen, SameSquareFormsAndOtherNames) {
  struct Case {
    std::u16string move;
    int32_t origin, dest, placed;
  } cases[] = {
      {u"同　銀(79)", 79, 76, kGin},     {u"同銀(79)", 79, 76, kGin},
      {u"同 銀(79)", 79, 76, kGin},      {u"同　　銀成(79)", 79, 76, kNariGin},
      {u"２二竜(28)", 28, 22, kRyu},     {u"２二全(31)", 31, 22, kNariGin},
      {u"２二圭(31)", 31, 22, kNariKei}, {u"２二杏(31)", 31, 22, kNariKyo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.move));
    TKyokumen p = StartingPosition();
    p.LastSquare = 76;
    p.Board[76] = kFu + kGoteOffset;
    p.ApplyMove(c.move);
    EXPECT_EQ(p.Board[c.origin], 0);
    EXPECT_EQ(p.Board[c.dest], c.placed);
    EXPECT_EQ(p.LastSquare, c.dest);
  }
}

TEST(Kyokumen, LastOriginOfBoardMovesDropsAndTerminalWords) {
  TKyokumen p = StartingPosition();
  const struct {
    std::u16string move;
    int32_t origin;
  } steps[] = {{u"７六歩(77)", 77}, {u"投了", 77},  {u"３四歩(33)", 33},
               {u"５五角打", 0},    {u"千日手", 0}, {u"同　銀(31)", 31}};
  for (const auto& step : steps) {
    p.ApplyMove(step.move);
    EXPECT_EQ(p.LastOrigin, step.origin) << Utf16ToUtf8(step.move);
  }
  EXPECT_THROW(p.ApplyMove(u"７六歩(7x)"), EConvertError);
  EXPECT_EQ(p.LastOrigin, 31);
  TKyokumen next;
  next.CopyBoardFrom(p);
  EXPECT_EQ(next.LastOrigin, 31);
}

TEST(Kyokumen, FailedMovesLeaveThePositionUnchanged) {
  for (const char16_t* move : {u"７六歩(7x)", u"７六歩()", u"２二角成(-1)"}) {
    TKyokumen p = StartingPosition();
    TKyokumen before = p;
    EXPECT_THROW(p.ApplyMove(move), Exception);
    EXPECT_EQ(p.Board, before.Board);
    EXPECT_EQ(p.SenteHand, before.SenteHand);
    EXPECT_EQ(p.GoteHand, before.GoteHand);
    EXPECT_EQ(p.LastSquare, before.LastSquare);
  }
  TKyokumen p = StartingPosition();
  EXPECT_THROW(p.ApplyMove(u"７六歩(7x)"), EConvertError);
  // An origin beyond the board would capture first; the check comes before.
  EXPECT_THROW(p.ApplyMove(u"２二角打(-5)"), ERangeError);
  EXPECT_EQ(p.SenteHand[kHandKaku], 0);
  EXPECT_EQ(p.Board[22], kKaku + kGoteOffset);
}

TEST(Kyokumen, EveryCapturedCodeFeedsTheOtherSidesHand) {
  struct Case {
    int32_t code;
    int hand_index;  // -1: no hand changes
  };
  const Case cases[] = {
      {kEmpty, -1},
      {kFu, kHandFu},
      {kTo, kHandFu},
      {kKyo, kHandKyo},
      {kNariKyo, kHandKyo},
      {kKei, kHandKei},
      {kNariKei, kHandKei},
      {kGin, kHandGin},
      {kNariGin, kHandGin},
      {kKin, kHandKin},
      {kOu, -1},
      {kHisya, kHandHisya},
      {kRyu, kHandHisya},
      {kKaku, kHandKaku},
      {kUma, kHandKaku},
      {15, -1},
      {100, -1},
      {115, -1},
  };
  for (const Case& c : cases) {
    for (int32_t owner : {0, int32_t{kGoteOffset}}) {
      const int32_t code = c.code + owner;
      if (owner != 0 && (c.code == kEmpty || c.code >= 15)) continue;
      TKyokumen p;
      p.Board[55] = code;
      p.Board[56] = kKin;
      p.Turn = owner == 0 ? -1 : 1;  // the side to move is not consulted
      p.ApplyMove(u"５五金(56)");
      std::array<int32_t, 7> sente{}, gote{};
      if (c.hand_index >= 0) ++(owner == 0 ? gote : sente)[c.hand_index];
      EXPECT_EQ(p.SenteHand, sente) << "code " << code;
      EXPECT_EQ(p.GoteHand, gote) << "code " << code;
    }
  }
}

}  // namespace
}  // namespace zelvaro
