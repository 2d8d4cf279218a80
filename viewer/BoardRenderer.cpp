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

TBoardRenderer::TBoardRenderer(QImage* picture) : picture_(picture) {
  InitResources();
  for (int i = 0; i < kImageCount; ++i) {
    images_[i] = LoadImageResource(QString::fromLatin1(kCellNames[i]));
    // DrawPiece copies a fixed block; a smaller image would be read past its end.
    if (images_[i].width() != kCellWidth || images_[i].height() != kCellHeight) {
      throw Exception(std::string("cell image \"") + kCellNames[i] + "\" is not 33 x 38");
    }
  }
  const int rows = images_[0].height();
  for (int i = 0; i < kImageCount; ++i) {
    for (int s = 0; s < rows; ++s) rows_[i][s] = images_[i].constScanLine(s);
  }
}

void TBoardRenderer::InitBoard(TKyokumen& position0, std::u16string& sente_name,
                               std::u16string& gote_name) {
  *picture_ = LoadImageResource(QStringLiteral("initialize_ban"));
  ProcessPendingEvents();
  for (int f = 1; f <= 9; ++f) FileX[f] = FileLeft(f);
  for (int r = 1; r <= 9; ++r) RankY[r] = RankTop(r);
  LayOutStartingPosition(position0);
  sente_name = u" ";
  gote_name = u" ";
  DrawPosition(position0, sente_name, gote_name);
}

void TBoardRenderer::DrawPosition(const TKyokumen& position, const std::u16string& sente_name,
                                  const std::u16string& gote_name) {
  for (int r = 1; r <= 9; ++r) {
    for (int f = 1; f <= 9; ++f) {
      DrawPiece(static_cast<uint8_t>(position.Board[f * 10 + r]), FileX[f], RankY[r]);
    }
  }
  const QColor black(0, 0, 0);
  DrawTextOn(*picture_, kSenteHandX, kSenteHandY, ToQString(HandLineText(true, position.SenteHand)),
             black, kHandPointSize);
  DrawTextOn(*picture_, kGoteHandX, kGoteHandY, ToQString(HandLineText(false, position.GoteHand)),
             black, kHandPointSize);
  DrawTextOn(*picture_, kGoteNameX, kGoteNameY, ToQString(NameLineText(gote_name)), black,
             kNamePointSize);
  DrawTextOn(*picture_, kSenteNameX, kSenteNameY, ToQString(NameLineText(sente_name)), black,
             kNamePointSize);
  if (changed_) changed_();
}

void TBoardRenderer::DrawPiece(uint8_t piece, int32_t x, int32_t y) {
  if (piece > 114 || x < 1 || y < 1) return;
  if (picture_->format() != QImage::Format_RGB888) {
    *picture_ = picture_->convertToFormat(QImage::Format_RGB888);
  }
  if (picture_->height() < 300) return;

  const bool turned = piece > 100;
  int index;
  if (piece <= 14) {
    index = piece;
  } else if (turned) {
    index = piece - 100;
  } else {
    return;
  }
  const int width = picture_->width();
  const int height = picture_->height();
  // Columns of the block that land inside the picture.
  const int columns = std::min(kCellWidth, width - x);
  if (columns <= 0) return;
  const auto& source = rows_[index];

  // One detach for the whole square; scanLine() would check for sharing on
  // every row.
  uchar* bits = picture_->bits();
  const qsizetype stride = picture_->bytesPerLine();
  for (int s = 0; s < kCellHeight; ++s) {
    const int dest_y = turned ? y + (kCellHeight - 1) - s : y + s;
    if (dest_y >= height) return;
    uchar* dest = bits + dest_y * stride;
    const uchar* src = source[s];
    if (!turned) {
      std::memcpy(dest + 3 * x, src, 3 * static_cast<size_t>(columns));
      continue;
    }
    // Source column c goes to x + 32 - c; only those inside the row are written.
    for (int c = kCellWidth - columns; c < kCellWidth; ++c) {
      uchar* d = dest + 3 * (x + (kCellWidth - 1) - c);
      const uchar* p = src + 3 * c;
      d[0] = p[0];
      d[1] = p[1];
      d[2] = p[2];
    }
  }
}

}  // namespace zelvaro
