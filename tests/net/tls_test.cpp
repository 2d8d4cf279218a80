// https: the client over TLS to servers the test starts on 127.0.0.1, with a
// certificate authority the test makes (SSL_CERT_FILE names it).
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "net/PageFetch.h"
#include "net/TlsTransport.h"
#include "net/untHttp.h"
#include "tests/common/TlsTestSupport.h"
#include "tests/net/MemoryTlsServer.h"
#include "tests/net/RecordingStream.h"
#include "tests/net/ScriptedServer.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

using namespace std::chrono_literals;
using testing::LocalhostCert;
using testing::Pause;
using testing::ReadRequest;
using testing::ScriptedServer;
using testing::Send;
using testing::TlsFront;
using testing::TrustedTestCa;
using Kind = ETlsError::Kind;

const std::string kRecord =
    "棋戦：テスト\r\n先手：甲\r\n後手：乙\r\n1 ７六歩(77)\r\n2 ３四歩(33)\r\n";
const std::vector<std::string> kLines = {"棋戦：テスト", "先手：甲", "後手：乙", "1 ７六歩(77)",
                                         "2 ３四歩(33)"};

std::string Chunked(const std::string& body) {
  char size[16];
  std::snprintf(size, sizeof size, "%zx", body.size());
  return "Transfer-Encoding: chunked\r\n\r\n" + std::string(size) + "\r\n" + body + "\r\n0\r\n\r\n";
}

TEST(Tls, RecordsArriveAsOverHttp) {
  const std::string gz = testing::Gzip(kRecord);
  const struct {
    const char* label;
    std::string reply;
  } cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kRecord.size()) +
                     "\r\n\r\n" + kRecord},
      {"chunked", "HTTP/1.1 200 OK\r\n" + Chunked(kRecord)},
      {"until close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + kRecord},
      {"gzip", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                   std::to_string(gz.size()) + "\r\n\r\n" + gz},
      {"gzip chunked", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n" + Chunked(gz)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ScriptedServer server({{ReadRequest(), Send(c.reply)}});
    TlsFront front(server.Port(), LocalhostCert());
    TPageFetcher fetcher;
    fetcher.FetchLines(front.Url("/kifu/a.kif"));
    EXPECT_EQ(fetcher.Lines(), kLines);
    ASSERT_TRUE(server.WaitDone());
    // The request is the program's, with the host as the address names it.
    const std::string request = server.Requests().at(0);
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /kifu/a.kif HTTP/1.1");
    EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(front.Port()) + "\r\n"),
              std::string::npos);
  }
}

TEST(Tls, InMemoryServerAsTheFuzzerUsesIt) {
  for (bool chunked : {false, true}) {
    THttpClient client;
    client.Connection().Connector = [&](const std::string&, uint16_t, std::chrono::milliseconds) {
      return std::make_unique<testing::MemoryTlsServer>(std::vector<std::string>{
          "HTTP/1.1 200 OK\r\n", chunked ? Chunked("body") : "Content-Length: 4\r\n\r\nbody"});
    };
    EXPECT_EQ(client.Get("https://fuzz.example/a"), "body");
    EXPECT_THROW(client.Get("https://other.example/a"), ETlsError);
  }
}

