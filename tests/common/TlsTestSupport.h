// https for tests, on 127.0.0.1 only: certificates made at test time
// (a certificate authority of the test's own, named through SSL_CERT_FILE),
// a TLS front that puts TLS before a plain test server, and a small proxy
// that opens CONNECT tunnels and passes plain requests on.
//
//   TestCa& ca = TrustedTestCa();                 // SSL_CERT_FILE names it
//   ScriptedServer server({...});
//   TlsFront front(server.Port(), ca.Issue({"localhost"}, {"127.0.0.1"}));
//   client.Get(front.Url("/a"), &body);           // https://127.0.0.1:<port>/a
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zelvaro::testing {

struct TestCert {
  std::string cert_pem;
  std::string key_pem;
};

class TestCa {
 public:
  explicit TestCa(const std::string& name) : key_(EVP_EC_gen("P-256")) {
    cert_ = Make(name, key_, nullptr, key_, true, {}, {}, 0, 86400L * 365);
  }
  ~TestCa() {
    X509_free(cert_);
    EVP_PKEY_free(key_);
  }
  TestCa(const TestCa&) = delete;
  TestCa& operator=(const TestCa&) = delete;

  std::string CertPem() const { return Pem(cert_); }

  // A server certificate for these names and addresses, valid from
  // `from` to `to` seconds after now (negative: in the past).
  TestCert Issue(const std::vector<std::string>& names, const std::vector<std::string>& ips,
                 long from = -3600, long to = 86400L * 30) const {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert =
        Make(names.empty() ? "server" : names[0], key, cert_, key_, false, names, ips, from, to);
    TestCert result{Pem(cert), KeyPem(key)};
    X509_free(cert);
    EVP_PKEY_free(key);
    return result;
  }

 private:
  static X509* Make(const std::string& cn, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuer_key,
                    bool ca, const std::vector<std::string>& names,
                    const std::vector<std::string>& ips, long from, long to) {
    static std::atomic<long> serial{1};
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert), ca ? -3600 : from);
    X509_gmtime_adj(X509_getm_notAfter(cert), to);
    X509_set_pubkey(cert, key);
    X509_NAME* subject = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer) : subject);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer ? issuer : cert, cert, nullptr, nullptr, 0);
    auto add = [&](int nid, const std::string& value) {
      X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
      if (!ext) throw std::runtime_error("bad extension " + value);
      X509_add_ext(cert, ext, -1);
      X509_EXTENSION_free(ext);
    };
    add(NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
    add(NID_key_usage, ca ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature");
    std::string alt;
    for (const auto& n : names) alt += (alt.empty() ? "" : ",") + std::string("DNS:") + n;
    for (const auto& ip : ips) alt += (alt.empty() ? "" : ",") + std::string("IP:") + ip;
    if (!alt.empty()) add(NID_subject_alt_name, alt);
    X509_sign(cert, issuer_key, EVP_sha256());
    return cert;
  }
  static std::string Pem(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    return Drain(bio);
  }
  static std::string KeyPem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    return Drain(bio);
  }
  static std::string Drain(BIO* bio) {
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<size_t>(n));
    BIO_free(bio);
    return text;
  }

  EVP_PKEY* key_;
  X509* cert_;
};

// The test's trusted authority: written to a file that SSL_CERT_FILE names
// from the first call on.
inline TestCa& TrustedTestCa() {
  static TestCa* ca = [] {
    auto* made = new TestCa("Zelvaro Test CA");
    char dir[] = "/tmp/zelvaro-ca-XXXXXX";
    if (!::mkdtemp(dir)) throw std::runtime_error("mkdtemp failed");
    const std::string path = std::string(dir) + "/ca.pem";
    std::ofstream(path) << made->CertPem();
    ::setenv("SSL_CERT_FILE", path.c_str(), 1);
    ::setenv("SSL_CERT_DIR", dir, 1);  // nothing of the system's
    return made;
  }();
  return *ca;
}

