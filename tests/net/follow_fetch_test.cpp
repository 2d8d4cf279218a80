// Follow downloads against scripted servers: validators sent back and 304
// taken as unchanged, a 400 to a conditional request, a body equal to the
// last, one connection over many follows and a new one when the server
// closed the kept one, Retry-After read in both forms.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/PageFetch.h"
#include "tests/net/ScriptedServer.h"

namespace zelvaro {
namespace {

using namespace std::chrono_literals;
using testing::HalfClose;
using testing::Pause;
using testing::ReadRequest;
using testing::Reset;
using testing::ScriptedServer;
using testing::Send;
using Lines = std::vector<std::string>;

const std::string kBody = "a\r\nb\r\n";

std::string Ok(std::string_view headers, std::string_view body = kBody) {
  return "HTTP/1.1 200 OK\r\n" + std::string(headers) +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}
const std::string kNotModified = "HTTP/1.1 304 Not Modified\r\n\r\n";

// The program's request head for `target`, as a follow sends it: no
// "Connection: close", the validators in their place.
std::string FollowHead(const ScriptedServer& server, std::string_view target,
                       std::string_view validators = "") {
  return "GET " + std::string(target) + " HTTP/1.1\r\nCache-control: no-cache\r\nHost: 127.0.0.1:" +
         std::to_string(server.Port()) +
         "\r\nAccept: text/html, */*\r\nAccept-Charset: Shift_JIS,utf-8\r\n"
         "Accept-Language: ja,en-us;q=0.5\r\n"
         "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1)\r\n" +
         std::string(validators) + "\r\n";
}

class FollowFetchTest : public ::testing::Test {
 protected:
  TConnectionPool pool;  // outlives the fetcher
  TPageFetcher fetcher;
  TFollowState state;
  TFollowAnswer Follow(const ScriptedServer& server) {
    return fetcher.FetchFollowLines(server.Url("/r.kif"), state, pool);
  }
};

TEST_F(FollowFetchTest, ValidatorsGoBackExactlyAndA304IsUnchanged) {
  const std::string date = "Sat, 21 Nov 2026 10:00:00 GMT";
  struct Case {
    const char* name;
    std::string headers;     // of the first reply
    std::string validators;  // the second request's lines
  } cases[] = {
      {"etag", "ETag: \"v1\"\r\n", "If-None-Match: \"v1\"\r\n"},
      {"weak etag", "ETag: W/\"a b\"\r\n", "If-None-Match: W/\"a b\"\r\n"},
      {"last-modified", "Last-Modified: " + date + "\r\n", "If-Modified-Since: " + date + "\r\n"},
      // The date as the server wrote it, not as we would.
      {"odd date", "Last-Modified: Saturday, 21-Nov-26 10:00:00 GMT\r\n",
       "If-Modified-Since: Saturday, 21-Nov-26 10:00:00 GMT\r\n"},
      {"both", "Last-Modified: " + date + "\r\nETag: \"v1\"\r\n",
       "If-Modified-Since: " + date + "\r\nIf-None-Match: \"v1\"\r\n"},
  };
  for (const Case& c : cases) {
    TConnectionPool own_pool;
    TPageFetcher own;
    TFollowState own_state;
    ScriptedServer server({{ReadRequest(), Send(Ok(c.headers)), ReadRequest(), Send(kNotModified),
                            ReadRequest(), Send(kNotModified)}});
    TFollowAnswer first = own.FetchFollowLines(server.Url("/r.kif"), own_state, own_pool);
    EXPECT_EQ(first.http_status, 200) << c.name;
    EXPECT_EQ(first.body_bytes, static_cast<int64_t>(kBody.size())) << c.name;
    EXPECT_TRUE(first.changed) << c.name;
    EXPECT_FALSE(first.conditional) << c.name;
    for (int i = 0; i < 2; ++i) {
      TFollowAnswer again = own.FetchFollowLines(server.Url("/r.kif"), own_state, own_pool);
      EXPECT_EQ(again.http_status, 304) << c.name;
      EXPECT_EQ(again.body_bytes, 0) << c.name;
      EXPECT_FALSE(again.changed) << c.name;
      EXPECT_EQ(own.Lines(), (Lines{"a", "b"})) << c.name;
    }
    ASSERT_EQ(server.Requests().size(), 3u) << c.name;
    EXPECT_EQ(server.Requests()[0], FollowHead(server, "/r.kif")) << c.name;
    EXPECT_EQ(server.Requests()[1], FollowHead(server, "/r.kif", c.validators)) << c.name;
    EXPECT_EQ(server.Requests()[2], server.Requests()[1]) << c.name;
    EXPECT_EQ(server.Accepted(), 1) << c.name;
  }
}

TEST_F(FollowFetchTest, WhatIsStoredAndWhatIsNot) {
  // No validators, or one over 1 KiB: followed as today, with the body
  // compared; an equal body is unchanged.
  const std::string long_tag = "ETag: \"" + std::string(1100, 'x') + "\"\r\n";
  ScriptedServer server({{ReadRequest(), Send(Ok(long_tag)), ReadRequest(), Send(Ok("")),
                          ReadRequest(), Send(Ok("", "a\r\nb\r\nc\r\n"))}});
  EXPECT_TRUE(Follow(server).changed);
  TFollowAnswer same = Follow(server);
  EXPECT_EQ(same.http_status, 200);
  EXPECT_FALSE(same.changed);
  EXPECT_EQ(same.body_bytes, static_cast<int64_t>(kBody.size()));
  TFollowAnswer grown = Follow(server);
  EXPECT_TRUE(grown.changed);
  EXPECT_EQ(fetcher.Lines(), (Lines{"a", "b", "c"}));
  ASSERT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Requests()[1], FollowHead(server, "/r.kif"));
  EXPECT_EQ(server.Accepted(), 1);
}

TEST(FollowState, WhatIsKept) {
  const Lines small = {"a"};
  const Lines huge(9, std::string(1 << 20, 'k'));
  struct Case {
    const char* name;
    Lines lines;
    std::string etag;
    bool kept_tag;
    bool kept_lines;
  } cases[] = {
      {"1 KiB tag", small, std::string(1024, 't'), true, true},
      {"longer tag", small, std::string(1025, 't'), false, true},
      {"record over the cap", huge, "\"1\"", false, false},
  };
  for (const Case& c : cases) {
    TFollowState state;
    EXPECT_TRUE(state.Remember(c.lines, c.etag, "")) << c.name;
    EXPECT_EQ(state.Next().etag, c.kept_tag ? c.etag : "") << c.name;
    EXPECT_EQ(state.Last() != nullptr, c.kept_lines) << c.name;
    EXPECT_EQ(state.Remember(c.lines, c.etag, ""), !c.kept_lines) << c.name;
    state.RefuseValidators();
    EXPECT_FALSE(state.Next().Any()) << c.name;
  }
}

TEST_F(FollowFetchTest, RefusedValidatorsAreAskedAgainWithoutAndNeverSentAgain) {
  for (const char* status : {"400 Bad Request", "412 Precondition Failed"}) {
    TFollowState own;
    const std::string refusal =
        std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 3\r\n\r\nno\n";
    ScriptedServer server(
        {{ReadRequest(), Send(Ok("ETag: \"1\"\r\n")), ReadRequest(), Send(refusal), ReadRequest(),
          Send(Ok("ETag: \"2\"\r\n")), ReadRequest(), Send(Ok("ETag: \"3\"\r\n"))}});
    fetcher.FetchFollowLines(server.Url("/r.kif"), own, pool);
    TFollowAnswer retried = fetcher.FetchFollowLines(server.Url("/r.kif"), own, pool);
    EXPECT_EQ(retried.http_status, 200) << status;
    EXPECT_FALSE(retried.changed) << status;
    fetcher.FetchFollowLines(server.Url("/r.kif"), own, pool);
    EXPECT_TRUE(own.ValidatorsRefused());
    ASSERT_EQ(server.Requests().size(), 4u) << status;
    EXPECT_EQ(server.Requests()[1], FollowHead(server, "/r.kif", "If-None-Match: \"1\"\r\n"));
    EXPECT_EQ(server.Requests()[2], FollowHead(server, "/r.kif")) << status;
    EXPECT_EQ(server.Requests()[3], FollowHead(server, "/r.kif")) << status;
    pool.Clear();
  }
}

TEST_F(FollowFetchTest, A304ToAPlainRequestIsAnErrorNotAnEmptyRecord) {
  ScriptedServer server({{ReadRequest(), Send(kNotModified)}});
  try {
    Follow(server);
    FAIL() << "a 304 without validators was taken";
  } catch (const EHttpError& e) {
    EXPECT_NE(e.Message().find("変更なし"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("304"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(state.Last(), nullptr);
}

TEST_F(FollowFetchTest, OtherRequestsOfTheFetcherStayAsTheyWere) {
  ScriptedServer server(
      {{ReadRequest(), Send(Ok("ETag: \"1\"\r\n")), ReadRequest(), Send(kNotModified)},
       {ReadRequest(), Send(Ok(""))}});
  Follow(server);
  Follow(server);
  fetcher.FetchLines(server.Url("/index.html"));
  ASSERT_EQ(server.Requests().size(), 3u);
  const std::string plain = server.Requests()[2];
  EXPECT_EQ(plain.rfind("GET /index.html HTTP/1.1\r\nConnection: close\r\nCache-control", 0), 0u)
      << plain;
  EXPECT_EQ(plain.find("If-"), std::string::npos) << plain;
  EXPECT_EQ(server.Accepted(), 2) << "a plain request never takes a follow's connection";
}

TEST_F(FollowFetchTest, OneConnectionForManyFollowsAndANewOneWhenTheServerClosed) {
  struct Case {
    const char* name;
    std::vector<testing::Script> scripts;
    int follows, connections;
  };
  const std::string tagged = Ok("ETag: \"1\"\r\n");
  const std::string chunked =
      "HTTP/1.1 200 OK\r\nETag: \"1\"\r\nTransfer-Encoding: "
      "chunked\r\n\r\n6\r\na\r\nb\r\n\r\n0\r\n\r\n";
  const std::string closing = Ok("Connection: close\r\n");
  testing::Script many = {ReadRequest(), Send(tagged)};
  for (int i = 0; i < 9; ++i) many.insert(many.end(), {ReadRequest(), Send(kNotModified)});
  Case cases[] = {
      {"keep-alive", {many}, 10, 1},
      {"chunked body read exactly",
       {{ReadRequest(), Send(chunked), ReadRequest(), Send(kNotModified)}},
       2,
       1},
      {"server closes after each answer",
       {{ReadRequest(), Send(closing)},
        {ReadRequest(), Send(closing)},
        {ReadRequest(), Send(closing)}},
       3,
       3},
      {"idle close noticed before asking",
       {{ReadRequest(), Send(tagged), HalfClose(), Pause(300ms)},
        {ReadRequest(), Send(kNotModified)}},
       2,
       2},
      {"reset before any byte of the answer",
       {{ReadRequest(), Send(tagged), ReadRequest(), Reset()}, {ReadRequest(), Send(kNotModified)}},
       2,
       2},
  };
  for (const Case& c : cases) {
    TConnectionPool own_pool;
    TPageFetcher own;
    TFollowState own_state;
    ScriptedServer server(c.scripts);
    for (int i = 0; i < c.follows; ++i) {
      if (i > 0 && std::string(c.name).find("idle") != std::string::npos) {
        std::this_thread::sleep_for(100ms);  // the close has arrived
      }
      EXPECT_NO_THROW(own.FetchFollowLines(server.Url("/r.kif"), own_state, own_pool))
          << c.name << " follow " << i;
      EXPECT_EQ(own.Lines(), (Lines{"a", "b"})) << c.name;
    }
    EXPECT_EQ(server.Accepted(), c.connections) << c.name;
  }
}

TEST_F(FollowFetchTest, AServerThatBreaksOffAFreshConnectionIsNotAskedTwice) {
  ScriptedServer server({{ReadRequest(), Reset()}, {ReadRequest(), Send(Ok(""))}});
  EXPECT_THROW(Follow(server), ETcpError);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(FollowFetchTest, FollowsOfOnePlaceTakeTurnsOnOneConnection) {
  ScriptedServer server({{ReadRequest(), Pause(200ms), Send(Ok("")), ReadRequest(), Send(Ok(""))},
                         {ReadRequest(), Send(Ok(""))}});
  auto follow = [&] {
    TPageFetcher own;
    TFollowState own_state;
    own.FetchFollowLines(server.Url("/r.kif"), own_state, pool);
  };
  std::thread first(follow);
  std::this_thread::sleep_for(50ms);
  std::thread second(follow);
  first.join();
  second.join();
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(FollowFetchTest, RetryAfterInBothForms) {
  ScriptedServer server(
      {{ReadRequest(),
        Send(
            "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 120\r\nContent-Length: 0\r\n\r\n")}});
  try {
    Follow(server);
    FAIL();
  } catch (const EHttpProtocolError& e) {
    EXPECT_EQ(e.ErrorCode, 503);
    EXPECT_EQ(e.RetryAfter, "120");
  }
  const TDateTime now = *ParseHttpDate("Sat, 21 Nov 2026 10:00:00 GMT");
  struct Case {
    const char* value;
    std::optional<std::chrono::seconds> wait;
  } cases[] = {
      {"120", 120s},
      {" 0 ", 0s},
      {"Sat, 21 Nov 2026 10:02:30 GMT", 150s},
      {"Sat, 21 Nov 2026 09:00:00 GMT", 0s},
      {"", std::nullopt},
      {"soon", std::nullopt},
      {"-5", std::nullopt},
      {"1.5", std::nullopt},
      {"99999999999999999999999", std::chrono::seconds(INT64_C(1) << 40)},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseRetryAfter(c.value, now), c.wait) << c.value;
}

}  // namespace
}  // namespace zelvaro
