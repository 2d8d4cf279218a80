// FetchLines of a 2 MB page on loopback against the raw transfer of the same
// response (connect, send the request, read until the server closes, no
// parsing), plain and gzip-encoded. THttpClient's GET alone is shown too, so
// the cost of cutting lines can be told from the cost of HTTP. The same page
// with its line feeds replaced by blanks (one 2 MB line, taken at the end)
// shows that cutting lines costs the same per byte without line breaks.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "bench/common/LoopbackServer.h"
#include "bench/streams/BenchPage.h"
#include "bench/streams/MedianReporter.h"
#include "net/PageFetch.h"

namespace {

struct Fixture {
  std::string text, gz, one_line;
  zelvaro::bench::LoopbackServer server;
  static std::string Reply(const std::string& body, const char* extra) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n" + extra + "Connection: close\r\n\r\n" + body;
  }
  Fixture(std::string page, std::string gzipped)
      : text(std::move(page)),
        gz(std::move(gzipped)),
        one_line(OneLine(text)),
        server({{"", Reply(text, "")},
                {"/gzip", Reply(gz, "Content-Encoding: gzip\r\n")},
                {"/one-line", Reply(one_line, "")}}) {}
  static std::string OneLine(std::string text) {
    for (char& c : text)
      if (c == '\n') c = ' ';
    return text;
  }
};

Fixture& Shared() {
  static Fixture fixture = [] {
    std::string text = zelvaro::bench::PageText(2 << 20);
    zelvaro::testing::GzipOptions options;
    options.level = 9;
    std::string gz = zelvaro::testing::Gzip(text, options);
    return Fixture(std::move(text), std::move(gz));
  }();
  return fixture;
}

// The peer: the same request and the whole response read into memory.
size_t RawTransfer(uint16_t port, const char* path) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return 0;
  }
  std::string request =
      std::string("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  static thread_local std::string response(4 << 20, '\0');
  size_t got = 0;
  for (;;) {
    if (got == response.size()) response.resize(response.size() * 2);
    ssize_t n = ::recv(fd, response.data() + got, response.size() - got, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  return got;
}

void RawPlain(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(RawTransfer(f.server.Port(), "/plain"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.text.size()));
}
void RawGzip(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(RawTransfer(f.server.Port(), "/gzip"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.text.size()));
}
void HttpGetPlain(benchmark::State& state) {
  Fixture& f = Shared();
  zelvaro::THttpClient client;
  zelvaro::ApplyProgramRequestSettings(client);
  zelvaro::TMemoryStream body;
  for (auto _ : state) {
    body.Clear();
    client.Get(f.server.Url("/plain"), &body);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.text.size()));
}
void Fetch(benchmark::State& state, const char* path) {
  Fixture& f = Shared();
  zelvaro::TPageFetcher fetcher;
  for (auto _ : state) {
    fetcher.FetchLines(f.server.Url(path));
    if (fetcher.Lines().empty()) state.SkipWithError("no lines");
  }
  state.counters["lines"] = static_cast<double>(fetcher.Lines().size());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.text.size()));
}
void FetchLinesPlain(benchmark::State& state) { Fetch(state, "/plain"); }
void FetchLinesNoLineFeed(benchmark::State& state) { Fetch(state, "/one-line"); }
void FetchLinesGzip(benchmark::State& state) { Fetch(state, "/gzip"); }

// Wall time: the transfer is mostly waiting on the socket.
#define ZELVARO_BENCH(fn)             \
  BENCHMARK(fn)                       \
      ->Unit(benchmark::kMillisecond) \
      ->UseRealTime()                 \
      ->Repetitions(7)                \
      ->ReportAggregatesOnly(true)
ZELVARO_BENCH(RawPlain);
ZELVARO_BENCH(HttpGetPlain);
ZELVARO_BENCH(FetchLinesPlain);
ZELVARO_BENCH(FetchLinesNoLineFeed);
ZELVARO_BENCH(RawGzip);
ZELVARO_BENCH(FetchLinesGzip);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  zelvaro::bench::MedianReporter reporter(zelvaro::bench::MedianReporter::kWallTime);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("page: %zu bytes of text, %zu bytes gzip -9\n", Shared().text.size(),
              Shared().gz.size());
  reporter.PrintRatio("FetchLinesPlain", "RawPlain");
  reporter.PrintRatio("FetchLinesNoLineFeed", "FetchLinesPlain");
  reporter.PrintRatio("HttpGetPlain", "RawPlain");
  reporter.PrintRatio("FetchLinesGzip", "RawGzip");
  reporter.PrintRatio("FetchLinesGzip", "RawPlain");
  benchmark::Shutdown();
  return 0;
}
