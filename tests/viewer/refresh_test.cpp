// Refreshing the game on show, offscreen, with a download that serves lines
// the test holds (on a worker thread, as a real download) and writes them to
// the record file when kept: where the user's place goes, what a failure
// leaves, F5, the timer, refreshes asked for inside actions, and a window
// that answers while the download waits.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "tests/viewer/ViewerWindowFixture.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using testing::WalkingKingsRecord;

class Refresh : public testing::ViewerWindow {
 protected:
  // What one download serves: the lines (UTF-8 here, Shift_JIS as served),
  // or the failure.
  struct Served : TRecordFetch {
    Served(std::vector<std::string> lines, std::string failure, Refresh& test)
        : lines(std::move(lines)), failure(std::move(failure)), test(test) {}
    std::string Fetch() override {
      std::unique_lock<std::mutex> lock(test.mutex);
      test.wake.wait(lock, [&] { return !test.hold || aborted; });
      if (aborted) throw Exception("Request aborted.");
      if (!failure.empty()) throw Exception(failure);
      std::string sjis;
      for (const auto& line : lines) sjis += Utf8ToSjis(line) + "\r\n";
      return sjis;
    }
    void Abort() override {
      std::lock_guard<std::mutex> lock(test.mutex);
      aborted = true;
      test.wake.notify_all();
    }
    void Keep(const std::string& kept) override {
      WriteRecordFile(kRecordFileName, kept);
      ++test.kept;
      if (test.on_keep) test.on_keep();
    }
    TRecordFetchResult Result() const override {
      TRecordFetchResult result;
      result.retry_after = test.retry_after;
      return result;
    }
    const std::vector<std::string> lines;
    const std::string failure;
    Refresh& test;
    bool aborted = false;  // under the test's lock
  };

  ~Refresh() override { form.FollowRecord({}); }  // no download outlives the test's state

  // Opens the record as the hand-over does and shows the window.
  void Open(const std::vector<std::string>& lines) {
    served = lines;
    form.FollowRecord([this] { return Download(); });
    form.show();
    Read(lines);
  }
  std::shared_ptr<TRecordFetch> Download() {
    ++downloads;
    if (on_download) on_download();
    return std::make_shared<Served>(served, failure, *this);
  }
  // F5, then the wait until the refresh has ended.
  void RefreshNow() {
    form.RefreshRecord();
    ASSERT_TRUE(testing::WaitFor([&] { return !form.Follower->Refreshing(); }));
  }
  // Downloads wait until released (or aborted).
  void Hold(bool on) {
    std::lock_guard<std::mutex> lock(mutex);
    hold = on;
    wake.notify_all();
  }
  // A record of `moves` moves with one move's text replaced.
  static std::vector<std::string> Corrected(int moves, int n, const std::string& move) {
    std::vector<std::string> lines = WalkingKingsRecord(moves, "竜王戦", "先手太郎", "後手次郎");
    for (auto& line : lines) {
      if (line.rfind(testing::MoveLine(n, "", "").substr(0, 5), 0) == 0) {
        line = testing::MoveLine(n, move, "( 0:30/00:0" + std::to_string(n % 10) + ":00)");
      }
    }
    return lines;
  }
  static std::vector<std::string> Record(int moves) {
    return WalkingKingsRecord(moves, "竜王戦", "先手太郎", "後手次郎");
  }
  // A record of `moves` moves ended by `word` (投了, 中断, ...).
  static std::vector<std::string> Ended(int moves, const std::string& word) {
    std::vector<std::string> lines = Record(moves);
    lines.pop_back();  // まで…
    lines.push_back(testing::MoveLine(moves + 1, word, "( 0:10/00:01:00)"));
    return lines;
  }
  int Selected() const { return form.ListView1->SelectedIndex(); }

