#include "net/Cookies.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>

#include "net/HeaderList.h"

namespace zelvaro {
namespace {

bool IsNumericAddress(std::string_view host) {
  std::string text(host);
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
    text = text.substr(1, text.size() - 2);
  unsigned char buffer[16];
  return inet_pton(AF_INET, text.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return lower;
}

std::string_view StripQuotes(std::string_view text) {
  if (!text.empty() && text.front() == '"') text.remove_prefix(1);
  if (!text.empty() && text.back() == '"') text.remove_suffix(1);
  return text;
}

// The directory of a request path, the default path of a cookie that names
// none.
std::string DefaultPath(std::string_view requestPath) {
  size_t slash = requestPath.rfind('/');
  if (requestPath.empty() || requestPath[0] != '/' || slash == 0 ||
      slash == std::string_view::npos) {
    return "/";
  }
  return std::string(requestPath.substr(0, slash));
}

}  // namespace

void TCookie::SetCookieText(std::string_view text) {
  if (text == cookieText_ && !cookieText_.empty()) return;
  TDateTime received = Received;
  *this = TCookie();
  Received = received;
  cookieText_ = std::string(text);

  bool first = true;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    size_t eq = item.find('=');
    if (first) {
      first = false;
      Name = std::string(Trim(item.substr(0, eq)));
      if (eq != std::string_view::npos) Value = std::string(Trim(item.substr(eq + 1)));
      continue;
    }
    if (item.empty()) continue;
    std::string key = UpperCase(Trim(item.substr(0, eq)));
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : Trim(item.substr(eq + 1));
    if (key == "PATH") {
      Path = std::string(StripQuotes(value));
    } else if (key == "EXPIRES") {
      Expires = std::string(value);
    } else if (key == "DOMAIN") {
      Domain = std::string(value);
    } else if (key == "SECURE") {
      Secure = true;
    } else if (key == "MAX-AGE") {
      int age = -1;
      auto [end_, ec] = std::from_chars(value.data(), value.data() + value.size(), age);
      MaxAge = ec == std::errc() && end_ == value.data() + value.size() && age >= 0 ? age : -1;
    } else if (key == "VERSION") {
      Version = std::string(value);
    } else if (key == "COMMENT") {
      Comment = std::string(value);
    }
  }
}

std::string TCookie::FullText() const {
  std::string text = NameValue();
  auto part = [&text](std::string_view key, std::string_view value) {
    if (value.empty()) return;
    text += "; ";
    text += key;
    text += '=';
    text += value;
  };
  part("path", Path);
  part("expires", Expires);
  part("domain", Domain);
  if (Secure) text += "; secure";
  if (Expires.empty() && MaxAge >= 0) part("max-age", std::to_string(MaxAge));
  part("comment", Comment);
  part("version", Version);
  return text;
}

std::optional<TDateTime> TCookie::ExpiresAt() const {
  if (MaxAge >= 0) return Received + std::chrono::seconds(MaxAge);
  if (Expires.empty()) return std::nullopt;
  if (auto when = ParseHttpDate(Expires)) return when;
  return std::nullopt;
}

bool TCookie::IsExpired(TDateTime now) const {
  auto at = ExpiresAt();
  return at && *at <= now;
}

bool DomainFits(std::string_view domain, std::string_view host) {
  std::string d = LowerCase(domain);
  std::string h = LowerCase(host);
  if (!d.empty() && d.front() == '.') d.erase(0, 1);
  if (d.empty() || h.empty()) return false;
  if (d == h) return true;
  if (IsNumericAddress(h) || d.find('.') == std::string::npos) return false;
  return h.size() > d.size() && h.compare(h.size() - d.size(), d.size(), d) == 0 &&
         h[h.size() - d.size() - 1] == '.';
}

bool PathFits(std::string_view cookiePath, std::string_view path) {
  if (cookiePath.empty()) cookiePath = "/";
  if (path.substr(0, cookiePath.size()) != cookiePath) return false;
  return path.size() == cookiePath.size() || cookiePath.back() == '/' ||
         path[cookiePath.size()] == '/';
}

bool TCookieManager::AddCookie(std::string_view setCookieText, std::string_view host,
                               std::string_view requestPath, TDateTime now) {
  TCookie cookie;
  cookie.Received = now;
  cookie.SetCookieText(setCookieText);
  if (cookie.Name.empty()) return false;
  if (cookie.Domain.empty()) cookie.Domain = std::string(host);
  if (!DomainFits(cookie.Domain, host)) return false;
  if (cookie.Path.empty() || cookie.Path[0] != '/') cookie.Path = DefaultPath(requestPath);
  if (OnNewCookie && !OnNewCookie(cookie)) return false;

  std::string domainKey = LowerCase(cookie.Domain);
  if (!domainKey.empty() && domainKey[0] == '.') domainKey.erase(0, 1);
  auto sameGroup = [&](const TCookie& c) {
    std::string d = LowerCase(c.Domain);
    if (!d.empty() && d[0] == '.') d.erase(0, 1);
    return d == domainKey && c.Path == cookie.Path;
  };
  auto same = std::find_if(cookies_.begin(), cookies_.end(),
                           [&](const TCookie& c) { return sameGroup(c) && c.Name == cookie.Name; });
  if (cookie.IsExpired(now)) {
    // A server removes a cookie by sending it again already expired.
    if (same != cookies_.end()) cookies_.erase(same);
    return true;
  }
  if (same != cookies_.end()) {
    *same = std::move(cookie);
    return true;
  }
  auto groupEnd = std::find_if(cookies_.rbegin(), cookies_.rend(), sameGroup);
  if (groupEnd != cookies_.rend()) {
    cookies_.insert(groupEnd.base(), std::move(cookie));
  } else {
    cookies_.push_back(std::move(cookie));
  }
  return true;
}

std::string TCookieManager::CookieHeader(std::string_view host, std::string_view path, bool secure,
                                         TDateTime now) const {
  std::string header;
  for (const TCookie& cookie : cookies_) {
    if (!DomainFits(cookie.Domain, host) || !PathFits(cookie.Path, path)) continue;
    if (cookie.IsExpired(now) || (cookie.Secure && !secure)) continue;
    if (!header.empty()) header += "; ";
    header += cookie.NameValue();
  }
  return header;
}

}  // namespace zelvaro
