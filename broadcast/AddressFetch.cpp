#include "broadcast/AddressFetch.h"

#include "broadcast/HandOver.h"

namespace zelvaro {

TAddressFetch::TAddressFetch(std::string url, std::shared_ptr<TFollowState> state)
    : url_(std::move(url)), state_(state ? std::move(state) : std::make_shared<TFollowState>()) {
  FollowAddressRedirects(fetcher_.Page().FHttp);
}

std::string TAddressFetch::Fetch() { return FetchFollowedRecord(fetcher_, url_, *state_, result_); }

std::string TAddressFetch::ContentType() const {
  // An unchanged record is the last good reply's; only a reply that said
  // so counts (the client's default is no answer's).
  if (result_.http_status == 304) return state_->ContentType();
  return fetcher_.Page().FHttp.Response.HeaderLines.Value("Content-Type");
}

}  // namespace zelvaro
