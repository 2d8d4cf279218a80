#include "net/FollowFetch.h"

#include <charconv>

#include "net/NetErrors.h"

namespace zelvaro {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

TFollowState::TValidators TFollowState::Next() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (refused_ || !last_) return {};
  return validators_;
}

std::shared_ptr<const TRecordLines> TFollowState::Last() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_;
}

bool TFollowState::Remember(TRecordLines lines, std::string etag, std::string last_modified,
                            std::string content_type) {
  size_t bytes = 0;
  for (const std::string& line : lines) bytes += line.size() + 1;
  std::shared_ptr<const TRecordLines> fresh;
  if (bytes <= kMaxKeptBytes) fresh = std::make_shared<const TRecordLines>(std::move(lines));
  std::lock_guard<std::mutex> lock(mutex_);
  content_type_ = std::move(content_type);
  const bool changed = !last_ || !fresh || *last_ != *fresh;
  last_ = std::move(fresh);
  validators_ = {};
  if (!last_) return changed;
  if (etag.size() <= kMaxValidatorSize && last_modified.size() <= kMaxValidatorSize) {
    validators_.etag = std::move(etag);
    validators_.last_modified = std::move(last_modified);
  }
  return changed;
}

std::string TFollowState::ContentType() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return content_type_;
}

void TFollowState::RefuseValidators() {
  std::lock_guard<std::mutex> lock(mutex_);
  refused_ = true;
}

bool TFollowState::ValidatorsRefused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return refused_;
}

std::shared_ptr<TFollowState> TFollowStates::For(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = states_.begin(); it != states_.end(); ++it) {
    if (it->first == url) {
      states_.splice(states_.begin(), states_, it);
      return states_.front().second;
    }
  }
  states_.emplace_front(url, std::make_shared<TFollowState>());
  if (states_.size() > kMaxAddresses) states_.pop_back();
  return states_.front().second;
}

std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value, TDateTime now) {
  value = TrimBlanks(value);
  if (value.empty()) return std::nullopt;
  if (value.find_first_not_of("0123456789") == std::string_view::npos) {
    int64_t seconds = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    // Past any wait we would keep anyway: as good as a very long one.
    if (ec == std::errc::result_out_of_range) return std::chrono::seconds(INT64_C(1) << 40);
    if (ec != std::errc() || end != value.data() + value.size()) return std::nullopt;
    return std::chrono::seconds(seconds);
  }
  // A date needs a weekday or month name; a bare "-5" or "1.5" is none.
  const std::optional<TDateTime> when = ParseHttpDate(value);
  if (!when) return std::nullopt;
  return *when > now ? *when - now : std::chrono::seconds(0);
}

}  // namespace zelvaro

namespace zelvaro {

std::optional<std::chrono::seconds> RetryAfterOf(const std::exception& failure) {
  const auto* error = dynamic_cast<const EHttpProtocolError*>(&failure);
  if (error == nullptr || (error->ErrorCode != 429 && error->ErrorCode != 503)) return std::nullopt;
  return ParseRetryAfter(error->RetryAfter, std::chrono::floor<std::chrono::seconds>(
                                                std::chrono::system_clock::now()));
}

}  // namespace zelvaro
