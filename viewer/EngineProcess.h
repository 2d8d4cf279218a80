// The analysing engine in the viewer: TEngineProcess runs the program
// through QProcess and feeds its lines to the USI client (engine/); the
// analysis session decides with one engine what is searched (the position
// on show first, then the main line for the evaluation graph, see
// engine/AnalysisPlan.h) and hands the results to the panel and the graph.
//
// Only the window thread uses them. The process never outlives its owner:
// stopping sends "quit" and kills it after kQuitLimit; the destructor waits
// for that at most as long.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/AnalysisPlan.h"
#include "engine/AnalysisSessionCore.h"
#include "engine/LineSplitter.h"
#include "engine/UsiClient.h"

namespace zelvaro {

// The engine program named when none is set, when it exists.
inline constexpr char kDefaultEnginePath[] = "/usr/games/fairy-stockfish";
// The panel is shown at most this often while an engine floods it.
inline constexpr int kPanelRefreshMs = 50;

// The engine page of the options: empty path for the default program.
struct TEngineSettings {
  std::string path;
  int hash_mb = kDefaultHashMb;
  int threads = DefaultUsiThreads();
  int multipv = kDefaultMultiPv;
  int time_ms = static_cast<int>(kDefaultTimePerPosition.count());  // per graph position
  bool operator==(const TEngineSettings&) const = default;
};
// The program `settings` names: its path, or the default program; empty
// when neither is set.
QString EngineProgram(const TEngineSettings& settings);
// Why `program` cannot run as an engine (missing, a folder, not executable,
// none set), in Japanese; empty when it can.
QString EngineFileProblem(const QString& program);

class TEngineProcess : public QObject {
  Q_OBJECT
 public:
  explicit TEngineProcess(QObject* parent = nullptr);
  // Kills the process if it is still there, after at most kQuitLimit.
  ~TEngineProcess() override;

  // Starts `program`; a program that cannot be started is told as a fault
  // (after this returns).
  void Start(const QString& program, const TUsiSettings& settings);
  // "quit"; killed after kQuitLimit.
  void Stop();
  TUsiClient& Client() { return *client_; }
  // Writes what the client has to send and hands out its events; call after
  // asking the client for something.
  void Flush() { Pump(); }
  bool Running() const { return process_->state() != QProcess::NotRunning; }
  qint64 ProcessId() const { return process_->processId(); }
  // Called for every event of the client, in order.
  std::function<void(const TUsiEvent&)> OnEvent;
  // When "go" was last written.
  const QElapsedTimer& SearchClock() const { return go_clock_; }

 private:
  void ReadOutput();
  void Pump();  // writes the client's commands, hands out its events, arms the timer

  QProcess* process_;
  QTimer* tick_;
  QTimer* kill_timer_;
  std::unique_ptr<TUsiClient> client_;
  TLineSplitter splitter_;
  bool pumping_ = false;
  QElapsedTimer go_clock_;
};

class TAnalysisSession : public QObject {
  Q_OBJECT
 public:
  explicit TAnalysisSession(QObject* parent = nullptr);

  // On: the engine is started and searches; off: it is stopped and nothing runs.
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  // Applied at the next start (a running engine is started again).
  void SetSettings(const TEngineSettings& settings);
  const TEngineSettings& Settings() const { return settings_; }
  // The position on show ("position …"; empty for none).
  void SetShown(const std::string& position);
  // The main line's positions, for the graph.
  void SetMainLine(std::vector<std::string> positions);
  // Starts the engine again after a fault.
  void Restart();

  const TAnalysisPlan& Plan() const { return core_.Plan(); }
  // Whether the engine searches a graph position now, not the one on show.
  bool WorkingOnGraph() const { return process_ != nullptr && core_.WorkingOnGraph(); }
  TEngineProcess* Process() const { return process_; }
  // The newest analysis of the position on show (live or kept); none yet: empty lines.
  const TUsiAnalysis& ShownAnalysis() const { return core_.Shown(); }
  const QString& Fault() const { return fault_; }

 signals:
  // The analysis of the position on show changed (also to none).
  void ShownChanged();
  // A position's result was kept (the graph's points).
  void ResultKept(const QString& position);
  // The engine failed (message in Japanese with its last line), or started.
  void StatusChanged();

 private:
  void StartEngine();
  void StopEngine();
  void Schedule();
  void HandleEvent(const TUsiEvent& event);
  void JobTimeUp();
  // How long the search under way has run since "go".
  std::chrono::milliseconds Searched() const;
  void EmitShown(bool now);

  TEngineSettings settings_;
  TAnalysisSessionCore core_;
  bool enabled_ = false;
  TEngineProcess* process_ = nullptr;
  QTimer* job_timer_;
  QTimer* panel_timer_;
  bool panel_dirty_ = false;
  QString fault_;
};

}  // namespace zelvaro
