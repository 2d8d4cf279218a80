// The byte connection under the HTTP client.
//
// TTransport is the raw pipe (a socket, or scripted bytes in tests and the
// fuzzer). TTcpConnection puts one input buffer in front of it and reads
// lines and counted blocks from it; TTcpClient also opens the socket.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "streams/Stream.h"

namespace zelvaro {

class TTransport {
 public:
  virtual ~TTransport();
  // Receives up to `size` (> 0) bytes; 0 means the peer closed its side.
  // Waits at most `limit` (zero: no limit), then throws EReadTimeout. Other
  // failures (a reset) throw ESocketError.
  virtual size_t Receive(char* buffer, size_t size, std::chrono::milliseconds limit) = 0;
  // Sends every byte, waiting at most `limit` each time the peer takes
  // nothing (EWriteTimeout); ESocketError when the peer is gone.
  virtual void Send(const char* data, size_t size, std::chrono::milliseconds limit) = 0;
  // Without waiting: false once the peer has closed or reset.
  virtual bool PeerOpen() = 0;
  // Callable from any thread while another one receives or sends: the wait
  // in progress and every later one end at once with EAborted. A transport
  // that never waits needs nothing here.
  virtual void Abort() {}
};

// Ends the waits of one connection from any thread: Abort aborts the
// transport being watched, and every transport watched afterwards. Once
// given, the signal stays.
class TAbortSignal {
 public:
  void Abort();
  bool Aborted() const { return aborted_.load(); }
  // Watches `transport` (null: none) instead of the one before. Throws
  // EAborted, watching nothing, when the signal has been given: nothing may
  // start waiting after it.
  void Watch(TTransport* transport);

 private:
  std::mutex mutex_;
  TTransport* watched_ = nullptr;
  std::atomic<bool> aborted_{false};
};

// Opens a transport to host:port within `limit` (zero: no limit).
using TConnector = std::function<std::unique_ptr<TTransport>(const std::string& host, uint16_t port,
                                                             std::chrono::milliseconds limit)>;

// Resolves `host` and connects a TCP socket to it with a non-blocking
// connect. Throws EConnectTimeout ("Connect timed out.") when `limit`
// passes first, ESocketError when resolution or the connect fails. With an
// `abort` signal, the socket is watched from its creation on, so a connect
// in progress ends with EAborted when the signal is given (the name lookup
// before it cannot be interrupted; the signal is checked after it).
std::unique_ptr<TTransport> ConnectTcp(const std::string& host, uint16_t port,
                                       std::chrono::milliseconds limit,
                                       TAbortSignal* abort = nullptr);

class TTcpConnection {
 public:
  static constexpr size_t RecvBufferSize = 32768;
  static constexpr size_t SendBufferSize = 32768;

  TTcpConnection() = default;
  TTcpConnection(const TTcpConnection&) = delete;
  TTcpConnection& operator=(const TTcpConnection&) = delete;
  virtual ~TTcpConnection();

  size_t MaxLineLength = 16384;
  // Longest wait for the next bytes from the server (zero: no limit).
  std::chrono::milliseconds ReadTimeout{30000};

  // The time by which everything must be done (none: no such limit). Past
  // it every receive, send and connect throws ERequestTimeout ("Request
  // timed out.") and the connection is closed, however steadily the server
  // trickles bytes.
  using Clock = std::chrono::steady_clock;
  void SetDeadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }

