// A loopback HTTP server for benchmarks: every connection gets one fixed
// reply (head and body), chosen by the request's path, and is then closed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <thread>

namespace zelvaro::bench {

// A listening socket on 127.0.0.1 at a port the system picks (set in `port`).
inline int ListenOnLoopback(uint16_t& port) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::listen(listener, 128);
  socklen_t length = sizeof addr;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &length);
  port = ntohs(addr.sin_port);
  return listener;
}

class LoopbackServer {
 public:
  // `replies` maps a path ("/gzip") to the whole reply for it; the reply of
  // the empty path answers every other request.
  explicit LoopbackServer(std::map<std::string, std::string> replies)
      : replies_(std::move(replies)) {
    listener_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  uint16_t Port() const { return port_; }
  std::string Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }

 private:
  const std::string& ReplyFor(std::string_view request) const {
    for (const auto& [path, reply] : replies_) {
      if (!path.empty() && request.find(" " + path + " ") != std::string_view::npos) return reply;
    }
    return replies_.at("");
  }

  void Serve() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      std::string_view rest = ReplyFor(request);
      while (!rest.empty()) {
        ssize_t n = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        rest.remove_prefix(static_cast<size_t>(n));
      }
      ::shutdown(fd, SHUT_WR);
      ::close(fd);
    }
  }

  std::map<std::string, std::string> replies_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zelvaro::bench
