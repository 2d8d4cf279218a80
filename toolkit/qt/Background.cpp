#include "toolkit/qt/Background.h"

namespace zelvaro {

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

TLatestWork::~TLatestWork() {
  Abandon();
  for (QFuture<void>& future : started_) future.waitForFinished();
}

void TLatestWork::Abandon() {
  if (abort_) abort_();
  abort_ = nullptr;
  busy_ = false;
}

void TLatestWork::Forget() {
  started_.removeIf([](const QFuture<void>& future) { return future.isFinished(); });
}

}  // namespace zelvaro