  std::vector<std::string> served;
  std::string failure;                // the next downloads fail with it
  std::function<void()> on_download;  // when a download is made
  std::function<void()> on_keep;      // when a downloaded record is kept
  int downloads = 0;
  int kept = 0;                                     // records kept (written to the record file)
  std::optional<std::chrono::seconds> retry_after;  // what the next failures ask for
  std::mutex mutex;
  std::condition_variable wake;
  bool hold = false;
};

TEST_F(Refresh, FollowingMovesToTheNewLastRow) {
  Open(Record(58));
  ClickRow(58);
  ASSERT_EQ(Selected(), 58);
  served = Record(71);
  RefreshNow();
  EXPECT_EQ(downloads, 1);
  ASSERT_EQ(form.ListView1->RowCount(), 72);
  EXPECT_EQ(Selected(), 71);
  EXPECT_EQ(Cell(70, 3), "ｺﾒﾝﾄ");
  EXPECT_EQ(Cell(71, 1), "▲５九玉(58)");
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[71]));
  EXPECT_EQ(Html(), QStringLiteral("<html><body><font size=\"+1\"><b></b></font></body></html>"));
  const QRect last = form.ListView1->visualItemRect(form.ListView1->topLevelItem(71));
  EXPECT_TRUE(form.ListView1->viewport()->rect().intersects(last));

  // Nothing new: nothing is shown again.
  const unsigned navigation = form.WebBrowser1->Navigation();
  RefreshNow();
  EXPECT_EQ(Selected(), 71);
  EXPECT_EQ(form.WebBrowser1->Navigation(), navigation);
  EXPECT_TRUE(catcher.messages.empty());
}

TEST_F(Refresh, ReviewingKeepsTheRowItsDocumentAndPicture) {
  Open(Record(8));
  ClickRow(5);
  const QString html = Html();
  const QImage picture = form.Image1->Picture();
  const unsigned navigation = form.WebBrowser1->Navigation();
  served = Record(11);
  RefreshNow();
  EXPECT_EQ(form.ListView1->RowCount(), 12);
  EXPECT_EQ(Cell(10, 3), "ｺﾒﾝﾄ") << "the mark follows the record";
  EXPECT_EQ(Selected(), 5);
  EXPECT_EQ(Html(), html);
  EXPECT_EQ(form.WebBrowser1->Navigation(), navigation);
  EXPECT_EQ(form.Image1->Picture(), picture);
}

TEST_F(Refresh, ACorrectedMoveIsShown) {
  Open(Record(6));
  ClickRow(5);
  const QImage before = form.Image1->Picture();
  served = Corrected(6, 5, "４八玉(59)");
  RefreshNow();
  EXPECT_EQ(Selected(), 5);
  EXPECT_EQ(Cell(5, 1), "▲４八玉(59)");
  EXPECT_EQ(form.Positions[5].Board[48], kOu);
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[5]));
  EXPECT_NE(form.Image1->Picture(), before);
  // The later position follows the correction, though no row of it is shown.
  EXPECT_EQ(form.Positions[6].Board[48], kOu);
  EXPECT_TRUE(catcher.messages.empty());
}

// Commentary on the newest move arrives before the next move does; it stays
// with its move when that comes.
TEST_F(Refresh, CommentaryAfterTheNewestMove) {
  Open(Record(6));
  ClickRow(6);
  served = Record(6);
  served.push_back("*６手目の直後の解説");
  RefreshNow();
  EXPECT_EQ(Selected(), 6);
  EXPECT_EQ(Cell(6, 3), "ｺﾒﾝﾄ");
  EXPECT_TRUE(Html().contains(QStringLiteral("６手目の直後の解説"))) << Html().toStdString();

  served = Record(7);
  served.insert(served.end() - 2, "*６手目の直後の解説");  // before move 7 and まで
  RefreshNow();
  EXPECT_EQ(Selected(), 7);
  EXPECT_EQ(form.Positions[6].Comment, u"６手目の直後の解説<BR>");
  EXPECT_EQ(Cell(6, 3), "ｺﾒﾝﾄ");
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[7]));
}

