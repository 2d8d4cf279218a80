// An engine's output as lines: bytes come in pieces of any size; a line
// ends at "\n" (a "\r" before it is dropped); a line longer than
// kMaxUsiLineLength is cut there and the rest of it dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/UsiClient.h"

namespace zelvaro {

class TLineSplitter {
 public:
  // The lines that `bytes` complete, in order.
  std::vector<std::string> Feed(std::string_view bytes);
  // At the end of the output: the unfinished last line, if any.
  std::vector<std::string> Finish();
  void Reset() {
    partial_.clear();
    dropping_ = false;
  }

 private:
  std::string partial_;
  bool dropping_ = false;  // the rest of an overlong line
};

}  // namespace zelvaro
