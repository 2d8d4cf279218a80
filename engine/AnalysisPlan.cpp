#include "engine/AnalysisPlan.h"

namespace zelvaro {

std::optional<TAnalysisPlan::Job> TAnalysisPlan::Next() const {
  const bool shown = !shown_.empty() && !IsFinished(shown_);
  if (shown && !Result(shown_)) return Job{shown_, per_position_};
  for (const std::string& position : main_line_) {
    if (!position.empty() && !Result(position) && !IsFinished(position)) {
      return Job{position, per_position_};
    }
  }
  if (shown) return Job{shown_, std::nullopt};
  return std::nullopt;
}

void TAnalysisPlan::Done(const TUsiAnalysis& analysis, std::chrono::milliseconds searched) {
  if (!analysis.HasScore()) return;
  const bool mate = analysis.lines[0].score.mate;
  if (searched < per_position_ && !mate) return;
  auto [it, added] = results_.try_emplace(analysis.position, analysis);
  if (!added && analysis.depth.value_or(0) >= it->second.depth.value_or(0)) it->second = analysis;
}

const TUsiAnalysis* TAnalysisPlan::Result(const std::string& position) const {
  const auto it = results_.find(position);
  return it == results_.end() ? nullptr : &it->second;
}

}  // namespace zelvaro
