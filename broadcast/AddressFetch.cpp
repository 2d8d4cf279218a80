#include "broadcast/AddressFetch.h"

#include "broadcast/HandOver.h"

namespace zelvaro {

TAddressFetch::TAddressFetch(std::string url) : url_(std::move(url)) {
  FollowAddressRedirects(fetcher_.FHttp);
}

std::string TAddressFetch::Fetch() {
  fetcher_.FetchLines(url_);
  return RecordFileBytes(fetcher_.Lines());
}

std::string TAddressFetch::ContentType() const {
  // Only a reply that said so; the client's default is no answer's.
  return fetcher_.FHttp.Response.HeaderLines.Value("Content-Type");
}

}  // namespace zelvaro
