// The search as the program runs it: the downloads in parallel off the
// calling thread. The scheduler (broadcast/Discovery.h) says what may be
// fetched; each download runs on the download pool with a fetcher of its
// own, and its result comes back to the thread that started the search,
// where the listener hears, in the search's order, what the search one
// download after the other would tell it.
#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "broadcast/Discovery.h"
#include "toolkit/qt/Background.h"

namespace zelvaro {

class TParallelSearch : public QObject {
  Q_OBJECT
 public:
  // At most `per_host` downloads to one host and `total` in all at a time
  // (1 and 1: one download after the other).
  TParallelSearch(TBroadcastHosts hosts, ISearchListener& listener, TFetcherFactory make_fetcher,
                  int per_host = kMaxConnectionsPerHost, int total = 1 << 30,
                  QObject* parent = nullptr);
  // Abandons the search and waits a moment for its downloads, which the
  // abort ends at once (see RunInBackground).
  ~TParallelSearch() override;

  // Starts the downloads; the listener hears of them from the event loop.
  void Start();
  // Ends the search now: every download in flight is aborted (its socket
  // closed), nothing more is started or reported, and Finished never comes.
  void Abandon();
  // Started, and neither finished nor abandoned.
  bool Running() const { return started_ && !finished_ && !abandoned_; }

 signals:
  // Everything has been reported (or the listener cancelled the search).
  void Finished();

 private:
  struct Flight {
    TSearchFetch fetch;
    std::shared_ptr<ILineFetcher> fetcher;
  };

  void StartDownloads();
  void Arrived(int id, TSearchFetchResult result);

  TBroadcastHosts hosts_;
  TSearchScheduler scheduler_;
  TFetcherFactory make_fetcher_;
  std::map<int, Flight> flights_;
  std::vector<TBackgroundWork> downloads_;
  int next_id_ = 0;
  bool started_ = false;
  bool finished_ = false;
  bool abandoned_ = false;
};

}  // namespace zelvaro