  // Takes over an open transport. Throws EAlreadyConnected when one is open,
  // EAborted after Abort.
  void Attach(std::unique_ptr<TTransport> transport);
  // Callable from any thread, also while another thread waits in this
  // connection: that wait ends at once (the socket is shut down), and every
  // later connect, receive or send throws EAborted. For abandoning a request
  // nobody waits for any more; the connection serves no request after it.
  void Abort() { abort_.Abort(); }
  bool Aborted() const { return abort_.Aborted(); }
  // Drops the transport and whatever is buffered.
  void Disconnect();
  // Hands the transport over (to wrap it in TLS, say) and disconnects.
  // Bytes still buffered are dropped: check HasBufferedBytes first.
  std::unique_ptr<TTransport> Detach();
  bool HasBufferedBytes() const { return end_ > start_; }
  // Whether there is a transport and the server has not closed it, or
  // bytes it sent are still buffered. Notices a close without waiting.
  bool Connected();
  bool HasTransport() const { return transport_ != nullptr; }
  // Bytes received over the life of this object, whatever became of them:
  // tells whether a server answered anything at all.
  uint64_t BytesReceived() const { return received_; }

  // The next line without its LF and one CR before it. Throws
  // EConnClosedGracefully when the server closes first (any partial line is
  // dropped), EMaxLineLengthExceeded past MaxLineLength, EReadTimeout,
  // ENotConnected without a transport.
  std::string ReadLine();

  // Moves `count` bytes (-1: until the server closes) to `target` (null:
  // discard): what is buffered first, then blocks of up to 32768 bytes,
  // each one write made once the block is complete or the server closed. A
  // close before `count` bytes ends the read without an error; the result
  // tells how many bytes were moved. Every write is at most 32768 bytes.
  int64_t ReadStream(TStream* target, int64_t count);

  // Sends now, or collects into the write buffer while one is open.
  void Write(std::string_view bytes);
  void OpenWriteBuffer();
  // Sends what was collected and closes the write buffer.
  void FlushWriteBuffer();

 protected:
  // How long the next wait may take: `limit` (zero: none), shortened to
  // what is left before the deadline. `deadline_decides` tells whether the
  // deadline is what set it. Throws ERequestTimeout (and disconnects) once
  // the deadline has passed.
  std::chrono::milliseconds WaitLimit(std::chrono::milliseconds limit, bool& deadline_decides);

  TAbortSignal abort_;

 private:
  size_t Buffered() const { return end_ - start_; }
  // Receives once into the input buffer; false when the server closed.
  bool Fill();
  // Receives once into `dest`; 0 when the server closed.
  size_t ReceiveSome(char* dest, size_t size);
  void Consume(size_t n);

  std::unique_ptr<TTransport> transport_;
  std::optional<Clock::time_point> deadline_;
  uint64_t received_ = 0;
  bool peerClosed_ = false;
  std::vector<char> input_;
  size_t start_ = 0;
  size_t end_ = 0;
  bool writeBuffering_ = false;
  std::string writeBuffer_;
};

class TTcpClient : public TTcpConnection {
 public:
  std::string Host;
  uint16_t Port = 80;
  // Longest wait for the connection (zero: no limit).
  std::chrono::milliseconds ConnectTimeout{0};
  // How connections are opened (tests, fuzzer); when empty, ConnectTcp with
  // this connection's abort signal, so that Abort also ends a connect.
  TConnector Connector;

  // With a TunnelHost, Host:Port is a proxy that is asked (CONNECT) for a
  // tunnel to TunnelHost:TunnelPort, sending TunnelAuthorization when set.
  std::string TunnelHost;
  // Host:Port is a proxy (also without a tunnel): a failure to reach it
  // names the proxy.
  bool ViaProxy = false;
  uint16_t TunnelPort = 0;
  std::string TunnelAuthorization;
  // With a TlsHost, TLS runs over the connection (or the tunnel), for a
  // server that must show a certificate for TlsHost (net/TlsTransport.h).
  std::string TlsHost;

  // Opens the connection to Host:Port, then the tunnel and TLS when asked
  // for; the TLS handshake must end within what is left of ConnectTimeout.
  // Throws EAlreadyConnected when one is open, EAborted after Abort, what
  // the connector throws, EProxyError and ETlsError. Nothing stays open
  // after a failure.
  void Connect();
};

}  // namespace zelvaro
