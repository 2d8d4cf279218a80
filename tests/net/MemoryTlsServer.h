// A TLS server in memory, as a transport for the client: what the client
// sends goes to a server-side OpenSSL object, which answers the handshake
// and then sends the scripted pieces, each as TLS records of its own; then
// it ends as TMemoryTransport does (close_notify and close, reset, stall).
// Its certificate is for "fuzz.example" from the test authority, which
// SSL_CERT_FILE names. For the fuzzer and tests that need no socket.
#pragma once

#include <openssl/ssl.h>

#include <string>
#include <vector>

#include "net/MemoryTransport.h"
#include "tests/common/TlsTestSupport.h"

namespace zelvaro::testing {

inline SSL_CTX* MemoryTlsServerContext() {
  static SSL_CTX* ctx = [] {
    const TestCert cert = TrustedTestCa().Issue({"fuzz.example"}, {});
    SSL_CTX* made = SSL_CTX_new(TLS_server_method());
    BIO* c = BIO_new_mem_buf(cert.cert_pem.data(), static_cast<int>(cert.cert_pem.size()));
    X509* x = PEM_read_bio_X509(c, nullptr, nullptr, nullptr);
    BIO* k = BIO_new_mem_buf(cert.key_pem.data(), static_cast<int>(cert.key_pem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(k, nullptr, nullptr, nullptr);
    SSL_CTX_use_certificate(made, x);
    SSL_CTX_use_PrivateKey(made, key);
    // No session tickets: every connection is one handshake and the reply.
    SSL_CTX_set_num_tickets(made, 0);
    X509_free(x);
    EVP_PKEY_free(key);
    BIO_free(c);
    BIO_free(k);
    return made;
  }();
  return ctx;
}

class MemoryTlsServer : public TTransport {
 public:
  using End = TMemoryTransport::End;
  explicit MemoryTlsServer(std::vector<std::string> pieces, End end = End::kClose)
      : pieces_(std::move(pieces)), end_(end) {
    ssl_ = SSL_new(MemoryTlsServerContext());
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(BIO_s_mem());
    BIO_set_mem_eof_return(in_, -1);
    SSL_set_bio(ssl_, in_, out_);
    SSL_set_accept_state(ssl_);
  }
  ~MemoryTlsServer() override { SSL_free(ssl_); }

  void Send(const char* data, size_t size, std::chrono::milliseconds) override {
    BIO_write(in_, data, static_cast<int>(size));
    Pump();
  }

  size_t Receive(char* buffer, size_t size, std::chrono::milliseconds) override {
    Pump();
    if (BIO_ctrl_pending(out_) == 0) {
      if (end_ == End::kReset) throw ESocketError(104, "Connection reset by peer");
      if (end_ == End::kStall) throw EReadTimeout();
      return 0;
    }
    const int n = BIO_read(out_, buffer, static_cast<int>(std::min<size_t>(size, 1 << 20)));
    return n > 0 ? static_cast<size_t>(n) : 0;
  }

  bool PeerOpen() override {
    Pump();
    return end_ == End::kStall || BIO_ctrl_pending(out_) > 0;
  }

 private:
  // Runs the server as far as what it was sent allows.
  void Pump() {
    if (failed_) return;
    if (!SSL_is_init_finished(ssl_)) {
      if (SSL_do_handshake(ssl_) != 1) {
        if (SSL_get_error(ssl_, -1) == SSL_ERROR_SSL) failed_ = true;
        ERR_clear_error();
        return;
      }
    }
    char sink[4096];
    while (SSL_read(ssl_, sink, sizeof sink) > 0) {
      request_seen_ = true;
    }
    ERR_clear_error();
    if (!request_seen_ || sent_) return;
    sent_ = true;
    for (const std::string& piece : pieces_) {
      if (!piece.empty()) SSL_write(ssl_, piece.data(), static_cast<int>(piece.size()));
    }
    if (end_ == End::kClose) SSL_shutdown(ssl_);
    ERR_clear_error();
  }

  std::vector<std::string> pieces_;
  End end_;
  SSL* ssl_;
  BIO* in_;
  BIO* out_;
  bool request_seen_ = false;
  bool sent_ = false;
  bool failed_ = false;
};

}  // namespace zelvaro::testing
