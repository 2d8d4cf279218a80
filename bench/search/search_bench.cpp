// A whole search of the demo broadcast on loopback, against curl fetching
// the same URLs (the 14 pages and every record the search probes) one after
// another in one process. Both wait on the same Python server, so the ratio
// shows what the search adds on top of the transfers:
//   ratio = search time / curl time   (target: at most 1.5)
//
// Then the same search against the demo answering after a delay, as a
// server across the internet does (--delay 0.05 and 0.2): the parallel
// search the program runs, the search one download after the other, and
// the critical path (a page, then one of its records: two delays plus the
// transfers), which no search can beat:
//   parallel / critical path   (target: at most 3)
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "broadcast/Discovery.h"
#include "broadcast/PageLineFetcher.h"

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
  explicit Demo(const std::string& delay = "0") {
    char dir[] = "/tmp/zelvaro-bench-XXXXXX";
    const std::string port_file = std::string(mkdtemp(dir)) + "/port";
    pid = Spawn({"python3", ZELVARO_SOURCE_DIR "/tools/demo-broadcast/demo_broadcast.py", "--port",
                 "0", "--port-file", port_file, "--live-interval", "0", "--delay", delay});
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

// The demo answering after `delay_ms`.
Demo& DelayedDemo(int64_t delay_ms) {
  static std::map<int64_t, std::unique_ptr<Demo>> demos;
  auto& demo = demos[delay_ms];
  if (!demo) demo = std::make_unique<Demo>(std::to_string(delay_ms / 1000.0));
  return *demo;
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

// kUnbounded: the parallel search without the bound on connections to a
// host, which shows what the bound costs: the demo is one host, so at most
// 4 of the search's 29 downloads run at once, and no search under that bound
// takes less than 29 / 4 delays.
enum TSearchKind { kSequential, kParallel, kCriticalPath, kUnbounded };

// Arguments: the delay in milliseconds, the kind.
void BM_SearchAtLatency(benchmark::State& state) {
  Demo& demo = DelayedDemo(state.range(0));
  if (demo.base.empty()) return state.SkipWithError("the demo broadcast did not start");
  const TBroadcastHosts hosts{demo.base, demo.base};
  // The critical path's two downloads: the first page and its first record.
  const std::string page = TournamentTable(hosts)[0];
  std::string record;
  {
    auto fetcher = MakePageFetcher();
    const std::vector<std::string> candidates =
        RunSearchFetch({0, -1, page}, *fetcher, hosts).candidates;
    if (candidates.empty()) return state.SkipWithError("the first page lists no record");
    record = candidates.front();
  }
  int rows = 0;
  for (auto _ : state) {
    Counting listener;
    switch (state.range(1)) {
      case kSequential: {
        auto fetcher = MakePageFetcher();
        RunSearch(hosts, *fetcher, listener);
        break;
      }
      case kParallel:
        RunSearch(hosts, MakePageFetcher, listener);
        break;
      case kUnbounded:
        RunSearch(hosts, MakePageFetcher, listener, 1 << 20);
        break;
      case kCriticalPath: {
        auto fetcher = MakePageFetcher();
        fetcher->FetchLines(page);
        fetcher->FetchLines(record);
        break;
      }
    }
    rows = listener.rows;
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_SearchAtLatency)
    ->ArgNames({"delay_ms", "kind"})
    ->ArgsProduct({{50, 200}, {kSequential, kParallel, kCriticalPath, kUnbounded}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Prints the runs as usual, then the ratios of the medians (or means when
// repetitions are off).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      const std::string name = run.benchmark_name();
      const bool median = run.aggregate_name == "median";
      if (!median && run.run_type == Run::RT_Aggregate) continue;
      double* slot = name.find("Curl") != std::string::npos ? &curl_ : &search_;
      if (name.find("AtLatency") != std::string::npos) {
        // ".../delay_ms:50/kind:1..."
        const int delay = std::stoi(name.substr(name.find("delay_ms:") + 9));
        const int kind = std::stoi(name.substr(name.find("kind:") + 5));
        slot = &latency_[delay][kind];
      }
      if (median || *slot == 0) *slot = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (search_ > 0 && curl_ > 0) {
      std::printf("search / curl = %.2f (target: at most 1.5)\n", search_ / curl_);
    }
    for (auto& [delay, times] : latency_) {
      const double sequential = times[kSequential], parallel = times[kParallel],
                   critical = times[kCriticalPath], unbounded = times[kUnbounded];
      if (sequential <= 0 || parallel <= 0 || critical <= 0) continue;
      std::printf(
          "delay %d ms: sequential %.0f ms, parallel %.0f ms, critical path %.0f ms; "
          "parallel / critical path = %.2f (target: at most 3), sequential / parallel = %.1f; "
          "without the bound of %d connections to a host: %.0f ms, %.2f x the critical path\n",
          delay, sequential, parallel, critical, parallel / critical, sequential / parallel,
          kMaxConnectionsPerHost, unbounded, unbounded / critical);
    }
  }

 private:
  double search_ = 0, curl_ = 0;
  std::map<int, std::map<int, double>> latency_;
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
