// Record files of the user's in the viewer: opened from a path, by a drop
// or with Ctrl+O, saved with Ctrl+S byte for byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMimeData>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <random>

#include "game/Record.h"
#include "tests/viewer/ViewerWindowFixture.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using testing::ReadFile;
using testing::WalkingKingsRecord;
using testing::WriteFile;

// The record's lines joined with `eol`, in UTF-8 or CP932.
std::string RecordBytes(const std::vector<std::string>& lines, bool utf8, const char* eol) {
  std::string text;
  for (const auto& line : lines) text += (utf8 ? line : Utf8ToSjis(line)) + eol;
  return text;
}

// A download serving what bytes() gives, kept in the record file as the
// hand-over keeps it.
struct Served : TRecordFetch {
  explicit Served(std::function<std::string()> bytes) : bytes(std::move(bytes)) {}
  std::string Fetch() override { return bytes(); }
  void Keep(const std::string& kept) override { WriteRecordFile(kRecordFileName, kept); }
  const std::function<std::string()> bytes;
};

class RecordFiles : public testing::ViewerWindow {
 protected:
  // What a drag of `path` over the HTML view is answered, and the drop on
  // the window (where Qt delivers it once the window took the drag).
  bool Drag(const QString& path, bool drop) {
    QMimeData data;
    data.setUrls({path.contains(QStringLiteral("://")) ? QUrl(path) : QUrl::fromLocalFile(path)});
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.WebBrowser1->viewport(), &enter);
    if (!enter.isAccepted() || !drop) return enter.isAccepted();
    QDropEvent event(QPointF(400, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &event);
    QCoreApplication::processEvents();
    return testing::WaitForReading(form) && event.isAccepted();
  }
};

