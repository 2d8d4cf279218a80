// The download of a record from its web address (http or https), for the
// viewer's 「URLを開く」, a pasted or dropped address and the command line:
// the page fetch with the program's request settings and proxies, following
// redirects as FollowAddressRedirects says. Nothing is written to disk.
#pragma once

#include <string>

#include "broadcast/RecordFetch.h"
#include "net/PageFetch.h"

namespace zelvaro {

class TAddressFetch : public TRecordFetch {
 public:
  explicit TAddressFetch(std::string url);
  // The record's lines, each ended by CR LF, as the hand-over keeps a
  // broadcast record. Throws what the page fetch throws.
  std::string Fetch() override;
  void Abort() override { fetcher_.Abort(); }
  std::string ContentType() const override;

 private:
  const std::string url_;
  TPageFetcher fetcher_;
};

}  // namespace zelvaro