// A certificate for 127.0.0.1 and localhost from the trusted authority.
inline const TestCert& LocalhostCert() {
  static TestCert cert = TrustedTestCa().Issue({"localhost"}, {"127.0.0.1"});
  return cert;
}

inline int ListenOnLoopback(uint16_t& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0)
    throw std::runtime_error("bind/listen failed");
  socklen_t length = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  port = ntohs(addr.sin_port);
  return fd;
}

inline int ConnectLoopback(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Accepts connections one after the other on 127.0.0.1 in a thread of its
// own and serves each with Serve(fd), which owns fd.
class LoopbackService {
 public:
  LoopbackService() { listener_ = ListenOnLoopback(port_); }
  virtual ~LoopbackService() { Stop(); }
  uint16_t Port() const { return port_; }

 protected:
  void Start() {
    thread_ = std::thread([this] {
      while (!stop_.load()) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) Serve(fd);
      }
    });
  }
  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }
  virtual void Serve(int fd) = 0;
  bool Stopping() const { return stop_.load(); }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// TLS before a plain server on 127.0.0.1:`backend`: every connection is
// answered with TLS and its bytes passed on, both ways; when the backend
// ends its side, close_notify follows, and a reset is passed on as one.
class TlsFront : public LoopbackService {
 public:
  struct Options {
    bool tls10_only = false;       // a server that speaks only TLS 1.0
    bool no_close_notify = false;  // closes without ending TLS
  };
  TlsFront(uint16_t backend, const TestCert& cert) : TlsFront(backend, cert, Options{}) {}
  TlsFront(uint16_t backend, const TestCert& cert, Options options)
      : backend_(backend), close_notify_(!options.no_close_notify) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    BIO* c = BIO_new_mem_buf(cert.cert_pem.data(), static_cast<int>(cert.cert_pem.size()));
    X509* x = PEM_read_bio_X509(c, nullptr, nullptr, nullptr);
    BIO_free(c);
    BIO* k = BIO_new_mem_buf(cert.key_pem.data(), static_cast<int>(cert.key_pem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(k, nullptr, nullptr, nullptr);
    BIO_free(k);
    if (options.tls10_only) {
      SSL_CTX_set_security_level(ctx_, 0);
      SSL_CTX_set_cipher_list(ctx_, "DEFAULT:@SECLEVEL=0");
      SSL_CTX_set_min_proto_version(ctx_, TLS1_VERSION);
      SSL_CTX_set_max_proto_version(ctx_, TLS1_VERSION);
    }
    if (SSL_CTX_use_certificate(ctx_, x) != 1 || SSL_CTX_use_PrivateKey(ctx_, key) != 1)
      throw std::runtime_error("server certificate refused");
    X509_free(x);
    EVP_PKEY_free(key);
    Start();
  }
  ~TlsFront() override {
    Stop();
    SSL_CTX_free(ctx_);
  }
  std::string Url(const std::string& path = "/", const std::string& host = "127.0.0.1") const {
    return "https://" + host + ":" + std::to_string(Port()) + path;
  }
  int Handshakes() const { return handshakes_.load(); }

 private:
  void Serve(int fd) override {
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL* ssl = SSL_new(ctx_);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) != 1) {
      ERR_clear_error();
      SSL_free(ssl);
      ::close(fd);
      return;
    }
    ++handshakes_;
    int backend = ConnectLoopback(backend_);
    bool reset = false;
    char buffer[16384];
    bool client_open = true;
    while (backend >= 0 && !Stopping()) {
      pollfd p[2] = {{fd, POLLIN, 0}, {backend, POLLIN, 0}};
      if (SSL_pending(ssl) == 0 && ::poll(p, 2, 20) <= 0) continue;
      if (client_open && (SSL_pending(ssl) > 0 || (p[0].revents & (POLLIN | POLLHUP | POLLERR)))) {
        int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n > 0) {
          SendAll(backend, buffer, static_cast<size_t>(n));
        } else {
          client_open = false;
          ::shutdown(backend, SHUT_WR);
        }
      }
      if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        ssize_t n = ::recv(backend, buffer, sizeof buffer, 0);
        if (n > 0) {
          if (SSL_write(ssl, buffer, static_cast<int>(n)) <= 0) break;
          continue;
        }
        reset = n < 0;
        break;
      }
    }
    if (reset) {
      linger hard{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    } else {
      if (close_notify_) SSL_shutdown(ssl);
      // Take what the client still sends, so closing is no reset.
      ::shutdown(fd, SHUT_WR);
      ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    }
    ERR_clear_error();
    SSL_free(ssl);
    ::close(fd);
    if (backend >= 0) ::close(backend);
  }

  uint16_t backend_;
  bool close_notify_;
  SSL_CTX* ctx_ = nullptr;
  std::atomic<int> handshakes_{0};
};

