#include "net/untHttp.h"

#include <charconv>
#include <limits>

#include "net/ServerText.h"

namespace zelvaro {
namespace {

constexpr const char* kProgramUserAgent = "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1)";
constexpr const char* kProgramAcceptLanguage = "ja,en-us;q=0.5";
constexpr const char* kProgramAcceptCharSet = "Shift_JIS,utf-8";
constexpr const char* kProgramCacheControl = "no-cache";
constexpr const char* kProgramConnection = "close";
constexpr std::chrono::milliseconds kProgramConnectTimeout{8000};

// Interim replies (1xx) skipped before the real one; a server that sends
// more is not talking HTTP to us.
constexpr int kMaxInterimReplies = 10;

// A header value may not end the line it stands on.
std::string OneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

bool ContainsIgnoreCase(std::string_view text, std::string_view word) {
  std::string upperText = UpperCase(text);
  return upperText.find(UpperCase(word)) != std::string::npos;
}

template <typename Int>
bool ParseDecimal(std::string_view text, Int& value) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The hexadecimal size at the start of a chunk-size line; whatever follows
// a blank or ";" (chunk extensions) is ignored.
int64_t ParseChunkSize(std::string_view line) {
  std::string_view text = Trim(line);
  text = text.substr(0, text.find_first_of(" \t;"));
  if (text.empty()) throw EHttpMalformedReply("応答のチャンクの長さが読めません。");
  int64_t size = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0 || size > (std::numeric_limits<int64_t>::max() >> 4)) {
      throw EHttpMalformedReply("応答のチャンクの長さが読めません。");
    }
    size = size * 16 + digit;
  }
  return size;
}

// The body length the Content-Length lines give. Repeats of one value (on
// several lines or as a list) are fine; values that differ leave the body's
// end unknown (RFC 9110 section 8.6), and a negative length is no length.
int64_t ReadContentLength(const std::vector<std::string>& values) {
  std::optional<int64_t> length;
  for (const std::string& value : values) {
    std::string_view rest = value;
    do {
      const size_t comma = rest.find(',');
      const std::string_view item = Trim(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      int64_t n = 0;
      if (!ParseDecimal(item, n))
        throw EConvertError("'" + ShownServerText(value) + "' is not a valid integer value");
      if (n < 0)
        throw EHttpMalformedReply("応答の Content-Length が負です: " + ShownServerText(value));
      if (length && *length != n) {
        throw EHttpMalformedReply("応答の Content-Length が食い違っています: " +
                                  std::to_string(*length) + " と " + std::to_string(n));
      }
      length = n;
    } while (!rest.empty());
  }
  return length.value_or(-1);
}

std::optional<TDateTime> ReadDate(std::string_view value) {
  value = Trim(value);
  if (value.empty() || value == "-1" || value == "0") return std::nullopt;
  return ParseHttpDate(value);
}

}  // namespace

const char* MethodName(THttpMethod method) {
  switch (method) {
    case THttpMethod::Head:
      return "HEAD";
    case THttpMethod::Get:
      return "GET";
    case THttpMethod::Post:
      return "POST";
    case THttpMethod::Options:
      return "OPTIONS";
    case THttpMethod::Trace:
      return "TRACE";
    case THttpMethod::Put:
      return "PUT";
    case THttpMethod::Connect:
      return "CONNECT";
  }
  return "GET";
}

THttpClient::THttpClient() = default;
THttpClient::~THttpClient() = default;

void THttpClient::Get(std::string_view url, TStream* target) {
  DoRequest(THttpMethod::Get, url, nullptr, target);
}

std::string THttpClient::Get(std::string_view url) {
  TStringStream body;
  DoRequest(THttpMethod::Get, url, nullptr, &body);
  return body.DataString();
}

void THttpClient::Head(std::string_view url) {
  DoRequest(THttpMethod::Head, url, nullptr, nullptr);
}

void THttpClient::Post(std::string_view url, TStream* source, TStream* target) {
  DoRequest(THttpMethod::Post, url, source, target);
}

void THttpClient::Put(std::string_view url, TStream* source, TStream* target) {
  DoRequest(THttpMethod::Put, url, source, target);
}

void THttpClient::Options(std::string_view url, TStream* target) {
  DoRequest(THttpMethod::Options, url, nullptr, target);
}

