// The step of a refresh that gets the record anew: a download from the
// broadcast, or another source of the same record. It runs off the window
// thread; the window reads the record aside and shows it only once it is
// complete and good.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zelvaro {

// How a fetch of a followed record went.
struct TRecordFetchResult {
  // False when the record is the one the last good download of the same
  // address gave (the server answered "304 Not Modified", or sent the same
  // bytes): nothing new to read or keep.
  bool changed = true;
  // The status of the final HTTP answer (200, 304); 0 without one (a file,
  // a failure before any answer).
  int http_status = 0;
  // Bytes of the record's body received (0 for a 304 or a file).
  int64_t body_bytes = 0;
  // After a failure: how long the server asked us to wait (a 429 or 503
  // with Retry-After), if it did.
  std::optional<std::chrono::seconds> retry_after;
};

class TRecordFetch {
 public:
  virtual ~TRecordFetch() = default;
  // On a worker thread: the record's bytes, as a record file holds them.
  // Throws (any std::exception) when they cannot be had whole.
  virtual std::string Fetch() = 0;
  // From the window thread while Fetch runs: Fetch ends at once, throwing.
  virtual void Abort() {}
  // On the window thread, once Fetch has given the bytes and before the
  // window shows them: a download saves the record file here. Throws (an
  // EFileError) when that fails; the refresh then changes nothing.
  virtual void Keep(const std::string& bytes) { (void)bytes; }
  // After Fetch (returned or thrown): how it went. A fetch that does not
  // follow anything reports every record as changed.
  virtual TRecordFetchResult Result() const { return {}; }
  // After Fetch: the reply's Content-Type ("text/plain; charset=UTF-8"),
  // empty when there is none (a file, say).
  virtual std::string ContentType() const { return {}; }
};

// Makes the fetch of one refresh: every refresh has a fetch of its own.
using TRecordDownload = std::function<std::shared_ptr<TRecordFetch>()>;

// Makes the download of the record at a web address (http or https); every
// download has a fetch of its own.
using TAddressDownload = std::function<std::shared_ptr<TRecordFetch>(const std::string& url)>;

}  // namespace zelvaro
