// Shared by the search tests: the table fetcher of tests/broadcast with its
// hooks run on the window thread, and tests/common's Qt support.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <functional>

#include "broadcast/Discovery.h"
#include "search/ParallelSearch.h"
#include "tests/broadcast/FakeFetcher.h"
#include "tests/common/QtTestSupport.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro::testing {

// The table fetcher whose workers run `on_fetch` queued on the window
// thread, before the download's result can arrive there.
class FakeFetcher : public TableFetcher {
 public:
  FakeFetcher() {
    post = [](std::function<void()> f) {
      QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(f), Qt::QueuedConnection);
    };
  }
};

}  // namespace zelvaro::testing
