// The program's fetcher: every download of the search window goes through
// the page fetch (net/PageFetch.h) with the program's request settings, one
// fetcher per download.
#pragma once

#include <memory>

#include "broadcast/Discovery.h"
#include "net/PageFetch.h"

namespace zelvaro {

// The page fetch as a line fetcher; Page() for its client's settings and
// answers.
class TPageLineFetcher : public ILineFetcher {
 public:
  void FetchLines(std::string_view url) override { fetcher_.FetchLines(url); }
  const std::vector<std::string>& Lines() const override { return fetcher_.Lines(); }
  void Abort() override { fetcher_.Abort(); }
  TFollowAnswer FetchFollowLines(std::string_view url, TFollowState& state) override {
    return fetcher_.FetchFollowLines(url, state);
  }
  TPageFetcher& Page() { return fetcher_; }
  const TPageFetcher& Page() const { return fetcher_; }

 private:
  TPageFetcher fetcher_;
};

std::unique_ptr<ILineFetcher> MakePageFetcher();

}  // namespace zelvaro
