// zelvaro-cli follow against a scripted server: the keys each line adds,
// validators sent back on one kept connection, a 304 printed as unchanged,
// a finished game ending the follow (or not, with --keep-going), and a 304
// to a plain request told as an error.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/CliRun.h"
#include "tests/net/ScriptedServer.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

using testing::ReadRequest;
using testing::RunCli;
using testing::ScriptedServer;
using testing::Send;
using Json = nlohmann::json;

const std::string kTwoMoves = "V2.2\nN+A\nN-B\nPI\n+\n+7776FU\n-3334FU\n";
const std::string kResigned = kTwoMoves + "+2726FU\n%TORYO\n";

std::string Ok(const std::string& etag, const std::string& body, const std::string& extra = "") {
  return "HTTP/1.1 200 OK\r\nETag: " + etag + "\r\n" + extra +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
const std::string kNotModified = "HTTP/1.1 304 Not Modified\r\n\r\n";

std::vector<Json> Lines(const std::string& out) {
  std::vector<Json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  return lines;
}

TEST(CliFollow, UnchangedFinishedAndKeepGoing) {
  for (const bool keep_going : {false, true}) {
    ScriptedServer server(
        {{ReadRequest(), Send(Ok("\"1\"", kTwoMoves)), ReadRequest(), Send(kNotModified),
          ReadRequest(), Send(Ok("\"2\"", kResigned)), ReadRequest(), Send(kNotModified)}});
    const auto result = RunCli("follow " + server.Url("/g.csa") + " --interval 0 --count 4" +
                               (keep_going ? " --keep-going" : ""));
    EXPECT_EQ(result.status, 0) << result.err;
    const std::vector<Json> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), keep_going ? 4u : 3u) << result.out;
    struct Want {
      int moves;
      bool changed;
      int status;
      size_t bytes;
      bool finished;
    } want[] = {{2, true, 200, kTwoMoves.size(), false},
                {2, false, 304, 0, false},
                {4, true, 200, kResigned.size(), true},
                {4, false, 304, 0, true}};
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].at("moves"), want[i].moves) << i;
      EXPECT_EQ(lines[i].at("changed"), want[i].changed) << i;
      EXPECT_EQ(lines[i].at("http_status"), want[i].status) << i;
      EXPECT_EQ(lines[i].at("body_bytes"), want[i].bytes) << i;
      EXPECT_EQ(lines[i].at("finished"), want[i].finished) << i;
    }
    EXPECT_EQ(lines[1].at("last_row"), lines[0].at("last_row"));
    EXPECT_EQ(server.Accepted(), 1);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0].find("Connection:"), std::string::npos) << requests[0];
    EXPECT_EQ(requests[0].find("If-None-Match"), std::string::npos) << requests[0];
    EXPECT_NE(requests[1].find("\r\nIf-None-Match: \"1\"\r\n"), std::string::npos) << requests[1];
    EXPECT_NE(requests[2].find("\r\nIf-None-Match: \"1\"\r\n"), std::string::npos) << requests[2];
  }
}

TEST(CliFollow, GzipBodiesOnAKeptConnection) {
  const std::string packed = testing::Gzip(kTwoMoves);
  ScriptedServer server({{ReadRequest(), Send(Ok("\"1\"", packed, "Content-Encoding: gzip\r\n")),
                          ReadRequest(), Send(kNotModified)}});
  const auto result = RunCli("follow " + server.Url("/g.csa") + " --interval 0 --count 2");
  EXPECT_EQ(result.status, 0) << result.err;
  const std::vector<Json> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_EQ(lines[0].at("moves"), 2);
  EXPECT_EQ(lines[0].at("body_bytes"), packed.size());
  EXPECT_EQ(lines[1].at("moves"), 2);
  EXPECT_EQ(server.Accepted(), 1);
}

TEST(CliFollow, A304ToAPlainRequestIsAnError) {
  ScriptedServer server({{ReadRequest(), Send(kNotModified)}});
  const auto result = RunCli("follow " + server.Url("/g.csa") + " --interval 0 --count 1");
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_NE(result.err.find("変更なし"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace zelvaro
