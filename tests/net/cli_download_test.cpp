// zelvaro-cli gunzip, get and fetch as a user runs them: whole input gives
// its text and status 0; damaged, cut, endless or slow input, and running
// out of memory, give a message and status 1, never a signal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/common/CliRun.h"
#include "tests/net/ScriptedServer.h"
#include "tests/streams/GzipBuilder.h"

namespace zelvaro {
namespace {

using namespace std::chrono_literals;
using testing::Gzip;
using testing::Pause;
using testing::ReadRequest;
using testing::RunCli;
using testing::ScriptedServer;
using testing::Send;

// An address-space limit cannot hold AddressSanitizer's shadow memory.
#if defined(__SANITIZE_ADDRESS__)
const bool kAddressLimitsWork = false;
#else
const bool kAddressLimitsWork = std::system("prlimit --version >/dev/null 2>&1") == 0;
#endif

class CliDownload : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path dir_ = [] {
    char name[] = "/tmp/zelvaro-cli-download-XXXXXX";
    return std::filesystem::path(::mkdtemp(name));
  }();
  ~CliDownload() override { std::filesystem::remove_all(dir_); }
};

TEST_F(CliDownload, Gunzip) {
  // The decoder's own tests cover every kind of damage; here, what the
  // command adds: blocks from its option, status and message, empty input.
  const std::string a = "先手：山田\r\n1 ７六歩(77)\r\n", b = std::string(50000, 'b') + "\n";
  const std::string joined = Gzip(a) + Gzip(b);
  const struct {
    const char* label;
    std::string input;
    const char* err;  // null: the output is `out`
    std::string out = {};
  } cases[] = {
      {"joined members", joined, nullptr, a + b},
      {"empty", "", nullptr, ""},
      {"cut", joined.substr(0, joined.size() - 1), "gzip: the compressed data is incomplete\n"},
      {"not gzip", a, "gzip: not in gzip format\n"},
  };
  for (const auto& c : cases) {
    const std::string file = Write("in.gz", c.input);
    for (const char* block : {"1", "7", "1460", "32768"}) {
      SCOPED_TRACE(std::string(c.label) + ", blocks of " + block);
      const auto r = RunCli(std::string("gunzip --block ") + block + " < " + file);
      EXPECT_EQ(r.status, c.err ? 1 : 0);
      EXPECT_EQ(r.err, c.err ? c.err : "");
      if (!c.err) {
        EXPECT_EQ(r.out, c.out);
      }
    }
  }
}

TEST_F(CliDownload, OutOfMemoryIsAMessage) {
  if (!kAddressLimitsWork) GTEST_SKIP() << "no prlimit, or AddressSanitizer's shadow memory";
  // A 1 GiB block under a 512 MiB address-space limit.
  const auto r = RunCli("gunzip --block 1073741824 < /dev/null", "prlimit --as=536870912");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Out of memory.\n");
  // A few MB are all gunzip needs: zelvaro-cli maps no Qt library (those
  // alone take more address space than this).
  const std::string file = Write("small.gz", Gzip("small\n"));
  const auto small = RunCli("gunzip < " + file, "prlimit --as=33554432");
  EXPECT_EQ(small.status, 0) << small.err;
  EXPECT_EQ(small.out, "small\n");
}

TEST_F(CliDownload, FetchAndGetStopAtTheirLimits) {
  // 70 joined members of 1 MiB each: past the page cap, in a small space.
  const std::string mib = std::string(1023, 'x') + "\n";
  std::string text;
  while (text.size() < (1u << 20)) text += mib;
  const std::string member = Gzip(text);
  std::string bomb;
  for (int i = 0; i < 70; ++i) bomb += member;
  const std::string bomb_reply = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                                 std::to_string(bomb.size()) + "\r\n\r\n" + bomb;
  testing::Script trickle = {ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n")};
  for (int i = 0; i < 50; ++i) {
    trickle.push_back(Send("b"));
    trickle.push_back(Pause(50ms));
  }
  ScriptedServer server({{ReadRequest(), Send(bomb_reply)}, trickle, trickle});
  const std::string limit = kAddressLimitsWork ? "prlimit --as=1073741824" : "";
  const struct {
    std::string arguments;
    const char* err;
  } cases[] = {
      {"fetch " + server.Url() + " >/dev/null", "the page is larger than 64 MiB\n"},
      {"fetch --timeout 0.3 " + server.Url(), "Request timed out.\n"},
      {"get --timeout 0.3 " + server.Url(), "Request timed out.\n"},
  };
  for (const auto& c : cases) {
    const auto r = RunCli(c.arguments, limit);
    EXPECT_EQ(r.status, 1) << c.arguments;
    EXPECT_EQ(r.err, c.err) << c.arguments;
  }
}

}  // namespace
}  // namespace zelvaro
