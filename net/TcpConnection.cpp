#include "net/TcpConnection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "net/NetErrors.h"
#include "net/Proxy.h"
#include "net/TlsTransport.h"

namespace zelvaro {

ESocketError::ESocketError(int errorNumber, const std::string& text)
    : ETcpError("Socket Error # " + std::to_string(errorNumber) + "\r\n" + text),
      errorNumber_(errorNumber) {}

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Calls `call` again for as long as it fails with EINTR. The one place
// interrupted system calls are retried.
template <typename Call>
auto RetryOnInterrupt(Call call) -> decltype(call()) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

[[noreturn]] void ThrowSystemError(int error) {
  throw ESocketError(error, std::system_category().message(error));
}

// A deadline `limit` from now; zero means none.
struct Deadline {
  explicit Deadline(milliseconds limit) : unlimited(limit.count() <= 0), at(Clock::now() + limit) {}
  // The poll timeout left: -1 for none, 0 once passed.
  int PollTimeout() const {
    if (unlimited) return -1;
    auto left = std::chrono::ceil<milliseconds>(at - Clock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, 1 << 30));
  }
  bool unlimited;
  Clock::time_point at;
};

// Waits until `fd` shows one of `events` or the deadline passes; returns
// the events seen, 0 on time-out.
short WaitFor(int fd, short events, const Deadline& deadline) {
  pollfd p{fd, events, 0};
  int n = RetryOnInterrupt([&] { return ::poll(&p, 1, deadline.PollTimeout()); });
  if (n < 0) ThrowSystemError(errno);
  return n == 0 ? 0 : p.revents;
}

class SocketTransport : public TTransport {
 public:
  explicit SocketTransport(int fd) : fd_(fd) {}
  ~SocketTransport() override { ::close(fd_); }

  size_t Receive(char* buffer, size_t size, milliseconds limit) override {
    Deadline deadline(limit);
    for (;;) {
      if (aborted_.load()) throw EAborted();
      ssize_t n = RetryOnInterrupt([&] { return ::recv(fd_, buffer, size, 0); });
      // A shut-down socket reads as closed: that is no end of the reply.
      if (aborted_.load()) throw EAborted();
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EAGAIN && errno != EWOULDBLOCK) ThrowSystemError(errno);
      if (WaitFor(fd_, POLLIN, deadline) == 0) throw EReadTimeout();
    }
  }

  void Send(const char* data, size_t size, milliseconds limit) override {
    while (size > 0) {
      if (aborted_.load()) throw EAborted();
      ssize_t n = RetryOnInterrupt([&] { return ::send(fd_, data, size, MSG_NOSIGNAL); });
      if (aborted_.load()) throw EAborted();
      if (n >= 0) {
        data += n;
        size -= static_cast<size_t>(n);
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) ThrowSystemError(errno);
      if (WaitFor(fd_, POLLOUT, Deadline(limit)) == 0) throw EWriteTimeout();
    }
  }

  bool PeerOpen() override {
    if (aborted_.load()) return false;
    char byte;
    ssize_t n = RetryOnInterrupt([&] { return ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT); });
    if (n > 0) return true;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }

  // Shutting the socket down wakes a poll or recv on it in another thread;
  // the descriptor stays open until the owner destroys the transport.
  void Abort() override {
    aborted_.store(true);
    ::shutdown(fd_, SHUT_RDWR);
  }

  bool Aborted() const { return aborted_.load(); }

 private:
  const int fd_;
  std::atomic<bool> aborted_{false};
};

// Watches a transport for as long as the connect works on it.
class WatchDuringConnect {
 public:
  WatchDuringConnect(TAbortSignal* signal, TTransport* transport) : signal_(signal) {
    if (signal_) signal_->Watch(transport);
  }
  ~WatchDuringConnect() {
    if (signal_) signal_->Watch(nullptr);
  }
  WatchDuringConnect(const WatchDuringConnect&) = delete;
  WatchDuringConnect& operator=(const WatchDuringConnect&) = delete;

 private:
  TAbortSignal* signal_;
};

}  // namespace

TTransport::~TTransport() = default;

void TAbortSignal::Abort() {
  std::lock_guard<std::mutex> lock(mutex_);
  aborted_.store(true);
  if (watched_) watched_->Abort();
}

void TAbortSignal::Watch(TTransport* transport) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (transport && aborted_.load()) {
    watched_ = nullptr;
    throw EAborted();
  }
  watched_ = transport;
}

