// THttpClient: a blocking HTTP/1.x client over one TCP connection. It sends
// a request built from `Request`, reads the reply into `Response` and writes
// a successful reply's body into the caller's stream in writes of at most
// 32768 bytes, before the call returns.
//
// Not thread-safe (Abort aside); one request at a time. Every failure is an
// exception derived from zelvaro::Exception (see net/NetErrors.h); after any
// failure but an abort the client is ready for the next request.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/ConnectionPool.h"
#include "net/Cookies.h"
#include "net/HeaderList.h"
#include "net/HttpDate.h"
#include "net/NetErrors.h"
#include "net/Proxy.h"
#include "net/TcpConnection.h"
#include "net/Uri.h"
#include "streams/Stream.h"

namespace zelvaro {

enum class THttpVersion { Http10, Http11 };

// The codes are the request step's method numbers; 6 is not used.
enum class THttpMethod {
  Head = 0,
  Get = 1,
  Post = 2,
  Options = 3,
  Trace = 4,
  Put = 5,
  Connect = 7
};
const char* MethodName(THttpMethod method);

// Header fields requests and responses share.
class TEntityHeaderInfo {
 public:
  virtual ~TEntityHeaderInfo() = default;

  std::string Connection;
  std::string ContentVersion;
  std::string ContentEncoding;
  std::string ContentLanguage;
  std::string ContentType;
  int64_t ContentLength = -1;     // -1: absent
  int32_t ContentRangeStart = 0;  // 0: absent
  int32_t ContentRangeEnd = 0;
  std::string CacheControl;
  std::optional<TDateTime> Date;
  std::optional<TDateTime> Expires;
  std::optional<TDateTime> LastModified;
  std::string Pragma;
  // Extra "Name: value" lines a request sends after the fixed ones.
  THeaderList CustomHeaders{THeaderList::kHttpFoldLength};
  // The head's lines as sent or received.
  THeaderList HeaderLines{THeaderList::kHttpFoldLength};
};

class TRequestHeaderInfo : public TEntityHeaderInfo {
 public:
  std::string Accept = "text/html, */*";
  std::string AcceptCharSet;
  std::string AcceptEncoding;
  std::string AcceptLanguage;
  std::string Host;  // set from the URL for every request
  std::string From;
  std::string Referer;
  std::string UserAgent = "Mozilla/3.0 (compatible; Zelvaro HTTP client)";
  std::string Username;
  std::string Password;
  // Sends "Authorization: Basic ..." when a user name is set.
  bool BasicAuthentication = false;
  std::string ProxyConnection;
};

class THttpRequest : public TRequestHeaderInfo {
 public:
  // Validators of a conditional request, sent exactly as given: the
  // "If-Modified-Since" line (in place of one made from LastModified) and
  // the "If-None-Match" line right after it. Empty: not sent.
  std::string IfModifiedSince;
  std::string IfNoneMatch;
  THttpMethod Method = THttpMethod::Get;
  std::string Target;         // the request target of the last request line
  TStream* Source = nullptr;  // body of a POST or PUT; not owned
};

class TResponseHeaderInfo : public TEntityHeaderInfo {
 public:
  TResponseHeaderInfo() { ContentType = "text/html"; }
  std::string Location;
  std::string Server;
  std::string ProxyConnection;
  std::vector<std::string> WWWAuthenticate;
  std::vector<std::string> ProxyAuthenticate;
};

class THttpResponse : public TResponseHeaderInfo {
 public:
  std::string StatusLine;   // the reply's first line, as sent
  int32_t StatusCode = -1;  // -1: missing or not a number
  THttpVersion ResponseVersion = THttpVersion::Http11;
  bool HasContentLength = false;
  bool KeepAlive = false;
  TStream* BodyTarget = nullptr;  // not owned
};

class THttpClient {
 public:
  // Most header lines one reply may carry.
  static constexpr size_t kMaxHeaderLines = 1000;
  // Most passes (first request, redirects) one request makes.
  static constexpr int kMaxPasses = 3;
  // The longest one whole request may take by default: far above any real
  // download of the program (a record arrives in well under a second), yet
  // a server that trickles a byte now and then cannot hold a request
  // forever, which the per-read limit alone would allow.
  static constexpr std::chrono::seconds kDefaultRequestTimeout{120};

  THttpClient();
  ~THttpClient();
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;

  // The request fields, reused for every request; the response fields,
  // overwritten by every reply.
  THttpRequest Request;
  THttpResponse Response;

