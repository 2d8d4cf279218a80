// Damaged, cut, endless and slow replies from a scripted server: each one is
// an error with its message, never a shorter or different page; an
// undamaged reply of the same shape gives exactly its lines.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "net/PageFetch.h"
#include "tests/net/ScriptedServer.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

using namespace std::chrono_literals;
using testing::Gzip;
using testing::HalfClose;
using testing::Pause;
using testing::ReadRequest;
using testing::Script;
using testing::ScriptedServer;
using testing::Send;
using Lines = std::vector<std::string>;

// The lines FetchLines gives for a whole body.
Lines LinesOf(const std::string& text) {
  Lines lines(1);
  for (char c : text) {
    if (c == '\n') {
      if (!lines.back().empty()) lines.emplace_back();
    } else if (c != '\r') {
      lines.back() += c;
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

std::string Numbered(size_t count, const std::string& what) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += std::to_string(i) + " " + what + "\r\n";
  return text;
}

std::string Head(const std::string& fields) { return "HTTP/1.1 200 OK\r\n" + fields + "\r\n"; }
std::string Length(size_t n) { return "Content-Length: " + std::to_string(n) + "\r\n"; }
const std::string kGzip = "Content-Encoding: gzip\r\n";

// One byte of `bytes` every `gap`.
Script Trickle(const std::string& bytes, std::chrono::milliseconds gap) {
  Script script{ReadRequest()};
  for (char c : bytes) {
    script.push_back(Send(std::string(1, c)));
    script.push_back(Pause(gap));
  }
  return script;
}

TEST(FaultInjection, EveryDamagedReplyIsAnErrorAndEveryWholeOneExact) {
  const std::string text = Numbered(2000, "７六歩(77) line of the record");
  const std::string member = Gzip(text);
  testing::GzipOptions stored;
  stored.level = 0;  // a flipped bit changes the text, zlib cannot notice
  std::string flipped = Gzip(text, stored);
  flipped[flipped.size() / 2] ^= 0x08;
  // 40 KB that does not compress, so the second member starts inside the
  // second 32 KB block of the body.
  std::string noise(40000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>('!' + (i * 7919) % 90);
  noise += "\n";
  const std::string joined = Gzip(noise, stored) + member;
  const std::string bomb = Gzip(Numbered(200000, "bomb"), {});
  const std::string no_lf(2 << 20, 'x');

  const struct {
    const char* label;
    Script script;
    const char* error;  // null: the fetch gives `lines`
    Lines lines = {};
    std::function<void(TPageFetcher&)> setup = {};
  } cases[] = {
      {"two members in one block",
       {ReadRequest(), Send(Head(Length(member.size() * 2) + kGzip) + member + member)},
       nullptr,
       [&] {
         Lines twice = LinesOf(text);
         for (const std::string& line : LinesOf(text)) twice.push_back(line);
         return twice;
       }()},
      {"second member inside the last block",
       {ReadRequest(), Send(Head(Length(joined.size()) + kGzip) + joined)},
       nullptr,
       LinesOf(noise + text)},
      {"gzip cut: Content-Length half",
       {ReadRequest(),
        Send(Head(Length(member.size() / 2) + kGzip) + member.substr(0, member.size() / 2))},
       "gzip: the compressed data is incomplete"},
      {"gzip cut: the server closes",
       {ReadRequest(), Send(Head(kGzip) + member.substr(0, member.size() - 3)), HalfClose()},
       "gzip: the compressed data is incomplete"},
      {"gzip cut: chunked, last chunk missing its member end",
       {ReadRequest(), Send(Head("Transfer-Encoding: chunked\r\n" + kGzip) + "10\r\n" +
                            member.substr(0, 16) + "\r\n0\r\n\r\n")},
       "gzip: the compressed data is incomplete"},
      {"one bit flipped",
       {ReadRequest(), Send(Head(Length(flipped.size()) + kGzip) + flipped)},
       "gzip: CRC-32 mismatch"},
      {"garbage after the member",
       {ReadRequest(), Send(Head(Length(member.size() + 4) + kGzip) + member + "junk")},
       "gzip: trailing garbage after the compressed data"},
      {"Content-Length -1",
       {ReadRequest(), Send(Head("Content-Length: -1\r\n") + "body\n")},
       "応答の Content-Length が負です: -1"},
      {"Content-Length -100",
       {ReadRequest(), Send(Head("Content-Length: -100\r\n") + "body\n")},
       "応答の Content-Length が負です: -100"},
      {"Content-Lengths that disagree",
       {ReadRequest(), Send(Head(Length(5) + Length(12)) + "body\nmore lines\n")},
       "応答の Content-Length が食い違っています: 5 と 12"},
      {"the same Content-Length twice",
       {ReadRequest(), Send(Head(Length(5) + "Content-Length: 5, 5\r\n") + "body\n")},
       nullptr,
       {"body"}},
      {"only empty lines",
       {ReadRequest(), Send(std::string(4000, '\n'))},
       "応答に状態行がなく、空行だけです。"},
      {"gzip bomb",
       {ReadRequest(), Send(Head(Length(bomb.size()) + kGzip) + bomb)},
       "the page is larger than 1 MiB",
       {},
       [](TPageFetcher& f) { f.MaxPageSize = 1 << 20; }},
      {"no line feed, until close",
       {ReadRequest(), Send(Head("") + no_lf), HalfClose()},
       "the page is larger than 1 MiB",
       {},
       [](TPageFetcher& f) { f.MaxPageSize = 1 << 20; }},
      {"endless chunks",
       {ReadRequest(), Send(Head("Transfer-Encoding: chunked\r\n") + "200000\r\n" + no_lf)},
       "the page is larger than 1 MiB",
       {},
       [](TPageFetcher& f) { f.MaxPageSize = 1 << 20; }},
      {"too many lines",
       {ReadRequest(), Send(Head(Length(text.size())) + text)},
       "the page has more than 1000 lines",
       {},
       [](TPageFetcher& f) { f.MaxPageLines = 1000; }},
      {"head trickled",
       Trickle(Head(Length(3)) + "ok\n", 40ms),
       "Request timed out.",
       {},
       [](TPageFetcher& f) { f.FHttp.RequestTimeout = 300ms; }},
      {"body trickled",
       [] {
         Script script = Trickle(std::string(100, 'b'), 40ms);
         script.insert(script.begin() + 1, Send(Head(Length(100))));
         return script;
       }(),
       "Request timed out.",
       {},
       [](TPageFetcher& f) { f.FHttp.RequestTimeout = 300ms; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ScriptedServer server({c.script});
    TPageFetcher fetcher;
    fetcher.FHttp.ReadTimeout = 5s;
    if (c.setup) c.setup(fetcher);
    std::string error;
    try {
      fetcher.FetchLines(server.Url());
    } catch (const Exception& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, c.error ? c.error : "");
    if (!c.error) {
      EXPECT_EQ(fetcher.Lines(), c.lines);
    }
    // The connection is closed after any error.
    EXPECT_FALSE(fetcher.FHttp.Connected());
  }
}

TEST(FaultInjection, LinesBeforeACutGzipBodyStay) {
  const std::string text = Numbered(3000, "a line long enough to fill deflate blocks");
  const std::string member = Gzip(text);
  ScriptedServer server(
      {{ReadRequest(), Send(Head(kGzip) + member.substr(0, member.size() / 2)), HalfClose()}});
  TPageFetcher fetcher;
  EXPECT_THROW(fetcher.FetchLines(server.Url()), EDecompressionError);
  const Lines all = LinesOf(text);
  ASSERT_FALSE(fetcher.Lines().empty());
  ASSERT_LT(fetcher.Lines().size(), all.size());
  EXPECT_TRUE(std::equal(fetcher.Lines().begin(), fetcher.Lines().end(), all.begin()));
}

}  // namespace
}  // namespace zelvaro
