// The viewer with the other record formats: a CSA file opened and followed,
// the record saved as each file type, the position on show copied as SFEN
// and as a board diagram.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "game/Record.h"
#include "game/RecordUsi.h"
#include "game/RecordWriter.h"
#include "tests/viewer/ViewerWindowFixture.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// A CSA record of the first `moves` of a short game, each with its time.
std::string Csa(int moves) {
  static const char* kMoves[] = {"+7776FU", "-3334FU", "+8822UM", "-3122GI", "+0055KA", "-5142OU"};
  std::string text = Utf8ToSjis("V2.2\nN+先手太郎\nN-後手花子\n$EVENT:CSA杯\nPI\n+\n");
  for (int i = 0; i < moves; ++i)
    text += std::string(kMoves[i]) + ",T" + std::to_string(i + 1) + "\n";
  return text;
}

class RecordFormats : public testing::ViewerWindow {};

TEST_F(RecordFormats, ACsaFileIsShownAndFollowed) {
  form.show();
  WriteFile("game.csa", Csa(3));
  ASSERT_TRUE(testing::OpenFile(form, QStringLiteral("game.csa")));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ CSA杯 ]"));
  ASSERT_EQ(form.ListView1->RowCount(), 4);
  EXPECT_EQ(Cell(3, 1), "▲２二角成(88)");
  EXPECT_EQ(Cell(3, 2), " 0分(計0分)");
  EXPECT_EQ(form.SenteName, u"先手太郎");
  ClickRow(3);
  // Another program adds moves: read again as CSA, the newest move shown.
  WriteFile("game.csa", Csa(6));
  ASSERT_TRUE(testing::WaitFor([&] { return form.ListView1->RowCount() == 7; }));
  EXPECT_EQ(form.ListView1->SelectedIndex(), 6);
  EXPECT_EQ(Cell(4, 1), "△同　銀(31)");
  EXPECT_TRUE(form.Follower->RefreshNote().isEmpty());
  EXPECT_TRUE(catcher.messages.empty());
}

TEST_F(RecordFormats, SaveAsWritesTheChosenFileType) {
  Activate();
  WriteFile("game.csa", Csa(6));
  ASSERT_TRUE(testing::OpenFile(form, QStringLiteral("game.csa")));
  const TKifRecord shown = [] {
    TKifRecord r;
    ReadRecordBytes(r, Csa(6), TRecordEncoding::kDetect, "game.csa");
    return r;
  }();
  struct Case {
    const char* answer;  // the name given; without an extension the first type (KIF) counts
    const char* file;
    TRecordFormat format;
  } cases[] = {{"a.kif", "a.kif", TRecordFormat::kKif},
               {"b.KIFU", "b.KIFU", TRecordFormat::kKifu},
               {"c.csa", "c.csa", TRecordFormat::kCsa},
               {"d", "d.kif", TRecordFormat::kKif}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    dialogs.answers = {QString::fromUtf8(c.answer)};
    QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogs.asks.back().kind, TFileDialog::kSave);
    EXPECT_TRUE(dialogs.asks.back().filters.contains(QStringLiteral("(*.csa)")));
    const std::string written = ReadFile(c.file);
    EXPECT_EQ(written, WriteRecord(shown, c.format));
    TKifRecord back;
    ReadRecordBytes(back, written, TRecordEncoding::kDetect, c.file);
    ASSERT_EQ(back.rows.size(), 7u);
    EXPECT_EQ(back.MainPosition(6).Board, shown.MainPosition(6).Board);
    EXPECT_EQ(back.rows[5].seconds, 5);
  }
  // Ctrl+S still keeps the bytes as read.
  dialogs.answers = {QStringLiteral("same.csa")};
  QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadFile("same.csa"), Csa(6));
  EXPECT_TRUE(catcher.messages.empty());
}

TEST_F(RecordFormats, ThePositionOnShowIsCopied) {
  WriteFile("game.csa", Csa(6));
  ASSERT_TRUE(testing::OpenFile(form, QStringLiteral("game.csa")));
  EXPECT_EQ(form.Actions->CopyPositionSfen().toStdString(),
            "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
  ClickRow(5);
  const std::string sfen = "lnsgkg1nl/1r5s1/pppppp1pp/6p2/4B4/2P6/PP1PPPPPP/7R1/LNSGKGSNL w b 6";
  EXPECT_EQ(form.Actions->CopyPositionSfen().toStdString(), sfen);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), sfen);
  const QString bod = form.Actions->CopyPositionBod();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), bod);
  EXPECT_TRUE(bod.startsWith(QStringLiteral("後手の持駒：角　\n")));
  EXPECT_TRUE(bod.contains(QStringLiteral("| ・ ・ ・ ・ 角 ・ ・ ・ ・|五\n")));
  EXPECT_TRUE(bod.endsWith(QStringLiteral("先手の持駒：なし\n後手番\n")));
  // Either, pasted into a file and opened, is that position.
  for (const QString& text : {QString::fromStdString(sfen), bod}) {
    WriteFile("pasted.sfen", text.toStdString());
    TKifRecord back;
    ReadRecordBytes(back, text.toStdString(), TRecordEncoding::kDetect, "");
    EXPECT_EQ(back.row_positions[0].Board, form.Positions[5].Board);
    EXPECT_EQ(SfenOfRow(back, 0).substr(0, sfen.rfind(' ')), sfen.substr(0, sfen.rfind(' ')));
  }
}

// Copied as read: a downloaded CSA record that declares UTF-8 is copied in
// UTF-8 too, not taken as the CP932 a broadcast file is.
TEST_F(RecordFormats, ADownloadedUtf8CsaRecordIsCopiedAsRead) {
  const std::string csa =
      "V2.2\n'CSA encoding=UTF-8\nN+先手太郎\nN-後手花子\nPI\n+\n+7776FU\n-3334FU\n";
  WriteFile(kRecordFileName, csa);
  form.Button1Click();
  ASSERT_TRUE(testing::WaitForReading(form));
  ASSERT_EQ(form.ListView1->RowCount(), 3);
  EXPECT_EQ(form.SenteName, u"先手太郎");
  form.Actions->CopyRecord();
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(copied.contains(QStringLiteral("N+先手太郎\nN-後手花子\n"))) << copied.toStdString();
  EXPECT_TRUE(catcher.messages.empty());
}

}  // namespace
}  // namespace zelvaro
