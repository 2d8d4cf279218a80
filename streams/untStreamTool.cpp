#include "streams/untStreamTool.h"

namespace zelvaro {

bool TStreamReader::ReadLine(std::string& line) {
  line.clear();
  char byte;
  bool last_was_lf = false;
  while (stream_->Read(&byte, 1) == 1) {
    last_was_lf = byte == '\n';
    if (byte == '\0') return false;
    if (byte == '\r') continue;
    if (byte == '\n') {
      // A line end before any byte of the line ends a blank line or the
      // previous line: skip it.
      if (line.empty()) continue;
      return true;
    }
    line.push_back(byte);
  }
  return last_was_lf;
}

int64_t TMemoryStreamEx::Write(const void* buffer, int64_t count) {
  if (on_write_) on_write_(static_cast<const char*>(buffer), count);
  return count;
}

}  // namespace zelvaro
