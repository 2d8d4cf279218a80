// What the viewer's analysis session decides, without Qt: which search runs
// (the plan's next job), which engine lines belong to it, which result is
// kept for the graph, and when the analysis on show changes. The caller
// owns the engine and the timers; it tells this what happened and does what
// the answers say.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/AnalysisPlan.h"
#include "engine/UsiClient.h"

namespace zelvaro {

class TAnalysisSessionCore {
 public:
  TAnalysisPlan& Plan() { return plan_; }
  const TAnalysisPlan& Plan() const { return plan_; }

  // A new position on show: its kept result shows at once (none: nothing),
  // and the search replaces it as it goes deeper. False when it was on show.
  bool SetShown(const std::string& position);

  struct Switch {
    std::optional<TAnalysisPlan::Job> job;  // none: stop searching
  };
  // The search to ask for now, when it differs from the one under way
  // (a timed search cut short is not kept).
  std::optional<Switch> Schedule();

  struct InfoOutcome {
    bool first = false;  // the first line of the job's search: its time runs from now at the latest
    bool shown = false;  // the analysis on show changed
  };
  // An info of the client's search `client_serial` (the client's newest).
  InfoOutcome OnInfo(const TUsiInfo& info, std::uint64_t client_serial);
  // "bestmove" of the job's search, which ran `searched`: the engine ended
  // it by itself (a mate, no move), so the position is not searched again.
  // The position whose result was kept; none when the event is not the job's.
  std::optional<std::string> OnBestMove(const TUsiInfo& info, std::uint64_t client_serial,
                                        std::chrono::milliseconds searched);
  // The job's time is up after `searched`: the position whose result was kept.
  std::optional<std::string> OnTimeUp(std::chrono::milliseconds searched);
  // The engine failed or stopped: no search is under way.
  void Stopped() {
    job_.reset();
    live_ = {};
  }

  const std::optional<TAnalysisPlan::Job>& Job() const { return job_; }
  // The newest analysis of the position on show (live or kept).
  const TUsiAnalysis& Shown() const { return shown_; }
  // Whether the search under way is for the graph, not the position on show.
  bool WorkingOnGraph() const { return job_ && job_->position != plan_.Shown(); }
  // Forgets every result, and what shows.
  void Clear();

 private:
  TAnalysisPlan plan_;
  std::optional<TAnalysisPlan::Job> job_;
  TUsiAnalysis live_;   // of the client's current search
  TUsiAnalysis shown_;  // what the panel shows
};

}  // namespace zelvaro
