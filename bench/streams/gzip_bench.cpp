// The gzip decoder against zlib's one-pass gunzip on the same 2 MB page
// (gzip -9), fed in 32 KB blocks, in 1,460-byte blocks (one TCP segment)
// and one byte at a time (at two sizes, to show the cost stays linear).
// Then the peak memory of decoding a 50 MB gzip file (one member) in 32 KB
// blocks, in a fresh process, against gzip -dc on the same file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/streams/BenchPage.h"
#include "bench/streams/MedianReporter.h"
#include "streams/untGZIP.h"
#include "tests/streams/GzipBuilder.h"

namespace {

struct Page {
  std::string text, gz;
  explicit Page(size_t size) {
    text = zelvaro::bench::PageText(size);
    zelvaro::testing::GzipOptions o;
    o.level = 9;
    gz = zelvaro::testing::Gzip(text, o);
  }
};

const Page& Page2M() {
  static const Page page(2 << 20);
  return page;
}
const Page& Page256K() {
  static const Page page(256 << 10);
  return page;
}

void ZlibOnePass(benchmark::State& state) {
  const Page& page = Page2M();
  for (auto _ : state) {
    std::string out = zelvaro::testing::ZlibGunzip(page.gz, page.text.size() + 1);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.text.size()));
}

void Decode(benchmark::State& state, const Page& page, size_t block) {
  zelvaro::TMemoryStream target;
  for (auto _ : state) {
    target.Clear();
    zelvaro::TGzipDecompressStream gzip(&target);
    for (size_t pos = 0; pos < page.gz.size(); pos += block) {
      gzip.Write(page.gz.data() + pos, static_cast<int64_t>(std::min(block, page.gz.size() - pos)));
    }
    if (target.Size() != static_cast<int64_t>(page.text.size())) state.SkipWithError("wrong size");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.text.size()));
}

void Decoder32K(benchmark::State& state) { Decode(state, Page2M(), 32768); }
void Decoder1460(benchmark::State& state) { Decode(state, Page2M(), 1460); }
void Decoder1Byte(benchmark::State& state) { Decode(state, Page2M(), 1); }
void Decoder1Byte256K(benchmark::State& state) { Decode(state, Page256K(), 1); }

#define ZELVARO_BENCH(fn) \
  BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
ZELVARO_BENCH(ZlibOnePass);
ZELVARO_BENCH(Decoder32K);
ZELVARO_BENCH(Decoder1460);
ZELVARO_BENCH(Decoder1Byte);
ZELVARO_BENCH(Decoder1Byte256K);

// A target that keeps nothing, as a caller that hands the text on would.
class NullStream : public zelvaro::TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override { return count; }
  int64_t Seek(int64_t, zelvaro::SeekOrigin) override { return 0; }
};

// The child's side: decodes `path` in 32 KB blocks, nothing kept.
int DecodeFile(const char* path) {
  std::FILE* in = std::fopen(path, "rb");
  if (in == nullptr) return 1;
  NullStream out;
  zelvaro::TGzipDecompressStream gzip(&out);
  std::vector<char> block(32768);
  for (size_t got; (got = std::fread(block.data(), 1, block.size(), in)) > 0;)
    gzip.Write(block.data(), static_cast<int64_t>(got));
  gzip.Finish();
  std::fclose(in);
  return 0;
}

// Runs `args` with standard output to /dev/null; its peak resident size in
// MB, or -1. A forked child's peak counts what it shared with this process,
// so this process must still be small when it calls this.
double PeakMegabytes(std::vector<std::string> args) {
  std::fflush(stdout);
  pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return -1;
  return usage.ru_maxrss / 1024.0;
}

// Made in a child, so that this process stays small for PeakMegabytes: one
// member of about 50 MB, the page repeated and deflated fast.
bool WriteBigGzip(const char* path) {
  std::fflush(stdout);
  pid_t pid = ::fork();
  if (pid == 0) {
    const std::string& page = Page2M().text;
    zelvaro::testing::GzipOptions o;
    o.level = 1;
    std::string text, gz;
    for (size_t copies = 64; gz.size() < (50u << 20); copies += 16) {
      while (text.size() < copies * page.size()) text += page;
      gz = zelvaro::testing::Gzip(text, o);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(gz.data(), static_cast<std::streamsize>(gz.size()));
    ::_exit(out ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

std::string CompareGunzipMemory(const char* self) {
  char path[] = "/tmp/gzip_bench_XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return "";
  ::close(fd);
  char line[256] = "";
  if (WriteBigGzip(path)) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const double size = static_cast<double>(in.tellg()) / 1048576.0;
    const double empty = PeakMegabytes({self, "--decode-file", "/dev/null"});
    const double ours = PeakMegabytes({self, "--decode-file", path});
    const double peer = PeakMegabytes({"gzip", "-dc", path});
    std::snprintf(line, sizeof line,
                  "gunzip of a %.1f MB file in 32 KB blocks, peak memory: decoder %.1f MB "
                  "(%.1f MB over the program doing nothing), gzip -dc %.1f MB\n",
                  size, ours, ours - empty, peer);
  }
  std::remove(path);
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--decode-file") return DecodeFile(argv[2]);
  // First, while this process is small.
  const std::string memory = CompareGunzipMemory(argv[0]);
  benchmark::Initialize(&argc, argv);
  zelvaro::bench::MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const Page& page = Page2M();
  std::printf("page: %zu bytes of text, %zu bytes gzip -9\n", page.text.size(), page.gz.size());
  reporter.PrintRatio("Decoder32K", "ZlibOnePass");
  reporter.PrintRatio("Decoder1460", "ZlibOnePass");
  reporter.PrintRatio("Decoder1Byte", "ZlibOnePass");
  // Time per decoded byte at 2 MB over that at 256 KB: about 1 when linear.
  double big = reporter.Median("Decoder1Byte") / Page2M().text.size();
  double small = reporter.Median("Decoder1Byte256K") / Page256K().text.size();
  if (big > 0 && small > 0)
    std::printf("1-byte blocks, cost per byte 2 MB / 256 KB = %.3f\n", big / small);
  std::fputs(memory.c_str(), stdout);
  benchmark::Shutdown();
  return 0;
}
