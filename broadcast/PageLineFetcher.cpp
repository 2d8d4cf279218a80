#include "broadcast/PageLineFetcher.h"

#include "net/PageFetch.h"

namespace zelvaro {
namespace {

class TPageLineFetcher : public ILineFetcher {
 public:
  void FetchLines(std::string_view url) override { fetcher_.FetchLines(url); }
  const std::vector<std::string>& Lines() const override { return fetcher_.Lines(); }
  void Abort() override { fetcher_.Abort(); }
  TFollowAnswer FetchFollowLines(std::string_view url, TFollowState& state) override {
    return fetcher_.FetchFollowLines(url, state);
  }

 private:
  TPageFetcher fetcher_;
};

}  // namespace

std::unique_ptr<ILineFetcher> MakePageFetcher() { return std::make_unique<TPageLineFetcher>(); }

}  // namespace zelvaro
