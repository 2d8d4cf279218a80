// Work off the window thread: downloads, which block a thread each for as
// long as the network takes. The work runs on a pool of its own (Qt's global
// pool is sized for computing, one thread per core), and its result comes
// back to the window thread by a queued call; only there is it used.
#pragma once

#include <QFuture>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <functional>
#include <type_traits>
#include <utility>

namespace zelvaro {

// Threads of the download pool: more than any set of downloads the program
// runs at once (a search's connections, a hand-over, a refresh, and those
// just abandoned, which end at once).
inline constexpr int kDownloadThreads = 16;

// The pool downloads run on.
QThreadPool& DownloadPool();

// Runs work() on the download pool, then done(result) on the thread of
// `context` by a queued call (never inside the caller), unless `context` is
// destroyed first. `work` must not throw. Whoever destroys `context` while
// work may still run first makes it end (an abort) and waits for the
// returned future: the worker's last step is to post to `context`.
template <typename Work, typename Done>
QFuture<void> RunInBackground(QObject* context, Work work, Done done) {
  return QtConcurrent::run(&DownloadPool(), [context, work = std::move(work),
                                             done = std::move(done)]() mutable {
    auto result = work();
    QMetaObject::invokeMethod(
        context,
        [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); },
        Qt::QueuedConnection);
  });
}

// Background work of which only the latest counts: starting new work
// abandons the work before it (it is aborted, and its result never
// arrives). Lives on the window thread.
class TLatestWork : public QObject {
  Q_OBJECT
 public:
  TLatestWork() = default;
  // Abandons the work under way and waits until every work started has
  // ended, which an abort makes quick.
  ~TLatestWork() override;

  // Starts work() (see RunInBackground), abandoning the work under way.
  // `abort` ends the work early from the window thread. done(result) runs
  // on the window thread unless this work is abandoned first.
  template <typename Work, typename Done>
  void Start(std::function<void()> abort, Work work, Done done) {
    Abandon();
    Forget();
    const unsigned id = ++latest_;
    abort_ = std::move(abort);
    busy_ = true;
    started_.append(RunInBackground(
        this, std::move(work), [this, id, done = std::move(done)](auto result) mutable {
          if (id != latest_ || !busy_) return;
          busy_ = false;
          abort_ = nullptr;
          done(std::move(result));
        }));
  }
  // Aborts the work under way, if any; its result is dropped.
  void Abandon();
  // Work has been started and neither ended nor been abandoned.
  bool Busy() const { return busy_; }

 private:
  // Drops the futures of work that has ended.
  void Forget();

  unsigned latest_ = 0;
  bool busy_ = false;
  std::function<void()> abort_;
  QList<QFuture<void>> started_;
};

}  // namespace zelvaro