void THttpClient::Trace(std::string_view url, TStream* target) {
  DoRequest(THttpMethod::Trace, url, nullptr, target);
}

void THttpClient::DoRequest(THttpMethod method, std::string_view url, TStream* source,
                            TStream* target) {
  std::string location(url);
  passCount_ = 0;
  Response.BodyTarget = target;
  if (RequestTimeout.count() > 0) {
    connection_.SetDeadline(TTcpConnection::Clock::now() + RequestTimeout);
  }
  struct ClearDeadline {
    TTcpClient& connection;
    ~ClearDeadline() { connection.SetDeadline(std::nullopt); }
  } clear_deadline{connection_};
  try {
    for (;;) {
      ++passCount_;
      PrepareRequest(method, location, source);
      const bool reused = ConnectToHost();
      Exchange(method, source, reused);

      int32_t code = Response.StatusCode;
      int hundreds = code < 0 ? -1 : code / 100;
      if (hundreds == 2) {
        if (ReplyHasBody(method)) ReadBody(target);
        break;
      }
      if (hundreds == 3 && code != 304 && !Response.Location.empty() && passCount_ < MaxPasses) {
        bool follow = HandleRedirects && passCount_ < RedirectMaximum;
        std::string destination = Response.Location;
        THttpMethod nextMethod = method;
        if (OnRedirect) OnRedirect(destination, passCount_, follow, nextMethod);
        if (follow) {
          if (ReplyHasBody(method)) ReadBody(nullptr);
          FinishReply();
          location = std::move(destination);
          method = nextMethod;
          continue;
        }
      }
      RaiseProtocolError(method);
    }
  } catch (const EHttpProtocolError&) {
    // The error body was read whole, so the connection may serve again.
    FinishReply();
    ReleasePlace();
    passCount_ = 0;
    throw;
  } catch (...) {
    // Where the reply stopped is unknown: never reuse this connection.
    connection_.Disconnect();
    Response.KeepAlive = false;
    ReleasePlace();
    passCount_ = 0;
    throw;
  }
  FinishReply();
  ReleasePlace();
  passCount_ = 0;
}

void THttpClient::Exchange(THttpMethod method, TStream* source, bool reused) {
  const uint64_t received = connection_.BytesReceived();
  try {
    SendRequest(method, source);
    ReadReplyHead();
  } catch (const ETcpError& e) {
    // A kept connection may have been closed by the server (an idle
    // timeout, a reset) just before the request went out: asked again once
    // on a new connection, unless the server had begun to answer.
    const bool closed = dynamic_cast<const EConnClosedGracefully*>(&e) != nullptr ||
                        dynamic_cast<const ESocketError*>(&e) != nullptr ||
                        dynamic_cast<const ENotConnected*>(&e) != nullptr;
    if (!reused || !closed || connection_.Aborted() || connection_.BytesReceived() != received)
      throw;
    connection_.Disconnect();
    ConnectToHost();
    SendRequest(method, source);
    ReadReplyHead();
  }
}

void THttpClient::ReleasePlace() {
  if (!lease_) return;
  if (Response.KeepAlive && connection_.HasTransport() && !connection_.HasBufferedBytes() &&
      connection_.Connected()) {
    lease_->Keep(connection_.Detach());
  } else {
    connection_.Disconnect();
  }
  lease_.reset();
}