TEST_F(Refresh, WithoutASelectionTheHeaderStays) {
  Open(Record(4));
  const QString header = Html();
  const unsigned navigation = form.WebBrowser1->Navigation();
  served = Record(6);
  RefreshNow();
  EXPECT_EQ(form.ListView1->RowCount(), 7);
  EXPECT_EQ(Selected(), -1);
  EXPECT_EQ(Html(), header);
  EXPECT_EQ(form.WebBrowser1->Navigation(), navigation);

  // A new header is shown, and names and caption follow it.
  served = WalkingKingsRecord(7, "王位戦", "別の先手", "後手次郎");
  RefreshNow();
  EXPECT_EQ(Selected(), -1);
  EXPECT_TRUE(Html().contains(QStringLiteral("棋戦：王位戦<BR>"))) << Html().toStdString();
  EXPECT_EQ(form.windowTitle(),
            QStringLiteral("Zelvaro - [ 王位戦 ] ") + form.Follower->CheckedNote());
  EXPECT_EQ(form.SenteName, u"別の先手");
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[0]));

  // A record that lacks a name keeps the one shown, as a reading does.
  served = WalkingKingsRecord(7, "", "", "");
  RefreshNow();
  EXPECT_EQ(form.windowTitle(),
            QStringLiteral("Zelvaro - [ 王位戦 ] ") + form.Follower->CheckedNote());
  EXPECT_EQ(form.SenteName, u"別の先手");
}

TEST_F(Refresh, AFailureChangesNothingAndShowsQuietly) {
  Open(Record(6));
  ClickRow(3);
  const QString html = Html();
  const QImage picture = form.Image1->Picture();
  served = Record(9);
  failure = "HTTP/1.1 404 Not Found";
  RefreshNow();
  EXPECT_TRUE(catcher.messages.empty());
  EXPECT_EQ(form.ListView1->RowCount(), 7);
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(Html(), html);
  EXPECT_EQ(form.Image1->Picture(), picture);
  EXPECT_EQ(form.windowTitle(),
            QStringLiteral(
                "Zelvaro - [ 竜王戦 ] (更新できません: HTTP/1.1 404 Not Found (次は 2分後)) ") +
                form.Follower->CheckedNote());
  failure = "Socket Error # 111\nConnection refused";
  RefreshNow();
  EXPECT_EQ(form.Follower->RefreshNote(),
            QStringLiteral("更新できません: Socket Error # 111 Connection refused (次は 4分後)"));

  failure.clear();
  RefreshNow();
  EXPECT_EQ(form.ListView1->RowCount(), 10);
  EXPECT_EQ(form.windowTitle(),
            QStringLiteral("Zelvaro - [ 竜王戦 ] ") + form.Follower->CheckedNote());
  EXPECT_TRUE(form.Follower->RefreshNote().isEmpty());
}

