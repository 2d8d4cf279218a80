// What one engine searches next when it serves both the position on show
// and the evaluation graph of the whole main line, and the results kept by
// position so that nothing is searched twice.
//
// The order: the position on show, for the time per position; then every
// main-line position without a result, from the start on, each for the
// time per position; when all have one, the position on show again, with
// no end (its line deepens while the user looks at it). A new position on
// show always comes first.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/UsiClient.h"

namespace zelvaro {

inline constexpr std::chrono::milliseconds kDefaultTimePerPosition{1000};

class TAnalysisPlan {
 public:
  struct Job {
    std::string position;
    std::optional<std::chrono::milliseconds> duration;  // none: until told otherwise
    bool operator==(const Job&) const = default;
  };

  explicit TAnalysisPlan(std::chrono::milliseconds per_position = kDefaultTimePerPosition)
      : per_position_(per_position) {}

  void SetShown(std::string position) { shown_ = std::move(position); }
  const std::string& Shown() const { return shown_; }
  // The main line's positions from the start (the graph's points).
  void SetMainLine(std::vector<std::string> positions) { main_line_ = std::move(positions); }
  void SetTimePerPosition(std::chrono::milliseconds t) { per_position_ = t; }

  // The search to run now; none when there is nothing to search.
  std::optional<Job> Next() const;
  // A search of `analysis.position` ran for `searched`: kept as that
  // position's result when it ran the time per position (or found a mate),
  // and kept over an older one when it went deeper.
  void Done(const TUsiAnalysis& analysis, std::chrono::milliseconds searched);
  // The kept result of `position`; null when there is none.
  const TUsiAnalysis* Result(const std::string& position) const;
  // The engine ended a search of `position` by itself (a mate, a position
  // with no move): it is not searched again, so that such a position
  // cannot keep the engine busy in a loop.
  void Finished(const std::string& position) { finished_.insert(position); }
  bool IsFinished(const std::string& position) const { return finished_.count(position) > 0; }
  void Clear() {
    results_.clear();
    finished_.clear();
  }

 private:
  std::chrono::milliseconds per_position_;
  std::string shown_;
  std::vector<std::string> main_line_;
  std::map<std::string, TUsiAnalysis> results_;
  std::set<std::string> finished_;
};

}  // namespace zelvaro