void THttpClient::PrepareRequest(THttpMethod method, std::string_view url, TStream* source) {
  TUri given(url);
  TUri next = url_;
  if (!given.Username.empty()) {
    Request.Username = given.Username;
    Request.Password = given.Password;
  }
  if (!given.Protocol.empty()) {
    next.Protocol = given.Protocol;
  } else if (next.Protocol.empty()) {
    next.Protocol = "http";
  }
  std::string protocol = UpperCase(next.Protocol);
  if (!given.Host.empty()) {
    next.Host = given.Host;
    if (!given.Port.empty()) {
      next.Port = given.Port;
    } else if (protocol == "HTTP") {
      next.Port = "80";
    } else if (protocol == "HTTPS") {
      next.Port = "443";
    }
  }
  if (next.Port.empty()) throw EUnknownProtocol("Unknown Protocol");
  if (next.Host.empty()) throw EUriError("Host field is empty");

  std::string path = !given.Path.empty() && given.Path[0] == '/'
                         ? given.Path
                         : (next.Path.empty() ? std::string("/") : next.Path) + given.Path;
  next.Path = RemoveDotSegments(path);
  next.Document = given.Document;
  next.Params = given.Params;
  next.Bookmark = given.Bookmark;

  uint32_t port = 0;
  if (!ParseDecimal(next.Port, port) || port == 0 || port > 65535) {
    throw EUriError("Invalid port \"" + next.Port + "\"");
  }
  if (ProtocolVersion == THttpVersion::Http10 && static_cast<int>(method) >= 3 &&
      static_cast<int>(method) <= 6) {
    throw EHttpError("This request method is supported in HTTP 1.1");
  }

  url_ = std::move(next);
  Request.Method = method;
  Request.Target =
      method == THttpMethod::Options && given.Document == "*" ? "*" : url_.RequestTarget();
  Request.Source = source;
  Request.ContentLength =
      (method == THttpMethod::Post || method == THttpMethod::Put) && source ? source->Size() : -1;
  tls_ = protocol == "HTTPS";
  // The port is left out where it is the protocol's own.
  Request.Host = url_.Port == (tls_ ? "443" : "80") ? url_.Host : url_.Host + ":" + url_.Port;
  targetHost_ = url_.Host;
  targetPort_ = static_cast<uint16_t>(port);
  if (!ProxyParams.ProxyServer.empty()) {
    proxy_ = ProxyParams;
    if (proxy_->ProxyPort == 0) proxy_->ProxyPort = 1080;
  } else if (UseEnvironmentProxy) {
    proxy_ = EnvironmentProxy(protocol, targetHost_, targetPort_);
  } else {
    proxy_.reset();
  }
  // A proxy is asked for a plain http address as a whole.
  if (proxy_ && !tls_ && Request.Target != "*") {
    Request.Target = "http://" + Request.Host + Request.Target;
  }
}

bool THttpClient::ConnectToHost() {
  // Where the connection goes, and what runs over it.
  const std::string host = proxy_ ? proxy_->ProxyServer : targetHost_;
  const uint16_t port = proxy_ ? proxy_->ProxyPort : targetPort_;
  const bool tunnel = proxy_ && tls_;
  const std::string tunnel_host = tunnel ? targetHost_ : std::string();
  const uint16_t tunnel_port = tunnel ? targetPort_ : 0;
  const std::string tls_host = tls_ ? targetHost_ : std::string();
  if (Pool != nullptr) {
    std::string key = UpperCase(host) + ":" + std::to_string(port) + "|" + UpperCase(tunnel_host) +
                      ":" + std::to_string(tunnel_port) + "|" + UpperCase(tls_host);
    if (lease_ && lease_->Key() != key) ReleasePlace();
    if (!lease_) {
      // Only a connection held with its place's lease is ever open.
      connection_.Disconnect();
      std::optional<TConnectionPool::TLease> acquired =
          Pool->Acquire(key, [this] { return connection_.Aborted(); });
      if (!acquired) throw EAborted();
      lease_.emplace(std::move(*acquired));
      if (std::unique_ptr<TTransport> kept = lease_->Take()) {
        connection_.Attach(std::move(kept));
        connection_.Host = host;
        connection_.Port = port;
        connection_.TunnelHost = tunnel_host;
        connection_.TunnelPort = tunnel_port;
        connection_.TlsHost = tls_host;
      }
    }
  }
  if (connection_.HasTransport() &&
      (!EqualsIgnoreCase(connection_.Host, host) || connection_.Port != port ||
       !EqualsIgnoreCase(connection_.TunnelHost, tunnel_host) ||
       connection_.TunnelPort != tunnel_port || !EqualsIgnoreCase(connection_.TlsHost, tls_host))) {
    connection_.Disconnect();
  }
  connection_.Host = host;
  connection_.Port = port;
  connection_.TunnelHost = tunnel_host;
  connection_.ViaProxy = proxy_.has_value();
  connection_.TunnelPort = tunnel_port;
  connection_.TunnelAuthorization =
      tunnel && proxy_->BasicAuthentication && !proxy_->ProxyUsername.empty()
          ? BasicCredentials(proxy_->ProxyUsername, proxy_->ProxyPassword)
          : std::string();
  connection_.TlsHost = tls_host;
  connection_.ConnectTimeout = ConnectTimeout;
  connection_.ReadTimeout = ReadTimeout;
  if (connection_.Connected()) return true;
  connection_.Disconnect();
  connection_.Connect();
  return false;
}

