#include <gtest/gtest.h>

#include "net/MemoryTransport.h"
#include "net/NetErrors.h"
#include "net/TcpConnection.h"
#include "tests/net/RecordingStream.h"

namespace zelvaro {
namespace {

using testing::RecordingStream;

std::unique_ptr<TMemoryTransport> Pieces(
    std::vector<std::string> pieces, TMemoryTransport::End end = TMemoryTransport::End::kClose) {
  return std::make_unique<TMemoryTransport>(std::move(pieces), end);
}

// Splits `text` into pieces at `cuts`.
std::vector<std::string> Cut(const std::string& text, std::vector<size_t> cuts) {
  std::vector<std::string> pieces;
  size_t from = 0;
  for (size_t at : cuts) {
    at = std::min(at, text.size());
    pieces.push_back(text.substr(from, at - from));
    from = at;
  }
  pieces.push_back(text.substr(from));
  return pieces;
}

TEST(TcpConnection, ReadsLinesWhereverTheBytesAreSplit) {
  const std::string text = "first\r\nsecond\n\r\nlast\r\n";
  const std::vector<std::string> expected = {"first", "second", "", "last"};
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    for (size_t cut2 = cut; cut2 <= text.size(); cut2 += 3) {
      TTcpConnection c;
      c.Attach(Pieces(Cut(text, {cut, cut2})));
      for (const std::string& line : expected) EXPECT_EQ(c.ReadLine(), line) << cut << "," << cut2;
      EXPECT_THROW(c.ReadLine(), EConnClosedGracefully);
    }
  }
  // One byte at a time, CR at the end of one piece and LF at the start of the next.
  std::vector<std::string> bytes;
  for (char ch : text) bytes.emplace_back(1, ch);
  TTcpConnection c;
  c.Attach(Pieces(bytes));
  for (const std::string& line : expected) EXPECT_EQ(c.ReadLine(), line);
}

TEST(TcpConnection, LineLimitAndClose) {
  const size_t max = 16384;
  {
    TTcpConnection c;
    c.Attach(Pieces({std::string(max, 'a') + "\r\n" + "next\n"}));
    EXPECT_EQ(c.ReadLine().size(), max);
    EXPECT_EQ(c.ReadLine(), "next");
  }
  for (std::string tooLong : {std::string(max + 1, 'a') + "\r\n", std::string(max + 1, 'a') + "\n",
                              std::string(100000, 'a')}) {
    TTcpConnection c;
    c.Attach(Pieces(Cut(tooLong, {5000, 20000})));
    EXPECT_THROW(c.ReadLine(), EMaxLineLengthExceeded);
    EXPECT_FALSE(c.HasTransport()) << "a connection out of step is closed";
  }
  {
    TTcpConnection c;
    c.Attach(Pieces({"partial line without end"}));
    try {
      c.ReadLine();
      FAIL();
    } catch (const EConnClosedGracefully& e) {
      EXPECT_EQ(e.Message(), "Connection closed by the server.");
    }
  }
  TTcpConnection none;
  EXPECT_THROW(none.ReadLine(), ENotConnected);
}

TEST(TcpConnection, ReadStreamHandsOverBufferedBytesThenFullBlocks) {
  std::string body(100000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 256);
  // A line, then the body split unevenly across sends.
  TTcpConnection c;
  c.Attach(Pieces({"head\n" + body.substr(0, 1000), body.substr(1000, 5), body.substr(1005, 40000),
                   body.substr(41005)}));
  EXPECT_EQ(c.ReadLine(), "head");
  RecordingStream out;
  c.ReadStream(&out, static_cast<int64_t>(body.size()));
  EXPECT_EQ(out.writes, (std::vector<int64_t>{1000, 32768, 32768, 32768, 696}));
  EXPECT_EQ(out.View(), body);
}

TEST(TcpConnection, ReadStreamUntilCloseAndShortBodies) {
  const std::string body(70000, 'k');
  {
    TTcpConnection c;
    // Nothing buffered: every block waits until it is full or the server closed.
    c.Attach(Pieces({body.substr(0, 100), body.substr(100)}));
    RecordingStream out;
    c.ReadStream(&out, -1);
    EXPECT_EQ(out.writes, (std::vector<int64_t>{32768, 32768, 4464}));
    EXPECT_EQ(out.View(), body);
    EXPECT_FALSE(c.Connected());
  }
  {
    // A close before the count ends the read quietly with what arrived.
    TTcpConnection c;
    c.Attach(Pieces({"0123456789"}));
    RecordingStream out;
    c.ReadStream(&out, 50);
    EXPECT_EQ(out.View(), "0123456789");
  }
  {
    // Only `count` bytes are taken; the rest stays for the next read.
    TTcpConnection c;
    c.Attach(Pieces({"abcdefXYZ\n"}));
    RecordingStream out;
    c.ReadStream(&out, 6);
    EXPECT_EQ(out.View(), "abcdef");
    EXPECT_EQ(c.ReadLine(), "XYZ");
  }
  {
    // A huge buffered remainder still goes out in writes of at most 32768.
    TTcpConnection c;
    c.Attach(Pieces({std::string(16000, 'x') + "\n" + std::string(40000, 'y')}));
    // Reading the line pulls more than one receive block into the buffer.
    c.ReadLine();
    RecordingStream out;
    c.ReadStream(&out, -1);
    for (int64_t n : out.writes) EXPECT_LE(n, 32768);
    EXPECT_EQ(out.Size(), 40000);
  }
}

TEST(TcpConnection, FailuresCloseTheConnection) {
  {
    TTcpConnection c;
    c.Attach(Pieces({"abc"}, TMemoryTransport::End::kStall));
    RecordingStream out;
    try {
      c.ReadStream(&out, 10);
      FAIL();
    } catch (const EReadTimeout& e) {
      EXPECT_EQ(e.Message(), "Read timed out.");
    }
    EXPECT_FALSE(c.HasTransport());
  }
  {
    TTcpConnection c;
    c.Attach(Pieces({"abc"}, TMemoryTransport::End::kReset));
    EXPECT_THROW(c.ReadLine(), ESocketError);
    EXPECT_FALSE(c.HasTransport());
  }
  TTcpConnection c;
  c.Attach(Pieces({}));
  EXPECT_THROW(c.Attach(Pieces({})), EAlreadyConnected);
}

TEST(TcpConnection, WriteBufferSendsOnce) {
  auto transport = Pieces({});
  TMemoryTransport* raw = transport.get();
  TTcpConnection c;
  c.Attach(std::move(transport));
  c.OpenWriteBuffer();
  c.Write("GET / HTTP/1.1\r\n");
  c.Write("\r\n");
  EXPECT_EQ(raw->Sent(), "");
  c.FlushWriteBuffer();
  EXPECT_EQ(raw->Sent(), "GET / HTTP/1.1\r\n\r\n");
}

}  // namespace
}  // namespace zelvaro
