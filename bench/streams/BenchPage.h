// The page the streams and fetch benchmarks work on.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "tests/streams/GzipBuilder.h"

namespace zelvaro::bench {

// The real KIF records repeated to `size` bytes when they are there (they
// compress like the pages the program reads), else generated text.
inline std::string PageText(size_t size) {
  std::string text;
  std::error_code error;
  for (int round = 0; text.size() < size && round < 1000; ++round) {
    for (const auto& entry :
         std::filesystem::directory_iterator(ZELVARO_SOURCE_DIR "/../shared/kif-corpus", error)) {
      std::ifstream in(entry.path(), std::ios::binary);
      text.append(std::istreambuf_iterator<char>(in), {});
    }
    if (text.empty()) break;
  }
  if (text.size() < size) {
    std::mt19937 rng(42);
    text = zelvaro::testing::SjisLikeText(size, rng);
  }
  text.resize(size);
  return text;
}

}  // namespace zelvaro::bench