std::string THttpClient::BuildRequestHead(THttpMethod method) {
  const THttpRequest& r = Request;
  THeaderList& lines = Request.HeaderLines;
  lines.Clear();
  auto add = [&lines](std::string_view name, std::string_view value) {
    if (!value.empty()) lines.AddValue(name, OneLine(value));
  };
  auto addDate = [&add](std::string_view name, const std::optional<TDateTime>& when) {
    if (when) add(name, FormatHttpDate(*when));
  };

  std::string connection = r.Connection;
  if (connection.empty() && ProtocolVersion == THttpVersion::Http10) connection = "keep-alive";
  add("Connection", connection);
  add("Content-Version", r.ContentVersion);
  add("Content-Encoding", r.ContentEncoding);
  add("Content-Language", r.ContentLanguage);
  add("Content-Type", r.ContentType);
  if (r.ContentLength >= 0) add("Content-Length", std::to_string(r.ContentLength));
  add("Cache-control", r.CacheControl);
  addDate("Date", r.Date);
  addDate("Expires", r.Expires);
  addDate("Last-Modified", r.LastModified);
  add("Pragma", r.Pragma);
  for (const std::string& line : r.CustomHeaders.Lines()) lines.Add(OneLine(line));
  if (AllowCookies && CookieManager) {
    auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    add("Cookie", CookieManager->CookieHeader(url_.Host, url_.Path + url_.Document, tls_, now));
  }
  add("Proxy-Connection", r.ProxyConnection);
  add("Host", r.Host);
  add("Accept", r.Accept);
  add("Accept-Charset", r.AcceptCharSet);
  add("Accept-Encoding", r.AcceptEncoding);
  add("Accept-Language", r.AcceptLanguage);
  add("From", r.From);
  add("Referer", r.Referer);
  add("User-Agent", r.UserAgent);
  if (!r.IfModifiedSince.empty()) {
    add("If-Modified-Since", r.IfModifiedSince);
  } else {
    addDate("If-Modified-Since", r.LastModified);
  }
  add("If-None-Match", r.IfNoneMatch);
  if (r.ContentRangeEnd > 0) {
    add("Range",
        "bytes=" + std::to_string(r.ContentRangeStart) + "-" + std::to_string(r.ContentRangeEnd));
  } else if (r.ContentRangeStart > 0) {
    add("Range", "bytes=" + std::to_string(r.ContentRangeStart) + "-");
  }
  if (r.BasicAuthentication && !r.Username.empty()) {
    add("Authorization", BasicCredentials(r.Username, r.Password));
  }
  // A plain request through a proxy carries the proxy's credentials; a
  // tunnel carries them on its CONNECT.
  if (proxy_ && !tls_ && proxy_->BasicAuthentication && !proxy_->ProxyUsername.empty()) {
    add("Proxy-Authorization", BasicCredentials(proxy_->ProxyUsername, proxy_->ProxyPassword));
  }

  std::string head = MethodName(method);
  head += ' ';
  head += r.Target;
  head += ProtocolVersion == THttpVersion::Http10 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n";
  head += lines.Text();
  head += "\r\n";
  return head;
}

void THttpClient::SendRequest(THttpMethod method, TStream* source) {
  std::string head = BuildRequestHead(method);
  if (OnHeadSent) OnHeadSent(head);
  connection_.Write(head);
  if (Request.ContentLength > 0 && source != nullptr) {
    source->SetPosition(0);
    std::string block(TTcpConnection::SendBufferSize, '\0');
    for (;;) {
      int64_t n = source->Read(block.data(), static_cast<int64_t>(block.size()));
      if (n <= 0) break;
      connection_.Write(std::string_view(block.data(), static_cast<size_t>(n)));
    }
  }
}

void THttpClient::ReadReplyHead() {
  for (int interim = 0;; ++interim) {
    ReadOneHead();
    int32_t code = Response.StatusCode;
    if (code < 100 || code > 199 || code == 101 || interim >= kMaxInterimReplies) return;
  }
}

