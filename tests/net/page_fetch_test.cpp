#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/PageFetch.h"
#include "tests/net/ScriptedServer.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

using namespace std::chrono_literals;
using testing::HalfClose;
using testing::Pause;
using testing::ReadRequest;
using testing::ScriptedServer;
using testing::Send;
using Lines = std::vector<std::string>;

// 棋戦：名人戦 / 先手：山田 in Shift_JIS.
const std::string kTournament = "\x8a\xfb\x90\xed\x81\x46\x96\xbc\x90\x6c\x90\xed";
const std::string kSente = "\x90\xe6\x8e\xe8\x81\x46\x8e\x52\x93\x63";

std::string Reply(std::string_view body, std::string_view headers) {
  return "HTTP/1.1 200 OK\r\n" + std::string(headers) + "Connection: close\r\n\r\n" +
         std::string(body);
}
std::string WithLength(std::string_view body, std::string_view encoding = "") {
  std::string headers = "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (!encoding.empty()) headers += "Content-Encoding: " + std::string(encoding) + "\r\n";
  return Reply(body, headers);
}

// Feeds `blocks` straight to ReceiveChunk as the body of a response labelled
// `encoding`, on a fresh fetcher, and returns the lines taken.
Lines Receive(const std::vector<std::string>& blocks, const std::string& encoding,
              std::string* text = nullptr) {
  TPageFetcher fetcher;
  fetcher.FHttp.Response.ContentEncoding = encoding;
  for (const std::string& block : blocks)
    fetcher.ReceiveChunk(block.data(), static_cast<int64_t>(block.size()));
  if (text != nullptr) *text = std::string(fetcher.FBuffer.View());
  return fetcher.Lines();
}

std::vector<std::string> SplitAt(const std::string& data, std::vector<size_t> cuts) {
  std::vector<std::string> blocks;
  size_t from = 0;
  for (size_t cut : cuts) {
    blocks.push_back(data.substr(from, cut - from));
    from = cut;
  }
  blocks.push_back(data.substr(from));
  return blocks;
}

TEST(PageFetchLines, BodiesSplitAtEveryPosition) {
  const struct {
    const char* label;
    std::string body;
    Lines lines;  // complete lines only: no fetch end here
  } cases[] = {
      {"CR LF", kTournament + "\r\n" + kSente + "\r\nlast\r\n", {kTournament, kSente, "last"}},
      {"LF", kTournament + "\n" + kSente + "\nlast\n", {kTournament, kSente, "last"}},
      {"blank lines", "\r\n\r\na\r\n\r\n\r\nb\n\n", {"a", "b"}},
      {"unfinished last line", "a\nb\nno end", {"a", "b"}},
      {"CR alone", "a\rb\n", {"ab"}},
      {"NUL bytes", std::string("be\0fore\nafter\0\n\0next\n", 21), {"before", "after", "next"}},
  };
  for (const auto& c : cases) {
    for (size_t cut = 0; cut <= c.body.size(); ++cut) {
      SCOPED_TRACE(std::string(c.label) + ", cut at " + std::to_string(cut));
      EXPECT_EQ(Receive(SplitAt(c.body, {cut}), ""), c.lines);
    }
    std::vector<std::string> bytes;
    for (char b : c.body) bytes.emplace_back(1, b);
    EXPECT_EQ(Receive(bytes, ""), c.lines) << c.label << ", one byte at a time";
  }
}

TEST(PageFetchLines, GzipBodyGivesThePlainLinesAndNoGzipByte) {
  const std::string text = kTournament + "\r\n" + kSente + "\r\n\r\nmove 1\r\nmove 2\n";
  const Lines lines = {kTournament, kSente, "move 1", "move 2"};
  testing::GzipOptions options;
  options.name = "page.html";
  options.header_crc = true;
  const std::string gz = testing::Gzip(text, options);
  // Two blocks split anywhere (header, data, trailer) and three blocks with
  // the trailer split: the text is exactly the decoded text.
  for (size_t cut = 0; cut <= gz.size(); ++cut) {
    std::string decoded;
    ASSERT_EQ(Receive(SplitAt(gz, {cut}), "gzip", &decoded), lines) << "cut " << cut;
    ASSERT_EQ(decoded, text) << "cut " << cut;
  }
  for (size_t cut = gz.size() - 7; cut < gz.size(); ++cut) {
    std::string decoded;
    Receive(SplitAt(gz + testing::Gzip("second member\n"), {cut, gz.size()}), "gzip", &decoded);
    EXPECT_EQ(decoded, text + "second member\n") << "trailer cut at " << cut;
  }
  std::vector<std::string> bytes;
  for (char b : gz) bytes.emplace_back(1, b);
  std::string decoded;
  EXPECT_EQ(Receive(bytes, "gzip", &decoded), lines);
  EXPECT_EQ(decoded, text);
  // Bytes after the gzip data are not text either: they are an error.
  TPageFetcher after;
  after.FHttp.Response.ContentEncoding = "gzip";
  const std::string tail = gz + "\x1F\x8Bjunk\n";
  EXPECT_THROW(after.ReceiveChunk(tail.data(), static_cast<int64_t>(tail.size())),
               EDecompressionError);
  EXPECT_EQ(after.FBuffer.View(), text);
}