// The follower's account of its checks: what each came to, failures in a
// row, when the record last changed and when the next check is planned.
TEST_F(Refresh, TheFollowStateTellsWhatEachCheckCameTo) {
  Open(Record(6));
  form.Follower->SetRefreshInterval(60'000);
  EXPECT_EQ(form.Follower->State().last_outcome, TCheckOutcome::kNone);
  EXPECT_TRUE(form.Follower->State().next_check.isValid());
  const struct {
    const char* failure;
    int moves;
    TCheckOutcome outcome;
    int failures;
  } steps[] = {{"", 6, TCheckOutcome::kUnchanged, 0},
               {"HTTP/1.1 503 Service Unavailable", 8, TCheckOutcome::kFailed, 1},
               {"Socket Error # 111", 8, TCheckOutcome::kFailed, 2},
               {"", 8, TCheckOutcome::kChanged, 0},
               {"", 8, TCheckOutcome::kUnchanged, 0}};
  QStringList failures;
  QObject::connect(form.Follower, &TRecordFollower::RefreshFailed,
                   [&](const QString& message) { failures << message; });
  int checks = 0;
  QObject::connect(form.Follower, &TRecordFollower::Checked, [&] { ++checks; });
  QDateTime changed;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.failure);
    served = Record(step.moves);
    failure = step.failure;
    const QDateTime before = QDateTime::currentDateTime();
    RefreshNow();
    const TCheckState& state = form.Follower->State();
    EXPECT_EQ(state.last_outcome, step.outcome);
    EXPECT_EQ(state.failures, step.failures);
    EXPECT_GE(state.last_check, before);
    if (step.outcome == TCheckOutcome::kChanged) changed = state.last_check;
    EXPECT_EQ(state.last_change, changed);
    EXPECT_GE(state.next_check, state.last_check.addMSecs(60'000));
    EXPECT_TRUE(form.Follower->RefreshTimerActive());
  }
  EXPECT_EQ(checks, 5);
  EXPECT_EQ(failures, (QStringList{QStringLiteral("HTTP/1.1 503 Service Unavailable"),
                                   QStringLiteral("Socket Error # 111")}));
  form.Follower->SetRefreshInterval(0);
  EXPECT_FALSE(form.Follower->State().next_check.isValid()) << "no check planned";
}

TEST_F(Refresh, AMoveThatCannotBeAppliedIsNotedWithoutABox) {
  Open(Record(4));
  served = Corrected(6, 5, "５八玉(5x)");
  RefreshNow();
  EXPECT_TRUE(catcher.messages.empty());
  EXPECT_EQ(form.ListView1->RowCount(), 7);
  EXPECT_EQ(form.Follower->RefreshNote(), QStringLiteral("指し手エラー ５八玉(5x)"));
  EXPECT_TRUE(form.windowTitle().endsWith(QStringLiteral("(指し手エラー ５八玉(5x)) ") +
                                          form.Follower->CheckedNote()));
}

TEST_F(Refresh, NothingWithoutADownloadOrWhileHidden) {
  Read(Record(4));
  form.show();
  form.RefreshRecord();  // a local file: nothing to download
  EXPECT_EQ(downloads, 0);
  Open(Record(4));
  form.hide();
  form.RefreshRecord();
  EXPECT_EQ(downloads, 0);
  EXPECT_FALSE(form.Follower->RefreshTimerActive());
  form.show();
  EXPECT_TRUE(form.Follower->RefreshTimerActive());
  form.FollowRecord({});
  EXPECT_FALSE(form.Follower->RefreshTimerActive());
}

// While the download waits, the window answers: a click shows its row, and
// the refresh then keeps the user's place.
TEST_F(Refresh, TheWindowAnswersWhileTheDownloadWaits) {
  Open(Record(6));
  ClickRow(6);
  served = Record(8);
  Hold(true);
  form.RefreshRecord();
  EXPECT_TRUE(form.Follower->Refreshing());
  ClickRow(5);
  EXPECT_EQ(Selected(), 5);
  EXPECT_TRUE(Html().contains(QStringLiteral("5手目の解説"))) << Html().toStdString();
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[5]));
  form.Button2->click();
  EXPECT_EQ(Selected(), 4);
  EXPECT_EQ(form.ListView1->RowCount(), 7) << "nothing shown before the record is in";
  Hold(false);
  ASSERT_TRUE(testing::WaitFor([&] { return !form.Follower->Refreshing(); }));
  EXPECT_EQ(form.ListView1->RowCount(), 9);
  EXPECT_EQ(Selected(), 4);
}