std::unique_ptr<TTransport> ConnectTcp(const std::string& host, uint16_t port, milliseconds limit,
                                       TAbortSignal* abort) {
  auto check_abort = [abort] {
    if (abort && abort->Aborted()) throw EAborted();
  };
  check_abort();
  Deadline deadline(limit);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
  std::string name = host;
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  addrinfo* found = nullptr;
  int rc = ::getaddrinfo(name.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (rc != 0) {
    if (rc == EAI_SYSTEM) ThrowSystemError(errno);
    throw ESocketError(rc, ::gai_strerror(rc));
  }
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
  check_abort();

  int lastError = ECONNREFUSED;
  for (addrinfo* a = addresses.get(); a != nullptr; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    auto transport = std::make_unique<SocketTransport>(fd);
    WatchDuringConnect watch(abort, transport.get());
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int error = 0;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      error = errno;
      if (error == EINPROGRESS || error == EINTR) {
        if (WaitFor(fd, POLLOUT, deadline) == 0) throw EConnectTimeout();
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
      }
    }
    // A connect cut short by an abort may look like one that succeeded.
    if (transport->Aborted()) throw EAborted();
    if (error == 0) return transport;
    lastError = error;
    if (deadline.PollTimeout() == 0) throw EConnectTimeout();
  }
  ThrowSystemError(lastError);
}

TTcpConnection::~TTcpConnection() { abort_.Watch(nullptr); }

void TTcpConnection::Attach(std::unique_ptr<TTransport> transport) {
  if (transport_) throw EAlreadyConnected();
  abort_.Watch(transport.get());
  transport_ = std::move(transport);
  peerClosed_ = false;
  start_ = end_ = 0;
  writeBuffering_ = false;
  writeBuffer_.clear();
}

void TTcpConnection::Disconnect() {
  abort_.Watch(nullptr);
  transport_.reset();
  peerClosed_ = false;
  start_ = end_ = 0;
  writeBuffering_ = false;
  writeBuffer_.clear();
}

std::unique_ptr<TTransport> TTcpConnection::Detach() {
  abort_.Watch(nullptr);
  std::unique_ptr<TTransport> transport = std::move(transport_);
  Disconnect();
  return transport;
}

bool TTcpConnection::Connected() {
  if (!transport_) return false;
  if (Buffered() > 0) return true;
  if (!peerClosed_ && !transport_->PeerOpen()) peerClosed_ = true;
  return !peerClosed_;
}

milliseconds TTcpConnection::WaitLimit(milliseconds limit, bool& deadline_decides) {
  deadline_decides = false;
  if (!deadline_) return limit;
  const auto left = std::chrono::ceil<milliseconds>(*deadline_ - Clock::now());
  if (left.count() <= 0) {
    Disconnect();
    throw ERequestTimeout();
  }
  if (limit.count() > 0 && limit <= left) return limit;
  deadline_decides = true;
  return left;
}

size_t TTcpConnection::ReceiveSome(char* dest, size_t size) {
  if (abort_.Aborted()) {
    Disconnect();
    throw EAborted();
  }
  if (peerClosed_) return 0;
  if (!transport_) throw ENotConnected();
  bool deadline_decides;
  const milliseconds limit = WaitLimit(ReadTimeout, deadline_decides);
  size_t n;
  try {
    n = transport_->Receive(dest, size, limit);
  } catch (const EReadTimeout&) {
    Disconnect();
    if (deadline_decides) throw ERequestTimeout();
    throw;
  } catch (...) {
    Disconnect();
    throw;
  }
  if (n == 0) peerClosed_ = true;
  received_ += n;
  return n;
}

bool TTcpConnection::Fill() {
  if (start_ == end_) {
    start_ = end_ = 0;
  } else if (start_ > 0 && input_.size() - end_ < RecvBufferSize) {
    std::memmove(input_.data(), input_.data() + start_, Buffered());
    end_ -= start_;
    start_ = 0;
  }
  if (input_.size() < end_ + RecvBufferSize) input_.resize(end_ + RecvBufferSize);
  size_t n = ReceiveSome(input_.data() + end_, RecvBufferSize);
  end_ += n;
  return n > 0;
}

void TTcpConnection::Consume(size_t n) {
  start_ += n;
  if (start_ == end_) start_ = end_ = 0;
}

std::string TTcpConnection::ReadLine() {
  if (!transport_) throw ENotConnected();
  size_t scanned = 0;
  for (;;) {
    const char* begin = input_.data() + start_;
    const void* lf =
        scanned < Buffered() ? std::memchr(begin + scanned, '\n', Buffered() - scanned) : nullptr;
    if (lf != nullptr) {
      size_t length = static_cast<size_t>(static_cast<const char*>(lf) - begin);
      size_t lineLength = length > 0 && begin[length - 1] == '\r' ? length - 1 : length;
      if (lineLength > MaxLineLength) {
        Disconnect();
        throw EMaxLineLengthExceeded();
      }
      std::string line(begin, lineLength);
      Consume(length + 1);
      return line;
    }
    scanned = Buffered();
    // Without an LF yet, a line already longer than the limit (its CR
    // aside) cannot end in time.
    if (scanned > MaxLineLength + 1) {
      Disconnect();
      throw EMaxLineLengthExceeded();
    }
    if (!Fill()) throw EConnClosedGracefully();
  }
}

