#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "streams/untStreamTool.h"

namespace zelvaro {
namespace {

// A stream that is not a memory stream, so the reader takes it byte by byte.
class ForwardingStream : public TStream {
 public:
  explicit ForwardingStream(TStream& inner) : inner_(inner) {}
  int64_t Read(void* buffer, int64_t count) override { return inner_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return inner_.Write(buffer, count); }
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return inner_.Seek(offset, origin); }

 private:
  TStream& inner_;
};

struct Line {
  std::string text;
  bool complete;
  int64_t position;  // after the call
};

TEST(StreamReader, ReadLineOnByteSequences) {
  const struct {
    std::string data;
    std::vector<Line> calls;
  } cases[] = {
      {"ab\r\ncd\n", {{"ab", true, 4}, {"cd", true, 7}, {"", false, 7}}},
      {"ab\rcd\n", {{"abcd", true, 6}}},
      {"\n\nx\n", {{"x", true, 4}}},
      {"abc", {{"abc", false, 3}, {"", false, 3}}},
      {std::string("a\0b\n", 4), {{"a", false, 2}, {"b", true, 4}}},
      {"\r\n", {{"", true, 2}}},
      {"", {{"", false, 0}}},
      {"x\n\r\n\n", {{"x", true, 2}, {"", true, 5}}},
      {"x\r", {{"x", false, 2}}},
      {std::string("\n\0", 2), {{"", false, 2}}},
      // Shift_JIS two-byte characters pass unchanged.
      {"\x8a\xfb\x95\x88\r\n", {{"\x8a\xfb\x95\x88", true, 6}}},
  };
  for (const auto& c : cases) {
    for (bool in_memory : {true, false}) {
      TStringStream stream(c.data);
      ForwardingStream forwarding(stream);
      TStreamReader reader(in_memory ? static_cast<TStream*>(&stream) : &forwarding);
      for (size_t i = 0; i < c.calls.size(); ++i) {
        SCOPED_TRACE(::testing::PrintToString(c.data) + (in_memory ? " memory" : " forwarding") +
                     " call " + std::to_string(i + 1));
        std::string line = "stale";
        EXPECT_EQ(reader.ReadLine(line), c.calls[i].complete);
        EXPECT_EQ(line, c.calls[i].text);
        EXPECT_EQ(stream.Position(), c.calls[i].position);
      }
    }
  }
}

TEST(StreamReader, MemoryAndByteByByteReadingAgree) {
  std::mt19937 rng(5);
  const char alphabet[] = {'a', 'b', '\r', '\n', '\0'};
  for (int round = 0; round < 2000; ++round) {
    std::string data(rng() % 12, ' ');
    for (char& c : data) c = alphabet[rng() % 5];
    TStringStream memory(data), inner(data);
    ForwardingStream forwarding(inner);
    TStreamReader fast(&memory), slow(&forwarding);
    for (int call = 0; call < 8; ++call) {
      std::string a, b;
      ASSERT_EQ(fast.ReadLine(a), slow.ReadLine(b)) << ::testing::PrintToString(data);
      ASSERT_EQ(a, b) << ::testing::PrintToString(data);
      ASSERT_EQ(memory.Position(), inner.Position()) << ::testing::PrintToString(data);
    }
  }
}

TEST(StreamReader, ReadsFromTheStreamsCurrentPosition) {
  TStringStream stream("skip\nkeep\n");
  stream.Seek(5, SeekOrigin::kBeginning);
  TStreamReader reader(&stream);
  std::string line;
  EXPECT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "keep");
}

TEST(MemoryStreamEx, ForwardsEveryWriteAndStoresNothing) {
  TMemoryStreamEx sink;
  const std::string block(1000, 'z');
  EXPECT_EQ(sink.Write(block.data(), 1000), 1000);  // no handler yet
  std::vector<std::pair<const char*, int64_t>> calls;
  sink.SetOnWrite([&](const char* bytes, int64_t count) { calls.emplace_back(bytes, count); });
  EXPECT_EQ(sink.Write(block.data(), 1000), 1000);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].first, block.data());  // the writer's bytes, not a copy
  EXPECT_EQ(calls[0].second, 1000);
  sink.WriteBuffer(block.data(), 10);
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_EQ(sink.Size(), 0);
  sink.SetSize(50);
  EXPECT_EQ(sink.Size(), 0);
  char byte;
  EXPECT_EQ(sink.Read(&byte, 1), 0);
}

}  // namespace
}  // namespace zelvaro
