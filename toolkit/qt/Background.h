// Work off the window thread: downloads, which block a thread each for as
// long as the network takes. The work runs on a QThreadPool of its own (Qt's
// global pool is sized for computing, one thread per core), and its result
// comes back to the window thread by a queued call; only there is it used.
#pragma once

#include <QObject>
#include <QThreadPool>
#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace zelvaro {

// Threads of the download pool: more than any set of downloads the program
// runs at once (a search's connections, a hand-over, a refresh, and those
// just abandoned, which end at once).
inline constexpr int kDownloadThreads = 16;

// The pool downloads run on.
QThreadPool& DownloadPool();

// How long an owner that goes waits for its aborted work to end.
inline constexpr std::chrono::milliseconds kWorkEndWait{1000};

// The end of one piece of background work, which its owner may wait for.
class TBackgroundWork {
 public:
  TBackgroundWork();
  bool Finished() const;
  // Returns once the work has ended, or after `limit`; whether it ended.
  bool Wait(std::chrono::milliseconds limit) const;
  // The worker's last step.
  void Finish() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Waits until every one of `works` has ended, for at most `limit` in all.
void WaitForEnd(const std::vector<TBackgroundWork>& works, std::chrono::milliseconds limit);

// Runs body() on the download pool; the function it returns then runs on
// the window thread (posted under a lock and taken up by one queued call,
// in the order posted), unless `context` is destroyed first. Called on the
// window thread; `body` must not throw.
TBackgroundWork StartInBackground(QObject* context, std::function<std::function<void()>()> body);

// Runs work() on the download pool, then done(result) on the window thread
// (never inside the caller), unless `context` is destroyed first. `work`
// must not throw, and holds its own copies of what it uses (values, shared
// pointers), never its owner's members: an owner that goes aborts its work
// and waits for it a moment (kWorkEndWait), but work that cannot be cut
// short (a name lookup) is left to end on its own.
template <typename Work, typename Done>
TBackgroundWork RunInBackground(QObject* context, Work work, Done done) {
  return StartInBackground(context, [work = std::move(work), done = std::move(done)]() mutable {
    using Result = decltype(work());
    auto result = std::make_shared<Result>(work());
    return std::function<void()>([done, result]() mutable { done(std::move(*result)); });
  });
}

// Background work of which only the latest counts: starting new work
// abandons the work before it (it is aborted, and its result never
// arrives). Lives on the window thread.
class TLatestWork : public QObject {
  Q_OBJECT
 public:
  TLatestWork() = default;
  // Abandons the work under way and waits a moment (kWorkEndWait) for the
  // work started to end, which an abort makes quick.
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
    started_.push_back(RunInBackground(this, std::move(work),
                                       [this, id, done = std::move(done)](auto result) mutable {
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
  // Drops the work that has ended.
  void Forget();

  unsigned latest_ = 0;
  bool busy_ = false;
  std::function<void()> abort_;
  std::vector<TBackgroundWork> started_;
};

}  // namespace zelvaro
