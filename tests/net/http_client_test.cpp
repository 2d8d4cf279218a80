#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/MemoryTransport.h"
#include "net/untHttp.h"
#include "tests/net/RecordingStream.h"
#include "tests/net/ScriptedServer.h"

namespace zelvaro {
namespace {

using namespace std::chrono_literals;
using testing::AwaitClose;
using testing::HalfClose;
using testing::Pause;
using testing::ReadRequest;
using testing::RecordingStream;
using testing::Reset;
using testing::ScriptedServer;
using testing::Send;

std::string Ok(std::string_view body, std::string_view extra = "Connection: close\r\n") {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
         std::string(extra) + "\r\n" + std::string(body);
}

std::string PatternBody(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 131) ^ (i >> 9));
  return body;
}

// Every host name reaches the scripted server; the names and ports asked
// for are kept.
struct Redirector {
  explicit Redirector(uint16_t port) : port(port) {}
  TConnector Connector() {
    return [this](const std::string& host, uint16_t asked, std::chrono::milliseconds limit) {
      asks.push_back(host + ":" + std::to_string(asked));
      return ConnectTcp("127.0.0.1", port, limit);
    };
  }
  uint16_t port;
  std::vector<std::string> asks;
};

class HttpClientTest : public ::testing::Test {
 protected:
  HttpClientTest() { client.ReadTimeout = 5s; }
  THttpClient client;
};

TEST_F(HttpClientTest, ProgramGetSendsTheHeadInOrder) {
  ScriptedServer server({{ReadRequest(), Send(Ok("x"))}, {ReadRequest(), Send(Ok("y"))}});
  Redirector redirect(server.Port());
  ApplyProgramRequestSettings(client);
  client.Connection().Connector = redirect.Connector();
  EXPECT_EQ(client.ConnectTimeout, 8000ms);

  EXPECT_EQ(client.Get("http://live.example.jp/dir/page.html"), "x");
  EXPECT_EQ(client.Get("http://live.example.jp:8080"), "y");
  ASSERT_EQ(server.Requests().size(), 2u);
  const std::string rest =
      "Connection: close\r\n"
      "Cache-control: no-cache\r\n"
      "Host: live.example.jp%s\r\n"
      "Accept: text/html, */*\r\n"
      "Accept-Charset: Shift_JIS,utf-8\r\n"
      "Accept-Language: ja,en-us;q=0.5\r\n"
      "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1)\r\n"
      "\r\n";
  auto expected = [&](std::string_view requestLine, std::string_view port) {
    std::string head = rest;
    head.replace(head.find("%s"), 2, port);
    return std::string(requestLine) + head;
  };
  EXPECT_EQ(server.Requests()[0], expected("GET /dir/page.html HTTP/1.1\r\n", ""));
  EXPECT_EQ(server.Requests()[1], expected("GET / HTTP/1.1\r\n", ":8080"));
  EXPECT_EQ(redirect.asks,
            (std::vector<std::string>{"live.example.jp:80", "live.example.jp:8080"}));
  EXPECT_EQ(server.Accepted(), 2);
}

TEST_F(HttpClientTest, ContentLengthBodyArrivesInBlocks) {
  const std::string body = PatternBody(100000);
  // Head and the first 1000 bytes together, the rest after a pause.
  ScriptedServer real(
      {{ReadRequest(),
        Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body.substr(0, 1000)),
        Pause(100ms), Send(body.substr(1000))}});
  RecordingStream out;
  client.Get(real.Url("/big"), &out);
  EXPECT_EQ(out.View(), body);
  ASSERT_GE(out.writes.size(), 4u);
  EXPECT_EQ(out.writes.front(), 1000);
  for (size_t i = 1; i + 1 < out.writes.size(); ++i) EXPECT_EQ(out.writes[i], 32768);
  EXPECT_LE(out.writes.back(), 32768);
}

