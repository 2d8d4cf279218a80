#include "toolkit/qt/Platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QTimer>
#include <vector>

#include "resources/Resources.h"
#include "tests/common/QtTestSupport.h"
#include "toolkit/Exception.h"
#include "toolkit/qt/ImageControl.h"

namespace zelvaro {
namespace {

QImage WhitePicture() {
  QImage picture(380, 420, QImage::Format_RGB888);
  picture.fill(Qt::white);
  return picture;
}

// The bounding box of every pixel that is not white; empty when all are.
QRect InkBox(const QImage& picture) {
  QRect box;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (picture.pixelColor(x, y) != QColor(Qt::white)) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

TEST(MessageHook, ReplacesTheBoxWhileSet) {
  zelvaro::testing::TestApp();
  std::vector<std::pair<QString, QString>> shown;
  SetMessageHook(
      [&](const QString& text, const QString& caption) { shown.emplace_back(text, caption); });
  ShowMessage("指し手エラー ７六歩(7x)", "error");
  SetMessageHook({});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].first, "指し手エラー ７六歩(7x)");
  EXPECT_EQ(shown[0].second, "error");
}

// The offered texts are a list to choose from; what is typed is not
// completed to one of them, and Return gives exactly what was typed.
TEST(AskText, ReturnGivesWhatWasTyped) {
  zelvaro::testing::TestApp();
  const QStringList offered = {QStringLiteral("http://example.jp/kifu/a.kif"),
                               QStringLiteral("http://example.jp/kifu/ab.kif")};
  const struct {
    const char* typed;
  } cases[] = {{"http://example.jp/kifu/a"}, {"http://example.jp/kifu/A.kif"}, {"http://ex"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    int returns_taken = 0;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      auto* edit = dialog->findChild<QLineEdit*>();
      ASSERT_NE(edit, nullptr);
      edit->clear();
      QTest::keyClicks(edit, QString::fromUtf8(c.typed));
      QTest::keyClick(edit, Qt::Key_Return);
      returns_taken = dialog->isVisible() ? 2 : 1;
      // Before: the first Return only took a completion, a second opened it.
      if (dialog->isVisible()) QTest::keyClick(edit, Qt::Key_Return);
      if (dialog->isVisible()) dialog->reject();
    });
    const std::optional<QString> answer =
        AskText(nullptr, QStringLiteral("URLを開く"), QStringLiteral("URL:"), QString(), offered);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->toStdString(), c.typed);
    EXPECT_EQ(returns_taken, 1) << "the first Return opens what was typed";
  }
}

TEST(ProcessPendingEvents, RunsQueuedHandlersAndReturns) {
  zelvaro::testing::TestApp();
  int runs = 0;
  QTimer::singleShot(0, [&] { ++runs; });
  ProcessPendingEvents();
  EXPECT_EQ(runs, 1);
  ProcessPendingEvents();  // nothing pending: returns at once
  EXPECT_EQ(runs, 1);
}

TEST(LocaleCompare, FollowsTheLocaleAndKeepsCase) {
  zelvaro::testing::TestApp();
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_LT(LocaleCompare("a", "B"), 0);  // by code units "B" would come first
  EXPECT_GT(LocaleCompare("b", "A"), 0);
  EXPECT_NE(LocaleCompare("a", "A"), 0);
  EXPECT_EQ(LocaleCompare("a", "A"), -LocaleCompare("A", "a"));
  EXPECT_NE(LocaleCompare("羽生", "羽生 "), 0);
  EXPECT_EQ(LocaleCompare("2024/05/01 10:00", "2024/05/01 10:00"), 0);
  EXPECT_LT(LocaleCompare("2024/05/01 10:00", "2024/05/02 09:00"), 0);

  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  EXPECT_LT(LocaleCompare("あ", "い"), 0);
  EXPECT_NE(LocaleCompare("Ａ", "ａ"), 0);
  EXPECT_EQ(LocaleCompare("竜王戦", "竜王戦"), 0);
  QLocale::setDefault(saved);
}

TEST(TextConversion, QStringAndU16StringRoundTrip) {
  const std::u16string text = u"▲持ち駒　歩2 \U0002000B";
  EXPECT_EQ(ToU16(ToQString(text)), text);
  EXPECT_EQ(ToQString(u"").size(), 0);
}

