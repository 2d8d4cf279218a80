#include "net/ConnectionPool.h"

#include <utility>
#include <vector>

namespace zelvaro {

TConnectionPool& TConnectionPool::Shared() {
  // Never destroyed: a kept TLS connection must not be freed after the TLS
  // library has been torn down at exit; the system closes the sockets.
  static TConnectionPool* const pool = new TConnectionPool;
  return *pool;
}

TConnectionPool::TLease::TLease(TLease&& other) noexcept
    : pool_(std::exchange(other.pool_, nullptr)),
      key_(std::move(other.key_)),
      transport_(std::move(other.transport_)) {}

TConnectionPool::TLease::~TLease() {
  if (pool_ != nullptr) pool_->GiveBack(key_, std::move(transport_));
}

std::optional<TConnectionPool::TLease> TConnectionPool::Acquire(
    const std::string& key, const std::function<bool()>& aborted) {
  std::unique_ptr<TTransport> stale;  // closed outside the lock
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    Place& place = places_[key];
    if (!place.leased) {
      place.leased = true;
      std::unique_ptr<TTransport> transport = std::move(place.transport);
      if (transport && Clock::now() - place.since > MaxIdle) stale = std::move(transport);
      lock.unlock();
      return TLease(this, key, std::move(transport));
    }
    if (aborted && aborted()) return std::nullopt;
    released_.wait_for(lock, std::chrono::milliseconds(50));
  }
}

void TConnectionPool::GiveBack(const std::string& key, std::unique_ptr<TTransport> transport) {
  std::vector<std::unique_ptr<TTransport>> closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Place& place = places_[key];
    place.leased = false;
    place.transport = std::move(transport);
    place.since = Clock::now();
    // Places without a connection or a holder are forgotten; past the
    // bound, the connections idle longest are closed.
    size_t kept = 0;
    for (auto it = places_.begin(); it != places_.end();) {
      if (!it->second.leased && !it->second.transport) {
        it = places_.erase(it);
      } else {
        kept += it->second.transport ? 1 : 0;
        ++it;
      }
    }
    while (kept > kMaxKept) {
      auto oldest = places_.end();
      for (auto it = places_.begin(); it != places_.end(); ++it) {
        if (it->second.transport &&
            (oldest == places_.end() || it->second.since < oldest->second.since))
          oldest = it;
      }
      closing.push_back(std::move(oldest->second.transport));
      if (!oldest->second.leased) places_.erase(oldest);
      --kept;
    }
  }
  released_.notify_all();
}

void TConnectionPool::Clear() {
  std::vector<std::unique_ptr<TTransport>> closing;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [key, place] : places_) {
    if (place.transport) closing.push_back(std::move(place.transport));
  }
}

size_t TConnectionPool::Kept() const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t kept = 0;
  for (const auto& [key, place] : places_) kept += place.transport ? 1 : 0;
  return kept;
}

}  // namespace zelvaro
