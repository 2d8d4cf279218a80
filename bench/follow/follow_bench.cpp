// Following a 150-move record by its address against a loopback server that
// keeps connections open and answers validators:
//  - unchanged: 100 follow downloads of a record that does not change; the
//    server counts bodies, body bytes and connections (target: one body,
//    one connection), beside 100 plain downloads as every refresh made them
//    before (Connection: close, no validators);
//  - changing: a fast server whose record changes on every request; the time
//    of one follow download against one plain download.
// Prints the figures after the timings.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/LoopbackServer.h"
#include "net/PageFetch.h"

namespace {

using zelvaro::bench::ListenOnLoopback;

constexpr int kFollows = 100;

// A 150-move record, about 6 KB.
std::string Record() {
  std::string text = "棋戦：ベンチ\r\n先手：甲\r\n後手：乙\r\n手数----指手---------消費時間--\r\n";
  for (int n = 1; n <= 150; ++n) {
    char line[96];
    const bool out = ((n + 1) / 2) % 2 == 1;
    const char* move =
        n % 2 ? (out ? "５八玉(59)" : "５九玉(58)") : (out ? "５二玉(51)" : "５一玉(52)");
    std::snprintf(line, sizeof line, "%4d %s   ( 0:01/00:00:%02d)\r\n", n, move, n % 60);
    text += line;
  }
  return text;
}

// Serves the record on keep-alive connections (closing only when the client
// asks to), with an ETag; a request whose If-None-Match names the current
// one gets a 304. With `changing`, every request gets a new version.
class FollowServer {
 public:
  explicit FollowServer(bool changing) : changing_(changing), record_(Record()) {
    listener_ = ListenOnLoopback(port_);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~FollowServer() {
    stop_ = true;
    acceptor_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::thread& t : connections_) t.join();
    ::close(listener_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/r.kif"; }
  void ResetCounts() {
    accepted_ = 0;
    bodies_ = 0;
    body_bytes_ = 0;
    wire_bytes_ = 0;
  }
  long Accepted() const { return accepted_; }
  long Bodies() const { return bodies_; }
  long BodyBytes() const { return body_bytes_; }
  long WireBytes() const { return wire_bytes_; }

 private:
  void Accept() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++accepted_;
      std::lock_guard<std::mutex> lock(mutex_);
      connections_.emplace_back([this, fd] { Serve(fd); });
    }
  }

  void Serve(int fd) {
    std::string input;
    char buffer[4096];
    while (!stop_) {
      const size_t end = input.find("\r\n\r\n");
      if (end == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        input.append(buffer, static_cast<size_t>(n));
        continue;
      }
      const std::string head = input.substr(0, end);
      input.erase(0, end + 4);
      const long version = changing_ ? ++version_ : 1;
      const std::string etag = "\"v" + std::to_string(version) + "\"";
      std::string reply;
      if (head.find("\r\nIf-None-Match: " + etag) != std::string::npos) {
        reply = "HTTP/1.1 304 Not Modified\r\nETag: " + etag + "\r\n\r\n";
      } else {
        std::string body = record_;
        if (changing_) body += "*" + std::to_string(version) + "\r\n";
        reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nETag: " + etag +
                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        ++bodies_;
        body_bytes_ += static_cast<long>(body.size());
      }
      wire_bytes_ += static_cast<long>(reply.size());
      std::string_view rest = reply;
      while (!rest.empty()) {
        const ssize_t n = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        rest.remove_prefix(static_cast<size_t>(n));
      }
      if (head.find("\r\nConnection: close") != std::string::npos) break;
    }
    ::close(fd);
  }

  const bool changing_;
  const std::string record_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<long> accepted_{0}, bodies_{0}, body_bytes_{0}, wire_bytes_{0}, version_{0};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> connections_;
};

struct Figures {
  long connections, bodies, body_bytes, wire_bytes;
};

// 100 downloads of the unchanged record, as follows or as plain downloads.
Figures FollowUnchanged(bool follow) {
  FollowServer server(false);
  zelvaro::TConnectionPool pool;
  zelvaro::TFollowState state;
  for (int i = 0; i < kFollows; ++i) {
    zelvaro::TPageFetcher fetcher;  // a fetch of its own, as every refresh has
    if (follow) {
      fetcher.FetchFollowLines(server.Url(), state, pool);
    } else {
      fetcher.FetchLines(server.Url());
    }
  }
  pool.Clear();
  return {server.Accepted(), server.Bodies(), server.BodyBytes(), server.WireBytes()};
}

void BM_UnchangedFollow(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FollowUnchanged(true));
}
BENCHMARK(BM_UnchangedFollow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UnchangedPlain(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FollowUnchanged(false));
}
BENCHMARK(BM_UnchangedPlain)->Unit(benchmark::kMillisecond)->UseRealTime();

// One download of a record that changes every time: a follow download
// (kept connection, validators that never match) against a plain one.
void BM_ChangingFollow(benchmark::State& state) {
  FollowServer server(true);
  zelvaro::TConnectionPool pool;
  zelvaro::TFollowState follow;
  for (auto _ : state) {
    zelvaro::TPageFetcher fetcher;
    benchmark::DoNotOptimize(fetcher.FetchFollowLines(server.Url(), follow, pool));
  }
}
BENCHMARK(BM_ChangingFollow)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_ChangingPlain(benchmark::State& state) {
  FollowServer server(true);
  for (auto _ : state) {
    zelvaro::TPageFetcher fetcher;
    fetcher.FetchLines(server.Url());
    benchmark::DoNotOptimize(fetcher.Lines().size());
  }
}
BENCHMARK(BM_ChangingPlain)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const Figures follow = FollowUnchanged(true);
  const Figures plain = FollowUnchanged(false);
  std::printf(
      "\n%d downloads of an unchanged 150-move record (%ld-byte body):\n"
      "  follow (validators, kept connection): %ld bodies, %ld body bytes, %ld bytes sent, "
      "%ld connection(s)\n"
      "  plain  (as before, Connection: close): %ld bodies, %ld body bytes, %ld bytes sent, "
      "%ld connection(s)\n",
      kFollows, plain.body_bytes / kFollows, follow.bodies, follow.body_bytes, follow.wire_bytes,
      follow.connections, plain.bodies, plain.body_bytes, plain.wire_bytes, plain.connections);
  return 0;
}
