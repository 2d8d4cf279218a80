// What following a record by its address keeps between two downloads: the
// validators of the last good download (its ETag and Last-Modified, sent
// back exactly as received) and that download's lines, so that a server's
// "304 Not Modified" and a body equal to the last one both read as
// "unchanged". TPageFetcher::FetchFollowLines uses it.
#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/HttpDate.h"

namespace zelvaro {

// How one follow download ended.
struct TFollowAnswer {
  // The status of the final reply after redirects: 200 (or another 2xx)
  // with a body, 304 without one.
  int http_status = 0;
  // Bytes of the record's body received (as sent, before any gzip
  // decoding); 0 for a 304.
  int64_t body_bytes = 0;
  // The lines differ from the last good download's (true for the first).
  bool changed = true;
  // The request carried validators.
  bool conditional = false;
};

using TRecordLines = std::vector<std::string>;

// One followed address. Thread-safe: downloads of one address on several
// threads may share it.
class TFollowState {
 public:
  // Longer validators are not kept: the address is followed without them.
  static constexpr size_t kMaxValidatorSize = 1024;
  // A record larger than this is not kept (a live record is well under
  // 1 MiB): it is followed without validators, every download "changed".
  static constexpr size_t kMaxKeptBytes = size_t{8} << 20;

  struct TValidators {
    std::string etag;           // for If-None-Match
    std::string last_modified;  // for If-Modified-Since
    bool Any() const { return !etag.empty() || !last_modified.empty(); }
  };

  // What the next request sends: nothing before a good download, after one
  // that gave none, or once the server has refused a conditional request.
  TValidators Next() const;
  // The lines of the last good download (null before one).
  std::shared_ptr<const TRecordLines> Last() const;
  // A good download with its reply's validators: remembered for the next
  // one. Whether its lines differ from the last good download's.
  bool Remember(TRecordLines lines, std::string etag, std::string last_modified,
                std::string content_type = {});
  // The Content-Type of the last good download's reply.
  std::string ContentType() const;
  // The server refused a conditional request (400, 412): no validators are
  // sent to it again.
  void RefuseValidators();
  bool ValidatorsRefused() const;

 private:
  mutable std::mutex mutex_;
  TValidators validators_;
  bool refused_ = false;
  std::shared_ptr<const TRecordLines> last_;
  std::string content_type_;
};

// The states of the addresses a window follows, by address: the most
// recently used kMaxAddresses are kept. Thread-safe.
class TFollowStates {
 public:
  static constexpr size_t kMaxAddresses = 16;
  std::shared_ptr<TFollowState> For(const std::string& url);

 private:
  std::mutex mutex_;
  std::list<std::pair<std::string, std::shared_ptr<TFollowState>>> states_;  // newest first
};

// The wait a Retry-After value asks for: whole seconds, or an HTTP date
// (less `now`; 0 once it has passed); nothing for anything else.
std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value, TDateTime now);

// The wait a failure asks for: a 429 or 503 reply's Retry-After, read at
// the present time; nothing for any other failure.
std::optional<std::chrono::seconds> RetryAfterOf(const std::exception& failure);

}  // namespace zelvaro
