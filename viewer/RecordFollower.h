// TRecordFollower: the record on show in the viewer and where it comes
// from (the broadcast's download, a file, a web address), read off the
// window thread, and kept up to date: F5, a timer at the chosen interval,
// and a watch on a followed file. The window shows what it signals.
//
// Reading: ReadAside reads a record's bytes on the download pool and hands
// the result to a continuation on the window thread; the window answers
// meanwhile. Only one reading runs at a time, and it counts as a user
// action: no refresh starts or is shown until it has ended.
//
// Refreshing: a refresh downloads the record again through the download
// the follower was given (Follow), reads it aside and, if it is complete
// and good, makes it the record on show (RecordRefreshed). A failure
// changes nothing but the note in the caption. A refresh neither starts
// nor is shown inside a user action (TUserAction): showing a document
// processes events, so that waits until the action has ended. Another
// opening, hiding the window or going abandons a refresh under way; its
// late answer is dropped.
//
// When the next refresh runs is decided in one place, ScheduleNextCheck,
// from the interval and what the last checks came to (State, Pace): after
// failures the timer waits twice as long each time (and at least what a
// server's Retry-After asks for), and a record whose game has ended is not
// checked by the timer any more; F5 always checks at once. A check that
// brings the record on show again (a 304, or the same bytes) changes
// nothing but the time of the last check in the caption.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "broadcast/RecordFetch.h"
#include "game/Record.h"
#include "game/RecordFollow.h"
#include "toolkit/qt/Background.h"

class QFileSystemWatcher;
class QTimer;
class QWidget;

namespace zelvaro {

// The file Button1Click reads, in the current directory unless the program
// sets another place (SetRecordFile).
inline constexpr char kRecordFileName[] = "棋譜中継.txt";

// What the last check of a followed record came to.
enum class TCheckOutcome {
  kNone,       // no check since the record was opened
  kChanged,    // the record came and differs from the one on show
  kUnchanged,  // the record came as it was
  kFailed,     // it could not be had, or was no record
};

// The follower's account of its checks, for the caption and for deciding
// when to look again.
struct TCheckState {
  TCheckOutcome last_outcome = TCheckOutcome::kNone;
  QDateTime last_check;   // when the last check ended, whatever it came to
  QDateTime last_change;  // when a check last brought a changed record
  int failures = 0;       // checks failed in a row
  QDateTime next_check;   // when the timer checks next; null while none is planned
};

class TRecordFollower : public QObject {
  Q_OBJECT
 public:
  // What a reading aside came to.
  struct TRead {
    std::string bytes;
    std::string error;       // UTF-8: the bytes could not be had
    std::u16string refusal;  // they are no record
    TKifRecord record;
  };
  using TReadDone = std::function<void(TRead& read)>;

  // Counts a user action for as long as it lives. A refresh asked for
  // meanwhile runs once the outermost one has ended.
  class TUserAction {
   public:
    explicit TUserAction(TRecordFollower& follower);
    ~TUserAction();
    TUserAction(const TUserAction&) = delete;
    TUserAction& operator=(const TUserAction&) = delete;

   private:
    TRecordFollower& follower_;
  };

  // `window` is the window showing the record: refreshes run only while it
  // is shown, and its caption is the record's until it changes.
  explicit TRecordFollower(QWidget* window);
  ~TRecordFollower() override;

  // The record on show, its bytes as read (for saving and copying), how
  // they were decoded (a refresh decodes alike) and the name they were read under.
  const TKifRecord& Record() const { return record_; }
  const std::string& Bytes() const { return bytes_; }
  TRecordEncoding Encoding() const { return encoding_; }
  const std::string& Name() const { return name_; }
  // The user's file the record on show was read from; empty for the record
  // file (a download) and for what came another way.
  const QString& RecordPath() const { return record_path_; }
  // Where Button1Click reads (kRecordFileName, relative to the current folder, by default).
  void SetRecordFile(std::string path) { record_file_ = std::move(path); }
  const std::string& RecordFile() const { return record_file_; }

  // Reads read()'s bytes as `encoding` off the window thread, then runs
  // done(result) on the window thread (never inside this call), inside a
  // user action. False, and nothing done, while another reading is under
  // way. A reading is not abandoned by hiding the window; it ends with the follower.
  bool ReadAside(std::function<std::string()> read, TRecordEncoding encoding,
                 const std::string& name, TReadDone done);
  bool Reading() const { return reading_; }
  // The start of showing a new record: no refresh under way or waiting, no
  // note, and only row 0 on show (RecordCleared).
  void Clear();
  // Makes what a reading read the record on show (RecordOpened).
  void Take(TRead& read, TRecordEncoding encoding, const std::string& name,
            const QString& record_path);

