// icongen OUTDIR: draws the program's icon as 32-bit PNGs with transparency,
// one per hicolor size, into OUTDIR/<N>.png (installed under the program's
// id in the hicolor theme): an upright
// shogi piece bearing 「王」 on a board square with rounded corners, and from
// 32 pixels up a red dot for "live" at the top right. Every size is drawn
// from the same shapes in a 256-unit square, so none is a scaled copy.
#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
const char* const kFamily = "IPAPGothic";

const QColor kSquare(129, 102, 45);  // the board's square colour
const QColor kSquareEdge(92, 70, 28);
const QColor kPiece(248, 220, 159);  // the pieces' colour
const QColor kPieceEdge(120, 86, 30);
const QColor kInk(0, 0, 0);
const QColor kLive(214, 40, 40);

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.scale(size / 256.0, size / 256.0);

  // Small icons keep a margin of one pixel or so; the outlines thicken so
  // that they stay visible.
  const qreal edge = size <= 32 ? 256.0 / size * 1.2 : 6.0;
  painter.setPen(QPen(kSquareEdge, edge));
  painter.setBrush(kSquare);
  painter.drawRoundedRect(QRectF(12, 12, 232, 232), 40, 40);

  // The piece: apex at the top, shoulders lower, sides widening downwards.
  const QPolygonF piece(
      {QPointF(128, 30), QPointF(190, 62), QPointF(206, 230), QPointF(50, 230), QPointF(66, 62)});
  painter.setPen(QPen(kPieceEdge, edge, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
  painter.setBrush(kPiece);
  painter.drawPolygon(piece);

  // The legend, its inked outline centred in the piece's body.
  QFont font(kFamily);
  font.setPixelSize(120);
  QPainterPath legend;
  legend.addText(0, 0, font, QStringLiteral("王"));
  const QRectF ink = legend.boundingRect();
  const QRectF box(80, 84, 96, 128);
  const qreal scale = std::min(box.width() / ink.width(), box.height() / ink.height());
  QTransform t;
  t.translate(box.center().x(), box.center().y());
  t.scale(scale, scale);
  t.translate(-ink.center().x(), -ink.center().y());
  painter.setPen(Qt::NoPen);
  painter.fillPath(t.map(legend), kInk);

  if (size >= 32) {
    painter.setPen(QPen(Qt::white, 10));
    painter.setBrush(kLive);
    painter.drawEllipse(QPointF(206, 50), 30, 30);
  }
  painter.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: icongen OUTDIR\n");
    return 2;
  }
  // Another face would silently change the legend; refuse instead.
  if (QFontInfo(QFont(kFamily)).family() != kFamily) {
    std::fprintf(stderr, "icongen: font %s not found (install fonts-ipafont-gothic)\n", kFamily);
    return 1;
  }
  const QDir root(QString::fromLocal8Bit(argv[1]));
  if (!root.exists()) {
    std::fprintf(stderr, "icongen: no folder %s\n", argv[1]);
    return 1;
  }
  for (int size : kSizes) {
    const QString path = root.filePath(QStringLiteral("%1.png").arg(size));
    if (!DrawIcon(size).convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
      std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