TEST_F(HttpClientTest, ChunkedBodies) {
  const std::string big = PatternBody(70000);
  char size[16];
  std::snprintf(size, sizeof size, "%zx", big.size());
  struct Case {
    std::string reply;
    std::string body;
  } cases[] = {
      {"1a\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n", "abcdefghijklmnopqrstuvwxyz"},
      {"1a;name=value\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n", "abcdefghijklmnopqrstuvwxyz"},
      {"3 \r\nabc\r\n2\r\nde\r\n0\r\nX-Trailer: 1\r\n\r\n", "abcde"},
      {std::string(size) + "\r\n" + big + "\r\n0\r\n\r\n", big},
  };
  for (const Case& c : cases) {
    ScriptedServer server(
        {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + c.reply)}});
    RecordingStream out;
    client.Get(server.Url(), &out);
    EXPECT_EQ(out.View(), c.body);
    for (int64_t n : out.writes) EXPECT_LE(n, 32768);
  }
  for (std::string bad :
       {"zz\r\nabc\r\n0\r\n\r\n", "\r\nabc\r\n", "1a\r\nabcdefghijklmnopqrstuvwxyz\r\nxyz\r\n"}) {
    ScriptedServer server(
        {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + bad)}});
    RecordingStream out;
    EXPECT_THROW(client.Get(server.Url(), &out), EHttpMalformedReply) << bad;
  }
  // A chunked body cut short is an error, not a shorter body.
  ScriptedServer cut(
      {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc")}});
  RecordingStream out;
  EXPECT_THROW(client.Get(cut.Url(), &out), EConnClosedGracefully);
}

TEST_F(HttpClientTest, BodyWithoutLengthIsReadUntilClose) {
  const std::string body = PatternBody(50000);
  ScriptedServer server(
      {{ReadRequest(),
        Send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body.substr(0, 10)),
        Pause(50ms), Send(body.substr(10)), HalfClose()}});
  EXPECT_EQ(client.Get(server.Url()), body);
  EXPECT_EQ(client.Response.ContentType, "text/plain");
  EXPECT_FALSE(client.Connected());
}

TEST_F(HttpClientTest, ErrorStatusesRaiseWithTheStatusLine) {
  struct Case {
    std::string reply;
    int code;
    std::string body;
  } cases[] = {
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!", 404, "not here!"},
      {"HTTP/1.1 301 Moved Permanently\r\nLocation: /elsewhere\r\nContent-Length: 5\r\n\r\nmoved",
       301, "moved"},
      {"HTTP/1.1 500 Internal Server Error\r\nTransfer-Encoding: "
       "chunked\r\n\r\n4\r\noops\r\n0\r\n\r\n",
       500, "oops"},
      {"HTTP/1.1 304 Not Modified\r\n\r\n", 304, ""},
      {"garbage\r\n\r\n", -1, ""},
  };
  for (const Case& c : cases) {
    ScriptedServer server({{ReadRequest(), Send(c.reply)}});
    RecordingStream out;
    try {
      client.Get(server.Url("/x"), &out);
      FAIL() << c.reply;
    } catch (const EHttpProtocolError& e) {
      EXPECT_EQ(e.Message(), c.reply.substr(0, c.reply.find("\r\n")));
      EXPECT_EQ(e.ErrorCode, c.code);
      EXPECT_EQ(e.ErrorMessage, c.body);
    }
    EXPECT_TRUE(out.writes.empty()) << c.reply;
  }
}

TEST_F(HttpClientTest, RedirectsAreFollowedOnlyWhenAsked) {
  const std::string moved =
      "HTTP/1.1 302 Found\r\nLocation: /b/target.kif\r\nContent-Length: 3\r\n\r\nold";
  ScriptedServer server({{ReadRequest(), Send(moved), ReadRequest(), Send(Ok("new body", ""))}});
  client.HandleRedirects = true;
  EXPECT_EQ(client.Get(server.Url("/a/start.html")), "new body");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].rfind("GET /b/target.kif HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(client.PassCount(), 0);
  EXPECT_EQ(server.Accepted(), 1) << "keep-alive: the same connection serves both";

  // Endless redirects end with the protocol error of the last one.
  ScriptedServer loop(
      {{ReadRequest(), Send(moved), ReadRequest(), Send(moved), ReadRequest(), Send(moved)}});
  client.Disconnect();
  EXPECT_THROW(client.Get(loop.Url("/a")), EHttpProtocolError);
  EXPECT_EQ(loop.Requests().size(), static_cast<size_t>(THttpClient::kMaxPasses));
}

TEST_F(HttpClientTest, SchemeRelativeRedirectGoesToItsHostWithTheCurrentScheme) {
  ScriptedServer server(
      {{ReadRequest(), Send("HTTP/1.1 301 Moved\r\nLocation: //far.example:" + std::to_string(81) +
                            "/r/x.kif\r\nContent-Length: 0\r\n"
                            "Connection: close\r\n\r\n")},
       {ReadRequest(), Send(Ok("far body"))}});
  Redirector redirect(server.Port());
  client.Connection().Connector = redirect.Connector();
  FollowAddressRedirects(client);
  EXPECT_EQ(client.Get("http://near.example/a.html"), "far body");
  EXPECT_EQ(redirect.asks, (std::vector<std::string>{"near.example:80", "far.example:81"}));
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].rfind("GET /r/x.kif HTTP/1.1\r\nHost: far.example:81", 0), 0u)
      << server.Requests()[1];
  EXPECT_EQ(client.Url().Protocol, "http");
}

