// cellgen OUTDIR: draws the board's images into OUTDIR as 24-bit PNGs:
// "initialize_ban" (380 x 420, white) and the 15 cell images "none" .. "uma"
// (33 x 38: a one-pixel black frame around the square colour, and on every
// image but "none" an upward five-sided piece with its legend written top to
// bottom, black for unpromoted pieces and red for promoted ones). Each also
// as "<name>@2x" at twice the size, drawn from the same shapes for screens
// of a device pixel ratio of 2.
#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cstdio>

namespace {

constexpr int kCellWidth = 33;
constexpr int kCellHeight = 38;
const QColor kFrame(0, 0, 0);
const QColor kSquare(129, 102, 45);
const QColor kPiece(248, 220, 159);
const QColor kPlain(0, 0, 0);
const QColor kPromoted(255, 0, 0);
const char* const kFamily = "IPAPGothic";

struct Cell {
  const char* name;
  const char16_t* legend;  // empty for the empty square
  bool promoted;
};

// Index = the sente piece code.
const Cell kCells[] = {
    {"none", u"", false},       {"fu", u"歩兵", false},     {"tokin", u"と", true},
    {"kyo", u"香車", false},    {"narikyo", u"成香", true}, {"kei", u"桂馬", false},
    {"narikei", u"成桂", true}, {"gin", u"銀将", false},    {"narigin", u"成銀", true},
    {"kin", u"金将", false},    {"ou", u"王将", false},     {"hisya", u"飛車", false},
    {"ryu", u"龍", true},       {"kaku", u"角行", false},   {"uma", u"馬", true},
};

// Draws one character so that its inked outline is centred on `centre`,
// scaled to fit `box` when the font's outline is larger.
void DrawGlyph(QPainter& painter, QChar ch, const QFont& font, const QRectF& box,
               const QColor& color) {
  QPainterPath path;
  path.addText(0, 0, font, QString(ch));
  const QRectF ink = path.boundingRect();
  if (ink.isEmpty()) return;
  const qreal scale = std::min({1.0, box.width() / ink.width(), box.height() / ink.height()});
  QTransform t;
  t.translate(box.center().x(), box.center().y());
  t.scale(scale, scale);
  t.translate(-ink.center().x(), -ink.center().y());
  painter.fillPath(t.map(path), color);
}

// `scale` 1 or 2: the shapes are drawn in the 33 x 38 coordinates through a
// scaled painter, so the larger image is the same drawing at more pixels.
QImage DrawCell(const Cell& cell, int scale) {
  const int width = kCellWidth * scale, height = kCellHeight * scale;
  QImage image(width, height, QImage::Format_RGB888);
  image.fill(kSquare);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.scale(scale, scale);

  const QString legend = QString::fromUtf16(cell.legend);
  if (!legend.isEmpty()) {
    // The piece: apex at the top centre, shoulders a little lower, sides
    // widening towards the base.
    const QPolygonF piece({QPointF(16.5, 2.5), QPointF(26.0, 7.5), QPointF(28.5, 35.5),
                           QPointF(4.5, 35.5), QPointF(7.0, 7.5)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPiece);
    painter.drawPolygon(piece);

    const QColor ink = cell.promoted ? kPromoted : kPlain;
    QFont font(kFamily);
    if (legend.size() == 1) {
      font.setPixelSize(20);
      DrawGlyph(painter, legend[0], font, QRectF(8.0, 11.0, 17.0, 20.0), ink);
    } else {
      font.setPixelSize(13);
      DrawGlyph(painter, legend[0], font, QRectF(10.0, 9.0, 13.0, 12.0), ink);
      DrawGlyph(painter, legend[1], font, QRectF(10.0, 22.0, 13.0, 12.0), ink);
    }
  }
  painter.end();

  // The frame is drawn last and without smoothing so that it is exactly
  // `scale` black pixels on every edge; neighbouring squares overlap by as
  // much and share it.
  for (int i = 0; i < scale; ++i) {
    for (int x = 0; x < width; ++x) {
      image.setPixelColor(x, i, kFrame);
      image.setPixelColor(x, height - 1 - i, kFrame);
    }
    for (int y = 0; y < height; ++y) {
      image.setPixelColor(i, y, kFrame);
      image.setPixelColor(width - 1 - i, y, kFrame);
    }
  }
  return image;
}

bool Save(const QImage& image, const QDir& dir, const char* name, int scale) {
  const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
  const QString path = dir.filePath(QString::fromLatin1(name) + suffix + ".png");
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cellgen: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: cellgen OUTDIR\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.exists()) {
    std::fprintf(stderr, "cellgen: no folder %s\n", argv[1]);
    return 1;
  }
  // Another face would silently change every legend; refuse instead.
  const QFontInfo info{QFont(kFamily)};
  if (info.family() != kFamily) {
    std::fprintf(stderr, "cellgen: font %s not found (install fonts-ipafont-gothic)\n", kFamily);
    return 1;
  }

  for (int scale : {1, 2}) {
    QImage blank(380 * scale, 420 * scale, QImage::Format_RGB888);
    blank.fill(Qt::white);
    if (!Save(blank, dir, "initialize_ban", scale)) return 1;
    for (const Cell& cell : kCells) {
      if (!Save(DrawCell(cell, scale), dir, cell.name, scale)) return 1;
    }
  }
  return 0;
}
