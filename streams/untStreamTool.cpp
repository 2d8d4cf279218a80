#include "streams/untStreamTool.h"

#include <string_view>
#include <typeinfo>

namespace zelvaro {

namespace {

bool IsLineByte(char c) { return c != '\0' && c != '\r' && c != '\n'; }

// The same as reading byte by byte, on the memory itself: the page fetch
// reads every body this way.
bool ReadLineFromMemory(TMemoryStream& stream, std::string& line) {
  const std::string_view data = stream.View();
  const int64_t start = stream.Position();
  if (start >= static_cast<int64_t>(data.size())) return false;
  size_t i = static_cast<size_t>(start);
  bool last_was_lf = false;
  while (i < data.size()) {
    const char byte = data[i++];
    last_was_lf = byte == '\n';
    if (byte == '\0') break;
    if (byte == '\r') continue;
    if (byte == '\n') {
      if (line.empty()) continue;
      stream.Seek(static_cast<int64_t>(i), SeekOrigin::kBeginning);
      return true;
    }
    size_t run = i;
    while (run < data.size() && IsLineByte(data[run])) ++run;
    line.append(data.data() + i - 1, run - i + 1);
    i = run;
  }
  stream.Seek(static_cast<int64_t>(i), SeekOrigin::kBeginning);
  return last_was_lf;
}

}  // namespace

bool TStreamReader::ReadLine(std::string& line) {
  line.clear();
  // Only the plain memory streams: a derived stream may read differently.
  if (typeid(*stream_) == typeid(TMemoryStream) || typeid(*stream_) == typeid(TStringStream)) {
    return ReadLineFromMemory(static_cast<TMemoryStream&>(*stream_), line);
  }
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