TEST_F(HttpClientTest, InterimContinueIsSkipped) {
  ScriptedServer server(
      {{ReadRequest(), Send("HTTP/1.1 100 Continue\r\n\r\n"), Pause(20ms), Send(Ok("done"))}});
  EXPECT_EQ(client.Get(server.Url()), "done");
  EXPECT_EQ(client.Response.StatusCode, 200);
  EXPECT_EQ(client.Response.StatusLine, "HTTP/1.1 200 OK");
}

TEST_F(HttpClientTest, ReplyHeadFields) {
  ScriptedServer server({{ReadRequest(), Send("HTTP/1.0 200 Fine\r\n"
                                              "Content-Length:   3  \r\n"
                                              "Content-Encoding: gzip \r\n"
                                              "X-Folded: first part\r\n"
                                              "  second part\r\n"
                                              "Content-Range: bytes 5-7/100\r\n"
                                              "Expires: 0\r\n"
                                              "Date: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
                                              "\r\nabc")}});
  EXPECT_EQ(client.Get(server.Url()), "abc");
  const THttpResponse& r = client.Response;
  EXPECT_EQ(r.ContentLength, 3);
  EXPECT_TRUE(r.HasContentLength);
  EXPECT_EQ(r.ContentEncoding, "gzip");
  EXPECT_EQ(r.HeaderLines.Value("x-folded"), "first part second part");
  EXPECT_EQ(r.ContentRangeStart, 5);
  EXPECT_EQ(r.ContentRangeEnd, 7);
  EXPECT_FALSE(r.Expires.has_value());
  ASSERT_TRUE(r.Date.has_value());
  EXPECT_EQ(FormatHttpDate(*r.Date), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(r.ResponseVersion, THttpVersion::Http10);
  EXPECT_FALSE(r.KeepAlive) << "an HTTP/1.0 reply without keep-alive ends the connection";

  ScriptedServer bad({{ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n")}});
  EXPECT_THROW(client.Get(bad.Url()), EConvertError);
}

TEST_F(HttpClientTest, ConnectFailures) {
  // A port nobody listens on.
  uint16_t port = 0;
  ::close(testing::ListenLoopback(1, port));
  try {
    client.Get("http://127.0.0.1:" + std::to_string(port) + "/");
    FAIL();
  } catch (const ESocketError& e) {
    EXPECT_EQ(e.ErrorNumber(), ECONNREFUSED);
    EXPECT_EQ(e.Message().rfind("Socket Error # " + std::to_string(ECONNREFUSED) + "\r\n", 0), 0u);
  }

  // A connect that never completes ends at the limit.
  testing::FullBacklogListener stuck;
  client.ConnectTimeout = 300ms;
  auto start = std::chrono::steady_clock::now();
  try {
    client.Get("http://127.0.0.1:" + std::to_string(stuck.Port()) + "/");
    FAIL();
  } catch (const EConnectTimeout& e) {
    EXPECT_EQ(e.Message(), "Connect timed out.");
  }
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 250ms);
  EXPECT_LT(took, 5s);

  EXPECT_THROW(client.Get("http://no-such-host.invalid/"), ESocketError);
  // Nothing answers https on port 443 here.
  EXPECT_THROW(client.Get("https://127.0.0.1/"), ETcpError);
  // Without a port of its own or an earlier one, another protocol is unknown.
  THttpClient fresh;
  EXPECT_THROW(fresh.Get("ftp://127.0.0.1/"), EUnknownProtocol);
  EXPECT_THROW(client.Get("http://127.0.0.1:99999/"), EUriError);
}

TEST_F(HttpClientTest, StalledAndBrokenRepliesFailAndTheClientRecovers) {
  client.ReadTimeout = 200ms;
  {
    ScriptedServer stalled(
        {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"),
          Pause(3s)}});
    RecordingStream out;
    try {
      client.Get(stalled.Url(), &out);
      FAIL();
    } catch (const EReadTimeout& e) {
      EXPECT_EQ(e.Message(), "Read timed out.");
    }
    EXPECT_FALSE(client.Connected());
  }
  {
    ScriptedServer silent({{ReadRequest(), Pause(3s)}});
    EXPECT_THROW(client.Get(silent.Url()), EReadTimeout);
  }
  {
    ScriptedServer closes({{ReadRequest(), Send("HTTP/1.1 20"), HalfClose(), AwaitClose()}});
    try {
      client.Get(closes.Url());
      FAIL();
    } catch (const EConnClosedGracefully& e) {
      EXPECT_EQ(e.Message(), "Connection closed by the server.");
    }
  }
  {
    ScriptedServer resets(
        {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n01234"), Pause(50ms),
          Reset()}});
    EXPECT_THROW(client.Get(resets.Url()), ESocketError);
  }
  {
    // A close before the announced length is an error: the body is cut.
    ScriptedServer shortBody(
        {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n01234"), HalfClose(),
          AwaitClose()}});
    RecordingStream out;
    try {
      client.Get(shortBody.Url(), &out);
      FAIL() << "a cut body was taken as whole";
    } catch (const EConnClosedGracefully& e) {
      EXPECT_EQ(e.Message(), "Connection closed by the server.");
    }
    EXPECT_EQ(out.View(), "01234");  // what arrived was still delivered
  }
  ScriptedServer fine({{ReadRequest(), Send(Ok("after"))}});
  EXPECT_EQ(client.Get(fine.Url()), "after");
}

