// The decoder against zlib's own gunzip on random texts, header options and
// block sizes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "streams/untGZIP.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

size_t PickSize(std::mt19937& rng, size_t max) {
  // Mostly small texts, a few up to the maximum.
  std::uniform_int_distribution<int> kind(0, 9);
  switch (kind(rng)) {
    case 0:
      return 0;
    case 1:
    case 2:
      return std::uniform_int_distribution<size_t>(1, 100)(rng);
    case 3:
      return std::uniform_int_distribution<size_t>(max / 2, max)(rng);
    default:
      return std::uniform_int_distribution<size_t>(100, 300000)(rng);
  }
}

TEST(GzipDifferential, MatchesZlibOnRandomTextsAndBlocks) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> coin(0, 1);
  constexpr size_t kMaxText = 3 << 20;
  size_t total_input = 0;
  for (int round = 0; round < 40; ++round) {
    const size_t size = round == 0 ? kMaxText : PickSize(rng, kMaxText);
    const std::string text = testing::SjisLikeText(size, rng);
    testing::GzipOptions o;
    o.level = std::uniform_int_distribution<int>(1, 9)(rng);
    o.text = coin(rng);
    if (coin(rng)) o.extra = std::string(std::uniform_int_distribution<size_t>(0, 600)(rng), 'x');
    if (coin(rng)) o.name = "page" + std::to_string(round) + ".html";
    if (coin(rng)) o.comment = text.substr(0, std::min<size_t>(text.size(), 50)).c_str();
    o.header_crc = coin(rng);
    o.mtime = static_cast<uint32_t>(rng());
    const std::string gz = testing::Gzip(text, o);
    total_input += gz.size();

    // Block sizes: one range per round, from single bytes to 70,000.
    const size_t ranges[][2] = {{1, 1}, {1, 16}, {1, 1500}, {1000, 33000}, {1, 70000}};
    const auto& range = ranges[round % 5];
    // Single bytes on the larger files would only slow the test down.
    if (range[1] < 1500 && gz.size() > 200000) continue;
    std::uniform_int_distribution<size_t> block(range[0], range[1]);

    SCOPED_TRACE("round " + std::to_string(round) + ", text " + std::to_string(size) +
                 " bytes, blocks " + std::to_string(range[0]) + "-" + std::to_string(range[1]));
    TMemoryStream target;
    TGzipDecompressStream gzip(&target);
    int64_t consumed = 0;
    for (size_t pos = 0; pos < gz.size();) {
      size_t n = std::min(block(rng), gz.size() - pos);
      consumed += gzip.Write(gz.data() + pos, static_cast<int64_t>(n));
      pos += n;
    }
    gzip.Finish();
    ASSERT_EQ(target.View(), testing::ZlibGunzip(gz, text.size() + 1));
    EXPECT_EQ(consumed, static_cast<int64_t>(gz.size()));
    EXPECT_EQ(gzip.GzipState(), 0);
    EXPECT_EQ(gzip.Header().FileName, o.name.value_or(""));
    EXPECT_EQ(gzip.Header().Comment, o.comment.value_or(""));
    EXPECT_EQ(gzip.Header().ExtraField, o.extra.value_or(""));
  }
  EXPECT_GT(total_input, 2u << 20);
}

}  // namespace
}  // namespace zelvaro