void THttpClient::ReadOneHead() {
  THttpResponse& r = Response;
  TStream* bodyTarget = r.BodyTarget;
  r = THttpResponse();
  r.BodyTarget = bodyTarget;

  // Blank lines left over after an earlier reply are not a status line;
  // a reply of nothing else never starts.
  for (size_t blank = 0; Trim(r.StatusLine = connection_.ReadLine()).empty();) {
    if (++blank >= kMaxHeaderLines) {
      throw EHttpMalformedReply("応答に状態行がなく、空行だけです。");
    }
  }

  std::string_view status = r.StatusLine;
  size_t blank = status.find(' ');
  if (blank != std::string_view::npos) {
    std::string_view word = Trim(status.substr(blank + 1));
    word = word.substr(0, word.find(' '));
    if (!ParseDecimal(word, r.StatusCode)) r.StatusCode = -1;
  }
  // "HTTP/1.0 ...": the version stands at characters 6 to 8.
  r.ResponseVersion = status.size() >= 8 && status.substr(5, 3) == "1.0" ? THttpVersion::Http10
                                                                         : THttpVersion::Http11;

  for (;;) {
    std::string line;
    try {
      line = connection_.ReadLine();
    } catch (const EConnClosedGracefully&) {
      // The lines read so far stay; there is no body to read.
      connection_.Disconnect();
      break;
    }
    if (line.empty()) break;
    if (r.HeaderLines.Count() >= kMaxHeaderLines) {
      throw EHttpMalformedReply("応答のヘッダー行が多すぎます。");
    }
    r.HeaderLines.Add(std::move(line));
  }

  const THeaderList& h = r.HeaderLines;
  r.Location = h.Value("Location");
  r.Server = h.Value("Server");
  r.ProxyConnection = h.Value("Proxy-Connection");
  if (std::string range = h.Value("Content-Range"); !range.empty()) {
    // "bytes start-end/total"
    std::string_view text = range;
    if (size_t space = text.find(' '); space != std::string_view::npos)
      text.remove_prefix(space + 1);
    size_t dash = text.find('-');
    size_t slash = text.find('/');
    int32_t start = 0, end = 0;
    if (dash != std::string_view::npos && ParseDecimal(Trim(text.substr(0, dash)), start) &&
        ParseDecimal(
            Trim(text.substr(dash + 1, slash == std::string_view::npos ? std::string_view::npos
                                                                       : slash - dash - 1)),
            end)) {
      r.ContentRangeStart = start;
      r.ContentRangeEnd = end;
    }
  }
  r.WWWAuthenticate = h.Values("WWW-Authenticate");
  r.ProxyAuthenticate = h.Values("Proxy-Authenticate");
  r.Connection = h.Value("Connection");
  r.ContentVersion = h.Value("Content-Version");
  r.ContentEncoding = h.Value("Content-Encoding");
  r.ContentLanguage = h.Value("Content-Language");
  if (h.Has("Content-Type")) r.ContentType = h.Value("Content-Type");
  if (h.Has("Content-Length")) {
    r.HasContentLength = true;
    r.ContentLength = ReadContentLength(h.Values("Content-Length"));
  }
  r.Date = ReadDate(h.Value("Date"));
  r.LastModified = ReadDate(h.Value("Last-Modified"));
  r.Expires = ReadDate(h.Value("Expires"));
  r.Pragma = h.Value("Pragma");

  if (AllowCookies) {
    if (!CookieManager) CookieManager = std::make_unique<TCookieManager>();
    auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    for (const char* name : {"Set-cookie", "Set-cookie2"}) {
      for (const std::string& text : h.Values(name)) {
        CookieManager->AddCookie(text, url_.Host, url_.Path + url_.Document, now);
      }
    }
  }

  if (OnHeadReceived) {
    std::string head = r.StatusLine + "\r\n";
    for (const std::string& line : h.Lines()) head += line + "\r\n";
    head += "\r\n";
    OnHeadReceived(head);
  }
}

bool THttpClient::ReplyHasBody(THttpMethod method) const {
  int32_t code = Response.StatusCode;
  return method != THttpMethod::Head && code != 204 && code != 304 && !(code >= 100 && code < 200);
}