// Abort from another thread ends a request wherever it waits, at once and
// as an abort: a shut-down socket must not read as a body that ended.
TEST_F(HttpClientTest, AbortFromAnotherThreadEndsTheRequestWhereverItWaits) {
  ScriptedServer silent({{ReadRequest(), Pause(20s)}});
  ScriptedServer midBody(
      {{ReadRequest(), Send("HTTP/1.1 200 OK\r\n\r\npart of a body"), Pause(20s)}});
  testing::FullBacklogListener stuck;
  struct Case {
    const char* name;
    std::string url;
  } cases[] = {
      {"awaiting the reply", silent.Url()},
      {"inside a body read until close", midBody.Url()},
      {"inside a connect", "http://127.0.0.1:" + std::to_string(stuck.Port()) + "/"},
  };
  for (const Case& c : cases) {
    THttpClient aborted;
    aborted.ConnectTimeout = 0ms;  // nothing but the abort ends these waits
    aborted.ReadTimeout = 0ms;
    RecordingStream out;
    std::string error;
    std::thread request([&] {
      try {
        aborted.Get(c.url, &out);
      } catch (const Exception& e) {
        error = e.Message();
      }
    });
    std::this_thread::sleep_for(150ms);
    const auto asked = std::chrono::steady_clock::now();
    aborted.Abort();
    request.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s) << c.name;
    EXPECT_EQ(error, "Request aborted.") << c.name;
    // Later requests end before they connect.
    const int accepted = silent.Accepted();
    EXPECT_THROW(aborted.Get(silent.Url()), EAborted) << c.name;
    EXPECT_EQ(silent.Accepted(), accepted) << c.name;
  }
}

TEST_F(HttpClientTest, ReplyLimits) {
  auto withHeaders = [](size_t lines, size_t lineLength) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (size_t i = 0; i < lines; ++i) {
      std::string line = "X-" + std::to_string(i) + ": ";
      line += std::string(lineLength > line.size() ? lineLength - line.size() : 0, 'v');
      head += line + "\r\n";
    }
    return head + "Content-Length: 2\r\n\r\nok";
  };
  {
    ScriptedServer server({{ReadRequest(), Send(withHeaders(999, 20))}});
    EXPECT_EQ(client.Get(server.Url()), "ok");
  }
  {
    ScriptedServer server({{ReadRequest(), Send(withHeaders(1000, 20))}});
    EXPECT_THROW(client.Get(server.Url()), EHttpMalformedReply);
  }
  {
    ScriptedServer server({{ReadRequest(), Send(withHeaders(1, 16384))}});
    EXPECT_EQ(client.Get(server.Url()), "ok");
  }
  {
    ScriptedServer server({{ReadRequest(), Send(withHeaders(1, 16385))}});
    EXPECT_THROW(client.Get(server.Url()), EMaxLineLengthExceeded);
  }
  {
    ScriptedServer server({{ReadRequest(), Send(std::string(100000, 'H'))}});
    EXPECT_THROW(client.Get(server.Url()), EMaxLineLengthExceeded);
  }
}

