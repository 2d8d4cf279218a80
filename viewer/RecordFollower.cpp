#include "viewer/RecordFollower.h"

#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>
#include <climits>
#include <utility>

#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro {

namespace {

// How long a followed file must stay unchanged before it is read again.
constexpr int kFileSettleMs = 150;

}  // namespace

TRecordFollower::TUserAction::TUserAction(TRecordFollower& follower) : follower_(follower) {
  ++follower_.action_depth_;
}

TRecordFollower::TUserAction::~TUserAction() {
  if (--follower_.action_depth_ == 0) follower_.RunPendingRefresh();
}

TRecordFollower::TRecordFollower(QWidget* window)
    : QObject(window), window_(window), base_caption_(ToQString(record_.caption)) {
  window_->installEventFilter(this);
  file_watcher_ = new QFileSystemWatcher(this);
  connect(file_watcher_, &QFileSystemWatcher::fileChanged, this,
          &TRecordFollower::WatchedFileChanged);
  connect(file_watcher_, &QFileSystemWatcher::directoryChanged, this,
          &TRecordFollower::WatchedFileChanged);
  file_settle_timer_ = new QTimer(this);
  file_settle_timer_->setSingleShot(true);
  file_settle_timer_->setInterval(kFileSettleMs);
  connect(file_settle_timer_, &QTimer::timeout, this, &TRecordFollower::RefreshWatchedFile);
  refresh_timer_ = new QTimer(this);
  refresh_timer_->setSingleShot(true);
  connect(refresh_timer_, &QTimer::timeout, this, &TRecordFollower::RefreshRecord);
}

TRecordFollower::~TRecordFollower() = default;

bool TRecordFollower::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Hide) {
    refresh_pending_ = false;
    AbandonRefresh();
    ScheduleNextCheck();
  } else if (watched == window_ && event->type() == QEvent::Show) {
    ScheduleNextCheck();
  }
  return false;
}

bool TRecordFollower::ReadAside(std::function<std::string()> read, TRecordEncoding encoding,
                                const std::string& name, TReadDone done) {
  if (reading_) return false;
  reading_ = true;
  read_work_.Start(
      {},
      [read = std::move(read), encoding, name] {
        auto result = std::make_shared<TRead>();
        try {
          result->bytes = read();
          result->refusal = RecordRefusal(result->bytes, encoding, name);
          // A new game starts from nothing: no names of the last one.
          if (result->refusal.empty())
            ReadRecordBytes(result->record, result->bytes, encoding, name);
        } catch (const std::exception& e) {
          result->error = MessageOf(e);
          if (result->error.empty()) result->error = "Unknown error.";
        }
        return result;
      },
      [this, done = std::move(done)](std::shared_ptr<TRead> result) {
        // Showing the record processes events: what they ask for waits for its end.
        TUserAction showing(*this);
        reading_ = false;
        done(*result);
      });
  return true;
}

void TRecordFollower::Clear() {
  // The record read now is the newest there is.
  refresh_pending_ = false;
  AbandonRefresh();
  refresh_note_.clear();
  ShowCaption();
  record_.rows = TKifRecord().rows;
  record_.row_positions.resize(1);
  record_.main_line = {0};
  bytes_.clear();
  emit RecordCleared();
}

void TRecordFollower::Take(TRead& read, TRecordEncoding encoding, const std::string& name,
                           const QString& record_path) {
  record_ = std::move(read.record);
  bytes_ = std::move(read.bytes);
  encoding_ = encoding;
  name_ = name;
  record_path_ = record_path;
  state_ = {};
  pace_ = TFollowPace(pace_.Interval());
  // A game that has ended is not checked by the timer.
  pace_.SetFinished(ByAddress() && RecordFinished(record_));
  base_caption_ = ToQString(record_.caption);
  ShowCaption();
  emit RecordOpened();
  ScheduleNextCheck();
}

void TRecordFollower::Follow(TRecordDownload download, const QString& watched) {
  AbandonRefresh();
  WatchFile(watched);
  download_ = std::move(download);
  state_ = {};
  pace_ = TFollowPace(pace_.Interval());
  ShowCaption();
  if (!download_) refresh_pending_ = false;
  ScheduleNextCheck();
}

void TRecordFollower::SetRefreshInterval(int milliseconds) {
  refresh_interval_ms_ = std::max(milliseconds, 0);
  pace_.SetInterval(std::chrono::milliseconds(refresh_interval_ms_));
  ScheduleNextCheck();
}

bool TRecordFollower::RefreshTimerActive() const { return refresh_timer_->isActive(); }

void TRecordFollower::SetOpeningNote(const QString& note) {
  opening_note_ = note;
  ShowCaption();
}