int64_t TTcpConnection::ReadStream(TStream* target, int64_t count) {
  if (!transport_) throw ENotConnected();
  const bool untilClose = count < 0;
  int64_t remaining = count;
  int64_t moved = 0;
  auto deliver = [target, &moved](const char* bytes, size_t n) {
    if (target != nullptr && n > 0) target->WriteBuffer(bytes, static_cast<int64_t>(n));
    moved += static_cast<int64_t>(n);
  };

  size_t take =
      untilClose ? Buffered() : static_cast<size_t>(std::min<int64_t>(Buffered(), remaining));
  while (take > 0) {
    size_t piece = std::min(take, RecvBufferSize);
    deliver(input_.data() + start_, piece);
    Consume(piece);
    take -= piece;
    remaining -= static_cast<int64_t>(piece);
  }

  std::vector<char> block;
  while ((untilClose || remaining > 0) && !peerClosed_) {
    size_t want = untilClose ? RecvBufferSize
                             : static_cast<size_t>(std::min<int64_t>(remaining, RecvBufferSize));
    if (block.size() < want) block.resize(want);
    size_t have = 0;
    while (have < want) {
      size_t n = ReceiveSome(block.data() + have, want - have);
      if (n == 0) break;
      have += n;
    }
    deliver(block.data(), have);
    remaining -= static_cast<int64_t>(have);
    if (have < want) break;
  }
  return moved;
}

void TTcpConnection::Write(std::string_view bytes) {
  if (writeBuffering_) {
    writeBuffer_ += bytes;
    return;
  }
  if (abort_.Aborted()) {
    Disconnect();
    throw EAborted();
  }
  if (!transport_) throw ENotConnected();
  bool deadline_decides;
  const milliseconds limit = WaitLimit(ReadTimeout, deadline_decides);
  try {
    transport_->Send(bytes.data(), bytes.size(), limit);
  } catch (const EWriteTimeout&) {
    Disconnect();
    if (deadline_decides) throw ERequestTimeout();
    throw;
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TTcpConnection::OpenWriteBuffer() {
  writeBuffering_ = true;
  writeBuffer_.clear();
}

void TTcpConnection::FlushWriteBuffer() {
  writeBuffering_ = false;
  std::string pending;
  pending.swap(writeBuffer_);
  if (!pending.empty()) Write(pending);
}

void TTcpClient::Connect() {
  if (HasTransport()) throw EAlreadyConnected();
  if (abort_.Aborted()) throw EAborted();
  const auto started = Clock::now();
  bool deadline_decides;
  const milliseconds limit = WaitLimit(ConnectTimeout, deadline_decides);
  const std::string proxy =
      TunnelHost.empty() && !ViaProxy ? std::string() : Host + ":" + std::to_string(Port);
  try {
    try {
      Attach(Connector ? Connector(Host, Port, limit) : ConnectTcp(Host, Port, limit, &abort_));
    } catch (const ETcpError& e) {
      if (proxy.empty() || dynamic_cast<const EAborted*>(&e)) throw;
      if (deadline_decides && dynamic_cast<const EConnectTimeout*>(&e)) throw;
      throw EProxyError("プロキシ " + proxy + " に接続できません (" + e.Message() + ")");
    }
    if (!TunnelHost.empty()) {
      OpenTunnel(*this, TunnelHost, TunnelPort, TunnelAuthorization, proxy);
      if (HasBufferedBytes()) {
        throw EProxyError("プロキシ " + proxy + " が CONNECT への応答より多くを送りました。");
      }
    }
    if (!TlsHost.empty()) {
      auto tls = std::make_unique<TTlsTransport>(Detach(), TlsHost);
      TTlsTransport* handshaking = tls.get();
      Attach(std::move(tls));  // watched from now on: Abort ends the handshake too
      milliseconds left{0};
      if (limit.count() > 0) {
        left = std::max(limit - std::chrono::ceil<milliseconds>(Clock::now() - started),
                        milliseconds(1));
      } else if (ReadTimeout.count() > 0) {
        left = ReadTimeout;
      }
      handshaking->Handshake(left);
    }
  } catch (const EConnectTimeout&) {
    Disconnect();
    if (deadline_decides) throw ERequestTimeout();
    throw;
  } catch (...) {
    Disconnect();
    throw;
  }
}

}  // namespace zelvaro