TEST_F(HttpClientTest, KeepAliveAgainstClose) {
  {
    ScriptedServer server(
        {{ReadRequest(), Send(Ok("one", "")), ReadRequest(), Send(Ok("two", ""))}});
    EXPECT_EQ(client.Get(server.Url("/1")), "one");
    EXPECT_TRUE(client.Response.KeepAlive);
    EXPECT_EQ(client.Get(server.Url("/2")), "two");
    EXPECT_EQ(server.Accepted(), 1);
  }
  client.Disconnect();
  {
    // The server's "Connection: close" ends each connection.
    ScriptedServer server({{ReadRequest(), Send(Ok("one"))}, {ReadRequest(), Send(Ok("two"))}});
    EXPECT_EQ(client.Get(server.Url("/1")), "one");
    EXPECT_FALSE(client.Response.KeepAlive);
    EXPECT_EQ(client.Get(server.Url("/2")), "two");
    EXPECT_EQ(server.Accepted(), 2);
  }
  {
    // A kept connection the server has since closed is noticed and replaced.
    ScriptedServer server({{ReadRequest(), Send(Ok("one", "")), HalfClose(), AwaitClose()},
                           {ReadRequest(), Send(Ok("two", ""))}});
    EXPECT_EQ(client.Get(server.Url("/1")), "one");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client.Get(server.Url("/2")), "two");
    EXPECT_EQ(server.Accepted(), 2);
  }
}

TEST_F(HttpClientTest, CookiesGoBackOnlyToTheirHost) {
  ScriptedServer server(
      {{ReadRequest(), Send(Ok("", "Set-Cookie: sid=abc; path=/\r\nSet-Cookie: lang=ja\r\n")),
        ReadRequest(), Send(Ok("", "")), AwaitClose()},
       {ReadRequest(), Send(Ok(""))}});
  Redirector redirect(server.Port());
  client.Connection().Connector = redirect.Connector();
  client.Get("http://live.example.jp/kif/index.html");
  client.Get("http://live.example.jp/kif/a.kif");
  client.Get("http://sponsor.example.com/kif/a.kif");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nCookie: sid=abc; lang=ja\r\nHost: live.example.jp\r\n"),
            std::string::npos)
      << requests[1];
  EXPECT_EQ(requests[2].find("Cookie:"), std::string::npos) << requests[2];
}

TEST_F(HttpClientTest, OtherMethodsAndHttp10) {
  ScriptedServer server(
      {{ReadRequest(), Send(Ok("stored", "")), ReadRequest(),
        Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"), ReadRequest(),
        Send("HTTP/1.0 204 No Content\r\nConnection: keep-alive\r\n\r\n"), AwaitClose()}});
  TStringStream source("a=1&b=2");
  TStringStream reply;
  client.Request.ContentType = "application/x-www-form-urlencoded";
  client.Request.CustomHeaders.AddValue("X-Extra", "yes");
  client.Post(server.Url("/form"), &source, &reply);
  EXPECT_EQ(reply.DataString(), "stored");
  // A HEAD reply announces a length but carries no body: no wait for it.
  client.Head(server.Url("/page"));
  EXPECT_EQ(client.Response.ContentLength, 100);
  client.ProtocolVersion = THttpVersion::Http10;
  client.Request.ContentType.clear();
  client.Request.CustomHeaders.Clear();
  client.Request.Username = "user";
  client.Request.Password = "pw";
  client.Request.BasicAuthentication = true;
  client.Get(server.Url("/old"));
  EXPECT_TRUE(client.Response.KeepAlive);

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0],
            "POST /form HTTP/1.1\r\nContent-Type: "
            "application/x-www-form-urlencoded\r\nContent-Length: 7\r\n"
            "X-Extra: yes\r\nHost: 127.0.0.1:" +
                std::to_string(server.Port()) + "\r\nAccept: text/html, */*\r\nUser-Agent: " +
                client.Request.UserAgent + "\r\n\r\na=1&b=2");
  EXPECT_EQ(requests[1].rfind("HEAD /page HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(requests[2].rfind("GET /old HTTP/1.0\r\nConnection: keep-alive\r\n", 0), 0u)
      << requests[2];
  EXPECT_NE(requests[2].find("\r\nAuthorization: Basic dXNlcjpwdw==\r\n"), std::string::npos);

  try {
    client.Options(server.Url("/"), nullptr);
    FAIL();
  } catch (const EHttpError& e) {
    EXPECT_EQ(e.Message(), "This request method is supported in HTTP 1.1");
  }
}

TEST(HttpClientScripted, ResponseReaderOverMemoryTransport) {
  // The same reader without a socket: bytes split at every position.
  const std::string reply =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nX-A: 1\r\n\r\n5\r\nhello\r\n6;x=y\r\n "
      "world\r\n0\r\n\r\n";
  for (size_t cut = 0; cut <= reply.size(); ++cut) {
    THttpClient client;
    client.Connection().Connector = [&](const std::string&, uint16_t, std::chrono::milliseconds) {
      return std::make_unique<TMemoryTransport>(
          std::vector<std::string>{reply.substr(0, cut), reply.substr(cut)});
    };
    EXPECT_EQ(client.Get("http://h/"), "hello world") << cut;
  }
}

}  // namespace
}  // namespace zelvaro

