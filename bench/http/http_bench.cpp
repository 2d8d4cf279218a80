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

#include "bench/common/LoopbackServer.h"
#include "net/untHttp.h"

extern char** environ;

namespace {

constexpr int kRequests = 200;
constexpr size_t kBodySize = 200 * 1024;

// Every connection gets the same 200 KB reply.
std::string Reply() {
  std::string body(kBodySize, 'k');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

zelvaro::bench::LoopbackServer& Server() {
  static zelvaro::bench::LoopbackServer server({{"", Reply()}});
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
  const std::string url = Server().Url("/page.html");
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
  const std::string url = Server().Url("/page.html");
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
