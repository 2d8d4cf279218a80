// 200 sequential GETs of a 200 KB body from a loopback server, one
// connection each ("Connection: close"), by THttpClient and by curl (one
// curl process fetching the 200 URLs, so its start-up is paid once). Prints
// the wall-clock medians per request and curl's time / ours.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "net/untHttp.h"

extern char** environ;

namespace {

constexpr int kRequests = 200;
constexpr size_t kBodySize = 200 * 1024;

// Answers every connection with the same 200 KB reply, then closes it.
class LoopbackServer {
 public:
  LoopbackServer() {
    std::string body(kBodySize, 'k');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
    reply_ = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener_, 128);
    socklen_t length = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/page.html"; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      std::string_view rest = reply_;
      while (!rest.empty()) {
        ssize_t n = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        rest.remove_prefix(static_cast<size_t>(n));
      }
      ::shutdown(fd, SHUT_WR);
      ::close(fd);
    }
  }

  std::string reply_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

// Counts and drops the body, as curl's "-o /dev/null" does.
class NullStream : public zelvaro::TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    position_ += count;
    return count;
  }
  int64_t Seek(int64_t offset, zelvaro::SeekOrigin origin) override {
    if (origin == zelvaro::SeekOrigin::kBeginning) position_ = offset;
    if (origin != zelvaro::SeekOrigin::kBeginning) position_ += offset;
    return position_;
  }
  int64_t position_ = 0;
};

void BM_THttpClient(benchmark::State& state) {
  const std::string url = Server().Url();
  zelvaro::THttpClient client;
  zelvaro::ApplyProgramRequestSettings(client);
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      NullStream body;
      client.Get(url, &body);
      if (body.position_ != static_cast<int64_t>(kBodySize)) state.SkipWithError("short body");
    }
  }
}
BENCHMARK(BM_THttpClient)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(7);

void BM_Curl(benchmark::State& state) {
  const std::string url = Server().Url();
  std::vector<std::string> args = {"curl", "-s", "--fail"};
  for (int i = 0; i < kRequests; ++i) {
    args.push_back(url);
    args.push_back("-o");
    args.push_back("/dev/null");
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto _ : state) {
    pid_t pid;
    if (::posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("curl is not installed");
      return;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("curl failed");
  }
}
BENCHMARK(BM_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(7);

class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name == "median")
        medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Median(const std::string& name) const {
    auto it = medians_.find(name);
    return it == medians_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  double ours = reporter.Median("BM_THttpClient");
  double curl = reporter.Median("BM_Curl");
  if (ours > 0 && curl > 0) {
    std::printf(
        "per request: THttpClient %.3f ms, curl %.3f ms; curl / ours = %.2f (above 1: faster than "
        "curl)\n",
        ours / kRequests, curl / kRequests, curl / ours);
  }
  return 0;
}
