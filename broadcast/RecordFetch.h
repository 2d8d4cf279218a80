// The step of a refresh that gets the record anew: a download from the
// broadcast, or another source of the same record. It runs off the window
// thread; the window reads the record aside and shows it only once it is
// complete and good.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace zelvaro {

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
