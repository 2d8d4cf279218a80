// The viewer's analysis offscreen with fairy-stockfish (Threads 1, Hash 16,
// so that the shared machine is not flooded):
// - BM_RowChangeToFirstEvaluation: from a click on the next row to the first
//   evaluation of that row in the panel (target under 100 ms); rows changed
//   more slowly than the merge interval, so none is merged.
// - BM_GraphOf150MoveGame: analysis turned on at row 0 of a 152-move corpus
//   game until every point of the graph is filled, at the default time per
//   position (1 s); one run, it takes minutes.
// - BM_MarksOf150MoveGame: the same game at 200 ms a position until every
//   move has its verdict (緩手 … or none), against points × 200 ms: the
//   ratio is the time the marking takes over the engine time it needs.
// - BM_RowClickWithAnalysis/0 and /1: OnListViewClick with analysis off and
//   on (stays under 16 ms).
// - BM_CpuWithAnalysisOff: the program's CPU time per second of an idle
//   viewer with a game on show after analysis was turned on and off again
//   (none), and whether an engine process is left.
// Medians of repetitions are reported.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <memory>

#include "engine/RecordPositions.h"
#include "viewer/untMain.h"

namespace {

constexpr char kRecord[] =
    ZELVARO_SOURCE_DIR "/../shared/kif-corpus/02-broadcast-152-moves-url-comments.kif";

bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::usleep(500);
  }
  return true;
}

// Lets the event loop run for `ms` without spinning.
void Idle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Fixture {
  QTemporaryDir dir;
  QString previous = QDir::currentPath();
  std::unique_ptr<zelvaro::TForm1> form;
  std::string skip;  // why the benchmark cannot run
  explicit Fixture(int time_ms = 1000) {
    if (::access(zelvaro::kDefaultEnginePath, X_OK) != 0) {
      skip = "fairy-stockfish is not installed";
      return;
    }
    if (!QFile::exists(kRecord)) {
      skip = "the corpus is absent";
      return;
    }
    QDir::setCurrent(dir.path());
    form = std::make_unique<zelvaro::TForm1>();
    form->show();
    form->SidePanel->Analysis->SetSettings(zelvaro::TEngineSettings{"", 16, 1, 1, time_ms});
    bool shown = false;
    form->Actions->OpenRecordFile(QString::fromUtf8(kRecord), [&shown](bool ok) { shown = ok; });
    while (form->Follower->Reading()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!shown) skip = "the record cannot be read";
  }
  ~Fixture() {
    form.reset();
    QDir::setCurrent(previous);
  }
  bool Ready() {
    return WaitUntil(
        [&] {
          auto* process = form->SidePanel->Analysis->Process();
          return process != nullptr && process->Client().Ready();
        },
        30'000);
  }
  void Show(int row) {
    form->ListView1->Select(row);
    form->OnListViewClick();
  }
};

void BM_RowChangeToFirstEvaluation(benchmark::State& state) {
  Fixture f(60'000);  // the row on show only: the graph waits
  if (!f.skip.empty()) return state.SkipWithError(f.skip.c_str());
  f.form->AnalysisAction->setChecked(true);
  if (!f.Ready()) return state.SkipWithError("the engine did not start");
  int row = 10;
  for (auto _ : state) {
    f.Show(row);
    QElapsedTimer clock;
    clock.start();
    const bool shown = WaitUntil(
        [&] {
          const auto& a = f.form->SidePanel->Analysis->ShownAnalysis();
          return a.HasScore() && a.position == f.form->SidePanel->Analysis->Plan().Shown();
        },
        10'000);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    if (!shown) return state.SkipWithError("no evaluation within 10 s");
    state.PauseTiming();
    Idle(150);  // slower than the merge interval
    state.ResumeTiming();
    row = row >= 140 ? 10 : row + 1;
  }
}
BENCHMARK(BM_RowChangeToFirstEvaluation)
    ->UseManualTime()
    ->Iterations(20)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

void BM_GraphOf150MoveGame(benchmark::State& state) {
  for (auto _ : state) {
    Fixture f;
    if (!f.skip.empty()) return state.SkipWithError(f.skip.c_str());
    f.Show(0);
    QElapsedTimer clock;
    clock.start();
    f.form->AnalysisAction->setChecked(true);
    auto filled = [&] {
      const auto& scores = f.form->SidePanel->EvalGraph->Scores();
      return !scores.empty() &&
             std::all_of(scores.begin(), scores.end(), [](const auto& s) { return s.has_value(); });
    };
    const bool done = WaitUntil(filled, 1'200'000);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    state.counters["points"] = static_cast<double>(f.form->SidePanel->EvalGraph->Scores().size());
    if (!done) return state.SkipWithError("the graph was not filled within 20 minutes");
  }
}
BENCHMARK(BM_GraphOf150MoveGame)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_MarksOf150MoveGame(benchmark::State& state) {
  constexpr int kPerPositionMs = 200;
  for (auto _ : state) {
    Fixture f(kPerPositionMs);
    if (!f.skip.empty()) return state.SkipWithError(f.skip.c_str());
    f.Show(0);
    QElapsedTimer clock;
    clock.start();
    f.form->AnalysisAction->setChecked(true);
    auto marked = [&] {
      const auto& scores = f.form->SidePanel->EvalGraph->Scores();
      // The verdicts are made in the same update as the points.
      return scores.size() > 1 &&
             std::all_of(scores.begin(), scores.end(), [](const auto& s) { return s.has_value(); });
    };
    const bool done = WaitUntil(marked, 600'000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    state.SetIterationTime(seconds);
    const double points = static_cast<double>(f.form->SidePanel->EvalGraph->Scores().size());
    state.counters["points"] = points;
    state.counters["ratio"] = seconds / (points * kPerPositionMs / 1000.0);
    if (!done) return state.SkipWithError("the game was not marked within 10 minutes");
  }
}
BENCHMARK(BM_MarksOf150MoveGame)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_RowClickWithAnalysis(benchmark::State& state) {
  Fixture f;
  if (!f.skip.empty()) return state.SkipWithError(f.skip.c_str());
  if (state.range(0) == 1) {
    f.form->AnalysisAction->setChecked(true);
    if (!f.Ready()) return state.SkipWithError("the engine did not start");
  }
  int row = 0;
  const int rows = f.form->ListView1->RowCount();
  for (auto _ : state) {
    f.Show(row);
    row = (row + 1) % rows;
    state.PauseTiming();
    QCoreApplication::processEvents();  // the engine's output meanwhile
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RowClickWithAnalysis)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(200)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

void BM_CpuWithAnalysisOff(benchmark::State& state) {
  Fixture f;
  if (!f.skip.empty()) return state.SkipWithError(f.skip.c_str());
  f.form->AnalysisAction->setChecked(true);
  if (!f.Ready()) return state.SkipWithError("the engine did not start");
  f.form->AnalysisAction->setChecked(false);
  Idle(2000);  // the engine quits
  for (auto _ : state) {
    const double cpu = ProcessCpuSeconds();
    Idle(1000);
    state.SetIterationTime(ProcessCpuSeconds() - cpu);
  }
  state.counters["engine_processes"] = f.form->SidePanel->Analysis->Process() != nullptr ? 1 : 0;
}
BENCHMARK(BM_CpuWithAnalysisOff)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