// Each file is a different game; opening one shows it from its start and
// stops following the broadcast game that was on show.
TEST_F(RecordFiles, OpenedFromAPathOrADrop) {
  int downloads = 0;
  form.FollowRecord([&] {
    ++downloads;
    return std::make_shared<Served>([] { return std::string(); });
  });
  struct Case {
    const char* name;
    bool utf8, bom, drop;
    const char* tournament;
    int moves;
  } cases[] = {
      {"竜王戦.kif", false, false, false, "竜王戦", 12},
      {"名人戦.kifu", true, false, false, "名人戦", 7},
      {"棋聖戦.kif", false, false, true, "棋聖戦", 9},
      {"王位戦.KIFU", true, true, true, "王位戦", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> lines = WalkingKingsRecord(c.moves, c.tournament, "甲", "乙");
    WriteFile(c.name, (c.bom ? "\xEF\xBB\xBF" : "") + RecordBytes(lines, c.utf8, "\r\n"));
    const QString path = QDir::current().absoluteFilePath(QString::fromUtf8(c.name));
    EXPECT_TRUE(c.drop ? Drag(path, true) : testing::OpenFile(form, path));
    EXPECT_EQ(form.Follower->RecordPath(), path);
    EXPECT_TRUE(form.Follower->Following()) << "the file, not the broadcast game";
    EXPECT_EQ(form.windowTitle().toStdString(), std::string("Zelvaro - [ ") + c.tournament + " ]");
    ASSERT_EQ(form.ListView1->RowCount(), c.moves + 1);
    EXPECT_EQ(Cell(1, 1), "▲５八玉(59)");
    EXPECT_TRUE(Html().contains(QString::fromUtf8(c.tournament)));
  }
  EXPECT_EQ(downloads, 0);
  EXPECT_TRUE(catcher.messages.empty());

  // Only local .kif and .kifu files are taken as files; an http or https
  // link is a record's address (opened as such), any other is refused.
  WriteFile("notes.txt", "x");
  EXPECT_FALSE(Drag(QDir::current().absoluteFilePath(QStringLiteral("notes.txt")), false));
  EXPECT_FALSE(Drag(QStringLiteral("ftp://example.jp/a.kif"), false));
  EXPECT_TRUE(Drag(QStringLiteral("https://example.jp/a.kif"), false));
}

// Another program writes a live game into the file, in place or by
// replacing it: the viewer reads it again under the refresh's rules, until
// another game is opened.
TEST_F(RecordFiles, AFollowedFileIsReadAgainWhenItChanges) {
  const auto record = [](int moves) {
    return RecordBytes(WalkingKingsRecord(moves, "竜王戦", "甲", "乙"), false, "\r\n");
  };
  form.show();
  WriteFile("live.kif", record(4));
  ASSERT_TRUE(
      testing::OpenFile(form, QDir::current().absoluteFilePath(QStringLiteral("live.kif"))));
  ClickRow(4);
  const auto rows = [&](int n) {
    return testing::WaitFor([&] { return form.ListView1->RowCount() == n + 1; });
  };
  WriteFile("live.kif", record(6));  // in place
  ASSERT_TRUE(rows(6));
  EXPECT_EQ(form.ListView1->SelectedIndex(), 6) << "following the newest move";
  WriteRecordFile("live.kif", record(9));  // beside it, then renamed over it
  ASSERT_TRUE(rows(9));
  ClickRow(2);
  WriteFile("live.kif", record(11));
  ASSERT_TRUE(rows(11));
  EXPECT_EQ(form.ListView1->SelectedIndex(), 2) << "reviewing stays";

  form.FollowRecord({});
  WriteFile("live.kif", record(13));
  QTest::qWait(400);
  EXPECT_EQ(form.ListView1->RowCount(), 12);
  EXPECT_TRUE(catcher.messages.empty());
}

TEST_F(RecordFiles, AFileThatCannotBeReadLeavesTheGame) {
  WriteFile("a.kif", RecordBytes(WalkingKingsRecord(8, "竜王戦", "甲", "乙"), false, "\n"));
  ASSERT_TRUE(testing::OpenFile(form, QStringLiteral("a.kif")));
  ClickRow(3);
  const QImage picture = form.Image1->Picture();
  const QString html = Html();
  QDir().mkdir(QStringLiteral("folder.kif"));
  for (const char* path : {"missing.kif", "folder.kif"}) {
    SCOPED_TRACE(path);
    catcher.messages.clear();
    EXPECT_FALSE(testing::OpenFile(form, QString::fromUtf8(path)));
    ASSERT_EQ(catcher.messages.size(), 1u);
    EXPECT_EQ(catcher.messages[0].text.toStdString(),
              std::string("ファイル ") + path + " は開けません");
    EXPECT_EQ(form.ListView1->RowCount(), 9);
    EXPECT_EQ(form.ListView1->SelectedIndex(), 3);
    EXPECT_EQ(form.Follower->RecordPath(), QStringLiteral("a.kif"));
    EXPECT_EQ(form.Image1->Picture(), picture);
    EXPECT_EQ(Html(), html);
  }
}

TEST_F(RecordFiles, CtrlOAsksForAFile) {
  Activate();
  WriteFile("b.kifu", RecordBytes(WalkingKingsRecord(4, "棋王戦", "甲", "乙"), true, "\n"));
  dialogs.answers = {QStringLiteral("b.kifu")};
  QTest::keyClick(form.ListView1, Qt::Key_O, Qt::ControlModifier);
  ASSERT_TRUE(testing::WaitForReading(form));
  ASSERT_EQ(dialogs.asks.size(), 1u);
  EXPECT_EQ(dialogs.asks[0].kind, TFileDialog::kOpen);
  for (const char* filter : {"(*.kif *.kifu)", "(*.ki2)", "(*)"}) {
    EXPECT_TRUE(dialogs.asks[0].filters.contains(QString::fromUtf8(filter))) << filter;
  }
  EXPECT_EQ(form.ListView1->RowCount(), 5);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ 棋王戦 ]"));
  // Cancelled: nothing changes.
  QTest::keyClick(form.WebBrowser1, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(dialogs.asks.size(), 2u);
  EXPECT_EQ(form.Follower->RecordPath(), QStringLiteral("b.kifu"));
  EXPECT_TRUE(catcher.messages.empty());
}

// Ctrl+S writes the record on show exactly as it was read: the download's
// file, a local file with its own line ends and encoding, a refreshed game.
TEST_F(RecordFiles, CtrlSSavesTheBytesAsRead) {
  Activate();
  QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(dialogs.asks.empty()) << "nothing to save yet";

  std::vector<std::string> served = WalkingKingsRecord(6, "竜王戦", "甲", "乙");
  form.FollowRecord(
      [&] { return std::make_shared<Served>([&] { return RecordBytes(served, false, "\r\n"); }); });
  Read(served);
  dialogs.answers = {QStringLiteral("download.kif")};
  QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(dialogs.asks.size(), 1u);
  EXPECT_EQ(dialogs.asks[0].kind, TFileDialog::kSave);
  EXPECT_EQ(dialogs.asks[0].path, QStringLiteral("竜王戦.kif"));
  EXPECT_EQ(ReadFile("download.kif"), ReadFile(kRecordFileName));

  served = WalkingKingsRecord(9, "竜王戦", "甲", "乙");
  form.RefreshRecord();
  ASSERT_TRUE(testing::WaitFor([&] { return !form.Follower->Refreshing(); }));
  ASSERT_EQ(form.ListView1->RowCount(), 10);
  dialogs.answers = {QStringLiteral("refreshed.kif")};
  QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadFile("refreshed.kif"), ReadFile(kRecordFileName));

  const std::string local =
      "\xEF\xBB\xBF" + RecordBytes(WalkingKingsRecord(3, "", "甲", "乙"), true, "\n") + "end";
  WriteFile("local.kifu", local);
  ASSERT_TRUE(testing::OpenFile(form, QStringLiteral("local.kifu")));
  dialogs.answers = {QStringLiteral("copy.kifu"), QStringLiteral("no-such-folder/x.kif")};
  QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dialogs.asks.back().path, QStringLiteral("local.kifu"));
  EXPECT_EQ(ReadFile("copy.kifu"), local);
  EXPECT_TRUE(catcher.messages.empty());

  QTest::keyClick(form.ListView1, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_TRUE(catcher.messages[0].text.contains(QStringLiteral("no-such-folder/x.kif")))
      << catcher.messages[0].text.toStdString();
  EXPECT_EQ(ReadFile("local.kifu"), local);
}

