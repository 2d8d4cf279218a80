// The encrypted connection handler: TLS (1.2 or newer, OpenSSL) over any
// open transport, a TCP connection or a tunnel through a proxy, behind the
// same TTransport interface, so that time limits, Abort, line and block
// reading and every cap of the HTTP client hold unchanged.
//
// The server's certificate is verified against the system's trusted
// certificates (OpenSSL's default paths; SSL_CERT_FILE and SSL_CERT_DIR
// name others, as for every OpenSSL program) and must be for the host name
// asked for (or its IP address). There is no way to turn this off.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "net/NetErrors.h"
#include "net/TcpConnection.h"

namespace zelvaro {

// A failed or broken encrypted connection; Kind says what went wrong and the
// message says it in words, naming the server.
class ETlsError : public ETcpError {
 public:
  enum class Kind {
    kUntrusted,     // the certificate's issuer is not trusted (self-signed, unknown CA)
    kExpired,       // the certificate has expired or is not valid yet
    kNameMismatch,  // the certificate is for another name
    kBrokenOff,     // the server closed or refused during the handshake
    kNotTls,        // the server answered with something that is not TLS
    kOldProtocol,   // the server offers only TLS older than 1.2 (or SSL)
    kOther,
  };
  ETlsError(Kind kind, const std::string& message) : ETcpError(message), kind_(kind) {}
  Kind GetKind() const { return kind_; }

 private:
  Kind kind_;
};

// The server ended the encrypted connection without closing TLS
// (close_notify): a body read up to the close may have been cut there. For
// the client's readers this is a close (EConnClosedGracefully), so that what
// is framed (a head, a trailer) is judged as after any close; a body that
// lasts until the close fails with this message.
class ETlsCut : public EConnClosedGracefully {
 public:
  explicit ETlsCut(const std::string& host);
};

class TTlsTransport : public TTransport {
 public:
  // Takes over `inner` (open). `host` is sent as the server name (SNI, for
  // a name) and is what the certificate must be for. Nothing is sent yet.
  TTlsTransport(std::unique_ptr<TTransport> inner, std::string host);
  // Sends close_notify when it can do so at once, then closes.
  ~TTlsTransport() override;

  // Runs the TLS handshake within `limit` (zero: none); EConnectTimeout when
  // it passes, ETlsError for a refused or failed handshake, EAborted after
  // Abort.
  void Handshake(std::chrono::milliseconds limit);

  size_t Receive(char* buffer, size_t size, std::chrono::milliseconds limit) override;
  void Send(const char* data, size_t size, std::chrono::milliseconds limit) override;
  bool PeerOpen() override;
  void Abort() override;

  // The protocol agreed ("TLSv1.3"), after the handshake.
  std::string Protocol() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zelvaro
