#include "engine/AnalysisSessionCore.h"

namespace zelvaro {

bool TAnalysisSessionCore::SetShown(const std::string& position) {
  if (position == plan_.Shown()) return false;
  plan_.SetShown(position);
  const TUsiAnalysis* kept = plan_.Result(position);
  shown_ = kept ? *kept : TUsiAnalysis{};
  shown_.position = position;
  return true;
}

std::optional<TAnalysisSessionCore::Switch> TAnalysisSessionCore::Schedule() {
  const std::optional<TAnalysisPlan::Job> next = plan_.Next();
  if (job_ && next && *job_ == *next) return std::nullopt;
  if (!job_ && !next) return std::nullopt;
  job_ = next;
  live_ = {};
  return Switch{next};
}

TAnalysisSessionCore::InfoOutcome TAnalysisSessionCore::OnInfo(const TUsiInfo& info,
                                                               std::uint64_t client_serial) {
  InfoOutcome outcome;
  if (info.serial != client_serial) return outcome;  // a search that was stopped
  if (live_.position != info.position || live_.serial != info.serial) {
    live_ = {};
    outcome.first = true;
  }
  live_.Add(info);
  if (info.position == plan_.Shown() && live_.HasScore()) {
    // Never shows less than the kept result did.
    const TUsiAnalysis* kept = plan_.Result(plan_.Shown());
    if (kept == nullptr || live_.depth.value_or(0) >= kept->depth.value_or(0)) {
      shown_ = live_;
      outcome.shown = true;
    }
  }
  return outcome;
}

std::optional<std::string> TAnalysisSessionCore::OnBestMove(const TUsiInfo& info,
                                                            std::uint64_t client_serial,
                                                            std::chrono::milliseconds searched) {
  if (info.serial != client_serial || !job_ || job_->position != info.position) return std::nullopt;
  if (live_.position == info.position) plan_.Done(live_, searched);
  plan_.Finished(info.position);
  job_.reset();
  return info.position;
}

std::optional<std::string> TAnalysisSessionCore::OnTimeUp(std::chrono::milliseconds searched) {
  if (!job_) return std::nullopt;
  std::optional<std::string> kept;
  if (live_.position == job_->position) {
    plan_.Done(live_, searched);
    if (plan_.Result(job_->position)) kept = job_->position;
  }
  job_.reset();
  return kept;
}

void TAnalysisSessionCore::Clear() {
  plan_.Clear();
  shown_ = TUsiAnalysis{};
  shown_.position = plan_.Shown();
}

}  // namespace zelvaro