// Started from the desktop entry, the record file goes to the user's cache
// folder; from a shell it stays in the current folder.
TEST(RecordFilePlace, TheCacheFolderForADesktopStart) {
  testing::TestApp();
  testing::ScratchFolder folder;
  const QByteArray cache = QDir::current().absoluteFilePath(QStringLiteral("cache")).toUtf8();
  const QByteArray before = qgetenv("XDG_CACHE_HOME");
  qputenv("XDG_CACHE_HOME", cache);
  const QString place = QString::fromStdString(RecordFilePlace(true));
  EXPECT_EQ(place, QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                       .filePath(QString::fromUtf8(kRecordFileName)));
  EXPECT_TRUE(place.startsWith(QString::fromUtf8(cache) + QStringLiteral("/")))
      << place.toStdString();
  EXPECT_TRUE(QFileInfo(place).dir().exists());
  EXPECT_EQ(RecordFilePlace(false), kRecordFileName);
  // The viewer reads the record there.
  testing::MessageCatcher catcher;
  TForm1 form;
  form.Follower->SetRecordFile(place.toStdString());
  testing::WriteRecord(place.toStdString(), WalkingKingsRecord(4, "竜王戦", "甲", "乙"));
  form.Button1Click();
  ASSERT_TRUE(testing::WaitForReading(form));
  EXPECT_EQ(form.ListView1->RowCount(), 5);
  EXPECT_FALSE(QFileInfo::exists(QString::fromUtf8(kRecordFileName)));
  if (before.isNull()) {
    qunsetenv("XDG_CACHE_HOME");
  } else {
    qputenv("XDG_CACHE_HOME", before);
  }
}

// Huge and broken files through Ctrl+O's path: each is shown or refused
// while the window goes on (the reading is under way after the action has
// returned); what is refused leaves the game on show. How long it
// takes is measured in bench/viewer.
TEST_F(RecordFiles, HugeAndBrokenFilesNeitherFreezeTheWindowNorReplaceTheGame) {
  constexpr size_t kSize = 20 << 20;
  std::mt19937 random(18);
  std::string text, moves, binary(1 << 20, '\0');
  while (text.size() < kSize) {
    std::string line(1 + random() % 120, ' ');
    for (char& c : line) c = static_cast<char>(' ' + random() % 95);
    text += line + "\n";
  }
  const std::string pair = Utf8ToSjis(
      "   1 ７六歩(77)   ( 0:01/00:00:01)\n"
      "*" +
      std::string(200, 'x') +
      "\n"
      "   2 ３四歩(33)   ( 0:01/00:00:01)\n");
  while (moves.size() < kSize) moves += pair;
  for (char& c : binary) c = static_cast<char>(random());
  WriteFile("text.kif", text);
  WriteFile("moves.kif", Utf8ToSjis("棋戦：長い対局\n") + moves);
  WriteFile("binary.kif", binary);
  WriteFile("empty.kif", "");
  WriteFile("a.kif", RecordBytes(WalkingKingsRecord(8, "竜王戦", "甲", "乙"), false, "\n"));
  ASSERT_TRUE(testing::OpenFile(form, QStringLiteral("a.kif")));
  form.show();
  const struct {
    const char* file;
    std::u16string_view refusal;  // empty: shown
  } cases[] = {{"text.kif", kNotRecordNoLines},
               {"binary.kif", kNotRecordBinary},
               {"empty.kif", kNotRecordEmpty},
               {"moves.kif", {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    catcher.messages.clear();
    dialogs.answers = {QString::fromUtf8(c.file)};
    form.Actions->OpenAction->trigger();
    // The reading goes on after the action has returned: the window waits for nothing.
    EXPECT_TRUE(form.Follower->Reading());
    ASSERT_TRUE(testing::WaitForReading(form));
    if (c.refusal.empty()) {
      EXPECT_EQ(form.Follower->RecordPath(), QStringLiteral("moves.kif"));
      EXPECT_EQ(form.ListView1->RowCount(), static_cast<int>(kMaxRecordRows));
      EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ 長い対局 ]"));
      ASSERT_EQ(catcher.messages.size(), 1u);
      EXPECT_EQ(catcher.messages[0].text,
                QString::fromStdU16String(std::u16string(kRowsCutReport)));
      continue;
    }
    ASSERT_EQ(catcher.messages.size(), 1u);
    EXPECT_EQ(catcher.messages[0].text, QString::fromStdU16String(std::u16string(c.refusal)));
    EXPECT_EQ(form.Follower->RecordPath(), QStringLiteral("a.kif"));
    EXPECT_EQ(form.ListView1->RowCount(), 9);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ 竜王戦 ]"));
    EXPECT_EQ(Utf16ToUtf8(form.SenteName), "甲");
  }
}

}  // namespace
}  // namespace zelvaro
