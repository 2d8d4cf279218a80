#include "search/ParallelSearch.h"

#include "toolkit/qt/Background.h"

namespace zelvaro {

TParallelSearch::TParallelSearch(TBroadcastHosts hosts, ISearchListener& listener,
                                 TFetcherFactory make_fetcher, int per_host, int total,
                                 QObject* parent)
    : QObject(parent),
      hosts_(std::move(hosts)),
      scheduler_(hosts_, listener, per_host, total),
      make_fetcher_(std::move(make_fetcher)) {}

TParallelSearch::~TParallelSearch() {
  Abandon();
  WaitForEnd(downloads_, kWorkEndWait);
}

void TParallelSearch::Start() {
  if (started_) return;
  started_ = true;
  scheduler_.Start();
  StartDownloads();
}

void TParallelSearch::Abandon() {
  if (abandoned_) return;
  abandoned_ = true;
  scheduler_.Cancel();
  for (auto& [id, flight] : flights_) flight.fetcher->Abort();
}

void TParallelSearch::StartDownloads() {
  for (TSearchFetch& fetch : scheduler_.Next()) {
    const int id = next_id_++;
    std::shared_ptr<ILineFetcher> fetcher = make_fetcher_();
    flights_[id] = {fetch, fetcher};
    downloads_.push_back(RunInBackground(
        this,
        [fetch = std::move(fetch), fetcher, hosts = hosts_] {
          return RunSearchFetch(fetch, *fetcher, hosts);
        },
        [this, id](TSearchFetchResult result) { Arrived(id, std::move(result)); }));
  }
}

void TParallelSearch::Arrived(int id, TSearchFetchResult result) {
  auto flight = flights_.find(id);
  if (flight == flights_.end() || abandoned_ || finished_) return;
  const TSearchFetch fetch = std::move(flight->second.fetch);
  flights_.erase(flight);
  // The listener may wait for the user here (a message box); results that
  // arrive meanwhile come in through this function again.
  scheduler_.Finish(fetch, std::move(result));
  if (abandoned_ || finished_) return;
  StartDownloads();
  if (scheduler_.Done()) {
    finished_ = true;
    for (auto& [other, rest] : flights_) rest.fetcher->Abort();
    emit Finished();
  }
}

}  // namespace zelvaro