// Reading the file, hiding the window or another game: the answer of the
// refresh under way is dropped, and the download is aborted.
TEST_F(Refresh, ALateAnswerIsDropped) {
  const std::vector<std::function<void()>> leave = {
      [&] { Read(WalkingKingsRecord(3, "王位戦", "別の先手", "後手次郎")); },
      [&] { form.hide(); },
      [&] { form.FollowRecord([this] { return Download(); }); },
  };
  for (size_t i = 0; i < leave.size(); ++i) {
    SCOPED_TRACE(i);
    Open(Record(4));
    const QString caption = form.windowTitle();
    const int rows = form.ListView1->RowCount();
    served = Record(9);
    Hold(true);
    form.RefreshRecord();
    leave[i]();
    EXPECT_FALSE(form.Follower->Refreshing());
    Hold(false);
    QTest::qWait(30);
    EXPECT_NE(form.ListView1->RowCount(), 10);
    if (i > 0) {
      EXPECT_EQ(form.ListView1->RowCount(), rows);
      EXPECT_EQ(form.windowTitle(), caption);
    }
    EXPECT_TRUE(form.Follower->RefreshNote().isEmpty()) << "an abandoned refresh is no failure";
  }
}

// Showing a document processes events: a refresh asked for then must not
// move the selection under the user's click or step.
TEST_F(Refresh, ARefreshAskedForDuringAUserActionWaitsForItsEnd) {
  Open(Record(6));
  ClickRow(6);
  served = Record(8);
  bool step_done = false;
  int selected_at_download = -2;
  on_download = [&] { selected_at_download = step_done ? Selected() : -3; };
  QTimer::singleShot(0, &form, [&] { form.RefreshRecord(); });
  form.Button2->click();  // "<" to row 5; its document processes the timer
  step_done = true;
  EXPECT_EQ(downloads, 0);
  EXPECT_EQ(Selected(), 5);
  EXPECT_TRUE(form.Follower->RefreshPending());
  ASSERT_TRUE(testing::WaitFor([&] { return downloads == 1 && !form.Follower->Refreshing(); }));
  EXPECT_EQ(selected_at_download, 5);
  EXPECT_EQ(Selected(), 5) << "the user left the last row: no longer following";
  EXPECT_EQ(form.ListView1->RowCount(), 9);

  // A refresh asked for while one is under way is answered by it: nothing
  // is downloaded twice.
  on_download = [&] {
    if (downloads == 2) form.RefreshRecord();
  };
  RefreshNow();
  EXPECT_EQ(downloads, 2);
  QTest::qWait(20);
  EXPECT_EQ(downloads, 2);
  EXPECT_FALSE(form.Follower->RefreshPending());
}

// A click handled while a refresh shows its document wins over it.
TEST_F(Refresh, AClickDuringTheRefreshDocumentKeepsItsOwn) {
  Open(Record(6));
  ClickRow(6);
  served = Record(7);
  // Posted when the record is kept, so it runs while the document is shown.
  on_keep = [&] { QTimer::singleShot(0, &form, [&] { ClickRow(5); }); };
  RefreshNow();
  QTest::qWait(10);
  EXPECT_EQ(Selected(), 5);
  EXPECT_TRUE(Html().contains(QStringLiteral("5手目の解説"))) << Html().toStdString();
  EXPECT_EQ(form.Image1->Picture(), Expected(form.Positions[5]));
}

