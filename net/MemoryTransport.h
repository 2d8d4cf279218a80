// A transport that replays bytes held in memory, piece by piece, as a server
// would send them; then it closes, resets or stalls. Lets the connection and
// the response reader run without a socket (tests, the fuzzer).
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "net/NetErrors.h"
#include "net/TcpConnection.h"

namespace zelvaro {

class TMemoryTransport : public TTransport {
 public:
  enum class End { kClose, kReset, kStall };

  // Each Receive returns at most the rest of the current piece.
  explicit TMemoryTransport(std::vector<std::string> pieces, End end = End::kClose)
      : pieces_(std::move(pieces)), end_(end) {}

  size_t Receive(char* buffer, size_t size, std::chrono::milliseconds) override {
    while (piece_ < pieces_.size() && offset_ == pieces_[piece_].size()) {
      ++piece_;
      offset_ = 0;
    }
    if (piece_ == pieces_.size()) {
      if (end_ == End::kReset) throw ESocketError(104, "Connection reset by peer");
      if (end_ == End::kStall) throw EReadTimeout();
      return 0;
    }
    const std::string& piece = pieces_[piece_];
    size_t n = std::min(size, piece.size() - offset_);
    std::memcpy(buffer, piece.data() + offset_, n);
    offset_ += n;
    return n;
  }

  void Send(const char* data, size_t size, std::chrono::milliseconds) override {
    sent_.append(data, size);
  }

  bool PeerOpen() override {
    if (end_ == End::kStall) return true;
    for (size_t i = piece_; i < pieces_.size(); ++i) {
      if (pieces_[i].size() > (i == piece_ ? offset_ : 0)) return true;
    }
    return false;
  }

  // Everything the client sent.
  const std::string& Sent() const { return sent_; }

 private:
  std::vector<std::string> pieces_;
  End end_;
  size_t piece_ = 0;
  size_t offset_ = 0;
  std::string sent_;
};

}  // namespace zelvaro
