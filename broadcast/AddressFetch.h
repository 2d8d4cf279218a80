// The download of a record from its web address (http or https), for the
// viewer's 「URLを開く」, a pasted or dropped address and the command line:
// the page fetch with the program's request settings and proxies, following
// redirects as FollowAddressRedirects says. Nothing is written to disk.
// Every download of an address is one of a follow (the record opened from
// it is followed): it keeps its connection and, with the address's `state`,
// sends the validators the address gave.
#pragma once

#include <memory>
#include <string>

#include "broadcast/PageLineFetcher.h"
#include "broadcast/RecordFetch.h"

namespace zelvaro {

class TAddressFetch : public TRecordFetch {
 public:
  explicit TAddressFetch(std::string url, std::shared_ptr<TFollowState> state = nullptr);
  // The record's lines, each ended by CR LF, as the hand-over keeps a
  // broadcast record. Throws what the page fetch throws.
  std::string Fetch() override;
  void Abort() override { fetcher_.Abort(); }
  std::string ContentType() const override;
  TRecordFetchResult Result() const override { return result_; }

 private:
  const std::string url_;
  const std::shared_ptr<TFollowState> state_;
  TPageLineFetcher fetcher_;
  TRecordFetchResult result_;
};

}  // namespace zelvaro
