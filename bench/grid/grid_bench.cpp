// The grid window 「全局」 offscreen with 64 boards, each following its own
// address of the demo broadcast's live record (so every board changes in
// every round): a round of all 64 is started at once, one move more each
// time, while a 1 ms timer on the window thread measures the longest time
// the window took to answer. Targets: 16 ms, and below 200 MB of memory.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/search/DemoBroadcast.h"
#include "viewer/GridWindow.h"

namespace {

// The resident memory and its peak, in MB.
std::pair<double, double> MemoryMb() {
  std::ifstream status("/proc/self/status");
  double rss = 0, peak = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) rss = std::stod(line.substr(6)) / 1024;
    if (line.rfind("VmHWM:", 0) == 0) peak = std::stod(line.substr(6)) / 1024;
  }
  return {rss, peak};
}

bool Wait(const std::function<bool()>& done, int ms = 60000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

void BM_Grid64BoardsRefreshingAtOnce(benchmark::State& state) {
  zelvaro::testing::DemoBroadcast demo;
  std::vector<std::string> addresses;
  for (int i = 0; i < 64; ++i) {
    const std::string folder = {static_cast<char>('a' + i / 26), static_cast<char>('a' + i % 26)};
    addresses.push_back(demo.Base() + "/" + folder + "/kifu/seiryu_live.kif");
  }
  const double before_mb = MemoryMb().first;
  zelvaro::TGridWindow grid;
  grid.SetIntervalMs(10'000);
  grid.resize(1600, 1000);
  grid.show();
  grid.Open(addresses);
  if (!Wait([&] { return grid.Rounds() >= 1; })) {
    state.SkipWithError("the first round did not end");
    return;
  }
  Wait([&] { return grid.Drawing() == 0; });

  // The longest gap between two ticks of a 1 ms timer is the longest the
  // window kept the user waiting.
  QElapsedTimer clock;
  qint64 last = -1, longest = 0;
  QTimer probe;
  probe.setInterval(1);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    if (last >= 0) longest = std::max(longest, now - last);
    last = now;
  });
  clock.start();
  probe.start();
  for (auto _ : state) {
    demo.Get("/_demo/advance");
    const int before = grid.Rounds();
    grid.RefreshNow();
    Wait([&] { return grid.Rounds() > before; });
  }
  Wait([&] { return grid.Drawing() == 0; }, 2000);
  probe.stop();
  const auto [rss, peak] = MemoryMb();
  state.counters["longest_answer_ms"] = static_cast<double>(longest) / 1e6;
  state.counters["rss_mb"] = rss;
  state.counters["peak_mb"] = peak;
  state.counters["before_mb"] = before_mb;
  std::printf(
      "64 boards: longest answer %.1f ms (target 16 ms); memory %.0f MB, peak %.0f MB "
      "(target 200 MB; %.0f MB before the grid)\n",
      static_cast<double>(longest) / 1e6, rss, peak, before_mb);
}
BENCHMARK(BM_Grid64BoardsRefreshingAtOnce)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
