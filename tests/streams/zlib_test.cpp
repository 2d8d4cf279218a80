#include <gtest/gtest.h>

#include <random>
#include <string>

#include "streams/untZLIB.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

std::string ReadAll(TDecompressionStream& in, int64_t piece) {
  std::string out;
  std::string buf(static_cast<size_t>(piece), '\0');
  int64_t got;
  while ((got = in.Read(buf.data(), piece)) > 0) out.append(buf.data(), static_cast<size_t>(got));
  return out;
}

TEST(CheckResult, PassesCodesAndFormatsErrors) {
  z_stream z{};
  z.avail_out = 0;
  EXPECT_EQ(CheckResult(Z_BUF_ERROR, z), Z_OK);  // output full: not an error
  EXPECT_EQ(CheckResult(Z_STREAM_END, z), Z_STREAM_END);
  EXPECT_EQ(CheckResult(Z_NEED_DICT, z), Z_NEED_DICT);
  z.avail_out = 10;
  const struct {
    int code;
    const char* msg;
    const char* expected;
  } errors[] = {{Z_BUF_ERROR, nullptr, "error-5 "},
                {Z_DATA_ERROR, "invalid block type", "error-3 invalid block type"},
                {Z_STREAM_ERROR, nullptr, "error-2 "},
                {Z_MEM_ERROR, "out of memory", "error-4 out of memory"}};
  for (const auto& e : errors) {
    z.msg = const_cast<char*>(e.msg);
    try {
      CheckResult(e.code, z);
      ADD_FAILURE() << e.code;
    } catch (const EZlibError& error) {  // EDecompressionError is an EZlibError
      EXPECT_NE(dynamic_cast<const EDecompressionError*>(&error), nullptr);
      EXPECT_EQ(error.Message(), e.expected);
    }
  }
}

TEST(DecompressionStream, InflatesAndLeavesTheSourceAfterTheDeflateData) {
  std::mt19937 rng(7);
  // Large enough to need several refills of the 64 KB input buffer.
  const std::string text = testing::SjisLikeText(400000, rng);
  const std::string deflated = testing::RawDeflate(text, 1);
  ASSERT_GT(deflated.size(), 2u * 65536);
  TStringStream source(deflated + "TRAILER");
  TDecompressionStream in(&source);
  int refills = 0;
  in.OnProgress = [&](TCustomZlibStream& s) {
    EXPECT_EQ(&s, &in);
    ++refills;
  };
  EXPECT_EQ(ReadAll(in, 4096), text);
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(refills, static_cast<int>((deflated.size() + 7 + 65535) / 65536));
  EXPECT_EQ(source.Position(), static_cast<int64_t>(deflated.size()));
  char rest[16];
  EXPECT_EQ(source.Read(rest, 16), 7);
  EXPECT_EQ(std::string(rest, 7), "TRAILER");
}

TEST(DecompressionStream, ResumesWhenTheSourceGrows) {
  const std::string text(100000, 'q');
  const std::string deflated = testing::RawDeflate(text, 9);
  TStringStream source;
  TDecompressionStream in(&source);
  std::string out;
  for (size_t pos = 0; pos < deflated.size(); pos += 3) {
    source.Seek(0, SeekOrigin::kEnd);
    source.WriteString(std::string_view(deflated).substr(pos, 3));
    out += ReadAll(in, 1000);
  }
  EXPECT_EQ(out, text);
  EXPECT_TRUE(in.AtEnd());
}

TEST(DecompressionStream, SeekAndWriteRules) {
  const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz";
  TStringStream source(testing::RawDeflate(text, 6));
  TDecompressionStream in(&source);
  EXPECT_EQ(in.Seek(10, SeekOrigin::kCurrent), 10);
  EXPECT_EQ(in.Seek(15, SeekOrigin::kBeginning), 15);
  EXPECT_EQ(in.Position(), 15);
  char buf[4];
  ASSERT_EQ(in.Read(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "fghi");
  for (auto [offset, origin] :
       {std::pair{5L, SeekOrigin::kBeginning}, std::pair{-1L, SeekOrigin::kCurrent},
        std::pair{0L, SeekOrigin::kEnd}}) {
    try {
      in.Seek(offset, origin);
      ADD_FAILURE() << offset;
    } catch (const EDecompressionError& e) {
      EXPECT_EQ(e.Message(), "Invalid stream operation");
    }
  }
  EXPECT_THROW(in.Write("x", 1), EDecompressionError);
  // Back to the start: inflation begins again.
  EXPECT_EQ(ReadAll(in, 100), "jklmnopqrstuvwxyz");
  EXPECT_EQ(in.Seek(0, SeekOrigin::kBeginning), 0);
  EXPECT_FALSE(in.AtEnd());
  EXPECT_EQ(ReadAll(in, 7), text);
  // Past the end a forward move stops at the end.
  EXPECT_EQ(in.Seek(100, SeekOrigin::kCurrent), static_cast<int64_t>(text.size()));
}

}  // namespace
}  // namespace zelvaro