QString TRecordFollower::CheckedNote() const {
  const auto time_of_day = [](const QDateTime& time) -> std::optional<std::chrono::seconds> {
    if (!time.isValid()) return std::nullopt;
    return std::chrono::seconds(time.time().msecsSinceStartOfDay() / 1000);
  };
  return ToQString(CheckedText(time_of_day(state_.last_check), time_of_day(state_.last_change)));
}

void TRecordFollower::ShowCaption() {
  // 「Zelvaro - [ 棋戦 ] (NOTE / 終局) 最終確認 14:03:10 / 最終更新 14:02:40」
  QString caption = base_caption_;
  if (!opening_note_.isEmpty()) {
    emit CaptionChanged(caption + QStringLiteral(" (") + opening_note_ + QStringLiteral(")"));
    return;
  }
  QStringList notes;
  if (!refresh_note_.isEmpty()) notes << refresh_note_;
  if (ByAddress() && pace_.Finished()) notes << ToQString(FinishedText());
  if (!notes.isEmpty())
    caption += QStringLiteral(" (") + notes.join(QStringLiteral(" / ")) + QStringLiteral(")");
  if (ByAddress() && state_.last_check.isValid()) caption += QStringLiteral(" ") + CheckedNote();
  emit CaptionChanged(caption);
}

void TRecordFollower::ScheduleNextCheck() {
  if (window_->isVisible() && download_ && refresh_interval_ms_ > 0 && !Refreshing() &&
      !pace_.Finished()) {
    // From the end of the last check: the interval, or longer after failures.
    const std::optional<TFollowPace::Duration> remaining =
        pace_.Remaining(TFollowPace::Clock::now());
    const qint64 wait = remaining ? remaining->count() : refresh_interval_ms_;
    refresh_timer_->start(static_cast<int>(std::min<qint64>(wait, INT_MAX)));
    state_.next_check = QDateTime::currentDateTime().addMSecs(wait);
  } else {
    refresh_timer_->stop();
    state_.next_check = QDateTime();
  }
}

void TRecordFollower::EndCheck(TCheckOutcome outcome, const std::string& failure,
                               std::optional<std::chrono::seconds> retry_after) {
  const bool failed = outcome == TCheckOutcome::kFailed;
  if (failed) {
    pace_.Failed(TFollowPace::Clock::now(), retry_after);
    // Some messages run over two lines; the caption has one.
    const QString message = QString::fromStdString(failure).simplified();
    std::optional<std::chrono::milliseconds> next;
    if (refresh_interval_ms_ > 0 && !pace_.Finished()) next = pace_.Wait();
    refresh_note_ = ToQString(FailureText(message.toStdU16String(), next));
  } else {
    pace_.Succeeded(TFollowPace::Clock::now());
  }
  state_.last_outcome = outcome;
  state_.last_check = QDateTime::currentDateTime();
  if (outcome == TCheckOutcome::kChanged) state_.last_change = state_.last_check;
  state_.failures = failed ? state_.failures + 1 : 0;
  ShowCaption();
  if (failed) emit RefreshFailed(QString::fromStdString(failure));
  emit Checked();
}

void TRecordFollower::AbandonRefresh() {
  refresh_work_.Abandon();
  held_refresh_.reset();
}

void TRecordFollower::WhenIdle(std::function<void()> work) {
  if (!InUserAction()) {
    work();
    return;
  }
  idle_work_.push_back(std::move(work));
}

void TRecordFollower::RunPendingRefresh() {
  if (!refresh_pending_ && !held_refresh_ && idle_work_.empty()) return;
  // Queued: the caller (the end of an action) unwinds first.
  QTimer::singleShot(0, this, [this] {
    if (InUserAction()) return;
    if (!idle_work_.empty()) {
      // One at a time: each may start an action, whose end comes back here.
      std::function<void()> work = std::move(idle_work_.front());
      idle_work_.erase(idle_work_.begin());
      work();
      RunPendingRefresh();
      return;
    }
    if (held_refresh_) {
      FinishRefresh(std::move(held_refresh_));
    } else if (refresh_pending_) {
      RefreshRecord();
    }
  });
}

