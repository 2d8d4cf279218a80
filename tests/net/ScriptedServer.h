// A scripted HTTP peer on 127.0.0.1 for tests: it accepts connections one
// after the other, runs one script per connection (read a request, send
// bytes, pause, half-close, reset) and records the exact request bytes.
//
//   ScriptedServer server({{ReadRequest(), Send("HTTP/1.1 200 OK\r\n...")}});
//   client.Get(server.Url("/a"), &body);
//   EXPECT_EQ(server.Requests()[0], "GET /a HTTP/1.1\r\n...");
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zelvaro::testing {

struct Step {
  enum class Kind { kReadRequest, kSend, kPause, kHalfClose, kReset, kAwaitClose };
  Kind kind;
  std::string bytes;
  std::chrono::milliseconds pause{0};
};

// Reads one request: the head up to the empty line and a Content-Length body.
inline Step ReadRequest() { return {Step::Kind::kReadRequest, {}, {}}; }
inline Step Send(std::string bytes) { return {Step::Kind::kSend, std::move(bytes), {}}; }
inline Step Pause(std::chrono::milliseconds ms) { return {Step::Kind::kPause, {}, ms}; }
// Ends our sending side (the client sees the end of the data).
inline Step HalfClose() { return {Step::Kind::kHalfClose, {}, {}}; }
// Aborts the connection: the client sees a reset.
inline Step Reset() { return {Step::Kind::kReset, {}, {}}; }
// Waits (up to 5 s) until the client closes its side.
inline Step AwaitClose() { return {Step::Kind::kAwaitClose, {}, {}}; }

using Script = std::vector<Step>;

// A listening socket on 127.0.0.1 with a free port.
inline int ListenLoopback(int backlog, uint16_t& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, backlog) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen failed");
  }
  socklen_t length = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  port = ntohs(addr.sin_port);
  return fd;
}

class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<Script> scripts) : scripts_(std::move(scripts)) {
    listener_ = ListenLoopback(16, port_);
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    ::close(listener_);
  }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t Port() const { return port_; }
  std::string Url(std::string_view path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }
  // Every request read so far, head and body, byte for byte.
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  int Accepted() const { return accepted_.load(); }
  // Waits (up to 5 s) until every script has run.
  bool WaitDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; });
  }

 private:
  bool Stopping() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_;
  }

  // Waits for `events` on `fd` in short steps so that a stop is noticed;
  // false on stop or after `limit`.
  bool Await(int fd, short events, std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!Stopping() && std::chrono::steady_clock::now() < until) {
      pollfd p{fd, events, 0};
      int n = ::poll(&p, 1, 20);
      if (n > 0) return true;
      if (n < 0 && errno != EINTR) return false;
    }
    return false;
  }

  void Run() {
    for (const Script& script : scripts_) {
      if (!Await(listener_, POLLIN, std::chrono::seconds(30))) break;
      int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) break;
      ++accepted_;
      bool open = true;
      for (const Step& step : script) {
        if (!open || Stopping()) break;
        open = RunStep(fd, step);
      }
      if (fd >= 0 && open) {
        // Take what the client sent unasked, so closing is a FIN, not a reset.
        char sink[4096];
        while (::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
        }
      }
      ::close(fd);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    wake_.notify_all();
  }

  // Runs one step; false once the connection is gone.
  bool RunStep(int& fd, const Step& step) {
    switch (step.kind) {
      case Step::Kind::kReadRequest: {
        std::string request;
        if (!ReadHead(fd, request)) return false;
        size_t length = ContentLength(request);
        size_t headEnd = request.find("\r\n\r\n") + 4;
        while (request.size() < headEnd + length) {
          if (!ReadSome(fd, request)) break;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(std::move(request));
        return true;
      }
      case Step::Kind::kSend: {
        std::string_view rest = step.bytes;
        while (!rest.empty()) {
          ssize_t n = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
          if (n < 0 && errno == EINTR) continue;
          if (n <= 0) return false;
          rest.remove_prefix(static_cast<size_t>(n));
        }
        return true;
      }
      case Step::Kind::kPause: {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, step.pause, [this] { return stop_; });
        return true;
      }
      case Step::Kind::kHalfClose:
        ::shutdown(fd, SHUT_WR);
        return true;
      case Step::Kind::kReset: {
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        return false;
      }
      case Step::Kind::kAwaitClose: {
        std::string ignored;
        while (Await(fd, POLLIN, std::chrono::seconds(5)) && ReadSome(fd, ignored)) {
        }
        return true;
      }
    }
    return false;
  }

  bool ReadSome(int fd, std::string& into) {
    if (!Await(fd, POLLIN, std::chrono::seconds(5))) return false;
    char buffer[8192];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    into.append(buffer, static_cast<size_t>(n));
    return true;
  }

  // Reads up to the empty line; a read may run past it into the body.
  bool ReadHead(int fd, std::string& into) {
    while (into.find("\r\n\r\n") == std::string::npos) {
      if (!ReadSome(fd, into)) return false;
    }
    return true;
  }

  static size_t ContentLength(const std::string& request) {
    std::string lower = request.substr(0, request.find("\r\n\r\n"));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return std::stoul(lower.substr(at + 17));
  }

  std::vector<Script> scripts_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool done_ = false;
  std::atomic<int> accepted_{0};
  std::vector<std::string> requests_;
};

// A listener whose accept queue is full and never served: a connect to it
// neither succeeds nor fails, it waits. For connect time-limit tests.
class FullBacklogListener {
 public:
  FullBacklogListener() {
    listener_ = ListenLoopback(0, port_);
    // Fill the queue until a connect no longer completes at once.
    for (int i = 0; i < 16; ++i) {
      int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      fillers_.push_back(fd);
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      addr.sin_port = htons(port_);
      ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 200) == 0) break;
    }
  }
  ~FullBacklogListener() {
    for (int fd : fillers_) ::close(fd);
    ::close(listener_);
  }
  uint16_t Port() const { return port_; }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace zelvaro::testing
