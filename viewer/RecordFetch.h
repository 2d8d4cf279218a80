// The step of a refresh that gets the record's new lines: a download from
// the broadcast, or another source of the same record. It runs off the
// window thread; the window reads the lines aside and shows them only once
// they are complete and good.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelvaro {

class TRecordFetch {
 public:
  virtual ~TRecordFetch() = default;
  // On a worker thread: the record's lines (Shift_JIS, without line ends).
  // Throws (any std::exception) when they cannot be had whole.
  virtual std::vector<std::string> Fetch() = 0;
  // From the window thread while Fetch runs: Fetch ends at once, throwing.
  virtual void Abort() {}
  // On the window thread, once Fetch has given the lines and before the
  // window shows them: a download saves the record file here. Throws (an
  // EFileError) when that fails; the refresh then changes nothing.
  virtual void Keep(const std::vector<std::string>& lines) { (void)lines; }
};

// Makes the fetch of one refresh: every refresh has a fetch of its own.
using TRecordDownload = std::function<std::shared_ptr<TRecordFetch>()>;

}  // namespace zelvaro
