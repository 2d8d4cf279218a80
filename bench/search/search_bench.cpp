// A whole search of the demo broadcast on loopback, against curl fetching
// the same URLs (the 14 pages and every record the search probes) one after
// another in one process. Both wait on the same Python server, so the ratio
// shows what the search adds on top of the transfers:
//   ratio = search time / curl time   (target: at most 1.5)
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "search/Discovery.h"
#include "search/PageLineFetcher.h"

extern char** environ;

namespace zelvaro {
namespace {

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return status;
}

struct Demo {
  pid_t pid = -1;
  std::string base;
  Demo() {
    char dir[] = "/tmp/zelvaro-bench-XXXXXX";
    const std::string port_file = std::string(mkdtemp(dir)) + "/port";
    pid = Spawn({"python3", ZELVARO_SOURCE_DIR "/tools/demo-broadcast/demo_broadcast.py", "--port",
                 "0", "--port-file", port_file, "--live-interval", "0"});
    for (int i = 0; i < 200 && base.empty(); ++i) {
      std::ifstream in(port_file);
      std::string port;
      if (in >> port) {
        base = "http://127.0.0.1:" + port;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
  }
  ~Demo() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      Wait(pid);
    }
  }
};

Demo& TheDemo() {
  static Demo demo;
  return demo;
}

struct Counting : ISearchListener {
  int rows = 0;
  void PageFailed(int, const std::string&) override {}
  void RowFound(const TGameRow&) override { ++rows; }
};

// Passes every fetch through and keeps its URL.
struct Recording : ILineFetcher {
  ILineFetcher& inner;
  std::vector<std::string> urls;
  explicit Recording(ILineFetcher& f) : inner(f) {}
  void FetchLines(std::string_view url) override {
    urls.emplace_back(url);
    inner.FetchLines(url);
  }
  const std::vector<std::string>& Lines() const override { return inner.Lines(); }
};

void BM_SearchDemoBroadcast(benchmark::State& state) {
  Demo& demo = TheDemo();
  if (demo.base.empty()) return state.SkipWithError("the demo broadcast did not start");
  auto fetcher = MakePageFetcher();
  int rows = 0;
  for (auto _ : state) {
    Counting listener;
    RunSearch({demo.base, demo.base}, *fetcher, listener);
    rows = listener.rows;
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_SearchDemoBroadcast)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_CurlSameUrls(benchmark::State& state) {
  Demo& demo = TheDemo();
  if (demo.base.empty()) return state.SkipWithError("the demo broadcast did not start");
  auto inner = MakePageFetcher();
  Recording recording(*inner);
  Counting listener;
  RunSearch({demo.base, demo.base}, recording, listener);
  std::vector<std::string> args = {"curl", "-s", "--compressed"};
  for (const auto& url : recording.urls) {
    args.push_back("-o");
    args.push_back("/dev/null");
    args.push_back(url);
  }
  for (auto _ : state) {
    const pid_t pid = Spawn(args);
    if (pid < 0) return state.SkipWithError("curl cannot be started");
    Wait(pid);
  }
  state.counters["urls"] = static_cast<double>(recording.urls.size());
}
BENCHMARK(BM_CurlSameUrls)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// Prints the runs as usual, then the ratio of the two medians (or means
// when repetitions are off).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      const std::string name = run.benchmark_name();
      const bool median = run.aggregate_name == "median";
      if (!median && run.run_type == Run::RT_Aggregate) continue;
      double& slot = name.find("Curl") != std::string::npos ? curl_ : search_;
      if (median || slot == 0) slot = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (search_ > 0 && curl_ > 0) {
      std::printf("search / curl = %.2f (target: at most 1.5)\n", search_ / curl_);
    }
  }

 private:
  double search_ = 0, curl_ = 0;
};

}  // namespace
}  // namespace zelvaro

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  zelvaro::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
