#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <string>
#include <vector>

#include "resources/Resources.h"
#include "toolkit/qt/Platform.h"
#include "viewer/BoardRenderer.h"

namespace zelvaro {
namespace {

void EnsureGuiApplication() {
  if (QGuiApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "viewer_test";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);  // lives as long as the test program
}

const char* const kCellNames[] = {"none", "fu",      "tokin", "kyo",     "narikyo",
                                  "kei",  "narikei", "gin",   "narigin", "kin",
                                  "ou",   "hisya",   "ryu",   "kaku",    "uma"};

QImage Cell(int code, int scale = 1) {
  InitResources();
  return LoadImageResource(QString::fromLatin1(kCellNames[code % 100]) + (scale == 2 ? "@2x" : ""));
}

// The first pixel of the cell block at logical (x, y) that differs from the
// cell image of `code` (turned for a gote code), as "(x,y)"; empty when none
// does. On a marked square the square colour reads as the last-move colour.
std::string BlockMismatch(const QImage& picture, int x, int y, int code, bool marked = false,
                          int scale = 1) {
  const QImage cell = Cell(code, scale);
  const QRgb square = Cell(kEmpty).pixel(16, 19);
  const bool turned = code > 100;
  const int w = 33 * scale, h = 38 * scale;
  x *= scale;
  y *= scale;
  for (int s = 0; s < h; ++s) {
    for (int c = 0; c < w; ++c) {
      const int px = turned ? x + w - 1 - c : x + c;
      const int py = turned ? y + h - 1 - s : y + s;
      QRgb expected = cell.pixel(c, s);
      if (marked && expected == square) expected = kLastMoveColor.rgb();
      if (picture.pixel(px, py) != expected) {
        return "(" + std::to_string(px) + "," + std::to_string(py) + ")";
      }
    }
  }
  return {};
}

bool HasInk(const QImage& picture, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (picture.pixelColor(x, y) != QColor(Qt::white)) return true;
    }
  }
  return false;
}

class BoardRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    renderer_.InitBoard(start_, sente_, gote_);
  }

  QImage picture_;
  TBoardRenderer renderer_{&picture_};
  TKyokumen start_;
  std::u16string sente_, gote_;
};

TEST_F(BoardRendererTest, InitBoardSetsGeometryPositionAndNames) {
  EXPECT_EQ(picture_.size(), QSize(380, 420));
  EXPECT_EQ(picture_.format(), QImage::Format_RGB888);
  const int files[] = {0, 276, 244, 212, 180, 148, 116, 84, 52, 20};
  const int ranks[] = {0, 40, 77, 114, 151, 188, 225, 262, 299, 336};
  for (int i = 1; i <= 9; ++i) {
    EXPECT_EQ(renderer_.FileX[i], files[i]) << i;
    EXPECT_EQ(renderer_.RankY[i], ranks[i]) << i;
  }
  TKyokumen expected;
  LayOutStartingPosition(expected);
  EXPECT_EQ(start_.Board, expected.Board);
  EXPECT_EQ(sente_, u" ");
  EXPECT_EQ(gote_, u" ");
}

TEST_F(BoardRendererTest, EverySquareShowsItsCellImageGoteTurned) {
  // Long names and full hands first: no text may reach into the board.
  TKyokumen position;
  position.CopyBoardFrom(start_);
  position.SenteHand = {18, 4, 4, 4, 4, 2, 2};
  position.GoteHand = {18, 4, 4, 4, 4, 2, 2};
  renderer_.DrawPosition(position, u"先手の名前がとても長い棋士", u"後手の名前もとても長い棋士");
  for (int r = 1; r <= 9; ++r) {
    for (int f = 1; f <= 9; ++f) {
      EXPECT_EQ(BlockMismatch(picture_, FileLeft(f), RankTop(r), position.Board[f * 10 + r]), "")
          << "square " << f * 10 + r;
    }
  }
  // Sente's bishop: second column from the left, second row from the bottom.
  EXPECT_EQ(BlockMismatch(picture_, 52, 299, kKaku), "");
  EXPECT_EQ(BlockMismatch(picture_, 244, 77, kKaku + kGoteOffset), "");
}

TEST_F(BoardRendererTest, GotePawnOn55IsTurnedAtTheGivenPixels) {
  TKyokumen position;
  position.Board[55] = 101;
  renderer_.DrawPosition(position, u" ", u" ");
  const QImage fu = Cell(kFu);
  EXPECT_EQ(picture_.pixel(180, 225), fu.pixel(0, 0));
  EXPECT_EQ(picture_.pixel(148, 188), fu.pixel(32, 37));
  EXPECT_EQ(picture_.pixel(164, 206), fu.pixel(16, 19));
  EXPECT_EQ(BlockMismatch(picture_, 148, 188, 101), "");
  // The turned image differs from the upright one, so the turn is visible.
  EXPECT_NE(BlockMismatch(picture_, 148, 188, kFu), "");
}

