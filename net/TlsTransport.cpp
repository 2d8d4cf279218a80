#include "net/TlsTransport.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

namespace zelvaro {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

ETlsCut::ETlsCut(const std::string& host)
    : EConnClosedGracefully("サーバー " + host +
                            " が暗号化した接続を終えずに閉じました。受け取った内容は途中で切れて"
                            "いるかもしれません。") {}

namespace {

// Bytes taken from the connection in one go.
constexpr size_t kReceiveBlock = 16 * 1024 + 512;
// How long closing waits to send close_notify.
constexpr milliseconds kCloseNotifyWait{200};

// A time limit over several waits; zero means none.
struct Budget {
  explicit Budget(milliseconds limit) : unlimited(limit.count() <= 0), at(Clock::now() + limit) {}
  // What is left for the next wait; never zero (which would mean no limit).
  milliseconds Left() const {
    if (unlimited) return milliseconds(0);
    auto left = std::chrono::ceil<milliseconds>(at - Clock::now());
    return std::max(left, milliseconds(1));
  }
  bool unlimited;
  Clock::time_point at;
};

std::string Getenv(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// One client context for the process, made again when SSL_CERT_FILE or
// SSL_CERT_DIR change (so a test's certificate authority counts from then on).
class ContextCache {
 public:
  // A new connection's SSL object (never null).
  SSL* NewSsl() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string key = Getenv("SSL_CERT_FILE") + '\n' + Getenv("SSL_CERT_DIR");
    if (ctx_ == nullptr || key != key_) {
      SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
      if (ctx == nullptr) throw ETlsError(ETlsError::Kind::kOther, "TLS を準備できません。");
      SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
      SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
      SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
      // The system's trusted certificates, or those SSL_CERT_FILE/SSL_CERT_DIR name.
      SSL_CTX_set_default_verify_paths(ctx);
      ERR_clear_error();
      if (ctx_ != nullptr) SSL_CTX_free(ctx_);  // connections made with it keep their reference
      ctx_ = ctx;
      key_ = key;
    }
    SSL* ssl = SSL_new(ctx_);
    if (ssl == nullptr) throw ETlsError(ETlsError::Kind::kOther, "TLS を準備できません。");
    return ssl;
  }

 private:
  std::mutex mutex_;
  SSL_CTX* ctx_ = nullptr;
  std::string key_;
};

ContextCache& Contexts() {
  static ContextCache* cache = new ContextCache;  // lives as long as the process
  return *cache;
}

bool IsIpAddress(const std::string& host) {
  unsigned char address[16];
  return ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// The printable start of what a server that speaks no TLS answered.
std::string AnswerStart(const std::string& bytes) {
  std::string text;
  for (char c : bytes.substr(0, 60)) {
    if (c == '\r' || c == '\n') break;
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

std::string ReasonText(unsigned long error) {
  const char* reason = ERR_reason_error_string(error);
  return reason ? reason : "error " + std::to_string(ERR_GET_REASON(error));
}

// A read or write that failed past the handshake, with OpenSSL's reason.
[[noreturn]] void ThrowConnectionFailure(const std::string& host) {
  const unsigned long failure = ERR_peek_last_error();
  ERR_clear_error();
  throw ETlsError(
      ETlsError::Kind::kOther,
      "サーバー " + host + " との暗号化した接続が失敗しました (" + ReasonText(failure) + ")。");
}

}  // namespace

struct TTlsTransport::State {
  std::unique_ptr<TTransport> inner;
  std::string host;
  SSL* ssl = nullptr;
  BIO* in = nullptr;   // from the server, read by OpenSSL
  BIO* out = nullptr;  // written by OpenSSL, to the server
  std::atomic<bool> aborted{false};
  bool handshaken = false;
  bool received_any = false;
  std::string first_bytes;  // the server's first bytes, for telling non-TLS apart

  ~State() {
    if (ssl) SSL_free(ssl);  // frees both BIOs
  }

  void CheckAbort() const {
    if (aborted.load()) throw EAborted();
  }

  // Sends what OpenSSL has written.
  void FlushOut(const Budget& budget) {
    char block[kReceiveBlock];
    while (BIO_ctrl_pending(out) > 0) {
      const int n = BIO_read(out, block, sizeof block);
      if (n <= 0) break;
      CheckAbort();
      inner->Send(block, static_cast<size_t>(n), budget.Left());
    }
  }

  // Receives once from the server for OpenSSL; false when it closed.
  bool FillIn(const Budget& budget) {
    CheckAbort();
    char block[kReceiveBlock];
    const size_t n = inner->Receive(block, sizeof block, budget.Left());
    CheckAbort();
    if (n == 0) return false;
    if (!received_any) {
      received_any = true;
      first_bytes.assign(block, n);
      // Every TLS record a server sends first is a handshake message (22) or
      // an alert (21).
      const auto type = static_cast<unsigned char>(block[0]);
      if (type != 22 && type != 21) {
        const std::string start = AnswerStart(first_bytes);
        throw ETlsError(ETlsError::Kind::kNotTls,
                        "サーバー " + host + " は TLS (https) で応答しません" +
                            (start.empty() ? std::string("。") : " (応答: \"" + start + "\")。"));
      }
    }
    BIO_write(in, block, static_cast<int>(n));
    return true;
  }

  [[noreturn]] void ThrowHandshakeError() {
    const unsigned long error = ERR_peek_last_error();
    const int reason = ERR_GET_REASON(error);
    ERR_clear_error();
    const long verify = SSL_get_verify_result(ssl);
    const std::string server = "サーバー " + host;
    if (reason == SSL_R_CERTIFICATE_VERIFY_FAILED && verify != X509_V_OK) {
      const std::string detail = X509_verify_cert_error_string(verify);
      switch (verify) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
          throw ETlsError(ETlsError::Kind::kExpired,
                          server + " の証明書は有効期限が切れています。");
        case X509_V_ERR_CERT_NOT_YET_VALID:
          throw ETlsError(ETlsError::Kind::kExpired,
                          server + " の証明書はまだ有効になっていません。");
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
          throw ETlsError(ETlsError::Kind::kNameMismatch, server + " の証明書は別の名前のもので、" +
                                                              host + " のものではありません。");
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
          throw ETlsError(ETlsError::Kind::kUntrusted,
                          server + " の証明書は信頼できません (" + detail + ")。");
        default:
          throw ETlsError(ETlsError::Kind::kUntrusted,
                          server + " の証明書を確かめられません (" + detail + ")。");
      }
    }
    switch (reason) {
      case SSL_R_UNSUPPORTED_PROTOCOL:
      case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
      case SSL_R_WRONG_SSL_VERSION:
      case SSL_R_VERSION_TOO_LOW:
        throw ETlsError(ETlsError::Kind::kOldProtocol,
                        server + " は安全でない古い TLS (1.2 より前) しか使えません。");
      case SSL_R_WRONG_VERSION_NUMBER:
      case SSL_R_PACKET_LENGTH_TOO_LONG:
        throw ETlsError(
            ETlsError::Kind::kNotTls,
            server + " は TLS (https) で正しく応答しません (" + ReasonText(error) + ")。");
      default:
        break;
    }
    if (ERR_GET_LIB(error) == ERR_LIB_SSL && reason >= SSL_AD_REASON_OFFSET) {
      // An alert the server sent.
      throw ETlsError(ETlsError::Kind::kBrokenOff,
                      server + " が TLS の接続手順を打ち切りました (" + ReasonText(error) + ")。");
    }
    throw ETlsError(ETlsError::Kind::kOther,
                    server + " との TLS の接続手順が失敗しました (" +
                        (error ? ReasonText(error) : std::string("理由不明")) + ")。");
  }
};

TTlsTransport::TTlsTransport(std::unique_ptr<TTransport> inner, std::string host)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.inner = std::move(inner);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  s.host = std::move(host);
  s.ssl = Contexts().NewSsl();
  s.in = BIO_new(BIO_s_mem());
  s.out = BIO_new(BIO_s_mem());
  if (s.in == nullptr || s.out == nullptr) {
    BIO_free(s.in);
    BIO_free(s.out);
    throw ETlsError(ETlsError::Kind::kOther, "TLS を準備できません。");
  }
  // An empty input means "wait for more", not the end.
  BIO_set_mem_eof_return(s.in, -1);
  SSL_set_bio(s.ssl, s.in, s.out);
  SSL_set_connect_state(s.ssl);
  if (!IsIpAddress(s.host)) SSL_set_tlsext_host_name(s.ssl, s.host.c_str());
  SSL_set_hostflags(s.ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  // A name is checked against the certificate's names, an IP address
  // against its addresses.
  if (SSL_set1_host(s.ssl, s.host.c_str()) != 1) {
    throw ETlsError(ETlsError::Kind::kOther, "TLS で名前 " + s.host + " を確かめられません。");
  }
}

TTlsTransport::~TTlsTransport() {
  State& s = *state_;
  if (!s.handshaken || s.aborted.load()) return;
  try {
    if (SSL_shutdown(s.ssl) >= 0) s.FlushOut(Budget(kCloseNotifyWait));
  } catch (...) {
    // The server is gone already: nothing to tell it.
  }
  ERR_clear_error();
}

void TTlsTransport::Handshake(milliseconds limit) {
  State& s = *state_;
  const Budget budget(limit);
  try {
    for (;;) {
      s.CheckAbort();
      ERR_clear_error();
      const int result = SSL_do_handshake(s.ssl);
      const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(s.ssl, result);
      // What OpenSSL wrote goes out first: an alert explains a refusal.
      if (error == SSL_ERROR_SSL) {
        try {
          s.FlushOut(Budget(kCloseNotifyWait));
        } catch (const ETcpError&) {
        }
        s.ThrowHandshakeError();
      }
      s.FlushOut(budget);
      if (error == SSL_ERROR_NONE) break;
      if (error == SSL_ERROR_WANT_READ) {
        if (!s.FillIn(budget)) {
          throw ETlsError(ETlsError::Kind::kBrokenOff,
                          "サーバー " + s.host + " が TLS の接続手順の途中で接続を閉じました。");
        }
        continue;
      }
      if (error == SSL_ERROR_WANT_WRITE) continue;
      s.ThrowHandshakeError();
    }
  } catch (const EReadTimeout&) {
    throw EConnectTimeout();
  } catch (const EWriteTimeout&) {
    throw EConnectTimeout();
  }
  s.handshaken = true;
}

size_t TTlsTransport::Receive(char* buffer, size_t size, milliseconds limit) {
  State& s = *state_;
  const Budget budget(limit);
  for (;;) {
    s.CheckAbort();
    ERR_clear_error();
    const int n = SSL_read(s.ssl, buffer, static_cast<int>(std::min<size_t>(size, 1 << 30)));
    if (n > 0) {
      // Reading may have queued an answer (to a key update, say).
      s.FlushOut(budget);
      return static_cast<size_t>(n);
    }
    const int error = SSL_get_error(s.ssl, n);
    if (error == SSL_ERROR_ZERO_RETURN) return 0;  // close_notify: a proper end
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
      s.FlushOut(budget);
      if (error == SSL_ERROR_WANT_READ && !s.FillIn(budget)) throw ETlsCut(s.host);
      continue;
    }
    ThrowConnectionFailure(s.host);
  }
}

void TTlsTransport::Send(const char* data, size_t size, milliseconds limit) {
  State& s = *state_;
  const Budget budget(limit);
  while (size > 0) {
    s.CheckAbort();
    ERR_clear_error();
    const int n = SSL_write(s.ssl, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      s.FlushOut(budget);
      continue;
    }
    const int error = SSL_get_error(s.ssl, n);
    if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ) {
      s.FlushOut(budget);
      if (error == SSL_ERROR_WANT_READ && !s.FillIn(budget)) throw ETlsCut(s.host);
      continue;
    }
    ThrowConnectionFailure(s.host);
  }
}

bool TTlsTransport::PeerOpen() {
  State& s = *state_;
  if (s.aborted.load()) return false;
  if (SSL_pending(s.ssl) > 0) return true;
  if (SSL_get_shutdown(s.ssl) & SSL_RECEIVED_SHUTDOWN) return false;
  if (BIO_ctrl_pending(s.in) > 0) return true;
  return s.inner->PeerOpen();
}

void TTlsTransport::Abort() {
  state_->aborted.store(true);
  state_->inner->Abort();
}

std::string TTlsTransport::Protocol() const { return SSL_get_version(state_->ssl); }

}  // namespace zelvaro