  // The record on show is refreshed with `download` from now on (empty:
  // never), and the file at `watched` (empty: none) read again whenever it
  // changes. A refresh under way is abandoned.
  void Follow(TRecordDownload download, const QString& watched = {});
  bool Following() const { return static_cast<bool>(download_); }
  // F5: starts a refresh and returns. Nothing without a download or while
  // the window is hidden, and nothing more while a refresh is under way (it
  // answers this one too). Inside a user action the start waits until it has ended.
  void RefreshRecord();
  bool RefreshPending() const { return refresh_pending_; }
  // A refresh is downloading, or its record waits to be shown.
  bool Refreshing() const { return refresh_work_.Busy() || held_refresh_ != nullptr; }
  // Runs `work` now when no user action is under way, and otherwise once
  // they have ended, in the order asked.
  void WhenIdle(std::function<void()> work);

  // Milliseconds between automatic refreshes, 0 for none. The timer runs
  // only while the window is shown and a download is set, and counts from
  // the end of the last refresh.
  void SetRefreshInterval(int milliseconds);
  int RefreshInterval() const { return refresh_interval_ms_; }
  bool RefreshTimerActive() const;
  // The quiet note in the caption after the last refresh (a failure, or a
  // move the refreshed record could not apply); empty when there is none.
  const QString& RefreshNote() const { return refresh_note_; }
  const TCheckState& State() const { return state_; }
  // When the timer checks next, and whether the game on show has ended.
  const TFollowPace& Pace() const { return pace_; }
  // 「最終確認 14:03:10 / 最終更新 14:02:40」 from State; empty before the
  // first check.
  QString CheckedNote() const;

  // Told in the caption instead of the refresh note while not empty (an
  // address being opened).
  void SetOpeningNote(const QString& note);

 signals:
  // Only row 0 is on show: a new record is about to be shown.
  void RecordCleared();
  // A record that was read is on show, to be shown from its top.
  void RecordOpened();
  // A refresh replaced the record on show; `before` is the one it replaced.
  void RecordRefreshed(const TKifRecord& before);
  // The window's caption: the record's, with the note after it.
  void CaptionChanged(const QString& caption);
  // A refresh failed: `message` says why (the caption's note says so too).
  void RefreshFailed(const QString& message);
  // A check of the followed record has ended (State says how).
  void Checked();

 protected:
  // The window's showing and hiding: the timer runs only while it is
  // shown, and hiding it abandons a refresh under way.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What a refresh's download came to, read aside.
  struct TRefreshed {
    std::shared_ptr<TRecordFetch> fetch;
    std::string error;  // UTF-8; empty when the record came whole
    std::string bytes;
    TKifRecord record;
    // The bytes are the record on show: they were not read again.
    bool unchanged = false;
  };
  bool InUserAction() const { return action_depth_ > 0 || reading_; }
  // Runs, after the events now pending, what a user action held up: work
  // asked for, a refresh asked for, or a refreshed record to show.
  void RunPendingRefresh();
  void AbandonRefresh();
  void FinishRefresh(std::unique_ptr<TRefreshed> refreshed);
  // Notes what the check came to and plans the next.
  // `failure` says why a failed check failed; `retry_after` is the wait the
  // server asked for.
  void EndCheck(TCheckOutcome outcome, const std::string& failure = {},
                std::optional<std::chrono::seconds> retry_after = std::nullopt);
  // Followed by its address (a download), not a file watched on disk: only
  // then does the caption tell the checks, and the end of the game stop them.
  bool ByAddress() const { return download_ && watched_path_.isEmpty(); }
  // Starts or stops the timer for the next check.
  void ScheduleNextCheck();
  void ShowCaption();
  void WatchFile(const QString& path);
  void WatchedFileChanged();
  void RefreshWatchedFile();

  QWidget* window_;
  TKifRecord record_;
  std::string bytes_;
  TRecordEncoding encoding_ = TRecordEncoding::kCp932;
  std::string name_;
  QString record_path_;
  std::string record_file_ = kRecordFileName;
  bool reading_ = false;

  QString base_caption_;  // what the record made of the caption
  QString refresh_note_;
  QString opening_note_;
  TCheckState state_;
  TFollowPace pace_;

  TRecordDownload download_;
  QTimer* refresh_timer_;
  int refresh_interval_ms_ = 0;
  int action_depth_ = 0;  // user actions under way, nested ones counted
  bool refresh_pending_ = false;
  std::unique_ptr<TRefreshed> held_refresh_;      // arrived during a user action
  std::vector<std::function<void()>> idle_work_;  // asked for during a user action
  QFileSystemWatcher* file_watcher_;
  QTimer* file_settle_timer_;
  QString watched_path_;             // the followed file
  bool file_changed_again_ = false;  // while it was being read
  // Last: they are destroyed first, ending the work before what it reports to goes.
  TLatestWork read_work_;
  TLatestWork refresh_work_;
};

}  // namespace zelvaro