TEST_F(BoardRendererTest, EmptiedSquaresShowTheEmptyImage) {
  TKyokumen position;
  position.CopyBoardFrom(start_);
  position.Turn = 1;
  position.ApplyMove(u"７六歩(77)");
  renderer_.DrawPosition(position, u" ", u" ");
  EXPECT_EQ(BlockMismatch(picture_, FileLeft(7), RankTop(7), kEmpty), "");
  EXPECT_EQ(BlockMismatch(picture_, FileLeft(7), RankTop(6), kFu), "");
  renderer_.DrawPosition(TKyokumen{}, u" ", u" ");
  for (int r = 1; r <= 9; ++r) {
    for (int f = 1; f <= 9; ++f) EXPECT_EQ(BlockMismatch(picture_, FileLeft(f), RankTop(r), 0), "");
  }
}

TEST(HandLineText, ComposesLabelsCountsAndTrailingSpaces) {
  const std::u16string spaces(14, u'　');
  struct Case {
    bool sente;
    std::array<int32_t, 7> hand;  // 歩 香 桂 銀 金 飛 角
    std::u16string expected;
  };
  const Case cases[] = {
      {true, {0, 0, 0, 0, 0, 0, 0}, u"▲持ち駒　"},
      {false, {0, 0, 0, 0, 0, 0, 0}, u"△持ち駒　"},
      {true, {2, 0, 0, 0, 0, 0, 1}, u"▲持ち駒　歩2 角1"},
      {true, {0, 0, 0, 0, 0, 1, 0}, u"▲持ち駒　 飛1"},
      {true, {12, 0, 0, 0, 0, 0, 0}, u"▲持ち駒　歩12"},
      {false, {1, 2, 3, 4, 5, 6, 7}, u"△持ち駒　歩1 香2 桂3 銀4 金5 角7 飛6"},
      {true, {0, -1, 0, 0, -3, 0, 0}, u"▲持ち駒　"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HandLineText(c.sente, c.hand), c.expected + spaces)
        << ToQString(c.expected).toStdString();
  }
  EXPECT_EQ(NameLineText(u"羽生"), u"羽生" + spaces);
}

TEST_F(BoardRendererTest, ShorterLinesCoverLongerOnes) {
  const QImage fresh = picture_;
  TKyokumen busy;
  busy.CopyBoardFrom(start_);
  busy.SenteHand = {12, 3, 3, 3, 3, 2, 2};
  busy.GoteHand = {12, 3, 3, 3, 3, 2, 2};
  renderer_.DrawPosition(busy, u"羽生善治名人", u"藤井聡太竜王");
  ASSERT_NE(picture_, fresh);
  EXPECT_TRUE(HasInk(picture_, QRect(100, 376, 150, 16)));  // sente's hand
  EXPECT_TRUE(HasInk(picture_, QRect(100, 22, 150, 16)));   // gote's hand
  EXPECT_TRUE(HasInk(picture_, QRect(40, 2, 40, 19)));      // gote's name
  EXPECT_TRUE(HasInk(picture_, QRect(100, 396, 150, 19)));  // sente's name
  renderer_.DrawPosition(start_, u" ", u" ");
  EXPECT_EQ(picture_, fresh);
}

TEST_F(BoardRendererTest, DrawPieceIgnoresBadArguments) {
  const QImage before = picture_;
  const struct {
    int piece, x, y;
  } cases[] = {{115, 100, 100}, {255, 100, 100}, {100, 100, 100}, {50, 100, 100},
               {15, 100, 100},  {1, 0, 100},     {1, 100, 0},     {101, -5, 100},
               {1, 100, -40},   {101, 100, 400}};  // a turned block starts below the picture
  for (const auto& c : cases) {
    renderer_.DrawPiece(static_cast<uint8_t>(c.piece), c.x, c.y);
    EXPECT_EQ(picture_, before) << c.piece << " at " << c.x << "," << c.y;
  }
}

TEST_F(BoardRendererTest, DrawPieceCutsWhatFallsOutsideThePicture) {
  const QImage fu = Cell(kFu);
  renderer_.DrawPiece(kFu, 360, 400);  // 20 columns and 20 rows inside
  EXPECT_EQ(picture_.pixel(360, 400), fu.pixel(0, 0));
  EXPECT_EQ(picture_.pixel(379, 419), fu.pixel(19, 19));
  renderer_.DrawPiece(kFu + kGoteOffset, 370, 100);  // columns 0..9 inside, turned
  EXPECT_EQ(picture_.pixel(379, 137), fu.pixel(23, 0));
  EXPECT_EQ(picture_.pixel(370, 100), fu.pixel(32, 37));
}

// A position after 同　銀(31) on 22 with pieces in hand, and one after a drop.
TKyokumen MovedPosition(bool drop) {
  TKyokumen p;
  LayOutStartingPosition(p);
  p.ApplyMove(u"２二角成(88)");
  p.Turn = -1;
  p.ApplyMove(drop ? u"５五角打" : u"同　銀(31)");
  p.GoteHand[kHandKin] = 2;
  return p;
}

