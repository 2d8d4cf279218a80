// Feeds fuzzed bytes in fuzzed blocks to the gzip decoder. The first byte
// picks how the rest is used:
//   bit 0 clear: the rest is fed as it is (any bytes, gzip or not);
//   bit 0 set:   the rest is compressed into a valid gzip file first (one
//                member, or two joined, perhaps with zero padding after),
//                then, when the second byte's bit 0 is set, a few of its
//                bytes are changed where the second byte says, so that the
//                fuzzer reaches deep into headers and deflate data.
// Bits 1-3 choose the largest block size; the second byte seeds the sizes.
// A file the decoder accepts, damaged or not, must decode to exactly the
// text it was made from (or, when its magic was damaged, be left alone as
// not gzip); an undamaged one must be accepted. One exception no reader can
// avoid: when the header lengths of the first of two joined members are
// damaged so that it swallows itself up to the second member's data, and no
// header CRC guards it, the second member alone is a valid file; its text
// alone is then accepted too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "streams/untGZIP.h"
#include "tests/streams/GzipBuilder.h"

namespace {

struct BlockSizes {
  uint32_t state;
  size_t max;
  size_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return 1 + state % max;
  }
};

// Returns the decoder's output, or nothing when it raised. `gzip_seen`
// tells whether a member header was found.
bool Decode(const std::string& data, BlockSizes sizes, std::string& output, bool& gzip_seen) {
  zelvaro::TMemoryStream target;
  zelvaro::TGzipDecompressStream gzip(&target);
  try {
    int64_t consumed = 0;
    for (size_t pos = 0; pos < data.size();) {
      size_t n = std::min(sizes.Next(), data.size() - pos);
      int64_t used = gzip.Write(data.data() + pos, static_cast<int64_t>(n));
      if (used < 0) __builtin_trap();
      consumed += used;
      pos += n;
    }
    if (consumed != gzip.Consumed() || gzip.GzipState() > 7) __builtin_trap();
    gzip.Finish();
    gzip_seen = gzip.Header().HeaderSeen;
    gzip.Reset();
    if (gzip.GzipState() != 0 || !gzip.Pending().empty()) __builtin_trap();
  } catch (const zelvaro::EDecompressionError&) {
    return false;
  }
  output = std::string(target.View());
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const size_t kMaxBlock[] = {1, 2, 7, 64, 1460, 4096, 32768, 70000};
  const uint8_t mode = data[0];
  BlockSizes sizes{0x9E3779B9u ^ (data[1] * 0x01010101u), kMaxBlock[(mode >> 1) & 7]};
  std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::string output;
  bool gzip_seen = false;
  if ((mode & 1) == 0) {
    Decode(input, sizes, output, gzip_seen);
    return 0;
  }
  zelvaro::testing::GzipOptions options;
  options.level = 1 + (mode >> 4) % 9;
  if (mode & 0x10) options.name = input.substr(0, 5);
  if (mode & 0x20) options.extra = input.substr(0, 3);
  if (mode & 0x40) options.comment = "c";
  options.header_crc = (mode & 0x80) != 0;
  // Strings with a NUL would end the name early; keep them out of the
  // undamaged comparison by taking the part before it.
  if (options.name) options.name = options.name->c_str();
  std::string gz;
  const bool joined = data[1] & 2;
  const size_t half = input.size() / 2;
  if (joined) {
    gz = zelvaro::testing::Gzip(input.substr(0, half), options) +
         zelvaro::testing::Gzip(input.substr(half), options);
  } else {
    gz = zelvaro::testing::Gzip(input, options);
  }
  if (data[1] & 4) gz.append(data[1] >> 3, '\0');
  const bool damage = data[1] & 1;
  if (damage) {
    for (int i = 0; i < 3; ++i)
      gz[sizes.Next() * 7919 % gz.size()] ^= static_cast<char>(sizes.Next());
  }
  const bool ok = Decode(gz, sizes, output, gzip_seen);
  if (!damage && !ok) __builtin_trap();
  const bool swallowed = joined && damage && !options.header_crc && output == input.substr(half);
  if (ok && gzip_seen && output != input && !swallowed) __builtin_trap();
  if (ok && !gzip_seen && !output.empty()) __builtin_trap();
  return 0;
}