namespace zelvaro {
namespace {

TEST(HttpClientErrors, EveryErrorCarriesAMessage) {
  using End = TMemoryTransport::End;
  const std::string head = "HTTP/1.1 200 OK\r\n";
  std::string many_headers = head;
  for (int i = 0; i < 1001; ++i) many_headers += "X: 1\r\n";
  const struct {
    const char* label;
    std::string reply;
    End end = End::kClose;
  } replies[] = {
      {"nothing", ""},
      {"cut status line", "HTTP/1.1 20"},
      {"blank lines only", std::string(1001, '\n')},
      {"blanks as status line", "   \r\n"},
      {"status line too long", std::string(20000, 'H')},
      {"error status", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"},
      {"garbage status", "garbage\r\n\r\n"},
      {"too many header lines", many_headers + "\r\n"},
      {"Content-Length not a number", head + "Content-Length: x\r\n\r\n"},
      {"Content-Length negative", head + "Content-Length: -5\r\n\r\n"},
      {"Content-Lengths disagree", head + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab"},
      {"body cut", head + "Content-Length: 9\r\n\r\nabc"},
      {"body absent", head + "Content-Length: 9\r\n\r\n"},
      {"chunk size", head + "Transfer-Encoding: chunked\r\n\r\nzz\r\n"},
      {"chunks cut", head + "Transfer-Encoding: chunked\r\n\r\n5\r\nab"},
      {"chunk trailer endless", head + "Transfer-Encoding: chunked\r\n\r\n0\r\n" + many_headers},
      {"reset", head + "Content-Length: 9\r\n\r\nabc", End::kReset},
      {"stall", head + "Content-Length: 9\r\n\r\nabc", End::kStall},
  };
  auto check = [](const char* label, const std::function<void()>& request) {
    try {
      request();
      ADD_FAILURE() << label << ": no error";
    } catch (const Exception& e) {
      EXPECT_FALSE(Trim(e.Message()).empty()) << label;
    }
  };
  for (const auto& r : replies) {
    THttpClient client;
    client.Connection().Connector = [&r](const std::string&, uint16_t, std::chrono::milliseconds) {
      return std::make_unique<TMemoryTransport>(std::vector<std::string>{r.reply}, r.end);
    };
    check(r.label, [&client] { client.Get("http://h/"); });
  }
  // Failures before any reply.
  uint16_t refused = 0;
  ::close(testing::ListenLoopback(1, refused));
  testing::FullBacklogListener stuck;
  THttpClient client;
  client.ConnectTimeout = 100ms;
  check("refused", [&] { client.Get("http://127.0.0.1:" + std::to_string(refused) + "/"); });
  check("connect time-out",
        [&] { client.Get("http://127.0.0.1:" + std::to_string(stuck.Port()) + "/"); });
  client.ConnectTimeout = 0ms;
  client.RequestTimeout = 100ms;
  check("request time-out",
        [&] { client.Get("http://127.0.0.1:" + std::to_string(stuck.Port()) + "/"); });
  check("unknown host", [&] { client.Get("http://no-such-host.invalid/"); });
  check("https refused", [&] { client.Get("https://127.0.0.1/"); });
  check("port", [&] { client.Get("http://127.0.0.1:99999/"); });
  check("protocol", [] { THttpClient().Get("ftp://127.0.0.1/"); });
  check("host", [] { THttpClient().Get("/relative/only"); });
  client.ProtocolVersion = THttpVersion::Http10;
  check("method under 1.0", [&] { client.Options("http://127.0.0.1/", nullptr); });
}

}  // namespace
}  // namespace zelvaro
