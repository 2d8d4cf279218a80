#include "broadcast/AddressFetch.h"

#include "broadcast/HandOver.h"

namespace zelvaro {

namespace {

// The page fetch as the follow of one address sees it.
class TAddressLines : public ILineFetcher {
 public:
  explicit TAddressLines(TPageFetcher& fetcher) : fetcher_(fetcher) {}
  void FetchLines(std::string_view url) override { fetcher_.FetchLines(url); }
  const std::vector<std::string>& Lines() const override { return fetcher_.Lines(); }
  TFollowAnswer FetchFollowLines(std::string_view url, TFollowState& state) override {
    return fetcher_.FetchFollowLines(url, state);
  }

 private:
  TPageFetcher& fetcher_;
};

}  // namespace

TAddressFetch::TAddressFetch(std::string url, std::shared_ptr<TFollowState> state)
    : url_(std::move(url)), state_(state ? std::move(state) : std::make_shared<TFollowState>()) {
  FollowAddressRedirects(fetcher_.FHttp);
}

std::string TAddressFetch::Fetch() {
  TAddressLines lines(fetcher_);
  return FetchFollowedRecord(lines, url_, *state_, result_);
}

std::string TAddressFetch::ContentType() const {
  // An unchanged record is the last good reply's; only a reply that said
  // so counts (the client's default is no answer's).
  if (result_.http_status == 304) return state_->ContentType();
  return fetcher_.FHttp.Response.HeaderLines.Value("Content-Type");
}

}  // namespace zelvaro