void THttpClient::ReadBody(TStream* target) {
  const bool chunked =
      ContainsIgnoreCase(Response.HeaderLines.Value("Transfer-Encoding"), "chunked");
  if (!connection_.Connected()) {
    // Closed right after the head: only a body that ends at the close is
    // whole (empty); one announced by its length or by chunks was cut.
    if (chunked || Response.ContentLength > 0) throw EConnClosedGracefully();
    return;
  }
  if (chunked) {
    ReadChunked(target);
  } else if (Response.ContentLength > 0) {
    // A body that ends before its announced length is cut, not complete:
    // taking it as the whole body would hand a truncated record on as good.
    if (connection_.ReadStream(target, Response.ContentLength) < Response.ContentLength) {
      throw EConnClosedGracefully();
    }
  } else if (!Response.HasContentLength) {
    connection_.ReadStream(target, -1);
  }
  if (target != nullptr) {
    int64_t position = target->Position();
    if (position < target->Size()) target->SetSize(position);
  }
}

void THttpClient::ReadChunked(TStream* target) {
  for (int64_t size = ParseChunkSize(connection_.ReadLine()); size > 0;
       size = ParseChunkSize(connection_.ReadLine())) {
    connection_.ReadStream(target, size);
    connection_.ReadLine();  // the line break that ends the chunk
  }
  // Trailer lines up to the empty line; a server that closes instead has
  // still sent the whole body.
  for (size_t count = 0;; ++count) {
    if (count >= kMaxHeaderLines) throw EHttpMalformedReply("応答のヘッダー行が多すぎます。");
    std::string line;
    try {
      line = connection_.ReadLine();
    } catch (const EConnClosedGracefully&) {
      return;
    }
    if (line.empty()) return;
  }
}

void THttpClient::RaiseProtocolError(THttpMethod method) {
  TStringStream body;
  if (ReplyHasBody(method)) ReadBody(&body);
  // The status line as sent, with what a message cannot show escaped.
  EHttpProtocolError error(Response.StatusCode, ShownServerText(Response.StatusLine),
                           body.DataString());
  error.RetryAfter = Response.HeaderLines.Value("Retry-After");
  throw error;
}

void THttpClient::FinishReply() {
  bool keep = connection_.Connected();
  if (keep) {
    std::string connection = UpperCase(Trim(Response.Connection));
    std::string proxyConnection = UpperCase(Trim(Response.ProxyConnection));
    if (ProtocolVersion == THttpVersion::Http11 &&
        Response.ResponseVersion == THttpVersion::Http11) {
      keep = connection != "CLOSE" && proxyConnection != "CLOSE";
    } else {
      keep = connection == "KEEP-ALIVE" || proxyConnection == "KEEP-ALIVE";
    }
    // We asked for the connection to end with this reply.
    if (EqualsIgnoreCase(Trim(Request.Connection), "close")) keep = false;
  }
  Response.KeepAlive = keep;
  if (!keep) connection_.Disconnect();
}

void ApplyProgramRequestSettings(THttpClient& client) {
  THttpRequest& r = client.Request;
  r.UserAgent = kProgramUserAgent;
  r.AcceptLanguage = kProgramAcceptLanguage;
  r.AcceptCharSet = kProgramAcceptCharSet;
  r.ContentRangeStart = 0;
  r.ContentRangeEnd = 0;
  r.CacheControl = kProgramCacheControl;
  r.Connection = kProgramConnection;
  r.AcceptEncoding.clear();
  client.ConnectTimeout = kProgramConnectTimeout;
  // As every command-line tool: http_proxy, https_proxy and no_proxy.
  client.UseEnvironmentProxy = true;
}

void FollowAddressRedirects(THttpClient& client) {
  client.HandleRedirects = true;
  client.MaxPasses = client.RedirectMaximum + 1;
  client.OnRedirect = [&client](std::string& destination, int, bool&, THttpMethod&) {
    const TUri next(destination);
    if (EqualsIgnoreCase(client.Url().Protocol, "https") && !next.Protocol.empty() &&
        !EqualsIgnoreCase(next.Protocol, "https")) {
      throw EHttpError("サーバー " + client.Url().Host + " は棋譜を暗号化しない " +
                       ShownServerText(destination) + " へ転送するため、従いません。");
    }
  };
}

}  // namespace zelvaro
