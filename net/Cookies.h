// Cookies a server set, kept by domain and path and sent back only where
// they belong: to a host the domain fits, under the cookie's path, before
// it expires.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/HttpDate.h"

namespace zelvaro {

class TCookie {
 public:
  // Reads a Set-Cookie value: "name=value" then "; "-separated properties.
  // Reading the same text again changes nothing.
  void SetCookieText(std::string_view text);

  // "N=V; path=P; expires=E; domain=D; secure; max-age=M; comment=C;
  // version=Q", each part only when it has a value.
  std::string FullText() const;
  // "N=V", as a Cookie header carries it.
  std::string NameValue() const { return Name + "=" + Value; }

  // When the cookie stops being sent: Max-Age wins over Expires. Empty when
  // it lasts for the session.
  std::optional<TDateTime> ExpiresAt() const;
  bool IsExpired(TDateTime now) const;

  std::string Name;
  std::string Value;
  std::string Path;
  std::string Expires;  // as the server wrote it
  std::string Domain;
  bool Secure = false;
  int MaxAge = -1;  // -1: absent or not a number
  std::string Version;
  std::string Comment;
  TDateTime Received{};  // Max-Age counts from here

 private:
  std::string cookieText_;
};

class TCookieManager {
 public:
  // Asked before a cookie is kept; returning false drops it.
  std::function<bool(const TCookie&)> OnNewCookie;

  // Adds the cookie a reply from `host` for `requestPath` set. Returns
  // whether it was kept: its domain (the host when it names none) must fit
  // the host. A cookie of the same name, domain and path is replaced; one
  // that is already expired removes it.
  bool AddCookie(std::string_view setCookieText, std::string_view host,
                 std::string_view requestPath, TDateTime now);

  // "a=b; c=d" for a request to `host` and `path`: the cookies whose domain
  // fits the host, whose path begins the request path, that have not
  // expired and, when `secure` is false, are not marked secure. Empty when
  // none applies.
  std::string CookieHeader(std::string_view host, std::string_view path, bool secure,
                           TDateTime now) const;

  const std::vector<TCookie>& Cookies() const { return cookies_; }
  void Clear() { cookies_.clear(); }

 private:
  // Grouped by domain and path, in arrival order inside a group.
  std::vector<TCookie> cookies_;
};

// Whether a cookie of `domain` may be sent to (or set by) `host`.
bool DomainFits(std::string_view domain, std::string_view host);
// Whether a cookie of `cookiePath` applies to the request path `path`.
bool PathFits(std::string_view cookiePath, std::string_view path);

}  // namespace zelvaro