TEST(Tls, BigBodiesComeInBlocksAndNamesAreChecked) {
  const std::string body(100000, 'x');
  ScriptedServer server(
      {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body)},
       {ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")}});
  TlsFront front(server.Port(), LocalhostCert());
  THttpClient client;
  testing::RecordingStream stream;
  client.Get(front.Url("/big"), &stream);
  EXPECT_EQ(stream.Size(), 100000);
  for (int64_t w : stream.writes) EXPECT_LE(w, 32768);
  // A host name, sent as the server name and found in the certificate.
  EXPECT_EQ(client.Get(front.Url("/", "localhost")), "ok");
}

TEST(Tls, FailuresNameWhatWentWrongAndGiveNoBody) {
  testing::TestCa stranger("Someone Else");
  const struct {
    const char* label;
    Kind kind;
    const char* words;
    std::function<testing::TestCert()> cert;  // empty: no TLS server at all
    std::vector<testing::Step> script;
    bool tls10 = false;
  } cases[] = {
      {"untrusted",
       Kind::kUntrusted,
       "信頼できません",
       [&] { return stranger.Issue({"localhost"}, {"127.0.0.1"}); },
       {ReadRequest()}},
      {"expired",
       Kind::kExpired,
       "有効期限が切れています",
       [] { return TrustedTestCa().Issue({"localhost"}, {"127.0.0.1"}, -7200, -3600); },
       {ReadRequest()}},
      {"wrong name",
       Kind::kNameMismatch,
       "別の名前",
       [] { return TrustedTestCa().Issue({"other.example"}, {}); },
       {ReadRequest()}},
      {"TLS 1.0 only",
       Kind::kOldProtocol,
       "1.2 より前",
       [] { return LocalhostCert(); },
       {ReadRequest()},
       true},
      {"plain text",
       Kind::kNotTls,
       "TLS (https) で応答しません",
       nullptr,
       {Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n")}},
      {"closed mid-handshake",
       Kind::kBrokenOff,
       "接続手順の途中で接続を閉じました",
       nullptr,
       {Pause(100ms)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ScriptedServer server({c.script});
    std::unique_ptr<TlsFront> front;
    std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
    if (c.cert) {
      front = std::make_unique<TlsFront>(server.Port(), c.cert(), TlsFront::Options{c.tls10});
      url = front->Url();
    }
    THttpClient client;
    client.ConnectTimeout = 5s;
    testing::RecordingStream body;
    try {
      client.Get(url, &body);
      ADD_FAILURE() << "no error";
    } catch (const ETlsError& e) {
      EXPECT_EQ(e.GetKind(), c.kind) << e.Message();
      EXPECT_NE(e.Message().find(c.words), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find("127.0.0.1"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(body.Size(), 0);
    EXPECT_FALSE(client.Connected());
  }
}

// Runs client.Get(url) on a thread of its own; the future gives what it threw.
std::future<std::string> GetAside(THttpClient& client, const std::string& url) {
  return std::async(std::launch::async, [&client, url]() -> std::string {
    try {
      client.Get(url);
    } catch (const Exception& e) {
      return typeid(e).name() + std::string(" ") + e.Message();
    }
    return "no error";
  });
}

TEST(Tls, TimeLimitsAndAbortMidHandshakeAndMidBody) {
  const std::string stalled_body = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789";
  for (bool abort : {false, true}) {
    for (bool handshake : {true, false}) {
      SCOPED_TRACE(std::string(abort ? "abort" : "time limit") +
                   (handshake ? " mid-handshake" : " mid-body"));
      // Mid-handshake: a server that accepts and says nothing.
      ScriptedServer server({handshake
                                 ? testing::Script{Pause(10s)}
                                 : testing::Script{ReadRequest(), Send(stalled_body), Pause(10s)}});
      std::unique_ptr<TlsFront> front;
      std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
      if (!handshake) {
        front = std::make_unique<TlsFront>(server.Port(), LocalhostCert());
        url = front->Url();
      }
      THttpClient client;
      client.ConnectTimeout = abort ? 0ms : 300ms;
      client.ReadTimeout = abort ? 0ms : 300ms;
      const auto start = std::chrono::steady_clock::now();
      auto result = GetAside(client, url);
      if (abort) {
        std::this_thread::sleep_for(300ms);
        client.Abort();
      }
      ASSERT_EQ(result.wait_for(8s), std::future_status::ready);
      const std::string error = result.get();
      const char* expected = abort       ? "Request aborted."
                             : handshake ? "Connect timed out."
                                         : "Read timed out.";
      EXPECT_NE(error.find(expected), std::string::npos) << error;
      EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
    }
  }
}

TEST(Tls, CutBodiesAndCapsAreErrors) {
  const struct {
    const char* label;
    std::string reply;
    const char* message;
  } cases[] = {
      {"cut by length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort",
       "Connection closed by the server."},
      {"cut chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nshort",
       "Connection closed by the server."},
      {"long line", "HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'a') + "\r\n\r\n",
       "Max line length exceeded."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ScriptedServer server({{ReadRequest(), Send(c.reply)}});
    TlsFront front(server.Port(), LocalhostCert());
    THttpClient client;
    testing::RecordingStream body;
    try {
      client.Get(front.Url(), &body);
      ADD_FAILURE() << "no error";
    } catch (const ETcpError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  // A body that lasts until the close is whole only when TLS was ended.
  ScriptedServer server({{ReadRequest(), Send("HTTP/1.1 200 OK\r\n\r\nall of it?")}});
  TlsFront front(server.Port(), LocalhostCert(), {.no_close_notify = true});
  try {
    THttpClient().Get(front.Url());
    ADD_FAILURE() << "no error";
  } catch (const ETlsCut& e) {
    EXPECT_NE(e.Message().find("終えずに閉じました"), std::string::npos) << e.Message();
  }
}

}  // namespace
}  // namespace zelvaro
