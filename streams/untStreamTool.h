// Two small streams the page fetch combines to cut an HTTP body into lines
// while it arrives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "streams/Stream.h"

namespace zelvaro {

// Reads lines byte by byte from a stream it does not own.
class TStreamReader {
 public:
  explicit TStreamReader(TStream* stream) : stream_(stream) {}

  // Reads the next line into `line` (emptied first) and tells whether it was
  // ended by LF. CR bytes are dropped wherever they stand; LF bytes before
  // the first byte of a line are skipped, so blank lines never come back.
  // The line also ends, with false, at a NUL byte or at the end of the data.
  // The stream is left just after the last byte read.
  bool ReadLine(std::string& line);

 private:
  TStream* stream_;
};

// A stream that stores nothing: every block written to it goes to OnWrite
// and counts as fully written. Its size stays 0 and reading gives nothing.
class TMemoryStreamEx : public TMemoryStream {
 public:
  using WriteEvent = std::function<void(const char* bytes, int64_t count)>;

  void SetOnWrite(WriteEvent handler) { on_write_ = std::move(handler); }

  // Calls OnWrite (when set) and returns `count` in every case.
  int64_t Write(const void* buffer, int64_t count) override;
  // Holds no memory of its own, so its size cannot change.
  void SetSize(int64_t) override {}

 private:
  WriteEvent on_write_;
};

}  // namespace zelvaro
