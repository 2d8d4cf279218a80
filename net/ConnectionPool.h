// The open connections that follow downloads leave for the next download
// from the same place (host, port, tunnel, TLS), one per place, and the
// turn-taking that keeps follows to one connection per place at a time: a
// download holds its place's lease from its connect to its end, and
// another download to that place waits for it.
//
// Thread-safe. A connection is kept only when its reply was read exactly
// to its end (nothing buffered beyond it) and the server left it open;
// whether it is still open when it is taken again is for the taker to find
// out (TTcpConnection::Connected), as is reopening it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/TcpConnection.h"

namespace zelvaro {

class TConnectionPool {
 public:
  using Clock = std::chrono::steady_clock;

  // Connections idle longer than this are closed rather than reused: most
  // servers have closed theirs by then.
  static constexpr std::chrono::seconds kDefaultMaxIdle{120};
  // Places whose connection is kept; the one idle longest goes first.
  static constexpr size_t kMaxKept = 16;

  TConnectionPool() = default;
  TConnectionPool(const TConnectionPool&) = delete;
  TConnectionPool& operator=(const TConnectionPool&) = delete;

  // The pool every follow download of the program shares.
  static TConnectionPool& Shared();

  std::chrono::milliseconds MaxIdle{kDefaultMaxIdle};

  // One download's hold on a place. Gives the place back when destroyed,
  // keeping the connection handed to Keep, if any.
  class TLease {
   public:
    TLease(TLease&& other) noexcept;
    TLease& operator=(TLease&&) = delete;
    ~TLease();
    const std::string& Key() const { return key_; }
    // The connection kept for the place (null: none); the lease holds it
    // no more.
    std::unique_ptr<TTransport> Take() { return std::move(transport_); }
    // Keeps `transport` for the next download to the place.
    void Keep(std::unique_ptr<TTransport> transport) { transport_ = std::move(transport); }

   private:
    friend class TConnectionPool;
    TLease(TConnectionPool* pool, std::string key, std::unique_ptr<TTransport> transport)
        : pool_(pool), key_(std::move(key)), transport_(std::move(transport)) {}
    TConnectionPool* pool_;
    std::string key_;
    std::unique_ptr<TTransport> transport_;
  };

  // Waits until no other lease of `key` is held, then gives one with the
  // connection kept for it. `aborted` is asked while waiting; nothing when
  // it says yes.
  std::optional<TLease> Acquire(const std::string& key, const std::function<bool()>& aborted);

  // Closes every kept connection.
  void Clear();
  // How many connections are kept (tests).
  size_t Kept() const;

 private:
  struct Place {
    bool leased = false;
    std::unique_ptr<TTransport> transport;
    Clock::time_point since;
  };
  void GiveBack(const std::string& key, std::unique_ptr<TTransport> transport);

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, Place> places_;
};

}  // namespace zelvaro