TEST_F(Refresh, F5AndTheTimer) {
  Open(Record(4));
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(form.ListView1, Qt::Key_F5);
  EXPECT_EQ(downloads, 1);
  ASSERT_TRUE(testing::WaitFor([&] { return !form.Follower->Refreshing(); }));
  QTest::keyClick(&form, Qt::Key_F5);
  EXPECT_EQ(downloads, 2);

  EXPECT_EQ(form.Follower->RefreshInterval(), 60'000) << "1分 by default";
  served = Record(6);
  ClickRow(4);
  form.Follower->SetRefreshInterval(30);
  QTRY_VERIFY(downloads >= 4);
  EXPECT_EQ(Selected(), 6);
  // Off: no more downloads.
  form.Follower->SetRefreshInterval(0);
  EXPECT_FALSE(form.Follower->RefreshTimerActive());
  const int seen = downloads;
  QTest::qWait(100);
  EXPECT_EQ(downloads, seen);

  // The options dialog sets the interval.
  struct Choice {
    int item;
    int ms;
  } choices[] = {{1, 30'000}, {3, 180'000}, {0, 0}, {2, 60'000}};
  for (const auto& c : choices) {
    form.OptionsDialog->RadioGroup2->Item(c.item)->click();
    EXPECT_EQ(form.Follower->RefreshInterval(), c.ms) << c.item;
    EXPECT_EQ(form.Follower->RefreshTimerActive(), c.ms > 0) << c.item;
  }
}

TEST(OptionsDialog, RefreshGroupBelowTheOriginalLayout) {
  testing::TestApp();
  TForm3 dialog;
  EXPECT_EQ(dialog.Button1->geometry(), QRect(144, 216, 105, 25));
  EXPECT_EQ(dialog.RadioGroup1->geometry(), QRect(40, 32, 345, 129));
  const QRect group = dialog.RadioGroup2->geometry();
  EXPECT_GE(group.top(), dialog.Button1->geometry().bottom());
  EXPECT_TRUE(dialog.rect().contains(group));
  EXPECT_EQ(dialog.RadioGroup2->title(), QStringLiteral("自動更新"));
  const char* labels[] = {"しない", "30秒", "1分", "3分"};
  ASSERT_EQ(dialog.RadioGroup2->Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dialog.RadioGroup2->Item(i)->text().toStdString(), labels[i]);
    EXPECT_TRUE(dialog.RadioGroup2->rect().contains(dialog.RadioGroup2->Item(i)->geometry()));
  }
  EXPECT_EQ(dialog.RadioGroup2->ItemIndex(), 2);
  EXPECT_THROW(RefreshIntervalMs(4), ERangeError);
  const std::vector<QWidget*> order = {dialog.Button1, dialog.RadioGroup1->Item(0),
                                       dialog.RadioGroup2->Item(0)};
  EXPECT_EQ(testing::FocusOrder(dialog.Button1, order), order);
}

// The same record again: nothing is read, kept or shown anew; only the
// time of the check moves on.
TEST_F(Refresh, AnUnchangedRecordOnlyMovesTheLastCheck) {
  Open(Record(6));
  ClickRow(3);
  served = Record(7);
  RefreshNow();
  const QDateTime changed = form.Follower->State().last_change;
  ASSERT_TRUE(changed.isValid());
  ClickRow(3);
  const QString html = Html();
  const QImage picture = form.Image1->Picture();
  const int kept_before = kept;
  int refreshed = 0;
  QObject::connect(form.Follower, &TRecordFollower::RecordRefreshed, [&] { ++refreshed; });
  QTest::qWait(20);
  RefreshNow();
  const TCheckState& state = form.Follower->State();
  EXPECT_EQ(state.last_outcome, TCheckOutcome::kUnchanged);
  EXPECT_EQ(state.last_change, changed);
  EXPECT_GT(state.last_check, changed);
  EXPECT_EQ(kept, kept_before) << "the record file is not written again";
  EXPECT_EQ(refreshed, 0);
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(Html(), html);
  EXPECT_EQ(form.Image1->Picture(), picture);
  const QString note = form.Follower->CheckedNote();
  EXPECT_EQ(note,
            QStringLiteral("最終確認 ") + state.last_check.toString(QStringLiteral("HH:mm:ss")) +
                QStringLiteral(" / 最終更新 ") + changed.toString(QStringLiteral("HH:mm:ss")));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Zelvaro - [ 竜王戦 ] ") + note);
}

// Failures: the timer waits twice as long each time, up to 10 minutes, at
// least what Retry-After asks for; F5 still tries at once; a success brings
// the interval back.
TEST_F(Refresh, FailuresMakeTheNextCheckLater) {
  Open(Record(4));
  form.Follower->SetRefreshInterval(60'000);
  const struct {
    const char* failure;
    int retry_after;   // seconds, -1 for none
    int wait_s;        // the wait that follows
    const char* next;  // what the caption says of it
  } steps[] = {{"HTTP/1.1 500 Internal Server Error", -1, 120, "(次は 2分後)"},
               {"Socket Error # 111", -1, 240, "(次は 4分後)"},
               {"Socket Error # 111", -1, 480, "(次は 8分後)"},
               {"Socket Error # 111", -1, 600, "(次は 10分後)"},
               {"Socket Error # 111", -1, 600, "(次は 10分後)"},
               {"", -1, 60, ""},
               {"HTTP/1.1 503 Service Unavailable", 1800, 1800, "(次は 30分後)"},
               {"HTTP/1.1 429 Too Many Requests", 5, 240, "(次は 4分後)"},
               {"", -1, 60, ""}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.failure);
    failure = step.failure;
    retry_after =
        step.retry_after < 0 ? std::nullopt : std::optional(std::chrono::seconds(step.retry_after));
    const int before = downloads;
    RefreshNow();
    EXPECT_EQ(downloads, before + 1) << "F5 tries at once";
    const TCheckState& state = form.Follower->State();
    EXPECT_EQ(form.Follower->Pace().Wait(), std::chrono::seconds(step.wait_s));
    EXPECT_TRUE(form.Follower->RefreshTimerActive());
    const qint64 planned = state.last_check.secsTo(state.next_check);
    EXPECT_GE(planned, step.wait_s - 2);
    EXPECT_LE(planned, step.wait_s);
    if (*step.failure) {
      EXPECT_TRUE(form.Follower->RefreshNote().startsWith(QStringLiteral("更新できません: ")));
      EXPECT_TRUE(form.Follower->RefreshNote().endsWith(QString::fromUtf8(step.next)))
          << form.Follower->RefreshNote().toStdString();
    } else {
      EXPECT_TRUE(form.Follower->RefreshNote().isEmpty());
    }
  }
}

// A game that has ended is not checked by the timer; F5 still downloads it,
// a correction is taken, and a record that goes on after all is followed again.
TEST_F(Refresh, AFinishedGameStopsTheTimerButNotF5) {
  Open(Record(4));
  const struct {
    std::vector<std::string> lines;
    bool finished;
  } steps[] = {{Ended(4, "投了"), true},
               {Ended(4, "投了"), true},
               {Corrected(4, 4, "４一玉(52)"), false},
               {Ended(5, "封じ手"), false},
               {Ended(6, "千日手"), true},
               {Ended(7, "中断"), false},
               {Ended(7, "反則負け"), true}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.lines.back());
    served = step.lines;
    const int before = downloads;
    RefreshNow();
    EXPECT_EQ(downloads, before + 1);
    EXPECT_EQ(form.ListView1->RowCount(),
              static_cast<int>(form.Follower->Record().main_line.size()));
    EXPECT_EQ(form.Follower->Pace().Finished(), step.finished);
    EXPECT_EQ(form.Follower->RefreshTimerActive(), !step.finished);
    EXPECT_EQ(form.windowTitle().contains(QStringLiteral("(終局)")), step.finished)
        << form.windowTitle().toStdString();
  }
  form.Follower->SetRefreshInterval(30);
  EXPECT_FALSE(form.Follower->RefreshTimerActive());
  const int seen = downloads;
  QTest::qWait(120);
  EXPECT_EQ(downloads, seen) << "no timer after the end";
  // A correction of the ended game is taken on F5.
  served = Ended(7, "反則負け");
  served[served.size() - 2] = testing::MoveLine(7, "４八玉(58)", "( 0:30/00:07:00)");
  RefreshNow();
  EXPECT_EQ(form.ListView1->SubItem(7, 0), QStringLiteral("▲４八玉(58)"));
  EXPECT_TRUE(form.Follower->Pace().Finished());

  // Opened already over: never checked by the timer.
  Open(Ended(3, "詰み"));
  EXPECT_FALSE(form.Follower->RefreshTimerActive());
  EXPECT_TRUE(form.windowTitle().endsWith(QStringLiteral("(終局)")));
}

}  // namespace
}  // namespace zelvaro