TEST(ImageResources, LoadAsTwentyFourBitPicturesOfTheirSize) {
  zelvaro::testing::TestApp();
  InitResources();
  const QImage blank = LoadImageResource("initialize_ban");
  EXPECT_EQ(blank.size(), QSize(380, 420));
  EXPECT_EQ(blank.format(), QImage::Format_RGB888);
  EXPECT_TRUE(InkBox(blank).isEmpty());

  const QColor frame(0, 0, 0), square(129, 102, 45), piece(248, 220, 159);
  const QColor red(255, 0, 0);
  const char* names[] = {"none",    "fu",  "tokin", "kyo",   "narikyo", "kei",  "narikei", "gin",
                         "narigin", "kin", "ou",    "hisya", "ryu",     "kaku", "uma"};
  const bool promoted[] = {false, false, true,  false, true, false, true, false,
                           true,  false, false, false, true, false, true};
  for (int i = 0; i < 15; ++i) {
    SCOPED_TRACE(names[i]);
    const QImage cell = LoadImageResource(names[i]);
    ASSERT_EQ(cell.size(), QSize(33, 38));
    EXPECT_EQ(cell.format(), QImage::Format_RGB888);
    for (int x = 0; x < 33; ++x) {
      EXPECT_EQ(cell.pixelColor(x, 0), frame);
      EXPECT_EQ(cell.pixelColor(x, 37), frame);
    }
    for (int y = 0; y < 38; ++y) {
      EXPECT_EQ(cell.pixelColor(0, y), frame);
      EXPECT_EQ(cell.pixelColor(32, y), frame);
    }
    EXPECT_EQ(cell.pixelColor(1, 1), square);
    int piece_pixels = 0, red_pixels = 0, dark_pixels = 0;
    for (int y = 1; y < 37; ++y) {
      for (int x = 1; x < 32; ++x) {
        const QColor c = cell.pixelColor(x, y);
        piece_pixels += c == piece;
        red_pixels += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        dark_pixels += c.red() < 60 && c.green() < 60 && c.blue() < 60;
      }
    }
    if (i == 0) {
      EXPECT_EQ(piece_pixels, 0);
      continue;
    }
    EXPECT_GT(piece_pixels, 300);  // a piece covers most of the square
    // The piece points up: its top rows are narrower than its bottom rows.
    auto width_at = [&](int y) {
      int n = 0;
      for (int x = 1; x < 32; ++x) n += cell.pixelColor(x, y) == piece;
      return n;
    };
    EXPECT_LT(width_at(5), width_at(33));
    if (promoted[i]) {
      EXPECT_GT(red_pixels, 10);
      EXPECT_EQ(dark_pixels, 0);
    } else {
      EXPECT_EQ(red_pixels, 0);
      EXPECT_GT(dark_pixels, 10);
    }
  }
  EXPECT_THROW(LoadImageResource("missing"), Exception);
}

TEST(DrawTextOn, DrawsFromTheTopLeftCornerInTheColour) {
  zelvaro::testing::TestApp();
  QImage picture = WhitePicture();
  DrawTextOn(picture, 40, 100, "羽生善治", QColor(255, 0, 0), 14);
  const QRect ink = InkBox(picture);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GE(ink.left(), 40);
  EXPECT_GE(ink.top(), 100);
  EXPECT_LT(ink.bottom(), 100 + PointsToPixels(14));
  EXPECT_GT(ink.width(), 3 * PointsToPixels(14));  // four full-width characters
  bool red = false;
  for (int x = ink.left(); x <= ink.right(); ++x) {
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
      red |= picture.pixelColor(x, y) == QColor(255, 0, 0);
    }
  }
  EXPECT_TRUE(red);
  // A larger size draws larger glyphs.
  QImage small = WhitePicture(), large = WhitePicture();
  DrawTextOn(small, 0, 0, "持", Qt::black, 12);
  DrawTextOn(large, 0, 0, "持", Qt::black, 14);
  EXPECT_GT(InkBox(large).height(), InkBox(small).height());
}

TEST(DrawTextOn, OpaqueBackgroundCoversEarlierText) {
  zelvaro::testing::TestApp();
  const QString spaces(14, QChar(0x3000));
  QImage picture = WhitePicture();
  DrawTextOn(picture, 20, 376, "▲持ち駒　歩12 香3 桂3 銀3 金3 角2 飛2" + spaces, Qt::black, 12);
  QImage expected = WhitePicture();
  DrawTextOn(expected, 20, 376, "▲持ち駒　" + spaces, Qt::black, 12);
  ASSERT_NE(picture, expected);
  DrawTextOn(picture, 20, 376, "▲持ち駒　" + spaces, Qt::black, 12);
  EXPECT_EQ(picture, expected);

  // Over a coloured ground, the line's box turns white.
  QImage ground(200, 50, QImage::Format_RGB888);
  ground.fill(QColor(129, 102, 45));
  DrawTextOn(ground, 10, 10, QString(3, QChar(0x3000)), Qt::black, 12);
  EXPECT_EQ(ground.pixelColor(10, 10), QColor(Qt::white));
  EXPECT_EQ(ground.pixelColor(10 + 3 * 16 - 1, 10 + 15), QColor(Qt::white));
  EXPECT_EQ(ground.pixelColor(9, 10), QColor(129, 102, 45));
  EXPECT_EQ(ground.pixelColor(10, 10 + 16), QColor(129, 102, 45));
}

TEST(ImageControl, ShowsThePictureUnscaledFromTheTopLeft) {
  zelvaro::testing::TestApp();
  TImage image;
  image.resize(100, 80);
  image.Picture() = QImage(380, 420, QImage::Format_RGB888);
  image.Picture().fill(Qt::white);
  image.Picture().setPixelColor(5, 7, QColor(255, 0, 0));
  image.Changed();
  const QImage shown = image.grab().toImage();
  EXPECT_EQ(shown.size(), QSize(100, 80));
  EXPECT_EQ(shown.pixelColor(5, 7), QColor(255, 0, 0));
  EXPECT_EQ(shown.pixelColor(6, 7), QColor(Qt::white));
  EXPECT_EQ(image.sizeHint(), QSize(380, 420));
}

}  // namespace
}  // namespace zelvaro