TEST(PageFetchLines, OnlyExactlyGzipIsDecoded) {
  const std::string gz = testing::Gzip("hello\nworld\n");
  std::string text;
  Receive({gz}, "GZIP", &text);
  std::string without_nul;
  for (char c : gz)
    if (c != '\0') without_nul.push_back(c);
  EXPECT_EQ(text, without_nul);
  // Labelled gzip, plain text: used as it stands, also when the first
  // block is too short to tell and when it starts like a gzip header.
  EXPECT_EQ(Receive({"<html>\n<a href=\"x.kif\">\n"}, "gzip"),
            (Lines{"<html>", "<a href=\"x.kif\">"}));
  EXPECT_EQ(Receive({"a", "bc\nd", "e\n"}, "gzip"), (Lines{"abc", "de"}));
  EXPECT_EQ(Receive({"\x1F", "\x8B", "xy\n"}, "gzip"), (Lines{"\x1F\x8Bxy"}));
}

class PageFetchTest : public ::testing::Test {
 protected:
  PageFetchTest() { fetcher.FHttp.ReadTimeout = 5s; }
  TPageFetcher fetcher;
};

TEST_F(PageFetchTest, SendsTheProgramsRequestAndNoEncodingOrRange) {
  ScriptedServer server({{ReadRequest(), Send(WithLength("a\nb\n"))}});
  fetcher.FetchLines(server.Url("/kifu/index.html"));
  EXPECT_EQ(fetcher.Lines(), (Lines{"a", "b"}));
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.rfind("GET /kifu/index.html HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1)\r\n"),
            std::string::npos);
  EXPECT_NE(request.find("\r\nAccept-Language: ja,en-us;q=0.5\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nAccept-Charset: Shift_JIS,utf-8\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nConnection: close\r\n"), std::string::npos);
  EXPECT_EQ(request.find("Accept-Encoding"), std::string::npos);
  EXPECT_EQ(request.find("Range"), std::string::npos);
  EXPECT_EQ(fetcher.FHttp.ConnectTimeout, 8000ms);
}

TEST_F(PageFetchTest, LastLineWithoutLfIsTakenOnlyFromACompleteBody) {
  const std::string body = "first\r\nsecond\r\nlast line";
  const std::string gz = testing::Gzip(body);
  const struct {
    const char* label;
    std::string reply;
    Lines lines;
  } cases[] = {
      {"content length", WithLength(body), {"first", "second", "last line"}},
      {"until close", Reply(body, ""), {"first", "second", "last line"}},
      {"chunked",
       Reply("7\r\nfirst\r\n\r\n11\r\nsecond\r\nlast line\r\n0\r\n\r\n",
             "Transfer-Encoding: chunked\r\n"),
       {"first", "second", "last line"}},
      {"gzip", WithLength(gz, "gzip"), {"first", "second", "last line"}},
  };
  for (const auto& c : cases) {
    ScriptedServer server({{ReadRequest(), Send(c.reply), HalfClose()}});
    fetcher.FetchLines(server.Url());
    EXPECT_EQ(fetcher.Lines(), c.lines) << c.label;
  }
}

TEST_F(PageFetchTest, BodyCutBeforeItsLengthFailsWithTheLinesThatArrived) {
  const std::string body = "first\r\nsecond\r\nlast li";
  ScriptedServer server(
      {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + body),
        HalfClose()}});
  EXPECT_THROW(fetcher.FetchLines(server.Url()), EConnClosedGracefully);
  EXPECT_EQ(fetcher.Lines(), (Lines{"first", "second"}));
}

TEST_F(PageFetchTest, LinesSplitAcrossNetworkBlocks) {
  // The body arrives in two writes: what came with the head, then the rest.
  const std::string first = "line one\r\nline tw", second = "o\r\n\r\nline three\r";
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(first.size() + second.size() + 1) +
      "\r\nConnection: close\r\n\r\n";
  ScriptedServer server(
      {{ReadRequest(), Send(head + first), Pause(100ms), Send(second), Pause(100ms), Send("\n")}});
  fetcher.FetchLines(server.Url());
  EXPECT_EQ(fetcher.Lines(), (Lines{"line one", "line two", "line three"}));
}

TEST_F(PageFetchTest, ErrorStatusLeavesNoLines) {
  ScriptedServer server({{ReadRequest(), Send(WithLength("a\nb\n"))},
                         {ReadRequest(), Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n"
                                              "Connection: close\r\n\r\nnot\nfound")}});
  fetcher.FetchLines(server.Url());
  EXPECT_EQ(fetcher.Lines().size(), 2u);
  try {
    fetcher.FetchLines(server.Url("/missing"));
    FAIL() << "no error";
  } catch (const EHttpProtocolError& e) {
    EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
  }
  EXPECT_TRUE(fetcher.Lines().empty());
}

TEST_F(PageFetchTest, EveryResponseStartsANewGzipStream) {
  const std::string good = testing::Gzip("good\nlines\n");
  std::string corrupt = testing::Gzip("x\n");
  corrupt[10] = '\xFF';
  ScriptedServer server(
      {{ReadRequest(), Send(WithLength(corrupt, "gzip"))},
       {ReadRequest(), Send(WithLength(good, "gzip"))},
       {ReadRequest(),
        Send("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + good.substr(0, 12)),
        HalfClose()},
       {ReadRequest(), Send(WithLength(good, "gzip"))}});
  try {
    fetcher.FetchLines(server.Url());
    FAIL() << "no error";
  } catch (const EDecompressionError& e) {
    EXPECT_EQ(e.Message(), "error-3 invalid block type");
  }
  fetcher.FetchLines(server.Url());
  EXPECT_EQ(fetcher.Lines(), (Lines{"good", "lines"}));
  EXPECT_THROW(fetcher.FetchLines(server.Url()), EDecompressionError);  // cut inside the member
  EXPECT_TRUE(fetcher.Lines().empty());
  fetcher.FetchLines(server.Url());
  EXPECT_EQ(fetcher.Lines(), (Lines{"good", "lines"}));
}

}  // namespace
}  // namespace zelvaro
