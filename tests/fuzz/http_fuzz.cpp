// Fuzzed bytes as a server's reply: head and body arrive in pieces whose
// lengths the first bytes choose. The client must end with a body or one of
// its own errors, never crash or hang, and never hand over more than 32768
// bytes in one write.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/MemoryTransport.h"
#include "net/untHttp.h"

namespace {

class CheckedStream : public zelvaro::TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    if (count > 32768) __builtin_trap();
    return TMemoryStream::Write(buffer, count);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t flags = data[0];
  uint32_t seed = data[1] | (static_cast<uint32_t>(data[2]) << 8);
  std::string reply(reinterpret_cast<const char*>(data + 3), size - 3);

  std::vector<std::string> pieces;
  for (size_t at = 0; at < reply.size();) {
    seed = seed * 1103515245u + 12345u;
    size_t length = 1 + (seed >> 16) % ((flags & 1) ? 7 : 300);
    pieces.push_back(reply.substr(at, length));
    at += length;
  }
  auto end = (flags & 6) == 2   ? zelvaro::TMemoryTransport::End::kReset
             : (flags & 6) == 4 ? zelvaro::TMemoryTransport::End::kStall
                                : zelvaro::TMemoryTransport::End::kClose;

  zelvaro::THttpClient client;
  client.HandleRedirects = (flags & 8) != 0;
  if (flags & 16) zelvaro::ApplyProgramRequestSettings(client);
  int connects = 0;
  client.Connection().Connector = [&](const std::string&, uint16_t, std::chrono::milliseconds) {
    // A redirect to a new connection finds a server that says nothing.
    return std::make_unique<zelvaro::TMemoryTransport>(
        connects++ == 0 ? pieces : std::vector<std::string>{}, end);
  };
  CheckedStream body;
  try {
    client.Get("http://fuzz.example/dir/page.html", &body);
  } catch (const zelvaro::Exception&) {
  }
  // The client stays usable after whatever happened.
  connects = 0;
  try {
    client.Get("http://fuzz.example/other.kif", &body);
  } catch (const zelvaro::Exception&) {
  }
  return 0;
}
