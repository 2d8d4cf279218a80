// A stream that writes straight through to standard output, for commands
// whose output must not gather in memory.
#pragma once

#include <cstdio>

#include "streams/Stream.h"

namespace zelvaro::cli {

class StdoutStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  // Returns fewer than `count` when standard output fails.
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    size_t written = std::fwrite(buffer, 1, static_cast<size_t>(count), stdout);
    position_ += static_cast<int64_t>(written);
    return static_cast<int64_t>(written);
  }
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    // Only where it already is: writers ask the position and size.
    int64_t target = origin == SeekOrigin::kCurrent ? position_ + offset : offset;
    if (origin == SeekOrigin::kEnd) target = position_ + offset;
    if (target != position_) throw EStreamError("Standard output cannot seek");
    return position_;
  }

 private:
  int64_t position_ = 0;
};

}  // namespace zelvaro::cli