TEST_F(BoardRendererTest, LastMoveMarksDestinationAndOriginOnly) {
  const struct {
    bool drop, flip;
    std::vector<int> marked;  // squares
  } cases[] = {{false, false, {22, 31}}, {true, false, {55}}, {false, true, {22, 31}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.drop ? "drop" : "board move") + (c.flip ? ", flipped" : ""));
    renderer_.SetOptions({.last_move = true, .flip = c.flip});
    const TKyokumen p = MovedPosition(c.drop);
    renderer_.DrawPosition(p, u" ", u" ");
    for (int r = 1; r <= 9; ++r) {
      for (int f = 1; f <= 9; ++f) {
        const int square = f * 10 + r;
        const bool marked = std::count(c.marked.begin(), c.marked.end(), square) > 0;
        int code = p.Board[square];
        if (c.flip && code != 0) code = code > 100 ? code - 100 : code + 100;
        const int x = FileLeft(c.flip ? 10 - f : f), y = RankTop(c.flip ? 10 - r : r);
        EXPECT_EQ(BlockMismatch(picture_, x, y, code, marked), "") << "square " << square;
      }
    }
  }
  // Row 0 of a record: no move, nothing marked.
  renderer_.SetOptions({.last_move = true});
  renderer_.DrawPosition(start_, u" ", u" ");
  EXPECT_EQ(BlockMismatch(picture_, FileLeft(5), RankTop(5), kEmpty), "");
}

TEST_F(BoardRendererTest, FlippedBoardSwapsSidesHandsAndNames) {
  const TKyokumen p = MovedPosition(false);
  renderer_.DrawPosition(p, u"先手甲", u"後手乙");
  const QImage plain = picture_;
  // Changing the option redraws what was drawn last.
  renderer_.SetOptions({.flip = true});
  const QImage flipped = picture_;
  // The gote silver on 22 stands upright where 88 is drawn.
  EXPECT_EQ(BlockMismatch(flipped, FileLeft(8), RankTop(8), kGin), "");
  EXPECT_EQ(BlockMismatch(flipped, FileLeft(2), RankTop(1), kKei + kGoteOffset), "");  // 89
  // Each text line moves to the other side unchanged; 12 points is 16
  // pixels, 14 points 19.
  const struct {
    int plain_y, flipped_y, height;
  } lines[] = {{kSenteHandY, kGoteHandY, 16},
               {kGoteHandY, kSenteHandY, 16},
               {kSenteNameY, kGoteNameY, 19},
               {kGoteNameY, kSenteNameY, 19}};
  for (const auto& line : lines) {
    EXPECT_EQ(flipped.copy(0, line.flipped_y, 380, line.height),
              plain.copy(0, line.plain_y, 380, line.height))
        << line.plain_y;
  }
  EXPECT_NE(flipped.copy(0, kSenteHandY, 380, 16), plain.copy(0, kSenteHandY, 380, 16));
}

TEST_F(BoardRendererTest, RatioTwoHasTwiceThePixelsInTheSameGeometry) {
  renderer_.SetOptions({.last_move = true});
  TKyokumen p = MovedPosition(false);
  p.SenteHand = {3, 1, 0, 0, 2, 0, 1};
  renderer_.DrawPosition(p, u"先手甲", u"後手乙");
  const QImage one = picture_;

  renderer_.SetPixelRatio(2);  // redraws what was drawn last
  EXPECT_EQ(picture_.size(), QSize(760, 840));
  EXPECT_EQ(picture_.devicePixelRatio(), 2.0);
  EXPECT_EQ(picture_.deviceIndependentSize(), QSizeF(380, 420));
  for (int r = 1; r <= 9; ++r) {
    for (int f = 1; f <= 9; ++f) {
      const int square = f * 10 + r;
      EXPECT_EQ(BlockMismatch(picture_, FileLeft(f), RankTop(r), p.Board[square],
                              square == 22 || square == 31, 2),
                "")
          << "square " << square;
    }
  }
  // Scaled down, the text lines cover what they cover at ratio 1.
  const QImage halved = picture_.scaled(380, 420, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB888);
  int far = 0;
  for (int y = 0; y < 420; ++y) {
    for (int x = 0; x < 380; ++x) {
      const QColor a = halved.pixelColor(x, y), b = one.pixelColor(x, y);
      if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
              std::abs(a.blue() - b.blue()) >
          192)
        ++far;
    }
  }
  EXPECT_LT(far, 380 * 420 / 200);

  renderer_.SetPixelRatio(1);
  EXPECT_EQ(picture_, one);
}

TEST(BoardRenderer, DrawsNoSquaresOnAPictureThatIsTooSmall) {
  EnsureGuiApplication();
  QImage picture(380, 299, QImage::Format_RGB888);
  picture.fill(Qt::white);
  const QImage before = picture;
  TBoardRenderer renderer(&picture);
  renderer.DrawPiece(kKin, 20, 40);
  EXPECT_EQ(picture, before);
}

}  // namespace
}  // namespace zelvaro
