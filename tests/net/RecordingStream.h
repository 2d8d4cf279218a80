// A memory stream that also remembers the size of every write, to check how
// a body was handed over.
#pragma once

#include <vector>

#include "streams/Stream.h"

namespace zelvaro::testing {

class RecordingStream : public TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    writes.push_back(count);
    return TMemoryStream::Write(buffer, count);
  }
  std::vector<int64_t> writes;
};

}  // namespace zelvaro::testing
