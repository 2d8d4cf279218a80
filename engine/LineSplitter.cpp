#include "engine/LineSplitter.h"

namespace zelvaro {

std::vector<std::string> TLineSplitter::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  for (const char c : bytes) {
    if (c == '\n') {
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      lines.push_back(std::move(partial_));
      partial_.clear();
      dropping_ = false;
    } else if (!dropping_) {
      partial_ += c;
      if (partial_.size() >= kMaxUsiLineLength) dropping_ = true;
    }
  }
  return lines;
}

std::vector<std::string> TLineSplitter::Finish() {
  std::vector<std::string> lines;
  if (!partial_.empty()) lines.push_back(std::move(partial_));
  Reset();
  return lines;
}

}  // namespace zelvaro
