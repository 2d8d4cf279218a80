#include "net/Proxy.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "net/HeaderList.h"
#include "net/ServerText.h"
#include "net/TcpConnection.h"

namespace zelvaro {
namespace {

// curl's default port for a proxy given without one.
constexpr uint16_t kDefaultProxyPort = 1080;
// Header lines a proxy's answer to CONNECT may carry.
constexpr int kMaxTunnelHeaderLines = 100;

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(v >> shift) & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = uint8_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= uint8_t(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int value = 0;
    if (text[i] == '%' && i + 2 < text.size() &&
        std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16).ptr ==
            text.data() + i + 3) {
      out += static_cast<char>(value);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool ParsePort(std::string_view text, uint16_t& port) {
  unsigned value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
    return false;
  port = static_cast<uint16_t>(value);
  return true;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Splits "host[:port]" ("[v6]:port" too); the port is 0 when absent.
bool SplitHostPort(std::string_view text, std::string& host, uint16_t& port) {
  port = 0;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    host = std::string(text.substr(1, close - 1));
    std::string_view rest = text.substr(close + 1);
    if (rest.empty()) return true;
    return rest.front() == ':' && ParsePort(rest.substr(1), port);
  }
  const size_t colon = text.rfind(':');
  // An IPv6 address without brackets has several colons and no port.
  if (colon == std::string_view::npos || text.find(':') != colon) {
    host = std::string(text);
    return true;
  }
  host = std::string(text.substr(0, colon));
  return ParsePort(text.substr(colon + 1), port);
}

bool InIpv4Range(std::string_view host, std::string_view range) {
  const size_t slash = range.find('/');
  if (slash == std::string_view::npos) return false;
  unsigned bits = 0;
  const std::string_view bits_text = range.substr(slash + 1);
  if (std::from_chars(bits_text.data(), bits_text.data() + bits_text.size(), bits).ptr !=
          bits_text.data() + bits_text.size() ||
      bits > 32)
    return false;
  in_addr a{}, b{};
  if (::inet_pton(AF_INET, std::string(host).c_str(), &a) != 1 ||
      ::inet_pton(AF_INET, std::string(range.substr(0, slash)).c_str(), &b) != 1)
    return false;
  const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
  return (ntohl(a.s_addr) & mask) == (ntohl(b.s_addr) & mask);
}

}  // namespace

std::string BasicCredentials(std::string_view user, std::string_view password) {
  std::string pair(user);
  pair += ':';
  pair += password;
  return "Basic " + Base64(pair);
}

TProxyParams ParseProxyAddress(std::string_view text) {
  std::string_view rest = Trim(text);
  const std::string shown(rest);
  if (const size_t scheme = rest.find("://"); scheme != std::string_view::npos) {
    if (LowerCase(rest.substr(0, scheme)) != "http") {
      throw EProxyError("プロキシ " + ShownServerText(shown) +
                        " は使えません (使えるのは http:// のプロキシだけです)。");
    }
    rest.remove_prefix(scheme + 3);
  }
  rest = rest.substr(0, rest.find('/'));
  TProxyParams proxy;
  if (const size_t at = rest.rfind('@'); at != std::string_view::npos) {
    const std::string_view user = rest.substr(0, at);
    const size_t colon = user.find(':');
    proxy.ProxyUsername = PercentDecode(user.substr(0, colon));
    if (colon != std::string_view::npos)
      proxy.ProxyPassword = PercentDecode(user.substr(colon + 1));
    rest.remove_prefix(at + 1);
  }
  uint16_t port = 0;
  if (!SplitHostPort(rest, proxy.ProxyServer, port) || proxy.ProxyServer.empty()) {
    throw EProxyError("プロキシのアドレス \"" + ShownServerText(shown) + "\" が読めません。");
  }
  proxy.ProxyPort = port != 0 ? port : kDefaultProxyPort;
  return proxy;
}

bool NoProxyMatches(std::string_view list, std::string_view host, uint16_t port) {
  std::string name = LowerCase(host);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  while (!name.empty() && name.back() == '.') name.pop_back();
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(", ", start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = Trim(list.substr(start, end - start));
    start = end + 1;
    if (entry.empty()) continue;
    if (entry == "*") return true;
    std::string entry_host;
    uint16_t entry_port = 0;
    if (entry.find('/') != std::string_view::npos) {
      if (InIpv4Range(name, entry)) return true;
      continue;
    }
    if (!SplitHostPort(entry, entry_host, entry_port)) continue;
    if (entry_port != 0 && entry_port != port) continue;
    entry_host = LowerCase(entry_host);
    if (entry_host.rfind("*.", 0) == 0) entry_host.erase(0, 1);
    if (!entry_host.empty() && entry_host.front() == '.') entry_host.erase(0, 1);
    while (!entry_host.empty() && entry_host.back() == '.') entry_host.pop_back();
    if (entry_host.empty()) continue;
    if (name == entry_host) return true;
    if (name.size() > entry_host.size() &&
        name.compare(name.size() - entry_host.size(), entry_host.size(), entry_host) == 0 &&
        name[name.size() - entry_host.size() - 1] == '.')
      return true;
  }
  return false;
}

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<TProxyParams> EnvironmentProxy(std::string_view protocol, std::string_view host,
                                             uint16_t port, const TEnvironment& environment) {
  const std::string lower = LowerCase(protocol);
  const std::string variable = lower == "https" ? "https_proxy" : "http_proxy";
  // The lower-case spelling first, as curl and wget read them.
  auto read = [&environment](const std::string& name) -> std::string {
    for (const std::string& spelling : {name, UpperCase(name)}) {
      if (auto value = environment(spelling.c_str()); value && !Trim(*value).empty()) return *value;
    }
    return {};
  };
  const std::string address = read(variable);
  if (Trim(address).empty()) return std::nullopt;
  if (NoProxyMatches(read("no_proxy"), host, port)) return std::nullopt;
  return ParseProxyAddress(address);
}

void OpenTunnel(TTcpConnection& connection, const std::string& host, uint16_t port,
                const std::string& authorization, const std::string& proxy_name) {
  const std::string authority =
      (host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host) + ":" +
      std::to_string(port);
  std::string request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
  if (!authorization.empty()) request += "Proxy-Authorization: " + authorization + "\r\n";
  request += "\r\n";
  connection.Write(request);

  std::string status;
  try {
    status = connection.ReadLine();
  } catch (const EConnClosedGracefully&) {
    throw EProxyError("プロキシ " + proxy_name + " は " + authority +
                      " への中継を開かずに接続を閉じました。");
  }
  if (Trim(status).empty()) status = "HTTP/1.0 200 OK";
  for (int lines = 0;; ++lines) {
    if (lines >= kMaxTunnelHeaderLines) {
      throw EProxyError("プロキシ " + proxy_name + " の応答のヘッダー行が多すぎます。");
    }
    if (connection.ReadLine().empty()) break;
  }
  const size_t blank = status.find(' ');
  const std::string_view code = blank == std::string::npos
                                    ? std::string_view()
                                    : Trim(std::string_view(status).substr(blank + 1, 4));
  if (status.rfind("HTTP/", 0) != 0 || code.empty() || code[0] != '2') {
    throw EProxyError("プロキシ " + proxy_name + " が " + authority + " への中継を断りました (" +
                      ShownServerText(status) + ")。");
  }
}

}  // namespace zelvaro