void TRecordFollower::RefreshRecord() {
  if (!download_ || !window_->isVisible()) return;
  if (Refreshing()) {
    // The refresh under way answers this one too: nothing is asked twice.
    refresh_pending_ = false;
    return;
  }
  if (InUserAction()) {
    refresh_pending_ = true;
    return;
  }
  refresh_pending_ = false;
  refresh_timer_->stop();
  // Making the download may process events; a refresh asked for then waits.
  TUserAction starting(*this);
  std::shared_ptr<TRecordFetch> fetch = download_();
  // Read aside on the worker too: a record that lacks a name keeps the one
  // shown, as a reading does.
  auto refreshed = std::make_shared<TRefreshed>();
  refreshed->fetch = fetch;
  refreshed->record.sente_name = record_.sente_name;
  refreshed->record.gote_name = record_.gote_name;
  refreshed->record.tournament_name = record_.tournament_name;
  refreshed->record.caption = base_caption_.toStdU16String();
  auto shown = std::make_shared<const std::string>(bytes_);
  refresh_work_.Start(
      [fetch] { fetch->Abort(); },
      [refreshed, shown, encoding = encoding_, name = name_] {
        try {
          refreshed->bytes = refreshed->fetch->Fetch();
          // The record on show came again (a 304 hands back the last good
          // download's bytes; or the server sent the same body): nothing to read.
          if (refreshed->bytes == *shown) {
            refreshed->unchanged = true;
            return refreshed;
          }
          // What is no record does not replace the game on show.
          if (const std::u16string_view refusal = RecordRefusal(refreshed->bytes, encoding, name);
              !refusal.empty()) {
            refreshed->error = Utf16ToUtf8(refusal);
            return refreshed;
          }
          ReadRecordBytes(refreshed->record, refreshed->bytes, encoding, name);
        } catch (const std::exception& e) {
          // Running out of memory too: an ordinary failure.
          refreshed->error = MessageOf(e);
          if (refreshed->error.empty()) refreshed->error = "Unknown error.";
        }
        return refreshed;
      },
      [this](std::shared_ptr<TRefreshed> done) {
        auto taken = std::make_unique<TRefreshed>(std::move(*done));
        if (InUserAction()) {
          // Shown once the user's action has ended, not under it.
          held_refresh_ = std::move(taken);
          return;
        }
        FinishRefresh(std::move(taken));
      });
  // Asked for while it was being started: this refresh answers it.
  refresh_pending_ = false;
  ScheduleNextCheck();
}

void TRecordFollower::FinishRefresh(std::unique_ptr<TRefreshed> refreshed) {
  struct Restart {
    TRecordFollower& follower;
    ~Restart() {
      follower.ScheduleNextCheck();
      if (std::exchange(follower.file_changed_again_, false)) follower.file_settle_timer_->start();
    }
  } restart{*this};
  // Showing the record processes events: what they ask for waits for its end.
  TUserAction showing(*this);
  const TRecordFetchResult result = refreshed->fetch->Result();
  std::string failure = refreshed->error;
  if (failure.empty() && !refreshed->unchanged) {
    try {
      refreshed->fetch->Keep(refreshed->bytes);
    } catch (const std::exception& e) {
      failure = MessageOf(e);
    }
  }
  if (!failure.empty()) {
    EndCheck(TCheckOutcome::kFailed, failure, result.retry_after);
    return;
  }
  if (refreshed->unchanged) {
    // The place, the picture and the file stay; only the time of the check moves on.
    refresh_note_ = record_.reports.empty() ? QString() : ToQString(record_.reports.front());
    EndCheck(TCheckOutcome::kUnchanged);
    return;
  }
  // A move the record cannot apply is told once when the game is opened;
  // a refresh only notes it quietly.
  TKifRecord& record = refreshed->record;
  refresh_note_ = record.reports.empty() ? QString() : ToQString(record.reports.front());
  bytes_ = std::move(refreshed->bytes);
  const TKifRecord before = std::exchange(record_, std::move(record));
  base_caption_ = ToQString(record_.caption);
  // A game that has ended is checked by the timer no more; a correction
  // that takes the end away has it followed again.
  pace_.SetFinished(ByAddress() && RecordFinished(record_));
  ShowCaption();
  emit RecordRefreshed(before);
  EndCheck(TCheckOutcome::kChanged);
}

void TRecordFollower::WatchFile(const QString& path) {
  const QStringList watched = file_watcher_->files() + file_watcher_->directories();
  if (!watched.isEmpty()) file_watcher_->removePaths(watched);
  watched_path_ = path;
  file_changed_again_ = false;
  file_settle_timer_->stop();
  if (path.isEmpty()) return;
  // The folder too: a writer that replaces the file (writes beside it and
  // renames) ends the watch on the old one.
  file_watcher_->addPath(path);
  file_watcher_->addPath(QFileInfo(path).absolutePath());
}

void TRecordFollower::WatchedFileChanged() {
  if (watched_path_.isEmpty()) return;
  if (!file_watcher_->files().contains(watched_path_) && QFileInfo::exists(watched_path_)) {
    file_watcher_->addPath(watched_path_);
  }
  // A writer often writes in several steps: read once they have settled.
  file_settle_timer_->start();
}

void TRecordFollower::RefreshWatchedFile() {
  if (watched_path_.isEmpty()) return;
  if (Refreshing()) {
    // The read under way may have missed this change: read again after it.
    file_changed_again_ = true;
    return;
  }
  RefreshRecord();
}

}  // namespace zelvaro
