#include "streams/untStreamTool.h"

#include <string_view>
#include <typeinfo>

namespace zelvaro {

namespace {

// The same as reading byte by byte, on the memory itself: the page fetch
// reads every body this way.
bool ReadLineFromMemory(TMemoryStream& stream, std::string& line) {
  const std::string_view data = stream.View();
  const int64_t start = stream.Position();
  if (start >= static_cast<int64_t>(data.size())) return false;
  size_t i = static_cast<size_t>(start);
  while (i < data.size()) {
    // The bytes up to the next LF, less CR bytes, up to a NUL if there is one.
    size_t lf = data.find('\n', i);
    const bool has_lf = lf != std::string_view::npos;
    size_t end = has_lf ? lf : data.size();
    const size_t nul = data.substr(0, end).find('\0', i);
    if (nul != std::string_view::npos) end = nul;
    for (size_t from = i; from < end;) {
      size_t cr = data.substr(0, end).find('\r', from);
      if (cr == std::string_view::npos) cr = end;
      line.append(data.data() + from, cr - from);
      from = cr + 1;
    }
    if (nul != std::string_view::npos) {
      stream.Seek(static_cast<int64_t>(nul + 1), SeekOrigin::kBeginning);
      return false;
    }
    if (!has_lf) {
      i = data.size();
      break;
    }
    i = lf + 1;
    // An LF before any byte of the line is skipped; the data may end there.
    if (!line.empty() || i == data.size()) {
      stream.Seek(static_cast<int64_t>(i), SeekOrigin::kBeginning);
      return true;
    }
  }
  stream.Seek(static_cast<int64_t>(i), SeekOrigin::kBeginning);
  return false;
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
