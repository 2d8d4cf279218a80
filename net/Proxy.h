// Proxies, found as command-line tools on Linux find them: http_proxy for
// http addresses, https_proxy for https ones (either spelling, the
// lower-case one first), no_proxy for the hosts that go direct. A proxy is
// "[http://][user[:password]@]host[:port]" (port 1080 when left out). An
// http request goes to the proxy with the whole address as its target; an
// https one goes through a CONNECT tunnel, inside which TLS runs to the
// server itself.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/NetErrors.h"

namespace zelvaro {

class TTcpConnection;

// A proxy that cannot be used: an address that is no http proxy, one that
// cannot be reached, a tunnel it refuses.
class EProxyError : public ETcpError {
 public:
  using ETcpError::ETcpError;
};

// The client's proxy settings (ProxyParams): a server set here is used for
// every request; without one the environment decides.
struct TProxyParams {
  std::string ProxyServer;
  uint16_t ProxyPort = 0;
  std::string ProxyUsername;
  std::string ProxyPassword;
  // Sends "Proxy-Authorization: Basic ..." when a user name is set.
  bool BasicAuthentication = true;
};

// Reads a proxy address as the variables hold it. Throws EProxyError for a
// scheme other than http, an empty host or a bad port.
TProxyParams ParseProxyAddress(std::string_view text);

// Whether `host`:`port` is one of the no_proxy entries: "*" (every host), a
// name (the host itself and every host below it; a leading "." or "*."
// allowed), an IP address, an IPv4 range as address/bits; each optionally
// with ":port". Names compare without regard to case.
bool NoProxyMatches(std::string_view list, std::string_view host, uint16_t port);

using TEnvironment = std::function<std::optional<std::string>(const char* name)>;
// The process environment.
std::optional<std::string> ProcessEnvironment(const char* name);

// The proxy the environment names for `protocol` ("http" or "https", any
// case) to `host`:`port`; nothing for a direct connection (no variable, an
// empty one, or a no_proxy match). Throws EProxyError for a variable that
// holds no usable proxy address.
std::optional<TProxyParams> EnvironmentProxy(std::string_view protocol, std::string_view host,
                                             uint16_t port,
                                             const TEnvironment& environment = ProcessEnvironment);

// "Basic " + base64(user ":" password).
std::string BasicCredentials(std::string_view user, std::string_view password);

// Over `connection`, open to a proxy: asks it for a tunnel to `host`:`port`
// (CONNECT) and reads its answer. Returns when the tunnel stands (a 2xx
// answer; an empty status line counts as "HTTP/1.0 200 OK"); throws
// EProxyError naming the proxy's answer when it refuses, and the
// connection's errors (time limits, abort) as they come.
void OpenTunnel(TTcpConnection& connection, const std::string& host, uint16_t port,
                const std::string& authorization, const std::string& proxy_name);

}  // namespace zelvaro