  THttpVersion ProtocolVersion = THttpVersion::Http11;
  std::chrono::milliseconds ConnectTimeout{0};  // 0 = no limit
  // Longest wait for the next bytes of a reply; past it "Read timed out."
  // and the connection is closed. 0 = no limit.
  std::chrono::milliseconds ReadTimeout{30000};
  // Longest time for one whole request (connect, every pass, the whole
  // body, including what the body's stream does with it); past it "Request
  // timed out." and the connection is closed. 0 = no limit.
  std::chrono::milliseconds RequestTimeout{kDefaultRequestTimeout};
  bool HandleRedirects = false;
  int RedirectMaximum = 15;
  // Most passes one request makes (the first and the redirects followed).
  int MaxPasses = kMaxPasses;
  bool AllowCookies = true;
  // A proxy for every request; without a ProxyServer and with
  // UseEnvironmentProxy, http_proxy, https_proxy and no_proxy decide
  // (net/Proxy.h); else requests go direct.
  TProxyParams ProxyParams;
  bool UseEnvironmentProxy = false;
  // With a pool, the connection is taken from it and left in it: a
  // keep-alive reply's connection serves the next request to the same
  // place (from this client or another one using the pool), and while one
  // request uses a place's connection, another to that place waits. Not
  // owned; must outlive the client.
  TConnectionPool* Pool = nullptr;
  // Created when the first reply is read with AllowCookies on.
  std::unique_ptr<TCookieManager> CookieManager;

  // Asked before a redirect is followed: may change the destination, the
  // decision (`handled` starts as HandleRedirects) and the method.
  std::function<void(std::string& destination, int redirectCount, bool& handled,
                     THttpMethod& method)>
      OnRedirect;
  // Told each request head as sent and each reply head as received (status
  // line, header lines, empty line; CR LF line ends).
  std::function<void(std::string_view head)> OnHeadSent;
  std::function<void(std::string_view head)> OnHeadReceived;

  // GET `url`; a 2xx body is written to `target` (may be null) in writes of
  // at most 32768 bytes. Any other status raises EHttpProtocolError and
  // writes nothing to `target`.
  void Get(std::string_view url, TStream* target);
  // GET returning the body.
  std::string Get(std::string_view url);
  void Head(std::string_view url);
  void Post(std::string_view url, TStream* source, TStream* target);
  void Put(std::string_view url, TStream* source, TStream* target);
  void Options(std::string_view url, TStream* target);
  void Trace(std::string_view url, TStream* target);

  // The general request step. A relative `url` is resolved against the
  // previous one.
  void DoRequest(THttpMethod method, std::string_view url, TStream* source, TStream* target);

  // Callable from any thread while another runs a request: the request ends
  // at once with EAborted (its socket is shut down, also during a connect),
  // and so does every later one. Nothing arrives at the body target after
  // the request has ended.
  void Abort() { connection_.Abort(); }

  void Disconnect() { connection_.Disconnect(); }
  bool Connected() { return connection_.Connected(); }

  const TUri& Url() const { return url_; }
  const std::string& Host() const { return connection_.Host; }
  uint16_t Port() const { return connection_.Port; }
  int PassCount() const { return passCount_; }
  // The connection, for its line limit and for tests that replace how it
  // connects.
  TTcpClient& Connection() { return connection_; }

 private:
  void PrepareRequest(THttpMethod method, std::string_view url, TStream* source);
  // Whether the connection was open already (kept from an earlier reply).
  bool ConnectToHost();
  // Sends the request and reads the reply's head; a kept connection the
  // server has closed before answering anything is opened anew once.
  void Exchange(THttpMethod method, TStream* source, bool reused);
  // Leaves the connection in the pool (when it may serve again) and ends
  // the hold on its place.
  void ReleasePlace();
  void SendRequest(THttpMethod method, TStream* source);
  void ReadReplyHead();
  void ReadOneHead();
  void ReadBody(TStream* target);
  void ReadChunked(TStream* target);
  [[noreturn]] void RaiseProtocolError(THttpMethod method);
  bool ReplyHasBody(THttpMethod method) const;
  void FinishReply();
  std::string BuildRequestHead(THttpMethod method);

  TTcpClient connection_;
  TUri url_;
  bool tls_ = false;                   // the current URL is https
  std::optional<TProxyParams> proxy_;  // the proxy the current URL goes through
  std::string targetHost_;
  uint16_t targetPort_ = 80;
  int passCount_ = 0;
  std::optional<TConnectionPool::TLease> lease_;
};

// The request settings every download of the program uses: the browser-like
// User-Agent, Japanese first, Shift_JIS first, no cache, one connection per
// request, no Accept-Encoding, no Range, an 8 s connect limit, and the
// proxies the environment names.
void ApplyProgramRequestSettings(THttpClient& client);

// Redirects followed as a browser follows a record's address: up to
// RedirectMaximum of them, from http to https too, but never from https to
// http (an EHttpError naming both addresses).
void FollowAddressRedirects(THttpClient& client);

}  // namespace zelvaro
