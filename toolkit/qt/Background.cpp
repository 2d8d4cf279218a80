#include "toolkit/qt/Background.h"

#include <QMetaObject>
#include <QPointer>
#include <QRunnable>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace zelvaro {
namespace {

// Built with ThreadSanitizer: Qt is not built with it, and the checker does
// not see the hand-overs below for what they are (Qt's pool hands tasks over
// through futexes of its own; the mailbox's lock, taken from Qt's threads
// and event loop, was not taken for one either). We mark them, and only
// them: what one side did before Published(x) happens before what the other
// does after Received(x).
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
void Published(void* token) { __tsan_release(token); }
void Received(void* token) { __tsan_acquire(token); }
#else
void Published(void*) {}
void Received(void*) {}
#endif

}  // namespace

QThreadPool& DownloadPool() {
  // Never destroyed: the end of the program must not wait on a download.
  // Every owner of work ends it before it goes, so none is left by then.
  static QThreadPool* pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(kDownloadThreads);
    return p;
  }();
  return *pool;
}

struct TBackgroundWork::State {
  mutable std::mutex mutex;
  mutable std::condition_variable ended;
  bool finished = false;
};

TBackgroundWork::TBackgroundWork() : state_(std::make_shared<State>()) {}

bool TBackgroundWork::Finished() const {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->finished;
}

bool TBackgroundWork::Wait(std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->ended.wait_for(lock, limit, [this] { return state_->finished; });
}

void WaitForEnd(const std::vector<TBackgroundWork>& works, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (const TBackgroundWork& work : works) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (!work.Wait(std::max(left, std::chrono::milliseconds(0)))) return;
  }
}

void TBackgroundWork::Finish() const {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  state_->finished = true;
  state_->ended.notify_all();
}

namespace {

// Where workers leave what is to run on the window thread. One queued call
// takes up everything posted until then; a lock guards the queue, so the
// hand-over is one the standard library (and a thread checker) can see.
class TMailbox : public QObject {
  Q_OBJECT
 public:
  // Created on the window thread, by the first work started; never destroyed.
  static TMailbox& Instance() {
    static TMailbox* mailbox = new TMailbox;
    return *mailbox;
  }

  void Post(QPointer<QObject> context, std::function<void()> done) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      Received(&mutex_);
      letters_.push_back({std::move(context), std::move(done)});
      Published(&mutex_);
      if (called_) return;
      called_ = true;
    }
    QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
  }

  // Runs the oldest letter, one per call: a letter that waits for the user
  // (a message box) lets the next ones run from the box's event loop, still
  // in the order posted.
  Q_INVOKABLE void Deliver() {
    Letter letter;
    bool more = false;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      Received(&mutex_);
      letter = std::move(letters_.front());
      letters_.pop_front();
      more = called_ = !letters_.empty();
      Published(&mutex_);
    }
    if (more) QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
    if (letter.context) letter.done();
  }

 private:
  struct Letter {
    QPointer<QObject> context;
    std::function<void()> done;
  };
  std::mutex mutex_;
  std::deque<Letter> letters_;
  bool called_ = false;
};

class TBackgroundTask : public QRunnable {
 public:
  TBackgroundTask(QObject* context, std::function<std::function<void()>()> body,
                  TBackgroundWork work)
      : context_(context), body_(std::move(body)), work_(std::move(work)) {}
  void run() override {
    Received(this);
    TMailbox::Instance().Post(std::move(context_), body_());
    body_ = nullptr;  // what the work holds goes before its owner is told
    work_.Finish();
  }

 private:
  QPointer<QObject> context_;
  std::function<std::function<void()>()> body_;
  TBackgroundWork work_;
};

}  // namespace

TBackgroundWork StartInBackground(QObject* context, std::function<std::function<void()>()> body) {
  TMailbox::Instance();  // on the window thread
  TBackgroundWork work;
  auto* task = new TBackgroundTask(context, std::move(body), work);
  Published(task);
  DownloadPool().start(task);
  return work;
}

TLatestWork::~TLatestWork() {
  Abandon();
  WaitForEnd(started_, kWorkEndWait);
}

void TLatestWork::Abandon() {
  if (abort_) abort_();
  abort_ = nullptr;
  busy_ = false;
}

void TLatestWork::Forget() {
  std::erase_if(started_, [](const TBackgroundWork& work) { return work.Finished(); });
}

}  // namespace zelvaro

#include "Background.moc"
