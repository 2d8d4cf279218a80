#include "viewer/BoardRenderer.h"

#include <QColor>
#include <QString>
#include <cstring>

#include "resources/Resources.h"
#include "toolkit/Exception.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro {
namespace {

// Index = the sente piece code.
const char* const kCellNames[] = {"none", "fu",      "tokin", "kyo",     "narikyo",
                                  "kei",  "narikei", "gin",   "narigin", "kin",
                                  "ou",   "hisya",   "ryu",   "kaku",    "uma"};

constexpr std::u16string_view kTrailingSpaces = u"　　　　　　　　　　　　　　";
static_assert(kTrailingSpaces.size() == 14);

}  // namespace

std::u16string HandLineText(bool sente, const std::array<int32_t, 7>& hand) {
  struct Kind {
    std::u16string_view label;
    int index;
  };
  // Display order puts the bishop before the rook; the counters store the
  // rook first.
  static constexpr Kind kKinds[] = {
      {u"歩", kHandFu},   {u" 香", kHandKyo},  {u" 桂", kHandKei},   {u" 銀", kHandGin},
      {u" 金", kHandKin}, {u" 角", kHandKaku}, {u" 飛", kHandHisya},
  };
  std::u16string line = sente ? u"▲持ち駒　" : u"△持ち駒　";
  for (const Kind& kind : kKinds) {
    const int32_t count = hand[kind.index];
    if (count <= 0) continue;
    line += kind.label;
    for (char c : std::to_string(count)) line += static_cast<char16_t>(c);
  }
  line += kTrailingSpaces;
  return line;
}

std::u16string NameLineText(std::u16string_view name) {
  std::u16string line(name);
  line += kTrailingSpaces;
  return line;
}

int PictureRatioFor(double device_ratio) { return device_ratio > 1.0 ? 2 : 1; }

TBoardRenderer::TBoardRenderer(QImage* picture, int pixel_ratio) : picture_(picture) {
  InitResources();
  LoadCells(pixel_ratio);
}

void TBoardRenderer::LoadCells(int pixel_ratio) {
  const int ratio = pixel_ratio == 2 ? 2 : 1;
  const QString suffix = ratio == 1 ? QString() : QStringLiteral("@2x");
  std::array<QImage, kImageCount> images;
  for (int i = 0; i < kImageCount; ++i) {
    images[i] = LoadImageResource(QString::fromLatin1(kCellNames[i]) + suffix);
    // DrawPiece copies a fixed block; a smaller image would be read past its end.
    if (images[i].width() != kCellWidth * ratio || images[i].height() != kCellHeight * ratio) {
      throw Exception(std::string("cell image \"") + kCellNames[i] + suffix.toStdString() +
                      "\" is not " + std::to_string(kCellWidth * ratio) + " x " +
                      std::to_string(kCellHeight * ratio));
    }
  }
  images_ = std::move(images);
  ratio_ = ratio;
  const int rows = images_[0].height();
  for (int i = 0; i < kImageCount; ++i) {
    for (int s = 0; s < rows; ++s) rows_[i][s] = images_[i].constScanLine(s);
  }
  // The middle of the empty square is the square colour.
  const uchar* centre = rows_[0][rows / 2] + 3 * (images_[0].width() / 2);
  square_rgb_ = {centre[0], centre[1], centre[2]};
}

void TBoardRenderer::LoadBlankPicture() {
  *picture_ = LoadImageResource(ratio_ == 1 ? QStringLiteral("initialize_ban")
                                            : QStringLiteral("initialize_ban@2x"));
  picture_->setDevicePixelRatio(ratio_);
}

void TBoardRenderer::InitBoard(TKyokumen& position0, std::u16string& sente_name,
                               std::u16string& gote_name) {
  LoadBlankPicture();
  initialised_ = true;
  ProcessPendingEvents();
  for (int f = 1; f <= 9; ++f) FileX[f] = FileLeft(f);
  for (int r = 1; r <= 9; ++r) RankY[r] = RankTop(r);
  LayOutStartingPosition(position0);
  sente_name = u" ";
  gote_name = u" ";
  DrawPosition(position0, sente_name, gote_name);
}

void TBoardRenderer::SetOptions(const TBoardOptions& options) {
  if (options == options_) return;
  options_ = options;
  if (initialised_) DrawPosition(shown_, shown_sente_, shown_gote_);
}

void TBoardRenderer::SetPixelRatio(int pixel_ratio) {
  if ((pixel_ratio == 2 ? 2 : 1) == ratio_) return;
  LoadCells(pixel_ratio);
  if (!initialised_) return;
  // The text lines are drawn over, never cleared: a new picture starts blank.
  LoadBlankPicture();
  DrawPosition(shown_, shown_sente_, shown_gote_);
}

