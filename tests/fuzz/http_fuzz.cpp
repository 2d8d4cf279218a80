// Fuzzed bytes as a server's reply: head and body arrive in pieces whose
// lengths the first bytes choose. The first byte's bit 5 picks how:
//   clear: the rest is the reply as it is. The client must end with a body
//          or one of its own errors, never crash or hang, and never hand
//          over more than 32768 bytes in one write. With bit 6 set the
//          reply comes over TLS, from a TLS server in memory after a real
//          handshake, each piece as records of its own.
//   set:   the rest is a page's text, sent as a whole gzip reply (by length,
//          chunked or until the close, as bits 6-7 say) and fetched as the
//          program does; when the third byte's bit 0 is set a few bytes of
//          the reply are changed first. A gzip page the fetch accepts must
//          give exactly the page's lines; an undamaged one must be accepted.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/MemoryTransport.h"
#include "net/PageFetch.h"
#include "net/untHttp.h"
#include "tests/net/MemoryTlsServer.h"
#include "tests/streams/GzipBuilder.h"

namespace {

class CheckedStream : public zelvaro::TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    if (count > 32768) __builtin_trap();
    return TMemoryStream::Write(buffer, count);
  }
};

// The lines a fetch gives for a whole page.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') {
      if (!lines.back().empty()) lines.emplace_back();
    } else if (c != '\r' && c != '\0') {
      lines.back() += c;
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

std::string GzipReply(const std::string& text, uint8_t framing) {
  const std::string gz = zelvaro::testing::Gzip(text);
  std::string head = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n";
  switch (framing) {
    case 0:
      return head + "Content-Length: " + std::to_string(gz.size()) + "\r\n\r\n" + gz;
    case 1: {
      char size[16];
      std::snprintf(size, sizeof size, "%zx", gz.size());
      return head + "Transfer-Encoding: chunked\r\n\r\n" + size + "\r\n" + gz + "\r\n0\r\n\r\n";
    }
    default:
      return head + "\r\n" + gz;
  }
}

void FetchGzipPage(const std::string& text, uint8_t flags, uint32_t seed,
                   const std::vector<size_t>& cuts, bool damage) {
  std::string reply = GzipReply(text, (flags >> 6) % 3);
  uint32_t state = seed | 1;
  if (damage) {
    for (int i = 0; i < 3; ++i) {
      state = state * 1103515245u + 12345u;
      reply[(state >> 8) % reply.size()] ^= static_cast<char>(1 + (state >> 24) % 255);
    }
  }
  std::vector<std::string> pieces;
  size_t at = 0;
  for (size_t length : cuts) {
    if (at >= reply.size()) break;
    pieces.push_back(reply.substr(at, length));
    at += length;
  }
  if (at < reply.size()) pieces.push_back(reply.substr(at));

  zelvaro::TPageFetcher fetcher;
  fetcher.MaxPageSize = 1 << 20;
  fetcher.FHttp.Connection().Connector = [&](const std::string&, uint16_t,
                                             std::chrono::milliseconds) {
    return std::make_unique<zelvaro::TMemoryTransport>(pieces);
  };
  bool ok = true;
  try {
    fetcher.FetchLines("http://fuzz.example/kifu/game.kif");
  } catch (const zelvaro::Exception&) {
    ok = false;
  }
  if (!damage && !ok) __builtin_trap();
  const bool decoded =
      fetcher.FHttp.Response.ContentEncoding == "gzip" && fetcher.FGzip.Header().HeaderSeen;
  if (ok && decoded && fetcher.Lines() != LinesOf(text)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t flags = data[0];
  uint32_t seed = data[1] | (static_cast<uint32_t>(data[2]) << 8);
  std::string reply(reinterpret_cast<const char*>(data + 3), size - 3);

  std::vector<size_t> cuts;
  for (size_t at = 0; at < reply.size() + 64;) {
    seed = seed * 1103515245u + 12345u;
    size_t length = 1 + (seed >> 16) % ((flags & 1) ? 7 : 300);
    cuts.push_back(length);
    at += length;
  }
  if (flags & 32) {
    FetchGzipPage(reply, flags, seed, cuts, data[2] & 1);
    return 0;
  }
  std::vector<std::string> pieces;
  for (size_t at = 0, i = 0; at < reply.size(); at += cuts[i++]) {
    pieces.push_back(reply.substr(at, cuts[i]));
  }
  auto end = (flags & 6) == 2   ? zelvaro::TMemoryTransport::End::kReset
             : (flags & 6) == 4 ? zelvaro::TMemoryTransport::End::kStall
                                : zelvaro::TMemoryTransport::End::kClose;

  const bool tls = (flags & 64) != 0;
  zelvaro::THttpClient client;
  client.HandleRedirects = (flags & 8) != 0;
  if (flags & 16) zelvaro::ApplyProgramRequestSettings(client);
  client.UseEnvironmentProxy = false;
  int connects = 0;
  client.Connection().Connector =
      [&](const std::string&, uint16_t,
          std::chrono::milliseconds) -> std::unique_ptr<zelvaro::TTransport> {
    // A redirect to a new connection finds a server that says nothing.
    auto given = connects++ == 0 ? pieces : std::vector<std::string>{};
    if (tls) return std::make_unique<zelvaro::testing::MemoryTlsServer>(given, end);
    return std::make_unique<zelvaro::TMemoryTransport>(given, end);
  };
  const std::string scheme = tls ? "https" : "http";
  CheckedStream body;
  try {
    client.Get(scheme + "://fuzz.example/dir/page.html", &body);
  } catch (const zelvaro::Exception&) {
  }
  // The client stays usable after whatever happened.
  connects = 0;
  try {
    client.Get(scheme + "://fuzz.example/other.kif", &body);
  } catch (const zelvaro::Exception&) {
  }
  return 0;
}