// A proxy: "CONNECT host:port" opens a tunnel to 127.0.0.1:port (or refuses
// with 403 when told to), any other request is passed to the port its
// absolute address names. Keeps each request head it was sent.
class TestProxy : public LoopbackService {
 public:
  explicit TestProxy(bool refuse = false) : refuse_(refuse) { Start(); }
  ~TestProxy() override { Stop(); }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(Port()); }
  std::vector<std::string> Heads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heads_;
  }

 private:
  void Serve(int fd) override {
    std::string head;
    char buffer[16384];
    while (head.find("\r\n\r\n") == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      head.append(buffer, static_cast<size_t>(n));
    }
    const size_t end = head.find("\r\n\r\n");
    if (end == std::string::npos) {
      ::close(fd);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      heads_.push_back(head.substr(0, end + 4));
    }
    const bool tunnel = head.rfind("CONNECT ", 0) == 0;
    // The port: after the last ':' of the authority.
    const size_t target = head.find(' ') + 1;
    std::string authority = head.substr(target, head.find(' ', target) - target);
    if (!tunnel) {
      authority = authority.substr(authority.find("://") + 3);
      authority = authority.substr(0, authority.find('/'));
    }
    const uint16_t port =
        static_cast<uint16_t>(std::atoi(authority.substr(authority.rfind(':') + 1).c_str()));
    if (refuse_) {
      const std::string no = "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n";
      SendAll(fd, no.data(), no.size());
      ::close(fd);
      return;
    }
    int backend = ConnectLoopback(port);
    if (backend < 0) {
      const std::string no = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";
      SendAll(fd, no.data(), no.size());
      ::close(fd);
      return;
    }
    if (tunnel) {
      const std::string yes = "HTTP/1.1 200 Connection established\r\n\r\n";
      SendAll(fd, yes.data(), yes.size());
      if (head.size() > end + 4) SendAll(backend, head.data() + end + 4, head.size() - end - 4);
    } else {
      SendAll(backend, head.data(), head.size());
    }
    bool open[2] = {true, true};
    while ((open[0] || open[1]) && !Stopping()) {
      pollfd p[2] = {{fd, static_cast<short>(open[0] ? POLLIN : 0), 0},
                     {backend, static_cast<short>(open[1] ? POLLIN : 0), 0}};
      if (::poll(p, 2, 20) <= 0) continue;
      for (int side = 0; side < 2; ++side) {
        if (!(p[side].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const int from = side == 0 ? fd : backend, to = side == 0 ? backend : fd;
        ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
        if (n > 0) {
          SendAll(to, buffer, static_cast<size_t>(n));
        } else {
          open[side] = false;
          ::shutdown(to, SHUT_WR);
        }
      }
      if (!open[1]) break;  // the server is done: so is the tunnel
    }
    ::close(backend);
    ::close(fd);
  }

  const bool refuse_;
  mutable std::mutex mutex_;
  std::vector<std::string> heads_;
};

}  // namespace zelvaro::testing