void TBoardRenderer::DrawPosition(const TKyokumen& position, const std::u16string& sente_name,
                                  const std::u16string& gote_name) {
  const bool flip = options_.flip;
  for (int r = 1; r <= 9; ++r) {
    for (int f = 1; f <= 9; ++f) {
      const int square = f * 10 + r;
      int32_t piece = position.Board[square];
      // Turned, every square goes to the opposite one and every piece
      // faces the other way.
      if (flip && piece >= 1 && piece <= 14) {
        piece += kGoteOffset;
      } else if (flip && piece >= 101 && piece <= 114) {
        piece -= kGoteOffset;
      }
      const int32_t x = FileX[flip ? 10 - f : f], y = RankY[flip ? 10 - r : r];
      DrawPiece(static_cast<uint8_t>(piece), x, y);
      if (options_.last_move && (square == position.LastSquare || square == position.LastOrigin)) {
        MarkSquare(x, y);
      }
    }
  }
  // The side at the bottom has its hand line below the board and its name
  // at the foot of the picture.
  const std::u16string& bottom_name = flip ? gote_name : sente_name;
  const std::u16string& top_name = flip ? sente_name : gote_name;
  const QColor black(0, 0, 0);
  DrawTextOn(*picture_, kSenteHandX, kSenteHandY,
             ToQString(HandLineText(!flip, flip ? position.GoteHand : position.SenteHand)), black,
             kHandPointSize);
  DrawTextOn(*picture_, kGoteHandX, kGoteHandY,
             ToQString(HandLineText(flip, flip ? position.SenteHand : position.GoteHand)), black,
             kHandPointSize);
  DrawTextOn(*picture_, kGoteNameX, kGoteNameY, ToQString(NameLineText(top_name)), black,
             kNamePointSize);
  DrawTextOn(*picture_, kSenteNameX, kSenteNameY, ToQString(NameLineText(bottom_name)), black,
             kNamePointSize);
  if (&position != &shown_) shown_.CopyBoardFrom(position);
  shown_sente_ = sente_name;
  shown_gote_ = gote_name;
  if (changed_) changed_();
}

void TBoardRenderer::DrawPiece(uint8_t piece, int32_t x, int32_t y) {
  if (piece > 114 || x < 1 || y < 1) return;
  if (picture_->format() != QImage::Format_RGB888) {
    *picture_ = picture_->convertToFormat(QImage::Format_RGB888);
  }
  if (picture_->height() < 300 * ratio_) return;

  const bool turned = piece > 100;
  int index;
  if (piece <= 14) {
    index = piece;
  } else if (turned) {
    index = piece - 100;
  } else {
    return;
  }
  const int cell_width = kCellWidth * ratio_, cell_height = kCellHeight * ratio_;
  const int left = x * ratio_, top = y * ratio_;
  const int width = picture_->width();
  const int height = picture_->height();
  // Columns of the block that land inside the picture.
  const int columns = std::min(cell_width, width - left);
  if (columns <= 0) return;
  const auto& source = rows_[index];

  // One detach for the whole square; scanLine() would check for sharing on
  // every row.
  uchar* bits = picture_->bits();
  const qsizetype stride = picture_->bytesPerLine();
  for (int s = 0; s < cell_height; ++s) {
    const int dest_y = turned ? top + (cell_height - 1) - s : top + s;
    if (dest_y >= height) return;
    uchar* dest = bits + dest_y * stride;
    const uchar* src = source[s];
    if (!turned) {
      std::memcpy(dest + 3 * left, src, 3 * static_cast<size_t>(columns));
      continue;
    }
    // Source column c goes to left + width - 1 - c; only those inside the row are written.
    for (int c = cell_width - columns; c < cell_width; ++c) {
      uchar* d = dest + 3 * (left + (cell_width - 1) - c);
      const uchar* p = src + 3 * c;
      d[0] = p[0];
      d[1] = p[1];
      d[2] = p[2];
    }
  }
}

void TBoardRenderer::MarkSquare(int32_t x, int32_t y) {
  const int left = x * ratio_, top = y * ratio_;
  const int right = std::min(left + kCellWidth * ratio_, picture_->width());
  const int bottom = std::min(top + kCellHeight * ratio_, picture_->height());
  const uchar mark[3] = {static_cast<uchar>(kLastMoveColor.red()),
                         static_cast<uchar>(kLastMoveColor.green()),
                         static_cast<uchar>(kLastMoveColor.blue())};
  uchar* bits = picture_->bits();
  const qsizetype stride = picture_->bytesPerLine();
  for (int py = top; py < bottom; ++py) {
    uchar* row = bits + py * stride;
    for (int px = left; px < right; ++px) {
      uchar* d = row + 3 * px;
      if (d[0] == square_rgb_[0] && d[1] == square_rgb_[1] && d[2] == square_rgb_[2]) {
        std::memcpy(d, mark, 3);
      }
    }
  }
}

}  // namespace zelvaro
