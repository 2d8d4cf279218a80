// TBoardRenderer: draws a position as the viewer's board picture (380 x 420,
// 24-bit): the 81 squares from the cell images, the two hand lines and the
// two names. Sente sits at the bottom; file 9 is the leftmost column. Two
// options, both off by default, change that picture: the last move's squares
// marked, and the board turned for gote's side.
//
// Coordinates are logical pixels. At a pixel ratio of 2 (high-density
// screens) the picture holds twice the pixels each way, carries
// devicePixelRatio 2 and is drawn from the cell images at twice the size;
// its geometry in logical pixels is the same.
//
// The renderer does not own the picture; it must outlive the renderer's use
// of it. Squares are copied row by row straight from the cell images, never
// through QPainter; only the text lines use it. Needs a QGuiApplication.
#pragma once

#include <QColor>
#include <QImage>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "game/untKyokumen.h"

namespace zelvaro {

// Geometry of the picture.
constexpr int kBoardWidth = 380;
constexpr int kBoardHeight = 420;
constexpr int kCellWidth = 33;   // the cell images; neighbours share a frame line,
constexpr int kCellHeight = 38;  // so the pitch is one less
constexpr int32_t FileLeft(int file) { return 20 + 32 * (9 - file); }
constexpr int32_t RankTop(int rank) { return 40 + 37 * (rank - 1); }
constexpr int kSenteHandX = 20, kSenteHandY = 376;
constexpr int kGoteHandX = 20, kGoteHandY = 22;
constexpr int kGoteNameX = 40, kGoteNameY = 2;
constexpr int kSenteNameX = 40, kSenteNameY = 396;
constexpr int kHandPointSize = 12;
constexpr int kNamePointSize = 14;
constexpr int kMaxPixelRatio = 2;

// The colour that replaces the square colour of the last move's squares;
// the pieces and their legends keep theirs.
inline const QColor kLastMoveColor(236, 170, 64);

// What the user may change about the picture.
struct TBoardOptions {
  bool last_move = false;  // 「最終手を表示」: destination and, for a board move, origin marked
  bool flip = false;       // 「盤面反転」: turned 180 degrees, gote at the bottom
  bool operator==(const TBoardOptions&) const = default;
};

// The pixel ratio the picture is drawn at for a device of `device_ratio`:
// 2 above 1, else 1 (painting scales it further where the screen needs it).
int PictureRatioFor(double device_ratio);

// The hand line as DrawPosition writes it: "▲持ち駒　" (sente) or "△持ち駒　"
// (gote), then label and count of every kind held (歩 香 桂 銀 金 角 飛; counters
// of 0 or below are left out), then 14 ideographic spaces.
std::u16string HandLineText(bool sente, const std::array<int32_t, 7>& hand);

// A name line: the name followed by 14 ideographic spaces.
std::u16string NameLineText(std::u16string_view name);

class TBoardRenderer {
 public:
  // Loads the 15 cell images "none" .. "uma" (at `pixel_ratio` 2 their "@2x"
  // forms) and keeps the address of each of their pixel rows. Throws
  // zelvaro::Exception when an image is missing or is not 33 x 38 times the
  // ratio. A ratio other than 2 means 1.
  explicit TBoardRenderer(QImage* picture, int pixel_ratio = 1);

  // Loads "initialize_ban" into the picture, processes pending events once,
  // fills FileX/RankY, lays out the starting position on position0, sets both
  // names to " " and draws position0.
  void InitBoard(TKyokumen& position0, std::u16string& sente_name, std::u16string& gote_name);

  // Redraws every square, both hand lines and both names, with the options
  // in force, and remembers what it drew.
  void DrawPosition(const TKyokumen& position, const std::u16string& sente_name,
                    const std::u16string& gote_name);

  // Copies one cell image with its top-left corner at (x, y); gote pieces
  // (101..114) turned by 180 degrees. Draws nothing for a piece above 114 or
  // without an image (15..100), for x or y below 1, or while the picture is
  // less than 300 pixels high. What falls outside the picture is cut off.
  void DrawPiece(uint8_t piece, int32_t x, int32_t y);

  // Changing an option redraws what was drawn last.
  void SetOptions(const TBoardOptions& options);
  const TBoardOptions& Options() const { return options_; }

  // Changing the ratio loads the cell images of that size and, once the
  // board was set up, the blank picture at that size, and redraws what was
  // drawn last. Throws as the constructor does.
  void SetPixelRatio(int pixel_ratio);

  // Called at the end of DrawPosition, so that a widget showing the picture
  // can repaint.
  void SetChangedHook(std::function<void()> hook) { changed_ = std::move(hook); }

  std::array<int32_t, 10> FileX{}, RankY{};  // entries 1..9, filled by InitBoard

 private:
  static constexpr int kImageCount = 15;

  void LoadCells(int pixel_ratio);
  void LoadBlankPicture();
  // Gives the square colour of the block at (x, y) the last-move colour.
  void MarkSquare(int32_t x, int32_t y);

  QImage* picture_;
  int ratio_ = 1;
  std::array<QImage, kImageCount> images_;
  // Row addresses of every cell image, as many as the "none" image has rows.
  std::array<std::array<const uchar*, kCellHeight * kMaxPixelRatio>, kImageCount> rows_{};
  std::array<uchar, 3> square_rgb_{};  // the empty square's colour
  std::function<void()> changed_;

  TBoardOptions options_;
  bool initialised_ = false;
  TKyokumen shown_;  // board, hands and last move of the last DrawPosition
  std::u16string shown_sente_ = u" ", shown_gote_ = u" ";
};

}  // namespace zelvaro
